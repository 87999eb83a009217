// The page's side of the program: a terminal in line mode. What the user
// types is sent a line at a time (Enter), with its newline; Ctrl-D sends a
// line without one, or on an empty line ends the input, as in a terminal.
// The program's own bytes are kept apart from the echo in `run.output`.
"use strict";

const screen = document.getElementById("screen");
const line = document.getElementById("line");
const ended = document.getElementById("ended");
const encoder = new TextEncoder();
let wasmBinary = null;
let run = null;  // the current program instance's state

function startRun() {
  screen.textContent = "";
  ended.hidden = true;
  line.disabled = false;
  run = { typed: [], inputEnded: false, wake: null, output: [], decoder: new TextDecoder(),
          complaint: null, status: null, done: false, firstPromptMs: null };
  window.quorvastRun = run;
  const current = run;
  createQuorvast({
    wasmBinary,
    takeTypedByte: () => current.typed.length ? current.typed.shift() : current.inputEnded ? -1 : -2,
    typed: () => waitForTyping(current),
    showOutput: (bytes) => showOutput(current, bytes),
    showEnd: (complaint, status) => showEnd(current, complaint, status),
    print: () => {}, printErr: () => {},
  });
  line.focus();
}

function showOutput(current, bytes) {
  if (current !== run || bytes.length === 0) return;
  for (const byte of bytes) current.output.push(byte);
  screen.append(current.decoder.decode(bytes, { stream: true }));
  line.scrollIntoView({ block: "nearest" });  // the input line stays in sight
}

// The program waits for the user. The first time, the first prompt is on
// the page; its time is taken once the frame showing it has been painted.
function waitForTyping(current) {
  if (current.firstPromptMs === null) {
    requestAnimationFrame(() => setTimeout(() => { current.firstPromptMs ??= performance.now(); }));
  }
  return new Promise((resolve) => { current.wake = resolve; });
}

function showEnd(current, complaint, status) {
  if (current !== run) return;
  current.complaint = complaint;
  current.status = status;
  document.getElementById("complaint").textContent = complaint ? "quorvast: " + complaint : "";
  document.getElementById("status").textContent = String(status);
  line.disabled = true;
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
document.getElementById("again").addEventListener("click", startRun);

// The program is fetched once; every run is a fresh instance of it.
fetch("quorvast.wasm")
  .then((response) => response.arrayBuffer())
  .then((bytes) => { wasmBinary = bytes; startRun(); });
