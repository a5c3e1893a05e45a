"use strict";
// Starts the test server and the helper as child processes and speaks the
// helper's JSON-lines protocol the way the editor does.

const { spawn } = require("node:child_process");
const { before, after } = require("node:test");
const fs = require("node:fs");
const net = require("node:net");
const os = require("node:os");
const path = require("node:path");

const APP_DIR = path.resolve(__dirname, "..");
const FIXTURES = path.resolve(APP_DIR, "../../tests/fixtures");
const PLANT_NS = "urn:ovopc:test:plant";
const GENERATED_NS = "urn:ovopc:generated";
const ALIVE = "nsu=urn:ovopc:alive;s=Alive."; // prefix of the ids of server.js --alive

// A fresh temporary folder, removed when the test process ends.
function tempDir(prefix) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  process.on("exit", () => fs.rmSync(dir, { recursive: true, force: true }));
  return dir;
}

// The client PKI of the helpers of this test file, unless a test brings its own.
let sharedPki = null;

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.unref();
    probe.on("error", reject);
    probe.listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

// Calls onLine for every complete line the stream delivers.
function readLines(stream, onLine) {
  let buffer = "";
  stream.setEncoding("utf8");
  stream.on("data", (chunk) => {
    buffer += chunk;
    let newline;
    while ((newline = buffer.indexOf("\n")) >= 0) {
      const line = buffer.slice(0, newline);
      buffer = buffer.slice(newline + 1);
      onLine(line);
    }
  });
}

function exitOf(child) {
  if (child.exitCode !== null || child.signalCode !== null) {
    return Promise.resolve({ code: child.exitCode, signal: child.signalCode });
  }
  return new Promise((resolve) => child.once("exit", (code, signal) => resolve({ code, signal })));
}

async function stopChild(child) {
  if (!child || child.exitCode !== null || child.signalCode !== null) return;
  const exited = exitOf(child);
  child.kill("SIGTERM");
  const timer = setTimeout(() => child.kill("SIGKILL"), 3000);
  await exited;
  clearTimeout(timer);
}

function withDeadline(promise, ms, what) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(new Error(`${what} did not happen within ${ms} ms`)), ms);
    }),
  ]).finally(() => clearTimeout(timer));
}

// server.js on a free loopback port; resolves once it printed its ready line.
async function startServer(args) {
  const port = await freePort();
  const child = spawn(process.execPath, [path.join(APP_DIR, "server.js"), "--port", String(port), ...args], {
    stdio: ["pipe", "pipe", "pipe"],
  });
  let stderr = "";
  child.stderr.on("data", (d) => (stderr += d));
  const ready = new Promise((resolve, reject) => {
    readLines(child.stdout, (line) => {
      try {
        const msg = JSON.parse(line);
        if (msg.event === "ready") resolve(msg);
      } catch {
        reject(new Error(`server printed a line that is not JSON: ${line}`));
      }
    });
    child.once("exit", (code) => reject(new Error(`server exited with ${code} before it was ready:\n${stderr}`)));
  });
  const { endpoint, thumbprint } = await withDeadline(ready, 30000, "server start");
  return { child, endpoint, thumbprint, port, stop: () => stopChild(child), stderr: () => stderr };
}

// Resolves once check() holds, polling every 10 ms.
function waitFor(check, ms, what) {
  return withDeadline(
    (async () => {
      while (!check()) await new Promise((r) => setTimeout(r, 10));
    })(),
    ms,
    what
  );
}

class Helper {
  // pki: the client's PKI folder (OVOPC_PKI); by default one shared by the test file
  constructor({ pki } = {}) {
    if (!pki) pki = sharedPki || (sharedPki = tempDir("ovopc-client-pki-"));
    this.pki = pki;
    this.child = spawn(process.execPath, [path.join(APP_DIR, "helper.js")], {
      stdio: ["pipe", "pipe", "pipe"],
      env: { ...process.env, OVOPC_PKI: pki },
    });
    this.nextId = 1;
    this.calls = new Map(); // id -> { events, onEvent, resolve }
    this.unsolicited = []; // lines without a request id, except the ready line
    this.values = []; // the entries of all values events, each with the time it arrived
    this.notJson = []; // anything on stdout that is not a JSON object
    this.late = []; // lines for an id whose final answer had already arrived
    this.answered = new Set();
    this.stderr = "";
    this.child.stderr.on("data", (d) => (this.stderr += d));
    this.exited = exitOf(this.child);
    this.ready = withDeadline(new Promise((resolve) => (this.onReady = resolve)), 30000, "helper ready line");
    readLines(this.child.stdout, (line) => this.onLine(line));
  }

  onLine(line) {
    let msg = null;
    try {
      msg = JSON.parse(line);
    } catch {}
    if (msg === null || typeof msg !== "object" || Array.isArray(msg)) return this.notJson.push(line);
    if (msg.event === "ready" && !("id" in msg)) {
      this.readyLine = msg;
      return this.onReady(msg);
    }
    if (msg.event === "values" && !("id" in msg)) {
      const arrived = Date.now();
      for (const v of msg.values) this.values.push({ ...v, arrived });
    }
    if (msg.id === undefined || msg.id === null || !this.calls.has(msg.id)) return this.unsolicited.push(msg);
    if (this.answered.has(msg.id)) return this.late.push(msg);
    const call = this.calls.get(msg.id);
    if (msg.event) {
      call.events.push(msg);
      if (call.onEvent) call.onEvent(msg);
    } else {
      this.answered.add(msg.id);
      call.resolve({ answer: msg, events: call.events });
    }
  }

  sendLine(text) {
    this.child.stdin.write(text + "\n");
  }

  // Waits for the final answer to the request with this id, sending text as the request.
  expect(id, text, ms, what, onEvent) {
    const call = { events: [], onEvent };
    const done = new Promise((resolve) => (call.resolve = resolve));
    this.calls.set(id, call);
    this.sendLine(text);
    return withDeadline(done, ms, what);
  }

  // Sends a request; returns its id and a promise of { answer, events }.
  start(op, fields = {}, onEvent) {
    const id = this.nextId++;
    return { id, done: this.expect(id, JSON.stringify({ id, op, ...fields }), 60000, `answer to ${op} #${id}`, onEvent) };
  }

  call(op, fields, onEvent) {
    return this.start(op, fields, onEvent).done;
  }

  // Lines that answer malformed requests carry the id we put in (or null).
  async rawRequest(text, expectedId) {
    if (expectedId !== null && expectedId !== undefined) return (await this.expect(expectedId, text, 10000, `answer to ${text}`)).answer;
    const before = this.unsolicited.length;
    this.sendLine(text);
    await waitFor(() => this.unsolicited.length > before, 10000, `answer to ${text}`);
    return this.unsolicited[before];
  }

  async connect(endpoint, extra = {}) {
    const { answer } = await this.call("connect", { endpoint, timeoutMs: 5000, ...extra });
    if (!answer.ok) throw new Error(`connect failed: ${answer.error}`);
    return answer;
  }

  closeStdin() {
    this.child.stdin.end();
  }

  async stop() {
    await stopChild(this.child);
  }
}

// Registers the hooks of a describe block: a ready helper, optionally a
// server started with serverArgs and connected to. The returned object gets
// helper, server and connectAnswer before the first test; serve() starts
// further servers that are stopped with the block.
function useHelper(serverArgs, helperOptions) {
  const ctx = { servers: [] };
  ctx.serve = async (args) => {
    const server = await startServer(args);
    ctx.servers.push(server);
    return server;
  };
  before(async () => {
    if (serverArgs) ctx.server = await ctx.serve(serverArgs);
    ctx.helper = new Helper(helperOptions);
    await ctx.helper.ready;
    if (ctx.server) ctx.connectAnswer = await ctx.helper.connect(ctx.server.endpoint);
  });
  after(async () => {
    if (ctx.helper) await ctx.helper.stop();
    for (const s of ctx.servers) await s.stop();
  });
  return ctx;
}

// Runs a browseTree and returns every node with its parent and path.
async function browseTree(helper, nodeId, fields = {}) {
  const { answer, events } = await helper.call("browseTree", { nodeId, ...fields });
  const nodes = [];
  for (const ev of events) {
    if (ev.event === "nodes") for (const node of ev.nodes) nodes.push({ ...node, parent: ev.parent });
  }
  return { answer, events, nodes };
}

// "Plant/Line1/Motor1/Speed" style paths from the parent links of a tree.
function pathsOf(nodes, rootId, rootName) {
  const byId = new Map(nodes.map((n) => [n.nodeId, n]));
  const pathOf = (node) => {
    const parts = [node.browseName];
    let parent = node.parent;
    while (parent !== rootId) {
      const p = byId.get(parent);
      if (!p) throw new Error(`parent ${parent} of ${node.nodeId} was never listed`);
      parts.unshift(p.browseName);
      parent = p.parent;
    }
    parts.unshift(rootName);
    return parts.join("/");
  };
  return new Map(nodes.map((n) => [pathOf(n), n]));
}

module.exports = {
  APP_DIR, FIXTURES, PLANT_NS, GENERATED_NS, ALIVE,
  tempDir, freePort, startServer, Helper, useHelper, waitFor, browseTree, pathsOf, withDeadline, exitOf,
};
