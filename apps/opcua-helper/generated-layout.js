"use strict";
// Layout of the generated address space shared by server.js --generate and
// gen-nodeset.js: a root folder "Generated" below Objects, holding folders
// "Folder001".. each with variables "Var0001".. whose types cycle through a
// fixed list.

const NAMESPACE_URI = "urn:ovopc:generated";
const ROOT_NAME = "Generated";

// builtIn: data type name; arrayLength: set for one-dimensional arrays
const VARIABLE_KINDS = [
  { builtIn: "Double", valueRank: -1 },
  { builtIn: "Int32", valueRank: -1 },
  { builtIn: "Boolean", valueRank: -1 },
  { builtIn: "String", valueRank: -1 },
  { builtIn: "Int16", valueRank: 1, arrayLength: 4 },
];

function parseSize(text) {
  const m = /^(\d+)x(\d+)$/.exec(String(text || ""));
  if (!m) throw new Error(`expected <folders>x<variables>, e.g. 100x100, got ${JSON.stringify(text)}`);
  const folders = Number(m[1]);
  const variables = Number(m[2]);
  if (folders < 1 || folders > 9999 || variables < 1 || variables > 99999) {
    throw new Error("folders must be 1..9999 and variables 1..99999");
  }
  return { folders, variables };
}

function folderName(f) {
  return `Folder${String(f).padStart(3, "0")}`;
}

function variableName(v) {
  return `Var${String(v).padStart(4, "0")}`;
}

// f and v count from 1
function variableKind(v) {
  return VARIABLE_KINDS[(v - 1) % VARIABLE_KINDS.length];
}

function initialValue(kind, f, v) {
  switch (kind.builtIn) {
    case "Double":
      return f + v / 1000;
    case "Int32":
      return f * 1000 + v;
    case "Boolean":
      return v % 2 === 0;
    case "String":
      return `${folderName(f)}.${variableName(v)}`;
    case "Int16":
      return Array.from({ length: kind.arrayLength }, (_, i) => (v + i) % 32768);
    default:
      return null;
  }
}

module.exports = { NAMESPACE_URI, ROOT_NAME, VARIABLE_KINDS, parseSize, folderName, variableName, variableKind, initialValue };
