"use strict";
// Live values: one subscription per connection whose monitored items the
// editor names by its own integer handles, the values events it produces,
// and single reads and writes.

const { opcua } = require("./opcua-runtime");
const { parseNodeId } = require("./nodeid");
const { log, send } = require("./output");
const { connectedConnection } = require("./connection");
const { intOption } = require("./request");
const { chunks, withTimeout } = require("./util");
const { statusName, dataValueOut, variantIn, ConversionError } = require("./values");
const { resolveSupertypes } = require("./variables");

const {
  NodeId,
  NodeIdType,
  AttributeIds,
  ReadValueId,
  TimestampsToReturn,
  MonitoringMode,
  CreateMonitoredItemsRequest,
  ModifyMonitoredItemsRequest,
  DeleteMonitoredItemsRequest,
  MonitoredItemCreateRequest,
  MonitoredItemModifyRequest,
  ModifySubscriptionRequest,
  ReadRequest,
  WriteRequest,
  WriteValue,
  DataValue,
} = opcua;

const MAX_ITEMS_PER_CALL = 1000;
const MIN_PUBLISHING_MS = 50;
const DEFAULT_SAMPLING_MS = 1000;
const MAX_INTERVAL_MS = 3600000;
const KEEP_ALIVE_MS = 5000; // an empty publish at least this often tells us the server is there
const MAX_MONITORED_ITEMS_PER_CALL = new NodeId(NodeIdType.NUMERIC, 11714, 0);
const NODE_CLASS_MASK_DATATYPE = 64;
const NO_CANCEL = { check() {} };

// What one connection monitors. It goes with the connection: a new connect
// starts with nothing monitored.
class LiveState {
  constructor(conn) {
    this.conn = conn;
    this.subscription = null;
    this.publishingMs = 0;
    this.items = new Map(); // editor handle -> { clientHandle, monitoredItemId, nodeKey, samplingMs }
    this.handleOf = new Map(); // client handle on the server -> editor handle
    this.nextClientHandle = 1;
    this.perCall = 0; // monitored items per service call, once the server's limit is known
    this.pending = []; // values not sent yet
    this.flushTimer = null;
    this.lastFlush = 0;
    this.queue = Promise.resolve(); // monitor and unmonitor run one after the other
  }

  serialized(fn) {
    const result = this.queue.then(fn);
    this.queue = result.catch(() => {});
    return result;
  }

  gone() {
    return this.conn.closed || this.conn.lostError;
  }

  async itemsPerCall() {
    if (this.perCall) return this.perCall;
    let limit = 0;
    try {
      const [dv] = await this.conn.read([new ReadValueId({ nodeId: MAX_MONITORED_ITEMS_PER_CALL, attributeId: AttributeIds.Value })]);
      if (dv && dv.statusCode.isGood() && dv.value) limit = Number(dv.value.value) || 0;
    } catch (err) {
      if (this.gone()) throw err;
    }
    this.perCall = limit > 0 ? Math.min(MAX_ITEMS_PER_CALL, limit) : MAX_ITEMS_PER_CALL;
    return this.perCall;
  }

  subscriptionCounts(publishingMs) {
    const keepAlive = Math.max(3, Math.ceil(KEEP_ALIVE_MS / publishingMs));
    return { requestedMaxKeepAliveCount: keepAlive, requestedLifetimeCount: keepAlive * 6 };
  }

  async ensureSubscription(publishingMs) {
    const { conn } = this;
    if (this.subscription) {
      if (publishingMs !== this.publishingMs) {
        const request = new ModifySubscriptionRequest({ requestedPublishingInterval: publishingMs, ...this.subscriptionCounts(publishingMs) });
        await withTimeout(this.subscription.modify(request), conn.requestTimeoutMs, () => new Error("the server did not answer the subscription change"));
        this.publishingMs = publishingMs;
      }
      return;
    }
    const subscription = await withTimeout(
      conn.session.createSubscription2({
        requestedPublishingInterval: publishingMs,
        ...this.subscriptionCounts(publishingMs),
        maxNotificationsPerPublish: 0,
        publishingEnabled: true,
        priority: 10,
      }),
      conn.requestTimeoutMs,
      () => new Error(`the server did not create the subscription within ${conn.requestTimeoutMs} ms`)
    );
    if (this.gone()) throw conn.lostError || new Error("the connection was closed");
    // The items are ours, not node-opcua's monitored item objects: take the
    // notifications as they arrive and keep it from warning about handles it
    // does not know.
    subscription.__on_publish_response_DataChangeNotification = () => {};
    subscription.on("raw_notification", (message) => this.onNotification(message));
    subscription.on("status_changed", (status) => log(`subscription status: ${statusName(status)}`));
    this.subscription = subscription;
    this.publishingMs = publishingMs;
    log(`subscription ${subscription.subscriptionId} created, publishing every ${subscription.publishingInterval} ms`);
  }

  async deleteSubscription() {
    const subscription = this.subscription;
    this.subscription = null;
    this.publishingMs = 0;
    if (!subscription || this.gone()) return;
    try {
      await withTimeout(subscription.terminate(), this.conn.requestTimeoutMs, () => new Error("no answer"));
    } catch (err) {
      log("deleting the subscription:", err.message);
    }
  }

  onNotification(message) {
    for (const data of message.notificationData || []) {
      if (!data || !data.schema || data.schema.name !== "DataChangeNotification") continue;
      for (const n of data.monitoredItems || []) {
        const handle = this.handleOf.get(n.clientHandle);
        if (handle === undefined) continue; // an item deleted or replaced meanwhile
        this.pending.push({ handle, ...dataValueOut(n.value, (id) => this.conn.format(id)) });
      }
    }
    if (this.pending.length > 0) this.scheduleFlush();
  }

  // Values leave at most once per publishing interval, all that came since
  // the last line together.
  scheduleFlush() {
    if (this.flushTimer) return;
    const wait = Math.max(0, this.lastFlush + this.publishingMs - Date.now());
    this.flushTimer = setTimeout(() => {
      this.flushTimer = null;
      this.lastFlush = Date.now();
      const values = this.pending;
      this.pending = [];
      if (values.length > 0 && !this.gone()) send({ event: "values", values });
    }, wait);
  }

  forget(handle) {
    const item = this.items.get(handle);
    if (!item) return null;
    this.items.delete(handle);
    this.handleOf.delete(item.clientHandle);
    return item;
  }

  // Drops the items from our tables at once (so no value of theirs is sent
  // any more) and then from the server.
  async deleteItems(handles) {
    const removed = handles.map((h) => this.forget(h)).filter(Boolean);
    if (removed.length === 0) return;
    const gone = new Set(handles);
    this.pending = this.pending.filter((v) => !gone.has(v.handle));
    if (!this.subscription) return;
    const perCall = await this.itemsPerCall();
    for (const part of chunks(removed, perCall)) {
      const results = await this.conn.service(
        new DeleteMonitoredItemsRequest({ subscriptionId: this.subscription.subscriptionId, monitoredItemIds: part.map((i) => i.monitoredItemId) })
      );
      results.forEach((status) => {
        if (status && status.isNotGood && status.isNotGood()) log(`deleting a monitored item: ${statusName(status)}`);
      });
    }
  }

  async createItems(list, status) {
    const perCall = await this.itemsPerCall();
    const subscriptionId = this.subscription.subscriptionId;
    for (const part of chunks(list, perCall)) {
      const clientHandles = part.map(() => this.nextClientHandle++);
      const results = await this.conn.service(
        new CreateMonitoredItemsRequest({
          subscriptionId,
          timestampsToReturn: TimestampsToReturn.Both,
          itemsToCreate: part.map(
            (it, k) =>
              new MonitoredItemCreateRequest({
                itemToMonitor: new ReadValueId({ nodeId: it.nodeId, attributeId: AttributeIds.Value }),
                monitoringMode: MonitoringMode.Reporting,
                requestedParameters: { clientHandle: clientHandles[k], samplingInterval: it.samplingMs, queueSize: 1, discardOldest: true },
              })
          ),
        })
      );
      part.forEach((it, k) => {
        const r = results[k];
        const name = r ? statusName(r.statusCode) : "BadUnexpectedError";
        status.set(it.handle, name);
        if (!r || !name.startsWith("Good")) return;
        this.items.set(it.handle, { clientHandle: clientHandles[k], monitoredItemId: r.monitoredItemId, nodeKey: it.nodeKey, samplingMs: it.samplingMs });
        this.handleOf.set(clientHandles[k], it.handle);
      });
    }
  }

  async modifyItems(list, status) {
    const perCall = await this.itemsPerCall();
    const subscriptionId = this.subscription.subscriptionId;
    for (const part of chunks(list, perCall)) {
      const results = await this.conn.service(
        new ModifyMonitoredItemsRequest({
          subscriptionId,
          timestampsToReturn: TimestampsToReturn.Both,
          itemsToModify: part.map((it) => {
            const item = this.items.get(it.handle);
            return new MonitoredItemModifyRequest({
              monitoredItemId: item.monitoredItemId,
              requestedParameters: { clientHandle: item.clientHandle, samplingInterval: it.samplingMs, queueSize: 1, discardOldest: true },
            });
          }),
        })
      );
      const failed = [];
      part.forEach((it, k) => {
        const r = results[k];
        const name = r ? statusName(r.statusCode) : "BadUnexpectedError";
        status.set(it.handle, name);
        if (name.startsWith("Good")) this.items.get(it.handle).samplingMs = it.samplingMs;
        else failed.push(it.handle);
      });
      // an item that cannot be changed is not left behind with the old rate
      if (failed.length > 0) await this.deleteItems(failed);
    }
  }

  async monitor(items, publishingMs) {
    const status = new Map(); // handle -> status name
    const toCreate = [];
    const toModify = [];
    const toReplace = [];
    for (const it of items) {
      const old = this.items.get(it.handle);
      if (it.error) {
        status.set(it.handle, it.error);
        if (old) toReplace.push(it.handle);
      } else if (!old) {
        toCreate.push(it);
      } else if (old.nodeKey !== it.nodeKey) {
        toReplace.push(it.handle);
        toCreate.push(it);
      } else if (old.samplingMs !== it.samplingMs) {
        toModify.push(it);
      } else {
        status.set(it.handle, "Good");
      }
    }
    await this.deleteItems(toReplace);
    if (toCreate.length + toModify.length > 0) {
      let wanted = publishingMs;
      if (!wanted) {
        const rates = [...toCreate, ...toModify].map((it) => it.samplingMs);
        for (const item of this.items.values()) rates.push(item.samplingMs);
        wanted = Math.max(MIN_PUBLISHING_MS, Math.min(...rates));
      }
      await this.ensureSubscription(wanted);
      await this.modifyItems(toModify, status);
      await this.createItems(toCreate, status);
    }
    if (this.items.size === 0) await this.deleteSubscription();
    return items.map((it) => ({ handle: it.handle, status: status.get(it.handle) }));
  }

  async unmonitor(handles) {
    await this.deleteItems(handles.filter((h) => this.items.has(h)));
    if (this.items.size === 0) await this.deleteSubscription();
  }
}

function liveState(conn) {
  if (!conn.live) conn.live = new LiveState(conn);
  return conn.live;
}

function checkHandle(h, where) {
  if (!Number.isInteger(h)) throw new Error(`${where}: "handle" must be an integer`);
  return h;
}

// The items of a monitor request, checked. A node id that is not valid or
// names a namespace the server does not have is that item's failure, not the
// request's.
function monitorItems(req, conn) {
  if (!Array.isArray(req.items)) throw new Error(`"items" must be an array of {handle, nodeId, samplingMs}`);
  const seen = new Set();
  return req.items.map((raw, i) => {
    const where = `items[${i}]`;
    if (raw === null || typeof raw !== "object") throw new Error(`${where} must be an object {handle, nodeId, samplingMs}`);
    const handle = checkHandle(raw.handle, where);
    if (seen.has(handle)) throw new Error(`${where}: handle ${handle} appears twice`);
    seen.add(handle);
    const samplingMs = intOption(raw, "samplingMs", DEFAULT_SAMPLING_MS, 0, MAX_INTERVAL_MS);
    const item = { handle, samplingMs };
    try {
      item.nodeId = parseNodeId(raw.nodeId, conn.namespaces);
      item.nodeKey = conn.format(item.nodeId);
    } catch (err) {
      item.error = nodeIdStatus(err);
    }
    return item;
  });
}

async function opMonitor(req) {
  const conn = await connectedConnection();
  const publishingMs = intOption(req, "publishingIntervalMs", 0, MIN_PUBLISHING_MS, MAX_INTERVAL_MS);
  const items = monitorItems(req, conn);
  const live = liveState(conn);
  const results = await live.serialized(() => live.monitor(items, publishingMs));
  return { results };
}

async function opUnmonitor(req) {
  if (!Array.isArray(req.handles)) throw new Error(`"handles" must be an array of integers`);
  const handles = req.handles.map((h, i) => checkHandle(h, `handles[${i}]`));
  const conn = await connectedConnection();
  const live = liveState(conn);
  await live.serialized(() => live.unmonitor(handles));
  return {};
}

// The status for node id text that does not lead to a node of this server.
function nodeIdStatus(err) {
  return /unknown namespace/.test(err.message) ? "BadNodeIdUnknown" : "BadNodeIdInvalid";
}

async function opRead(req) {
  if (!Array.isArray(req.nodeIds)) throw new Error(`"nodeIds" must be an array of node ids`);
  const conn = await connectedConnection();
  const values = req.nodeIds.map(() => null);
  const toRead = []; // [index, NodeId]
  req.nodeIds.forEach((text, i) => {
    try {
      toRead.push([i, parseNodeId(text, conn.namespaces)]);
    } catch (err) {
      values[i] = { value: null, type: "Null", status: nodeIdStatus(err), sourceTime: null, serverTime: null };
    }
  });
  for (const part of chunks(toRead, conn.maxReads)) {
    const results = await conn.service(
      new ReadRequest({
        maxAge: 0,
        timestampsToReturn: TimestampsToReturn.Both,
        nodesToRead: part.map(([, nodeId]) => new ReadValueId({ nodeId, attributeId: AttributeIds.Value })),
      })
    );
    part.forEach(([i], k) => {
      values[i] = results[k]
        ? dataValueOut(results[k], (id) => conn.format(id))
        : { value: null, type: "Null", status: "BadUnexpectedError", sourceTime: null, serverTime: null };
    });
  }
  return { values };
}

// The built-in type name and value rank of a variable, or the status with
// which the server refused to give them.
async function variableType(conn, nodeId) {
  const [dataType, valueRank] = await conn.read(
    [AttributeIds.DataType, AttributeIds.ValueRank].map((attributeId) => new ReadValueId({ nodeId, attributeId }))
  );
  if (!dataType || dataType.statusCode.isNotGood()) return { status: dataType ? statusName(dataType.statusCode) : "BadUnexpectedError" };
  const typeId = dataType.value && dataType.value.value;
  if (!(typeId instanceof NodeId)) return { status: "BadTypeMismatch" };
  const key = conn.format(typeId);
  if (!conn.typeNames.has(key)) await resolveSupertypes(conn, new Map([[key, typeId]]), conn.typeNames, NODE_CLASS_MASK_DATATYPE, "Unknown", NO_CANCEL);
  const rank = valueRank && valueRank.statusCode.isGood() && valueRank.value ? Number(valueRank.value.value) : -1;
  return { type: conn.typeNames.get(key), valueRank: rank };
}

async function opWrite(req) {
  if (!("value" in req)) throw new Error(`"value" is missing`);
  const conn = await connectedConnection();
  let nodeId;
  try {
    nodeId = parseNodeId(req.nodeId, conn.namespaces);
  } catch (err) {
    if (nodeIdStatus(err) === "BadNodeIdUnknown") return { status: "BadNodeIdUnknown" };
    throw err;
  }
  const target = await variableType(conn, nodeId);
  if (target.status) return { status: target.status };
  let variant;
  try {
    variant = variantIn(target.type, target.valueRank, req.value, conn.namespaces);
  } catch (err) {
    if (!(err instanceof ConversionError)) throw err;
    throw new Error(`Cannot write to ${conn.format(nodeId)} (${target.type}${target.valueRank >= 0 ? "[]" : ""}): ${err.message}`);
  }
  const [result] = await conn.service(
    new WriteRequest({ nodesToWrite: [new WriteValue({ nodeId, attributeId: AttributeIds.Value, value: new DataValue({ value: variant }) })] })
  );
  return { status: result ? statusName(result) : "BadUnexpectedError" };
}

module.exports = { opMonitor, opUnmonitor, opRead, opWrite };
