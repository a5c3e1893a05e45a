#include "settings/DefaultInits.h"

namespace ov::settings {

namespace {

// The editor window's defaults. Keys are the property paths of the window
// ("Me") and its controls; the grids have one key set per field of their
// table, in the table's column order, with the technical fields hidden.
// Widths are in twips. The column order lists give the display position of
// each column of split 1 (of the only split of tdbU).
constexpr char kEditorWindow[] = R"(Me.WindowState=2
Me.PosLeft=0
Me.PosTop=0
Me.Width=6000
Me.Height=3000
Me.Font.Name=Arial
Me.Font.Size=8,25
Me.Font.Underline=False
Me.Font.Strikethrough=False
Me.Font.Charset=0
Me.Font.Italic=False
Me.Font.Weight=400

tdbI.Font.Name=Arial
tdbI.Font.Size=8,25
tdbI.Font.Underline=False
tdbI.Font.Strikethrough=False
tdbI.Font.Charset=0
tdbI.Font.Italic=False
tdbI.Font.Weight=400

tdbI.Splits(0).Columns("Name").Width=2500
tdbI.Splits(0).Columns("Name").AllowSizing=True
tdbI.Splits(0).Columns("Name").Visible=True

tdbI.Splits(1).Columns("ID").Width=800
tdbI.Splits(1).Columns("ID").AllowSizing=False
tdbI.Splits(1).Columns("ID").Visible=False
tdbI.Splits(1).Columns("ID").Order=17
tdbI.Splits(1).Columns("Name").Width=2500
tdbI.Splits(1).Columns("Name").AllowSizing=False
tdbI.Splits(1).Columns("Name").Visible=False
tdbI.Splits(1).Columns("DeviceID").Width=800
tdbI.Splits(1).Columns("DeviceID").AllowSizing=False
tdbI.Splits(1).Columns("DeviceID").Visible=False
tdbI.Splits(1).Columns("MinVal").Width=1300
tdbI.Splits(1).Columns("MinVal").AllowSizing=True
tdbI.Splits(1).Columns("MinVal").Visible=True
tdbI.Splits(1).Columns("UnitClassIDItemDependent").Width=1800
tdbI.Splits(1).Columns("UnitClassIDItemDependent").AllowSizing=True
tdbI.Splits(1).Columns("UnitClassIDItemDependent").Visible=True
tdbI.Splits(1).Columns("UnitClassIDDisplayDependent").Width=1800
tdbI.Splits(1).Columns("UnitClassIDDisplayDependent").AllowSizing=True
tdbI.Splits(1).Columns("UnitClassIDDisplayDependent").Visible=True
tdbI.Splits(1).Columns("DefaultVal").Width=1300
tdbI.Splits(1).Columns("DefaultVal").AllowSizing=True
tdbI.Splits(1).Columns("DefaultVal").Visible=True
tdbI.Splits(1).Columns("DefaultMode").Width=1800
tdbI.Splits(1).Columns("DefaultMode").AllowSizing=True
tdbI.Splits(1).Columns("DefaultMode").Visible=True
tdbI.Splits(1).Columns("WriteThru").Width=1100
tdbI.Splits(1).Columns("WriteThru").AllowSizing=True
tdbI.Splits(1).Columns("WriteThru").Visible=True
tdbI.Splits(1).Columns("Options").Width=1200
tdbI.Splits(1).Columns("Options").AllowSizing=True
tdbI.Splits(1).Columns("Options").Visible=True
tdbI.Splits(1).Columns("StructID").Width=1500
tdbI.Splits(1).Columns("StructID").AllowSizing=True
tdbI.Splits(1).Columns("StructID").Visible=True
tdbI.Splits(1).Columns("DataType").Width=1000
tdbI.Splits(1).Columns("DataType").AllowSizing=False
tdbI.Splits(1).Columns("DataType").Visible=False
tdbI.Splits(1).Columns("ItemAccess").Width=2500
tdbI.Splits(1).Columns("ItemAccess").AllowSizing=True
tdbI.Splits(1).Columns("ItemAccess").Visible=True
tdbI.Splits(1).Columns("AccessPath").Width=1500
tdbI.Splits(1).Columns("AccessPath").AllowSizing=True
tdbI.Splits(1).Columns("AccessPath").Visible=True
tdbI.Splits(1).Columns("AccessRights").Width=1100
tdbI.Splits(1).Columns("AccessRights").AllowSizing=True
tdbI.Splits(1).Columns("AccessRights").Visible=True
tdbI.Splits(1).Columns("FieldSize").Width=1000
tdbI.Splits(1).Columns("FieldSize").AllowSizing=True
tdbI.Splits(1).Columns("FieldSize").Visible=True
tdbI.Splits(1).Columns("MaxVal").Width=1300
tdbI.Splits(1).Columns("MaxVal").AllowSizing=True
tdbI.Splits(1).Columns("MaxVal").Visible=True
tdbI.Splits(1).Columns("Enabled").Width=800
tdbI.Splits(1).Columns("Enabled").AllowSizing=True
tdbI.Splits(1).Columns("Enabled").Visible=True
tdbI.Splits(1).Columns("TextID").Width=800
tdbI.Splits(1).Columns("TextID").AllowSizing=False
tdbI.Splits(1).Columns("TextID").Visible=False
tdbI.Splits(1).Columns("Comment").Width=3000
tdbI.Splits(1).Columns("Comment").AllowSizing=True
tdbI.Splits(1).Columns("Comment").Visible=True

tdbS.Font.Name=Arial
tdbS.Font.Size=8,25
tdbS.Font.Underline=False
tdbS.Font.Strikethrough=False
tdbS.Font.Charset=0
tdbS.Font.Italic=False
tdbS.Font.Weight=400

tdbS.Splits(0).Columns("Name").Width=2500
tdbS.Splits(0).Columns("Name").AllowSizing=True
tdbS.Splits(0).Columns("Name").Visible=True

tdbS.Splits(1).Columns("ID").Width=800
tdbS.Splits(1).Columns("ID").AllowSizing=False
tdbS.Splits(1).Columns("ID").Visible=False
tdbS.Splits(1).Columns("ID").Order=3
tdbS.Splits(1).Columns("ParentID").Width=800
tdbS.Splits(1).Columns("ParentID").AllowSizing=False
tdbS.Splits(1).Columns("ParentID").Visible=False
tdbS.Splits(1).Columns("Name").Width=2500
tdbS.Splits(1).Columns("Name").AllowSizing=False
tdbS.Splits(1).Columns("Name").Visible=False
tdbS.Splits(1).Columns("OrderNum").Width=1300
tdbS.Splits(1).Columns("OrderNum").AllowSizing=True
tdbS.Splits(1).Columns("OrderNum").Visible=True
tdbS.Splits(1).Columns("DataType").Width=1000
tdbS.Splits(1).Columns("DataType").AllowSizing=False
tdbS.Splits(1).Columns("DataType").Visible=False
tdbS.Splits(1).Columns("StructID").Width=1500
tdbS.Splits(1).Columns("StructID").AllowSizing=True
tdbS.Splits(1).Columns("StructID").Visible=True
tdbS.Splits(1).Columns("FieldSize").Width=1000
tdbS.Splits(1).Columns("FieldSize").AllowSizing=True
tdbS.Splits(1).Columns("FieldSize").Visible=True
tdbS.Splits(1).Columns("MinVal").Width=1300
tdbS.Splits(1).Columns("MinVal").AllowSizing=True
tdbS.Splits(1).Columns("MinVal").Visible=True
tdbS.Splits(1).Columns("MaxVal").Width=1300
tdbS.Splits(1).Columns("MaxVal").AllowSizing=True
tdbS.Splits(1).Columns("MaxVal").Visible=True
tdbS.Splits(1).Columns("DefaultVal").Width=1300
tdbS.Splits(1).Columns("DefaultVal").AllowSizing=True
tdbS.Splits(1).Columns("DefaultVal").Visible=True
tdbS.Splits(1).Columns("UnitClassIDItemDependent").Width=1800
tdbS.Splits(1).Columns("UnitClassIDItemDependent").AllowSizing=True
tdbS.Splits(1).Columns("UnitClassIDItemDependent").Visible=True
tdbS.Splits(1).Columns("UnitClassIDDisplayDependent").Width=1800
tdbS.Splits(1).Columns("UnitClassIDDisplayDependent").AllowSizing=True
tdbS.Splits(1).Columns("UnitClassIDDisplayDependent").Visible=True
tdbS.Splits(1).Columns("TextID").Width=800
tdbS.Splits(1).Columns("TextID").AllowSizing=False
tdbS.Splits(1).Columns("TextID").Visible=False
tdbS.Splits(1).Columns("Comment").Width=1995,024
tdbS.Splits(1).Columns("Comment").AllowSizing=True
tdbS.Splits(1).Columns("Comment").Visible=True

tdbG.Font.Name=Arial
tdbG.Font.Size=8,25
tdbG.Font.Underline=False
tdbG.Font.Strikethrough=False
tdbG.Font.Charset=0
tdbG.Font.Italic=False
tdbG.Font.Weight=400

tdbG.Splits(0).Columns("Name").Width=2500
tdbG.Splits(0).Columns("Name").AllowSizing=True
tdbG.Splits(0).Columns("Name").Visible=True

tdbG.Splits(1).Columns("ID").Width=800
tdbG.Splits(1).Columns("ID").AllowSizing=False
tdbG.Splits(1).Columns("ID").Visible=False
tdbG.Splits(1).Columns("ID").Order=2
tdbG.Splits(1).Columns("Name").Width=2500
tdbG.Splits(1).Columns("Name").AllowSizing=False
tdbG.Splits(1).Columns("Name").Visible=False
tdbG.Splits(1).Columns("UpdateRate").Width=1300
tdbG.Splits(1).Columns("UpdateRate").AllowSizing=True
tdbG.Splits(1).Columns("UpdateRate").Visible=True
tdbG.Splits(1).Columns("ActiveMode").Width=2000
tdbG.Splits(1).Columns("ActiveMode").AllowSizing=True
tdbG.Splits(1).Columns("ActiveMode").Visible=True
tdbG.Splits(1).Columns("Activation").Width=2500
tdbG.Splits(1).Columns("Activation").AllowSizing=True
tdbG.Splits(1).Columns("Activation").Visible=True
tdbG.Splits(1).Columns("AsyncRead").Width=1500
tdbG.Splits(1).Columns("AsyncRead").AllowSizing=True
tdbG.Splits(1).Columns("AsyncRead").Visible=True
tdbG.Splits(1).Columns("AsyncWrite").Width=1500
tdbG.Splits(1).Columns("AsyncWrite").AllowSizing=True
tdbG.Splits(1).Columns("AsyncWrite").Visible=True
tdbG.Splits(1).Columns("PercentDeadband").Width=1200
tdbG.Splits(1).Columns("PercentDeadband").AllowSizing=True
tdbG.Splits(1).Columns("PercentDeadband").Visible=True
tdbG.Splits(1).Columns("TimeBias").Width=1000
tdbG.Splits(1).Columns("TimeBias").AllowSizing=True
tdbG.Splits(1).Columns("TimeBias").Visible=True
tdbG.Splits(1).Columns("Enabled").Width=800
tdbG.Splits(1).Columns("Enabled").AllowSizing=True
tdbG.Splits(1).Columns("Enabled").Visible=True
tdbG.Splits(1).Columns("Comment").Width=3000
tdbG.Splits(1).Columns("Comment").AllowSizing=True
tdbG.Splits(1).Columns("Comment").Visible=True

tdbU.Font.Name=Arial
tdbU.Font.Size=8,25
tdbU.Font.Underline=False
tdbU.Font.Strikethrough=False
tdbU.Font.Charset=0
tdbU.Font.Italic=False
tdbU.Font.Weight=400

tdbU.Columns("ID").Width=800
tdbU.Columns("ID").AllowSizing=False
tdbU.Columns("ID").Visible=False
tdbU.Columns("ID").Order=2
tdbU.Columns("ParentID").Width=800
tdbU.Columns("ParentID").AllowSizing=False
tdbU.Columns("ParentID").Visible=False
tdbU.Columns("SwitchID").Width=1200
tdbU.Columns("SwitchID").AllowSizing=True
tdbU.Columns("SwitchID").Visible=True
tdbU.Columns("x1").Width=1000
tdbU.Columns("x1").AllowSizing=True
tdbU.Columns("x1").Visible=True
tdbU.Columns("y1").Width=1000
tdbU.Columns("y1").AllowSizing=True
tdbU.Columns("y1").Visible=True
tdbU.Columns("x2").Width=1000
tdbU.Columns("x2").AllowSizing=True
tdbU.Columns("x2").Visible=True
tdbU.Columns("y2").Width=1000
tdbU.Columns("y2").AllowSizing=True
tdbU.Columns("y2").Visible=True
tdbU.Columns("DecPointDisp").Width=1300
tdbU.Columns("DecPointDisp").AllowSizing=True
tdbU.Columns("DecPointDisp").Visible=True
tdbU.Columns("PhysicalUnitText").Width=2000
tdbU.Columns("PhysicalUnitText").AllowSizing=True
tdbU.Columns("PhysicalUnitText").Visible=True
tdbU.Columns("PhysicalMinVal").Width=1800
tdbU.Columns("PhysicalMinVal").AllowSizing=True
tdbU.Columns("PhysicalMinVal").Visible=True
tdbU.Columns("PhysicalMaxVal").Width=1800
tdbU.Columns("PhysicalMaxVal").AllowSizing=True
tdbU.Columns("PhysicalMaxVal").Visible=True

TDBUColOrders=,2,3,4,5,6,7,0,1
TDBIColOrders=,17,6,16,4,7,8,9,10,11,13,14,15,0,1,2,3,5,12
tdbSColOrders=,3,14,11,12,4,5,6,7,8,9,10,0,1,2,13,15
tdbGColOrders=,2,3,4,5,6,7,8,9,10,0,1

sb.Visible=True
SaveOnExit=True
RequestOnDelete=True
LoadOnForeGround=True
)";

}  // namespace

QString DefaultInitResource(const QString& name) {
    if (QString::compare(name, kEditorWindowInits, Qt::CaseInsensitive) == 0) return QString::fromUtf8(kEditorWindow);
    return QString();
}

}  // namespace ov::settings
