#!/usr/bin/env node
"use strict";
// OPC UA browse helper. The editor starts it as a child process and talks to it
// in JSON lines: one request per line on stdin, answers and events one per line
// on stdout. stdout carries nothing else; human-readable logs go to stderr.
// The protocol is described in README.md next to this file.

const { opcua, version: NODE_OPCUA_VERSION, pkiRoot, rawStdoutWrite } = require("./opcua-runtime");
const path = require("node:path");
const readline = require("node:readline");

const HELPER_PROTOCOL = 1;
const EXIT_DEADLINE_MS = 1800; // quit or stdin close must end the process within 2 s
const CLOSE_BUDGET_MS = 1200; // time given to a clean session close / disconnect
const MAX_PARENTS_PER_CALL = 1000;
const MAX_READS_PER_CALL = 20000;
const DEFAULT_BATCH = 500;
const DEFAULT_MAX_DEPTH = 64;
const DEFAULT_CONNECT_TIMEOUT_MS = 5000;
const DEFAULT_REQUEST_TIMEOUT_MS = 30000;

function log(...args) {
  const text = args.map((a) => (a instanceof Error ? a.message : typeof a === "string" ? a : JSON.stringify(a)));
  process.stderr.write(`opcua-helper: ${text.join(" ")}\n`);
}

let stdoutBroken = false;
process.stdout.on("error", (err) => {
  // The editor went away; nobody reads our answers any more.
  stdoutBroken = true;
  log("stdout closed:", err.code || err.message);
  shutdown("stdout closed");
});

function send(obj) {
  if (stdoutBroken) return;
  rawStdoutWrite(JSON.stringify(obj) + "\n");
}

const {
  OPCUAClient,
  OPCUACertificateManager,
  MessageSecurityMode,
  SecurityPolicy,
  NodeId,
  NodeIdType,
  BrowseDirection,
  BrowseDescription,
  BrowseRequest,
  BrowseNextRequest,
  ReadRequest,
  ReadValueId,
  TimestampsToReturn,
  AttributeIds,
  NodeClass,
  StatusCodes,
} = opcua;

const NODE_CLASS_MASK = 1 | 2; // Object | Variable
const RESULT_MASK_CHILDREN = 4 | 8 | 16; // NodeClass | BrowseName | DisplayName
const HIERARCHICAL_REFERENCES = new NodeId(NodeIdType.NUMERIC, 33, 0);
const HAS_SUBTYPE = new NodeId(NodeIdType.NUMERIC, 45, 0);
const NODE_CLASS_MASK_DATATYPE = 64;

// Data types whose values travel as one of the built-in types. Everything else
// is resolved by walking the HasSubtype hierarchy up to one of these.
const BUILT_IN_TYPES = new Map([
  [1, "Boolean"], [2, "SByte"], [3, "Byte"], [4, "Int16"], [5, "UInt16"],
  [6, "Int32"], [7, "UInt32"], [8, "Int64"], [9, "UInt64"], [10, "Float"],
  [11, "Double"], [12, "String"], [13, "DateTime"], [14, "Guid"], [15, "ByteString"],
  [16, "XmlElement"], [17, "NodeId"], [18, "ExpandedNodeId"], [19, "StatusCode"],
  [20, "QualifiedName"], [21, "LocalizedText"], [22, "ExtensionObject"], [23, "DataValue"],
  [24, "Variant"], [25, "DiagnosticInfo"],
  [29, "Int32"], // Enumeration: every enumerated type is sent as Int32
]);

// ---------------------------------------------------------------------------
// Node id text. Namespace 0 is written plainly ("i=85"); every other namespace
// is written with its URI ("nsu=urn:x;s=A.B") so that ids stay valid when the
// server reorders its namespace table. Requests may also use "ns=<index>;...".

function identifierText(nodeId) {
  switch (nodeId.identifierType) {
    case NodeIdType.NUMERIC:
      return `i=${nodeId.value}`;
    case NodeIdType.STRING:
      return `s=${nodeId.value}`;
    case NodeIdType.GUID:
      return `g=${String(nodeId.value).toLowerCase()}`;
    case NodeIdType.BYTESTRING:
      return `b=${Buffer.from(nodeId.value || []).toString("base64")}`;
    default:
      throw new Error(`unsupported node id type ${nodeId.identifierType}`);
  }
}

function escapeUri(uri) {
  return uri.replace(/%/g, "%25").replace(/;/g, "%3B");
}

function unescapeUri(text) {
  return text.replace(/%3B/gi, ";").replace(/%25/g, "%");
}

function formatNodeId(nodeId, namespaces) {
  const id = identifierText(nodeId);
  if (nodeId.namespace === 0) return id;
  const uri = namespaces[nodeId.namespace];
  return uri ? `nsu=${escapeUri(uri)};${id}` : `ns=${nodeId.namespace};${id}`;
}

const GUID_RE = /^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$/;
const BASE64_RE = /^[A-Za-z0-9+/]*={0,2}$/;

function parseNodeId(text, namespaces) {
  if (typeof text !== "string" || text.length === 0) {
    throw new Error(`invalid node id ${JSON.stringify(text)}: expected a string such as "i=85" or "nsu=<uri>;s=<name>"`);
  }
  const bad = (why) => new Error(`invalid node id "${text}": ${why}`);
  let ns = 0;
  let rest = text;
  if (rest.startsWith("nsu=")) {
    const semi = rest.indexOf(";");
    if (semi < 0) throw bad("missing ';' after the namespace URI");
    const uri = unescapeUri(rest.slice(4, semi));
    ns = namespaces.indexOf(uri);
    if (ns < 0) throw new Error(`unknown namespace URI "${uri}" in node id "${text}": the server does not have it`);
    rest = rest.slice(semi + 1);
  } else if (rest.startsWith("ns=")) {
    const semi = rest.indexOf(";");
    if (semi < 0) throw bad("missing ';' after the namespace index");
    const index = rest.slice(3, semi);
    if (!/^\d{1,5}$/.test(index) || Number(index) > 65535) throw bad("the namespace index must be a number from 0 to 65535");
    ns = Number(index);
    rest = rest.slice(semi + 1);
  }
  const kind = rest.slice(0, 2);
  const value = rest.slice(2);
  switch (kind) {
    case "i=":
      if (!/^\d{1,10}$/.test(value) || Number(value) > 0xffffffff) throw bad("a numeric identifier must be a number from 0 to 4294967295");
      return new NodeId(NodeIdType.NUMERIC, Number(value), ns);
    case "s=":
      if (value.length === 0) throw bad("the string identifier is empty");
      return new NodeId(NodeIdType.STRING, value, ns);
    case "g=":
      if (!GUID_RE.test(value)) throw bad("a GUID identifier must look like 01234567-89ab-cdef-0123-456789abcdef");
      return new NodeId(NodeIdType.GUID, value, ns);
    case "b=":
      if (value.length === 0 || !BASE64_RE.test(value)) throw bad("an opaque identifier must be base64");
      return new NodeId(NodeIdType.BYTESTRING, Buffer.from(value, "base64"), ns);
    default:
      throw bad("expected i=, s=, g= or b= after the namespace part");
  }
}

// ---------------------------------------------------------------------------
// Errors

class CancelledError extends Error {
  constructor() {
    super("cancelled");
    this.cancelled = true;
  }
}

const STATUS_TEXT = new Map([
  ["BadNodeIdUnknown", "the node does not exist on the server"],
  ["BadNodeIdInvalid", "the server does not accept this node id"],
  ["BadUserAccessDenied", "the server denies access to this node"],
  ["BadTooManyOperations", "the server refused a request with too many operations"],
  ["BadNoContinuationPoints", "the server has no free continuation points"],
  ["BadContinuationPointInvalid", "the server dropped the continuation point"],
  ["BadSessionIdInvalid", "the server no longer knows the session"],
  ["BadSessionClosed", "the session was closed"],
  ["BadTimeout", "the server timed out"],
  ["BadServerHalted", "the server is shutting down"],
  ["BadIdentityTokenInvalid", "the server does not accept anonymous users"],
  ["BadIdentityTokenRejected", "the server does not accept anonymous users"],
]);

function describeStatus(statusCode) {
  const name = statusCode && statusCode.name ? statusCode.name : String(statusCode);
  const text = STATUS_TEXT.get(name);
  return text ? `${text} (${name})` : name;
}

function describeConnectError(err) {
  const msg = (err && err.message) || String(err);
  if (/ECONNREFUSED/.test(msg)) return "connection refused (is the server running and is the port right?)";
  if (/ENOTFOUND|EAI_AGAIN|EAI_NONAME/.test(msg)) return "unknown host";
  if (/EHOSTUNREACH|ENETUNREACH/.test(msg)) return "host unreachable";
  if (/ETIMEDOUT/.test(msg)) return "the connection timed out";
  if (/ECONNRESET|socket has been disconnected|ECONNABORTED/.test(msg)) return "the server closed the connection";
  if (/BadIdentityToken/.test(msg)) return "the server does not accept anonymous users";
  if (/BadSecurityPolicyRejected|BadSecurityModeRejected/.test(msg)) return "the server does not accept unsecured connections (security mode None)";
  if (/BadTcpEndpointUrlInvalid/.test(msg)) return "the server does not know this endpoint path";
  // node-opcua wraps the cause in several lines; the first useful one is enough
  const line = msg.split("\n").map((s) => s.trim()).find((s) => s && !/^Err = \($/.test(s));
  return line || msg;
}

// ---------------------------------------------------------------------------
// One connection: client, session, namespace table and the caches that belong
// to this server.

function withTimeout(promise, ms, makeError) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(makeError()), ms);
    }),
  ]).finally(() => clearTimeout(timer));
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const CLIENT_APPLICATION_NAME = "OvOpcEditorBrowseHelper";

function createClient(requestTimeoutMs) {
  return OPCUAClient.create({
    applicationName: CLIENT_APPLICATION_NAME,
    clientName: "ovopc-editor",
    endpointMustExist: false,
    securityMode: MessageSecurityMode.None,
    securityPolicy: SecurityPolicy.None,
    connectionStrategy: { maxRetry: 0, initialDelay: 100, maxDelay: 200 },
    keepSessionAlive: true,
    requestedSessionTimeout: 60000,
    defaultTransactionTimeout: requestTimeoutMs,
    clientCertificateManager: new OPCUACertificateManager({
      rootFolder: path.join(pkiRoot(), "helper"),
      automaticallyAcceptUnknownCertificate: true,
    }),
  });
}

// node-opcua wants an application certificate even for unsecured
// connections and creates one on first use. Do that at start-up, while the
// editor has nothing to wait for yet.
async function prepareCertificate() {
  const client = createClient(DEFAULT_REQUEST_TIMEOUT_MS);
  try {
    await client.clientCertificateManager.initialize();
    await client.createDefaultCertificate();
  } catch (err) {
    log("preparing the client certificate:", err.message);
  }
}

class Connection {
  constructor(endpoint, requestTimeoutMs) {
    this.endpoint = endpoint;
    this.requestTimeoutMs = requestTimeoutMs;
    this.client = null;
    this.session = null;
    this.namespaces = [];
    this.closed = false;
    this.lostError = null;
    this.pending = new Set(); // reject functions of outstanding service calls
    this.typeNames = new Map(); // data type id text -> built-in type name
    this.maxParents = MAX_PARENTS_PER_CALL;
    this.maxReads = MAX_READS_PER_CALL;
    for (const [id, name] of BUILT_IN_TYPES) this.typeNames.set(`i=${id}`, name);
  }

  async open(timeoutMs) {
    // the certificate is made once per PKI folder; that is not part of the
    // time the server gets to answer
    await certificateReady;
    const client = createClient(this.requestTimeoutMs);
    this.client = client;
    client.on("connection_lost", () => this.lose("the connection to the server was lost"));
    client.on("close", (err) => {
      if (err) this.lose("the connection to the server was closed");
    });

    const work = (async () => {
      await client.connect(this.endpoint);
      if (this.closed) throw new Error("closed while connecting");
      const session = await client.createSession();
      this.session = session;
      if (this.closed) throw new Error("closed while connecting");
      session.on("session_closed", () => this.lose("the server closed the session"));
      session.on("keepalive_failure", () => this.lose("the server stopped answering keep-alive requests"));
      await this.readServerInfo();
    })();
    work.catch(() => {}); // a late failure after a timeout is handled by close()

    try {
      await withTimeout(work, timeoutMs, () => new Error(`no answer within ${timeoutMs} ms`));
    } catch (err) {
      const reason = /^no answer within/.test(err.message) ? err.message : describeConnectError(err);
      // answer now; the half-open connection is torn down in the background
      this.close(CLOSE_BUDGET_MS).catch(() => {});
      throw new Error(`Cannot connect to ${this.endpoint}: ${reason}`);
    }
  }

  async readServerInfo() {
    const ids = [2255, 11710, 11705]; // NamespaceArray, MaxNodesPerBrowse, MaxNodesPerRead
    const results = await this.service(
      new ReadRequest({
        maxAge: 0,
        timestampsToReturn: TimestampsToReturn.Neither,
        nodesToRead: ids.map((i) => new ReadValueId({ nodeId: new NodeId(NodeIdType.NUMERIC, i, 0), attributeId: AttributeIds.Value })),
      })
    );
    const value = (i) => (results[i] && results[i].statusCode.isGood() && results[i].value ? results[i].value.value : null);
    const namespaces = value(0);
    if (!Array.isArray(namespaces) && !(namespaces && typeof namespaces.length === "number")) {
      throw new Error(`the server did not return its namespace table (${describeStatus(results[0] && results[0].statusCode)})`);
    }
    this.namespaces = Array.from(namespaces, String);
    const maxBrowse = Number(value(1)) || 0;
    const maxRead = Number(value(2)) || 0;
    if (maxBrowse > 0) this.maxParents = Math.min(this.maxParents, maxBrowse);
    if (maxRead > 0) this.maxReads = Math.min(this.maxReads, maxRead);
  }

  lose(reason) {
    if (this.closed || this.lostError) return;
    this.lostError = new Error(`${reason} (${this.endpoint})`);
    log(this.lostError.message);
    for (const reject of [...this.pending]) reject(this.lostError);
    if (this === current) send({ event: "connectionLost", endpoint: this.endpoint, error: this.lostError.message });
  }

  // Sends one request; resolves with the response's results array.
  service(request) {
    if (this.closed) return Promise.reject(new Error("the connection was closed"));
    if (this.lostError) return Promise.reject(this.lostError);
    const session = this.session;
    if (!session) return Promise.reject(new Error("no session"));
    return new Promise((resolve, reject) => {
      let settled = false;
      const finish = (fn, arg) => {
        if (settled) return;
        settled = true;
        clearTimeout(timer);
        this.pending.delete(rejecter);
        fn(arg);
      };
      const rejecter = (err) => finish(reject, err);
      const timer = setTimeout(
        () => finish(reject, new Error(`the server did not answer within ${this.requestTimeoutMs} ms (${this.endpoint})`)),
        this.requestTimeoutMs
      );
      this.pending.add(rejecter);
      try {
        session.performMessageTransaction(request, (err, response) => {
          if (err) {
            const m = /ServiceResult is (Bad\w+)/.exec(err.message || "");
            const status = m && StatusCodes[m[1]];
            finish(reject, new Error(status ? `the server refused the request: ${describeStatus(status)}` : this.lostError ? this.lostError.message : err.message));
          } else {
            finish(resolve, response.results || []);
          }
        });
      } catch (err) {
        finish(reject, err);
      }
    });
  }

  browse(descriptions, maxReferences) {
    return this.service(new BrowseRequest({ nodesToBrowse: descriptions, requestedMaxReferencesPerNode: maxReferences }));
  }

  browseNext(continuationPoints, release) {
    return this.service(new BrowseNextRequest({ continuationPoints, releaseContinuationPoints: release }));
  }

  read(nodesToRead) {
    return this.service(new ReadRequest({ maxAge: 0, timestampsToReturn: TimestampsToReturn.Neither, nodesToRead }));
  }

  // Best effort: tell the server it can forget these continuation points.
  releaseContinuationPoints(points) {
    const list = points.filter(Boolean);
    if (list.length === 0 || this.closed || this.lostError) return;
    this.browseNext(list, true).catch((err) => log("releasing continuation points failed:", err.message));
  }

  format(nodeId) {
    return formatNodeId(nodeId, this.namespaces);
  }

  async close(budgetMs) {
    if (this.closed) return;
    this.closed = true;
    const closedError = new Error(`the connection to ${this.endpoint} was closed`);
    for (const reject of [...this.pending]) reject(closedError);
    const { client, session } = this;
    const work = (async () => {
      if (session) {
        try {
          await session.close(true);
        } catch (err) {
          log("closing the session:", err.message);
        }
      }
      if (client) {
        try {
          await client.disconnect();
        } catch (err) {
          log("disconnecting:", err.message);
        }
      }
    })();
    await Promise.race([work, sleep(budgetMs)]);
  }
}

// ---------------------------------------------------------------------------
// Browsing

function childDescription(nodeId) {
  return new BrowseDescription({
    nodeId,
    browseDirection: BrowseDirection.Forward,
    referenceTypeId: HIERARCHICAL_REFERENCES,
    includeSubtypes: true,
    nodeClassMask: NODE_CLASS_MASK,
    resultMask: RESULT_MASK_CHILDREN,
  });
}

function isNoContinuationPoints(statusCode) {
  return statusCode && statusCode.value === StatusCodes.BadNoContinuationPoints.value;
}

function chunks(list, size) {
  const out = [];
  for (let i = 0; i < list.length; i += size) out.push(list.slice(i, i + size));
  return out;
}

// Turns a reference into our node record, or null when it is not for us
// (other node classes, nodes on other servers, namespaces we cannot map).
function makeRecord(conn, ref, parentKey) {
  const nodeClass = ref.nodeClass === NodeClass.Object ? "Object" : ref.nodeClass === NodeClass.Variable ? "Variable" : null;
  if (!nodeClass) return null;
  const target = ref.nodeId;
  if (target.serverIndex) return null;
  let ns = target.namespace;
  if (target.namespaceUri) {
    ns = conn.namespaces.indexOf(target.namespaceUri);
    if (ns < 0) return null;
  }
  const nodeId = new NodeId(target.identifierType, target.value, ns);
  const browseName = ref.browseName && ref.browseName.name != null ? String(ref.browseName.name) : "";
  const displayName = ref.displayName && ref.displayName.text != null ? String(ref.displayName.text) : browseName;
  const out = { nodeId: conn.format(nodeId), browseName, displayName, nodeClass, hasChildren: false };
  if (nodeClass === "Variable") {
    Object.assign(out, { dataType: "Unknown", valueRank: -1, arrayDimensions: null, accessLevel: 0 });
  }
  return { nodeId, key: out.nodeId, parentKey, out, expand: true, dataTypeKey: null };
}

// Lists all children of the given records (Object and Variable nodes over
// hierarchical references), following continuation points. Parents are sent
// together, up to the server's per-call limit. Returns, per parent, an array of
// child records, or an Error for a parent the server could not browse.
async function browseChildren(conn, parents, batch, ctx) {
  const results = parents.map(() => []);
  let todo = parents.map((_, i) => i);
  while (todo.length > 0) {
    const retry = [];
    for (const chunk of chunks(todo, conn.maxParents)) {
      const browseResults = await conn.browse(chunk.map((i) => childDescription(parents[i].nodeId)), batch);
      let open = []; // [parent index, continuation point]
      const take = (i, r) => {
        for (const ref of r.references || []) {
          const rec = makeRecord(conn, ref, parents[i].key);
          if (rec) results[i].push(rec);
        }
        if (r.continuationPoint && r.continuationPoint.length) open.push([i, r.continuationPoint]);
      };
      chunk.forEach((i, k) => {
        const r = browseResults[k];
        if (!r) results[i] = new Error("the server returned no result");
        else if (isNoContinuationPoints(r.statusCode)) retry.push(i);
        else if (r.statusCode.isNotGood() && !r.statusCode.equals(StatusCodes.GoodNoData)) results[i] = new Error(describeStatus(r.statusCode));
        else take(i, r);
      });
      try {
        ctx.check();
        while (open.length > 0) {
          const next = [];
          for (const part of chunks(open, conn.maxParents)) {
            const nextResults = await conn.browseNext(part.map((p) => p[1]), false);
            // keep the rest in "open" so a cancel can release it
            open = open.filter((p) => !part.includes(p));
            part.forEach(([i], k) => {
              const r = nextResults[k];
              if (!r || r.statusCode.isNotGood()) {
                results[i] = new Error(r ? describeStatus(r.statusCode) : "the server returned no result");
                return;
              }
              for (const ref of r.references || []) {
                const rec = makeRecord(conn, ref, parents[i].key);
                if (rec && Array.isArray(results[i])) results[i].push(rec);
              }
              if (r.continuationPoint && r.continuationPoint.length) next.push([i, r.continuationPoint]);
            });
            ctx.check();
          }
          open = next;
        }
      } catch (err) {
        conn.releaseContinuationPoints(open.map((p) => p[1]));
        throw err;
      }
    }
    if (retry.length === todo.length) {
      for (const i of retry) results[i] = new Error(describeStatus(StatusCodes.BadNoContinuationPoints));
      break;
    }
    todo = retry;
  }
  return results;
}

// Sets hasChildren on records without listing their children: one reference
// per node is enough, and the continuation points that this leaves on the
// server are released at once.
async function probeChildren(conn, records, ctx) {
  let todo = records;
  while (todo.length > 0) {
    const retry = [];
    for (const chunk of chunks(todo, conn.maxParents)) {
      const descriptions = chunk.map((r) => {
        const d = childDescription(r.nodeId);
        d.resultMask = 0;
        return d;
      });
      const results = await conn.browse(descriptions, 1);
      const points = [];
      chunk.forEach((rec, k) => {
        const r = results[k];
        if (r && isNoContinuationPoints(r.statusCode)) {
          retry.push(rec);
        } else if (!r || r.statusCode.isNotGood()) {
          rec.out.hasChildren = false;
        } else {
          const more = r.continuationPoint && r.continuationPoint.length > 0;
          rec.out.hasChildren = more || (r.references || []).length > 0;
          if (more) points.push(r.continuationPoint);
        }
      });
      if (points.length > 0) await conn.browseNext(points, true);
      ctx.check();
    }
    if (retry.length === todo.length) {
      // The server cannot tell us; let the user expand the node to find out.
      for (const rec of retry) rec.out.hasChildren = true;
      break;
    }
    todo = retry;
  }
}

const VARIABLE_ATTRIBUTES = [
  AttributeIds.DataType,
  AttributeIds.ValueRank,
  AttributeIds.ArrayDimensions,
  AttributeIds.AccessLevel,
  AttributeIds.UserAccessLevel,
];

function goodValue(dataValue) {
  if (!dataValue || !dataValue.statusCode || dataValue.statusCode.isNotGood() || !dataValue.value) return undefined;
  const v = dataValue.value.value;
  return v === null ? undefined : v;
}

// Reads data type, value rank, array dimensions and access levels of the
// variables among the records, then names their data types.
async function readVariableDetails(conn, records, ctx) {
  const variables = records.filter((r) => r.out.nodeClass === "Variable");
  if (variables.length === 0) return;
  const perCall = Math.max(1, Math.floor(conn.maxReads / VARIABLE_ATTRIBUTES.length));
  for (const part of chunks(variables, perCall)) {
    const nodesToRead = [];
    for (const rec of part) {
      for (const attributeId of VARIABLE_ATTRIBUTES) nodesToRead.push(new ReadValueId({ nodeId: rec.nodeId, attributeId }));
    }
    const values = await conn.read(nodesToRead);
    ctx.check();
    part.forEach((rec, k) => {
      const [dataType, valueRank, dims, access, userAccess] = values.slice(k * 5, k * 5 + 5).map(goodValue);
      if (dataType instanceof NodeId) {
        rec.dataTypeKey = conn.format(dataType);
        rec.dataTypeId = dataType;
      }
      if (typeof valueRank === "number") rec.out.valueRank = valueRank;
      if (dims && typeof dims.length === "number" && dims.length > 0) rec.out.arrayDimensions = Array.from(dims, Number);
      let level = typeof access === "number" ? access : 0;
      if (typeof userAccess === "number") level = typeof access === "number" ? access & userAccess : userAccess;
      rec.out.accessLevel = level;
    });
  }
  await resolveDataTypes(conn, variables, ctx);
  for (const rec of variables) {
    if (!rec.dataTypeKey) continue;
    rec.out.dataType = conn.typeNames.get(rec.dataTypeKey) || "Unknown";
    rec.out.dataTypeId = rec.dataTypeKey;
  }
}

// Walks HasSubtype upwards for data types that are not known yet, all types of
// one step in one call, and caches the built-in type each of them ends in.
async function resolveDataTypes(conn, variables, ctx) {
  const names = conn.typeNames;
  const supertype = new Map(); // type key -> supertype key, or null if it has none
  const ids = new Map(); // type key -> NodeId
  for (const rec of variables) {
    if (rec.dataTypeKey && !names.has(rec.dataTypeKey)) ids.set(rec.dataTypeKey, rec.dataTypeId);
  }
  let frontier = [...ids.keys()];
  while (frontier.length > 0) {
    const next = [];
    for (const part of chunks(frontier, conn.maxParents)) {
      const descriptions = part.map(
        (key) =>
          new BrowseDescription({
            nodeId: ids.get(key),
            browseDirection: BrowseDirection.Inverse,
            referenceTypeId: HAS_SUBTYPE,
            includeSubtypes: false,
            nodeClassMask: NODE_CLASS_MASK_DATATYPE,
            resultMask: 0,
          })
      );
      const results = await conn.browse(descriptions, 0);
      ctx.check();
      part.forEach((key, k) => {
        const r = results[k];
        const ref = r && r.statusCode.isGood() && r.references && r.references[0];
        if (!ref || ref.nodeId.serverIndex) {
          supertype.set(key, null);
          return;
        }
        let ns = ref.nodeId.namespace;
        if (ref.nodeId.namespaceUri) ns = conn.namespaces.indexOf(ref.nodeId.namespaceUri);
        if (ns < 0) {
          supertype.set(key, null);
          return;
        }
        const parent = new NodeId(ref.nodeId.identifierType, ref.nodeId.value, ns);
        const parentKey = conn.format(parent);
        supertype.set(key, parentKey);
        if (!names.has(parentKey) && !supertype.has(parentKey) && !ids.has(parentKey)) {
          ids.set(parentKey, parent);
          next.push(parentKey);
        }
      });
    }
    frontier = next;
  }
  for (const key of supertype.keys()) {
    const seen = new Set();
    let cursor = key;
    while (cursor && !names.has(cursor) && !seen.has(cursor)) {
      seen.add(cursor);
      cursor = supertype.get(cursor);
    }
    const name = cursor && names.has(cursor) ? names.get(cursor) : "Unknown";
    for (const k of seen) names.set(k, name);
  }
}

function checkRootResult(results, rootKey) {
  const r = results[0];
  if (r instanceof Error) throw new Error(`Browse of ${rootKey} failed: ${r.message}`);
  return r;
}

async function opBrowse(req, ctx) {
  const conn = await connectedConnection();
  const rootId = req.nodeId == null ? new NodeId(NodeIdType.NUMERIC, 85, 0) : parseNodeId(req.nodeId, conn.namespaces);
  const batch = intOption(req, "batch", DEFAULT_BATCH, 1, 100000);
  const rootKey = conn.format(rootId);
  let count = 0;
  let point = null; // continuation point we hold on the server
  try {
    let result;
    for (let attempt = 0; ; attempt++) {
      [result] = await conn.browse([childDescription(rootId)], batch);
      if (!result) throw new Error(`Browse of ${rootKey} failed: the server returned no result`);
      point = result.continuationPoint && result.continuationPoint.length ? result.continuationPoint : null;
      ctx.check();
      // another request of ours may hold the server's last continuation point
      if (isNoContinuationPoints(result.statusCode) && attempt < 20) {
        await sleep(100);
        continue;
      }
      break;
    }
    for (;;) {
      if (result.statusCode.isNotGood() && !result.statusCode.equals(StatusCodes.GoodNoData)) {
        throw new Error(`Browse of ${rootKey} failed: ${describeStatus(result.statusCode)}`);
      }
      const records = (result.references || []).map((ref) => makeRecord(conn, ref, rootKey)).filter(Boolean);
      if (records.length > 0) {
        await probeChildren(conn, records, ctx);
        await readVariableDetails(conn, records, ctx);
        send({ id: ctx.id, event: "nodes", parent: rootKey, nodes: records.map((r) => r.out) });
        count += records.length;
      }
      send({ id: ctx.id, event: "progress", loaded: count });
      if (!point) break;
      [result] = await conn.browseNext([point], false);
      point = null;
      if (!result) throw new Error(`Browse of ${rootKey} failed: the server returned no result`);
      point = result.continuationPoint && result.continuationPoint.length ? result.continuationPoint : null;
      ctx.check();
    }
  } catch (err) {
    if (point) conn.releaseContinuationPoints([point]);
    throw err;
  }
  return { count };
}

async function opBrowseTree(req, ctx) {
  const conn = await connectedConnection();
  const rootId = req.nodeId == null ? new NodeId(NodeIdType.NUMERIC, 85, 0) : parseNodeId(req.nodeId, conn.namespaces);
  const batch = intOption(req, "batch", DEFAULT_BATCH, 1, 100000);
  const maxDepth = intOption(req, "maxDepth", DEFAULT_MAX_DEPTH, 1, 10000);
  const root = { nodeId: rootId, key: conn.format(rootId) };
  // Nodes reachable over more than one path are listed under every parent but
  // their children are listed once; this also stops reference loops.
  const expanded = new Set([root.key]);
  const markExpansion = (rec) => {
    rec.expand = !expanded.has(rec.key);
    expanded.add(rec.key);
  };

  let frontier = checkRootResult(await browseChildren(conn, [root], batch, ctx), root.key);
  frontier.forEach(markExpansion);
  await readVariableDetails(conn, frontier, ctx);

  let count = 0;
  for (let depth = 1; frontier.length > 0; depth++) {
    const next = [];
    for (const chunk of chunks(frontier, conn.maxParents)) {
      // list the children of nodes seen for the first time above maxDepth;
      // for the others it is enough to know whether they have any
      const toList = [];
      const toProbe = [];
      for (const rec of chunk) (depth < maxDepth && rec.expand ? toList : toProbe).push(rec);
      const found = [];
      if (toList.length > 0) {
        const children = await browseChildren(conn, toList, batch, ctx);
        toList.forEach((rec, k) => {
          const list = children[k];
          if (list instanceof Error) {
            log(`browsing ${rec.key}: ${list.message}`);
            rec.out.hasChildren = false;
            return;
          }
          rec.out.hasChildren = list.length > 0;
          for (const child of list) {
            markExpansion(child);
            found.push(child);
          }
        });
      }
      if (toProbe.length > 0) await probeChildren(conn, toProbe, ctx);
      await readVariableDetails(conn, found, ctx);
      for (const child of found) next.push(child);

      let start = 0;
      for (let i = 1; i <= chunk.length; i++) {
        if (i === chunk.length || chunk[i].parentKey !== chunk[start].parentKey) {
          send({ id: ctx.id, event: "nodes", parent: chunk[start].parentKey, nodes: chunk.slice(start, i).map((r) => r.out) });
          start = i;
        }
      }
      count += chunk.length;
      send({ id: ctx.id, event: "progress", loaded: count });
    }
    frontier = next;
  }
  if (count === 0) send({ id: ctx.id, event: "progress", loaded: 0 });
  return { count };
}

// ---------------------------------------------------------------------------
// Connection management. connect and disconnect run one after the other;
// browse requests wait until a pending connect or disconnect is done.

let current = null;
let connectionQueue = Promise.resolve();

function serialized(fn) {
  const result = connectionQueue.then(fn);
  connectionQueue = result.catch(() => {});
  return result;
}

async function connectedConnection() {
  await connectionQueue;
  if (!current) throw new Error("not connected: send a connect request first");
  if (current.lostError) throw new Error(`not connected: ${current.lostError.message}; connect again`);
  return current;
}

function intOption(req, name, fallback, min, max) {
  const v = req[name];
  if (v === undefined || v === null) return fallback;
  if (!Number.isInteger(v) || v < min || v > max) throw new Error(`"${name}" must be an integer from ${min} to ${max}`);
  return v;
}

async function opConnect(req) {
  const endpoint = req.endpoint;
  if (typeof endpoint !== "string" || !/^opc\.tcp:\/\/[^/:\s]+(:\d{1,5})?(\/\S*)?$/i.test(endpoint)) {
    throw new Error(`invalid endpoint ${JSON.stringify(endpoint)}: expected opc.tcp://host:port[/path]`);
  }
  const timeoutMs = intOption(req, "timeoutMs", DEFAULT_CONNECT_TIMEOUT_MS, 100, 600000);
  const requestTimeoutMs = intOption(req, "requestTimeoutMs", DEFAULT_REQUEST_TIMEOUT_MS, 100, 3600000);
  return serialized(async () => {
    if (current) {
      const old = current;
      current = null;
      await old.close(CLOSE_BUDGET_MS);
    }
    const conn = new Connection(endpoint, requestTimeoutMs);
    const started = Date.now();
    await conn.open(timeoutMs);
    current = conn;
    log(`connected to ${endpoint} in ${Date.now() - started} ms`);
    return { namespaces: conn.namespaces };
  });
}

async function opDisconnect() {
  return serialized(async () => {
    if (current) {
      const old = current;
      current = null;
      await old.close(CLOSE_BUDGET_MS);
      log(`disconnected from ${old.endpoint}`);
    }
    return {};
  });
}

// ---------------------------------------------------------------------------
// Requests

const running = new Map(); // id -> context of a running browse or browseTree
let shuttingDown = false;

function makeContext(id) {
  return {
    id,
    cancelled: false,
    answered: false,
    check() {
      if (this.cancelled) throw new CancelledError();
    },
  };
}

function answerError(id, err) {
  const answer = { id, ok: false, error: err.message || String(err) };
  if (err.cancelled) answer.cancelled = true;
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
  const simple = (promise) =>
    promise.then(
      (result) => send({ id, ok: true, ...result }),
      (err) => answerError(id, err)
    );
  try {
    switch (op) {
      case "connect":
        simple(opConnect(req));
        break;
      case "disconnect":
        simple(opDisconnect());
        break;
      case "browse":
        runOperation(id, (ctx) => opBrowse(req, ctx));
        break;
      case "browseTree":
        runOperation(id, (ctx) => opBrowseTree(req, ctx));
        break;
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
  const conn = current;
  current = null;
  (conn ? conn.close(CLOSE_BUDGET_MS) : Promise.resolve())
    .catch(() => {})
    .then(() => {
      if (quitId !== null) send({ id: quitId, ok: true });
      if (stdoutBroken) process.exit(0);
      rawStdoutWrite("", () => process.exit(0));
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
const certificateReady = prepareCertificate();
