#pragma once

#include <QObject>

// The Qt renderers driven through their widgets, without a display.
class RenderersTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void EachControlIsAWidgetThatRunsTheHandlers();
    void TheDialogEndsAsThePersonEndsIt_data();
    void TheDialogEndsAsThePersonEndsIt();
    void OptionButtonsExcludeEachOtherPerContainer();
    void GridEditsFollowTheLockedColumns();
    void ListsShowEntriesAndReportSelections();
    void ShowModalRunsUntilTheFormIsHidden();
    void MessageBoxOffersTheRequestedButtons();
    void PopupMenuFollowsToolStatesAndGivesTheChosenTool();
    void MenuBarHasOneEntryPerMainTool();
    void BusyPointerNests();
    void PresentersInstallAndStepAside();
    void HelpOpensPagesFollowsLinksAndServesModalDialogs();
};
