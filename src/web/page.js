// The page's entry: a terminal in line mode over the program. Each run is a
// new instance of the program reading what the user sends (typed_input.js)
// and writing into the pane (pane.js); its end, or why it could not start
// or go on, is said in the status region.
//
// The page is never silent: while the program loads, the pane says so and
// lines sent meanwhile wait for it, in order; when it cannot load, the pane
// says why in one sentence and the input is disabled. Without JavaScript,
// the page says that it needs it.
//
// What the page tells outside itself, as events on `window` (for the
// browser checks, which keep what they need; the page keeps no copy):
// "quorvast-run" a run starts; "quorvast-output" (detail: an array of the
// byte arrays the program wrote since the last, told whenever it pauses);
// "quorvast-waiting" the program waits for the user with every sent line
// read; "quorvast-end" (detail: { status, complaint }).
import { wireControls } from "./controls.js";
import { FAILURES, LoadFailure, loadProgram, startProgram } from "./program.js";
import { Pane } from "./pane.js";
import { compareVersions, keepRelease } from "./release_client.js";
import { TypedInput } from "./typed_input.js";

const byId = (id) => document.getElementById(id);
const controls = { form: byId("typing"), line: byId("line"), endButton: byId("end-input") };
const pane = new Pane(byId("screen"), () => controls.line.scrollIntoView({ block: "nearest" }),
                      (summary) => { byId("flood").textContent = summary; });
const pageRelease = byId("version").textContent.split(" ").pop();
const tell = (type, detail) => window.dispatchEvent(new CustomEvent("quorvast-" + type, { detail }));
let run = null;  // the current run: { input, decoder, awaited, done, untold }, from the start

function setControlsEnabled(enabled) {
  for (const control of [controls.line, byId("enter"), controls.endButton]) control.disabled = !enabled;
}

// The page's own words in the pane, on a line of their own.
function showNotice(sentence, kind) {
  byId("screen").querySelector(".notice")?.remove();
  const notice = document.createElement("span");
  notice.className = "notice " + kind;
  notice.textContent = sentence;
  byId("screen").prepend(notice);
}

function failToLoad(sentence, detail) {
  if (detail) console.warn("Quorvast: " + detail);
  showNotice(sentence, "failure");
  setControlsEnabled(false);
}

// Typed lines wait for the program with their echo, which joins the pane
// at once and moves to the pane's end when the program reads the line's
// first byte: a line sent before the program was ready shows after the
// prompt that reads it, as if typed there. Beyond a few lines ahead of the
// program (a paste of thousands), a line's echo is made only when it is read.
const ECHOED_AHEAD = 100;
function send(text, withNewline) {
  if (!run || run.done || run.input.ended) return;  // no run when the page cannot run one
  const typed = withNewline ? text + "\n" : text;
  const line = { typed, text, echo: null };
  if (run.input.waitingLines < ECHOED_AHEAD) pane.write(line.echo = pane.echo(typed));
  run.input.send(line);
}

// A number written with a decimal comma at the H prompt: the program reads
// up to the comma, as the console program does, and a note says so.
const DECIMAL_COMMA = /^\s*([+-]?\d+),(\d+)\s*$/;
function readingLine(current, line) {
  pane.write(line.echo ?? pane.echo(line.typed));
  const number = DECIMAL_COMMA.exec(line.text);
  if (number && current.awaited === "magnitude") {
    byId("note").textContent = `The comma ends the number, so H was read as ${number[1]}: ` +
                               `for ${line.text.trim()}, type ${number[1]}.${number[2]}, with a point.`;
  }
}

// The loading notice, and with it anything about the loading, leaves the
// pane when the program writes its first bytes; typed lines stay.
function showOutput(current, bytes) {
  if (current !== run || bytes.length === 0) return;
  byId("screen").querySelector(".notice")?.remove();
  pane.write(current.decoder.decode(bytes, { stream: true }));
  current.untold.push(bytes);
}

// The output since the last pause, in one event rather than one for each of
// the thousands of answers a long line may get between two pauses.
function tellOutput(current) {
  if (current.untold.length > 0) tell("output", current.untold);
  current.untold = [];
}

// A program of another release than the page: a newer one (the page loaded
// from the network while the server changed release) is the next release,
// which a reload brings whole; an older one (a release half uploaded) is
// not mended by a reload, so the page says to come back later instead.
function showRelease(current, release) {
  if (current !== run || release === pageRelease) return;
  console.warn(`Quorvast: this page is release ${pageRelease}, its program ${release}`);
  if (compareVersions(release, pageRelease) > 0) byId("update").hidden = false;
  else byId("offline").textContent = "The server is being updated, so this page and its program differ: " +
                                     "if the figures look wrong, try again in a few minutes.";
}

// The exit status and any complaint go into the status region, which is in
// the page from the start, so that assistive technology reads them out. The
// input and its buttons are disabled, so Tab goes from the text to Run again.
function finish(current, complaint, statusLine, stopped = false) {
  pane.flush();  // the last words are in the pane before the status says the run ended
  current.done = true;
  byId("complaint").textContent = complaint;
  byId("complaint").classList.toggle("failure", stopped);  // the run stopped instead of ending
  byId("exit-status").textContent = statusLine;
  setControlsEnabled(false);
  byId("ended").hidden = false;
  byId("again").focus();
}

function showEnd(current, complaint, status) {
  if (current !== run) return;
  finish(current, complaint ? "quorvast: " + complaint : "", `The program ended with exit status ${status}.`);
  tellOutput(current);
  tell("end", { status, complaint });
}

function showStopped(current, sentence, detail) {
  if (current !== run) return;
  console.error("Quorvast: the program stopped: " + detail);
  finish(current, sentence, "", true);
}

function newRun() {
  const current = { decoder: new TextDecoder(), awaited: null, done: false, untold: [] };
  current.input = new TypedInput({
    firstByte: (line) => readingLine(current, line),
    pausing: (idle) => {
      tellOutput(current);
      if (idle) tell("waiting");
    },
  });
  return current;
}

function startRun(program, current) {
  setControlsEnabled(true);
  byId("ended").hidden = true;
  tell("run");
  startProgram(program, {
    takeTypedByte: () => current.input.take(),
    typed: () => current.input.typed(),
    showOutput: (bytes) => showOutput(current, bytes),
    showRelease: (release) => showRelease(current, release),
    showAwaited: (what) => { current.awaited = what; },
    showEnd: (complaint, status) => showEnd(current, complaint, status),
    stopped: (sentence, detail) => showStopped(current, sentence, detail),
  });
}

function runAgain(program) {
  pane.clear();
  for (const said of ["note", "flood", "complaint", "exit-status"]) byId(said).textContent = "";
  startRun(program, run = newRun());
  controls.line.focus();
}

function start() {
  keepRelease({
    newer: () => { byId("update").hidden = false; },
    notKept: (why) => { byId("offline").textContent = `Quorvast will not work offline on this device: ${why}.`; },
  });
  if (window.top !== window) return failToLoad(FAILURES.framed, "the page is inside another page's frame");
  wireControls(controls, { send, endInput: () => run.done || run.input.end() });
  run = newRun();  // lines can be typed while the program loads
  loadProgram()
    .then((program) => {
      byId("again").addEventListener("click", () => runAgain(program));
      startRun(program, run);
    })
    .catch((error) => error instanceof LoadFailure ? failToLoad(error.message, error.detail)
                                                  : failToLoad(FAILURES.damaged, String(error)));
  showNotice("Loading the program…", "loading");
  setControlsEnabled(true);
  controls.line.focus();
}

start();
