"use strict";
// The test server's command line and the NodeSet2 generator.

const { describe, it, before, after } = require("node:test");
const assert = require("node:assert/strict");
const { spawn, execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { APP_DIR, GENERATED_NS, startServer, useHelper, browseTree, exitOf } = require("./support");

function runServer(args) {
  const child = spawn(process.execPath, [path.join(APP_DIR, "server.js"), ...args], { stdio: ["pipe", "pipe", "pipe"] });
  let stdout = "";
  let stderr = "";
  child.stdout.on("data", (d) => (stdout += d));
  child.stderr.on("data", (d) => (stderr += d));
  // "close" comes once the output pipes are drained too; "exit" may come
  // first, with the message still on its way (seen on a loaded machine).
  return new Promise((resolve) => child.once("close", (code) => resolve({ code, stdout, stderr })));
}

describe("server.js command line", () => {
  it("refuses incomplete or contradictory arguments with a message on stderr", async () => {
    const cases = [
      [["--generate", "2x2"], /--port/], [["--port", "4840"], /give --nodeset, --generate or --alive/],
      [["--port", "4840", "--generate", "2x2", "--nodeset", path.join(APP_DIR, "package.json")], /either --nodeset or --generate/],
      [["--port", "4840", "--generate", "0x5"], /folders must be/], [["--port", "4840", "--generate", "ten"], /<folders>x<variables>/],
      [["--port", "4840", "--nodeset", "/no/such/file.xml"], /not found/],
      [["--port", "4840", "--generate", "1x1", "--alive-ramps", "5"], /--alive-ramps goes with --alive/],
      [["--port", "4840", "--generate", "1x1", "--delay-ms", "-3"], /non-negative integer/],
      [["--port", "4840", "--frobnicate", "1"], /unknown option --frobnicate/],
      [["--port", "4840", "--generate", "1x1", "--security", "SignAndEncrypt:Basic256Sha256,Sign:Rot13"], /--security expects/],
      [["--port", "4840", "--generate", "1x1", "--security", "Sign:None"], /mode None goes with policy None only/],
      [["--port", "4840", "--generate", "1x1", "--user", "nopassword"], /--user expects <name>:<password>/],
      [["--port", "4840", "--generate", "1x1", "--certificate-host", "a b"], /--certificate-host expects a host name/],
    ];
    const results = await Promise.all(cases.map(([args]) => runServer(args)));
    results.forEach(({ code, stdout, stderr }, i) => {
      const [args, message] = cases[i];
      assert.equal(code, 2, args.join(" "));
      assert.equal(stdout, "", "nothing on stdout but the ready line");
      assert.match(stderr, message, args.join(" "));
    });
  });

  it("stops when its stdin closes", async () => {
    const server = await startServer(["--generate", "1x1"]);
    const exited = exitOf(server.child);
    server.child.stdin.end();
    assert.equal((await exited).code, 0);
  });
});

describe("gen-nodeset.js", () => {
  const ctx = useHelper();
  let tmp;
  before(() => (tmp = fs.mkdtempSync(path.join(os.tmpdir(), "ovopc-gen-"))));
  after(() => tmp && fs.rmSync(tmp, { recursive: true, force: true }));

  it("writes a file that loads into the same tree as --generate", async () => {
    const file = path.join(tmp, "generated.NodeSet2.xml");
    fs.writeFileSync(file, execFileSync(process.execPath, [path.join(APP_DIR, "gen-nodeset.js"), "3x7"]));
    const fromFile = await ctx.serve(["--nodeset", file]);
    const generated = await ctx.serve(["--generate", "3x7"]);

    const root = `nsu=${GENERATED_NS};s=Generated`;
    const trees = [];
    for (const server of [fromFile, generated]) {
      await ctx.helper.connect(server.endpoint);
      const tree = await browseTree(ctx.helper, root);
      assert.equal(tree.answer.ok, true, tree.answer.error);
      trees.push(tree.nodes);
    }
    assert.equal(trees[0].length, 3 + 3 * 7);
    assert.deepEqual(trees[0], trees[1]);
    assert.ok(trees[0].some((n) => n.nodeId === `nsu=${GENERATED_NS};s=Folder003.Var0007`));
  });

  it("refuses a malformed size", () => {
    assert.throws(
      () => execFileSync(process.execPath, [path.join(APP_DIR, "gen-nodeset.js"), "12"], { stdio: "pipe" }),
      (err) => err.status === 2 && /folders>x<variables/.test(String(err.stderr))
    );
  });
});
