#include "opc/FNewItemOVOPC.h"

#include "platform/system/Components.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::opc {

using settings::Text;

namespace {
const QString kGrid = QStringLiteral("tdb");
constexpr int kArrayFlag = 8192;
constexpr int kColumns = 5;
}  // namespace

FNewItemOVOPC::FNewItemOVOPC(sys::Component& tool, QSet<QString> usedIds)
    : ui::Form(QStringLiteral("FNewItemOVOPC")), m_tool(tool) {
    for (const QString& id : usedIds) m_used.insert(id.toCaseFolded());
    tag = QStringLiteral("C2900");
    helpContextId = settings::help::kOvopcItemsDialog;
    keyPreview = true;
    Add(ui::ControlType::Grid, kGrid);
    AddOkAndCancel();
}

QVariant FNewItemOVOPC::Call(const QString& member, const QVariantList& arguments) {
    QVariant result;
    sys::CallError error;
    if (!m_tool.Invoke(member, arguments, &result, &error)) throw ui::FormError(error.description);
    return result;
}

void FNewItemOVOPC::OnLoad() {
    settings::LocaliseCaptions(*this);
    ui::GridData& grid = Get(kGrid).grid;
    grid.columnCaptions = {Text(2901), Text(2902), Text(2904), Text(2903), QStringLiteral("State")};
    grid.columnHidden = {false, false, false, false, true};
    grid.columnLocked = {false, false, false, false, true};
    QStringList types;
    for (int code : m_types.ItemTypes()) types << m_types.GetTextFromID(code);
    grid.columnChoices = {Call(QStringLiteral("GetAddressInfo"), {}).toStringList(), types,
                          {Text(171), Text(172), Text(173), Text(174)}, {}, {}};
    grid.rows.clear();
    KeepBlankRow();
    m_kept = grid.rows;
    grid.currentRow = 0;
    grid.currentColumn = kItemId;
    SetFocus(kGrid);
}

QString FNewItemOVOPC::Cell(int row, int column) const {
    const auto& cells = Find(kGrid)->grid.rows[static_cast<std::size_t>(row)];
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)].toString().trimmed()
                                                           : QString();
}

int FNewItemOVOPC::StateOf(int row) const {
    const auto& cells = Find(kGrid)->grid.rows.at(static_cast<std::size_t>(row));
    return cells.size() > kState ? cells[kState].toInt() : kValid;
}

void FNewItemOVOPC::KeepBlankRow() {
    ui::GridData& grid = Get(kGrid).grid;
    if (grid.rows.empty() || !Cell(static_cast<int>(grid.rows.size()) - 1, kItemId).isEmpty())
        grid.rows.push_back(std::vector<QVariant>(kColumns, QVariant(QString())));
    grid.rowChoices.resize(grid.rows.size());
}

QString FNewItemOVOPC::Refusal(int row, int column) {
    const QString value = Cell(row, column);
    if (value.isEmpty()) return QString();
    if (column == kItemId && Call(QStringLiteral("GetItemVTList"), {value}).toList().isEmpty())
        return Text(9270).replace(QStringLiteral("<a>"), value);
    if (column == kFieldSize) {
        bool number = false;
        if (value.toInt(&number) < 0 || !number) return Text(9271).replace(QStringLiteral("<v>"), value);
    }
    return QString();
}

void FNewItemOVOPC::CellEdited(int row, int column) {
    ui::GridData& grid = Get(kGrid).grid;
    auto& cells = grid.rows[static_cast<std::size_t>(row)];
    cells.resize(kColumns);
    const auto kept = static_cast<std::size_t>(row) < m_kept.size() ? m_kept[static_cast<std::size_t>(row)]
                                                                     : std::vector<QVariant>(kColumns, QVariant(QString()));
    const QVariant before = kept.at(static_cast<std::size_t>(column));
    if (const QString refusal = Refusal(row, column); !refusal.isEmpty()) {
        cells[static_cast<std::size_t>(column)] = before;
        ui::ShowMessage(refusal, Text(2900), ui::Buttons::OK, 0, ui::Icon::Warning);
        return;
    }
    AskTool(row, column == kItemId && before.toString().trimmed() != Cell(row, kItemId));
    KeepBlankRow();
    RecomputeStates();
    m_kept = grid.rows;
}

void FNewItemOVOPC::AskTool(int row, bool newAddress) {
    ui::GridData& grid = Get(kGrid).grid;
    auto& cells = grid.rows[static_cast<std::size_t>(row)];
    cells.resize(kColumns);
    const QString address = Cell(row, kItemId);
    const int chosen = m_types.GetIDFromText(Cell(row, kDataType));
    sys::CallError error;
    if (!m_tool.SetProperty(QStringLiteral("VariantType"), chosen, &error)) throw ui::FormError(error.description);
    const int proposed = Call(QStringLiteral("GetVTFromAddress"), {address, chosen}).toInt();
    QVariant arraySize;
    if (!m_tool.Invoke(QStringLiteral("ArraySize"), {}, &arraySize, &error)) throw ui::FormError(error.description);
    // The row's own type list: what the address allows, an array by its element type.
    QStringList allowed;
    for (const QVariant& code : Call(QStringLiteral("GetItemVTList"), {address}).toList()) {
        const int type = code.toInt() > kArrayFlag ? code.toInt() - kArrayFlag : code.toInt();
        allowed << m_types.GetTextFromID(type);
    }
    auto& choices = grid.rowChoices[static_cast<std::size_t>(row)];
    choices.assign(kColumns, QStringList());
    choices[kDataType] = allowed;
    // Empty cells take what the tool proposes; a new address also replaces a
    // type it does not allow and gives its own array size.
    const bool typeAllowed = allowed.contains(Cell(row, kDataType), Qt::CaseInsensitive);
    if (proposed != 0 && (Cell(row, kDataType).isEmpty() || (newAddress && !typeAllowed)))
        cells[kDataType] = m_types.GetTextFromID(proposed & ~kArrayFlag);
    if (newAddress)
        cells[kFieldSize] = arraySize.toInt() > 0 ? QVariant(arraySize.toInt()) : QVariant(QString());
    else if (Cell(row, kFieldSize).isEmpty() && arraySize.toInt() > 0)
        cells[kFieldSize] = arraySize.toInt();
    if (Cell(row, kAccess).isEmpty() && !address.isEmpty()) cells[kAccess] = Text(173);
}

void FNewItemOVOPC::RecomputeStates() {
    ui::GridData& grid = Get(kGrid).grid;
    QHash<QString, int> occurrences;
    const int rows = static_cast<int>(grid.rows.size());
    for (int r = 0; r < rows; ++r)
        if (!Cell(r, kItemId).isEmpty()) ++occurrences[Cell(r, kItemId).toCaseFolded()];
    grid.rowBackground.assign(grid.rows.size(), QString());
    grid.rowForeground.assign(grid.rows.size(), QString());
    grid.rowToolTip.assign(grid.rows.size(), QString());
    for (int r = 0; r < rows; ++r) {
        const auto row = static_cast<std::size_t>(r);
        const QString id = Cell(r, kItemId).toCaseFolded();
        const QString type = Cell(r, kDataType);
        const QStringList allowed = grid.ChoicesFor(r, kDataType);
        const bool ownList = row < grid.rowChoices.size() && grid.rowChoices[row].size() > kDataType &&
                             !grid.rowChoices[row][kDataType].isEmpty();
        int state = kValid;
        QString reason;
        if (id.isEmpty()) {
            // A blank row is no item.
        } else if (m_used.contains(id)) {
            state = kUsedId;
            reason = Text(9272);
        } else if (occurrences.value(id) > 1) {
            state = kUsedId;
            reason = Text(9273);
        } else if (m_types.GetIDFromText(type) == 0) {
            state = kUnknownType;
            reason = Text(9274).replace(QStringLiteral("<t>"), type);
        } else if (ownList && !allowed.contains(type, Qt::CaseInsensitive)) {
            state = kUnknownType;
            reason = Text(9275)
                         .replace(QStringLiteral("<a>"), Cell(r, kItemId))
                         .replace(QStringLiteral("<l>"), allowed.join(QStringLiteral(", ")))
                         .replace(QStringLiteral("<t>"), type);
        }
        auto& cells = grid.rows[row];
        cells.resize(kColumns);
        cells[kState] = state;
        grid.rowToolTip[row] = reason;
        if (state == kUsedId) {
            grid.rowBackground[row] = QStringLiteral("red");
            grid.rowForeground[row] = QStringLiteral("white");
        } else if (state == kUnknownType) {
            grid.rowBackground[row] = QStringLiteral("yellow");
        }
    }
}

std::vector<FNewItemOVOPC::NewItem> FNewItemOVOPC::Accepted() const {
    std::vector<NewItem> items;
    const ui::GridData& grid = Find(kGrid)->grid;
    for (int r = 0; r < static_cast<int>(grid.rows.size()); ++r) {
        if (Cell(r, kItemId).isEmpty() || StateOf(r) == kUsedId) continue;
        NewItem item;
        item.itemId = Cell(r, kItemId);
        item.dataType = m_types.GetIDFromText(Cell(r, kDataType));
        const int access = QStringList{Text(171), Text(172), Text(173), Text(174)}.indexOf(Cell(r, kAccess));
        item.accessRights = access < 0 ? 3 : access + 1;
        item.fieldSize = Cell(r, kFieldSize).toInt();
        items.push_back(item);
    }
    return items;
}

void FNewItemOVOPC::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (name == kGrid && event == ui::FormEvent::CellEdited) {
        CellEdited(control.grid.currentRow, control.grid.currentColumn);
    } else if (name == QStringLiteral("cmdOK") && event == ui::FormEvent::Click) {
        m_cancel = false;
        Hide(true);
    } else if (name == QStringLiteral("cmdCancel") && event == ui::FormEvent::Click) {
        m_cancel = true;
        Hide(false);
    }
}

}  // namespace ov::opc
