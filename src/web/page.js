// The page's side of the program: a terminal in line mode. What the user
// types is sent a line at a time (Enter), with its newline; Ctrl-D sends a
// line without one, or on an empty line ends the input, as in a terminal.
// The program's own bytes are kept apart from the echo in `run.output`.
//
// The page is never silent: while the program loads, the pane says so and
// lines sent meanwhile wait in `run.typed` for it, in order; when it cannot
// load, the pane says why in one sentence and the input is disabled.
"use strict";

const screen = document.getElementById("screen");
const line = document.getElementById("line");
const ended = document.getElementById("ended");
const controls = [line, document.getElementById("enter"), document.getElementById("end-input")];
const encoder = new TextEncoder();
let run = newRun();  // the current program instance's state
window.quorvastRun = run;

function newRun() {
  return { typed: [], inputEnded: false, wake: null, output: [], decoder: new TextDecoder(),
           complaint: null, status: null, done: false, firstPromptMs: null };
}

// What went wrong and what to do, in one sentence for the pane.
class LoadFailure extends Error {}
const FAILURES = {
  noWebAssembly: "This browser cannot run WebAssembly, which the program needs: open the page in a current browser.",
  file: "Browsers do not let a page opened from a file load its program: serve the page's folder instead, " +
        "for example with make web-serve, and open the address it prints.",
  offline: "The program could not be downloaded: check the connection and reload the page.",
  missing: (what) => `The program could not be downloaded (${what}): ` +
                     "the page's folder is incomplete; rebuild it with make web, or reload later.",
  damaged: "The program's file is damaged and could not be started: rebuild the page with make web, or reload later.",
};

// The WebAssembly module, fetched and compiled once; every run instantiates it.
async function loadProgram() {
  if (typeof WebAssembly !== "object") throw new LoadFailure(FAILURES.noWebAssembly);
  if (location.protocol === "file:") throw new LoadFailure(FAILURES.file);
  const response = await fetch("quorvast.wasm").catch(() => { throw new LoadFailure(FAILURES.offline); });
  if (!response.ok) throw new LoadFailure(FAILURES.missing(`the server answered ${response.status}`));
  const bytes = await response.arrayBuffer().catch(() => { throw new LoadFailure(FAILURES.offline); });
  return WebAssembly.compile(bytes).catch(() => { throw new LoadFailure(FAILURES.damaged); });
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
    takeTypedByte: () => current.typed.length ? current.typed.shift() : current.inputEnded ? -1 : -2,
    typed: () => waitForTyping(current),
    showOutput: (bytes) => showOutput(current, bytes),
    showEnd: (complaint, status) => showEnd(current, complaint, status),
    print: () => {}, printErr: () => {},
  });
}

function runAgain(program) {
  run = window.quorvastRun = newRun();
  screen.textContent = "";
  startRun(program);
  line.focus();
}

// The loading notice, and with it anything about the loading, leaves the
// pane when the program writes its first bytes; typed lines stay.
function showOutput(current, bytes) {
  if (current !== run || bytes.length === 0) return;
  screen.querySelector(".notice")?.remove();
  for (const byte of bytes) current.output.push(byte);
  // A text node per line: Lighthouse counts a node's text once for every
  // line it spans, and would see the pane's small print many times over.
  screen.append(...current.decoder.decode(bytes, { stream: true }).split(/(?<=\n)/));
  line.scrollIntoView({ block: "nearest" });  // the input line stays in sight
}

function fail(sentence) {
  screen.querySelector(".notice")?.remove();
  const notice = document.createElement("span");
  notice.className = "notice failure";
  notice.textContent = sentence;
  screen.append(notice);
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
  return new Promise((resolve) => { current.wake = resolve; });
}

// The input and its buttons are disabled, so Tab goes from the text to Run again.
function showEnd(current, complaint, status) {
  if (current !== run) return;
  current.complaint = complaint;
  current.status = status;
  document.getElementById("complaint").textContent = complaint ? "quorvast: " + complaint : "";
  document.getElementById("status").textContent = String(status);
  setControlsEnabled(false);
  ended.hidden = false;
  current.done = true;
  document.getElementById("again").focus();
}

// Sends text (and the newline if `withNewline`), echoed after the prompt.
function send(text, withNewline) {
  if (run.done || run.inputEnded) return;
  const sent = withNewline ? text + "\n" : text;
  const echo = document.createElement("span");
  echo.className = "echo";
  echo.textContent = sent;
  screen.append(echo);
  for (const byte of encoder.encode(sent)) run.typed.push(byte);
  wake();
}

function endInput() {
  if (run.done) return;
  run.inputEnded = true;
  wake();
}

function wake() {
  const resolve = run.wake;
  run.wake = null;
  if (resolve) resolve();
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
document.getElementById("end-input").addEventListener("click", () => {
  if (line.value !== "") send(line.value, false);
  line.value = "";
  endInput();
  line.focus();
});

// The service worker keeps this release for visits without a network or
// with a failing server. A newer release's worker waits until this page's
// program runs, as nothing of this release is fetched after that; then it
// takes over, and the page says that a reload brings the new version.
function keepRelease() {
  if (!("serviceWorker" in navigator)) return;
  const updating = !!navigator.serviceWorker.controller;  // no notice for the first install
  navigator.serviceWorker.addEventListener("controllerchange", () => {
    if (updating) document.getElementById("update").hidden = false;
  });
  const takeOverWhenInstalled = (worker) => {
    if (worker?.state === "installed") worker.postMessage("take over");
    worker?.addEventListener("statechange", () => takeOverWhenInstalled(worker), { once: true });
  };
  navigator.serviceWorker.register("service-worker.js").then((registration) => {
    takeOverWhenInstalled(registration.waiting ?? registration.installing);
    registration.addEventListener("updatefound", () => takeOverWhenInstalled(registration.installing));
    return registration.update();
  }).catch(() => {});
}

// The download starts at once; the program runs when it is compiled and
// quorvast.js (the next deferred script) has run.
const documentParsed = new Promise((resolve) => document.addEventListener("DOMContentLoaded", resolve));
Promise.all([loadProgram(), documentParsed])
  .then(([program]) => {
    if (typeof createQuorvast !== "function") throw new LoadFailure(FAILURES.missing("quorvast.js did not load"));
    document.getElementById("again").addEventListener("click", () => runAgain(program));
    startRun(program);
    keepRelease();
  })
  .catch((error) => fail(error instanceof LoadFailure ? error.message : FAILURES.damaged));
line.focus();
