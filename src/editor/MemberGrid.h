#pragma once

#include "platform/db/Recordset.h"

#include <QString>
#include <QVariant>
#include <vector>

namespace ov::ui {
class GridModel;
struct GridColumn;
}  // namespace ov::ui

namespace ov::editor {

class frmtabgridOPC;

// What the member grid does beyond showing the members of one structure:
// the data type and index text columns, names and order numbers checked as
// they are typed, a structure type that would make the structure contain
// itself refused, every change written at once (to all selected rows but
// names and order numbers), and the grid's keys.
class MemberGrid {
public:
    MemberGrid(frmtabgridOPC& window, ui::GridModel& grid);

    // The field the members are ordered by; empty for the stored order.
    const QString& SortField() const { return m_sortField; }

private:
    QVariant FetchUnbound(db::Recordset& row, int column);
    void FormatText(int row, int column, const QVariant& value, QString& text);
    void CheckValue(int column, QVariant& value, bool& cancel);
    bool CheckName(const QString& name);
    void ColumnUpdated(int column, const QVariant& value);
    bool WriteRow();
    // Sets one cell of the row the recordset stands on, with what follows from it.
    void SetCell(db::Recordset& rs, const ui::GridColumn& column, const QVariant& value);
    void WriteToRows(const ui::GridColumn& column, const QVariant& value,
                     const std::vector<db::Recordset::Bookmark>& others);
    std::vector<db::Recordset::Bookmark> OtherSelectedRows(const ui::GridColumn& column) const;
    void KeyDown(int& keyCode, int shift);
    void ToggleSort();
    void RunCommand(const char* tool);
    bool IsDataTypeColumn(int column) const;
    bool IsIndexTextColumn(int column) const;
    bool IsBitRow(int row) const;

    frmtabgridOPC& m_window;
    ui::GridModel& m_grid;
    QString m_sortField;
    // Shift+Up/Down selects the current row first, and moves from the second key on.
    bool m_selecting = false;
};

}  // namespace ov::editor
