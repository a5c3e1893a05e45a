#include "platform/host/HelpViewer.h"

namespace ov::host {

namespace {
HelpViewer* g_viewer = nullptr;
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

}  // namespace ov::host
