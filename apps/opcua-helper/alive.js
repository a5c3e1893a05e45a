"use strict";
// The test server's folder of variables whose values change by themselves
// (a ramp, a sine, a counter) and of variables a client may write, with a
// small weather station for the demo.

const NAMESPACE_URI = "urn:ovopc:alive";
const RAMP_STEP_MS = 100;
const SINE_PERIOD_MS = 10000;
const COUNTER_STEP_MS = 1000;
const WEATHER_STEP_MS = 500;
const WEATHER_DAY_MS = 120000; // a day of the demo's weather in two minutes

// The demo's weather at a time: temperature and humidity follow a short
// day, the wind blows in gusts; one decimal, as a station reports.
function weatherAt(ms) {
  const oneDecimal = (x) => Math.round(x * 10) / 10;
  const day = Math.sin((2 * Math.PI * ms) / WEATHER_DAY_MS);
  const gusts = 3 * Math.sin((2 * Math.PI * ms) / 17000) + 1.5 * Math.sin((2 * Math.PI * ms) / 5300);
  return {
    temperature: oneDecimal(12 + 6 * day),
    humidity: oneDecimal(65 - 15 * day),
    windSpeed: oneDecimal(Math.max(0, 5 + gusts)),
  };
}

// Triangle 0, 1, ... 100, 99, ... 0 with one step per tick.
function rampAt(tick) {
  const t = tick % 200;
  return t <= 100 ? t : 200 - t;
}

// Adds the folder and starts the changes; returns a function that stops them.
function addAliveFolder(addressSpace, { ramps = 0, log = () => {} } = {}) {
  const { opcua } = require("./opcua-runtime");
  const { DataType, StatusCodes, Variant, VariantArrayType } = opcua;
  const variant = (dataType, value) => new Variant({ dataType: DataType[dataType], arrayType: VariantArrayType.Scalar, value });
  const namespace = addressSpace.registerNamespace(NAMESPACE_URI);
  const folder = namespace.addFolder(addressSpace.rootFolder.objects, { browseName: "Alive", nodeId: "s=Alive" });

  const add = (parent, prefix, name, dataType, value, writable) =>
    namespace.addVariable({
      organizedBy: parent,
      browseName: name,
      nodeId: `s=${prefix}.${name}`,
      dataType,
      accessLevel: writable ? "CurrentRead | CurrentWrite" : "CurrentRead",
      userAccessLevel: writable ? "CurrentRead | CurrentWrite" : "CurrentRead",
      value: variant(dataType, value),
    });
  const set = (variable, dataType, value) =>
    variable.setValueFromSource(variant(dataType, value), StatusCodes.Good, new Date());

  const ramp = add(folder, "Alive", "Ramp", "Double", 0, false);
  const sine = add(folder, "Alive", "Sine", "Double", 0, false);
  const counter = add(folder, "Alive", "Counter", "UInt32", 0, false);
  add(folder, "Alive", "Setpoint", "Double", 20, true);
  add(folder, "Alive", "Switch", "Boolean", false, true);
  add(folder, "Alive", "Text", "String", "hello", true);
  add(folder, "Alive", "ReadOnly", "Double", 42.5, false);
  // above 2^53, so that a client that goes through a double loses digits
  add(folder, "Alive", "Big", "Int64", [0x200000, 1], true);

  const weather = namespace.addFolder(folder, { browseName: "Weather", nodeId: "s=Alive.Weather" });
  const now = weatherAt(0);
  const temperature = add(weather, "Alive.Weather", "OutsideTemperature", "Double", now.temperature, false);
  const humidity = add(weather, "Alive.Weather", "Humidity", "Double", now.humidity, false);
  const windSpeed = add(weather, "Alive.Weather", "WindSpeed", "Double", now.windSpeed, false);
  add(weather, "Alive.Weather", "WindAlarmSetpoint", "Double", 20, true);

  // Further ramps for load tests, each a step ahead of the one before.
  const extra = [];
  if (ramps > 0) {
    const rampFolder = namespace.addFolder(folder, { browseName: "Ramps", nodeId: "s=Alive.Ramps" });
    for (let i = 1; i <= ramps; i++) {
      extra.push(add(rampFolder, "Alive.Ramps", `Ramp${String(i).padStart(3, "0")}`, "Double", rampAt(i), false));
    }
  }

  const started = Date.now();
  let tick = 0;
  const ramping = setInterval(() => {
    tick++;
    set(ramp, "Double", rampAt(tick));
    set(sine, "Double", Math.sin((2 * Math.PI * (Date.now() - started)) / SINE_PERIOD_MS));
    extra.forEach((v, i) => set(v, "Double", rampAt(tick + i + 1)));
  }, RAMP_STEP_MS);
  let count = 0;
  const counting = setInterval(() => set(counter, "UInt32", ++count), COUNTER_STEP_MS);
  const blowing = setInterval(() => {
    const w = weatherAt(Date.now() - started);
    set(temperature, "Double", w.temperature);
    set(humidity, "Double", w.humidity);
    set(windSpeed, "Double", w.windSpeed);
  }, WEATHER_STEP_MS);
  log(`added the folder Alive in ${NAMESPACE_URI}${ramps ? ` with ${ramps} further ramps` : ""}`);
  // stops the changes; the server calls it before it shuts down
  return () => {
    clearInterval(ramping);
    clearInterval(counting);
    clearInterval(blowing);
  };
}

module.exports = { NAMESPACE_URI, addAliveFolder };
