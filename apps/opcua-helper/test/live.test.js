"use strict";
// Live values: monitored items under the editor's handles, the values events
// they bring, and losing the server while values flow.

const { describe, it } = require("node:test");
const assert = require("node:assert/strict");
const { ALIVE, useHelper, waitFor } = require("./support");

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
const of = (helper, handle, since = 0) => helper.values.filter((v) => v.handle === handle && v.arrived >= since);

async function monitor(helper, items, extra = {}) {
  const { answer } = await helper.call("monitor", { items, ...extra });
  assert.equal(answer.ok, true, answer.error);
  return Object.fromEntries(answer.results.map((r) => [r.handle, r.status]));
}

describe("monitoring", () => {
  const ctx = useHelper(["--alive"]);

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
