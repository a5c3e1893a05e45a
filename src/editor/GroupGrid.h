#pragma once

#include <QString>
#include <QVariant>

namespace ov::ui {
class GridModel;
}

namespace ov::editor {

class frmtabgridOPC;

// What the group grid does beyond showing TpdbGroups: renames checked
// against the name group "Grp" and shown in the tree once written, the
// Boolean columns written at a click, the control object chosen through the
// studio's variable chooser, the tree following the current row, one name
// for several selected rows, and the grid's keys and mouse.
class GroupGrid {
public:
    GroupGrid(frmtabgridOPC& window, ui::GridModel& grid);
    // The window's current node names the group of the current row.
    void FollowCurrentRow();

private:
    void ColumnUpdated(int column, const QVariant& value);
    void Rename(const QString& name);
    void RenameSelection(const QString& name);
    void ChooseControlObject(bool onlyForControlVariable);
    void KeyDown(int& keyCode, int shift);
    void MouseUp(int button, int x, int y);
    void RowWritten();
    QString Field(int column) const;
    int CurrentGroupId() const;

    frmtabgridOPC& m_window;
    ui::GridModel& m_grid;
};

}  // namespace ov::editor
