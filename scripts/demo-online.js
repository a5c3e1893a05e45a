// The demo's weather station online: its items with the values the demo's
// server delivers, as View > Online values shows them. Run by scripts/demo.sh
// through "ovstudio --script".
studio.click("OPCE0");
var devices = studio.tree().children[1].children;
var weather = devices.filter(function (n) { return n.text.indexOf("Weather") === 0; })[0];
if (!weather) throw new Error("the demo project has no Weather device");
studio.click(weather.key);
studio.online(true);
// The first values arrive within a second; the slow group samples every 5 s.
for (var waited = 0; waited < 6000; waited += 250) {
    studio.wait(250);
    var rows = studio.grid("tdbI").rows();
    if (rows.length > 0 && rows.every(function (r) { return r.Quality !== ""; })) break;
}
studio.grid("tdbI").rows().forEach(function (r) { print(r.Name + "\t" + r.Value + "\t" + r.Quality); });
