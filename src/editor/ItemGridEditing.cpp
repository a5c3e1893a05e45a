#include "editor/ItemGridEditing.h"

#include "editor/GridColumns.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/CVT_Types.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/host/COV4Extensibility.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/GridModel.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalState.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <algorithm>
#include <optional>

namespace ov::editor {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

bool IsNameField(const QString& field) {
    return field.compare(QStringLiteral("Name"), Qt::CaseInsensitive) == 0 ||
           field.compare(QStringLiteral("ItemAccess"), Qt::CaseInsensitive) == 0;
}

bool IsField(const ui::GridColumn& column, const char* field) {
    return column.dataField.compare(QLatin1String(field), Qt::CaseInsensitive) == 0;
}

QVariant FieldOf(db::Recordset& row, const char* field) {
    const int index = row.FieldIndex(QString::fromUtf8(field));
    return index < 0 ? QVariant() : row.Fields(index).Value();
}

// Opens a table on its ItemID index; closed where the project lacks it.
void OpenByItem(db::Recordset& rows, const QString& table, db::Connection& connection) {
    try {
        rows.Close();
        rows.Open(table, connection, db::CommandType::TableDirect);
        rows.SetIndex(QStringLiteral("ItemID"));
    } catch (const db::DbError&) {
        rows.Close();
    }
}

}  // namespace

ItemGridEditing::ItemGridEditing(frmtabgridOPC& window, ui::GridModel& grid) : m_window(window), m_grid(grid) {}

db::Recordset& ItemGridEditing::Items() { return m_window.Data()->Recordset(QStringLiteral("rsOPCItems")); }

void ItemGridEditing::OpenCompanions(db::Connection& connection) {
    OpenByItem(m_simulationRows, QStringLiteral("TpdbSimulation"), connection);
    OpenByItem(m_redundancyRows, QStringLiteral("TpdbAlign"), connection);
}

void ItemGridEditing::CloseCompanions() {
    m_simulationRows.Close();
    m_redundancyRows.Close();
}

void ItemGridEditing::AttachCallbacks() {
    m_grid.unboundColumnFetch = [this](db::Recordset& row, int column) { return FetchUnbound(row, column); };
    m_grid.formatText = [this](int, int column, const QVariant& value, QString& text) {
        if (IsField(m_grid.Column(column), "Options")) text = OptionsText(value);
    };
    m_grid.afterColUpdate = [this](int column, const QVariant& value) { ColumnUpdated(column, value); };
    m_grid.buttonClick = [this](int column) {
        const ui::GridColumn& c = m_grid.Column(column);
        if (c.caption == Text(unbound::kSimulationParameters))
            SimulationParametersButton();
        else if (IsField(c, "DefaultMode"))
            NumberDialogButton(c.dataField, m_window.defaultModeDialog);
        else if (IsField(c, "Options"))
            NumberDialogButton(c.dataField, m_window.itemOptionsDialog);
    };
    // These cells are set through their dialogs, never typed into.
    m_grid.beforeColEdit = [this](int column, bool& cancel) {
        const ui::GridColumn& c = m_grid.Column(column);
        if (IsField(c, "DefaultMode") || IsField(c, "Options") || c.caption == Text(unbound::kSimulationParameters)) {
            cancel = true;
            m_grid.ColumnButtonClicked(column);
        }
    };
    m_grid.keyDown = [this](int& keyCode, int shift) { KeyDown(keyCode, shift); };
    m_grid.dblClick = [this] { RunItemCommand(QStringLiteral("mnuItemEdit")); };
    m_grid.fetchCellTips = [this](int row, int, QString& tip) { tip = GroupTip(row); };
    m_grid.helpContextId = settings::help::kItemGrid;
}

QVariant ItemGridEditing::FetchUnbound(db::Recordset& row, int column) {
    const QString& caption = m_grid.Column(column).caption;
    const ItemGridOnline& online = m_window.Online();
    if (const int live = online.LiveKind(caption); live >= 0)
        return online.Cell(live, FieldOf(row, "ID").toInt(), FieldOf(row, "DeviceID").toInt());
    if (caption == Text(unbound::kDataType))
        return model::CVT_Types::CombinedCode(FieldOf(row, "DataType").toInt(), FieldOf(row, "StructID").toInt());
    const QVariant id = FieldOf(row, "ID");
    if (caption == Text(unbound::kSimulationFunction) || caption == Text(unbound::kSimulationParameters)) {
        if (!SimulationOpen() || !m_simulationRows.Seek({id})) return QString();
        return m_simulationRows.Value(caption == Text(unbound::kSimulationFunction) ? QStringLiteral("SimulationFunction")
                                                                                    : QStringLiteral("SimulationParameters"));
    }
    if (caption == Text(unbound::kRedundancy)) return RedundancyOpen() && m_redundancyRows.Seek({id});
    if (caption == Text(unbound::kIndexText))
        return m_window.IndexTexts().GetItemText(FieldOf(row, "TextID"), m_window.Languages().CurrentLCID());
    return QVariant();
}

void ItemGridEditing::ColumnUpdated(int column, const QVariant& value) {
    const ui::GridColumn& c = m_grid.Column(column);
    if (IsNameField(c.dataField) && value.toString().trimmed().isEmpty()) {
        // An item without a name could never be found again in the tree.
        Items().CancelUpdate();
        m_grid.dataChanged = false;
        ui::ShowMessage(Text(406), Text(310), ui::Buttons::OK, 0, ui::Icon::Warning);
        m_grid.ReBind();
        return;
    }
    WriteItemValue(column, value);
}

void ItemGridEditing::SetItemCell(db::Recordset& rs, const ui::GridColumn& column, const QVariant& value) {
    if (!column.IsBound()) {
        WriteUnboundItemCell(column.caption, value);
        return;
    }
    rs.SetValue(column.dataField, value);
    if (IsField(column, "FieldSize") && value.toInt() != 0) {
        rs.SetValue(QStringLiteral("WriteThru"), true);
    } else if (IsField(column, "ItemAccess") && !m_window.SwitchViewFlag()) {
        // In the item-access view the name is the item access.
        rs.SetValue(QStringLiteral("Name"), value);
    }
}

std::vector<db::Recordset::Bookmark> ItemGridEditing::OtherSelectedItems(const ui::GridColumn& column) {
    std::vector<db::Recordset::Bookmark> others;
    // Names identify an item; they are never copied to other rows.
    if (IsNameField(column.dataField)) return others;
    const int row = m_grid.CurrentRow();
    const auto current = m_grid.RowBookmark(row);
    // Parameters go only to items simulated by the same function.
    const int function = column.IsBound() || column.caption != Text(unbound::kSimulationParameters)
                             ? -1
                             : m_grid.ColumnIndex(Text(unbound::kSimulationFunction));
    const QVariant currentFunction = function >= 0 ? m_grid.CellValue(row, function) : QVariant();
    for (const auto bookmark : m_grid.SelectedBookmarks()) {
        if (current && bookmark == *current) continue;
        if (function >= 0 && m_grid.CellValue(m_grid.RowOfBookmark(bookmark), function).toString() != currentFunction.toString())
            continue;
        others.push_back(bookmark);
    }
    return others;
}

void ItemGridEditing::WriteItemValue(int column, const QVariant& value) {
    if (column < 0) return;
    db::Recordset& rs = Items();
    const ui::GridColumn& c = m_grid.Column(column);
    const std::vector<db::Recordset::Bookmark> others = OtherSelectedItems(c);
    if (!others.empty()) {
        WriteToRows(c, value, others);
        return;
    }
    const QString identifying = m_window.FieldNameFromSwitchView();
    const QString oldPath = rs.GetEditMode() == db::EditMode::InProgress ? rs.Fields(identifying).OriginalValue().toString()
                                                                        : rs.Value(identifying).toString();
    try {
        SetItemCell(rs, c, value);
    } catch (const db::DbError& e) {
        CancelUnboundEdits();
        m_window.DataError(m_grid, ui::GridModel::kErrorWriteFailed, e.Description());
        return;
    }
    const QString newPath = rs.GetEditMode() == db::EditMode::InProgress ? rs.Fields(identifying).Value().toString() : oldPath;
    if (!m_window.WriteRowAtOnce(m_grid)) return;
    const QString node = m_window.CurrentNode();
    host::ProjectTree* tree = m_window.Session().Tree();
    if (oldPath != newPath && tree && host::ProjectTree::MaintainsBranches(node))
        tree->ItemPathChanged(nodekey::DeviceKeyOf(node), oldPath, newPath);
    m_grid.Refresh();
}

void ItemGridEditing::WriteToRows(const ui::GridColumn& column, const QVariant& value,
                                  const std::vector<db::Recordset::Bookmark>& others) {
    // The current row and every other selected row take the value by the same rules.
    m_window.RowWriting().WriteToRows(
        m_grid, others, [&](db::Recordset& rs) { SetItemCell(rs, column, value); }, [this] { CancelUnboundEdits(); });
}

void ItemGridEditing::CancelPendingItemEdits() {
    m_grid.CancelEdit();
    m_grid.dataChanged = false;
    if (m_window.Data()) Items().CancelUpdate();
    CancelUnboundEdits();
}

void ItemGridEditing::CancelUnboundEdits() {
    for (db::Recordset* companion : {&m_simulationRows, &m_redundancyRows})
        if (companion->State() == db::ObjectState::Open) companion->CancelUpdate();
    // A text record half-written is dropped with the cached text table.
    m_window.IndexTexts().CloseIdxSystemRecordset();
}

void ItemGridEditing::WriteUnboundItemCell(const QString& caption, const QVariant& value) {
    db::Recordset& rs = Items();
    const QVariant id = rs.Value(QStringLiteral("ID"));
    if (caption == Text(unbound::kDataType)) {
        const int code = value.toInt();
        if (code < 65537) {
            rs.SetValue(QStringLiteral("DataType"), code);
            rs.SetValue(QStringLiteral("StructID"), 0);
        } else {
            const auto [dataType, structId] = model::CVT_Types::DecodeCombined(code);
            rs.SetValue(QStringLiteral("StructID"), structId);
            rs.SetValue(QStringLiteral("DataType"), dataType);
            rs.SetValue(QStringLiteral("WriteThru"), true);
        }
    } else if (caption == Text(unbound::kSimulationParameters)) {
        // Parameters belong to the item's function; an item without one keeps none.
        if (!m_simulationRows.Seek({id})) return;
        m_simulationRows.SetValue(QStringLiteral("SimulationParameters"), value.toString());
        m_simulationRows.Update();
    } else if (caption == Text(unbound::kSimulationFunction)) {
        const QString function = value.toString();
        const bool found = m_simulationRows.Seek({id});
        if (function.isEmpty()) {
            if (found) m_simulationRows.Delete();
        } else {
            if (!found) {
                m_simulationRows.AddNew();
                m_simulationRows.SetValue(QStringLiteral("ItemID"), id);
            }
            m_simulationRows.SetValue(QStringLiteral("SimulationFunction"), function);
            m_simulationRows.SetValue(QStringLiteral("SimulationParameters"),
                                      m_window.SimulationFunctions().GetDefaultParameters(function));
            m_simulationRows.Update();
        }
    } else if (caption == Text(unbound::kRedundancy)) {
        const bool redundant = value.toBool();
        const bool found = m_redundancyRows.Seek({id});
        if (redundant && !found) {
            m_redundancyRows.AddNew();
            m_redundancyRows.SetValue(QStringLiteral("ItemID"), id);
            m_redundancyRows.Update();
        } else if (!redundant && found) {
            m_redundancyRows.Delete();
        }
    } else if (caption == Text(unbound::kIndexText) && !value.toString().isEmpty() &&
               rs.FieldIndex(QStringLiteral("TextID")) >= 0) {
        const QString deviceKey = QStringLiteral("OPCD") + rs.Value(QStringLiteral("DeviceID")).toString();
        const int textId = m_window.IndexTexts().ChangeItemText(deviceKey, rs.Value(m_window.FieldNameFromSwitchView()).toString(),
                                                                rs.Value(QStringLiteral("TextID")), value.toString(),
                                                                m_window.Languages().CurrentLCID());
        rs.SetValue(QStringLiteral("TextID"), textId);
    }
}

void ItemGridEditing::SimulationParametersButton() {
    db::Recordset& rs = Items();
    if (rs.IsEOF() || rs.IsBOF() || !SimulationOpen()) return;
    // Parameters belong to a function: without one there is nothing to set.
    if (!m_simulationRows.Seek({rs.Value(QStringLiteral("ID"))})) {
        ui::Beep();
        return;
    }
    const QString function = m_simulationRows.Value(QStringLiteral("SimulationFunction")).toString();
    QString parameters = m_simulationRows.Value(QStringLiteral("SimulationParameters")).toString();
    std::optional<ui::ViewOnlyScope> viewing;
    if (m_grid.AllLocked()) viewing.emplace();
    if (!m_window.SimulationFunctions().SimulationParameterDialog(function, parameters)) return;
    WriteItemValue(m_grid.ColumnIndex(Text(unbound::kSimulationParameters)), parameters);
}

void ItemGridEditing::NumberDialogButton(const QString& field, const std::function<bool(int&)>& dialog) {
    db::Recordset& rs = Items();
    if (!dialog || rs.IsEOF() || rs.IsBOF()) return;
    int value = rs.Value(field).toInt();
    // A locked grid shows the value in its dialog, which cannot confirm then.
    std::optional<ui::ViewOnlyScope> viewing;
    if (m_grid.AllLocked()) viewing.emplace();
    if (!dialog(value)) return;
    // The chosen value is an edit of the cell like a typed one: it goes to
    // every selected row as well.
    WriteItemValue(m_grid.ColumnIndexInSplit(field, 1), value);
}

void ItemGridEditing::RunItemCommand(const QString& tool) { m_window.RunCommandFor(m_window.CurrentNode(), tool); }

void ItemGridEditing::KeyDown(int& keyCode, int shift) {
    using namespace host::keys;
    const bool ctrl = shift == kCtrl, plain = shift == 0, alt = shift == kAlt, shifted = shift == kShift;
    ui::GridModel& grid = m_grid;
    if (plain && keyCode == kF8) {
        RunItemCommand(QStringLiteral("mnuItemNew"));
    } else if (plain && keyCode == kF9) {
        RunItemCommand(QStringLiteral("mnuItemEdit"));
    } else if (shifted && (keyCode == kUp || keyCode == kDown)) {
        // The row joins the selection and the cursor moves on.
        bool selecting = true;
        GridEditing::ExtendRowSelection(grid, keyCode, selecting);
        keyCode = 0;
    } else if (shifted && (keyCode == kLeft || keyCode == kRight)) {
        if (!grid.SelectedBookmarks().empty()) {
            GridEditing::MoveToNextColumn(grid, keyCode == kLeft ? -1 : 1);
            keyCode = 0;
        }
    } else if (ctrl && keyCode == kC) {
        if (grid.SelectedBookmarks().empty())
            m_window.itemBufferFilled = false;
        else
            RunItemCommand(QStringLiteral("mnuItemCopy"));
    } else if (ctrl && keyCode == kV) {
        if (m_window.itemBufferFilled) RunItemCommand(QStringLiteral("mnuItemPaste"));
    } else if (ctrl && keyCode == kDelete) {
        RunItemCommand(QStringLiteral("mnuItemDelete"));
        keyCode = 0;
    } else if (ctrl && (keyCode == kPageUp || keyCode == kPageDown)) {
        if (grid.RowCount() > 0)
            grid.SetCurrentCell(keyCode == kPageUp ? 0 : grid.RowCount() - 1, std::max(grid.CurrentColumn(), 0));
    } else if (ctrl && keyCode == kO) {
        ToggleSort();
    } else if (alt && keyCode == kF6) {
        if (m_window.Session().Host()) m_window.Session().Host()->FocusProjectTree();
        keyCode = 0;
    } else if (alt && (keyCode == kLeft || keyCode == kRight)) {
        keyCode = 0;
    }
}

void ItemGridEditing::ToggleSort() {
    // Sort by the current column, or back to the stored order; the same item stays current.
    if (m_grid.CurrentColumn() < 0) return;
    const ui::GridColumn& c = m_grid.Column(m_grid.CurrentColumn());
    const QString field = c.IsBound() ? c.dataField : c.caption;
    const QString previous = m_window.SortField();
    m_window.SetSortField(previous == field ? QString() : field);
    // A column the database cannot order by (an index text, say) is
    // refused; the view and the stored sort stay as they were.
    if (!m_window.ShowItemViewKeepingCurrent(m_grid.CurrentColumn(), frmtabgridOPC::ViewErrors::Quiet)) {
        m_window.SetSortField(previous);
        ui::Beep();
    }
    m_window.NotifyView();
}

QString ItemGridEditing::GroupTip(int row) {
    if (row < 0 || !m_window.Data()) return QString();
    const int itemColumn = m_grid.ColumnIndexInSplit(QStringLiteral("ID"), 1);
    const QVariant id = m_grid.CellValue(row, itemColumn);
    if (id.isNull()) return QString();
    db::Recordset& connections = m_window.Data()->Connections();
    if (connections.State() != db::ObjectState::Open) return QString();
    QString tip;
    for (const auto& [groupId, name] : m_window.GroupList())
        if (connections.Seek({groupId, id})) tip += QStringLiteral("\r\n") + name;
    return tip.isEmpty() ? QString() : QStringLiteral("GRUPPEN:") + tip;
}

void ItemGridEditing::RefreshUnboundSources() {
    for (db::Recordset* rs : {&m_simulationRows, &m_redundancyRows})
        if (rs->State() == db::ObjectState::Open) rs->Requery();
}

std::pair<QString, QString> ItemGridEditing::SimulationOf(const QVariant& itemId) {
    if (!SimulationOpen() || !m_simulationRows.Seek({itemId})) return {};
    return {m_simulationRows.Value(QStringLiteral("SimulationFunction")).toString(),
            m_simulationRows.Value(QStringLiteral("SimulationParameters")).toString()};
}

bool ItemGridEditing::IsRedundant(const QVariant& itemId) { return RedundancyOpen() && m_redundancyRows.Seek({itemId}); }

}  // namespace ov::editor
