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
    void OkFinishesTheDialogConfirmed();
    void EscapeEnterAndTheCloseButton();
    void OptionButtonsExcludeEachOtherPerContainer();
    void GridEditsFollowTheLockedColumns();
    void HandlerErrorsAreShownAndTheDialogStaysOpen();
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
