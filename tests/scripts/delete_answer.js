// A queued answer to the delete question; without one the default (Cancel) is taken.
studio.click(PLC + SEP + "Line1.Motor1");
var grid = studio.grid("tdbI");
function current() { grid.select([grid.find("ItemAccess", "Line1.Motor1.Current")]); }
current();
check(studio.tool("mnuItemDelete"), "delete is offered");
equal(studio.messages()[0].buttons, ["OK", "Cancel"], "the question");
equal(grid.count(), 3, "Cancel keeps the item");
studio.answer("OK");
current();
studio.tool("mnuItemDelete");
equal(grid.count(), 2, "OK deletes it");
equal(first("SELECT COUNT(*) FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Current'"), 0, "gone");
equal(named(studio.tree().children[1].children[0].children[0].children, "Motor1").count, 2, "the folder counts one item less");
print("delete ok");
