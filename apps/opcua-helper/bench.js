#!/usr/bin/env node
"use strict";
// Times a full browseTree of 10,000 variables in 100 folders through the
// helper, the way the editor drives it, and prints
//
//   opcua_browse_tree_10k_s: <seconds>
//
// (the median of three runs after one warm-up run). Details go to stderr.

const { spawn } = require("node:child_process");
const net = require("node:net");
const path = require("node:path");

const RUNS = 3;
const EXPECTED = 100 + 100 * 100;
const ROOT = "nsu=urn:ovopc:generated;s=Generated";

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer();
    probe.on("error", reject);
    probe.listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

function lines(stream, onLine) {
  let buffer = "";
  stream.setEncoding("utf8");
  stream.on("data", (chunk) => {
    buffer += chunk;
    let i;
    while ((i = buffer.indexOf("\n")) >= 0) {
      onLine(buffer.slice(0, i));
      buffer = buffer.slice(i + 1);
    }
  });
}

function waitFor(child, predicate, what, ms = 60000) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`${what}: nothing within ${ms} ms`)), ms);
    child.once("exit", (code) => reject(new Error(`${what}: process exited with ${code}`)));
    child.lineHandlers.push((msg) => {
      if (predicate(msg)) {
        clearTimeout(timer);
        resolve(msg);
        return true;
      }
      return false;
    });
  });
}

function start(script, args) {
  const child = spawn(process.execPath, [path.join(__dirname, script), ...args], { stdio: ["pipe", "pipe", "inherit"] });
  child.lineHandlers = [];
  lines(child.stdout, (line) => {
    const msg = JSON.parse(line);
    child.lineHandlers = child.lineHandlers.filter((handler) => !handler(msg));
  });
  return child;
}

async function main() {
  const port = await freePort();
  // Handlers are registered before the first await, so no line can be missed.
  const server = start("server.js", ["--port", String(port), "--generate", "100x100"]);
  const helper = start("helper.js", []);
  const stopAll = () => {
    for (const child of [helper, server]) if (child.exitCode === null) child.kill("SIGTERM");
  };
  process.on("exit", stopAll);
  try {
    const serverReady = waitFor(server, (m) => m.event === "ready", "server ready");
    const helperReady = waitFor(helper, (m) => m.event === "ready", "helper ready");
    const { endpoint } = await serverReady;
    await helperReady;
    let id = 0;
    const request = (op, fields) => {
      const reqId = ++id;
      const answer = waitFor(helper, (m) => m.id === reqId && m.ok !== undefined, op);
      helper.stdin.write(JSON.stringify({ id: reqId, op, ...fields }) + "\n");
      return answer;
    };
    const connected = await request("connect", { endpoint, timeoutMs: 10000 });
    if (!connected.ok) throw new Error(connected.error);

    const times = [];
    for (let run = 0; run <= RUNS; run++) {
      const started = process.hrtime.bigint();
      const answer = await request("browseTree", { nodeId: ROOT, batch: 500 });
      const seconds = Number(process.hrtime.bigint() - started) / 1e9;
      if (!answer.ok || answer.count !== EXPECTED) {
        throw new Error(`browseTree returned ${JSON.stringify(answer)}, expected ${EXPECTED} nodes`);
      }
      process.stderr.write(`bench: ${run === 0 ? "warm-up" : `run ${run}`}: ${seconds.toFixed(3)} s\n`);
      if (run > 0) times.push(seconds);
    }
    times.sort((a, b) => a - b);
    process.stdout.write(`opcua_browse_tree_10k_s: ${times[Math.floor(times.length / 2)].toFixed(3)}\n`);
    helper.stdin.end();
  } finally {
    stopAll();
  }
}

main().catch((err) => {
  process.stderr.write(`bench: ${err.message}\n`);
  process.exitCode = 1;
});
