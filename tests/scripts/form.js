// A dialog driven by a callback: the simulation parameters of an item.
studio.click(PLC + SEP + "Line1.Motor1");
var shown = 0;
studio.onForm("FSimulationParameters", function (f) {
    shown++;
    f.setCell("tdbParameters", 1, 1, "250");
    f.ok();
});
var grid = studio.grid("tdbI");
grid.click(grid.find("ItemAccess", "Line1.Motor1.Speed"), "Simulation Parameters", "ellipsis");
equal(shown, 1, "the dialog was shown once");
equal(first("SELECT SimulationParameters FROM TpdbSimulation"), "-100;250;0;42;0", "the edited parameters are stored");
print("form ok");
