#pragma once

#include "platform/db/Recordset.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <utility>
#include <vector>

namespace ov::ui {
class GridModel;
struct GridColumn;
}

namespace ov::editor {

class frmtabgridOPC;

// Owns the item grid's editing: the unbound columns and their tables, cell
// writes to the current and the selected rows, the cell dialogs and the keys.
class ItemGridEditing {
public:
    ItemGridEditing(frmtabgridOPC& window, ui::GridModel& grid);

    // The tables behind the simulation and redundancy columns, where the
    // project has them; then the grid's callbacks.
    void OpenCompanions(db::Connection& connection);
    void CloseCompanions();
    void AttachCallbacks();
    bool SimulationOpen() const { return m_simulationRows.State() == db::ObjectState::Open; }
    bool RedundancyOpen() const { return m_redundancyRows.State() == db::ObjectState::Open; }

    // An edited or chosen value of an item cell: written to the current row
    // and, in one transaction, to every other selected row.
    void WriteItemValue(int column, const QVariant& value);
    void WriteUnboundItemCell(const QString& caption, const QVariant& value);
    // Drops a half-made change of the row and of its companions.
    void CancelPendingItemEdits();
    void RefreshUnboundSources();
    std::pair<QString, QString> SimulationOf(const QVariant& itemId);
    bool IsRedundant(const QVariant& itemId);

private:
    QVariant FetchUnbound(db::Recordset& row, int column);
    void ColumnUpdated(int column, const QVariant& value);
    void WriteToRows(const ui::GridColumn& column, const QVariant& value,
                     const std::vector<db::Recordset::Bookmark>& others);
    void SetItemCell(db::Recordset& rs, const ui::GridColumn& column, const QVariant& value);
    std::vector<db::Recordset::Bookmark> OtherSelectedItems(const ui::GridColumn& column);
    void CancelUnboundEdits();
    void SimulationParametersButton();
    void NumberDialogButton(const QString& field, const std::function<bool(int&)>& dialog);
    void KeyDown(int& keyCode, int shift);
    void ToggleSort();
    QString GroupTip(int row);
    void RunItemCommand(const QString& tool);
    db::Recordset& Items();

    frmtabgridOPC& m_window;
    ui::GridModel& m_grid;
    db::Recordset m_simulationRows;  // backs the simulation columns while open
    db::Recordset m_redundancyRows;  // backs the redundancy column while open
};

}  // namespace ov::editor
