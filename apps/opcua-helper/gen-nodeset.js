#!/usr/bin/env node
"use strict";
// Writes a NodeSet2 file with the same layout as "server.js --generate" to
// stdout, for the NodeSet2 import benchmark:
//
//   node gen-nodeset.js <folders>x<variables> > generated.NodeSet2.xml
//   node gen-nodeset.js 100 100               (the same as 100x100)

const layout = require("./generated-layout");

const TYPES_NS = "http://opcfoundation.org/UA/2008/02/Types.xsd";

function xmlEscape(text) {
  return String(text).replace(/[&<>"']/g, (c) => ({ "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;", "'": "&apos;" })[c]);
}

function valueXml(kind, value) {
  if (kind.arrayLength) {
    const items = value.map((v) => `<${kind.builtIn}>${xmlEscape(v)}</${kind.builtIn}>`).join("");
    return `<ListOf${kind.builtIn} xmlns="${TYPES_NS}">${items}</ListOf${kind.builtIn}>`;
  }
  return `<${kind.builtIn} xmlns="${TYPES_NS}">${xmlEscape(value)}</${kind.builtIn}>`;
}

function* nodeSetLines({ folders, variables }) {
  yield '<?xml version="1.0" encoding="utf-8"?>';
  yield '<UANodeSet xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema" ' +
    'LastModified="2024-01-01T00:00:00Z" xmlns="http://opcfoundation.org/UA/2011/03/UANodeSet.xsd">';
  yield `  <NamespaceUris>\n    <Uri>${layout.NAMESPACE_URI}</Uri>\n  </NamespaceUris>`;
  yield "  <Aliases>";
  const aliases = [
    ["Boolean", "i=1"], ["Int16", "i=4"], ["Int32", "i=6"], ["Double", "i=11"], ["String", "i=12"],
    ["Organizes", "i=35"], ["HasTypeDefinition", "i=40"], ["FolderType", "i=61"], ["BaseDataVariableType", "i=63"],
  ];
  for (const [alias, id] of aliases) yield `    <Alias Alias="${alias}">${id}</Alias>`;
  yield "  </Aliases>";

  const root = `ns=1;s=${layout.ROOT_NAME}`;
  yield `  <UAObject NodeId="${root}" BrowseName="1:${layout.ROOT_NAME}">`;
  yield `    <DisplayName>${layout.ROOT_NAME}</DisplayName>`;
  yield "    <References>";
  yield '      <Reference ReferenceType="HasTypeDefinition">FolderType</Reference>';
  yield '      <Reference ReferenceType="Organizes" IsForward="false">i=85</Reference>';
  yield "    </References>";
  yield "  </UAObject>";

  for (let f = 1; f <= folders; f++) {
    const folder = layout.folderName(f);
    const folderId = `ns=1;s=${folder}`;
    yield `  <UAObject NodeId="${folderId}" BrowseName="1:${folder}" ParentNodeId="${root}">`;
    yield `    <DisplayName>${folder}</DisplayName>`;
    yield "    <References>";
    yield '      <Reference ReferenceType="HasTypeDefinition">FolderType</Reference>';
    yield `      <Reference ReferenceType="Organizes" IsForward="false">${root}</Reference>`;
    yield "    </References>";
    yield "  </UAObject>";
    for (let v = 1; v <= variables; v++) {
      const name = layout.variableName(v);
      const kind = layout.variableKind(v);
      const shape = kind.arrayLength ? ` ValueRank="1" ArrayDimensions="${kind.arrayLength}"` : "";
      yield `  <UAVariable NodeId="ns=1;s=${folder}.${name}" BrowseName="1:${name}" ParentNodeId="${folderId}" ` +
        `DataType="${kind.builtIn}"${shape} AccessLevel="3">`;
      yield `    <DisplayName>${name}</DisplayName>`;
      yield "    <References>";
      yield '      <Reference ReferenceType="HasTypeDefinition">BaseDataVariableType</Reference>';
      yield `      <Reference ReferenceType="Organizes" IsForward="false">${folderId}</Reference>`;
      yield "    </References>";
      yield `    <Value>${valueXml(kind, layout.initialValue(kind, f, v))}</Value>`;
      yield "  </UAVariable>";
    }
  }
  yield "</UANodeSet>";
}

function main(argv) {
  let size;
  try {
    size = layout.parseSize(argv.length === 2 ? `${argv[0]}x${argv[1]}` : argv[0]);
  } catch (err) {
    process.stderr.write(`gen-nodeset: ${err.message}\nusage: node gen-nodeset.js <folders>x<variables>\n`);
    process.exit(2);
  }
  process.stdout.on("error", (err) => {
    if (err.code !== "EPIPE") process.stderr.write(`gen-nodeset: ${err.message}\n`);
    process.exit(err.code === "EPIPE" ? 0 : 1);
  });
  let buffer = [];
  for (const line of nodeSetLines(size)) {
    buffer.push(line);
    if (buffer.length >= 4096) {
      process.stdout.write(buffer.join("\n") + "\n");
      buffer = [];
    }
  }
  process.stdout.write(buffer.join("\n") + "\n");
}

main(process.argv.slice(2));
