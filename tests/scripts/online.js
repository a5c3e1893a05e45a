// Live values through the automation API on the test server's variables:
// one node ID typed by hand with a mistake, values that arrive while the
// script waits, and writes answered from the answer queue.
var device = aliveDevice(["Ramp", "Setpoint", "ReadOnly"]);
var grid = studio.grid("tdbI");
function row(name) { return grid.find("ItemAccess", ALIVE + name); }
function live(name) { return grid.rows()[row(name)]; }
// Values arrive only while the script waits; each check has a bound.
function until(what, done) {
    for (var i = 0; i < 100 && !done(); i++) studio.wait(100);
    check(done(), what + ": " + JSON.stringify(grid.rows()));
}
check(studio.tool("mnuItemNew"), "an item typed by hand");
check(grid.setCell(grid.current.row, "ItemAccess", ALIVE + "Typo"), "with a node ID the server does not know");
check(grid.setCell(row("Setpoint"), "MinVal", "0") && grid.setCell(row("Setpoint"), "MaxVal", "50"), "a range");

// Online: the three columns join the rows and fill as values arrive.
check(studio.online(true), "online");
until("a good ramp value", function () { return live("Ramp").Quality === "Good"; });
var ramp = live("Ramp").Value;
check(live("Ramp").Time !== "", "a source time");
until("the ramp moves", function () { return live("Ramp").Value !== ramp; });
until("the typed ID is refused", function () { return live("Typo").Quality !== ""; });
equal(live("Typo").Quality, "Bad_NodeIdUnknown", "the server's status");
until("the setpoint read", function () { return live("Setpoint").Quality === "Good"; });
equal(live("Setpoint").Value, "20", "the setpoint as the server starts");

// A row of PLC1, whose server is a NodeSet file: nothing can be written there,
// and no dialog waits for the next write.
studio.click(PLC + SEP + "Line1.Tank");
check(!studio.writeValue(grid.find("ItemAccess", "Line1.Tank.TempUnit"), "1"), "no write on an offline device");
studio.click(device);

// Out of range: refused with a message before anything is sent.
var shown = studio.messages().length;
check(studio.writeValue(row("Setpoint"), "99"), "the command runs");
var said = studio.messages().slice(shown);
check(said.length === 1 && said[0].text.indexOf("outside") >= 0, "out of range: " + JSON.stringify(said));
// Cancel at the second question sends nothing either.
studio.answer("Cancel");
check(studio.writeValue(row("Setpoint"), "33"), "the command runs");
said = studio.messages().slice(shown + 1);
check(said.length === 1 && said[0].text.indexOf("Write 33") >= 0, "the second question: " + JSON.stringify(said));
studio.wait(500);
equal(live("Setpoint").Value, "20", "nothing written after Cancel or out of range");
// OK writes; the value comes back from the server.
studio.answer("OK");
check(studio.writeValue(row("Setpoint"), "25"), "written");
until("the written value read back", function () { return live("Setpoint").Value === "25"; });
equal(studio.messages().length, shown + 3, "only the second question");
check(!studio.writeValue(row("ReadOnly"), "1"), "no write without write rights");

// Mistakes in the calls themselves.
function thrown(call) { try { call(); } catch (e) { return e.message; } return "nothing thrown"; }
var error = thrown(function () { studio.writeValue(999, "1"); });
check(error.indexOf("Row 999") >= 0 && error.indexOf("0 to 3") >= 0, "the row range: " + error);
error = thrown(function () { studio.wait(-1); });
check(error.indexOf("0 to 600000 milliseconds") >= 0, "the bounds of wait: " + error);

// Offline: the columns are gone.
check(!studio.online(false), "offline");
check(!("Value" in grid.rows()[0]) && !("Quality" in grid.rows()[0]), "no live keys: " + JSON.stringify(grid.rows()[0]));
print("online ok");
