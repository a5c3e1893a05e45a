// Groups through the automation API: a new group renamed in the grid, edited
// in its dialog with a control variable from the studio's chooser.
studio.click("OPCG0");
check(studio.tool("mnuGroupNew"), "new group");
var grid = studio.grid("tdbG");
var row = grid.find("Name", "Neue Gruppe");
check(row >= 0 && grid.current.row === row, "the new group is the current row");
check(grid.setCell(row, "Name", "Packaging"), "renamed in the grid");
grid.click(0, "Name");  // leaving the row writes it
equal(named(studio.tree().children[2].children, "Packaging").children.length, 3, "its node with the devices");
studio.onForm("FGroup", function (f) {
    f.choose("cmbActiveMode", "use Control Variable");
    f.set("txtActivation", "Line1.Start");
    f.set("txtUpdateRate", "250");
    f.ok();
});
grid.click(grid.find("Name", "Packaging"), "Name", "double");
var stored = studio.query("SELECT ActiveMode, Activation, UpdateRate FROM TpdbGroups WHERE Name = 'Packaging'")[0];
equal(stored, {ActiveMode: 1, Activation: "Line1.Start", UpdateRate: 250}, "written from the dialog");
print("groups ok");
