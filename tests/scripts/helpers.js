// Shared by the script tests: checks, and a demo project of their own.
function check(condition, message) {
    if (!condition) throw new Error("check failed: " + message);
}
function canon(value) {
    if (Array.isArray(value)) return value.map(canon);
    if (value === null || typeof value !== "object") return value;
    var sorted = {};
    Object.keys(value).sort().forEach(function (k) { sorted[k] = canon(value[k]); });
    return sorted;
}
function equal(actual, expected, message) {
    if (JSON.stringify(canon(actual)) !== JSON.stringify(canon(expected)))
        throw new Error(message + ": expected " + JSON.stringify(expected) + ", got " + JSON.stringify(actual));
}
var SEP = studio.SEP;
var PLC = "OPCD1" + SEP + "." + SEP + "O";
studio.create(args[0], {demo: true});
