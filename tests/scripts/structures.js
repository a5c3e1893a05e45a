// Structures and units through the automation API: a new structure with a
// bit member typed in the member grid and a second member from the dialog;
// a Fahrenheit unit taken from the catalogue of the unit dialog.
studio.click("OPCS0");
check(studio.tool("mnuStructureNew"), "new structure");
var id = first("SELECT Max(ID) FROM TpdbStructDefs");
var members = studio.grid("tdbS");
members.key("F8");
check(members.count() === 1, "a first member");
check(members.setCell(0, "Name", "Alarm"), "renamed");
check(members.setCell(0, "Data Type", "VT_BIT"), "a bit");
check(members.setCell(0, "OrderNum", "2,57"), "its position");
check(!members.setCell(0, "Name", "12"), "a number is no name");
equal(studio.query("SELECT Name, OrderNum, DataType FROM TpdbStructMembers WHERE ParentID = " + id),
      [{Name: "Alarm", OrderNum: 2.6, DataType: 256}], "written at once, the bit kept to one decimal");

members.key("F8");
studio.onForm("FStructMember", function (f) {
    f.set("TxtName", "Drive");
    f.choose("cmbDataType", "Drive");
    f.set("txtOrderNum", "4");
    f.ok();
});
members.key("F9");
equal(studio.query("SELECT DataType, StructID FROM TpdbStructMembers WHERE Name = 'Drive' AND ParentID = " + id),
      [{DataType: 12, StructID: 2}], "a member of type Drive");

// A unit from the catalogue of predefined conversions.
studio.click(named(studio.tree().children[3].children[0].children, "Temperature").key);
var units = studio.grid("tdbU");
units.key("F8");
studio.onForm("FUnit", function (f) {
    f.key("Alt+Down", "txtSelectUnit");
    f.clickNode("tvwUnits", named(f.nodes("tvwUnits"), "°C > °F (Fahrenheit)").key);
    check(f.get("txtCalculatedValue", 0) === "34 °F", "the test conversion: " + f.get("txtCalculatedValue", 0));
    f.ok();
});
units.key("F9");
equal(studio.query("SELECT x1, y1, x2, y2, PhysicalUnitText FROM TpdbUnits WHERE SwitchID = 2 AND ParentID = 1"),
      [{x1: 0, y1: 32, x2: 100, y2: 212, PhysicalUnitText: "°F"}], "the conversion stored");
print("structures ok");
