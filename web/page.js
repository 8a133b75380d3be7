"use strict";
// The page of Quorvy: the window's commands, dialogs and plot in a browser. Every result comes
// from the program's own core (in worker.js, compiled to WebAssembly): this script only shows
// what the core answers, as the window's dialogs and boxes show it.

// The label font is the core's, followed by these (the worker draws the labels); the core gives
// the export's file name (see startWorker).
const LABEL_FONT_FALLBACKS = "Verdana, sans-serif";
let exportName = "";
const STORAGE_KEY = "quorvy.ini";
const PROGRESS_AFTER_MS = 500;
const QUICK_ANSWER_MS = 16;
const $ = (id) => document.getElementById(id);

let worker = null;
let nextId = 1;
const waiting = new Map();
let stoppable = false;
let passes = 0;          // requests that run passes, not yet answered
let passStarted = 0;
let shown = null;        // the picture on screen
let resizePending = false;
let currentFormula = "";  // as the formula dialog shows it when it opens
let latestInfo = [];      // the curve-info lines of the last answer
let latestRange = null;   // the X range of the last answer
let infoCurrent = null;   // resolves once the curve facts describe the plot under way
let infoArrived = () => {};
let finishedPasses = 0;
let measuredSamples = 0;  // samples of a stopped range pass that the drawing pass draws
let stopSent = false;     // the user stopped the passes under way
let overtaken = false;    // a later step of a change of view stopped the passes under way
let storageFullSaid = false;
let restarts = 0;         // worker failures in a row
let passesShownLater = null;  // shows the passes of a quick request now
let quickWait = null;         // the wait for a quick answer under way (see quickAnswer)
let zoomStep = 1;         // the core's zoom of one wheel notch or key, and the share of the
let panShare = 1;         // width an arrow key pans (see startWorker)

// Any change to the page calls for a new frame, and until the browser has drawn it, it holds the
// worker's answers. A pass that answers within QUICK_ANSWER_MS is therefore awaited before the
// page changes, so that the plot, the closed dialog and the status come in one frame.
// A stop cuts the wait short (quickWait.cut).
function quickAnswer(answered) {
  let cut = null;
  const delay = new Promise((resolve) => setTimeout(resolve, QUICK_ANSWER_MS));
  const window = Promise.race([answered.catch(() => null), delay,
                               new Promise((resolve) => { cut = resolve; })]);
  quickWait = { window, cut };
  window.then(() => { if (quickWait && quickWait.window === window) quickWait = null; });
  return window;
}

// ---- The worker ----------------------------------------------------------------------------

// A request to the worker; onAccepted hears the first word of an accepted formula.
function ask(op, fields = {}, transfer = [], onAccepted = null) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject, onAccepted });
    worker.postMessage({ id, op, ...fields }, transfer);
  });
}

function answer({ data }) {
  if (data.kind === "progress") {
    showProgress(data);
    return;
  }
  if (data.kind === "measured") {
    showMeasured(data);
    return;
  }
  const pending = waiting.get(data.id);
  if (!pending && !data.error) return;  // asked of a worker that failed since
  if (data.kind === "accepted") {
    pending.onAccepted();
    return;
  }
  waiting.delete(data.id);
  if (data.error) {
    if (pending) pending.reject(new Error(data.error));
    restartWorker(data.error);
  } else {
    pending.resolve(data.result);
  }
}

function coreBytes() {
  const text = atob($("core").textContent.trim());
  const wasm = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) wasm[i] = text.charCodeAt(i);
  return wasm;
}

// The plot canvas, handed over to the worker where the browser can: the worker then draws the
// plot straight into it. A canvas is handed over once: a new worker gets a fresh one in its place.
let plotHandedOver = false;

function plotForWorker() {
  let canvas = $("plot");
  if (typeof canvas.transferControlToOffscreen !== "function") return [];
  if (plotHandedOver) {
    const fresh = canvas.cloneNode(false);
    const focused = document.activeElement === canvas;
    canvas.replaceWith(fresh);
    wirePlot(fresh);
    if (focused) fresh.focus();
    canvas = fresh;
  }
  plotHandedOver = true;
  return [canvas.transferControlToOffscreen()];
}

// From a page opened from disk a worker can only come from a Blob URL.
function startWorker() {
  const source = new Blob([$("worker-source").textContent], { type: "text/javascript" });
  const url = URL.createObjectURL(source);
  worker = new Worker(url);
  URL.revokeObjectURL(url);
  worker.onmessage = answer;
  worker.onerror = (event) => {
    event.preventDefault();
    restartWorker(event.message);
  };
  const wasm = coreBytes();
  const [canvas] = plotForWorker();
  const transfer = canvas ? [wasm.buffer, canvas] : [wasm.buffer];
  return ask("start", { wasm: wasm.buffer, fallbackFonts: LABEL_FONT_FALLBACKS, canvas }, transfer);
}

// A failure inside the worker leaves its module in no known state: a new worker starts with the
// stored settings and draws their plot; the page says what happened. Requests still waiting are
// dropped. After three failures in a row the page stops trying.
async function restartWorker(why) {
  worker.terminate();
  infoArrived();
  for (const pending of waiting.values()) pending.reject(new Error(why));
  waiting.clear();
  if (++restarts > 3) {
    say(`The plotter stopped working (${why}); reload the page to start it again`);
    return;
  }
  await startWorker();
  const result = await settle(await ask("restore", { ini: storedIni() }));
  await redraw(result.restored);
  say(`The plotter failed (${why}) and started again with the stored settings`);
}

// ---- What the core answers -----------------------------------------------------------------

// The status line's text, which screen readers hear politely.
function say(text) {
  $("state").textContent = text;
}

function keepIni(ini) {
  if (!ini || ini === storedIni()) return;
  try {
    localStorage.setItem(STORAGE_KEY, ini);
  } catch (error) {
    // Storage full or switched off: the settings last for this visit only; said once.
    if (!storageFullSaid) say("The browser's storage refused the settings: they last for this visit only");
    storageFullSaid = true;
  }
}

function storedIni() {
  try {
    return localStorage.getItem(STORAGE_KEY);
  } catch (error) {
    return null;
  }
}

// The plot's description: formula, X range and the curve facts.
function describePlot() {
  const facts = latestInfo.map((line) => line.replace("\t", " ")).join(". ");
  const range = latestRange ? `X from ${latestRange.minX} to ${latestRange.maxX}. ` : "";
  $("plot-facts").textContent = `Formula ${currentFormula || "none"}. ${range}${facts}`;
}

function showInfo(info) {
  latestInfo = info;
  infoArrived();
  describePlot();
  const lines = $("info-lines");
  lines.replaceChildren(...info.map((line) => {
    const row = document.createElement("div");
    for (const part of line.split("\t")) {
      const span = document.createElement("span");
      span.textContent = part;
      row.append(span);
    }
    return row;
  }));
}

// Every answer: keep the INI text, take the formula and the curve facts, show the picture.
function take(result) {
  // During a change of view the settings are kept once, when it ends.
  if (viewChanging()) view.ini = result.ini;
  else keepIni(result.ini);
  followAddress(result.link);
  if (result.formula !== currentFormula || JSON.stringify(result.range) !==
      JSON.stringify(latestRange)) {
    $("readout").textContent = "";  // it read another plot
  }
  currentFormula = result.formula;
  latestRange = result.range;
  showInfo(result.info);
  if (result.picture) paint(result.picture);
  return result;
}

// Then the message boxes of the call, one by one. Esc or Stop in a box of a debugging trace
// ends the trace: its other boxes are left out.
async function showMessages(result) {
  let traceEnded = false;
  for (const message of result.messages) {
    if (message.trace && traceEnded) continue;
    const closedBy = await showMessage(message);
    traceEnded = message.trace && closedBy !== "ok";
  }
  return result;
}

function settle(result) {
  return showMessages(take(result));
}

// ---- The plot ------------------------------------------------------------------------------

// The plot the worker drew: into the plot canvas itself, or as a picture to show here.
function paint(picture) {
  shown = picture;
  if (!picture.bitmap) return;
  const canvas = $("plot");
  canvas.width = picture.width;
  canvas.height = picture.height;
  canvas.getContext("2d").drawImage(picture.bitmap, 0, 0);
  picture.bitmap.close();
}

// The plot's pixels as the page shows them: width, height and RGBA bytes. Asked at once, they
// show the plot under way; else those of the last answer the page took.
async function plotPixels(atOnce = false) {
  if (plotHandedOver) return ask("plotPixels", { atOnce });
  const canvas = $("plot");
  const { width, height } = canvas;
  const rgba = width > 0 && height > 0
    ? canvas.getContext("2d").getImageData(0, 0, width, height).data : new Uint8ClampedArray(0);
  return { width, height, rgba };
}

function plotSize() {
  const area = $("plot-area");
  return { width: Math.max(1, area.clientWidth), height: Math.max(1, area.clientHeight) };
}

// ---- Passes: progress, stop ----------------------------------------------------------------

function showProgress({ pass, samples, expected, picture, info }) {
  if (picture) paint(picture);
  if (info) showInfo(info);
  if (pass === "drawing" && measuredSamples > 0) expected = measuredSamples;
  const bar = $("progress");
  bar.dataset.pass = pass;
  bar.value = Math.min(1, samples / expected);
  if (bar.hidden && performance.now() - passStarted >= PROGRESS_AFTER_MS) bar.hidden = false;
}

// After a stop of the range pass the drawing pass draws the samples it measured, which the page
// says while Stop stays live.
function showMeasured({ samples }) {
  measuredSamples = samples;
  if (!overtaken) {
    say(`Drawing the ${samples.toLocaleString("en-US")} samples measured before the stop`);
  }
}

// The curve facts of the plot under way: they are known once its drawing pass has set up its
// scale.
function expectInfo() {
  infoCurrent = new Promise((resolve) => { infoArrived = resolve; });
}

// The page while passes run: the Stop button is live, and a key stops them.
function showPasses() {
  passesShownLater = null;
  $("stop").disabled = !stoppable;
  say("");
}

// A quick pass is shown only if it does not answer at once (see quickAnswer), or as soon as a
// stop is asked for.
async function trackPasses(answered, quick = null) {
  if (passes++ === 0) passStarted = performance.now();
  if (quick) {
    const show = () => { if (passesShownLater === show) showPasses(); };
    passesShownLater = show;
    await quick;
    show();
  } else {
    showPasses();
  }
  let ended = "";
  try {
    const result = take(await answered);
    restarts = 0;
    if (result.picture) ended = stopSent ? "Plot stopped" : "Plot finished";
    return result;
  } finally {
    if (--passes === 0) {
      $("stop").disabled = true;
      $("progress").hidden = true;
      $("progress").value = 0;
      if (measuredSamples > 0 && !overtaken) say("Stopped");
      measuredSamples = 0;
      stopSent = false;
      overtaken = false;
      document.body.dataset.idle = String(++finishedPasses);
      if (ended) announce(ended);
    }
  }
}

function announce(text) {
  $("announce").textContent = `${text}: ${currentFormula || "no formula"}`;
}

function runPasses(op, fields = {}) {
  return trackPasses(ask(op, fields));
}

function stopPass() {
  if (passesShownLater) passesShownLater();
  if (quickWait) quickWait.cut();
  if (passes > 0 && stoppable) {
    worker.postMessage({ op: "stop" });
    stopSent = true;
    if (measuredSamples === 0) say("Stopped");
  }
}

function redraw(range) {
  if (range) expectInfo();
  return drawn(runPasses("redraw", { range, ...plotSize() }));
}

// The passes' answer: its messages, then the plot again if its area changed size meanwhile.
async function drawn(passesUnderWay) {
  const result = await showMessages(await passesUnderWay);
  if (result.asked) {
    const { width, height } = result.asked;
    say(`The plot area of ${width}x${height} pixels is more than the page can hold: the plot ` +
        `is drawn at ${result.picture.width}x${result.picture.height}`);
  }
  if (resizePending) {
    resizePending = false;
    await redraw(false);
  }
  return result;
}

function followSize() {
  let frame = 0;
  new ResizeObserver(() => {
    cancelAnimationFrame(frame);
    frame = requestAnimationFrame(() => {
      const { width, height } = plotSize();
      if (shown && shown.width === width && shown.height === height) return;
      if (passes > 0) resizePending = true;
      else redraw(false);
    });
  }).observe($("plot-area"));
}

// ---- Dialogs -------------------------------------------------------------------------------

// Shows a dialog until a button closes it; onOk may keep it open by answering false. Resolves
// with the value of the closing button ("cancel" for Esc).
function modal(dialog, onOk = async () => true) {
  return new Promise((resolve) => {
    const form = dialog.querySelector("form");
    const finish = (value) => {
      form.onsubmit = null;
      dialog.oncancel = null;
      dialog.close();
      resolve(value);
    };
    form.onsubmit = async (event) => {
      event.preventDefault();
      const value = event.submitter ? event.submitter.value : "ok";
      if (value !== "ok" || await onOk()) finish(value);
    };
    dialog.oncancel = (event) => {
      event.preventDefault();
      if (dialog.dataset.escape !== "no") finish("cancel");
    };
    dialog.showModal();
  });
}

// A box of a debugging trace has a Stop button as well, which ends the trace.
function showMessage({ title, text, trace }) {
  $("message-title").textContent = title;
  $("message-text").textContent = text;
  $("message-stop").hidden = !trace;
  return modal($("message"));
}

function openDialog() {
  return document.querySelector("dialog[open]") !== null;
}

// The dialog closes as soon as the core accepts the formula; its passes are then under way.
function askFormula(text) {
  let accepted = null;
  const early = new Promise((resolve) => { accepted = resolve; });
  const done = ask("formula", { text, plot: plotSize() }, [], () => accepted("accepted"));
  return { early, done };
}

async function editFormula() {
  const input = $("formula-text");
  input.value = currentFormula;
  input.select();
  let passesUnderWay = null;
  let redrawAfter = false;
  await modal($("formula"), async () => {
    stopPass();  // the old plot's drawing is no longer wanted
    const request = askFormula(input.value.toUpperCase());
    const first = await Promise.race([request.early, request.done]);
    if (first === "accepted") {
      expectInfo();
      const quick = quickAnswer(request.done);  // the dialog closes with a quick pass's plot
      passesUnderWay = trackPasses(request.done, quick);
      await quick;
      return true;
    }
    redrawAfter = (await settle(first)).accepted;
    return redrawAfter;
  });
  if (passesUnderWay) await drawn(passesUnderWay);
  else if (redrawAfter) await redraw(true);
}

async function editSettings() {
  const dialog = $("settings");
  const { fields } = await ask("settingsFields");
  for (const line of fields.split("\n").filter(Boolean)) {
    const [id, value] = line.split("\t");
    const control = dialog.querySelector(`[data-id="${id}"]`);
    if (control.type === "checkbox") control.checked = value === "1";
    else control.value = value;
  }
  let accepted = false;
  await modal(dialog, async () => {
    stopPass();
    const lines = [...dialog.querySelectorAll("[data-id]")].map((control) =>
      `${control.dataset.id}\t${control.type === "checkbox" ? (control.checked ? 1 : 0) : control.value}`);
    accepted = (await settle(await ask("settingsCommit", { fields: lines.join("\n") }))).accepted;
    return accepted;
  });
  if (accepted) await redraw(true);
}

// Opened during a range pass, Curve Info waits for the facts of the samples it measured (the key
// or click stopped it) and the scale drawn, never showing those of the plot before.
async function curveInfo() {
  if (infoCurrent) await infoCurrent;
  showInfo(latestInfo);
  return modal($("info"));
}

// The status says when the file holds fewer samples than the settings ask for.
function sayExported({ stopped, cut, counted, expected }) {
  const part = `${counted.toLocaleString("en-US")} of ${expected.toLocaleString("en-US")} samples`;
  if (stopped) say(`Export stopped: the file holds ${part}`);
  else if (cut) say(`The file holds ${part}: the plot was stopped`);
}

async function exportTable() {
  const result = await showMessages(await runPasses("exportTable"));
  sayExported(result);
  const link = document.createElement("a");
  link.href = URL.createObjectURL(result.table);
  link.download = exportName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// ---- Zoom and pan ----------------------------------------------------------------------------

// A change of view is sent in steps, each the whole change since the change began (a zoom by
// factor around a column, then a move by pan columns); the core works out the range. The last
// step wins: a step waiting to be sent gives way to a later one of the same change, and the
// passes of a step overtaken are stopped. A change is finished when its pointers are up and its
// last step is plotted: then it becomes one step of the browser's history.
const view = {
  pointers: new Map(),  // pointer id: {x, y} where it is now, in pixel columns and rows
  change: null,         // the gesture under way: {id, start: {x, y} per pointer, begun}
  changes: 0,           // changes begun, each its own id
  queue: [],            // the steps waiting to be sent
  ini: null,            // the settings to keep when the change ends
  settled: 0,           // changes finished, for whoever waits on one
  sending: false,
  held: false,          // pointers or keys still make the change
  refused: false,       // a step was refused: the rest of the gesture is left out
  moved: false,         // a step was taken since the last entry of the history
};

function columnOf(event) {
  const canvas = $("plot");
  const box = canvas.getBoundingClientRect();
  return { x: (event.clientX - box.left) * (canvas.width / box.width),
           y: (event.clientY - box.top) * (canvas.height / box.height) };
}

function sendView(step) {
  const last = view.queue[view.queue.length - 1];
  if (last && last.change === step.change) {
    view.queue[view.queue.length - 1] = { ...step, begin: last.begin || step.begin };
  } else if (last && last.wheel !== undefined && last.wheel === step.wheel) {
    last.factor *= step.factor;  // notches at the same column while the plot catches up
  } else {
    view.queue.push(step);
  }
  // Whatever passes run are overtaken: a plot of the new range follows at once.
  if (passes > 0 && stoppable) {
    worker.postMessage({ op: "stop" });
    overtaken = true;
  }
  if (!view.sending) sendQueuedView();
}

async function sendQueuedView() {
  view.sending = true;
  try {
    while (view.queue.length > 0) {
      const step = view.queue.shift();
      const result = await showMessages(await runPasses("view", { step, ...plotSize() }));
      if (result.accepted) {
        view.moved = true;
      } else {
        view.queue = [];
        view.refused = true;
        view.change = null;
      }
    }
  } catch (error) {
    view.queue = [];  // the worker failed; restartWorker draws the stored settings
  } finally {
    view.sending = false;
  }
  viewSettled();
}

// The change ends on the plot of its last range, as one step of the browser's history.
function viewChanging() {
  return view.held || view.sending;
}

function viewSettled() {
  if (viewChanging()) return;
  keepIni(view.ini);
  view.ini = null;
  if (view.moved) history.pushState(null, "", addressOf(shownLink));
  view.moved = false;
  document.body.dataset.viewed = String(++view.settled);
}

// A change that one step makes: a wheel notch, a key.
function viewStep(column, factor, pan, wheel = undefined) {
  if (openDialog() || !currentFormula) return;
  sendView({ change: ++view.changes, begin: true, column, factor, pan, wheel });
}

function resetView() {
  if (openDialog()) return;
  sendView({ change: ++view.changes, begin: true, reset: true });
}

// The gesture of the pointers down: one drags, two pinch around their middle.
function gestureStep(begin) {
  const change = view.change;
  const now = [...view.pointers.values()];
  const start = [...view.pointers.keys()].map((id) => change.start.get(id));
  if (now.length === 1) {
    sendView({ change: change.id, begin, column: 0, factor: 1, pan: now[0].x - start[0].x });
    return;
  }
  const middle = (points) => (points[0].x + points[1].x) / 2;
  const apart = (points) => Math.hypot(points[0].x - points[1].x, points[0].y - points[1].y);
  const factor = apart(now) / Math.max(1, apart(start));
  sendView({ change: change.id, begin, column: middle(start), factor,
             pan: middle(now) - middle(start) });
}

// Each time a pointer comes or goes, the gesture starts again from the range it reached.
function restartGesture() {
  view.change = null;
  if (view.pointers.size === 0 || view.pointers.size > 2 || view.refused) return;
  view.change = { id: ++view.changes, start: new Map([...view.pointers].map(([id, p]) =>
    [id, { ...p }])), begun: false };
}

function onPointerDown(event) {
  if (event.pointerType === "mouse" && event.button !== 0) return;
  $("plot").setPointerCapture(event.pointerId);
  $("plot").focus();
  view.pointers.set(event.pointerId, columnOf(event));
  view.held = true;
  restartGesture();
}

function onPointerMove(event) {
  if (!view.pointers.has(event.pointerId)) {
    if (event.pointerType !== "touch") readValueAt(columnOf(event).x, false);
    return;
  }
  view.pointers.set(event.pointerId, columnOf(event));
  if (!view.change || openDialog() || !currentFormula) return;
  const begin = !view.change.begun;
  view.change.begun = true;
  gestureStep(begin);
}

function onPointerUp(event) {
  if (!view.pointers.delete(event.pointerId)) return;
  restartGesture();
  if (view.pointers.size === 0) {
    view.held = false;
    view.refused = false;
    viewSettled();
  }
}

function onWheel(event) {
  event.preventDefault();
  if (event.deltaY === 0) return;
  const notches = -event.deltaY / (event.deltaMode === WheelEvent.DOM_DELTA_PIXEL ? 100 : 3);
  const column = columnOf(event).x;
  viewStep(column, zoomStep ** notches, 0, column);
}

// The keys of the focused plot; false for any other key.
function viewKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey || document.activeElement !== $("plot")) {
    return false;
  }
  const width = $("plot").width;
  const centre = width / 2;
  const panBy = width / panShare;
  const steps = {
    "+": [zoomStep, 0], "=": [zoomStep, 0], "-": [1 / zoomStep, 0],
    ArrowUp: [zoomStep, 0], ArrowDown: [1 / zoomStep, 0],
    ArrowLeft: [1, panBy], ArrowRight: [1, -panBy],
  };
  if (event.shiftKey && (event.key === "ArrowLeft" || event.key === "ArrowRight")) {
    if (passes > 0 && !view.sending) stopPass();  // a key stops the passes, as ever
    moveCursor(event.key === "ArrowLeft" ? -1 : 1);
  } else if (event.key === "0") {
    resetView();
  } else if (steps[event.key] && !event.shiftKey) {
    viewStep(centre, ...steps[event.key]);
  } else {
    return false;
  }
  return true;
}

// ---- The value under the pointer -------------------------------------------------------------

// X at a pixel column and the formula's value there, as the export writes them; it changes
// nothing of the plot. The last column asked wins.
const readout = { asking: false, column: null, cursor: null, spoken: false };

async function readValueAt(column, spoken) {
  if (!currentFormula || column < 0 || column >= $("plot").width) return;
  readout.column = Math.floor(column);
  readout.spoken = spoken;
  if (readout.asking) return;
  readout.asking = true;
  try {
    while (readout.column !== null) {
      const asked = readout.column;
      readout.column = null;
      const { value } = await ask("valueAt", { column: asked, width: $("plot").width });
      const [x, y] = value.split("\t").map((part) => part.trim());
      $("readout").textContent = `X ${x}  Y ${y}`;
      if (readout.spoken) $("announce").textContent = `X ${x}, Y ${y}`;
    }
  } catch (error) {
    // The worker failed; it starts again by itself.
  } finally {
    readout.asking = false;
  }
}

// The keyboard's cursor: a line over the plot at a column, moved by Shift and the arrows.
function moveCursor(by) {
  const width = $("plot").width;
  const at = readout.cursor === null ? Math.floor(width / 2) : readout.cursor + by;
  readout.cursor = Math.max(0, Math.min(width - 1, at));
  const line = $("cursor");
  line.hidden = false;
  line.style.left = `${readout.cursor * ($("plot").getBoundingClientRect().width / width)}px`;
  readValueAt(readout.cursor, true);
}

function hideCursor() {
  readout.cursor = null;
  $("cursor").hidden = true;
}

// ---- Links -----------------------------------------------------------------------------------

// The address of the page carries the formula and the settings as Quorvy.ini's keys; the core
// gives them ("key<tab>value" a line) with every answer.
let shownLink = "";

function addressOf(link) {
  const pairs = link.split("\n").filter(Boolean).map((line) => {
    const [key, value] = line.split("\t");
    return `${key}=${encodeURIComponent(value)}`;
  });
  return `#${pairs.join("&")}`;
}

// The address follows the plot; a change of view adds its own step to the history instead.
function followAddress(link) {
  if (link === undefined) return;
  shownLink = link;
  if (viewChanging()) return;
  const address = addressOf(link);
  if (location.hash !== address) history.replaceState(null, "", address);
}

// The key=value pairs of the address as lines for the core, and what cannot be one INI line.
function keysOfAddress() {
  const hash = location.hash.slice(1);
  if (!hash) return null;
  const lines = [];
  const refused = [];
  for (const pair of hash.split("&").filter(Boolean)) {
    const equals = pair.indexOf("=");
    let key = "";
    let value = "";
    try {
      key = decodeURIComponent(equals < 0 ? pair : pair.slice(0, equals));
      value = decodeURIComponent(equals < 0 ? "" : pair.slice(equals + 1));
    } catch (error) {
      refused.push(`${pair} ignored (not URL-encoded text)`);
      continue;
    }
    if (equals < 0) refused.push(`${key} ignored (no value)`);
    else if (/[\r\n\0]/.test(key + value)) refused.push(`${key} ignored (a line break)`);
    else lines.push(`${key}=${value}`);
  }
  return { keys: lines.join("\n"), refused };
}

// An address with keys plots them through the reader of Quorvy.ini; what it could not take is
// said in one message box.
async function openAddress(address, keepSettingsRange) {
  const result = await settle(await ask("openLink", { keys: address.keys, keepSettingsRange }));
  await redraw(result.restored);
  const notTaken = [...address.refused, ...(result.report ? [result.report] : [])];
  if (notTaken.length > 0) {
    const text = `The link's settings not taken: ${notTaken.join("; ")}`;
    await showMessage({ title: "Quorvy", text });
  }
}

// Back, Forward or an address typed: the plot of its keys; Reset view keeps its range.
async function followHistory() {
  const address = keysOfAddress();
  if (!address || location.hash === addressOf(shownLink)) return;
  stopPass();
  hideCursor();
  await openAddress(address, true);
}

async function copyLink() {
  const link = location.href.split("#")[0] + addressOf(shownLink);
  try {
    await navigator.clipboard.writeText(link);
  } catch (error) {
    // No asynchronous clipboard here (an older browser, a page not in focus): the old way.
    const field = document.createElement("textarea");
    field.value = link;
    document.body.append(field);
    field.select();
    document.execCommand("copy");
    field.remove();
  }
  say("Link copied");
}

// ---- Keys and commands ---------------------------------------------------------------------

const COMMANDS = {
  "cmd-formula": editFormula,
  "cmd-export": exportTable,
  "cmd-print": () => window.print(),
  "cmd-info": curveInfo,
  "cmd-settings": editSettings,
  "cmd-reset": resetView,
  "cmd-link": copyLink,
};
// The window's accelerators; Ctrl+T belongs to the browser, so Settings has Ctrl+, instead. Tab
// moves the focus, as everywhere on the web.
const KEYS = { f: "cmd-formula", e: "cmd-export", p: "cmd-print", i: "cmd-info",
               ",": "cmd-settings", k: "cmd-link" };

function commandForKey(event) {
  const ctrlOnly = event.ctrlKey && !event.altKey && !event.metaKey && !event.shiftKey;
  return ctrlOnly ? KEYS[event.key.toLowerCase()] : null;
}

// A command, by key or by click, first stops the passes under way, then runs at once.
async function runCommand(id) {
  stopPass();
  if (quickWait) {  // the formula dialog closes first, once the tasks its wait ended have run
    await quickWait.window;
    await new Promise((resolve) => setTimeout(resolve));
  }
  COMMANDS[id]();
}

// Any key stops the passes under way, once; the focused plot's keys zoom and pan.
function onKey(event) {
  const command = openDialog() ? null : commandForKey(event);
  if (command) {
    event.preventDefault();
    runCommand(command);
  } else if (!openDialog() && viewKey(event)) {
    event.preventDefault();
  } else if (passes > 0 && !["Control", "Shift", "Alt", "Meta"].includes(event.key)) {
    stopPass();
  }
}

// Another tab saved its settings: this one takes them when it is idle, else says they changed.
async function takeOtherTabsSettings(event) {
  if (event.key !== STORAGE_KEY || event.newValue === null) return;
  if (passes > 0 || openDialog()) {
    say("Another tab changed the settings; they apply here after a reload");
    return;
  }
  const result = await settle(await ask("restore", { ini: event.newValue }));
  await redraw(result.restored);
  say("Took the settings saved in another tab");
}

function wirePlot(plot) {
  plot.addEventListener("pointerdown", onPointerDown);
  plot.addEventListener("pointermove", onPointerMove);
  plot.addEventListener("pointerup", onPointerUp);
  plot.addEventListener("pointercancel", onPointerUp);
  plot.addEventListener("lostpointercapture", onPointerUp);
  plot.addEventListener("wheel", onWheel, { passive: false });
  plot.addEventListener("blur", hideCursor);
}

function wireCommands() {
  for (const id of Object.keys(COMMANDS)) $(id).addEventListener("click", () => runCommand(id));
  $("stop").addEventListener("click", stopPass);
  wirePlot($("plot"));
  window.addEventListener("popstate", followHistory);
  window.addEventListener("storage", takeOtherTabsSettings);
  $("info").dataset.escape = "no";
  document.addEventListener("keydown", onKey, true);
  $("formula-text").addEventListener("input", (event) => {
    const input = event.target;
    const [start, end] = [input.selectionStart, input.selectionEnd];
    input.value = input.value.toUpperCase();
    input.setSelectionRange(start, end);
  });
}

// The Help link leads to the help beside the page (DOCS beside web, as the packages place
// them); a page copied on its own has no help beside it and leaves the link out.
function offerHelp() {
  const probe = new Image();
  probe.onerror = () => { $("help-group").hidden = true; };
  probe.src = new URL("pictures/window.png", $("cmd-help").href).href;
}

// The window's start: the stored settings and formula, then its range pass and the plot.
async function main() {
  wireCommands();
  let formulaMaxLength = 0;
  ({ stoppable, exportName, formulaMaxLength, zoomStep, panShare } = await startWorker());
  $("formula-text").maxLength = formulaMaxLength;
  offerHelp();
  try {
    // The address wins over the stored settings when it holds keys.
    const address = keysOfAddress();
    if (address) {
      await openAddress(address, false);
    } else {
      const result = await settle(await ask("restore", { ini: storedIni() }));
      await redraw(result.restored);
    }
  } catch (error) {
    // The worker failed; restartWorker starts a new one and draws the plot.
  }
  followSize();
  document.body.dataset.ready = "1";
}

main();
