"use strict";
// What every request shares: checking its integer options, and the context of
// a running browse that a cancel request marks.

const { CancelledError } = require("./errors");

function intOption(req, name, fallback, min, max) {
  const v = req[name];
  if (v === undefined || v === null) return fallback;
  if (!Number.isInteger(v) || v < min || v > max) throw new Error(`"${name}" must be an integer from ${min} to ${max}`);
  return v;
}

function makeContext(id) {
  return {
    id,
    cancelled: false,
    answered: false,
    check() {
      if (this.cancelled) throw new CancelledError();
    },
  };
}

module.exports = { intOption, makeContext };
