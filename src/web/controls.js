// The input line's controls, as in a terminal in line mode: Enter sends the
// line with its newline; Ctrl-D sends it without one, or on an empty line
// ends the input; a paste of several lines sends each whole line; the End
// input button asks for a second tap.
import { nextTask } from "./typed_input.js";

// A paste of many lines is sent this many lines a task, so that the tab
// answers in between; what is typed or ended meanwhile waits its turn.
const PASTE_SLICE = 5000;
let turn = Promise.resolve();
const inTurn = (action) => { turn = turn.then(action); };

// `send(text, withNewline)` and `endInput()` act on the current run.
export function wireControls({ form, line, endButton }, actions) {
  const send = (text, withNewline) => inTurn(() => actions.send(text, withNewline));
  const endInput = () => inTurn(actions.endInput);
  form.addEventListener("submit", (event) => {
    event.preventDefault();
    send(line.value, true);
    line.value = "";
    line.focus();
  });
  line.addEventListener("keydown", (event) => {
    if (!event.ctrlKey || (event.key !== "d" && event.key !== "D")) return;
    event.preventDefault();
    if (line.value === "") {
      endInput();
    } else {
      send(line.value, false);
      line.value = "";
    }
  });
  // Each whole line of a paste is sent as if typed and sent with Enter, in
  // order; a last piece without a line end stays in the field.
  line.addEventListener("paste", (event) => {
    const text = event.clipboardData?.getData("text/plain") ?? "";
    if (!/[\r\n]/.test(text)) return;  // one line: the field takes it as ever
    event.preventDefault();
    const lines = (line.value.slice(0, line.selectionStart) + text).split(/\r\n|\r|\n/);
    line.value = lines.pop() + line.value.slice(line.selectionEnd);
    for (let from = 0; from < lines.length; from += PASTE_SLICE) {
      inTurn(() => {
        for (const piece of lines.slice(from, from + PASTE_SLICE)) actions.send(piece, true);
        return from + PASTE_SLICE < lines.length ? nextTask() : undefined;
      });
    }
  });
  armEndButton(endButton, () => {
    if (line.value !== "") send(line.value, false);
    line.value = "";
    endInput();
    line.focus();
  });
}

// The button ends the run, so it asks for a second tap within a few
// seconds; Ctrl-D, which nobody presses by mistake, ends the input at once.
function armEndButton(button, end) {
  let disarmTimer = null;  // set while the button waits for its second tap
  const disarm = () => {
    clearTimeout(disarmTimer);
    disarmTimer = null;
    button.textContent = "End input";
  };
  button.addEventListener("click", () => {
    if (disarmTimer === null) {
      button.textContent = "Tap again to end the input";
      disarmTimer = setTimeout(disarm, 4000);
      return;
    }
    disarm();
    end();
  });
}
