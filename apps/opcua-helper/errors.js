"use strict";
// Error texts for the editor: cancelled requests, status codes and connect
// failures in words, with the status name kept for reference.

class CancelledError extends Error {
  constructor() {
    super("cancelled");
    this.cancelled = true;
  }
}

const STATUS_TEXT = new Map([
  ["BadNodeIdUnknown", "the node does not exist on the server"],
  ["BadNodeIdInvalid", "the server does not accept this node id"],
  ["BadUserAccessDenied", "the server denies access to this node"],
  ["BadTooManyOperations", "the server refused a request with too many operations"],
  ["BadNoContinuationPoints", "the server has no free continuation points"],
  ["BadContinuationPointInvalid", "the server dropped the continuation point"],
  ["BadSessionIdInvalid", "the server no longer knows the session"],
  ["BadSessionClosed", "the session was closed"],
  ["BadTimeout", "the server timed out"],
  ["BadServerHalted", "the server is shutting down"],
  ["BadIdentityTokenInvalid", "the server does not accept anonymous users"],
  ["BadIdentityTokenRejected", "the server does not accept anonymous users"],
]);

function describeStatus(statusCode) {
  const name = statusCode && statusCode.name ? statusCode.name : String(statusCode);
  const text = STATUS_TEXT.get(name);
  return text ? `${text} (${name})` : name;
}

function describeConnectError(err) {
  const msg = (err && err.message) || String(err);
  if (/ECONNREFUSED/.test(msg)) return "connection refused (is the server running and is the port right?)";
  if (/ENOTFOUND|EAI_AGAIN|EAI_NONAME/.test(msg)) return "unknown host";
  if (/EHOSTUNREACH|ENETUNREACH/.test(msg)) return "host unreachable";
  if (/ETIMEDOUT/.test(msg)) return "the connection timed out";
  if (/ECONNRESET|socket has been disconnected|ECONNABORTED/.test(msg)) return "the server closed the connection";
  if (/BadIdentityToken/.test(msg)) return "the server does not accept anonymous users";
  if (/BadSecurityPolicyRejected|BadSecurityModeRejected/.test(msg)) return "the server does not accept unsecured connections (security mode None)";
  if (/BadTcpEndpointUrlInvalid/.test(msg)) return "the server does not know this endpoint path";
  // node-opcua wraps the cause in several lines; the first useful one is enough
  const line = msg.split("\n").map((s) => s.trim()).find((s) => s && !/^Err = \($/.test(s));
  return line || msg;
}

module.exports = { CancelledError, describeStatus, describeConnectError };
