// A queued answer to the delete question; without one the default (Cancel) is taken.
studio.click(PLC + SEP + "Line1.Motor1");
var grid = studio.grid("tdbI");
grid.select([grid.find("ItemAccess", "Line1.Motor1.Current")]);
check(studio.tool("mnuItemDelete"), "delete is offered");
equal(studio.messages()[0].buttons, ["OK", "Cancel"], "the question");
equal(grid.count(), 3, "Cancel keeps the item");
studio.answer("OK");
grid.select([grid.find("ItemAccess", "Line1.Motor1.Current")]);
studio.tool("mnuItemDelete");
equal(grid.count(), 2, "OK deletes it");
equal(studio.query("SELECT COUNT(*) AS N FROM TpdbItems WHERE ItemAccess = 'Line1.Motor1.Current'")[0].N, 0, "gone");
var folder = studio.tree().children[1].children[0].children[0].children
    .filter(function (n) { return n.text === "Motor1"; })[0];
equal(folder.count, 2, "the folder counts one item less");
print("delete ok");
