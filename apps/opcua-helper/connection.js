"use strict";
// The connection to one server: client, session, namespace table, per-call
// limits, the data type cache and service call timeouts; and which one is current.

const { opcua } = require("./opcua-runtime");
const { describeStatus, describeConnectError } = require("./errors");
const { formatNodeId } = require("./nodeid");
const { log, send } = require("./output");
const { intOption } = require("./request");
const security = require("./security");
const { sleep, withTimeout } = require("./util");
const { BUILT_IN_TYPES } = require("./variables");

const {
  OPCUAClient,
  MessageSecurityMode,
  SecurityPolicy,
  UserTokenType,
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

// Status codes with which a server refuses the identity given at session
// activation.
const IDENTITY_REFUSED = /BadUserAccessDenied|BadIdentityTokenRejected|BadIdentityTokenInvalid/;

// A connect failure the editor acts on: "reason" says which, further fields
// carry what it needs for that (the certificate, for instance).
class ConnectError extends Error {
  constructor(message, fields) {
    super(message);
    this.answerFields = fields;
  }
}

function createClient(certificateManager, { mode = "None", policy = "None", serverCertificate = null, requestTimeoutMs = DEFAULT_REQUEST_TIMEOUT_MS } = {}) {
  return OPCUAClient.create({
    applicationName: CLIENT_APPLICATION_NAME,
    clientName: "ovopc-editor",
    endpointMustExist: false,
    securityMode: MessageSecurityMode[mode],
    securityPolicy: SecurityPolicy[policy],
    serverCertificate: serverCertificate || undefined,
    connectionStrategy: { maxRetry: 0, initialDelay: 100, maxDelay: 200 },
    keepSessionAlive: true,
    requestedSessionTimeout: 60000,
    defaultTransactionTimeout: requestTimeoutMs,
    clientCertificateManager: certificateManager,
  });
}

let certificateReady = null;

// The client's application certificate is made once in the PKI folder and
// kept. Do that at start-up, while the editor has nothing to wait for yet.
function prepareCertificate() {
  certificateReady = createCertificate();
}

async function createCertificate() {
  try {
    const client = createClient(await security.openCertificateManager());
    await client.createDefaultCertificate();
    await client.clientCertificateManager.dispose();
  } catch (err) {
    log("preparing the client certificate:", err.message);
  }
}

class Connection {
  // options: securityMode, securityPolicy (either may be null: the best the
  // server offers), user (null: anonymous), password, acceptCertificate.
  constructor(endpoint, requestTimeoutMs, options = {}) {
    this.endpoint = endpoint;
    this.requestTimeoutMs = requestTimeoutMs;
    this.options = options;
    this.client = null;
    this.session = null;
    this.namespaces = [];
    this.securityMode = null;
    this.securityPolicy = null;
    this.closed = false;
    this.lostError = null;
    this.pending = new Set(); // reject functions of outstanding service calls
    this.typeNames = new Map(); // data type id text -> built-in type name
    // reference type id text -> whether it is HasProperty or a subtype of it;
    // the usual hierarchical types are known, others are looked up once
    this.propertyReferences = new Map([["i=46", true], ...[31, 33, 34, 35, 44, 45, 47, 49].map((i) => [`i=${i}`, false])]);
    this.maxParents = MAX_PARENTS_PER_CALL;
    this.maxReads = MAX_READS_PER_CALL;
    for (const [id, name] of BUILT_IN_TYPES) this.typeNames.set(`i=${id}`, name);
  }

  checkOpen() {
    if (this.closed) throw new Error("closed while connecting");
  }

  // The server's endpoints, asked for over an unsecured channel as every
  // server allows for discovery.
  async discoverEndpoints() {
    const client = createClient(await security.openCertificateManager(), { requestTimeoutMs: this.requestTimeoutMs });
    this.client = client;
    this.checkOpen();
    await client.connect(this.endpoint);
    this.checkOpen();
    const endpoints = await client.getEndpoints();
    this.client = null;
    await client.disconnect();
    this.checkOpen();
    return endpoints;
  }

  chooseEndpoint(endpoints) {
    const { securityMode, securityPolicy } = this.options;
    const { chosen, offers } = security.chooseEndpoint(endpoints, securityMode, securityPolicy);
    if (chosen) return chosen;
    const asked = securityMode && securityPolicy ? `${securityMode} with ${securityPolicy}` : securityMode || securityPolicy;
    const offered = [...new Set(offers.map(security.describeOffer))].join(", ") || "nothing";
    const what = asked ? `no endpoint with ${asked}` : "no endpoint with a security policy this client supports";
    throw new ConnectError(`Cannot connect to ${this.endpoint}: the server offers ${what}; it offers ${offered}`, { reason: "noEndpoint" });
  }

  // Refuses a certificate with problems unless it is the one the user
  // accepted for this connection.
  async checkServerCertificate(chain) {
    if (!chain || chain.length === 0) throw new Error(`Cannot connect to ${this.endpoint}: the server sent no certificate for a secured endpoint`);
    const manager = await security.openCertificateManager();
    let result;
    try {
      result = await security.examineCertificate(manager, chain, this.endpoint);
    } finally {
      await manager.dispose();
    }
    const { certificate } = result;
    security.rememberCertificate(certificate.thumbprint, result.leaf);
    if (certificate.problems.length === 0) return;
    if (this.options.acceptCertificate === certificate.thumbprint) {
      log(`accepting the server certificate ${certificate.thumbprint} of ${this.endpoint} once (${certificate.problems.join(", ")})`);
      return;
    }
    if (result.verification !== "Good") log(`server certificate ${certificate.thumbprint}: ${result.verification}`);
    throw new ConnectError(
      `The server certificate of ${this.endpoint} (thumbprint ${certificate.thumbprint}) ${security.describeProblems(certificate)}`,
      { reason: "certificate", certificate }
    );
  }

  identity(description) {
    const { user, password } = this.options;
    if (!user) {
      if (!security.acceptsAnonymous(description)) {
        throw new ConnectError(`Cannot connect to ${this.endpoint}: the server accepts no anonymous user; a user name and password are needed`, {
          reason: "loginNeeded",
        });
      }
      return { type: UserTokenType.Anonymous };
    }
    if (!security.acceptsUserName(description)) {
      throw new Error(`Cannot connect to ${this.endpoint}: the server accepts no user name and password with ${security.describeOffer(this)}`);
    }
    return { type: UserTokenType.UserName, userName: user, password: password || "" };
  }

  async open(timeoutMs) {
    // the certificate is made once per PKI folder; that is not part of the
    // time the server gets to answer
    await certificateReady;
    let identity = null;
    const work = (async () => {
      const chosen = this.chooseEndpoint(await this.discoverEndpoints());
      this.securityMode = chosen.mode;
      this.securityPolicy = chosen.policy;
      // without signing or encryption the certificate is not used for anything
      const serverCertificate = chosen.mode === "None" ? null : chosen.description.serverCertificate;
      if (serverCertificate) await this.checkServerCertificate(serverCertificate);
      identity = this.identity(chosen.description);
      this.checkOpen();

      const client = createClient(await security.openCertificateManager(), {
        mode: chosen.mode,
        policy: chosen.policy,
        serverCertificate,
        requestTimeoutMs: this.requestTimeoutMs,
      });
      this.client = client;
      this.checkOpen();
      client.on("connection_lost", () => this.lose("the connection to the server was lost"));
      client.on("close", (err) => {
        if (err) this.lose("the connection to the server was closed");
      });
      await client.connect(this.endpoint);
      this.checkOpen();
      const session = await client.createSession(identity);
      this.session = session;
      this.checkOpen();
      session.on("session_closed", () => this.lose("the server closed the session"));
      session.on("keepalive_failure", () => this.lose("the server stopped answering keep-alive requests"));
      await this.readServerInfo();
    })();
    work.catch(() => {}); // a late failure after a timeout is handled by close()

    try {
      await withTimeout(work, timeoutMs, () => new Error(`no answer within ${timeoutMs} ms`));
    } catch (err) {
      // answer now; the half-open connection is torn down in the background
      this.close(CLOSE_BUDGET_MS).catch(() => {});
      if (err.answerFields) throw err;
      if (identity && IDENTITY_REFUSED.test(err.message || "")) {
        if (identity.type === UserTokenType.UserName) {
          throw new ConnectError(`The server refused the user name or password (${this.endpoint})`, { reason: "userRefused" });
        }
        throw new ConnectError(`Cannot connect to ${this.endpoint}: the server accepts no anonymous user; a user name and password are needed`, {
          reason: "loginNeeded",
        });
      }
      if (/^Cannot connect to /.test(err.message)) throw err;
      const reason = /^no answer within/.test(err.message) ? err.message : describeConnectError(err);
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

function enumOption(req, name, allowed) {
  const v = req[name];
  if (v === undefined || v === null) return null;
  if (!allowed.includes(v)) throw new Error(`"${name}" must be one of ${allowed.join(", ")}`);
  return v;
}

function stringOption(req, name) {
  const v = req[name];
  if (v === undefined || v === null) return null;
  if (typeof v !== "string") throw new Error(`"${name}" must be a string`);
  return v;
}

function connectOptions(req) {
  const acceptCertificate = stringOption(req, "acceptCertificate");
  if (acceptCertificate !== null && !/^[0-9a-fA-F]{40}$/.test(acceptCertificate)) {
    throw new Error(`"acceptCertificate" must be a SHA-1 thumbprint of 40 hex digits`);
  }
  return {
    securityMode: enumOption(req, "securityMode", security.SECURITY_MODES),
    securityPolicy: enumOption(req, "securityPolicy", security.SECURITY_POLICIES),
    // an empty user name means anonymous, as no user name at all does
    user: stringOption(req, "user") || null,
    password: stringOption(req, "password") || "",
    acceptCertificate: acceptCertificate && acceptCertificate.toUpperCase(),
  };
}

async function opConnect(req) {
  const endpoint = req.endpoint;
  if (typeof endpoint !== "string" || !/^opc\.tcp:\/\/[^/:\s]+(:\d{1,5})?(\/\S*)?$/i.test(endpoint)) {
    throw new Error(`invalid endpoint ${JSON.stringify(endpoint)}: expected opc.tcp://host:port[/path]`);
  }
  const timeoutMs = intOption(req, "timeoutMs", DEFAULT_CONNECT_TIMEOUT_MS, 100, 600000);
  const requestTimeoutMs = intOption(req, "requestTimeoutMs", DEFAULT_REQUEST_TIMEOUT_MS, 100, 3600000);
  const options = connectOptions(req);
  return serialized(async () => {
    if (current) {
      const old = current;
      current = null;
      await old.close(CLOSE_BUDGET_MS);
    }
    const conn = new Connection(endpoint, requestTimeoutMs, options);
    const started = Date.now();
    await conn.open(timeoutMs);
    current = conn;
    log(`connected to ${endpoint} (${conn.securityMode}, ${conn.securityPolicy}) in ${Date.now() - started} ms`);
    return {
      namespaces: conn.namespaces,
      securityMode: conn.securityMode,
      securityPolicy: conn.securityPolicy,
      user: options.user,
      endpoint,
    };
  });
}

async function opTrustCertificate(req) {
  await security.trustCertificate(req.thumbprint);
  return {};
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

module.exports = { prepareCertificate, connectedConnection, opConnect, opDisconnect, opTrustCertificate, closeForExit };
