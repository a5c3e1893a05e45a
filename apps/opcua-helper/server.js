#!/usr/bin/env node
"use strict";
// Small OPC UA server for tests, benchmarks and the demo.
//
//   node server.js --port <n> [--host 127.0.0.1] [--nodeset <file.xml> | --generate <folders>x<variables>]
//                  [--alive [--alive-ramps <n>]] [--delay-ms <n>] [--max-nodes-per-browse <n>] [--max-nodes-per-read <n>]
//                  [--max-continuation-points <n>]
//                  [--security <Mode>:<Policy>[,...]] [--user <name>:<password>]... [--pki <folder>]
//                  [--certificate-expired] [--certificate-host <name>]
//
// Prints one line {"event":"ready","endpoint":"opc.tcp://host:port","thumbprint":"..."}
// on stdout once it listens; logs go to stderr. Stops on SIGTERM, SIGINT or
// when stdin closes. By default security mode None and anonymous users; any
// client certificate is accepted.

const crypto = require("node:crypto");
const fs = require("node:fs");
const net = require("node:net");
const os = require("node:os");
const path = require("node:path");
const tty = require("node:tty");
const layout = require("./generated-layout");
const alive = require("./alive");

function log(...args) {
  process.stderr.write(`opcua-test-server: ${args.join(" ")}\n`);
}

function fail(message) {
  process.stderr.write(`opcua-test-server: ${message}\n`);
  process.exit(2);
}

const USAGE =
  "usage: server.js --port <n> [--host 127.0.0.1] [--nodeset <file.xml> | --generate <folders>x<variables>] " +
  "[--alive [--alive-ramps <n>]] [--delay-ms <n>] [--max-nodes-per-browse <n>] [--max-nodes-per-read <n>] [--max-continuation-points <n>] " +
  "[--security <Mode>:<Policy>[,...]] [--user <name>:<password>]... [--pki <folder>] " +
  "[--certificate-expired] [--certificate-host <name>]";

const SECURITY_MODES = ["None", "Sign", "SignAndEncrypt"];
// Policy names as node-opcua spells them; the old ones stay offerable so that
// a client can be tried against a server that offers nothing better.
const SECURITY_POLICIES = ["None", "Basic128Rsa15", "Basic256", "Basic256Sha256", "Aes128_Sha256_RsaOaep", "Aes256_Sha256_RsaPss"];

function parseSecurity(value) {
  return value.split(",").map((pair) => {
    const [mode, policy, extra] = pair.trim().split(":");
    if (extra !== undefined || !SECURITY_MODES.includes(mode) || !SECURITY_POLICIES.includes(policy)) {
      fail(`--security expects <Mode>:<Policy>[,...] with Mode one of ${SECURITY_MODES.join(", ")} and Policy one of ${SECURITY_POLICIES.join(", ")}, got "${pair}"`);
    }
    if ((mode === "None") !== (policy === "None")) fail(`--security: mode None goes with policy None only, got "${pair}"`);
    return { mode, policy };
  });
}

function parseArgs(argv) {
  const opts = {
    host: "127.0.0.1", alive: false, aliveRamps: 0, delayMs: 0, maxNodesPerBrowse: 0, maxNodesPerRead: 0, maxContinuationPoints: 0,
    security: [{ mode: "None", policy: "None" }], users: new Map(), pki: null, certificateExpired: false, certificateHost: null,
  };
  const numeric = {
    "--port": "port",
    "--delay-ms": "delayMs",
    "--max-nodes-per-browse": "maxNodesPerBrowse",
    "--max-nodes-per-read": "maxNodesPerRead",
    "--max-continuation-points": "maxContinuationPoints",
    "--alive-ramps": "aliveRamps",
  };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    const value = argv[i + 1];
    if (arg === "--help" || arg === "-h") {
      process.stderr.write(USAGE + "\n");
      process.exit(0);
    }
    if (arg === "--certificate-expired" || arg === "--alive") {
      opts[arg === "--alive" ? "alive" : "certificateExpired"] = true;
      continue;
    }
    if (value === undefined) fail(`${arg} needs a value\n${USAGE}`);
    i++;
    if (numeric[arg]) {
      if (!/^\d+$/.test(value)) fail(`${arg} expects a non-negative integer, got "${value}"`);
      opts[numeric[arg]] = Number(value);
    } else if (arg === "--host") {
      opts.host = value;
    } else if (arg === "--security") {
      opts.security = parseSecurity(value);
    } else if (arg === "--user") {
      const colon = value.indexOf(":");
      if (colon <= 0) fail(`--user expects <name>:<password>, got "${value}"`);
      opts.users.set(value.slice(0, colon), value.slice(colon + 1));
    } else if (arg === "--pki") {
      opts.pki = path.resolve(value);
    } else if (arg === "--certificate-host") {
      if (!/^[A-Za-z0-9.-]+$/.test(value)) fail(`--certificate-host expects a host name, got "${value}"`);
      opts.certificateHost = value;
    } else if (arg === "--nodeset") {
      opts.nodeset = path.resolve(value);
    } else if (arg === "--generate") {
      try {
        opts.generate = layout.parseSize(value);
      } catch (err) {
        fail(`--generate: ${err.message}`);
      }
    } else {
      fail(`unknown option ${arg}\n${USAGE}`);
    }
  }
  if (!opts.port || opts.port > 65535) fail(`--port <1..65535> is required\n${USAGE}`);
  if (opts.nodeset && opts.generate) fail(`give either --nodeset or --generate, not both\n${USAGE}`);
  if (!opts.nodeset && !opts.generate && !opts.alive) fail(`give --nodeset, --generate or --alive\n${USAGE}`);
  if (opts.aliveRamps && !opts.alive) fail(`--alive-ramps goes with --alive`);
  if (opts.nodeset && !fs.existsSync(opts.nodeset)) fail(`nodeset file not found: ${opts.nodeset}`);
  return opts;
}

// Arguments first, so that mistakes are reported without loading node-opcua.
const opts = parseArgs(process.argv.slice(2));

const { opcua, pkiRoot, writeLine } = require("./opcua-runtime");

const {
  OPCUAServer,
  OPCUACertificateManager,
  MessageSecurityMode,
  SecurityPolicy,
  DataType,
  nodesets,
} = opcua;

function generateAddressSpace(addressSpace, { folders, variables }) {
  const namespace = addressSpace.registerNamespace(layout.NAMESPACE_URI);
  const root = namespace.addFolder(addressSpace.rootFolder.objects, {
    browseName: layout.ROOT_NAME,
    nodeId: `s=${layout.ROOT_NAME}`,
  });
  for (let f = 1; f <= folders; f++) {
    const name = layout.folderName(f);
    const folder = namespace.addFolder(root, { browseName: name, nodeId: `s=${name}` });
    for (let v = 1; v <= variables; v++) {
      const kind = layout.variableKind(v);
      const varName = layout.variableName(v);
      namespace.addVariable({
        organizedBy: folder,
        browseName: varName,
        nodeId: `s=${name}.${varName}`,
        dataType: kind.builtIn,
        valueRank: kind.valueRank,
        arrayDimensions: kind.arrayLength ? [kind.arrayLength] : null,
        accessLevel: "CurrentRead | CurrentWrite",
        userAccessLevel: "CurrentRead | CurrentWrite",
        value: { dataType: DataType[kind.builtIn], value: layout.initialValue(kind, f, v) },
      });
    }
  }
  log(`generated ${folders} folders with ${variables} variables each in ${layout.NAMESPACE_URI}`);
}

// Answers of the browse and read services leave the server late by the given
// time, to try the client against a slow server.
function delayServices(server, delayMs) {
  for (const name of ["_on_BrowseRequest", "_on_BrowseNextRequest", "_on_ReadRequest"]) {
    const handler = server[name];
    if (typeof handler !== "function") {
      log(`cannot delay ${name}: this node-opcua version has no such handler`);
      continue;
    }
    server[name] = function delayed(...args) {
      setTimeout(() => handler.apply(this, args), delayMs);
    };
  }
}

const APPLICATION_URI = "urn:ovopc:test-server";
const DAY_MS = 24 * 3600 * 1000;

// The server's own certificate. It names the host the server listens on (or
// the one given with --certificate-host) and is valid for ten years, or
// expired since yesterday. It is made once per PKI folder and kind, so a
// restarted server presents the same certificate.
async function ensureCertificate(certificateManager) {
  const kind = [opts.certificateExpired && "expired", opts.certificateHost && `host-${opts.certificateHost}`].filter(Boolean).join("_");
  const file = path.join(certificateManager.rootDir, "own", "certs", `test_server_${kind || "default"}.pem`);
  if (fs.existsSync(file)) return file;
  const hostIsIp = net.isIP(opts.host) !== 0;
  const dns = opts.certificateHost ? [opts.certificateHost] : [...new Set([os.hostname(), "localhost", ...(hostIsIp ? [] : [opts.host])])];
  const ip = opts.certificateHost || !hostIsIp ? [] : [opts.host];
  // another server starting on the same folder must never read half a file
  const partial = `${file}.${process.pid}.partial`;
  await certificateManager.createSelfSignedCertificate({
    applicationUri: APPLICATION_URI,
    dns,
    ip,
    subject: { commonName: "ovopc test server", organization: "ovopc" },
    startDate: new Date(Date.now() - (opts.certificateExpired ? 30 : 1) * DAY_MS),
    validity: opts.certificateExpired ? 29 : 3650,
    outputFile: partial,
  });
  fs.renameSync(partial, file);
  log(`created the certificate ${file}`);
  return file;
}

function thumbprintOf(file) {
  return new crypto.X509Certificate(fs.readFileSync(file)).fingerprint.replace(/:/g, "").toUpperCase();
}

// node-opcua offers every combination of the given modes and policies; keep
// the pairs asked for. The restricted discovery endpoint (GetEndpoints over
// None when None is not offered) stays.
function keepOfferedEndpoints(server) {
  const wanted = new Set(opts.security.map(({ mode, policy }) => `${mode}:${policy}`));
  for (const endPoint of server.endpoints) {
    endPoint._endpoints = endPoint._endpoints.filter((d) => {
      const policy = String(d.securityPolicyUri).split("#")[1] || "None";
      return d.restricted || wanted.has(`${MessageSecurityMode[d.securityMode]}:${policy}`);
    });
  }
}

async function main() {
  const pki = opts.pki || pkiRoot();
  const serverCertificateManager = new OPCUACertificateManager({
    rootFolder: path.join(pki, "server"),
    automaticallyAcceptUnknownCertificate: true,
  });
  const userCertificateManager = new OPCUACertificateManager({
    rootFolder: path.join(pki, "server-users"),
    automaticallyAcceptUnknownCertificate: true,
  });
  await serverCertificateManager.initialize();
  const certificateFile = await ensureCertificate(serverCertificateManager);
  const operationLimits = {};
  if (opts.maxNodesPerBrowse) operationLimits.maxNodesPerBrowse = opts.maxNodesPerBrowse;
  if (opts.maxNodesPerRead) operationLimits.maxNodesPerRead = opts.maxNodesPerRead;

  const server = new OPCUAServer({
    port: opts.port,
    host: opts.host,
    hostname: opts.host,
    nodeset_filename: opts.nodeset ? [nodesets.standard, opts.nodeset] : [nodesets.standard],
    serverCertificateManager,
    userCertificateManager,
    certificateFile,
    privateKeyFile: serverCertificateManager.privateKey,
    securityModes: [...new Set(opts.security.map((s) => MessageSecurityMode[s.mode]))],
    securityPolicies: [...new Set(opts.security.map((s) => SecurityPolicy[s.policy]))],
    allowAnonymous: opts.users.size === 0,
    userManager: { isValidUser: (userName, password) => opts.users.has(userName) && opts.users.get(userName) === password },
    buildInfo: { productName: "ovopc test server", manufacturerName: "ovopc" },
    serverInfo: { applicationUri: APPLICATION_URI, productUri: APPLICATION_URI },
    serverCapabilities: {
      maxBrowseContinuationPoints: opts.maxContinuationPoints,
      operationLimits,
    },
  });

  await server.initialize();
  keepOfferedEndpoints(server);
  if (opts.generate) generateAddressSpace(server.engine.addressSpace, opts.generate);
  const stopChanges = opts.alive ? alive.addAliveFolder(server.engine.addressSpace, { ramps: opts.aliveRamps, log }) : () => {};
  if (opts.delayMs > 0) delayServices(server, opts.delayMs);
  await server.start();

  const endpoint = `opc.tcp://${opts.host}:${opts.port}`;
  log(`listening on ${endpoint}`);
  writeLine({ event: "ready", endpoint, thumbprint: thumbprintOf(certificateFile) });

  let stopping = false;
  const stop = async (reason) => {
    if (stopping) return;
    stopping = true;
    log(`stopping: ${reason}`);
    setTimeout(() => process.exit(0), 3000).unref();
    stopChanges();
    try {
      await server.shutdown(0);
    } catch (err) {
      log(`shutdown: ${err.message}`);
    }
    process.exit(0);
  };
  process.on("SIGTERM", () => stop("SIGTERM"));
  process.on("SIGINT", () => stop("SIGINT"));
  // Watch stdin only when it is a pipe or a terminal; a server started with
  // stdin on /dev/null (e.g. in the background) would otherwise stop at once.
  let watchStdin = true;
  try {
    const st = fs.fstatSync(0);
    if (st.isCharacterDevice() && !tty.isatty(0)) watchStdin = false;
  } catch {
    watchStdin = false;
  }
  if (watchStdin) {
    process.stdin.on("end", () => stop("stdin closed"));
    process.stdin.on("error", () => stop("stdin closed"));
    process.stdin.resume();
  }
}

main().catch((err) => fail(`cannot start: ${err.message}`));
