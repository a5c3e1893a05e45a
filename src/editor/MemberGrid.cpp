#include "editor/MemberGrid.h"

#include "editor/GridColumns.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/CVT_Types.h"
#include "model/DataConnection.h"
#include "model/StructureRules.h"
#include "platform/db/DbError.h"
#include "platform/host/COV4Extensibility.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/GridModel.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <algorithm>

namespace ov::editor {

namespace nodekey = host::nodekey;
namespace structures = model::structures;
using model::CVT_Types;
using settings::Text;

namespace {

bool Is(const QString& field, const char* name) { return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

QVariant FieldOf(db::Recordset& row, const char* name) {
    const int index = row.FieldIndex(QString::fromUtf8(name));
    return index < 0 ? QVariant() : row.Fields(index).Value();
}

void Warn(const QString& text) { ui::ShowMessage(text, Text(310), ui::Buttons::OK, 0, ui::Icon::Warning); }

// Sorting by the data type sorts structures by their ID after the simple types.
const QString kDataTypeSort = QStringLiteral("DataType, StructID");

}  // namespace

MemberGrid::MemberGrid(frmtabgridOPC& window, ui::GridModel& grid) : m_window(window), m_grid(grid) {
    grid.unboundColumnFetch = [this](db::Recordset& row, int column) { return FetchUnbound(row, column); };
    grid.formatText = [this](int row, int column, const QVariant& value, QString& text) {
        FormatText(row, column, value, text);
    };
    grid.checkValue = [this](int column, QVariant& value, bool& cancel) { CheckValue(column, value, cancel); };
    grid.afterColUpdate = [this](int column, const QVariant& value) { ColumnUpdated(column, value); };
    grid.keyDown = [this](int& keyCode, int shift) { KeyDown(keyCode, shift); };
    grid.dblClick = [this] { RunCommand("mnuStructMemberEdit"); };
}

bool MemberGrid::IsDataTypeColumn(int column) const {
    const ui::GridColumn& c = m_grid.Column(column);
    return !c.IsBound() && c.caption == Text(unbound::kMemberDataType);
}

bool MemberGrid::IsIndexTextColumn(int column) const {
    const ui::GridColumn& c = m_grid.Column(column);
    return !c.IsBound() && c.caption == Text(unbound::kIndexText);
}

bool MemberGrid::IsBitRow(int row) const {
    const int dataType = m_grid.ColumnIndexInSplit(QStringLiteral("DataType"), 1);
    return dataType >= 0 && m_grid.CellValue(row, dataType).toInt() == CVT_Types::kBit;
}

QVariant MemberGrid::FetchUnbound(db::Recordset& row, int column) {
    if (IsDataTypeColumn(column))
        return CVT_Types::CombinedCode(FieldOf(row, "DataType").toInt(), FieldOf(row, "StructID").toInt());
    if (IsIndexTextColumn(column))
        return m_window.IndexTexts().GetItemText(FieldOf(row, "TextID"), m_window.Languages().CurrentLCID());
    return QVariant();
}

void MemberGrid::FormatText(int row, int column, const QVariant& value, QString& text) {
    if (!Is(m_grid.Column(column).dataField, "OrderNum") || value.isNull()) return;
    text = structures::FormatOrderNumber(value.toDouble(), IsBitRow(row));
}

bool MemberGrid::CheckName(const QString& name) {
    if (name.trimmed().isEmpty()) {
        Warn(Text(406));
        return false;
    }
    if (structures::IsNumberName(name)) {
        Warn(Text(421));
        return false;
    }
    if (name.size() > structures::kMaxNameLength) {
        Warn(Text(settings::kTextNameTooLong).replace(QStringLiteral("<max>"), QString::number(structures::kMaxNameLength)));
        return false;
    }
    return true;
}

void MemberGrid::CheckValue(int column, QVariant& value, bool& cancel) {
    const ui::GridColumn& c = m_grid.Column(column);
    db::Recordset* rs = m_grid.Recordset();
    if (!rs) return;
    if (Is(c.dataField, "Name")) {
        cancel = !CheckName(value.toString());
    } else if (Is(c.dataField, "OrderNum")) {
        const auto order = structures::ParseOrderNumber(value.toString(), IsBitRow(m_grid.CurrentRow()));
        if (!order.value) {
            Warn(Text(order.errorText));
            cancel = true;
            return;
        }
        value = *order.value;
    } else if (IsDataTypeColumn(column) && value.toInt() > CVT_Types::kStructBase) {
        // A structure may not contain itself, however deep.
        const int owner = rs->Value(QStringLiteral("ParentID")).toInt();
        const int chosen = CVT_Types::DecodeCombined(value.toInt()).second;
        if (structures::WouldContainItself(m_window.Data()->Connection(), owner, chosen)) {
            const auto& names = c.values;
            QString text = Text(settings::kTextStructureCycle);
            text.replace(QStringLiteral("<s>"), names.DisplayText(value));
            text.replace(QStringLiteral("<o>"), names.DisplayText(CVT_Types::CombinedCode(CVT_Types::kStructure, owner)));
            Warn(text);
            cancel = true;
        }
    }
}

void MemberGrid::SetCell(db::Recordset& rs, const ui::GridColumn& column, const QVariant& value) {
    if (column.IsBound()) {
        rs.SetValue(column.dataField, value);
        return;
    }
    if (column.caption == Text(unbound::kMemberDataType)) {
        const auto [dataType, structId] = CVT_Types::DecodeCombined(value.toInt());
        rs.SetValue(QStringLiteral("DataType"), value.toInt() <= CVT_Types::kStructBase ? value.toInt() : dataType);
        rs.SetValue(QStringLiteral("StructID"), value.toInt() <= CVT_Types::kStructBase ? 0 : structId);
        // The order number follows the type: byte.bit for a bit, whole otherwise.
        const double order = rs.Value(QStringLiteral("OrderNum")).toDouble();
        const auto kept = structures::ParseOrderNumber(
            structures::FormatOrderNumber(order, dataType == CVT_Types::kBit), dataType == CVT_Types::kBit);
        if (kept.value) rs.SetValue(QStringLiteral("OrderNum"), *kept.value);
    } else if (column.caption == Text(unbound::kIndexText) && !value.toString().isEmpty() &&
               rs.FieldIndex(QStringLiteral("TextID")) >= 0) {
        const QString owner = nodekey::StructureKey(rs.Value(QStringLiteral("ParentID")).toInt());
        const int textId = m_window.IndexTexts().ChangeItemText(owner, rs.Value(QStringLiteral("Name")).toString(),
                                                                rs.Value(QStringLiteral("TextID")), value.toString(),
                                                                m_window.Languages().CurrentLCID());
        rs.SetValue(QStringLiteral("TextID"), textId);
    }
}

std::vector<db::Recordset::Bookmark> MemberGrid::OtherSelectedRows(const ui::GridColumn& column) const {
    std::vector<db::Recordset::Bookmark> others;
    // A name and a position belong to one member only.
    if (Is(column.dataField, "Name") || Is(column.dataField, "OrderNum")) return others;
    const auto current = m_grid.RowBookmark(m_grid.CurrentRow());
    for (const auto bookmark : m_grid.SelectedBookmarks())
        if (!current || bookmark != *current) others.push_back(bookmark);
    return others;
}

void MemberGrid::ColumnUpdated(int column, const QVariant& value) {
    db::Recordset* rs = m_grid.Recordset();
    if (!rs) return;
    const ui::GridColumn& c = m_grid.Column(column);
    const auto others = OtherSelectedRows(c);
    if (!others.empty()) {
        WriteToRows(c, value, others);
        return;
    }
    try {
        // A bound value is in the row already; the unbound ones set their fields now.
        if (!c.IsBound()) SetCell(*rs, c, value);
    } catch (const db::DbError& e) {
        m_window.IndexTexts().CloseIdxSystemRecordset();
        m_window.DataError(m_grid, ui::GridModel::kErrorWriteFailed, e.Description());
        return;
    }
    if (WriteRow()) m_grid.Refresh();
}

bool MemberGrid::WriteRow() {
    // Written at once; a refusal (a name the structure has already) is a data
    // error: what the database said, then the name message.
    db::Recordset& rs = *m_grid.Recordset();
    m_grid.dataChanged = false;
    if (rs.GetEditMode() == db::EditMode::None) return true;
    try {
        rs.Update();
        return true;
    } catch (const db::DbError& e) {
        m_window.IndexTexts().CloseIdxSystemRecordset();
        m_window.DataError(m_grid, ui::GridModel::kErrorWriteFailed, e.Description());
        return false;
    }
}

void MemberGrid::WriteToRows(const ui::GridColumn& column, const QVariant& value,
                             const std::vector<db::Recordset::Bookmark>& others) {
    m_window.RowWriting().WriteToRows(
        m_grid, others, [&](db::Recordset& rs) { SetCell(rs, column, value); },
        [this] { m_window.IndexTexts().CloseIdxSystemRecordset(); });
}

void MemberGrid::RunCommand(const char* tool) { m_window.RunGridCommand(QString::fromUtf8(tool)); }

void MemberGrid::ToggleSort() {
    const int column = m_grid.CurrentColumn();
    if (column < 0) return;
    const ui::GridColumn& c = m_grid.Column(column);
    const QString field = IsDataTypeColumn(column) ? kDataTypeSort : c.dataField;
    // The database knows no order by an index text.
    if (field.isEmpty()) {
        ui::Beep();
        return;
    }
    m_sortField = m_sortField == field ? QString() : field;
    m_window.RequeryStructMembers();
    if (m_grid.RowCount() > 0) m_grid.SetCurrentCell(std::max(m_grid.CurrentRow(), 0), column);
    m_window.NotifyView();
}

void MemberGrid::KeyDown(int& keyCode, int shift) {
    using namespace host::keys;
    const bool plain = shift == 0, ctrl = shift == kCtrl, alt = shift == kAlt, shifted = shift == kShift;
    if (plain && keyCode == kF8) {
        RunCommand("mnuStructMemberNew");
    } else if (plain && keyCode == kF9) {
        RunCommand("mnuStructMemberEdit");
    } else if (plain && (keyCode == kUp || keyCode == kDown)) {
        m_selecting = false;
    } else if (plain && (keyCode == kPageUp || keyCode == kPageDown)) {
        m_selecting = false;
        m_grid.ClearSelection();
    } else if (shifted && (keyCode == kUp || keyCode == kDown)) {
        frmtabgridOPC::ExtendRowSelection(m_grid, keyCode, m_selecting);
        keyCode = 0;
    } else if (shifted && (keyCode == kLeft || keyCode == kRight)) {
        m_window.MoveToNextColumn(m_grid, keyCode == kLeft ? -1 : 1);
        keyCode = 0;
    } else if (ctrl && keyCode == kC) {
        if (!m_grid.SelectedBookmarks().empty()) RunCommand("mnuStructMemberCopy");
    } else if (ctrl && keyCode == kV) {
        RunCommand("mnuStructMemberPaste");
    } else if (ctrl && keyCode == kDelete) {
        RunCommand("mnuStructMemberDelete");
        keyCode = 0;
    } else if (ctrl && (keyCode == kPageUp || keyCode == kPageDown)) {
        if (m_grid.RowCount() > 0)
            m_grid.SetCurrentCell(keyCode == kPageUp ? 0 : m_grid.RowCount() - 1, std::max(m_grid.CurrentColumn(), 0));
        keyCode = 0;
    } else if (ctrl && keyCode == kO) {
        ToggleSort();
        keyCode = 0;
    } else if (alt && keyCode == kF6) {
        if (m_window.Session().Host()) m_window.Session().Host()->FocusProjectTree();
        keyCode = 0;
    } else if (alt && (keyCode == kLeft || keyCode == kRight)) {
        keyCode = 0;
    }
}

}  // namespace ov::editor
