"use strict";
// Secured connections: the client's PKI folder, the choice among the
// endpoints a server offers, and what we think of the server's certificate.

const crypto = require("node:crypto");
const fs = require("node:fs");
const net = require("node:net");
const os = require("node:os");
const path = require("node:path");
const { opcua } = require("./opcua-runtime");

const { OPCUACertificateManager, MessageSecurityMode, UserTokenType } = opcua;

// Weakest first. Policies not listed (Basic128Rsa15, Basic256, ...) are
// deprecated and never chosen.
const SECURITY_MODES = ["None", "Sign", "SignAndEncrypt"];
const SECURITY_POLICIES = ["None", "Aes128_Sha256_RsaOaep", "Basic256Sha256", "Aes256_Sha256_RsaPss"];

// The client's certificate and the server certificates it trusts live here,
// laid out as node-opcua's certificate manager keeps them (own/, trusted/,
// rejected/, issuers/).
function clientPkiRoot() {
  if (process.env.OVOPC_PKI) return path.resolve(process.env.OVOPC_PKI);
  const xdg = process.env.XDG_DATA_HOME;
  const data = xdg && path.isAbsolute(xdg) ? xdg : path.join(os.homedir(), ".local", "share");
  return path.join(data, "ovstudio", "pki");
}

// A manager of its own for each use: node-opcua disposes a client's manager
// when the client disconnects, and a fresh one reads what another use moved.
async function openCertificateManager() {
  const manager = new OPCUACertificateManager({ rootFolder: clientPkiRoot(), automaticallyAcceptUnknownCertificate: false });
  await manager.initialize();
  return manager;
}

function policyName(uri) {
  const text = uri ? String(uri) : "";
  return text.includes("#") ? text.slice(text.lastIndexOf("#") + 1) : "None";
}

function describeOffer(offer) {
  return offer.mode === "None" ? "None" : `${offer.mode} with ${offer.policy}`;
}

// Picks the most secure endpoint among those that match what was asked for:
// the mode counts first, then the policy. Returns { chosen, offers }; chosen
// is null when nothing usable matches.
function chooseEndpoint(endpoints, wantedMode, wantedPolicy) {
  const offers = endpoints.map((description) => ({
    mode: MessageSecurityMode[description.securityMode] || String(description.securityMode),
    policy: policyName(description.securityPolicyUri),
    description,
  }));
  const rank = (o) => SECURITY_MODES.indexOf(o.mode) * SECURITY_POLICIES.length + SECURITY_POLICIES.indexOf(o.policy);
  const candidates = offers.filter(
    (o) =>
      SECURITY_MODES.includes(o.mode) &&
      SECURITY_POLICIES.includes(o.policy) &&
      (o.mode === "None") === (o.policy === "None") &&
      (!wantedMode || o.mode === wantedMode) &&
      (!wantedPolicy || o.policy === wantedPolicy)
  );
  candidates.sort((a, b) => rank(b) - rank(a));
  return { chosen: candidates[0] || null, offers };
}

function acceptsAnonymous(description) {
  return (description.userIdentityTokens || []).some((t) => t.tokenType === UserTokenType.Anonymous);
}

function acceptsUserName(description) {
  return (description.userIdentityTokens || []).some((t) => t.tokenType === UserTokenType.UserName);
}

// A server may send its certificate followed by its issuers; the first DER
// element is its own.
function firstCertificate(der) {
  if (der.length < 2 || der[0] !== 0x30) return der;
  let length = der[1];
  let header = 2;
  if (length & 0x80) {
    const bytes = length & 0x7f;
    length = 0;
    for (let i = 0; i < bytes; i++) length = length * 256 + der[2 + i];
    header += bytes;
  }
  return der.subarray(0, Math.min(der.length, header + length));
}

function thumbprintOf(der) {
  return crypto.createHash("sha1").update(der).digest("hex").toUpperCase();
}

// "CN=..., O=..." with the most specific part first, as names are usually written.
function distinguishedName(text) {
  return String(text || "").split("\n").filter(Boolean).reverse().join(", ");
}

function endpointHost(endpointUrl) {
  const m = /^opc\.tcp:\/\/([^/:\s]+)/i.exec(endpointUrl);
  return m ? m[1] : "";
}

// Everything the user needs to decide about a server certificate, and what
// is wrong with it: untrusted (per the PKI folder), expired, notYetValid,
// hostMismatch (it names neither the endpoint's host name nor its address).
async function examineCertificate(certificateManager, chain, endpointUrl, now = new Date()) {
  const leaf = Buffer.from(firstCertificate(chain));
  const x509 = new crypto.X509Certificate(leaf);
  const host = endpointHost(endpointUrl);
  const validFrom = new Date(x509.validFrom);
  const validTo = new Date(x509.validTo);
  const problems = [];
  const status = await certificateManager.verifyCertificate(chain, {
    acceptOutdatedCertificate: true,
    acceptPendingCertificate: true,
    ignoreMissingRevocationList: true,
  });
  if (String(status) !== "Good") {
    problems.push("untrusted");
    // keeps an unknown certificate in rejected/, where an administrator finds it
    await certificateManager.getCertificateStatus(leaf);
  }
  if (validTo.getTime() < now.getTime()) problems.push("expired");
  if (validFrom.getTime() > now.getTime()) problems.push("notYetValid");
  const named = net.isIP(host) ? x509.checkIP(host) !== undefined : x509.checkHost(host) !== undefined;
  if (!named) problems.push("hostMismatch");
  return {
    leaf,
    verification: String(status),
    certificate: {
      subject: distinguishedName(x509.subject),
      issuer: distinguishedName(x509.issuer),
      validFrom: validFrom.toISOString(),
      validTo: validTo.toISOString(),
      thumbprint: thumbprintOf(leaf),
      problems,
      host,
    },
  };
}

// "is not trusted and expired on 2024-05-01" and the like.
function describeProblems(certificate) {
  const day = (iso) => iso.slice(0, 10);
  const texts = {
    untrusted: "is not trusted",
    expired: `expired on ${day(certificate.validTo)}`,
    notYetValid: `is not valid before ${day(certificate.validFrom)}`,
    hostMismatch: `is not issued for the host ${certificate.host}`,
  };
  const parts = certificate.problems.map((p) => texts[p]);
  return parts.length > 1 ? `${parts.slice(0, -1).join(", ")} and ${parts.at(-1)}` : parts[0];
}

// Server certificates met by a connect of this helper, by thumbprint, so
// that a later trustCertificate finds them.
const seenCertificates = new Map();

function rememberCertificate(thumbprint, leaf) {
  seenCertificates.set(thumbprint, leaf);
}

function readCertificateFile(file) {
  try {
    return Buffer.from(new crypto.X509Certificate(fs.readFileSync(file)).raw);
  } catch {
    return null;
  }
}

function findRejected(folder, thumbprint) {
  let names = [];
  try {
    names = fs.readdirSync(folder);
  } catch {
    return null;
  }
  for (const name of names) {
    if (!/\.(pem|der|crt)$/i.test(name)) continue;
    const der = readCertificateFile(path.join(folder, name));
    if (der && thumbprintOf(der) === thumbprint) return der;
  }
  return null;
}

// Moves a server certificate into trusted/ for good.
async function trustCertificate(thumbprintText) {
  if (typeof thumbprintText !== "string" || !/^[0-9a-fA-F]{40}$/.test(thumbprintText)) {
    throw new Error(`"thumbprint" must be a SHA-1 thumbprint of 40 hex digits`);
  }
  const thumbprint = thumbprintText.toUpperCase();
  const manager = await openCertificateManager();
  try {
    const der = seenCertificates.get(thumbprint) || findRejected(manager.rejectedFolder, thumbprint);
    if (!der) {
      throw new Error(`no server certificate with thumbprint ${thumbprint} was met by a connect or lies in ${manager.rejectedFolder}`);
    }
    await manager.trustCertificate(der);
  } finally {
    await manager.dispose();
  }
}

module.exports = {
  SECURITY_MODES,
  SECURITY_POLICIES,
  clientPkiRoot,
  openCertificateManager,
  chooseEndpoint,
  describeOffer,
  acceptsAnonymous,
  acceptsUserName,
  examineCertificate,
  describeProblems,
  rememberCertificate,
  trustCertificate,
};
