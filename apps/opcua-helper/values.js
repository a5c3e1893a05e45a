"use strict";
// Values as the editor sees them: a variant in JSON, with its built-in type
// name.

const { opcua } = require("./opcua-runtime");

const { DataType, VariantArrayType } = opcua;

// "Good", "BadNodeIdUnknown" ...: the name without the info bits node-opcua
// appends after a '#'.
function statusName(statusCode) {
  if (!statusCode) return "Good";
  return String(statusCode.name || statusCode).split("#")[0];
}

function numberOut(x) {
  if (Number.isNaN(x)) return "NaN";
  if (x === Infinity) return "Infinity";
  if (x === -Infinity) return "-Infinity";
  return x;
}

// node-opcua carries 64-bit integers as [high, low] 32-bit halves.
function int64Text(v, signed) {
  if (typeof v === "bigint") return v.toString();
  if (typeof v === "number") return String(v);
  if (!Array.isArray(v) || v.length !== 2) return String(v);
  const raw = (BigInt(v[0] >>> 0) << 32n) | BigInt(v[1] >>> 0);
  return (signed ? BigInt.asIntN(64, raw) : raw).toString();
}

function scalarOut(dataType, v, formatNodeId) {
  if (v === null || v === undefined) return null;
  switch (dataType) {
    case DataType.Boolean:
      return Boolean(v);
    case DataType.SByte: case DataType.Byte: case DataType.Int16: case DataType.UInt16:
    case DataType.Int32: case DataType.UInt32: case DataType.Float: case DataType.Double:
      return numberOut(Number(v));
    case DataType.Int64:
      return int64Text(v, true);
    case DataType.UInt64:
      return int64Text(v, false);
    case DataType.String: case DataType.XmlElement: case DataType.Guid:
      return String(v);
    case DataType.DateTime:
      return v instanceof Date && !Number.isNaN(v.getTime()) ? v.toISOString() : null;
    case DataType.ByteString:
      return Buffer.from(v).toString("base64");
    case DataType.LocalizedText:
      return v.text == null ? null : String(v.text);
    case DataType.QualifiedName:
      return v.name == null ? null : String(v.name);
    case DataType.NodeId: case DataType.ExpandedNodeId:
      try {
        return formatNodeId(v);
      } catch {
        return String(v);
      }
    case DataType.StatusCode:
      return statusName(v);
    default: {
      // structures and the rest: their type name is enough to recognise them
      const name = (v.schema && v.schema.name) || (v.constructor && v.constructor.name);
      return name && name !== "Object" ? name : DataType[dataType] || "unknown";
    }
  }
}

// { value, type } of a variant; an absent value is null of type "Null".
function variantOut(variant, formatNodeId) {
  if (!variant || variant.dataType === DataType.Null || variant.value === null || variant.value === undefined) {
    return { value: null, type: "Null" };
  }
  const typeName = DataType[variant.dataType] || "Unknown";
  if (variant.arrayType === VariantArrayType.Array || variant.arrayType === VariantArrayType.Matrix) {
    // 64-bit arrays hold [high, low] pairs: map element by element
    const list = Array.from(variant.value, (v) => scalarOut(variant.dataType, v, formatNodeId));
    return { value: list, type: `${typeName}[]` };
  }
  return { value: scalarOut(variant.dataType, variant.value, formatNodeId), type: typeName };
}

function timeOut(date) {
  return date instanceof Date && !Number.isNaN(date.getTime()) && date.getTime() > 0 ? date.toISOString() : null;
}

// A data value as a line of a values event or a read answer. A bad value
// carries no value, whatever the server put beside the status.
function dataValueOut(dataValue, formatNodeId) {
  const status = statusName(dataValue.statusCode);
  const { value, type } = status.startsWith("Bad") ? { value: null, type: "Null" } : variantOut(dataValue.value, formatNodeId);
  return { value, type, status, sourceTime: timeOut(dataValue.sourceTimestamp), serverTime: timeOut(dataValue.serverTimestamp) };
}

module.exports = { statusName, dataValueOut, variantOut };
