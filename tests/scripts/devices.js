// Devices through the automation API: a new OPC server device named in its
// dialog with a server from the chooser, a new own driver, the tree after it.
studio.click("OPCD");
studio.onForm("FOPCServerChooser", function (f) {
    f.choose("lvwServers", "OVOPC.Simulation");
    f.ok();
});
studio.onForm("FDevice", function (f) {
    if (f.get("optOPCServer")) {
        f.set("txtNameOPCServer", "Mixer");
        f.click("cmdChooseOPCServer");
        equal(f.get("txtShortDesc"), "Orvana simulation server", "the chooser filled the description");
    } else {
        f.set("txtChoosedDriver", "ModbusTCP");
    }
    f.ok();
});
check(studio.tool("mnuDeviceNew"), "new OPC server device");
// The new device is the one shown now; new devices are made on the devices node.
studio.click("OPCD");
check(studio.tool("mnuDeviceNewOV32Driver"), "new own-driver device");
var devices = studio.query("SELECT Name, BlobMode, ProgID FROM TpdbDevices ORDER BY ID");
equal(devices.length, 5, "two devices more");
equal(devices[3], {Name: "Mixer", BlobMode: 0, ProgID: "OVOPC.Simulation.1"}, "the OPC server device");
equal(devices[4], {Name: "Ch1", BlobMode: 3, ProgID: "<2>ModbusTCP"}, "the own driver takes the first free number");
check(named(studio.tree().children[1].children, "Mixer: Orvana simulation server"), "its node");
check(named(studio.tree().children[2].children[0].children, "Ch1: "), "its node below the groups");
print("devices ok");
