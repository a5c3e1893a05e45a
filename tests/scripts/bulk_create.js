// Creates items in a folder and names them from a list, as an engineer would.
var folder = PLC + SEP + "Line1.Tank";
studio.click(folder);
["Pressure", "Flow", "Valve"].forEach(function (name) {
    check(studio.tool("mnuItemNew"), "new item");
    var grid = studio.grid("tdbI");
    check(grid.setCell(grid.current.row, "ItemAccess", "Line1.Tank." + name), "named " + name);
});
equal(studio.grid("tdbI").count(), 6, "three new items in the folder");
equal(first("SELECT COUNT(*) FROM TpdbItems WHERE ItemAccess LIKE 'Line1.Tank.%'"), 6, "stored");
print("bulk ok");
