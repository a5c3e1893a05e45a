"use strict";
// Node ids as text: "i=85" in namespace 0, "nsu=<uri>;s=A.B" in the others, so
// that ids stay valid when the server reorders its namespace table.

const { opcua } = require("./opcua-runtime");

const { NodeId, NodeIdType } = opcua;

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

// Accepts what formatNodeId writes, and "ns=<index>;..." as well.
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

module.exports = { formatNodeId, parseNodeId };
