"use strict";
// Small helpers shared by the modules: splitting lists into service calls,
// waiting, and bounding a promise in time.

function chunks(list, size) {
  const out = [];
  for (let i = 0; i < list.length; i += size) out.push(list.slice(i, i + size));
  return out;
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function withTimeout(promise, ms, makeError) {
  let timer;
  return Promise.race([
    promise,
    new Promise((_, reject) => {
      timer = setTimeout(() => reject(makeError()), ms);
    }),
  ]).finally(() => clearTimeout(timer));
}

module.exports = { chunks, sleep, withTimeout };
