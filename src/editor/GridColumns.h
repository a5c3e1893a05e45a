#pragma once

#include <QStringList>
#include <vector>

namespace ov::db {
class Connection;
}
namespace ov::model {
class CVT_Types;
}
namespace ov::settings {
class CSimulationFunctions;
}
namespace ov::ui {
class GridModel;
struct GridColumn;
}

namespace ov::editor {

// What the column sets are made from besides the recordset's fields.
struct ColumnSources {
    db::Connection& connection;
    const model::CVT_Types& types;
    const settings::CSimulationFunctions& simulation;
    bool simulationColumns = true;  // the project has TpdbSimulation
    bool redundancyColumn = true;   // the project has TpdbAlign
};

// Text numbers of the unbound columns' captions.
namespace unbound {
inline constexpr int kDataType = 114;
inline constexpr int kMemberDataType = 133;
inline constexpr int kSimulationFunction = 142;
inline constexpr int kSimulationParameters = 143;
inline constexpr int kRedundancy = 144;
inline constexpr int kIndexText = 147;
}  // namespace unbound

// The column sets of the four grids: one hidden column per field of the
// recordset, presentations and captions for the known fields, the unbound
// columns, and in the item and member grids the name in the fixed split 0.
void BuildItemColumns(ui::GridModel& grid, const QStringList& fields, const ColumnSources& sources);
void BuildMemberColumns(ui::GridModel& grid, const QStringList& fields, const ColumnSources& sources);
void BuildGroupColumns(ui::GridModel& grid, const QStringList& fields);
void BuildUnitColumns(ui::GridModel& grid, const QStringList& fields);

// Split 0 shows Name in the name view, ItemAccess in the item-access view;
// split 1 then shows ItemAccess only in the name view.
void ApplyIdentifyingView(ui::GridModel& itemGrid, bool nameView);

// The SwitchID column: plain for a process class, a sorted list of the
// project's LCIDs (other values allowed) for a display class.
void FormatUnitGrid(ui::GridModel& unitGrid, bool processClass, const std::vector<int>& languageLcids);

// The value lists that name unit classes and structures, read again from
// the database: "No Unit Class" and the process classes (or all classes);
// "No Structure" and the structures; and the data type column (by its
// caption) with the elementary types and then every structure.
void UnitClassList(ui::GridColumn& column, db::Connection& connection, bool processOnly);
void StructureList(ui::GridColumn& column, db::Connection& connection);
void RefreshStructureColumns(ui::GridModel& grid, int dataTypeCaption, bool forMembers, const model::CVT_Types& types,
                             db::Connection& connection);
void RefreshUnitClassColumns(ui::GridModel& grid, db::Connection& connection);

// The "Options" format: "&H" and the value in upper-case hexadecimal.
QString OptionsText(const QVariant& value);
// The surrogate mode texts: 0 "No Default Value", else the texts of its bits.
QString DefaultModeText(int mode);

// Column orders of split 1 (or the only split): ",17,6,16,...": entry k gives
// the position of column k-1; entries naming no column are skipped.
void ApplyColumnOrders(ui::GridModel& grid, const QString& orders, int split);
QString StoreColumnOrders(const ui::GridModel& grid, int split);

}  // namespace ov::editor
