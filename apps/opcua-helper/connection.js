"use strict";
// The connection to one server: client, session, namespace table, per-call
// limits, the data type cache and service call timeouts; and which one is current.

const { opcua, pkiRoot } = require("./opcua-runtime");
const path = require("node:path");
const { describeStatus, describeConnectError } = require("./errors");
const { formatNodeId } = require("./nodeid");
const { log, send } = require("./output");
const { intOption } = require("./request");
const { sleep, withTimeout } = require("./util");
const { BUILT_IN_TYPES } = require("./variables");

const {
  OPCUAClient,
  OPCUACertificateManager,
  MessageSecurityMode,
  SecurityPolicy,
  NodeId,
  NodeIdType,
  BrowseRequest,
  BrowseNextRequest,
  ReadRequest,
  ReadValueId,
  TimestampsToReturn,
  AttributeIds,
  StatusCodes,
} = opcua;

const CLOSE_BUDGET_MS = 1200; // time given to a clean session close / disconnect
const MAX_PARENTS_PER_CALL = 1000;
const MAX_READS_PER_CALL = 20000;
const DEFAULT_CONNECT_TIMEOUT_MS = 5000;
const DEFAULT_REQUEST_TIMEOUT_MS = 30000;

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

let certificateReady = null;

// node-opcua wants an application certificate even for unsecured
// connections and creates one on first use. Do that at start-up, while the
// editor has nothing to wait for yet.
function prepareCertificate() {
  certificateReady = createCertificate();
}

async function createCertificate() {
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

// The current connection. connect and disconnect run one after the other;
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

// Closes the current connection without waiting for a pending connect or
// disconnect: the helper is exiting.
function closeForExit() {
  const conn = current;
  current = null;
  return conn ? conn.close(CLOSE_BUDGET_MS) : Promise.resolve();
}

module.exports = { prepareCertificate, connectedConnection, opConnect, opDisconnect, closeForExit };
