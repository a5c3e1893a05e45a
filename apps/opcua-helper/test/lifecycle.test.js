"use strict";
// Connection failures, cancelling, losing the server and leaving: what the
// editor sees when things do not go smoothly.

const { describe, it, before, after } = require("node:test");
const assert = require("node:assert/strict");
const net = require("node:net");
const path = require("node:path");
const { FIXTURES, GENERATED_NS, PLANT_NS, freePort, startServer, Helper, useHelper, browseTree, waitFor, withDeadline } = require("./support");

const GENERATED_ROOT = `nsu=${GENERATED_NS};s=Generated`;

describe("connecting", () => {
  const ctx = useHelper();
  let silent; // accepts TCP connections and never answers
  let silentPort;

  before(async () => {
    silentPort = await freePort();
    silent = net.createServer(() => {});
    await new Promise((resolve) => silent.listen(silentPort, "127.0.0.1", resolve));
  });

  after(() => silent && silent.close());

  it("says that it is not connected before the first connect", async () => {
    for (const op of ["browse", "browseTree"]) {
      const { answer } = await ctx.helper.call(op, { nodeId: null });
      assert.equal(answer.ok, false);
      assert.match(answer.error, /not connected/);
    }
    const { answer } = await ctx.helper.call("disconnect");
    assert.equal(answer.ok, true, "disconnect without a connection is harmless");
  });

  it("gives up on a closed port or a server that never answers within timeoutMs, naming the endpoint", async () => {
    const cases = [
      [`opc.tcp://127.0.0.1:${await freePort()}`, 3000, /refused/, 4000],
      [`opc.tcp://127.0.0.1:${silentPort}`, 1000, /no answer within 1000 ms/, 2000],
    ];
    for (const [endpoint, timeoutMs, message, limit] of cases) {
      const started = Date.now();
      const { answer } = await ctx.helper.call("connect", { endpoint, timeoutMs });
      assert.equal(answer.ok, false);
      assert.ok(answer.error.includes(endpoint), answer.error);
      assert.match(answer.error, message);
      assert.ok(Date.now() - started < limit, `${endpoint}: gave up within the timeout`);
    }
  });

  it("rejects endpoints that are not opc.tcp URLs", async () => {
    for (const endpoint of ["http://127.0.0.1:4840", "opc.tcp://", "", 4840, null]) {
      const { answer } = await ctx.helper.call("connect", { endpoint });
      assert.equal(answer.ok, false, String(endpoint));
      assert.match(answer.error, /invalid endpoint/);
    }
  });

  it("switches servers when asked to connect while connected", async () => {
    const plant = await ctx.serve(["--nodeset", path.join(FIXTURES, "plant.NodeSet2.xml")]);
    const generated = await ctx.serve(["--generate", "2x3"]);

    const first = await ctx.helper.connect(plant.endpoint);
    assert.ok(first.namespaces.includes(PLANT_NS));
    const second = await ctx.helper.connect(generated.endpoint);
    assert.ok(second.namespaces.includes(GENERATED_NS));
    assert.ok(!second.namespaces.includes(PLANT_NS));

    const tree = await browseTree(ctx.helper, GENERATED_ROOT);
    assert.equal(tree.answer.count, 2 + 2 * 3);

    const { answer } = await ctx.helper.call("disconnect");
    assert.equal(answer.ok, true);
    const after = await ctx.helper.call("browse", { nodeId: null });
    assert.match(after.answer.error, /not connected/);
  });
});

describe("a large address space", () => {
  const ctx = useHelper(["--generate", "100x100"]);

  it("lists 100 folders with 100 variables each, types cycling", async () => {
    const tree = await browseTree(ctx.helper, GENERATED_ROOT);
    assert.equal(tree.answer.ok, true, tree.answer.error);
    assert.equal(tree.answer.count, 10100);
    const folders = tree.nodes.filter((n) => n.parent === GENERATED_ROOT);
    assert.equal(folders.length, 100);
    assert.equal(folders[99].browseName, "Folder100");
    const inLast = tree.nodes.filter((n) => n.parent === folders[99].nodeId);
    assert.deepEqual(
      inLast.slice(0, 5).map((n) => [n.browseName, n.dataType, n.valueRank, n.arrayDimensions]),
      [
        ["Var0001", "Double", -1, null],
        ["Var0002", "Int32", -1, null],
        ["Var0003", "Boolean", -1, null],
        ["Var0004", "String", -1, null],
        ["Var0005", "Int16", 1, [4]],
      ]
    );
    assert.equal(inLast.length, 100);
    assert.equal(new Set(tree.nodes.map((n) => n.nodeId)).size, 10100, "no node is listed twice");
  });

  it("cancels a running browseTree, stays usable and answers a cancel of nothing", async () => {
    let cancel;
    const tree = ctx.helper.start("browseTree", { nodeId: null, batch: 5 }, (ev) => {
      if (ev.event === "progress" && !cancel) cancel = ctx.helper.call("cancel", { target: tree.id });
    });
    const { answer, events } = await tree.done;
    assert.deepEqual(answer, { id: tree.id, ok: false, error: "cancelled", cancelled: true });
    assert.ok(cancel, "the tree was still running after its first batch");
    assert.equal((await cancel).answer.ok, true);
    const loaded = events.filter((e) => e.event === "progress").at(-1).loaded;
    assert.ok(loaded < 10100, `stopped early (${loaded} nodes)`);

    const again = await ctx.helper.call("browse", { nodeId: GENERATED_ROOT, batch: 40 });
    assert.equal(again.answer.ok, true);
    assert.equal(again.answer.count, 100);
    assert.deepEqual(ctx.helper.late, [], "nothing arrives for a request after its final answer");
    const { answer: unknown } = await ctx.helper.call("cancel", { target: 424242 });
    assert.equal(unknown.ok, true, "a cancel for an id that is not running is answered");
  });
});

describe("a server with tight limits", () => {
  const ctx = useHelper(["--generate", "20x30", "--max-nodes-per-browse", "10", "--max-nodes-per-read", "100", "--max-continuation-points", "3"]);

  it("still gets the whole tree in small pieces", async () => {
    const tree = await browseTree(ctx.helper, GENERATED_ROOT, { batch: 7 });
    assert.equal(tree.answer.ok, true, tree.answer.error);
    assert.equal(tree.answer.count, 20 + 20 * 30);
    const variables = tree.nodes.filter((n) => n.nodeClass === "Variable");
    assert.ok(variables.every((n) => n.dataType !== "Unknown" && n.accessLevel === 3));
    assert.ok(tree.nodes.filter((n) => n.nodeClass === "Object").every((n) => n.hasChildren));
    assert.ok(variables.every((n) => !n.hasChildren));
  });
});

describe("a server that goes away or answers slowly", () => {
  const ctx = useHelper();

  it("fails the running browse when the server dies and can connect again", async () => {
    const slow = await ctx.serve(["--generate", "30x30", "--delay-ms", "200"]);
    await ctx.helper.connect(slow.endpoint);
    const tree = ctx.helper.start("browseTree", { nodeId: GENERATED_ROOT, batch: 5 });
    await new Promise((r) => setTimeout(r, 500));
    slow.child.kill("SIGKILL");
    const { answer } = await tree.done;
    assert.equal(answer.ok, false);
    assert.match(answer.error, /connection .*(lost|closed)/);
    assert.notEqual(answer.cancelled, true);
    assert.ok(ctx.helper.unsolicited.some((m) => m.event === "connectionLost" && m.endpoint === slow.endpoint));

    const browse = await ctx.helper.call("browse", { nodeId: null });
    assert.match(browse.answer.error, /not connected/);

    const fresh = await ctx.serve(["--generate", "1x1"]);
    await ctx.helper.connect(fresh.endpoint);
    const { answer: ok } = await ctx.helper.call("browse", { nodeId: GENERATED_ROOT });
    assert.equal(ok.count, 1);
  });

  it("refuses a request that reuses the id of a running one", async () => {
    const slow = await ctx.serve(["--generate", "5x5", "--delay-ms", "300"]);
    await ctx.helper.connect(slow.endpoint);
    const tree = ctx.helper.start("browseTree", { nodeId: GENERATED_ROOT });
    // the refusal carries the running id, so it is the first final line for it
    ctx.helper.sendLine(JSON.stringify({ id: tree.id, op: "browse", nodeId: null }));
    const { answer } = await tree.done;
    assert.equal(answer.ok, false);
    assert.match(answer.error, /still in use/);
    await waitFor(() => ctx.helper.late.some((m) => m.id === tree.id && !m.event), 20000, "the real answer");
    const real = ctx.helper.late.find((m) => m.id === tree.id && !m.event);
    assert.deepEqual(real, { id: tree.id, ok: true, count: 30 });
  });
});

describe("leaving", () => {
  let server;
  before(async () => (server = await startServer(["--generate", "10x10", "--delay-ms", "300"])));
  after(() => server && server.stop());

  // A helper of its own for each test, which ends it.
  async function readyHelper(connected) {
    const helper = new Helper();
    await helper.ready;
    if (connected) await helper.connect(server.endpoint);
    return helper;
  }
  async function exitsWithZeroWithin2s(helper, started) {
    const { code } = await withDeadline(helper.exited, 2000, "exit");
    assert.equal(code, 0);
    assert.ok(Date.now() - started < 2000, `took ${Date.now() - started} ms`);
  }

  it("exits with 0 within 2 s when stdin closes, even in the middle of a browse", async () => {
    const helper = await readyHelper(true);
    const tree = helper.start("browseTree", { nodeId: GENERATED_ROOT });
    await new Promise((r) => setTimeout(r, 100));
    const started = Date.now();
    helper.closeStdin();
    await exitsWithZeroWithin2s(helper, started);
    const { answer } = await tree.done;
    assert.equal(answer.ok, false);
    assert.equal(answer.cancelled, true);
  });

  it("exits with 0 on quit and answers a quit that carries an id", async () => {
    const helper = await readyHelper(true);
    const started = Date.now();
    const { answer } = await helper.call("quit");
    assert.equal(answer.ok, true);
    await exitsWithZeroWithin2s(helper, started);
  });

  it("exits on a quit without an id, too", async () => {
    const helper = await readyHelper(false);
    helper.sendLine('{"op":"quit"}');
    await exitsWithZeroWithin2s(helper, Date.now());
    assert.deepEqual(helper.unsolicited, []);
  });
});
