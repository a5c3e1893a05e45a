// Check Project from a script: the findings as objects, narrowed by severity
// and rules, and what a command of the editor leaves behind found at once.
var all = studio.check();
check(all.every(function (f) { return f.severity !== "error"; }), "the demo has no error");
equal(studio.check({severity: "error"}), [], "no errors");
var warnings = studio.check({severity: "warning"});
equal(warnings, all.filter(function (f) { return f.severity === "warning"; }), "warnings without the notes");

// A new group has no items yet: a note about it alone.
studio.click("OPCG0");
check(studio.tool("mnuGroupNew"), "new group");
var group = studio.query("SELECT ID, Name FROM TpdbGroups ORDER BY ID DESC")[0];
equal(studio.check({rules: ["pv502"]}),
      [{severity: "note", code: "PV502", kind: "group", id: group.ID, object: group.Name, message: "The group has no items.",
        repairable: false}],
      "the empty group");
equal(studio.check({severity: "warning", rules: ["PV502"]}), [], "a note is less than a warning");
equal(studio.check().length, all.length + 1, "one finding more");

// Options that mean nothing are errors of the script.
function refused(options, mentions) {
    try {
        studio.check(options);
    } catch (e) {
        check(String(e).indexOf(mentions) >= 0, "the error names " + mentions + ": " + e);
        return;
    }
    throw new Error("check failed: " + JSON.stringify(options) + " was taken");
}
refused({rules: ["PV101", "PV999"]}, "PV999");
refused({severity: "fatal"}, "fatal");
refused({rules: "PV101"}, "list of codes");
refused("error", "takes an object");
print("check ok");
