#include "platform/ui/Progress.h"

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
