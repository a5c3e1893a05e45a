#!/usr/bin/env node
"use strict";
// OPC UA browse helper. The editor starts it as a child process and talks to it
// in JSON lines: one request per line on stdin, answers and events one per line
// on stdout. stdout carries nothing else; human-readable logs go to stderr.
// The protocol is described in README.md next to this file. This file reads
// the requests and answers them; connection.js, browse.js and live.js do the work.

// loads node-opcua with stdout kept for our lines; before anything that may print
const { version: NODE_OPCUA_VERSION } = require("./opcua-runtime");
const readline = require("node:readline");
const { CancelledError } = require("./errors");
const { log, send, watchStdout, flush } = require("./output");
const { makeContext } = require("./request");
const { prepareCertificate, opConnect, opDisconnect, opTrustCertificate, closeForExit } = require("./connection");
const { opBrowse, opBrowseTree } = require("./browse");
const { opMonitor, opUnmonitor, opRead, opWrite } = require("./live");

const HELPER_PROTOCOL = 1;
const EXIT_DEADLINE_MS = 1800; // quit or stdin close must end the process within 2 s

watchStdout(() => shutdown("stdout closed"));

const running = new Map(); // id -> context of a running browse or browseTree
let shuttingDown = false;

function answerError(id, err) {
  const answer = { id, ok: false, error: err.message || String(err) };
  if (err.cancelled) answer.cancelled = true;
  if (err.answerFields) Object.assign(answer, err.answerFields);
  send(answer);
}

// Runs a browse or browseTree. Its final answer is sent exactly once: by the
// operation itself, or by shutdown() when the helper exits first.
function runOperation(id, fn) {
  const ctx = makeContext(id);
  running.set(id, ctx);
  const finish = (answer) => {
    if (ctx.answered) return;
    ctx.answered = true;
    running.delete(id);
    answer();
  };
  fn(ctx).then(
    (result) => finish(() => (ctx.cancelled ? answerError(id, new CancelledError()) : send({ id, ok: true, ...result }))),
    (err) => finish(() => answerError(id, ctx.cancelled ? new CancelledError() : err))
  );
}

// Requests answered by one final line when their work is done.
const ANSWERED_AT_ONCE = {
  connect: opConnect,
  trustCertificate: opTrustCertificate,
  disconnect: () => opDisconnect(),
  monitor: opMonitor,
  unmonitor: opUnmonitor,
  read: opRead,
  write: opWrite,
};
// Requests that send events while they run and can be cancelled.
const CANCELLABLE = { browse: opBrowse, browseTree: opBrowseTree };

function handleLine(line) {
  if (shuttingDown) return;
  const text = line.trim();
  if (text.length === 0) return;
  let req;
  try {
    req = JSON.parse(text);
  } catch (err) {
    send({ id: null, ok: false, error: `malformed request: not valid JSON (${err.message})` });
    return;
  }
  if (req === null || typeof req !== "object" || Array.isArray(req)) {
    send({ id: null, ok: false, error: "malformed request: expected a JSON object" });
    return;
  }
  const op = req.op;
  const id = Number.isInteger(req.id) ? req.id : null;
  if (op === "quit") {
    shutdown("quit requested", id);
    return;
  }
  if (id === null) {
    send({ id: null, ok: false, error: `malformed request: "id" must be an integer` });
    return;
  }
  if (running.has(id)) {
    send({ id, ok: false, error: `request id ${id} is still in use by a running request` });
    return;
  }
  try {
    if (Object.hasOwn(ANSWERED_AT_ONCE, op)) {
      ANSWERED_AT_ONCE[op](req).then(
        (result) => send({ id, ok: true, ...result }),
        (err) => answerError(id, err)
      );
      return;
    }
    if (Object.hasOwn(CANCELLABLE, op)) {
      runOperation(id, (ctx) => CANCELLABLE[op](req, ctx));
      return;
    }
    switch (op) {
      case "cancel": {
        if (!Number.isInteger(req.target)) throw new Error(`"target" must be the integer id of a running request`);
        const ctx = running.get(req.target);
        if (ctx) ctx.cancelled = true;
        send({ id, ok: true });
        break;
      }
      default:
        send({ id, ok: false, error: op === undefined ? `malformed request: "op" is missing` : `unknown op ${JSON.stringify(op)}` });
    }
  } catch (err) {
    answerError(id, err);
  }
}

function shutdown(reason, quitId = null) {
  if (shuttingDown) return;
  shuttingDown = true;
  log(`exiting: ${reason}`);
  setTimeout(() => process.exit(0), EXIT_DEADLINE_MS).unref();
  for (const [id, ctx] of running) {
    ctx.cancelled = true;
    ctx.answered = true;
    send({ id, ok: false, error: "cancelled: the helper is exiting", cancelled: true });
  }
  running.clear();
  closeForExit()
    .catch(() => {})
    .then(() => {
      if (quitId !== null) send({ id: quitId, ok: true });
      flush(() => process.exit(0));
    });
}

process.on("uncaughtException", (err) => log("internal error:", err.stack || err.message));
process.on("unhandledRejection", (err) => log("internal error:", (err && err.stack) || String(err)));
process.on("SIGTERM", () => shutdown("SIGTERM"));
process.on("SIGINT", () => shutdown("SIGINT"));

const input = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
input.on("line", handleLine);
input.on("close", () => shutdown("stdin closed"));

send({ event: "ready", helper: HELPER_PROTOCOL, nodeOpcua: NODE_OPCUA_VERSION });
prepareCertificate();
