"use strict";
// Secured connections: the endpoint the helper chooses, user names and
// passwords, and what it makes of the server's certificate.

const { describe, it, before } = require("node:test");
const assert = require("node:assert/strict");
const crypto = require("node:crypto");
const fs = require("node:fs");
const path = require("node:path");
const { GENERATED_NS, Helper, tempDir, useHelper } = require("./support");

const ROOT = `nsu=${GENERATED_NS};s=Generated`;
const USER = { user: "operator", password: "s3cret:with colon" };

// Thumbprints of the certificates in a PKI subfolder.
function certificatesIn(pki, folder) {
  const dir = path.join(pki, folder);
  const files = fs.existsSync(dir) ? fs.readdirSync(dir).filter((f) => /\.(pem|der)$/.test(f)) : [];
  return files.map((f) => new crypto.X509Certificate(fs.readFileSync(path.join(dir, f))).fingerprint.replace(/:/g, ""));
}

describe("a server with several secured endpoints and a user", () => {
  const offered = "None:None,Sign:Aes256_Sha256_RsaPss,SignAndEncrypt:Basic256Sha256,SignAndEncrypt:Aes128_Sha256_RsaOaep,SignAndEncrypt:Basic256";
  const pki = tempDir("ovopc-client-pki-");
  const ctx = useHelper(null, { pki });
  let server;
  let connect; // connect(fields) -> answer, ok or not

  before(async () => {
    server = await ctx.serve(["--generate", "2x3", "--pki", tempDir("ovopc-server-pki-"), "--security", offered, "--user", `${USER.user}:${USER.password}`]);
    connect = async (fields) => (await ctx.helper.call("connect", { endpoint: server.endpoint, timeoutMs: 10000, ...fields })).answer;
  });

  it("refuses the unknown certificate until it is trusted; accepting it once is not remembered", async () => {
    assert.match(server.thumbprint, /^[0-9A-F]{40}$/);
    const refused = await connect(USER);
    assert.equal(refused.ok, false);
    assert.equal(refused.reason, "certificate");
    const cert = refused.certificate;
    assert.deepEqual([cert.thumbprint, cert.problems, cert.host], [server.thumbprint, ["untrusted"], "127.0.0.1"]);
    assert.equal(cert.subject, "CN=ovopc test server, O=ovopc");
    assert.ok(Date.parse(cert.validFrom) < Date.now() && Date.now() < Date.parse(cert.validTo), `${cert.validFrom} .. ${cert.validTo}`);
    assert.equal(refused.error, `The server certificate of ${server.endpoint} (thumbprint ${server.thumbprint}) is not trusted`);
    assert.deepEqual(certificatesIn(pki, "rejected"), [server.thumbprint], "an unknown certificate is kept in rejected/");

    // with security mode None the certificate plays no part
    const plain = await connect({ ...USER, securityMode: "None" });
    assert.equal(plain.ok, true, plain.error);
    assert.deepEqual([plain.securityMode, plain.securityPolicy], ["None", "None"]);

    const once = await connect({ ...USER, acceptCertificate: server.thumbprint.toLowerCase() });
    assert.equal(once.ok, true, once.error);
    const { answer: browsed } = await ctx.helper.call("browse", { nodeId: ROOT });
    assert.equal(browsed.count, 2);
    const otherThumbprint = await connect({ ...USER, acceptCertificate: "0".repeat(40) });
    assert.equal(otherThumbprint.reason, "certificate", "another thumbprint accepts nothing");
    assert.equal((await connect(USER)).reason, "certificate", "trust once lasts one connect");
    assert.ok(!certificatesIn(pki, "trusted/certs").includes(server.thumbprint));

    for (const [thumbprint, message] of [["1".repeat(40), /no server certificate with thumbprint 1{40}/], ["XYZ", /40 hex digits/], [undefined, /40 hex digits/]]) {
      const { answer } = await ctx.helper.call("trustCertificate", { thumbprint });
      assert.equal(answer.ok, false, String(thumbprint));
      assert.match(answer.error, message);
    }
    const { answer: trusted } = await ctx.helper.call("trustCertificate", { thumbprint: server.thumbprint });
    assert.equal(trusted.ok, true, trusted.error);
    assert.ok(certificatesIn(pki, "trusted/certs").includes(server.thumbprint));
    assert.deepEqual(certificatesIn(pki, "rejected"), []);
    const after = await connect(USER);
    assert.equal(after.ok, true, after.error);
  });

  it("takes the most secure endpoint that matches what is asked for, never a deprecated one", async () => {
    const cases = [
      [{}, "SignAndEncrypt", "Basic256Sha256"],
      [{ securityMode: "Sign" }, "Sign", "Aes256_Sha256_RsaPss"],
      [{ securityPolicy: "Aes256_Sha256_RsaPss" }, "Sign", "Aes256_Sha256_RsaPss"],
      [{ securityPolicy: "Aes128_Sha256_RsaOaep" }, "SignAndEncrypt", "Aes128_Sha256_RsaOaep"],
      [{ securityMode: "SignAndEncrypt", securityPolicy: "Basic256Sha256" }, "SignAndEncrypt", "Basic256Sha256"],
      [{ securityMode: "None", securityPolicy: "None" }, "None", "None"],
    ];
    for (const [fields, mode, policy] of cases) {
      const answer = await connect({ ...USER, ...fields });
      assert.equal(answer.ok, true, `${JSON.stringify(fields)}: ${answer.error}`);
      assert.deepEqual(
        [answer.securityMode, answer.securityPolicy, answer.user, answer.endpoint],
        [mode, policy, USER.user, server.endpoint],
        JSON.stringify(fields)
      );
      assert.ok(answer.namespaces.includes(GENERATED_NS));
    }
    // the session works over the chosen endpoint
    const { answer } = await ctx.helper.call("browseTree", { nodeId: ROOT });
    assert.equal(answer.count, 2 + 2 * 3);
  });

  it("names what the server offers when the asked combination is not among it", async () => {
    for (const fields of [{ securityMode: "Sign", securityPolicy: "Basic256Sha256" }, { securityMode: "Sign", securityPolicy: "None" }]) {
      const answer = await connect({ ...USER, ...fields });
      assert.equal(answer.reason, "noEndpoint", JSON.stringify(fields));
      assert.ok(answer.error.includes(`Cannot connect to ${server.endpoint}: the server offers no endpoint with Sign with ${fields.securityPolicy}`), answer.error);
      assert.match(answer.error, /it offers None, Sign with Aes256_Sha256_RsaPss, SignAndEncrypt with Basic256Sha256, .*SignAndEncrypt with Basic256$/);
    }
    for (const fields of [{ securityMode: "Encrypt" }, { securityPolicy: "Basic128Rsa15" }, { user: 7 }, { acceptCertificate: "AB" }]) {
      const answer = await connect(fields);
      assert.equal(answer.ok, false, JSON.stringify(fields));
      assert.equal(answer.reason, undefined, "a malformed request is no server's fault");
    }
  });

  it("asks for a login the server needs and tells a refused one apart", async () => {
    const cases = [
      [{}, "loginNeeded", /accepts no anonymous user/],
      [{ user: "" }, "loginNeeded", /accepts no anonymous user/],
      [{ user: USER.user, password: "wrong" }, "userRefused", /^The server refused the user name or password/],
      [{ user: USER.user }, "userRefused", /^The server refused the user name or password/],
      [{ user: "intruder", password: USER.password }, "userRefused", /^The server refused the user name or password/],
    ];
    for (const [fields, reason, message] of cases) {
      const answer = await connect(fields);
      assert.deepEqual([answer.ok, answer.reason], [false, reason], JSON.stringify(fields));
      assert.match(answer.error, message);
      assert.equal(answer.error.split(server.endpoint).length, 2, `names the endpoint once: ${answer.error}`);
    }
    const { answer } = await ctx.helper.call("browse", { nodeId: ROOT });
    assert.match(answer.error, /not connected/, "a refused login leaves the helper unconnected");
  });
});

describe("a server certificate that is expired and names another host", () => {
  const pki = tempDir("ovopc-client-pki-");
  const serverPki = tempDir("ovopc-server-pki-");
  const args = ["--generate", "1x1", "--pki", serverPki, "--security", "SignAndEncrypt:Basic256Sha256", "--certificate-expired", "--certificate-host", "elsewhere.example"];
  const ctx = useHelper(null, { pki });

  it("names each problem, keeps the ones trust does not cure, and can be accepted once", async () => {
    const server = await ctx.serve(args);
    const connect = async (fields) => (await ctx.helper.call("connect", { endpoint: server.endpoint, ...fields })).answer;
    const first = await connect({});
    assert.equal(first.reason, "certificate");
    assert.deepEqual(first.certificate.problems, ["untrusted", "expired", "hostMismatch"]);
    assert.ok(Date.parse(first.certificate.validTo) < Date.now());
    assert.match(first.error, / is not trusted, expired on \d{4}-\d\d-\d\d and is not issued for the host 127\.0\.0\.1$/);

    assert.equal((await ctx.helper.call("trustCertificate", { thumbprint: server.thumbprint })).answer.ok, true);
    const trusted = await connect({});
    assert.deepEqual(trusted.certificate.problems, ["expired", "hostMismatch"]);
    assert.equal(trusted.certificate.thumbprint, server.thumbprint);

    // a restarted server with the same PKI folder presents the same certificate
    await server.stop();
    const again = await ctx.serve(args);
    assert.equal(again.thumbprint, server.thumbprint);
    const once = (await ctx.helper.call("connect", { endpoint: again.endpoint, acceptCertificate: again.thumbprint })).answer;
    assert.equal(once.ok, true, once.error);
    assert.deepEqual([once.securityMode, once.securityPolicy, once.user], ["SignAndEncrypt", "Basic256Sha256", null]);
  });

  it("keeps its own certificate in the PKI folder for the next start", async () => {
    const own = path.join(pki, "own", "certs", "client_certificate.pem");
    const before = fs.readFileSync(own, "utf8");
    const next = new Helper({ pki });
    try {
      await next.ready;
      const server = ctx.servers.at(-1);
      const { answer } = await next.call("connect", { endpoint: server.endpoint, acceptCertificate: server.thumbprint });
      assert.equal(answer.ok, true, answer.error);
    } finally {
      await next.stop();
    }
    assert.equal(fs.readFileSync(own, "utf8"), before);
  });
});
