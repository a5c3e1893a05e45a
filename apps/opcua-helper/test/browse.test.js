"use strict";
// Browsing the plant fixture through the helper's JSON-lines protocol, and the
// node id text the protocol uses.

const { describe, it, before } = require("node:test");
const assert = require("node:assert/strict");
const path = require("node:path");
const { FIXTURES, PLANT_NS, useHelper, browseTree, pathsOf } = require("./support");

// Loading node-opcua sends stdout to stderr, as the helper needs; the test
// runner reports on stdout, so it gets stdout back.
const stdoutWrite = process.stdout.write;
const { formatNodeId, parseNodeId } = require("../nodeid");
process.stdout.write = stdoutWrite;

const PLANT_ID = `nsu=${PLANT_NS};s=Plant`;

// Every variable of tests/fixtures/plant.NodeSet2.xml:
// path -> [dataType, valueRank, arrayDimensions, accessLevel]
const PLANT_VARIABLES = {
  "Plant/Line1/Status": ["String", -1, null, 1], "Plant/Line1/Motor1/Running": ["Boolean", -1, null, 3],
  "Plant/Line1/Motor1/Speed": ["Double", -1, null, 3], "Plant/Line1/Motor1/SpeedSetpoint": ["Float", -1, null, 3],
  "Plant/Line1/Motor1/Current": ["Float", -1, null, 1], "Plant/Line1/Motor1/Direction": ["SByte", -1, null, 3],
  "Plant/Line1/Motor1/Mode": ["Int32", -1, null, 3], "Plant/Line1/Motor1/Drehzahl_Ölpumpe": ["Int16", -1, null, 3],
  "Plant/Line1/Motor1/OperatingHours": ["UInt32", -1, null, 3], "Plant/Line1/Motor1/StartCount": ["UInt64", -1, null, 3],
  "Plant/Line1/Motor1/Température": ["Double", -1, null, 3], "Plant/Line1/Motor2/Running": ["Boolean", -1, null, 3],
  "Plant/Line1/Motor2/Speed": ["Double", -1, null, 3], "Plant/Line1/Motor2/ErrorCode": ["UInt16", -1, null, 1],
  "Plant/Line1/Motor2/Reset": ["Boolean", -1, null, 2], "Plant/Line1/Motor2/Energy": ["Int64", -1, null, 3],
  "Plant/Line1/Motor2/LastStart": ["DateTime", -1, null, 3], "Plant/Line1/Motor2/CycleTime": ["Double", -1, null, 3],
  "Plant/Line2/Tank/Level": ["Double", -1, null, 3], "Plant/Line2/Tank/Level/EngineeringUnit": ["String", -1, null, 1],
  "Plant/Line2/Tank/Temperature": ["Double", -1, null, 3], "Plant/Line2/Tank/CoolantTemperature": ["Double", -1, null, 3],
  "Plant/Line2/Tank/ValveOpen": ["Boolean", -1, null, 3], "Plant/Line2/Tank/PumpStage": ["Byte", -1, null, 3],
  "Plant/Line2/Tank/Profile": ["Int16", 1, [10], 3], "Plant/Line2/Tank/Matrix": ["Double", 2, [4, 3], 3],
  "Plant/Line2/Tank/BatchId": ["String", -1, null, 3], "Plant/Line2/Tank/Counter": ["Int32", -1, null, 3],
  "Plant/Line2/Tank/LastSample": ["DateTime", -1, null, 1], "Plant/Line2/Special/Valve.Open": ["Boolean", -1, null, 3],
  "Plant/Line2/Special/Operator's Note": ["String", -1, null, 3], "Plant/Line2/Special/Mix;Ratio": ["Double", -1, null, 3],
  "Plant/Line2/Special/Niveau_ÿ": ["UInt16", -1, null, 3], "Plant/Line2/Special/a.b'c;dÿ": ["Int32", -1, null, 3],
};
const PLANT_OBJECTS = ["Plant/Line1", "Plant/Line2", "Plant/Line1/Motor1", "Plant/Line1/Motor2", "Plant/Line2/Tank", "Plant/Line2/Special"];

describe("browsing the plant fixture", () => {
  const ctx = useHelper(["--nodeset", path.join(FIXTURES, "plant.NodeSet2.xml")]);
  let helper;
  let tree; // browseTree of Plant, shared by several tests
  let byPath; // its nodes by "Plant/Line1/..." path

  before(async () => {
    helper = ctx.helper;
    tree = await browseTree(helper, PLANT_ID);
    byPath = pathsOf(tree.nodes, PLANT_ID, "Plant");
  });

  it("announces itself and connects with the server's namespace table", () => {
    const pinned = require("../package.json").dependencies["node-opcua"];
    assert.deepEqual(helper.readyLine, { event: "ready", helper: 1, nodeOpcua: pinned });
    assert.equal(ctx.connectAnswer.namespaces[0], "http://opcfoundation.org/UA/");
    assert.ok(ctx.connectAnswer.namespaces.includes(PLANT_NS), JSON.stringify(ctx.connectAnswer.namespaces));
  });

  it("lists the Objects folder with Plant among its children", async () => {
    const { answer, events } = await helper.call("browse", { nodeId: null });
    assert.equal(answer.ok, true);
    const nodeEvents = events.filter((e) => e.event === "nodes");
    const nodes = nodeEvents.flatMap((e) => e.nodes);
    assert.ok(nodeEvents.every((e) => e.parent === "i=85"));
    assert.equal(answer.count, nodes.length);
    const plant = nodes.find((n) => n.browseName === "Plant");
    assert.deepEqual(plant, { nodeId: PLANT_ID, browseName: "Plant", displayName: "Plant", nodeClass: "Object", hasChildren: true });
    const server = nodes.find((n) => n.browseName === "Server");
    assert.equal(server.nodeId, "i=2253", "namespace 0 ids are written without a namespace part");
    const progress = events.filter((e) => e.event === "progress");
    assert.equal(progress.at(-1).loaded, nodes.length);
  });

  it("lists every variable of the subtree with its built-in type, shape and access", () => {
    assert.equal(tree.answer.ok, true, tree.answer.error);
    assert.equal(tree.answer.count, tree.nodes.length);
    const variables = [...byPath].filter(([, n]) => n.nodeClass === "Variable");
    assert.deepEqual(variables.map(([p]) => p).sort(), Object.keys(PLANT_VARIABLES).sort());
    for (const [p, node] of variables) {
      const [dataType, valueRank, arrayDimensions, accessLevel] = PLANT_VARIABLES[p];
      assert.deepEqual(
        { dataType: node.dataType, valueRank: node.valueRank, arrayDimensions: node.arrayDimensions, accessLevel: node.accessLevel },
        { dataType, valueRank, arrayDimensions, accessLevel },
        p
      );
    }
    const objects = [...byPath].filter(([, n]) => n.nodeClass === "Object").map(([p]) => p);
    assert.deepEqual(objects.sort(), [...PLANT_OBJECTS].sort());
  });

  it("reports children, display names, node classes and declared data types as the fixture defines them", () => {
    // derived and enumerated variables name their declared data type
    assert.equal(byPath.get("Plant/Line1/Motor1/Température").dataTypeId, `nsu=${PLANT_NS};i=3001`);
    assert.equal(byPath.get("Plant/Line2/Tank/CoolantTemperature").dataTypeId, `nsu=${PLANT_NS};i=3004`);
    assert.equal(byPath.get("Plant/Line1/Motor1/Mode").dataTypeId, `nsu=${PLANT_NS};i=3002`);
    assert.equal(byPath.get("Plant/Line1/Motor2/CycleTime").dataTypeId, "i=290");
    const withChildren = [...byPath].filter(([, n]) => n.hasChildren).map(([p]) => p);
    assert.deepEqual(withChildren.sort(), [...PLANT_OBJECTS, "Plant/Line2/Tank/Level"].sort());
    assert.equal(byPath.get("Plant/Line1/Motor1/Drehzahl_Ölpumpe").displayName, "Drehzahl Ölpumpe");
    assert.ok(!byPath.has("Plant/Line1/Motor1/Start"), "methods are not listed");
    const properties = [...byPath].filter(([, n]) => "isProperty" in n);
    assert.deepEqual(properties.map(([p, n]) => [p, n.isProperty]), [["Plant/Line2/Tank/Level/EngineeringUnit", true]]);
    for (const node of tree.nodes) {
      assert.ok(node.nodeId.startsWith(`nsu=${PLANT_NS};`), node.nodeId);
      if (node.nodeClass === "Object") assert.equal(node.dataType, undefined);
    }
  });

  it("sends the tree breadth-first, each parent before its children", () => {
    const seen = new Set([PLANT_ID]);
    let lastDepth = 0;
    const depth = new Map([[PLANT_ID, 0]]);
    for (const ev of tree.events.filter((e) => e.event === "nodes")) {
      assert.ok(seen.has(ev.parent), `children of ${ev.parent} came before the parent`);
      for (const node of ev.nodes) {
        depth.set(node.nodeId, depth.get(ev.parent) + 1);
        assert.ok(depth.get(node.nodeId) >= lastDepth, "depth never decreases");
        lastDepth = depth.get(node.nodeId);
        seen.add(node.nodeId);
      }
    }
    const progress = tree.events.filter((e) => e.event === "progress").map((e) => e.loaded);
    assert.deepEqual(progress, [...progress].sort((a, b) => a - b));
    assert.equal(progress.at(-1), tree.nodes.length);
  });

  it("accepts every id it hands out, whatever the identifier type or characters", async () => {
    const parents = tree.nodes.filter((n) => n.hasChildren);
    for (const parent of parents) {
      const expected = tree.nodes.filter((n) => n.parent === parent.nodeId).map((n) => n.nodeId);
      const { answer, events } = await helper.call("browse", { nodeId: parent.nodeId });
      assert.equal(answer.ok, true, `${parent.nodeId}: ${answer.error}`);
      const got = events.filter((e) => e.event === "nodes").flatMap((e) => e.nodes.map((n) => n.nodeId));
      assert.deepEqual(got, expected, parent.nodeId);
      assert.ok(events.filter((e) => e.event === "nodes").every((e) => e.parent === parent.nodeId));
    }
    // leaves with awkward string ids: the server finds them (an unknown id is an error)
    for (const leaf of tree.nodes.filter((n) => /[.';ÿ]/.test(n.browseName))) {
      const { answer } = await helper.call("browse", { nodeId: leaf.nodeId });
      assert.deepEqual(answer, { id: answer.id, ok: true, count: 0 }, leaf.nodeId);
    }
    const kinds = new Set(tree.nodes.map((n) => /;([isgb])=/.exec(n.nodeId)[1]));
    assert.deepEqual([...kinds].sort(), ["b", "g", "i", "s"]);
  });

  it("accepts namespace indexes as well as namespace URIs", async () => {
    const index = ctx.connectAnswer.namespaces.indexOf(PLANT_NS);
    const byIndex = await helper.call("browse", { nodeId: `ns=${index};s=Plant.Line1.Motor1` });
    const byUri = await helper.call("browse", { nodeId: `nsu=${PLANT_NS};s=Plant.Line1.Motor1` });
    assert.equal(byIndex.answer.ok, true, byIndex.answer.error);
    assert.deepEqual(byIndex.events, byUri.events.map((e) => ({ ...e, id: byIndex.answer.id })));
  });

  it("follows continuation points when the batch is smaller than the child list", async () => {
    const motor1 = `nsu=${PLANT_NS};s=Plant.Line1.Motor1`;
    const small = await helper.call("browse", { nodeId: motor1, batch: 2 });
    const large = await helper.call("browse", { nodeId: motor1, batch: 500 });
    const nodesOf = (r) => r.events.filter((e) => e.event === "nodes").flatMap((e) => e.nodes);
    assert.equal(small.answer.count, 10);
    assert.deepEqual(nodesOf(small), nodesOf(large));
    const batches = small.events.filter((e) => e.event === "nodes").map((e) => e.nodes.length);
    assert.deepEqual(batches, [2, 2, 2, 2, 2]);
    assert.deepEqual(small.events.filter((e) => e.event === "progress").map((e) => e.loaded), [2, 4, 6, 8, 10]);

    const smallTree = await browseTree(helper, PLANT_ID, { batch: 2 });
    assert.equal(smallTree.answer.ok, true, smallTree.answer.error);
    const strip = (nodes) => nodes.map((n) => JSON.stringify(n)).sort();
    assert.deepEqual(strip(smallTree.nodes), strip(tree.nodes));
  });

  it("stops at maxDepth but still tells which nodes have children", async () => {
    const shallow = await browseTree(helper, PLANT_ID, { maxDepth: 2 });
    assert.equal(shallow.answer.ok, true);
    const paths = [...pathsOf(shallow.nodes, PLANT_ID, "Plant").keys()].sort();
    assert.deepEqual(paths, ["Plant/Line1", "Plant/Line1/Motor1", "Plant/Line1/Motor2", "Plant/Line1/Status", "Plant/Line2", "Plant/Line2/Special", "Plant/Line2/Tank"]);
    assert.ok(shallow.nodes.filter((n) => n.nodeClass === "Object").every((n) => n.hasChildren));
  });

  it("answers bad requests with an error line and keeps working", async () => {
    // Lines that are no request: the answer carries the id given, or null.
    const raw = [
      ["{this is not json", null, /JSON/],
      ["[1,2]", null, /./],
      ['{"op":"browse"}', null, /id/],
      ['{"id":9001,"op":"explode"}', 9001, /unknown op "explode"/],
    ];
    for (const [text, id, message] of raw) {
      const answer = await helper.rawRequest(text, id);
      assert.deepEqual([answer.id, answer.ok], [id, false], text);
      assert.match(answer.error, message, text);
    }

    const cases = [
      [{ nodeId: "x=1" }, /invalid node id/], [{ nodeId: "ns=2" }, /invalid node id/],
      [{ nodeId: "i=abc" }, /invalid node id/], [{ nodeId: "g=not-a-guid" }, /invalid node id/],
      [{ nodeId: "nsu=urn:nobody;s=X" }, /unknown namespace URI "urn:nobody"/],
      [{ nodeId: `nsu=${PLANT_NS};s=NoSuchNode` }, /does not exist/],
      [{ nodeId: null, batch: 0 }, /"batch" must be an integer/], [{ nodeId: null, batch: "10" }, /"batch" must be an integer/],
    ];
    for (const [fields, message] of cases) {
      const { answer } = await helper.call("browse", fields);
      assert.equal(answer.ok, false, JSON.stringify(fields));
      assert.match(answer.error, message);
    }

    const { answer } = await helper.call("browse", { nodeId: PLANT_ID });
    assert.equal(answer.ok, true);
    assert.equal(answer.count, 2);
    assert.deepEqual(helper.notJson, []);
    assert.deepEqual(helper.late, []);
  });
});

describe("properties among the children", () => {
  const ctx = useHelper(["--nodeset", path.join(__dirname, "fixtures", "properties.NodeSet2.xml")]);
  const PUMP = "nsu=urn:ovopc:test:properties;s=Pump";
  // browse name -> isProperty as expected: HasProperty and its subtypes (here
  // two levels of them in the server's own namespace) make properties
  const EXPECTED = { Flow: undefined, Unit: true, Parts: undefined, Seal: undefined, Model: true, MaxFlow: true };

  it("marks children reached over HasProperty or a subtype of it, in browse and browseTree alike", async () => {
    const tree = await browseTree(ctx.helper, PUMP);
    assert.equal(tree.answer.ok, true, tree.answer.error);
    assert.deepEqual(Object.fromEntries(tree.nodes.map((n) => [n.browseName, n.isProperty])), EXPECTED);
    for (const parent of [PUMP, `${PUMP}.Flow`]) {
      const { events } = await ctx.helper.call("browse", { nodeId: parent });
      const nodes = events.filter((e) => e.event === "nodes").flatMap((e) => e.nodes);
      assert.ok(nodes.length > 0, parent);
      for (const node of nodes) assert.equal(node.isProperty, EXPECTED[node.browseName], `${parent}: ${node.browseName}`);
    }
  });
});

describe("node id text", () => {
  const namespaces = ["http://opcfoundation.org/UA/", "urn:a;b%c", PLANT_NS];

  it("writes back what it reads, with the namespace URI wherever it is known", () => {
    const cases = [
      // as a request may give it, as answers write it
      ["i=85", "i=85"], ["ns=0;i=85", "i=85"], ["i=4294967295", "i=4294967295"], ["ns=2;s=Plant", `nsu=${PLANT_NS};s=Plant`],
      ["nsu=urn:a%3Bb%25c;s=X;Y", "nsu=urn:a%3Bb%25c;s=X;Y"], ["nsu=urn:a%3bb%25c;s=X", "nsu=urn:a%3Bb%25c;s=X"],
      ["ns=7;s=Elsewhere", "ns=7;s=Elsewhere"], ["ns=2;b=AAEC/w==", `nsu=${PLANT_NS};b=AAEC/w==`],
      ["g=0123ABCD-89AB-CDEF-0123-456789ABCDEF", "g=0123abcd-89ab-cdef-0123-456789abcdef"],
    ];
    for (const [text, written] of cases) {
      assert.equal(formatNodeId(parseNodeId(text, namespaces), namespaces), written, text);
      assert.equal(formatNodeId(parseNodeId(written, namespaces), namespaces), written, written);
    }
  });

  it("refuses what it cannot read and says why", () => {
    const cases = [
      ["", /expected a string/], [85, /expected a string/], ["s=", /string identifier is empty/], ["b=not base64!", /base64/],
      ["i=4294967296", /from 0 to 4294967295/], ["i=-1", /from 0 to 4294967295/], ["ns=65536;i=1", /from 0 to 65535/],
      [`nsu=${PLANT_NS}`, /missing ';'/],
      // a ';' inside the URI must be written as %3B
      ["nsu=urn:a;b%c;s=X", /unknown namespace URI "urn:a"/],
    ];
    for (const [text, message] of cases) assert.throws(() => parseNodeId(text, namespaces), message, String(text));
  });
});
