// Browsing PLC1's server through the automation API: the simulation server's
// address space comes from the demo's NodeSet2 file. A folder is ticked by
// its path, one variable of it unticked again, and a changed item is taken
// over from the server after the question, answered with answer().
studio.click(PLC);
studio.onForm("FBrowseItemsOCX", function (f) {
    f.tick("DemoPlant/Boiler");
    f.untick("DemoPlant/Boiler/LastService");
    equal(named(f.nodes("oib"), "Boiler").checked, 2, "partly ticked");
    f.ok();
});
check(studio.tool("mnuDeviceHelperItemsBrowse"), "browse");
var taken = studio.query("SELECT Name, DataType, AccessRights FROM TpdbItems WHERE ItemAccess LIKE 'nsu=urn:ovopc:demo;%' ORDER BY ID");
equal(taken.length, 9, "nine of the Boiler's ten");
equal(taken[0], {Name: "DemoPlant.Boiler.Temperature", DataType: 5, AccessRights: 1}, "named by browse names");
equal(first("SELECT Count(*) FROM TpdbConnections c JOIN TpdbItems i ON i.ID = c.ItemID " +
            "WHERE c.GroupID = 1 AND i.ItemAccess LIKE 'nsu=urn:ovopc:demo;%'"), 9, "each in the first group");

// A second browse: the device's items arrive ticked; Temperature's type was
// changed in the grid, so the question asks whether to take the server's.
// The item IDs are node IDs; the tree's folders follow their dots.
studio.click(PLC + SEP + "nsu=urn:ovopc:demo;s=DemoPlant.Boiler");
var grid = studio.grid("tdbI");
var row = grid.find("ItemAccess", "nsu=urn:ovopc:demo;s=DemoPlant.Boiler.Temperature");
check(row >= 0, "the new item in the grid");
check(grid.setCell(row, "Data Type", "VT_R4"), "its type changed");
studio.onForm("FBrowseItemsOCX", function (f) {
    f.expand("DemoPlant/Boiler");
    equal(named(f.nodes("oib"), "Temperature").checked, 1, "ticked on arrival");
    f.ok();
});
studio.answer("Yes");
studio.click(PLC);
check(studio.tool("mnuDeviceHelperItemsBrowse"), "browse again");
equal(first("SELECT DataType FROM TpdbItems WHERE Name = 'DemoPlant.Boiler.Temperature'"), 5, "the server's type taken over");
equal(first("SELECT Count(*) FROM TpdbItems WHERE ItemAccess LIKE 'nsu=urn:ovopc:demo;%'"), 9, "nothing new, nothing gone");
print("browse ok");
