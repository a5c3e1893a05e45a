#pragma once

#include <QString>
#include <cstdio>
#include <functional>
#include <memory>

namespace ov::ui {

// Long work tells how far it got and learns whether the person pressed
// Cancel. The program installs a window that appears after half a second;
// headless runs use the default, which only remembers what it was told.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void Begin(const QString& title, qint64 total) = 0;
    // False once the person cancelled.
    virtual bool Advance(qint64 done) = 0;
    virtual void End() = 0;
};

class RecordingProgress : public ProgressSink {
  public:
    void Begin(const QString& title, qint64 total) override;
    bool Advance(qint64 done) override;
    void End() override { m_open = false; }
    // Cancels once the work got this far (for tests); -1 never.
    qint64 cancelAt = -1;
    const QString& Title() const { return m_title; }
    qint64 Last() const { return m_last; }
    int Begun() const { return m_begun; }

  private:
    QString m_title;
    qint64 m_last = 0;
    int m_begun = 0;
    bool m_open = false;
};

// A progress line for programs without windows: rewritten in place on a
// terminal, one line per tenth of the work in a log.
class LineProgress : public ProgressSink {
  public:
    LineProgress(std::FILE* out, bool terminal) : m_out(out), m_terminal(terminal) {}
    void Begin(const QString& title, qint64 total) override;
    bool Advance(qint64 done) override;
    void End() override;

  private:
    void Write(const QString& text);
    std::FILE* m_out;
    bool m_terminal;
    QString m_title;
    qint64 m_total = 0;
    qint64 m_lastTenth = -1;
    bool m_open = false;
};

ProgressSink& CurrentProgress();
void InstallProgress(ProgressSink* sink);  // null restores the recording default
RecordingProgress& DefaultProgress();

// Progress for as long as the object lives.
class ProgressScope {
  public:
    ProgressScope(const QString& title, qint64 total) { CurrentProgress().Begin(title, total); }
    ~ProgressScope() { CurrentProgress().End(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    bool Advance(qint64 done) { return CurrentProgress().Advance(done); }
};

}  // namespace ov::ui
