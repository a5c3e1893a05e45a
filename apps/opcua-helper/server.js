#!/usr/bin/env node
"use strict";
// Small OPC UA server for tests, benchmarks and the demo.
//
//   node server.js --port <n> [--host 127.0.0.1] (--nodeset <file.xml> | --generate <folders>x<variables>)
//                  [--delay-ms <n>] [--max-nodes-per-browse <n>] [--max-nodes-per-read <n>]
//                  [--max-continuation-points <n>]
//
// Prints one line {"event":"ready","endpoint":"opc.tcp://host:port"} on stdout
// once it listens; logs go to stderr. Stops on SIGTERM, SIGINT or when stdin
// closes. Security mode None, anonymous users allowed.

const fs = require("node:fs");
const path = require("node:path");
const tty = require("node:tty");
const layout = require("./generated-layout");

function log(...args) {
  process.stderr.write(`opcua-test-server: ${args.join(" ")}\n`);
}

function fail(message) {
  process.stderr.write(`opcua-test-server: ${message}\n`);
  process.exit(2);
}

const USAGE =
  "usage: server.js --port <n> [--host 127.0.0.1] (--nodeset <file.xml> | --generate <folders>x<variables>) " +
  "[--delay-ms <n>] [--max-nodes-per-browse <n>] [--max-nodes-per-read <n>] [--max-continuation-points <n>]";

function parseArgs(argv) {
  const opts = { host: "127.0.0.1", delayMs: 0, maxNodesPerBrowse: 0, maxNodesPerRead: 0, maxContinuationPoints: 0 };
  const numeric = {
    "--port": "port",
    "--delay-ms": "delayMs",
    "--max-nodes-per-browse": "maxNodesPerBrowse",
    "--max-nodes-per-read": "maxNodesPerRead",
    "--max-continuation-points": "maxContinuationPoints",
  };
  for (let i = 0; i < argv.length; i++) {
    const arg = argv[i];
    const value = argv[i + 1];
    if (arg === "--help" || arg === "-h") {
      process.stderr.write(USAGE + "\n");
      process.exit(0);
    }
    if (value === undefined) fail(`${arg} needs a value\n${USAGE}`);
    i++;
    if (numeric[arg]) {
      if (!/^\d+$/.test(value)) fail(`${arg} expects a non-negative integer, got "${value}"`);
      opts[numeric[arg]] = Number(value);
    } else if (arg === "--host") {
      opts.host = value;
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
  if (!!opts.nodeset === !!opts.generate) fail(`give either --nodeset or --generate\n${USAGE}`);
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

async function main() {
  const pki = pkiRoot();
  const serverCertificateManager = new OPCUACertificateManager({
    rootFolder: path.join(pki, "server"),
    automaticallyAcceptUnknownCertificate: true,
  });
  const userCertificateManager = new OPCUACertificateManager({
    rootFolder: path.join(pki, "server-users"),
    automaticallyAcceptUnknownCertificate: true,
  });
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
    securityModes: [MessageSecurityMode.None],
    securityPolicies: [SecurityPolicy.None],
    allowAnonymous: true,
    buildInfo: { productName: "ovopc test server", manufacturerName: "ovopc" },
    serverInfo: { applicationUri: "urn:ovopc:test-server", productUri: "urn:ovopc:test-server" },
    serverCapabilities: {
      maxBrowseContinuationPoints: opts.maxContinuationPoints,
      operationLimits,
    },
  });

  await server.initialize();
  if (opts.generate) generateAddressSpace(server.engine.addressSpace, opts.generate);
  if (opts.delayMs > 0) delayServices(server, opts.delayMs);
  await server.start();

  const endpoint = `opc.tcp://${opts.host}:${opts.port}`;
  log(`listening on ${endpoint}`);
  writeLine({ event: "ready", endpoint });

  let stopping = false;
  const stop = async (reason) => {
    if (stopping) return;
    stopping = true;
    log(`stopping: ${reason}`);
    setTimeout(() => process.exit(0), 3000).unref();
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
