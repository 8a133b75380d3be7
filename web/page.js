"use strict";
// The page of Quorvy: the window's commands, dialogs and plot in a browser. Every result comes
// from the program's own core (in worker.js, compiled to WebAssembly): this script only shows
// what the core answers, as the window's dialogs and boxes show it.

// The core gives the label font's face and size and the export's file name (see startWorker).
const LABEL_FONT_FALLBACKS = "Verdana, sans-serif";
let labelFont = "";
let exportName = "";
const STORAGE_KEY = "quorvy.ini";
const PROGRESS_AFTER_MS = 500;
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
let finishedPasses = 0;

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
  const pending = waiting.get(data.id);
  if (data.kind === "accepted") {
    pending.onAccepted();
    return;
  }
  waiting.delete(data.id);
  if (data.error) pending.reject(new Error(data.error));
  else pending.resolve(data.result);
}

function coreBytes() {
  const text = atob($("core").textContent.trim());
  const wasm = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) wasm[i] = text.charCodeAt(i);
  return wasm;
}

// From a page opened from disk a worker can only come from a Blob URL.
function startWorker() {
  const source = new Blob([$("worker-source").textContent], { type: "text/javascript" });
  const url = URL.createObjectURL(source);
  worker = new Worker(url);
  URL.revokeObjectURL(url);
  worker.onmessage = answer;
  const wasm = coreBytes();
  return ask("start", { wasm: wasm.buffer, fallbackFonts: LABEL_FONT_FALLBACKS }, [wasm.buffer]);
}

// ---- What the core answers -----------------------------------------------------------------

function keepIni(ini) {
  try {
    if (ini) localStorage.setItem(STORAGE_KEY, ini);
  } catch (error) {
    // Storage switched off: the settings last for this visit only.
  }
}

function storedIni() {
  try {
    return localStorage.getItem(STORAGE_KEY);
  } catch (error) {
    return null;
  }
}

function showInfo(info) {
  latestInfo = info;
  $("plot-facts").textContent = info.map((line) => line.replace("\t", " ")).join(". ");
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
  keepIni(result.ini);
  currentFormula = result.formula;
  showInfo(result.info);
  if (result.picture) paint(result.picture);
  return result;
}

// Then the message boxes of the call, one by one.
async function showMessages(result) {
  for (const message of result.messages) await showMessage(message);
  return result;
}

function settle(result) {
  return showMessages(take(result));
}

// ---- The plot ------------------------------------------------------------------------------

// The texts first, each over its white box, then the pixels the core drew, which lie over the
// texts where the core drew them later (the box of a text placed later hid them already).
function paint(picture) {
  shown = picture;
  const canvas = $("plot");
  canvas.width = picture.width;
  canvas.height = picture.height;
  const context = canvas.getContext("2d");
  context.fillStyle = "#fff";
  context.fillRect(0, 0, picture.width, picture.height);
  context.font = labelFont;
  for (const { box, x, y, text } of picture.texts) {
    context.save();
    context.beginPath();
    context.rect(box.left, box.top, box.right - box.left, box.bottom - box.top);
    context.clip();
    context.fillStyle = "#fff";
    context.fillRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
    context.fillStyle = "#000";
    context.fillText(text, x, y);
    context.restore();
  }
  if (picture.width > 0 && picture.height > 0) {
    const layer = new OffscreenCanvas(picture.width, picture.height);
    const pixels = new ImageData(new Uint8ClampedArray(picture.rgba.buffer), picture.width,
                                 picture.height);
    layer.getContext("2d").putImageData(pixels, 0, 0);
    context.drawImage(layer, 0, 0);
  }
}

function plotSize() {
  const area = $("plot-area");
  return { width: Math.max(1, area.clientWidth), height: Math.max(1, area.clientHeight) };
}

// ---- Passes: progress, stop ----------------------------------------------------------------

function showProgress({ pass, samples, expected, picture }) {
  if (picture) paint(picture);
  const bar = $("progress");
  bar.dataset.pass = pass;
  bar.value = Math.min(1, samples / expected);
  if (bar.hidden && performance.now() - passStarted >= PROGRESS_AFTER_MS) bar.hidden = false;
}

// The page while passes run: the Stop button is live, and a key stops them.
async function trackPasses(answered) {
  if (passes++ === 0) passStarted = performance.now();
  $("stop").disabled = !stoppable;
  $("state").textContent = "";
  try {
    return take(await answered);
  } finally {
    if (--passes === 0) {
      $("stop").disabled = true;
      $("progress").hidden = true;
      $("progress").value = 0;
      document.body.dataset.idle = String(++finishedPasses);
    }
  }
}

function runPasses(op, fields = {}) {
  return trackPasses(ask(op, fields));
}

function stopPass() {
  if (passes > 0 && stoppable) {
    worker.postMessage({ op: "stop" });
    $("state").textContent = "Stopped";
  }
}

function redraw(range) {
  return drawn(runPasses("redraw", { range, ...plotSize() }));
}

// The passes' answer: its messages, then the plot again if its area changed size meanwhile.
async function drawn(passesUnderWay) {
  const result = await showMessages(await passesUnderWay);
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

function showMessage({ title, text }) {
  $("message-title").textContent = title;
  $("message-text").textContent = text;
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
    const request = askFormula(input.value.toUpperCase());
    const first = await Promise.race([request.early, request.done]);
    if (first === "accepted") {
      passesUnderWay = trackPasses(request.done);
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
    const lines = [...dialog.querySelectorAll("[data-id]")].map((control) =>
      `${control.dataset.id}\t${control.type === "checkbox" ? (control.checked ? 1 : 0) : control.value}`);
    accepted = (await settle(await ask("settingsCommit", { fields: lines.join("\n") }))).accepted;
    return accepted;
  });
  if (accepted) await redraw(true);
}

function curveInfo() {
  showInfo(latestInfo);
  return modal($("info"));
}

async function exportTable() {
  const result = await showMessages(await runPasses("exportTable"));
  const link = document.createElement("a");
  link.href = URL.createObjectURL(result.table);
  link.download = exportName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// ---- Keys and commands ---------------------------------------------------------------------

const COMMANDS = {
  "cmd-formula": editFormula,
  "cmd-export": exportTable,
  "cmd-print": () => window.print(),
  "cmd-info": curveInfo,
  "cmd-settings": editSettings,
};
// The window's accelerators; Ctrl+T belongs to the browser, so Settings has Ctrl+, instead.
const KEYS = { f: "cmd-formula", e: "cmd-export", p: "cmd-print", i: "cmd-info", ",": "cmd-settings" };

function commandForKey(event) {
  if (event.ctrlKey && !event.altKey && !event.metaKey && !event.shiftKey) {
    return KEYS[event.key.toLowerCase()];
  }
  // Tab on the plot is Ctrl+I, as in the window, whose Tab gives the same character.
  const plain = !event.ctrlKey && !event.altKey && !event.metaKey && !event.shiftKey;
  return plain && event.key === "Tab" && document.activeElement === $("plot") ? "cmd-info" : null;
}

function onKey(event) {
  const modifierOnly = ["Control", "Shift", "Alt", "Meta"].includes(event.key);
  if (passes > 0 && !modifierOnly) stopPass();
  const command = openDialog() ? null : commandForKey(event);
  if (command) {
    event.preventDefault();
    COMMANDS[command]();
  }
}

function wireCommands() {
  for (const [id, command] of Object.entries(COMMANDS)) $(id).addEventListener("click", command);
  $("stop").addEventListener("click", stopPass);
  $("info").dataset.escape = "no";
  document.addEventListener("keydown", onKey, true);
  $("formula-text").addEventListener("input", (event) => {
    const input = event.target;
    const [start, end] = [input.selectionStart, input.selectionEnd];
    input.value = input.value.toUpperCase();
    input.setSelectionRange(start, end);
  });
}

// The window's start: the stored settings and formula, then its range pass and the plot.
async function main() {
  wireCommands();
  ({ stoppable, font: labelFont, exportName } = await startWorker());
  const result = await settle(await ask("restore", { ini: storedIni() }));
  await redraw(result.restored);
  followSize();
  document.body.dataset.ready = "1";
}

main();
