"use strict";
// Live values: monitored items under the editor's handles, the values events
// they bring, losing the server while values flow, single reads and writes.

const { describe, it } = require("node:test");
const assert = require("node:assert/strict");
const { ALIVE, GENERATED_NS, useHelper, waitFor } = require("./support");

const GENERATED = `nsu=${GENERATED_NS};s=Folder001.`;

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const of = (helper, handle, since = 0) => helper.values.filter((v) => v.handle === handle && v.arrived >= since);

async function monitor(helper, items, extra = {}) {
  const { answer } = await helper.call("monitor", { items, ...extra });
  assert.equal(answer.ok, true, answer.error);
  return Object.fromEntries(answer.results.map((r) => [r.handle, r.status]));
}

describe("monitoring", () => {
  const ctx = useHelper(["--alive", "--generate", "12x100"]);

  it("delivers changing values with their types and times; a node that is not there gets its status and nothing else", async () => {
    const { helper } = ctx;
    const status = await monitor(helper, [
      { handle: 1, nodeId: `${ALIVE}Ramp`, samplingMs: 100 },
      { handle: 2, nodeId: `${ALIVE}Counter`, samplingMs: 100 },
      { handle: 3, nodeId: `${ALIVE}Big`, samplingMs: 100 },
      { handle: 4, nodeId: `${ALIVE}NoSuchThing`, samplingMs: 100 },
      { handle: 5, nodeId: "nsu=urn:not:on:this:server;s=X", samplingMs: 100 },
      { handle: 6, nodeId: "s=", samplingMs: 100 },
    ]);
    assert.deepEqual(status, { 1: "Good", 2: "Good", 3: "Good", 4: "BadNodeIdUnknown", 5: "BadNodeIdUnknown", 6: "BadNodeIdInvalid" });

    await waitFor(() => of(helper, 1).length >= 6 && of(helper, 2).length >= 2, 5000, "ramp and counter values");
    const ramp = of(helper, 1);
    assert.ok(ramp.every((v) => v.type === "Double" && typeof v.value === "number" && v.status === "Good"));
    assert.ok(new Set(ramp.map((v) => v.value)).size >= 5, "the ramp moves");
    const counter = of(helper, 2);
    assert.ok(counter.every((v) => v.type === "UInt32" && Number.isInteger(v.value)));
    assert.ok(counter.at(-1).value > counter[0].value, "the counter counts");
    assert.deepEqual(of(helper, 3).map((v) => [v.value, v.type]).slice(0, 1), [["9007199254740993", "Int64"]]);

    for (const v of ramp) {
      const source = Date.parse(v.sourceTime);
      assert.match(v.sourceTime, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$/);
      assert.ok(Math.abs(v.arrived - source) < 2000, `${v.sourceTime} arrived at ${new Date(v.arrived).toISOString()}`);
      assert.ok(Date.parse(v.serverTime) >= source);
    }
    assert.deepEqual([4, 5, 6].flatMap((h) => of(helper, h)), [], "failed items get no values");

    // one line per publishing interval at most, with what changed since the last
    const lines = [...new Set(helper.values.map((v) => v.arrived))].sort((a, b) => a - b);
    const gaps = lines.slice(1).map((t, i) => t - lines[i]);
    assert.ok(gaps.filter((g) => g < 50).length <= 1, `gaps between lines: ${gaps.join(", ")}`);

    await helper.call("unmonitor", { handles: [1, 2, 3] });
  });

  it("changes the rate or the node of a handle that is monitored already, and stops on unmonitor", async () => {
    const { helper } = ctx;
    assert.deepEqual(await monitor(helper, [{ handle: 10, nodeId: `${ALIVE}Ramp`, samplingMs: 1000 }], { publishingIntervalMs: 100 }), { 10: "Good" });
    await sleep(300);
    let since = Date.now();
    await sleep(1500);
    const slow = of(helper, 10, since).length;
    assert.ok(slow >= 1 && slow <= 3, `${slow} values in 1.5 s at 1000 ms`);

    assert.deepEqual(await monitor(helper, [{ handle: 10, nodeId: `${ALIVE}Ramp`, samplingMs: 100 }]), { 10: "Good" });
    since = Date.now();
    await sleep(1000);
    assert.ok(of(helper, 10, since).length >= 6, `${of(helper, 10, since).length} values in 1 s at 100 ms`);

    // the same handle now watches another node: from then on only its values
    assert.deepEqual(await monitor(helper, [{ handle: 10, nodeId: `${ALIVE}Counter`, samplingMs: 100 }]), { 10: "Good" });
    since = Date.now();
    await waitFor(() => of(helper, 10, since).length >= 2, 3000, "counter values");
    assert.ok(of(helper, 10, since).every((v) => v.type === "UInt32"));

    // a handle pointed at a node that does not exist stops delivering
    await monitor(helper, [{ handle: 11, nodeId: `${ALIVE}Sine`, samplingMs: 100 }]);
    assert.deepEqual(await monitor(helper, [{ handle: 11, nodeId: `${ALIVE}Gone`, samplingMs: 100 }]), { 11: "BadNodeIdUnknown" });

    const { answer } = await helper.call("unmonitor", { handles: [10, 424242] });
    assert.deepEqual(answer.ok, true, "unknown handles are ignored");
    since = Date.now();
    await sleep(600);
    assert.deepEqual([10, 11].flatMap((h) => of(helper, h, since)), []);
  });

  it("monitors more items in one request than go into one service call", async () => {
    const { helper } = ctx;
    const items = [];
    for (let f = 1; f <= 12; f++) {
      for (let v = 1; v <= 100; v++) {
        items.push({ handle: 1000 + items.length, nodeId: `nsu=${GENERATED_NS};s=Folder${String(f).padStart(3, "0")}.Var${String(v).padStart(4, "0")}`, samplingMs: 500 });
      }
    }
    const status = await monitor(helper, items);
    assert.equal(Object.values(status).filter((s) => s === "Good").length, 1200);
    // every item reports its value once when it starts
    await waitFor(() => new Set(helper.values.filter((v) => v.handle >= 1000).map((v) => v.handle)).size === 1200, 10000, "1200 first values");
    await helper.call("unmonitor", { handles: items.map((i) => i.handle) });
  });

  it("refuses requests it cannot make sense of", async () => {
    const cases = [
      ["monitor", { items: "all" }, /"items" must be an array/],
      ["monitor", { items: [{ handle: "a", nodeId: `${ALIVE}Ramp` }] }, /"handle" must be an integer/],
      ["monitor", { items: [{ handle: 1, nodeId: `${ALIVE}Ramp` }, { handle: 1, nodeId: `${ALIVE}Sine` }] }, /appears twice/],
      ["monitor", { items: [{ handle: 1, nodeId: `${ALIVE}Ramp`, samplingMs: -5 }] }, /"samplingMs" must be an integer/],
      ["monitor", { items: [], publishingIntervalMs: 10 }, /"publishingIntervalMs" must be an integer from 50/],
      ["unmonitor", { handles: [1.5] }, /must be an integer/],
    ];
    for (const [op, fields, message] of cases) {
      const { answer } = await ctx.helper.call(op, fields);
      assert.equal(answer.ok, false, JSON.stringify(fields));
      assert.match(answer.error, message);
    }
  });
});

describe("monitoring when the server goes away", () => {
  const ctx = useHelper();

  it("reports the lost connection, sends no more values, and monitors afresh after a new connect", async () => {
    const { helper } = ctx;
    const first = await ctx.serve(["--alive"]);
    await helper.connect(first.endpoint);
    await monitor(helper, [{ handle: 1, nodeId: `${ALIVE}Ramp`, samplingMs: 100 }]);
    await waitFor(() => of(helper, 1).length >= 2, 5000, "first values");

    first.child.kill("SIGKILL");
    await waitFor(() => helper.unsolicited.some((m) => m.event === "connectionLost" && m.endpoint === first.endpoint), 10000, "connectionLost");
    const { answer } = await helper.call("monitor", { items: [{ handle: 1, nodeId: `${ALIVE}Ramp` }] });
    assert.match(answer.error, /not connected/);

    const second = await ctx.serve(["--alive"]);
    await helper.connect(second.endpoint);
    const since = Date.now();
    assert.deepEqual(await monitor(helper, [{ handle: 1, nodeId: `${ALIVE}Ramp`, samplingMs: 100 }]), { 1: "Good" });
    await waitFor(() => of(helper, 1, since).length >= 2, 5000, "values from the new server");
  });
});

describe("reading and writing", () => {
  const ctx = useHelper(["--alive", "--generate", "1x5"]);
  const read = async (nodeIds) => {
    const { answer } = await ctx.helper.call("read", { nodeIds });
    assert.equal(answer.ok, true, answer.error);
    return answer.values;
  };
  const write = async (nodeId, value) => (await ctx.helper.call("write", { nodeId, value })).answer;

  it("reads values in the order asked, with a status for nodes that are not there", async () => {
    const values = await read([`${ALIVE}ReadOnly`, `${ALIVE}NoSuchThing`, `${ALIVE}Big`, "s=", `${GENERATED}Var0004`, `${GENERATED}Var0005`]);
    assert.deepEqual(
      values.map((v) => [v.value, v.type, v.status]),
      [
        [42.5, "Double", "Good"],
        [null, "Null", "BadNodeIdUnknown"],
        ["9007199254740993", "Int64", "Good"],
        [null, "Null", "BadNodeIdInvalid"],
        ["Folder001.Var0004", "String", "Good"],
        [[5, 6, 7, 8], "Int16[]", "Good"],
      ]
    );
    assert.ok(Date.parse(values[0].serverTime) > Date.now() - 60000);
  });

  it("writes values converted to the variable's type and reads them back", async () => {
    const cases = [
      [`${ALIVE}Setpoint`, 12.5, 12.5],
      [`${ALIVE}Setpoint`, "-0.25", -0.25],
      [`${ALIVE}Setpoint`, "Infinity", "Infinity"],
      [`${ALIVE}Switch`, true, true],
      [`${ALIVE}Switch`, "false", false],
      [`${ALIVE}Text`, "Grüße; \"quoted\"", "Grüße; \"quoted\""],
      [`${ALIVE}Big`, "-9007199254740993", "-9007199254740993"],
      [`${ALIVE}Big`, 42, "42"],
      [`${GENERATED}Var0002`, "-17", -17],
      [`${GENERATED}Var0005`, [5, -6, "7", 8], [5, -6, 7, 8]],
    ];
    for (const [nodeId, value, back] of cases) {
      assert.deepEqual(await write(nodeId, value), { id: ctx.helper.nextId - 1, ok: true, status: "Good" }, `${nodeId} <- ${JSON.stringify(value)}`);
      const [got] = await read([nodeId]);
      assert.deepEqual(got.value, back, `${nodeId} <- ${JSON.stringify(value)}`);
    }
  });

  it("passes the server's refusal on as the status", async () => {
    for (const [nodeId, status] of [[`${ALIVE}ReadOnly`, "BadNotWritable"], [`${ALIVE}NoSuchThing`, "BadNodeIdUnknown"], ["nsu=urn:elsewhere;s=X", "BadNodeIdUnknown"]]) {
      const answer = await write(nodeId, 1);
      assert.equal(answer.ok, true, answer.error);
      assert.equal(answer.status, status, nodeId);
    }
    assert.equal((await read([`${ALIVE}ReadOnly`]))[0].value, 42.5);
  });

  it("refuses a value that does not fit the variable's type and writes nothing", async () => {
    await write(`${ALIVE}Setpoint`, 20);
    const cases = [
      [`${ALIVE}Setpoint`, "abc", /not a number/],
      [`${ALIVE}Setpoint`, [1, 2], /single Double value/],
      [`${ALIVE}Switch`, "maybe", /not true or false/],
      [`${ALIVE}Big`, "1.5", /not a whole number/],
      [`${ALIVE}Big`, "9223372036854775808", /outside the range of Int64/],
      [`${GENERATED}Var0002`, 2147483648, /outside the range of Int32/],
      [`${GENERATED}Var0005`, 5, /list of Int16 values/],
      [`${GENERATED}Var0005`, [1, 40000], /element 2: .*outside the range of Int16/],
      [`${ALIVE}Text`, { text: "x" }, /not a single String value/],
      [`${ALIVE}Setpoint`, null, /not a single Double value/],
    ];
    for (const [nodeId, value, message] of cases) {
      const answer = await write(nodeId, value);
      assert.equal(answer.ok, false, `${nodeId} <- ${JSON.stringify(value)}`);
      assert.match(answer.error, message);
      assert.ok(answer.error.includes(nodeId), answer.error);
    }
    assert.equal((await read([`${ALIVE}Setpoint`]))[0].value, 20);
  });
});
