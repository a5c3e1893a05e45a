#pragma once

#include "platform/db/Recordset.h"

#include <QString>

#include <functional>
#include <vector>

namespace ov::ui {
class GridModel;
}

namespace ov::editor {

class frmtabgridOPC;

// Writes a recordset's pending change, or drops it when the database refuses
// it (the stored values stay); true when something was written.
bool SaveOrCancel(db::Recordset& rs);

// Owns what the four grids share when rows are edited: row writes (one row or
// several in one transaction), the data error, and the column and row keys.
class GridEditing {
public:
    explicit GridEditing(frmtabgridOPC& window) : m_window(window) {}

    // Writes the current row of a grid at once; a refused write shows why
    // and brings back the stored values.
    bool WriteRowAtOnce(ui::GridModel& grid);
    // Text 407 with the grid error number (405 after it for a name another
    // row has); the stored values come back and the grid keeps its place.
    void DataError(ui::GridModel& grid, int number, const QString& description);
    // Every grid's pending change written, or dropped when it is refused.
    void CommitGridEdits();
    // A value typed with several rows selected: setCell puts it into the
    // current row and each other one, all written in one transaction or none.
    // A refusal drops the companions' pending edits (dropCompanions), shows
    // why and brings the stored values back; the current row stays current.
    bool WriteToRows(ui::GridModel& grid, const std::vector<db::Recordset::Bookmark>& others,
                     const std::function<void(db::Recordset&)>& setCell,
                     const std::function<void()>& dropCompanions = {});

    // Shift+Left/Right: the previous or next visible column across both splits.
    static void MoveToNextColumn(ui::GridModel& grid, int direction);
    // Shift+Up/Down in the member and unit grids: the first key marks the
    // current row, each further one adds it and moves on.
    static void ExtendRowSelection(ui::GridModel& grid, int keyCode, bool& selecting);

private:
    frmtabgridOPC& m_window;
};

}  // namespace ov::editor
