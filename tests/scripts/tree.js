// The tree after clicks: the branch loads on the first click.
equal(studio.tree().children.length, 0, "nothing is loaded before the first click");
studio.click("OPCE0");
var tree = studio.tree();
equal(tree.children.map(function (n) { return n.key; }), ["OPCD0", "OPCD", "OPCG0", "OPCU0", "OPCS0"], "top branches");
var plc = tree.children[1].children[0];
equal(plc.key, PLC, "the first device");
equal(plc.children.map(function (n) { return n.text + "=" + n.count; }), ["Line1=9", "Line2=4"], "folders with item counts");
equal(plc.children[0].image, "icoItemBranch", "folder image");
studio.click(PLC + SEP + "Line1.Motor1");
equal(studio.grid("tdbI").count(), 3, "items of the folder");
check(studio.caption().indexOf("PLC1") > 0, "the caption names the device");
print("tree ok");
