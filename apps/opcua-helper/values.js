"use strict";
// Values as the editor sees them: a variant in JSON (with its built-in type
// name) and a JSON value turned into a variant of a variable's type.

const { opcua } = require("./opcua-runtime");
const { parseNodeId } = require("./nodeid");

const { DataType, Variant, VariantArrayType, StatusCodes, LocalizedText, QualifiedName } = opcua;

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

// --- JSON to variant -------------------------------------------------------

class ConversionError extends Error {}

const INTEGER_RANGES = {
  SByte: [-128n, 127n], Byte: [0n, 255n], Int16: [-32768n, 32767n], UInt16: [0n, 65535n],
  Int32: [-2147483648n, 2147483647n], UInt32: [0n, 4294967295n],
  Int64: [-(2n ** 63n), 2n ** 63n - 1n], UInt64: [0n, 2n ** 64n - 1n],
};
const FLOAT_MAX = 3.4028234663852886e38;
const GUID_RE = /^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$/;
const BASE64_RE = /^[A-Za-z0-9+/]*={0,2}$/;

function show(v) {
  return JSON.stringify(v);
}

function integerIn(type, v) {
  let n;
  if (typeof v === "number" && Number.isInteger(v)) n = BigInt(v);
  else if (typeof v === "string" && /^\s*[-+]?\d+\s*$/.test(v)) n = BigInt(v.trim());
  else throw new ConversionError(`${show(v)} is not a whole number (${type})`);
  const [min, max] = INTEGER_RANGES[type];
  if (n < min || n > max) throw new ConversionError(`${show(v)} lies outside the range of ${type} (${min} to ${max})`);
  if (type === "Int64" || type === "UInt64") {
    const raw = BigInt.asUintN(64, n);
    return [Number(raw >> 32n), Number(raw & 0xffffffffn)];
  }
  return Number(n);
}

function floatIn(type, v) {
  let x;
  if (typeof v === "number") x = v;
  else if (v === "NaN") x = NaN;
  else if (v === "Infinity") x = Infinity;
  else if (v === "-Infinity") x = -Infinity;
  else if (typeof v === "string" && v.trim() !== "" && Number.isFinite(Number(v))) x = Number(v);
  else throw new ConversionError(`${show(v)} is not a number (${type})`);
  if (type === "Float" && Number.isFinite(x) && Math.abs(x) > FLOAT_MAX) {
    throw new ConversionError(`${show(v)} lies outside the range of Float`);
  }
  return x;
}

function textIn(type, v) {
  if (typeof v === "string") return v;
  if (typeof v === "number" || typeof v === "boolean") return String(v);
  throw new ConversionError(`${show(v)} is not text (${type})`);
}

function scalarIn(type, v, namespaces) {
  if (v === null || v === undefined || Array.isArray(v) || (typeof v === "object")) {
    throw new ConversionError(`${show(v)} is not a single ${type} value`);
  }
  switch (type) {
    case "Boolean":
      if (v === true || v === 1 || v === "true" || v === "1") return true;
      if (v === false || v === 0 || v === "false" || v === "0") return false;
      throw new ConversionError(`${show(v)} is not true or false`);
    case "SByte": case "Byte": case "Int16": case "UInt16": case "Int32": case "UInt32": case "Int64": case "UInt64":
      return integerIn(type, v);
    case "Float": case "Double":
      return floatIn(type, v);
    case "String": case "XmlElement":
      return textIn(type, v);
    case "LocalizedText":
      return new LocalizedText({ text: textIn(type, v) });
    case "QualifiedName":
      return new QualifiedName({ name: textIn(type, v), namespaceIndex: 0 });
    case "DateTime": {
      const d = typeof v === "string" && /^\d{4}-\d\d-\d\dT/.test(v) ? new Date(v) : null;
      if (!d || Number.isNaN(d.getTime())) throw new ConversionError(`${show(v)} is not a date and time such as 2026-12-06T10:00:00Z`);
      return d;
    }
    case "Guid":
      if (typeof v !== "string" || !GUID_RE.test(v)) throw new ConversionError(`${show(v)} is not a GUID`);
      return v.toLowerCase();
    case "ByteString":
      if (typeof v !== "string" || !BASE64_RE.test(v)) throw new ConversionError(`${show(v)} is not base64 text`);
      return Buffer.from(v, "base64");
    case "NodeId":
      try {
        return parseNodeId(textIn(type, v), namespaces);
      } catch (err) {
        throw new ConversionError(err.message);
      }
    case "StatusCode": {
      const code = typeof v === "string" ? StatusCodes[v] : null;
      if (!code) throw new ConversionError(`${show(v)} is not the name of a status code`);
      return code;
    }
    default:
      throw new ConversionError(`values of type ${type} cannot be written`);
  }
}

// A variable of type BaseDataType takes what the JSON value is.
function guessType(v) {
  if (typeof v === "boolean") return "Boolean";
  if (typeof v === "number") return "Double";
  if (typeof v === "string") return "String";
  throw new ConversionError(`${show(v)} cannot be written`);
}

// The variant for a JSON value written to a variable of the given built-in
// type and value rank; throws ConversionError when the value does not fit.
function variantIn(type, valueRank, value, namespaces) {
  const isArray = Array.isArray(value);
  if (isArray && valueRank === -1) throw new ConversionError(`the variable holds a single ${type} value, not a list`);
  if (!isArray && valueRank >= 1) throw new ConversionError(`the variable holds a list of ${type} values; give a JSON array`);
  if (isArray && (valueRank >= 2 || value.some(Array.isArray))) throw new ConversionError(`values with more than one dimension cannot be written`);
  let elementType = type;
  if (type === "Variant") elementType = guessType(isArray ? value[0] ?? "" : value);
  const dataType = DataType[elementType];
  if (dataType === undefined || elementType === "ExtensionObject" || elementType === "DataValue" || elementType === "DiagnosticInfo" || elementType === "ExpandedNodeId") {
    throw new ConversionError(`values of type ${type} cannot be written`);
  }
  if (isArray) {
    const list = value.map((v, i) => {
      try {
        return scalarIn(elementType, v, namespaces);
      } catch (err) {
        throw new ConversionError(`element ${i + 1}: ${err.message}`);
      }
    });
    return new Variant({ dataType, arrayType: VariantArrayType.Array, value: list });
  }
  return new Variant({ dataType, arrayType: VariantArrayType.Scalar, value: scalarIn(elementType, value, namespaces) });
}

module.exports = { statusName, dataValueOut, variantOut, variantIn, ConversionError };
