// A grid edit writes the record at once; a taken name is refused with a message.
studio.click(PLC + SEP + "Line1.Motor1");
var grid = studio.grid("tdbI");
var row = grid.find("ItemAccess", "Line1.Motor1.Current");
check(row >= 0, "the item is shown");
check(grid.setCell(row, "Comment", "checked by script"), "the edit is taken");
equal(first("SELECT Comment FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Current'"), "checked by script", "written");

check(grid.setCell(row, "ItemAccess", "Line1.Motor1.Voltage"), "renaming is an edit too");
var renamed = "SELECT Name FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Voltage'";
equal(first(renamed), "Line1.Motor1.Voltage", "the name follows the item access");

grid.setCell(row, "ItemAccess", "Line1.Motor1.Speed");
var messages = studio.messages();
check(messages.length === 1 && messages[0].buttons[0] === "OK", "a taken name is reported");
equal(studio.query(renamed).length, 1, "the stored value stays");
var type = "SELECT DataType FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Voltage'";
check(grid.setCell(row, "Data Type", "VT_R8"), "the data type is an unbound column");
equal(first(type), 5, "VT_R8");

// Each edit is a step of the history the script reads and steps through;
// what a step takes back is the undo history's own part.
var history = studio.history();
equal(history.undo.length, 3, "three edits written, the refused one none: " + JSON.stringify(history));
equal(history.redo, [], "nothing undone yet");
check(studio.undo(), "the type change undone");
equal(first(type), 4, "VT_R4 again");
equal(studio.history().redo.length, 1, "one step to redo");
check(studio.redo(), "the type change again");
equal(first(type), 5, "VT_R8 again");
print("grid edit ok");
