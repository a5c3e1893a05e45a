#!/usr/bin/env node
"use strict";
// Times a full browseTree of 10,000 variables in 100 folders through the
// helper, the way the editor drives it, over an unsecured connection and over
// a secured one to the same server, and prints
//
//   opcua_browse_tree_10k_s: <seconds>
//   opcua_browse_tree_10k_secure_s: <seconds>
//   opcua_browse_secure_ratio: <secure / unsecured>
//
// (each the median of three runs after one warm-up run; the two kinds take
// turns, so that a busy moment of the machine hits both alike). Details go to
// stderr.
//
//   node bench.js [--security <Mode>:<Policy>]   (default SignAndEncrypt:Basic256Sha256)

const { spawn } = require("node:child_process");
const fs = require("node:fs");
const net = require("node:net");
const os = require("node:os");
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
    const onExit = (code) => reject(new Error(`${what}: process exited with ${code}`));
    child.once("exit", onExit);
    child.lineHandlers.push((msg) => {
      if (predicate(msg)) {
        clearTimeout(timer);
        child.off("exit", onExit);
        resolve(msg);
        return true;
      }
      return false;
    });
  });
}

function parseArgs(argv) {
  let security = "SignAndEncrypt:Basic256Sha256";
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === "--security" && argv[i + 1]) security = argv[++i];
    else throw new Error(`usage: bench.js [--security <Mode>:<Policy>], got ${argv.slice(i).join(" ")}`);
  }
  const [mode, policy] = security.split(":");
  if (!mode || !policy || mode === "None") throw new Error(`--security expects a secured <Mode>:<Policy>, got "${security}"`);
  return { security, mode, policy };
}

function start(script, args, env) {
  const child = spawn(process.execPath, [path.join(__dirname, script), ...args], { stdio: ["pipe", "pipe", "inherit"], env });
  child.lineHandlers = [];
  lines(child.stdout, (line) => {
    const msg = JSON.parse(line);
    child.lineHandlers = child.lineHandlers.filter((handler) => !handler(msg));
  });
  return child;
}

const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];

async function main() {
  const { security, mode, policy } = parseArgs(process.argv.slice(2));
  const port = await freePort();
  // own PKI folders, so that the run neither depends on nor changes the user's
  const pki = fs.mkdtempSync(path.join(os.tmpdir(), "ovopc-bench-pki-"));
  // Handlers are registered before the first await, so no line can be missed.
  const server = start("server.js", ["--port", String(port), "--generate", "100x100", "--pki", path.join(pki, "server"), "--security", `None:None,${security}`]);
  const helper = start("helper.js", [], { ...process.env, OVOPC_PKI: path.join(pki, "client") });
  const stopAll = () => {
    for (const child of [helper, server]) if (child.exitCode === null) child.kill("SIGTERM");
    fs.rmSync(pki, { recursive: true, force: true });
  };
  process.on("exit", stopAll);
  try {
    const serverReady = waitFor(server, (m) => m.event === "ready", "server ready");
    const helperReady = waitFor(helper, (m) => m.event === "ready", "helper ready");
    const { endpoint, thumbprint } = await serverReady;
    await helperReady;
    let id = 0;
    const request = (op, fields) => {
      const reqId = ++id;
      const answer = waitFor(helper, (m) => m.id === reqId && m.ok !== undefined, op);
      helper.stdin.write(JSON.stringify({ id: reqId, op, ...fields }) + "\n");
      return answer;
    };
    const kinds = [
      { name: "None", fields: { securityMode: "None" }, times: [] },
      { name: security, fields: { securityMode: mode, securityPolicy: policy, acceptCertificate: thumbprint }, times: [] },
    ];

    for (let run = 0; run <= RUNS; run++) {
      for (const kind of kinds) {
        const connected = await request("connect", { endpoint, timeoutMs: 20000, ...kind.fields });
        if (!connected.ok) throw new Error(connected.error);
        const started = process.hrtime.bigint();
        const answer = await request("browseTree", { nodeId: ROOT, batch: 500 });
        const seconds = Number(process.hrtime.bigint() - started) / 1e9;
        if (!answer.ok || answer.count !== EXPECTED) {
          throw new Error(`browseTree returned ${JSON.stringify(answer)}, expected ${EXPECTED} nodes`);
        }
        process.stderr.write(`bench: ${kind.name}: ${run === 0 ? "warm-up" : `run ${run}`}: ${seconds.toFixed(3)} s\n`);
        if (run > 0) kind.times.push(seconds);
      }
    }
    const plain = median(kinds[0].times);
    const secure = median(kinds[1].times);
    process.stdout.write(`opcua_browse_tree_10k_s: ${plain.toFixed(3)}\n`);
    process.stdout.write(`opcua_browse_tree_10k_secure_s: ${secure.toFixed(3)}\n`);
    process.stdout.write(`opcua_browse_secure_ratio: ${(secure / plain).toFixed(2)}\n`);
    helper.stdin.end();
  } finally {
    stopAll();
  }
}

main().catch((err) => {
  process.stderr.write(`bench: ${err.message}\n`);
  process.exitCode = 1;
});
