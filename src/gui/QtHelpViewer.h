#pragma once

#include "platform/host/HelpViewer.h"

#include <QList>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QToolButton;

namespace ov::gui {

// Shows the help pages built into the program. Pages are addressed as
// "ovhelp:/<language>/<page>.md", so the links between them ("dlg-item.md")
// and the browser's back and forward work as on any set of pages.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    static QUrl PageUrl(const QString& language, const QString& page);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

// The help window: one, reused for every topic, beside the studio.
class HelpWindow : public QWidget {
public:
    // Owned by a modal dialog, or a window of its own (null owner).
    explicit HelpWindow(QWidget* owner);
    void ShowPage(const QUrl& page);
    HelpBrowser* Browser() const { return m_browser; }

private:
    HelpBrowser* m_browser = nullptr;
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
};

class QtHelpViewer : public host::HelpViewer {
public:
    ~QtHelpViewer() override;
    void ShowTopic(const QString& helpFile, int topic, host::WindowHandle owner) override;
    void CloseAll() override;
    // The window that showed the last topic, while it is open.
    HelpWindow* LastShown() const { return m_lastShown; }

private:
    QPointer<HelpWindow> m_window;
    QList<QPointer<HelpWindow>> m_dialogWindows;
    QPointer<HelpWindow> m_lastShown;
};

}  // namespace ov::gui
