"use strict";
// What the helper writes: answers and events as JSON lines on stdout, which
// carries nothing else, and human-readable log lines on stderr.

const { writeLine, rawStdoutWrite } = require("./opcua-runtime");

function log(...args) {
  const text = args.map((a) => (a instanceof Error ? a.message : typeof a === "string" ? a : JSON.stringify(a)));
  process.stderr.write(`opcua-helper: ${text.join(" ")}\n`);
}

let stdoutBroken = false;

// Calls onClosed when the editor goes away and nobody reads our answers any
// more; from then on nothing is written to stdout.
function watchStdout(onClosed) {
  process.stdout.on("error", (err) => {
    stdoutBroken = true;
    log("stdout closed:", err.code || err.message);
    onClosed();
  });
}

function send(obj) {
  if (stdoutBroken) return;
  writeLine(obj);
}

// Calls back once the lines sent so far are written, or at once when stdout
// is gone.
function flush(callback) {
  if (stdoutBroken) return callback();
  rawStdoutWrite("", callback);
}

module.exports = { log, send, watchStdout, flush };
