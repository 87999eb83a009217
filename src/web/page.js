// The page's side of the program: a terminal in line mode. What the user
// types is sent a line at a time (Enter), with its newline; Ctrl-D sends a
// line without one, or on an empty line ends the input, as in a terminal.
// The program's own bytes are kept apart from the echo in `run.output`.
//
// The page is never silent: while the program loads, the pane says so and
// lines sent meanwhile wait in `run.sent` for it, in order; when it cannot
// load, the pane says why in one sentence and the input is disabled.
// Without JavaScript, the page says that it needs it.
"use strict";

const screen = document.getElementById("screen");
const line = document.getElementById("line");
const ended = document.getElementById("ended");
const endButton = document.getElementById("end-input");
const note = document.getElementById("note");
const controls = [line, document.getElementById("enter"), endButton];
const encoder = new TextEncoder();
const pane = new Pane(screen, () => line.scrollIntoView({ block: "nearest" }));
const pageRelease = document.getElementById("version").textContent.split(" ").pop();
let run = newRun();  // the current program instance's state
window.quorvastRun = run;

// `sent`: the lines sent and not yet read whole, in order, each with its
// bytes, how many of them the program has read, and its echo. A line of any
// length is one entry: the program reads it byte by byte from there.
// `output`: every byte the program wrote, in a buffer that doubles as it fills.
function newRun() {
  return { sent: [], inputEnded: false, wake: null, output: { bytes: new Uint8Array(4096), length: 0 }, tail: "",
           decoder: new TextDecoder(), sliceEnd: 0, resting: false, complaint: null, status: null, done: false,
           firstPromptMs: null };
}

function keepOutput(output, bytes) {
  if (output.length + bytes.length > output.bytes.length) {
    const grown = new Uint8Array(Math.max(2 * output.bytes.length, output.length + bytes.length));
    grown.set(output.bytes.subarray(0, output.length));
    output.bytes = grown;
  }
  output.bytes.set(bytes, output.length);
  output.length += bytes.length;
}

// What went wrong and what the visitor can do, in one sentence for the
// pane; what a developer needs to know goes to the browser's console.
class LoadFailure extends Error {
  constructor(sentence, detail) {
    super(sentence);
    this.detail = detail;
  }
}
const FAILURES = {
  noWebAssembly: "This browser cannot run the program, which needs WebAssembly: open the page in a current browser.",
  file: "This page works only when opened from a web address (http:// or https://), not from a file on this computer.",
  offline: "The program could not be downloaded: check the connection and reload the page.",
  missing: "The program could not be downloaded from the server just now: reload the page, or try again later.",
  damaged: "The program arrived damaged and could not be started: reload the page, or try again later.",
};

// The WebAssembly module, fetched and compiled once; every run instantiates it.
async function loadProgram() {
  if (typeof WebAssembly !== "object") throw new LoadFailure(FAILURES.noWebAssembly);
  if (location.protocol === "file:") {
    throw new LoadFailure(FAILURES.file, "browsers load no program into a page opened from a file: " +
                          "serve the page's folder (for example with make web-serve) and open the address it prints");
  }
  const response = await fetch("quorvast.wasm").catch(() => { throw new LoadFailure(FAILURES.offline); });
  if (!response.ok) throw new LoadFailure(FAILURES.missing, `quorvast.wasm: the server answered ${response.status}`);
  const bytes = await response.arrayBuffer().catch(() => { throw new LoadFailure(FAILURES.offline); });
  return WebAssembly.compile(bytes)
    .catch(() => { throw new LoadFailure(FAILURES.damaged, "quorvast.wasm is no valid WebAssembly module"); });
}

function startRun(program) {
  const current = run;
  setControlsEnabled(true);
  ended.hidden = true;
  createQuorvast({
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(program, imports).then((instance) => receive(instance, program), () => fail(FAILURES.damaged));
      return {};
    },
    takeTypedByte: () => takeTyped(current),
    typed: () => waitForTyping(current),
    showOutput: (bytes) => showOutput(current, bytes),
    showRelease: (release) => showRelease(current, release),
    showEnd: (complaint, status) => showEnd(current, complaint, status),
    print: () => {}, printErr: () => {},
  });
}

function runAgain(program) {
  run = window.quorvastRun = newRun();
  pane.clear();
  for (const said of ["note", "complaint", "exit-status"]) document.getElementById(said).textContent = "";
  startRun(program);
  line.focus();
}

// The loading notice, and with it anything about the loading, leaves the
// pane when the program writes its first bytes; typed lines stay.
function showOutput(current, bytes) {
  if (current !== run || bytes.length === 0) return;
  screen.querySelector(".notice")?.remove();
  keepOutput(current.output, bytes);
  const text = current.decoder.decode(bytes, { stream: true });
  current.tail = (current.tail + text).slice(-64);
  pane.write(text);
}

// A tab whose page and program came from two releases (the page loaded from
// the network while the server changed release) says so, as after an update.
function showRelease(current, release) {
  if (current !== run || release === pageRelease) return;
  console.warn(`Quorvast: this page is release ${pageRelease}, its program ${release}`);
  document.getElementById("update").hidden = false;
}

// The page's own words in the pane, on a line of their own.
function showNotice(sentence, kind) {
  screen.querySelector(".notice")?.remove();
  const notice = document.createElement("span");
  notice.className = "notice " + kind;
  notice.textContent = sentence;
  screen.prepend(notice);
}

function fail(sentence, detail) {
  if (detail) console.warn("Quorvast: " + detail);
  showNotice(sentence, "failure");
  window.quorvastFailure = sentence;
  setControlsEnabled(false);
}

function setControlsEnabled(enabled) {
  for (const control of controls) control.disabled = !enabled;
}

// The program waits for the user. The first time, the first prompt is on
// the page; its time is taken once the frame showing it has been painted.
function waitForTyping(current) {
  if (current.firstPromptMs === null) {
    requestAnimationFrame(() => setTimeout(() => { current.firstPromptMs ??= performance.now(); }));
  }
  if (current.resting) {
    current.resting = false;
    return nextTask().then(() => { current.sliceEnd = performance.now() + SLICE_MS; });
  }
  return new Promise((resolve) => { current.wake = resolve; });
}

// Resolves in a task of its own: setTimeout would do, but a chain of them
// waits 4 ms each time.
const tasks = new MessageChannel();
const waitingForTask = [];
tasks.port1.onmessage = () => waitingForTask.shift()();
const nextTask = () => new Promise((resolve) => {
  waitingForTask.push(resolve);
  tasks.port2.postMessage(null);
});

// The exit status and any complaint go into the status region, which is in
// the page from the start, so that assistive technology reads them out. The
// input and its buttons are disabled, so Tab goes from the text to Run again.
function showEnd(current, complaint, status) {
  if (current !== run) return;
  pane.flush();  // the last words are in the pane before the status says the run ended
  current.complaint = complaint;
  current.status = status;
  document.getElementById("complaint").textContent = complaint ? "quorvast: " + complaint : "";
  document.getElementById("exit-status").textContent = `The program ended with exit status ${status}.`;
  setControlsEnabled(false);
  ended.hidden = false;
  current.done = true;
  document.getElementById("again").focus();
}

// Sends text (and the newline if `withNewline`). Its echo joins the pane
// once the bytes wait for the program, and moves to the pane's end when the
// program reads the line's first byte: a line sent before the program was
// ready shows after the prompt that reads it, as if it had been typed there.
function send(text, withNewline) {
  if (run.done || run.inputEnded) return;
  const typed = withNewline ? text + "\n" : text;
  const bytes = encoder.encode(typed);
  if (bytes.length === 0) return;
  const echo = document.createElement("span");
  echo.className = "echo";
  echo.textContent = typed;
  run.sent.push({ bytes, read: 0, echo, text });
  pane.write(echo);
  wake();
}

// The next byte sent, -1 once the input has ended, -2 while none waits. A
// long line is read a slice of a few milliseconds at a time (-2, `resting`,
// until the next task), so that the tab paints and answers in between; the
// clock is read once every 256 bytes, not for each.
const SLICE_MS = 8;
function takeTyped(current) {
  const sent = current.sent[0];
  if (!sent) return current.inputEnded ? -1 : -2;
  if (sent.read % 256 === 0 && performance.now() > current.sliceEnd) {
    current.resting = true;
    return -2;
  }
  if (sent.read === 0) {  // the line's first byte: its echo goes after the prompt that reads it
    pane.write(sent.echo);
    noteDecimalComma(current, sent.text);
  }
  const byte = sent.bytes[sent.read++];
  if (sent.read === sent.bytes.length) current.sent.shift();
  return byte;
}

function endInput() {
  if (run.done) return;
  run.inputEnded = true;
  wake();
}

function wake() {
  const resolve = run.wake;
  run.wake = null;
  run.sliceEnd = performance.now() + SLICE_MS;
  if (resolve) resolve();
}

// A number written with a decimal comma at the H prompt: the program reads
// up to the comma, as the console program does, and a note says so.
const DECIMAL_COMMA = /^\s*([+-]?\d+),(\d+)\s*$/;
function noteDecimalComma(current, text) {
  const number = DECIMAL_COMMA.exec(text);
  if (number && current.tail.endsWith("Type H value of asteroid: ")) {
    note.textContent = `The comma ends the number, so H was read as ${number[1]}: ` +
                       `for ${text.trim()}, type ${number[1]}.${number[2]}, with a point.`;
  }
}

document.getElementById("typing").addEventListener("submit", (event) => {
  event.preventDefault();
  send(line.value, true);
  line.value = "";
  line.focus();
});
line.addEventListener("keydown", (event) => {
  if (event.ctrlKey && (event.key === "d" || event.key === "D")) {
    event.preventDefault();
    if (line.value === "") {
      endInput();
    } else {
      send(line.value, false);
      line.value = "";
    }
  }
});
// A paste of several lines sends each whole line as if typed and sent with
// Enter, in order; a last piece without a line end stays in the field.
line.addEventListener("paste", (event) => {
  const text = event.clipboardData?.getData("text/plain") ?? "";
  if (!/[\r\n]/.test(text)) return;  // one line: the field takes it as ever
  event.preventDefault();
  const lines = (line.value.slice(0, line.selectionStart) + text).split(/\r\n|\r|\n/);
  line.value = lines.pop() + line.value.slice(line.selectionEnd);
  for (const piece of lines) send(piece, true);
});

// The button ends the run, so it asks for a second tap within a few
// seconds; Ctrl-D, which nobody presses by mistake, ends the input at once.
let disarmTimer = null;  // set while the button waits for its second tap
function disarmEnd() {
  clearTimeout(disarmTimer);
  disarmTimer = null;
  endButton.textContent = "End input";
}
endButton.addEventListener("click", () => {
  if (disarmTimer === null) {
    endButton.textContent = "Tap again to end the input";
    disarmTimer = setTimeout(disarmEnd, 4000);
    return;
  }
  disarmEnd();
  if (line.value !== "") send(line.value, false);
  line.value = "";
  endInput();
  line.focus();
});

// The service worker keeps this release for visits without a network or
// with a failing server, and brings the next one: the tab goes on with the
// release it started with, and says that a reload brings the newer one,
// whenever and however a newer worker took over. Registered whether or not
// the program started, so that a reload mends a failed load.
function keepRelease() {
  if (!("serviceWorker" in navigator)) return;
  const workers = navigator.serviceWorker;
  workers.addEventListener("message", (event) => {
    if (event.data?.page && event.data.page !== event.data.newest) document.getElementById("update").hidden = false;
    // Said once, and only when no earlier release is kept to run offline.
    if (event.data === "no room" && !workers.controller) {
      document.getElementById("offline").textContent =
        "Quorvast will not work offline on this device: the browser has no room to keep it.";
    }
  });
  const ask = () => workers.controller?.postMessage("release?");
  workers.addEventListener("controllerchange", ask);
  ask();
  workers.register("service-worker.js").then((registration) => registration.update()).catch(() => {});
}
keepRelease();

// The download starts at once; the program runs when it is compiled and
// quorvast.js (the next deferred script) has run.
const documentParsed = new Promise((resolve) => document.addEventListener("DOMContentLoaded", resolve));
Promise.all([loadProgram(), documentParsed])
  .then(([program]) => {
    if (typeof createQuorvast !== "function") throw new LoadFailure(FAILURES.missing, "quorvast.js did not load");
    document.getElementById("again").addEventListener("click", () => runAgain(program));
    startRun(program);
  })
  .catch((error) => error instanceof LoadFailure ? fail(error.message, error.detail)
                                                : fail(FAILURES.damaged, String(error)));
// Without this script the page says that it needs it, and its controls stay
// disabled; with it, lines can be typed while the program loads.
showNotice("Loading the program…", "loading");
setControlsEnabled(true);
line.focus();
