// Shared by the script tests: checks, and a demo project of their own.
function check(condition, message) { if (!condition) throw new Error("check failed: " + message); }
function canon(value) {
    if (Array.isArray(value)) return value.map(canon);
    if (value === null || typeof value !== "object") return value;
    return Object.keys(value).sort().reduce(function (s, k) { s[k] = canon(value[k]); return s; }, {});
}
function equal(actual, expected, message) {
    if (JSON.stringify(canon(actual)) !== JSON.stringify(canon(expected)))
        throw new Error(message + ": expected " + JSON.stringify(expected) + ", got " + JSON.stringify(actual));
}
// The first field of the first row of a query; the first node with a text.
function first(sql) { var row = studio.query(sql)[0]; for (var k in row) return row[k]; }
function named(nodes, text) { return nodes.filter(function (n) { return n.text === text; })[0]; }
var SEP = studio.SEP;
var PLC = "OPCD1" + SEP + "." + SEP + "O";
studio.create(args[0], {demo: true});
