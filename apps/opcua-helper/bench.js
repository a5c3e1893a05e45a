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
//
// With --monitor it monitors 200 variables that change every 100 ms, sampled
// every 100 ms, and prints over 10 s (after 2 s to settle)
//
//   opcua_monitor_200_cpu_percent: <the helper's CPU time / wall time, in % of one core>
//   opcua_monitor_200_latency_ms: <median time from a value's source time to its line>
//
//   node bench.js --monitor

const { spawn, execFileSync } = require("node:child_process");
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
  let monitor = false;
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === "--security" && argv[i + 1]) security = argv[++i];
    else if (argv[i] === "--monitor") monitor = true;
    else throw new Error(`usage: bench.js [--security <Mode>:<Policy>] | --monitor, got ${argv.slice(i).join(" ")}`);
  }
  const [mode, policy] = security.split(":");
  if (!mode || !policy || mode === "None") throw new Error(`--security expects a secured <Mode>:<Policy>, got "${security}"`);
  return { security, mode, policy, monitor };
}

function start(script, args, env) {
  const child = spawn(process.execPath, [path.join(__dirname, script), ...args], { stdio: ["pipe", "pipe", "inherit"], env });
  child.lineHandlers = [];
  lines(child.stdout, (line) => {
    const msg = JSON.parse(line);
    if (child.onLine) child.onLine(msg);
    child.lineHandlers = child.lineHandlers.filter((handler) => !handler(msg));
  });
  return child;
}

const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];

// CPU seconds (user and system) a process has used so far; Linux only.
function cpuSeconds(pid) {
  const stat = fs.readFileSync(`/proc/${pid}/stat`, "utf8");
  const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
  return (Number(fields[11]) + Number(fields[12])) / cpuSeconds.ticks;
}
try {
  cpuSeconds.ticks = Number(execFileSync("getconf", ["CLK_TCK"], { encoding: "utf8" })) || 100;
} catch {
  cpuSeconds.ticks = 100;
}

const MONITORED = 200;
const SETTLE_MS = 2000;
const MEASURE_MS = 10000;

// A test server with these arguments and a helper, each with a PKI folder of
// its own, so that the run neither depends on nor changes the user's. The
// ready waits are registered before the first await, so no line is missed.
async function startServerAndHelper(serverArgs) {
  const port = await freePort();
  const pki = fs.mkdtempSync(path.join(os.tmpdir(), "ovopc-bench-pki-"));
  const server = start("server.js", ["--port", String(port), "--pki", path.join(pki, "server"), ...serverArgs]);
  const helper = start("helper.js", [], { ...process.env, OVOPC_PKI: path.join(pki, "client") });
  const stopAll = () => {
    for (const child of [helper, server]) if (child.exitCode === null) child.kill("SIGTERM");
    fs.rmSync(pki, { recursive: true, force: true });
  };
  process.on("exit", stopAll);
  const serverReady = waitFor(server, (m) => m.event === "ready", "server ready");
  const helperReady = waitFor(helper, (m) => m.event === "ready", "helper ready");
  return { server, helper, serverReady, helperReady, stopAll };
}

async function benchMonitor() {
  if (!fs.existsSync("/proc/self/stat")) throw new Error("--monitor measures CPU time through /proc and runs on Linux only");
  const { helper, serverReady, helperReady, stopAll } = await startServerAndHelper(["--alive", "--alive-ramps", String(MONITORED)]);
  try {
    const { endpoint } = await serverReady;
    await helperReady;
    let measuring = false;
    const delays = [];
    let lines = 0;
    helper.onLine = (msg) => {
      if (msg.event !== "values" || !measuring) return;
      const arrived = Date.now();
      lines++;
      for (const v of msg.values) if (v.sourceTime) delays.push(arrived - Date.parse(v.sourceTime));
    };
    let id = 0;
    const request = async (op, fields) => {
      const reqId = ++id;
      const answer = waitFor(helper, (m) => m.id === reqId && m.ok !== undefined, op);
      helper.stdin.write(JSON.stringify({ id: reqId, op, ...fields }) + "\n");
      const result = await answer;
      if (!result.ok) throw new Error(`${op}: ${result.error}`);
      return result;
    };
    await request("connect", { endpoint, timeoutMs: 20000 });
    const items = Array.from({ length: MONITORED }, (_, i) => ({
      handle: i + 1,
      nodeId: `nsu=urn:ovopc:alive;s=Alive.Ramps.Ramp${String(i + 1).padStart(3, "0")}`,
      samplingMs: 100,
    }));
    const { results } = await request("monitor", { items });
    const bad = results.filter((r) => r.status !== "Good");
    if (bad.length > 0) throw new Error(`${bad.length} items failed, e.g. ${JSON.stringify(bad[0])}`);
    await new Promise((r) => setTimeout(r, SETTLE_MS));

    measuring = true;
    const cpuBefore = cpuSeconds(helper.pid);
    const started = process.hrtime.bigint();
    await new Promise((r) => setTimeout(r, MEASURE_MS));
    const cpu = cpuSeconds(helper.pid) - cpuBefore;
    const wall = Number(process.hrtime.bigint() - started) / 1e9;
    measuring = false;
    if (delays.length === 0) throw new Error("no values arrived");
    process.stderr.write(`bench: ${delays.length} values in ${lines} lines over ${wall.toFixed(1)} s; helper CPU ${cpu.toFixed(2)} s\n`);
    process.stdout.write(`opcua_monitor_200_cpu_percent: ${((100 * cpu) / wall).toFixed(1)}\n`);
    process.stdout.write(`opcua_monitor_200_latency_ms: ${median(delays)}\n`);
    helper.stdin.end();
  } finally {
    stopAll();
  }
}

async function main() {
  const { security, mode, policy, monitor } = parseArgs(process.argv.slice(2));
  if (monitor) return benchMonitor();
  const { helper, serverReady, helperReady, stopAll } = await startServerAndHelper(["--generate", "100x100", "--security", `None:None,${security}`]);
  try {
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
