"use strict";
// Details of the variables found by a browse: data type, value rank, array
// dimensions and access levels, each data type named by its built-in type.

const { opcua } = require("./opcua-runtime");
const { chunks } = require("./util");

const { NodeId, NodeIdType, BrowseDirection, BrowseDescription, ReadValueId, AttributeIds } = opcua;

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

function resolveDataTypes(conn, variables, ctx) {
  const ids = new Map();
  for (const rec of variables) {
    if (rec.dataTypeKey && !conn.typeNames.has(rec.dataTypeKey)) ids.set(rec.dataTypeKey, rec.dataTypeId);
  }
  return resolveSupertypes(conn, ids, conn.typeNames, NODE_CLASS_MASK_DATATYPE, "Unknown", ctx);
}

// Walks HasSubtype upwards from the types in ids (key -> NodeId) that known
// (key -> answer) does not hold yet, all types of one step in one call, and
// stores for each of them the answer of the first known type above it, or
// fallback when the chain ends before one.
async function resolveSupertypes(conn, ids, known, nodeClassMask, fallback, ctx) {
  const supertype = new Map(); // type key -> supertype key, or null if it has none
  let frontier = [...ids.keys()].filter((key) => !known.has(key));
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
            nodeClassMask,
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
        if (!known.has(parentKey) && !supertype.has(parentKey) && !ids.has(parentKey)) {
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
    while (cursor && !known.has(cursor) && !seen.has(cursor)) {
      seen.add(cursor);
      cursor = supertype.get(cursor);
    }
    const answer = cursor && known.has(cursor) ? known.get(cursor) : fallback;
    for (const k of seen) known.set(k, answer);
  }
}

module.exports = { BUILT_IN_TYPES, readVariableDetails, resolveSupertypes };
