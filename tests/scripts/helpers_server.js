// Shared by the script tests with the test server (registered as
// "Test.Server.1"), after helpers.js: a device "Alive" on it with the given
// variables of its folder Alive taken over by browsing; gives its node key.
var ALIVE = "nsu=urn:ovopc:alive;s=Alive.";
function aliveDevice(variables) {
    studio.click("OPCD");
    studio.onForm("FOPCServerChooser", function (f) { f.choose("lvwServers", "Test.Server"); f.ok(); });
    studio.onForm("FDevice", function (f) {
        f.set("txtNameOPCServer", "Alive");
        f.click("cmdChooseOPCServer");
        f.ok();
    });
    check(studio.tool("mnuDeviceNew"), "a device on the test server");
    var device = named(studio.tree().children[1].children, "Alive: Test server").key;
    studio.click(device);
    studio.onForm("FBrowseItemsOCX", function (f) {
        variables.forEach(function (name) { f.tick("Alive/" + name); });
        f.ok();
    });
    check(studio.tool("mnuDeviceHelperItemsBrowse"), "browse");
    studio.click(device);
    return device;
}
