#pragma once

#include "platform/host/HostStudio.h"

#include <QString>
#include <vector>

namespace ov::host {

// Shows help topics by number. The studio installs one that opens the HTML
// help pages; without it topics are only noted, as in headless runs.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void ShowTopic(const QString& helpFile, int topic, WindowHandle owner) = 0;
    virtual void CloseAll() = 0;
};

class RecordingHelpViewer : public HelpViewer {
public:
    struct Request {
        QString helpFile;
        int topic;
    };
    void ShowTopic(const QString& helpFile, int topic, WindowHandle owner) override;
    void CloseAll() override { ++m_closeAllCalls; }
    const std::vector<Request>& Requests() const { return m_requests; }
    int CloseAllCalls() const { return m_closeAllCalls; }

private:
    std::vector<Request> m_requests;
    int m_closeAllCalls = 0;
};

HelpViewer& CurrentHelpViewer();
void InstallHelpViewer(HelpViewer* viewer);  // null restores the recording default
RecordingHelpViewer& DefaultHelpViewer();

// The help file of the running session, set when the editor starts; context
// help (F1 and the Help buttons of dialogs) opens its topics there.
void SetHelpFile(const QString& helpFile);
QString HelpFile();
void ShowContextHelp(int topic);

}  // namespace ov::host
