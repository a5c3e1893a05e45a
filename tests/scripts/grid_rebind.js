// After the view is built again, an edit of the highlighted row goes to the
// item shown there: clicking the device once more, sorting, coming back.
function comment(item) { return first("SELECT Comment FROM TpdbItems WHERE ItemAccess = '" + item + "'"); }
var folder = PLC + SEP + "Line1.Motor1";
studio.click(folder);
var g = studio.grid("tdbI");
g.setCell(2, "Comment", "first");
var firstItem = g.rows()[2].ItemAccess;
equal(comment(firstItem), "first", "the edit went to row 2");

studio.click(folder);
g = studio.grid("tdbI");
var row = g.current.row;
var shown = g.rows()[row].ItemAccess;
g.setCell(row, "Comment", "second");
equal(comment(shown), "second", "the highlighted item took the edit");
if (shown !== firstItem) equal(comment(firstItem), "first", "no other item changed");

// Ctrl+O keeps the same item current.
g.click(1, "ItemAccess");
var before = g.rows()[1].ItemAccess;
g.key("Ctrl+O");
equal(g.rows()[g.current.row].ItemAccess, before, "sorting keeps the current item");
print("grid rebind ok");
