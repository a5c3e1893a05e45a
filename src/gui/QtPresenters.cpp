#include "gui/QtPresenters.h"

#include "gui/FormDialog.h"
#include "gui/FormRenderer.h"
#include "platform/ui/ModalState.h"
#include "gui/QtDesktop.h"
#include "gui/QtHelpViewer.h"
#include "gui/QtMessageBoxes.h"
#include "gui/QtFileDialog.h"
#include "gui/QtPopups.h"
#include "platform/system/SystemTools.h"
#include "gui/QtProgress.h"

#include <QApplication>

namespace ov::gui {

namespace {

struct Presenters {
    FormRenderer forms;
    QtMessageBoxes messages;
    QtPopups popups;
    QtDesktop desktop;
    QtHelpViewer help;
    QtProgress progress;
};

Presenters& Instances() {
    static Presenters presenters;
    return presenters;
}

}  // namespace

bool InstallQtPresenters() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    Presenters& presenters = Instances();
    ui::InstallFormPresenter(&presenters.forms);
    ui::InstallMessageBoxes(&presenters.messages);
    ui::InstallPopups(&presenters.popups);
    ui::InstallDesktop(&presenters.desktop);
    host::InstallHelpViewer(&presenters.help);
    ui::InstallProgress(&presenters.progress);
    sys::SystemTools::Instance().SetFileDialog(std::make_unique<QtFileDialog>());
    // Long waits on another program keep the dialogs painted and their Stop live.
    ui::SetEventPump([] {
        FormDialog::SyncAllOpen();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    });
    return true;
}

void UninstallQtPresenters() {
    Presenters& presenters = Instances();
    ui::SetEventPump({});
    if (&ui::CurrentProgress() == &presenters.progress) ui::InstallProgress(nullptr);
    if (dynamic_cast<QtFileDialog*>(&sys::SystemTools::Instance().FileDialog())) sys::SystemTools::Instance().SetFileDialog(nullptr);
    // Someone else's presenters stay where they are.
    if (&ui::CurrentFormPresenter() == &presenters.forms) ui::InstallFormPresenter(nullptr);
    if (&ui::CurrentMessageBoxes() == &presenters.messages) ui::InstallMessageBoxes(nullptr);
    if (&ui::CurrentPopups() == &presenters.popups) ui::InstallPopups(nullptr);
    if (&ui::CurrentDesktop() == &presenters.desktop) ui::InstallDesktop(nullptr);
    if (&host::CurrentHelpViewer() == &presenters.help) {
        presenters.help.CloseAll();
        host::InstallHelpViewer(nullptr);
    }
    presenters.desktop.Reset();
}

}  // namespace ov::gui
