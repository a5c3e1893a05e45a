#include "editor/GridColumns.h"

#include "model/CVT_Types.h"
#include "platform/db/Recordset.h"
#include "platform/ui/GridModel.h"
#include "settings/CSimulationFunctions.h"
#include "settings/ColumnOrders.h"
#include "settings/TextTable.h"

namespace ov::editor {

using settings::Text;
using ui::GridColumn;
using ui::Presentation;

namespace {

// Every field first: hidden, not sizable, captioned with its name.
void AddFieldColumns(ui::GridModel& grid, const QStringList& fields) {
    grid.ClearColumns();
    for (const QString& field : fields) {
        GridColumn& c = grid.AddColumn(field, field, 1);
        c.visible = false;
        c.allowSizing = false;
    }
}

GridColumn* Field(ui::GridModel& grid, const char* field) {
    const int index = grid.ColumnIndexInSplit(QString::fromUtf8(field), 1);
    return index < 0 ? nullptr : &grid.Column(index);
}

void Caption(ui::GridModel& grid, const char* field, int text) {
    if (GridColumn* c = Field(grid, field)) c->caption = Text(text);
}

void ListOf(GridColumn& c, std::initializer_list<std::pair<QVariant, int>> entries) {
    c.presentation = Presentation::ValueList;
    c.values.Clear();
    for (const auto& [value, text] : entries) c.values.Add(value, Text(text));
}

void CheckBox(ui::GridModel& grid, const char* field) {
    if (GridColumn* c = Field(grid, field)) c->presentation = Presentation::CheckBox;
}

void NameInSplit0(ui::GridModel& grid, const char* field, int caption) {
    GridColumn& c = grid.AddColumn(QString::fromUtf8(field), Text(caption), 0);
    c.visible = true;
    c.allowSizing = true;
}

}  // namespace

void UnitClassList(GridColumn& c, db::Connection& connection, bool processOnly) {
    c.presentation = Presentation::ValueList;
    c.numberFormat = QStringLiteral("General Number");
    c.values.Clear();
    c.values.Add(0, Text(180));
    db::Recordset rs;
    rs.Open(processOnly ? QStringLiteral("SELECT ID, Name FROM TpdbUnitClasses WHERE SwitchType = 0")
                        : QStringLiteral("SELECT ID, Name FROM TpdbUnitClasses"),
            connection);
    for (; !rs.IsEOF(); rs.MoveNext()) c.values.Add(rs.Fields(0).Value().toInt(), rs.Fields(1).Value().toString());
}

void StructureList(GridColumn& c, db::Connection& connection) {
    c.presentation = Presentation::ValueList;
    c.numberFormat = QStringLiteral("General Number");
    c.values.Clear();
    c.values.Add(0, Text(181));
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT ID, Name FROM TpdbStructDefs"), connection);
    for (; !rs.IsEOF(); rs.MoveNext()) c.values.Add(rs.Fields(0).Value().toInt(), rs.Fields(1).Value().toString());
}

void RefreshStructureColumns(ui::GridModel& grid, int dataTypeCaption, bool forMembers, const model::CVT_Types& types,
                             db::Connection& connection) {
    const int dataType = grid.ColumnIndexInSplit(Text(dataTypeCaption), 1);
    if (dataType >= 0) types.FillDataTypeList(grid.Column(dataType).values, forMembers, connection);
    if (GridColumn* c = Field(grid, "StructID")) StructureList(*c, connection);
}

void RefreshUnitClassColumns(ui::GridModel& grid, db::Connection& connection) {
    if (GridColumn* c = Field(grid, "UnitClassIDItemDependent")) UnitClassList(*c, connection, true);
    if (GridColumn* c = Field(grid, "UnitClassIDDisplayDependent")) UnitClassList(*c, connection, false);
}

QString OptionsText(const QVariant& value) {
    bool ok = false;
    const qlonglong v = value.toLongLong(&ok);
    if (!ok || value.isNull()) return QStringLiteral("&H0");
    return QStringLiteral("&H") + QString::number(static_cast<quint32>(v), 16).toUpper();
}

QString DefaultModeText(int mode) {
    if (mode == 0) return Text(185);
    QString text;
    for (int bit = 0; bit < 5; ++bit)
        if (mode & (1 << bit)) text += Text(186 + bit);
    return text.mid(1);
}

void BuildItemColumns(ui::GridModel& grid, const QStringList& fields, const ColumnSources& sources) {
    AddFieldColumns(grid, fields);
    NameInSplit0(grid, "Name", 111);
    NameInSplit0(grid, "ItemAccess", 112);

    Caption(grid, "Name", 111);
    Caption(grid, "ItemAccess", 112);
    Caption(grid, "AccessPath", 113);
    Caption(grid, "MaxVal", 116);
    Caption(grid, "MinVal", 117);
    Caption(grid, "Enabled", 119);
    Caption(grid, "Comment", 120);
    Caption(grid, "StructID", 121);
    Caption(grid, "FieldSize", 122);
    Caption(grid, "WriteThru", 123);
    Caption(grid, "DefaultMode", 124);
    Caption(grid, "DefaultVal", 125);
    Caption(grid, "GroupID", 126);
    Caption(grid, "Options", 127);
    Caption(grid, "UnitClassIDItemDependent", 118);
    Caption(grid, "UnitClassIDDisplayDependent", 129);
    Caption(grid, "AccessRights", 115);
    if (GridColumn* c = Field(grid, "AccessRights")) ListOf(*c, {{1, 171}, {2, 172}, {3, 173}, {4, 174}, {0, 9260}});
    if (GridColumn* c = Field(grid, "UnitClassIDItemDependent")) UnitClassList(*c, sources.connection, true);
    if (GridColumn* c = Field(grid, "UnitClassIDDisplayDependent")) UnitClassList(*c, sources.connection, false);
    if (GridColumn* c = Field(grid, "StructID")) StructureList(*c, sources.connection);
    CheckBox(grid, "Enabled");
    CheckBox(grid, "WriteThru");
    if (GridColumn* c = Field(grid, "DefaultMode")) {
        c->presentation = Presentation::ValueList;
        c->values.SetValidate(false);
        c->values.Clear();
        for (int mode = 0; mode < 32; ++mode) c->values.Add(mode, DefaultModeText(mode));
        c->button = true;
    }
    if (GridColumn* c = Field(grid, "Options")) c->button = true;

    GridColumn& dataType = grid.AddColumn(QString(), Text(unbound::kDataType), 1);
    sources.types.FillDataTypeList(dataType.values, false, sources.connection);
    dataType.presentation = Presentation::ValueList;
    dataType.numberFormat = QStringLiteral("General Number");
    if (sources.simulationColumns) {
        GridColumn& function = grid.AddColumn(QString(), Text(unbound::kSimulationFunction), 1);
        function.presentation = Presentation::ValueList;
        for (const auto& [key, name] : sources.simulation.GetFunctions()) function.values.Add(key, name);
        grid.AddColumn(QString(), Text(unbound::kSimulationParameters), 1).button = true;
    }
    if (sources.redundancyColumn) {
        GridColumn& redundant = grid.AddColumn(QString(), Text(unbound::kRedundancy), 1);
        ListOf(redundant, {{false, 146}, {true, 145}});
    }
    grid.AddColumn(QString(), Text(unbound::kIndexText), 1);
}

void BuildMemberColumns(ui::GridModel& grid, const QStringList& fields, const ColumnSources& sources) {
    AddFieldColumns(grid, fields);
    NameInSplit0(grid, "Name", 131);
    Caption(grid, "Name", 131);
    Caption(grid, "OrderNum", 132);
    Caption(grid, "DefaultVal", 140);
    Caption(grid, "MaxVal", 134);
    Caption(grid, "MinVal", 135);
    Caption(grid, "UnitClassIDItemDependent", 136);
    Caption(grid, "StructID", 137);
    Caption(grid, "FieldSize", 138);
    Caption(grid, "Comment", 139);
    Caption(grid, "UnitClassIDDisplayDependent", 141);
    if (GridColumn* c = Field(grid, "UnitClassIDItemDependent")) UnitClassList(*c, sources.connection, true);
    if (GridColumn* c = Field(grid, "UnitClassIDDisplayDependent")) UnitClassList(*c, sources.connection, false);
    if (GridColumn* c = Field(grid, "StructID")) StructureList(*c, sources.connection);
    GridColumn& dataType = grid.AddColumn(QString(), Text(unbound::kMemberDataType), 1);
    sources.types.FillDataTypeList(dataType.values, true, sources.connection);
    dataType.presentation = Presentation::ValueList;
    dataType.numberFormat = QStringLiteral("General Number");
    grid.AddColumn(QString(), Text(unbound::kIndexText), 1);
}

void BuildGroupColumns(ui::GridModel& grid, const QStringList& fields) {
    AddFieldColumns(grid, fields);
    NameInSplit0(grid, "Name", 350);
    Caption(grid, "Name", 350);
    Caption(grid, "ActiveMode", 355);
    Caption(grid, "Activation", 356);
    Caption(grid, "AsyncRead", 352);
    Caption(grid, "AsyncWrite", 353);
    Caption(grid, "PercentDeadband", 357);
    Caption(grid, "TimeBias", 358);
    Caption(grid, "UpdateRate", 351);
    Caption(grid, "Enabled", 359);
    Caption(grid, "Comment", 354);
    if (GridColumn* c = Field(grid, "ActiveMode")) ListOf(*c, {{0, 625}, {1, 626}, {2, 627}, {4, 629}});
    if (GridColumn* c = Field(grid, "Activation")) c->button = true;
    if (GridColumn* c = Field(grid, "AsyncRead")) ListOf(*c, {{false, 610}, {true, 611}});
    if (GridColumn* c = Field(grid, "AsyncWrite")) ListOf(*c, {{false, 610}, {true, 611}});
    CheckBox(grid, "Enabled");
}

void BuildUnitColumns(ui::GridModel& grid, const QStringList& fields) {
    AddFieldColumns(grid, fields);
    grid.split0Width = 0;
    Caption(grid, "PhysicalUnitText", 104);
    Caption(grid, "DecPointDisp", 106);
    Caption(grid, "SwitchID", 107);
    Caption(grid, "Comment", 105);
    Caption(grid, "x1", 101);
    Caption(grid, "y1", 102);
    Caption(grid, "x2", 103);
    Caption(grid, "y2", 108);
    Caption(grid, "PhysicalMinVal", settings::kTextPhysicalMinimum);
    Caption(grid, "PhysicalMaxVal", settings::kTextPhysicalMaximum);
    // A physical limit is a number or a variable, chosen through the button.
    for (const char* limit : {"PhysicalMinVal", "PhysicalMaxVal"})
        if (GridColumn* c = Field(grid, limit)) c->button = true;
}

void ApplyIdentifyingView(ui::GridModel& itemGrid, bool nameView) {
    const int nameFixed = itemGrid.ColumnIndexInSplit(QStringLiteral("Name"), 0);
    const int accessFixed = itemGrid.ColumnIndexInSplit(QStringLiteral("ItemAccess"), 0);
    const int nameScrolled = itemGrid.ColumnIndexInSplit(QStringLiteral("Name"), 1);
    const int accessScrolled = itemGrid.ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1);
    if (nameFixed >= 0) itemGrid.Column(nameFixed).visible = nameView;
    if (accessFixed >= 0) itemGrid.Column(accessFixed).visible = !nameView;
    // Split 0 holds one column whatever the view: its settings are kept under "Name".
    if (nameFixed >= 0 && accessFixed >= 0) {
        itemGrid.Column(accessFixed).width = itemGrid.Column(nameFixed).width;
        itemGrid.Column(accessFixed).allowSizing = itemGrid.Column(nameFixed).allowSizing;
    }
    if (nameScrolled >= 0) itemGrid.Column(nameScrolled).visible = false;
    if (accessScrolled >= 0) itemGrid.Column(accessScrolled).visible = nameView;
}

void FormatUnitGrid(ui::GridModel& unitGrid, bool processClass, const std::vector<int>& languageLcids) {
    const int index = unitGrid.ColumnIndex(QStringLiteral("SwitchID"));
    if (index < 0) return;
    GridColumn& c = unitGrid.Column(index);
    c.values.Clear();
    if (processClass) {
        c.presentation = Presentation::Normal;
        return;
    }
    c.presentation = Presentation::ValueList;
    c.values.SetStyle(ui::ValueList::Style::DropDownCombo);
    c.values.SetSorted(true);
    c.values.SetValidate(false);
    c.values.SetTranslate(false);
    std::vector<int> sorted = languageLcids;
    std::sort(sorted.begin(), sorted.end());
    for (int lcid : sorted) c.values.Add(lcid, QString::number(lcid));
}

void ApplyColumnOrders(ui::GridModel& grid, const QString& orders, int split) {
    std::vector<int> columns;
    for (int i = 0; i < grid.ColumnCount(); ++i)
        if (grid.Column(i).split == split) columns.push_back(i);
    const std::vector<int> positions = settings::ParseColumnOrders(orders);
    for (std::size_t k = 0; k < positions.size() && k < columns.size(); ++k)
        if (positions[k] >= 0) grid.Column(columns[k]).order = positions[k];
}

QString StoreColumnOrders(const ui::GridModel& grid, int split) {
    std::vector<int> positions;
    for (int i = 0; i < grid.ColumnCount(); ++i)
        if (grid.Column(i).split == split) positions.push_back(grid.Column(i).order);
    return settings::FormatColumnOrders(positions);
}

}  // namespace ov::editor
