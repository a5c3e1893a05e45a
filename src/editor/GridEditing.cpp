#include "editor/GridEditing.h"

#include "editor/frmtabgridOPC.h"
#include "platform/host/COV4Extensibility.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/GridModel.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <algorithm>

namespace ov::editor {

using settings::Text;

bool SaveOrCancel(db::Recordset& rs) {
    if (rs.State() != db::ObjectState::Open || rs.GetEditMode() == db::EditMode::None) return false;
    try {
        rs.Update();
        return true;
    } catch (const db::DbError&) {
        rs.CancelUpdate();  // the stored values stay
        return false;
    }
}

bool GridEditing::WriteRowAtOnce(ui::GridModel& grid) {
    db::Recordset* rs = grid.Recordset();
    grid.dataChanged = false;
    if (!rs || rs->GetEditMode() == db::EditMode::None) return true;
    try {
        rs->Update();
        return true;
    } catch (const db::DbError& e) {
        rs->CancelUpdate();
        if (e.IsUniqueViolation()) {
            ui::ShowMessage(Text(405), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
            rs->Resync();
            grid.ReBind();
        } else {
            DataError(grid, ui::GridModel::kErrorWriteFailed, e.Description());
        }
        return false;
    }
}

bool GridEditing::WriteToRows(ui::GridModel& grid, const std::vector<db::Recordset::Bookmark>& others,
                              const std::function<void(db::Recordset&)>& setCell,
                              const std::function<void()>& dropCompanions) {
    ui::BusyCursor busy;
    db::Recordset& rs = *grid.Recordset();
    const auto current = grid.RowBookmark(grid.CurrentRow());
    db::Connection& connection = m_window.Data()->Connection();
    const auto backToCurrent = [&] {
        if (current) rs.SetBookmark(*current);
    };
    try {
        connection.InTransaction([&] {
            setCell(rs);
            rs.Update();
            for (const auto bookmark : others) {
                rs.SetBookmark(bookmark);
                setCell(rs);
                rs.Update();
            }
        });
    } catch (const db::DbError& e) {
        // Not even begun (another program holds the database) or rolled back:
        // the typed value goes as well, then the grid goes back to its row.
        rs.CancelUpdate();
        if (dropCompanions) dropCompanions();
        backToCurrent();
        DataError(grid, ui::GridModel::kErrorWriteFailed, e.Description());
        return false;
    }
    grid.dataChanged = false;
    backToCurrent();
    grid.Refresh();
    return true;
}

void GridEditing::DataError(ui::GridModel& grid, int number, const QString& description) {
    QString text = Text(407);
    text.replace(QStringLiteral("<DataError>"), QString::number(number));
    // The database's own words say what went wrong; they follow the message.
    if (!description.isEmpty()) text += QStringLiteral("\n\n") + description;
    ui::ShowMessage(text, Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
    // A name or switch value another row has already: say so in the user's words.
    if (model::DataConnection* data = m_window.Data()) {
        db::Connection& connection = data->Connection();
        const auto& errors = connection.Errors();
        if (!errors.empty() && db::DbError(errors.back()).IsUniqueViolation())
            ui::ShowMessage(Text(405), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
        connection.ClearErrors();
    }
    // The stored values come back; the grid keeps its place.
    const int row = grid.CurrentRow(), column = grid.CurrentColumn();
    grid.CancelEdit();
    grid.dataChanged = false;
    if (db::Recordset* rs = grid.Recordset()) {
        rs->CancelUpdate();
        rs->Resync();
    }
    grid.ReBind();
    if (row >= 0) grid.SetCurrentCell(row, column);
    // A refused rename leaves the group names as the database has them.
    if (&grid == &m_window.tdbG()) {
        try {
            m_window.ReloadGroupNames();
        } catch (const db::DbError& e) {
            m_window.ReportDbError(e);
        }
    }
}

void GridEditing::CommitGridEdits() {
    for (ui::GridModel* grid : {&m_window.tdbI(), &m_window.tdbS(), &m_window.tdbU(), &m_window.tdbG()}) {
        db::Recordset* rs = grid->Recordset();
        grid->dataChanged = false;
        if (grid->EditActive()) grid->CancelEdit();
        if (rs && SaveOrCancel(*rs) && grid->rowWritten) grid->rowWritten();
    }
}

void GridEditing::MoveToNextColumn(ui::GridModel& grid, int direction) {
    std::vector<int> order = grid.DisplayColumns(0);
    const std::vector<int> scrolling = grid.DisplayColumns(1);
    order.insert(order.end(), scrolling.begin(), scrolling.end());
    const auto at = std::find(order.begin(), order.end(), grid.CurrentColumn());
    if (at == order.end()) return;
    const auto index = at - order.begin() + direction;
    if (index < 0 || index >= static_cast<qsizetype>(order.size())) return;
    grid.SetCurrentCell(grid.CurrentRow(), order[static_cast<std::size_t>(index)]);
}

void GridEditing::ExtendRowSelection(ui::GridModel& grid, int keyCode, bool& selecting) {
    std::vector<int> rows;
    for (const auto bookmark : grid.SelectedBookmarks()) rows.push_back(grid.RowOfBookmark(bookmark));
    if (std::find(rows.begin(), rows.end(), grid.CurrentRow()) == rows.end()) rows.push_back(grid.CurrentRow());
    grid.SelectRows(rows);
    if (!selecting) {
        selecting = true;
        return;
    }
    const int next = grid.CurrentRow() + (keyCode == host::keys::kUp ? -1 : 1);
    if (next >= 0 && next < grid.RowCount()) grid.SetCurrentCell(next, grid.CurrentColumn());
}

}  // namespace ov::editor
