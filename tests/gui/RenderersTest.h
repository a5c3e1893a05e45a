#pragma once

#include <QObject>

// The Qt renderers driven through their widgets, without a display.
class RenderersTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void RendersEachControlAsItsWidget();
    void TypingAndChoosingRunTheHandlers();
    void TheDialogEndsAsThePersonEndsIt_data();
    void TheDialogEndsAsThePersonEndsIt();
    void OptionButtonsExcludeEachOtherPerContainer();
    void GridEditsFollowTheLockedColumns();
    void ListsShowEntriesAndReportSelections();
    void ShowModalRunsUntilTheFormIsHidden();
    void MessageBoxOffersTheRequestedButtons();
    void PopupMenuFollowsToolStates();
    void PopupGivesTheChosenTool();
    void MenuBarHasOneEntryPerMainTool();
    void BusyPointerNests();
    void PresentersInstallAndStepAside();
    void HelpOpensPagesFollowsLinksAndServesModalDialogs();
};
