// Creates items in a folder and names them from a list, as an engineer would.
var folder = PLC + SEP + "Line1.Tank";
studio.click(folder);
var names = ["Pressure", "Flow", "Valve"];
names.forEach(function (name) {
    check(studio.tool("mnuItemNew"), "new item");
    var grid = studio.grid("tdbI");
    var row = grid.current.row;
    check(grid.setCell(row, "ItemAccess", "Line1.Tank." + name), "named " + name);
});
equal(studio.grid("tdbI").count(), 6, "three new items in the folder");
equal(studio.query("SELECT COUNT(*) AS N FROM TpdbItems WHERE ItemAccess LIKE 'Line1.Tank.%'")[0].N, 6, "stored");
print("bulk ok");
