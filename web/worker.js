"use strict";
// The core of Quorvy, compiled to WebAssembly, in a Web Worker: every pass runs here, off the
// page's thread, and the plot is drawn here straight into the page's canvas. The page sends one
// request per command and gets back the core's results: the plot's size, the curve-info lines,
// the message boxes, the value table and Quorvy.ini. During a long pass the core lets this
// worker run now and then (the "yield" import): it reports progress, shows the growing plot and
// hands over a stop request. That needs WebAssembly's promise integration
// (WebAssembly.Suspending); without it a pass runs to its end.

const encoder = new TextEncoder();
const decoder = new TextDecoder();
const SNAPSHOT_EVERY_MS = 100;
let core = null;
let memory = null;
let run = null;
let measure = null;
let busy = false;
let stopAsked = false;
let stopTaken = false;   // a stop was handed to the pass under way
let passName = "";
let passExpected = 0;    // the samples the pass under way walks, for its progress
let infoSent = false;    // the curve facts went with the drawing pass's progress
let lastSnapshot = 0;
let tableParts = [];
let raster = null;

function bytes(pointer, length) {
  return new Uint8Array(memory.buffer, pointer, length);
}

function textAt(pointer) {
  const all = new Uint8Array(memory.buffer, pointer);
  return decoder.decode(all.subarray(0, all.indexOf(0)));
}

function put(text) {
  const encoded = encoder.encode(text);
  const length = Math.min(encoded.length, core.q_buffer_size());
  bytes(core.q_buffer(), length).set(encoded.subarray(0, length));
  return length;
}

// The few system calls the C library may make: a clock, and writes that go nowhere.
function systemCall(name) {
  const calls = {
    clock_time_get(id, precision, out) {
      const nanoseconds = BigInt(Math.round(performance.now() * 1e6));
      new DataView(memory.buffer).setBigUint64(out, nanoseconds, true);
      return 0;
    },
    fd_write(fd, vectors, count, written) {
      const view = new DataView(memory.buffer);
      let total = 0;
      for (let i = 0; i < count; i++) total += view.getUint32(vectors + 8 * i + 4, true);
      view.setUint32(written, total, true);
      return 0;
    },
  };
  return calls[name] || (() => 52);  // ENOSYS
}

// The core's label font, followed by the page's fallbacks.
let labelFont = "";
// The page's plot canvas, handed to this worker: the plot is drawn straight into it. Null where
// the browser cannot hand it over; the worker then sends each picture to the page.
let screen = null;

function placedTexts() {
  return textAt(core.q_texts()).split("\n").filter(Boolean).map((line) => {
    const tab = line.indexOf("\t");
    const [left, top, right, bottom, x, y] = line.slice(0, tab).split(" ").map(Number);
    return { box: { left, top, right, bottom }, x, y, text: line.slice(tab + 1) };
  });
}

// Each text over its white box, behind the pixels already there: from the last placed to the
// first, so that the box of a text placed later hides the texts before it.
function drawTextsBehind(context) {
  context.globalCompositeOperation = "destination-over";
  context.font = labelFont;
  for (const { box, x, y, text } of placedTexts().reverse()) {
    context.save();
    context.beginPath();
    context.rect(box.left, box.top, box.right - box.left, box.bottom - box.top);
    context.clip();
    context.fillStyle = "#000";
    context.fillText(text, x, y);
    context.fillStyle = "#fff";
    context.fillRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
    context.restore();
  }
  context.globalCompositeOperation = "source-over";
}

// The core's pixels, as they lie in the module's memory, without a copy; then the texts behind
// them, in the boxes the core left transparent.
function compose(canvas) {
  const { width, height } = raster;
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  if (width === 0 || height === 0) return;
  const context = canvas.getContext("2d");
  const rgba = new Uint8ClampedArray(memory.buffer, raster.pointer, width * height * 4);
  context.putImageData(new ImageData(rgba, width, height), 0, 0);
  drawTextsBehind(context);
}

// The plot drawn: into the page's canvas, or into one of the worker's own whose picture goes to
// the page.
function picture() {
  if (!raster) return null;
  const { width, height } = raster;
  if (screen) {
    compose(screen);
    return { width, height };
  }
  const canvas = new OffscreenCanvas(width, height);
  compose(canvas);
  return { width, height, bitmap: canvas.transferToImageBitmap() };
}

function progress(samples, expected) {
  const message = { kind: "progress", pass: passName, samples, expected: passExpected || expected };
  const now = performance.now();
  // The drawing pass has set up its scale before its first sample: from there the curve facts
  // are those of the plot under way.
  if (passName === "drawing" && !infoSent) {
    message.info = infoLines();
    infoSent = true;
  }
  if (passName === "drawing" && now - lastSnapshot >= SNAPSHOT_EVERY_MS) {
    core.q_refresh();
    message.picture = picture();
    lastSnapshot = now;
  }
  postMessage(message, bitmapOf(message.picture));
}

function bitmapOf(drawn) {
  return drawn && drawn.bitmap ? [drawn.bitmap] : [];
}

function nextTask() {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => resolve();
    channel.port2.postMessage(0);
  });
}

// A stop request stops the pass under way once; the core stops the passes after it at the same
// sample count by itself.
async function yieldToPage(samples, expected) {
  progress(samples, expected);
  await nextTask();
  const stop = stopAsked;
  stopAsked = false;
  stopTaken = stopTaken || stop;
  return stop ? 1 : 0;
}

function quorvyImports(suspending) {
  return {
    yield: suspending ? new WebAssembly.Suspending(yieldToPage)
                      : (samples, expected) => { progress(samples, expected); return 0; },
    text_width: (pointer, length) =>
      Math.ceil(measure.measureText(decoder.decode(bytes(pointer, length))).width),
    export_bytes: (pointer, length) => { tableParts.push(bytes(pointer, length).slice()); },
  };
}

// The page's label font is the core's, followed by the page's own fallbacks. The page hands over
// its plot canvas where the browser can.
async function start({ wasm, fallbackFonts, canvas }) {
  screen = canvas || null;
  const suspending = typeof WebAssembly.Suspending === "function";
  const module = await WebAssembly.compile(wasm);
  const imports = { quorvy: quorvyImports(suspending), wasi_snapshot_preview1: {} };
  for (const { module: from, name } of WebAssembly.Module.imports(module)) {
    if (from === "wasi_snapshot_preview1") imports[from][name] = systemCall(name);
  }
  const instance = await WebAssembly.instantiate(module, imports);
  core = instance.exports;
  memory = core.memory;
  core._initialize();
  const [coreFont, exportName, formulaMax, zoomStep, panShare] =
    textAt(core.q_page_facts()).split("\n");
  labelFont = `${coreFont}, ${fallbackFonts}`;
  measure = new OffscreenCanvas(1, 1).getContext("2d");
  measure.font = labelFont;
  const passes = ["q_range_pass", "q_draw", "q_export"];
  run = Object.fromEntries(passes.map((name) => [name, suspending
    ? WebAssembly.promising(core[name]) : async () => core[name]()]));
  return { stoppable: suspending, exportName, formulaMaxLength: Number(formulaMax),
           zoomStep: Number(zoomStep), panShare: Number(panShare) };
}

// The samples the last pass counted, where a kept stop ends the later ones (0: none) and how
// many the settings ask for.
function passFacts() {
  const [counted, stoppedAt, expected] = textAt(core.q_pass_facts()).split(" ").map(Number);
  return { counted, stoppedAt, expected };
}

async function pass(name, call, expected = 0) {
  passName = name;
  passExpected = expected;
  stopTaken = false;
  infoSent = false;
  lastSnapshot = performance.now();
  await call();
  passName = "";
  passExpected = 0;
}

// After a stop of the range pass the drawing pass draws the samples it measured, and the page
// says so.
function measured() {
  const samples = stopTaken ? passFacts().stoppedAt : 0;
  if (samples > 0) postMessage({ kind: "measured", samples });
  return samples;
}

const commands = {
  start,
  restore: ({ ini }) => ({ restored: core.q_start(ini === null ? -1 : put(ini)) === 1 }),
  // An address's keys, "key=value" a line: what the reader did not take comes back as report.
  openLink: ({ keys, keepSettingsRange }) => {
    const restored = core.q_open_link(put(keys), keepSettingsRange ? 1 : 0) === 1;
    return { restored, report: textAt(core.q_link_report()) };
  },
  // A step of a change of view (zoom by factor around column, then a move by pan columns, all
  // since the change began), or Reset view; a range taken is plotted at once.
  async view({ step, width, height }) {
    if (step.begin) core.q_view_begin();
    const taken = step.reset ? core.q_view_reset()
                             : core.q_view(step.column, width, step.factor, step.pan);
    if (taken !== 1) return { accepted: false };
    return { accepted: true, ...(await commands.redraw({ range: true, width, height })) };
  },
  valueAt: ({ column, width }) => ({ value: textAt(core.q_value_at(column, width)) }),
  // OK in the formula dialog. A formula accepted without a message goes on to its passes for the
  // plot area given, in the same request (one trip to the worker less between Enter and the
  // plot), after a first word that lets the page close the dialog.
  async formula({ text, plot }, id) {
    const accepted = core.q_formula(put(text)) === 1;
    const messages = takeMessages();
    if (!accepted || !plot || messages.length > 0) return { accepted, messages };
    postMessage({ kind: "accepted", id });
    return { accepted, ...(await commands.redraw({ range: true, ...plot })) };
  },
  settingsFields: () => ({ fields: textAt(core.q_settings_fields()) }),
  // The pixels of the plot canvas this worker draws into, as the page shows them.
  plotPixels() {
    const { width, height } = screen;
    const rgba = width > 0 && height > 0
      ? screen.getContext("2d").getImageData(0, 0, width, height).data : new Uint8ClampedArray(0);
    return { width, height, rgba };
  },
  settingsCommit: ({ fields }) => ({ accepted: core.q_settings_commit(put(fields)) === 1 }),
  // The range pass (after a new formula or new settings, or at start) and the drawing pass of a
  // plot area of the given size.
  async redraw({ range, width, height }) {
    let samples = 0;
    if (range) {
      await pass("range", run.q_range_pass);
      samples = measured();
    }
    const pointer = core.q_raster(width, height);
    const [drawnWidth, drawnHeight] = textAt(core.q_raster_size()).split(" ").map(Number);
    raster = { pointer, width: drawnWidth, height: drawnHeight };
    await pass("drawing", run.q_draw, samples);
    const cut = drawnWidth !== width || drawnHeight !== height;
    return { picture: picture(), ...(cut ? { asked: { width, height } } : {}) };
  },
  // The table and how many of the samples the settings ask for it holds; stopped when the user
  // stopped the export itself, cut when the stop of the plot ended it.
  async exportTable() {
    tableParts = [];
    await pass("export", run.q_export);
    const { counted, stoppedAt, expected } = passFacts();
    const table = new Blob(tableParts);
    tableParts = [];
    const cut = stoppedAt > 0 && counted >= stoppedAt;
    return { table, stopped: stopTaken, cut, counted, expected };
  },
};

// What every answer carries: the message boxes of the call, the curve-info lines, the INI text
// to keep and the formula text.
function takeMessages() {
  return textAt(core.q_messages()).split("\x1e").filter(Boolean).map((record) => {
    const [title, text, kind] = record.split("\x1f");
    return { title, text, trace: kind === "trace" };
  });
}

function infoLines() {
  return textAt(core.q_info()).split("\n").filter(Boolean);
}

function outcome(result) {
  if (!core) return result;
  const messages = [...(result.messages || []), ...takeMessages()];
  const info = infoLines();
  const [minX, maxX] = textAt(core.q_x_range()).split("\t");
  return { ...result, messages, info, ini: textAt(core.q_ini()), range: { minX, maxX },
           formula: textAt(core.q_formula_text()), link: textAt(core.q_link()) };
}

async function serve({ id, op, ...request }) {
  busy = true;
  stopAsked = false;
  try {
    const result = outcome(await commands[op](request, id));
    postMessage({ id, result }, bitmapOf(result.picture));
  } catch (error) {
    // The module may be left in any state: the page starts a new worker.
    postMessage({ id, error: String(error && error.message || error) });
  } finally {
    busy = false;
  }
}

// Requests that only read the core's state are answered at once, even while a pass waits for
// the page, so that a dialog opened during a pass opens without waiting for its end, and the
// value under the pointer follows it during a pass; so is a request that asks for it.
const AT_ONCE = new Set(["settingsFields", "valueAt"]);

let queue = Promise.resolve();
onmessage = ({ data }) => {
  if (data.op === "stop") {
    if (busy) stopAsked = true;
    return;
  }
  if ((AT_ONCE.has(data.op) || data.atOnce) && core) {
    postMessage({ id: data.id, result: commands[data.op](data) });
    return;
  }
  queue = queue.then(() => serve(data));
};
