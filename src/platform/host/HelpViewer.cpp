#include "platform/host/HelpViewer.h"

namespace ov::host {

namespace {
HelpViewer* g_viewer = nullptr;
QString g_helpFile;
}

void RecordingHelpViewer::ShowTopic(const QString& helpFile, int topic, WindowHandle) {
    m_requests.push_back({helpFile, topic});
}

RecordingHelpViewer& DefaultHelpViewer() {
    static RecordingHelpViewer viewer;
    return viewer;
}

HelpViewer& CurrentHelpViewer() { return g_viewer ? *g_viewer : DefaultHelpViewer(); }

void InstallHelpViewer(HelpViewer* viewer) { g_viewer = viewer; }

void SetHelpFile(const QString& helpFile) { g_helpFile = helpFile; }

QString HelpFile() { return g_helpFile; }

void ShowContextHelp(int topic) { CurrentHelpViewer().ShowTopic(g_helpFile, topic, 0); }

}  // namespace ov::host
