// The live page: the bridge's newest pass 30 times a second (server-sent events), 30 s of it on
// three plots, and the live settings as sliders. A change is a JSON POST carrying the token the
// address's "#" part holds (browsers never send that part).
"use strict";

const HISTORY_MS = 30000;
const CAPACITY = 2400;  // samples kept: 30 s at up to 80 a second
const token = location.hash.slice(1);
const $ = (id) => document.getElementById(id);

// One ring of samples: time and each named value.
const history = { t: new Float64Array(CAPACITY), values: {}, start: 0, count: 0 };
function remember(sample) {
  const i = (history.start + history.count) % CAPACITY;
  if (history.count < CAPACITY) history.count++; else history.start = (history.start + 1) % CAPACITY;
  history.t[i] = sample.t;
  for (const [name, value] of Object.entries(sample)) {
    if (!history.values[name]) history.values[name] = new Float64Array(CAPACITY);
    history.values[name][i] = value;
  }
}

const PLOTS = [
  { canvas: "steering", range: [-40, 40], traces: [
    ["requested", "asked for", "#8a96a3"], ["constant", "sent", "#4fc3f7"]] },
  { canvas: "effects-plot", range: [0, 40], traces: [
    ["engine", "engine", "#ffb74d"], ["road", "road", "#81c784"], ["curb", "curb", "#e57373"],
    ["damper", "damper", "#ba68c8"]] },
  { canvas: "wheel", range: [-100, 100], traces: [
    ["rim", "rim", "#4fc3f7"], ["throttle", "Y (throttle)", "#81c784"],
    ["brake", "Z (brake)", "#e57373"]] },
];

for (const plot of PLOTS) {
  const legend = $(plot.canvas + "-legend");
  for (const [, label, colour] of plot.traces) {
    const item = document.createElement("span");
    const swatch = document.createElement("i");
    swatch.style.background = colour;
    item.append(swatch, label);
    legend.append(item);
  }
}

// A small line plot of our own: the last 30 s, newest at the right, the y range widened to fit.
function draw(plot) {
  const canvas = $(plot.canvas);
  const ratio = window.devicePixelRatio || 1;
  const width = canvas.clientWidth * ratio, height = canvas.clientHeight * ratio;
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  const g = canvas.getContext("2d");
  g.clearRect(0, 0, width, height);
  if (history.count === 0) return;
  const newest = history.t[(history.start + history.count - 1) % CAPACITY];
  let [lo, hi] = plot.range;
  for (const [name] of plot.traces) {
    const values = history.values[name];
    for (let k = 0; values && k < history.count; k++) {
      const i = (history.start + k) % CAPACITY;
      if (newest - history.t[i] > HISTORY_MS) continue;
      const v = values[i];
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  }
  const left = 36 * ratio;
  const x = (t) => left + (width - left) * (1 - (newest - t) / HISTORY_MS);
  const y = (v) => height - 4 * ratio - (height - 8 * ratio) * (v - lo) / (hi - lo);
  g.font = `${11 * ratio}px system-ui, sans-serif`;
  g.fillStyle = "#9aa5b1";
  g.strokeStyle = "#2c333d";
  g.lineWidth = 1;
  for (const v of [lo, 0, hi]) {
    g.beginPath();
    g.moveTo(left, y(v));
    g.lineTo(width, y(v));
    g.stroke();
    g.fillText(String(Math.round(v)), 2 * ratio, Math.min(Math.max(y(v) + 4 * ratio, 10 * ratio), height - 2));
  }
  g.lineWidth = 1.5 * ratio;
  for (const [name, , colour] of plot.traces) {
    const values = history.values[name];
    if (!values) continue;
    g.strokeStyle = colour;
    g.beginPath();
    for (let k = 0; k < history.count; k++) {
      const i = (history.start + k) % CAPACITY;
      if (newest - history.t[i] > HISTORY_MS) continue;
      if (k === 0) g.moveTo(x(history.t[i]), y(values[i])); else g.lineTo(x(history.t[i]), y(values[i]));
    }
    g.stroke();
  }
}

const REASONS = ["playing", "stopped: no telemetry yet", "stopped: telemetry stale (over 100 ms old)",
  "stopped: the wheel plays nothing (lost?)"];
const NOW = [["constant", "Steering sent", "%"], ["requested", "Steering asked for", "%"],
  ["engine", "Engine", "%"], ["road", "Road", "%"], ["curb", "Curb", "%"], ["damper", "Damper", "%"]];
for (const [name, label] of NOW) {
  const row = $("now").insertRow();
  row.insertCell().outerHTML = `<th>${label}</th>`;
  row.insertCell().id = "v-" + name;
}

let previous = null;  // the sample about a second ago, for the rates
function show(sample) {
  const clip = Math.round(sample.clip * 100);
  $("clip").textContent = clip + " %";
  $("clip").className = clip >= 10 ? "bad" : clip >= 2 ? "warn" : "";
  $("playing").textContent = REASONS[sample.reason] || "-";
  $("playing").className = sample.playing ? "good" : "bad";
  $("age").textContent = sample.age < 0 ? "-" : Math.round(sample.age) + " ms";
  if (!previous || sample.t - previous.t >= 1000 || sample.t < previous.t) {
    if (previous && sample.t > previous.t) {
      const seconds = (sample.t - previous.t) / 1000;
      $("rate").textContent = Math.round((sample.datagrams - previous.datagrams) / seconds);
      $("passes").textContent = Math.round((sample.passes - previous.passes) / seconds);
    }
    previous = sample;
  }
  for (const [name, , unit] of NOW) $("v-" + name).textContent = sample[name].toFixed(1) + " " + unit;
  $("wheel-caption").textContent = sample.rimIsAngle ?
    "Rim angle in degrees; pedal axes in % (Y, Z)" : "Wheel X axis and pedal axes Y, Z, in %";
}

function connect() {
  const events = new EventSource("/events");
  events.onopen = () => { $("connection").textContent = "live"; $("connection").className = "good"; };
  events.onerror = () => { $("connection").textContent = "reconnecting"; $("connection").className = "bad"; };
  events.onmessage = (message) => {
    const sample = JSON.parse(message.data);
    remember(sample);
    show(sample);
    stale = true;
  };
}

// The plots change only with a new sample (or a new size): drawing them at the screen's rate
// instead would double the browser's work on a machine that is also running the game.
let stale = true;
addEventListener("resize", () => { stale = true; });
function frame() {
  if (stale) for (const plot of PLOTS) draw(plot);
  stale = false;
  requestAnimationFrame(frame);
}

// The settings: one row each, built from what the bridge says of them.
const rows = {};
let sending = {};  // name -> timer of a change waiting to go
function format(setting, value) {
  if ("text" in setting) return setting.text;  // as the settings file writes it, in quotes
  if (setting.flag) return value ? "on" : "off";
  const digits = setting.step >= 1 ? 0 : setting.step >= 0.01 ? 2 : 3;
  return value.toFixed(digits) + (setting.unit === "x" ? "\u00d7" : setting.unit === "ms" ? " ms" : "");
}

function render(settings) {
  for (const setting of settings) {
    let row = rows[setting.name];
    if (!row) {
      row = rows[setting.name] = { element: document.createElement("div") };
      row.element.className = "setting";
      const label = document.createElement("label");
      label.textContent = setting.name;
      label.title = "text" in setting ? `${setting.help}; default ${setting.defaultText}` :
        `${setting.help}${setting.unit && setting.unit !== "x" ? " (" + setting.unit + ")" : ""}; ` +
        `${format(setting, setting.lo)} to ${format(setting, setting.hi)}, default ${format(setting, setting.default)}`;
      // What applies at the next start is shown, not offered.
      row.input = document.createElement(setting.live ? "input" : "span");
      row.input.type = setting.flag ? "checkbox" : "range";
      row.input.id = "setting-" + setting.name;
      label.htmlFor = row.input.id;
      if (!setting.flag) Object.assign(row.input, { min: setting.lo, max: setting.hi, step: setting.step });
      row.value = document.createElement("span");
      row.value.className = "value";
      row.why = document.createElement("span");
      row.why.className = "why";
      row.element.append(label, row.input, row.value);
      if (setting.live) row.element.append(row.why); else row.input.append(row.why);
      $("settings").append(row.element);
      row.input.addEventListener("input", () => {
        const value = setting.flag ? (row.input.checked ? 1 : 0) : Number(row.input.value);
        row.value.textContent = format(setting, value);
        clearTimeout(sending[setting.name]);
        sending[setting.name] = setTimeout(() => post("/settings", { name: setting.name, value }), 60);
      });
    }
    row.setting = setting;
    const editable = setting.live && !setting.lockedBy;
    row.input.disabled = !editable;
    row.element.classList.toggle("locked", !editable);
    row.element.classList.toggle("unsaved", editable && setting.value !== setting.saved);
    row.why.textContent = setting.lockedBy;
    if (!setting.live) {
      row.value.textContent = format(setting, setting.value);
    } else if (document.activeElement !== row.input || !editable) {
      if (setting.flag) row.input.checked = setting.value !== 0; else row.input.value = setting.value;
      row.value.textContent = format(setting, setting.value);
    }
  }
}

async function post(path, body) {
  try {
    const response = await fetch(path, { method: "POST", body: JSON.stringify(body),
      headers: { "Content-Type": "application/json", "X-Torvane-Token": token } });
    const answer = response.headers.get("Content-Type")?.startsWith("application/json") ?
      await response.json() : { error: (await response.text()).trim() };
    if (!response.ok) {
      $("status").textContent = answer.error || response.status;
      $("status").className = "bad";
    } else {
      $("status").textContent = path === "/save" ? "saved" : path === "/revert" ? "reverted" : "";
      $("status").className = "good";
    }
    if (Array.isArray(answer)) render(answer);
  } catch (error) {
    $("status").textContent = "the bridge does not answer";
    $("status").className = "bad";
  }
}

async function load() {
  const facts = await (await fetch("/facts")).json();
  $("controller").textContent = facts.controller + (facts.testSignal ? " (test signal)" : "");
  $("effects").textContent = facts.effects;
  $("file").textContent = facts.settingsFile || "none";
  render(await (await fetch("/settings")).json());
  // The file may change behind the page (an editor, a reload): look again now and then.
  setInterval(async () => render(await (await fetch("/settings")).json()), 2000);
}

$("save").addEventListener("click", () => post("/save", {}));
$("revert").addEventListener("click", () => post("/revert", {}));
if (!token) $("status").textContent = "no token in the address: changes are refused";
connect();
load();
requestAnimationFrame(frame);
