#pragma once

#include "check/ProjectCheck.h"

namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::check {

// Extras > Check Project in the editor window: the list of the project's
// inconsistencies in the session's pane below the grids, checked again
// after every piece of work for the rows it changed; a double click shows
// the object, Repair deletes the selected orphans as one undo step.
class MCheck {
  public:
    explicit MCheck(editor::frmtabgridOPC& window);
    ~MCheck();
    MCheck(const MCheck&) = delete;
    MCheck& operator=(const MCheck&) = delete;

    // Opens the pane with a full check (or checks again when it is open).
    void Open();
    void Close();

  private:
    CheckOptions Options() const;
    std::vector<Finding> Findings() const;  // as the pane holds them
    void Show(const std::vector<Finding>& findings);
    void OnChanges(const db::Changeset* changes);
    void Activate(int row);
    void Repair(const std::vector<int>& rows);
    // The item's folder in the tree, and its row in the item grid.
    bool ShowItem(qint64 itemId);

    editor::frmtabgridOPC& m_window;
    int m_observer = 0;
};

// Attaches Check Project to every editor window, with the OPC commands and
// the tools; call once before the editor starts.
void InstallEditor();

}  // namespace ov::check
