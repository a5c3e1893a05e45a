#include "platform/ui/Progress.h"

#include <algorithm>

namespace ov::ui {

void RecordingProgress::Begin(const QString& title, qint64 /*total*/) {
    m_title = title;
    m_last = 0;
    ++m_begun;
    m_open = true;
}

bool RecordingProgress::Advance(qint64 done) {
    m_last = done;
    return cancelAt < 0 || done < cancelAt;
}

void LineProgress::Begin(const QString& title, qint64 total) {
    m_title = title;
    m_total = total;
    m_lastTenth = -1;
    m_open = true;
    Advance(0);
}

bool LineProgress::Advance(qint64 done) {
    if (!m_open) return true;
    const qint64 percent = m_total > 0 ? std::clamp<qint64>(done * 100 / m_total, 0, 100) : 0;
    const QString line = m_total > 0 ? QStringLiteral("%1: %2 of %3 (%4%)").arg(m_title).arg(done).arg(m_total).arg(percent)
                                     : QStringLiteral("%1: %2").arg(m_title).arg(done);
    if (m_terminal) {
        Write(u'\r' + line + QStringLiteral("\x1b[K"));
    } else if (percent / 10 != m_lastTenth) {
        m_lastTenth = percent / 10;
        Write(line + u'\n');
    }
    return true;  // a terminal stops work with Ctrl+C
}

void LineProgress::End() {
    if (m_open && m_terminal) Write(QStringLiteral("\n"));
    m_open = false;
}

void LineProgress::Write(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_out);
    std::fflush(m_out);
}

namespace {
ProgressSink*& Installed() {
    static ProgressSink* sink = nullptr;
    return sink;
}
}  // namespace

RecordingProgress& DefaultProgress() {
    static RecordingProgress progress;
    return progress;
}

ProgressSink& CurrentProgress() { return Installed() ? *Installed() : DefaultProgress(); }

void InstallProgress(ProgressSink* sink) { Installed() = sink; }

}  // namespace ov::ui
