"use strict";
// The browse and browseTree requests: children over hierarchical references,
// continuation points, probes for whether a node has children, and the events.

const { opcua } = require("./opcua-runtime");
const { describeStatus } = require("./errors");
const { parseNodeId } = require("./nodeid");
const { log, send } = require("./output");
const { connectedConnection } = require("./connection");
const { intOption } = require("./request");
const { chunks, sleep } = require("./util");
const { readVariableDetails, resolveSupertypes } = require("./variables");

const { NodeId, NodeIdType, BrowseDirection, BrowseDescription, NodeClass, StatusCodes } = opcua;

const DEFAULT_BATCH = 500;
const DEFAULT_MAX_DEPTH = 64;
const NODE_CLASS_MASK = 1 | 2; // Object | Variable
const RESULT_MASK_CHILDREN = 1 | 4 | 8 | 16; // ReferenceType | NodeClass | BrowseName | DisplayName
const NODE_CLASS_MASK_REFERENCE_TYPE = 32;
const HIERARCHICAL_REFERENCES = new NodeId(NodeIdType.NUMERIC, 33, 0);

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
  const rec = { nodeId, key: out.nodeId, parentKey, out, expand: true, dataTypeKey: null, referenceType: null };
  if (ref.referenceTypeId instanceof NodeId) rec.referenceType = ref.referenceTypeId;
  return rec;
}

// Marks the records reached over HasProperty or one of its subtypes with
// isProperty; other reference types are looked up once per connection.
async function markProperties(conn, records, ctx) {
  const ids = new Map();
  for (const rec of records) {
    if (!rec.referenceType) continue;
    rec.referenceTypeKey = conn.format(rec.referenceType);
    if (!conn.propertyReferences.has(rec.referenceTypeKey)) ids.set(rec.referenceTypeKey, rec.referenceType);
  }
  if (ids.size > 0) await resolveSupertypes(conn, ids, conn.propertyReferences, NODE_CLASS_MASK_REFERENCE_TYPE, false, ctx);
  for (const rec of records) {
    if (rec.referenceTypeKey && conn.propertyReferences.get(rec.referenceTypeKey)) rec.out.isProperty = true;
  }
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
        await markProperties(conn, records, ctx);
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
  await markProperties(conn, frontier, ctx);
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
      await markProperties(conn, found, ctx);
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

module.exports = { opBrowse, opBrowseTree };
