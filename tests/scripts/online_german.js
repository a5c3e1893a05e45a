// In a German installation the live columns answer to the same names as in
// any other: in rows(), find(), click() and the current cell.
var device = aliveDevice(["Ramp", "ReadOnly"]);
var grid = studio.grid("tdbI");
check(studio.online(true), "online");
for (var i = 0; i < 100 && grid.find("Quality", "Good") < 0; i++) studio.wait(100);
var ramp = grid.find("ItemAccess", ALIVE + "Ramp");
equal(grid.find("Quality", "Good"), ramp, "found by its quality: " + JSON.stringify(grid.rows()));
equal(grid.find("Value", "42.5"), grid.find("ItemAccess", ALIVE + "ReadOnly"), "found by its value");
check(grid.rows()[ramp].Time !== "", "a time in rows()");
grid.click(ramp, "Time");
equal(grid.current, {row: ramp, column: "Time"}, "the current cell");
print("online german ok");
