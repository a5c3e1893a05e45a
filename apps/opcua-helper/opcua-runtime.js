"use strict";
// Loads node-opcua for our processes whose stdout carries JSON lines only.
// Require this module before anything else that may print.

const Module = require("node:module");
const os = require("node:os");
const path = require("node:path");

// node-opcua prints its warnings with console.log. Send all of that to stderr
// and keep the real stdout for our own lines.
const rawStdoutWrite = process.stdout.write.bind(process.stdout);
process.stdout.write = (chunk, encoding, callback) => process.stderr.write(chunk, encoding, callback);
console.log = console.info = console.debug = (...args) => console.error(...args);

// On Node 20 and 21, loading node-opcua starts a self-test that generates a
// 4096-bit RSA key on the libuv thread pool, to find out whether RSA with
// PKCS#1 v1.5 padding still works. Only the deprecated Basic128Rsa15 policy
// needs that, and we never choose it. The key generation costs a second of
// CPU and holds up process exit until it is done (exit waits for the thread
// pool), which breaks our promise to exit quickly. Replace the self-test with
// a no-op.
function skipRsaSelfTest() {
  try {
    const index = require.resolve("node-opcua-secure-channel");
    const file = path.join(path.dirname(index), "verify_pcks1.js");
    const stub = new Module(file);
    stub.filename = file;
    stub.loaded = true;
    stub.exports = { testRSAPKCS1V15_EncryptDecrypt: async () => {} };
    require.cache[file] = stub;
  } catch {
    // a different node-opcua layout: the self-test just runs
  }
}
skipRsaSelfTest();

const opcua = require("node-opcua");
const version = require("node-opcua/package.json").version;

// The test server's certificates live outside the source tree: in
// OPCUA_HELPER_PKI or in a per-user folder below the system's temp folder.
// (The helper's client PKI is chosen in security.js.)
function pkiRoot() {
  if (process.env.OPCUA_HELPER_PKI) return process.env.OPCUA_HELPER_PKI;
  let user = "user";
  try {
    user = String(os.userInfo().uid);
  } catch {
    // no passwd entry: keep the generic name
  }
  return path.join(os.tmpdir(), `ovopc-opcua-pki-${user}`);
}

function writeLine(obj, callback) {
  return rawStdoutWrite(JSON.stringify(obj) + "\n", callback);
}

module.exports = { opcua, version, pkiRoot, writeLine, rawStdoutWrite };
