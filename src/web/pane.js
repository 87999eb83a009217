// The terminal pane: what the program writes and the echo of what was typed,
// in the order they happened, written once a frame however fast they come,
// and a terminal's scrollback: the last SCROLLBACK lines, beneath a line that
// says how many earlier ones were dropped. A flood of output (a long line
// answered byte by byte) then costs one frame's worth of nodes, not millions.
// It shows text in logical order, as a terminal does: no bidirectional
// reordering of the program's output or the echoes.

const SCROLLBACK = 10000;
// Lines a block holds: the pane is a column of blocks, so that a frame lays
// out the blocks it changed, not ten thousand lines.
const BLOCK = 500;

const newlines = (text) => {
  let count = 0;
  for (let at = text.indexOf("\n"); at !== -1; at = text.indexOf("\n", at + 1)) count++;
  return count;
};

// Adds nodes to a block; a full one, which takes no more, is laid out only
// when in sight, and holds its height (in lines) meanwhile.
function fill(block, nodes) {
  block.append(...nodes);
  if (block.childNodes.length < BLOCK) return;
  block.className = "full";
  block.style.containIntrinsicHeight = `auto ${newlines(block.textContent)}lh`;
}

// Explicit bidirectional controls (marks, embeddings, overrides, isolates)
// are shown as nothing, as a terminal shows them: a name that starts with
// U+202E would otherwise show the figures after it reversed. The pane's CSS
// overrides the implicit reordering of right-to-left letters too.
const BIDI_CONTROLS = /[\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069]/g;
const withoutBidiControls = (text) => text.replace(BIDI_CONTROLS, "");

const characters = (text) => text.length - (text.match(/[\ud800-\udbff][\udc00-\udfff]/g)?.length ?? 0);

// The text after its first `count` line ends.
function afterLineEnds(text, count) {
  let at = -1;
  for (let ended = 0; ended < count; ended++) at = text.indexOf("\n", at + 1);
  return text.slice(at + 1);
}

// A frame that writes more characters than this is part of a flood, which
// the live region announces as a summary once it is over, not as it comes.
const FLOOD = 2000;

// An echo longer than this shows its start and its length: laying out a
// line of millions of characters would hold the tab for seconds.
const ECHO_SHOWN = 1000;

export class Pane {
  // `shown()` is called once a frame's writes are in the pane, and
  // `announce(sentence)` at the end of a flood.
  constructor(element, shown, announce) {
    Object.assign(this, { element, shown, announce });
    this.queue = [];     // text and echo elements not yet in the pane, in order
    this.queuedLines = 0;
    this.lines = 0;      // line ends in the pane, but for the dropped line's
    this.dropped = 0;
    this.droppedLine = null;
    this.open = null;    // the last block, which holds the line not yet ended
    this.frame = null;
    this.flood = null;   // while a flood lasts: { lines, tail }
  }

  // Text, or an element (an echo, which may already be in the pane: it
  // moves to the end).
  write(piece) {
    const last = this.queue.length - 1;
    if (typeof piece === "string") piece = withoutBidiControls(piece);
    this.queuedLines += newlines(piece.textContent ?? piece);
    if (typeof piece === "string" && typeof this.queue[last] === "string") this.queue[last] += piece;
    else this.queue.push(piece);
    if (this.queuedLines > 2 * SCROLLBACK) this.cutQueue();
    this.frame ??= requestAnimationFrame(() => this.flush());
  }

  // A tab out of sight gets no frames, so its writes wait here: once they
  // are more lines than the pane keeps, all but the last SCROLLBACK go, and
  // all the pane shows, before any node is made for them. Showing the tab
  // again then costs one frame.
  cutQueue() {
    let lines = 0;
    let at = this.queue.length;
    while (lines <= SCROLLBACK) lines += newlines(this.queue[--at].textContent ?? this.queue[at]);
    const kept = this.queue.slice(at + 1);  // queue[at] holds the first kept line's start
    if (typeof this.queue[at] === "string") kept.unshift(afterLineEnds(this.queue[at], lines - SCROLLBACK));
    this.dropShown();
    this.dropped += this.queuedLines - SCROLLBACK;
    this.queuedLines = SCROLLBACK;
    this.queue = kept;
  }

  // Everything the pane shows goes, counted as dropped.
  dropShown() {
    this.dropped += this.lines;
    this.lines = 0;
    for (const block of this.element.querySelectorAll(":scope > div")) block.remove();
    this.open = null;
  }

  // The echo of a typed line, as an element to write.
  echo(typed) {
    const echo = document.createElement("span");
    echo.className = "echo";
    let text = typed;
    if (typed.length > ECHO_SHOWN) {
      const cut = /[\ud800-\udbff]/.test(typed[ECHO_SHOWN - 1]) ? ECHO_SHOWN - 1 : ECHO_SHOWN;  // not inside a pair
      text = `${typed.slice(0, cut)}… (${characters(typed).toLocaleString("en")} characters)` +
             (typed.endsWith("\n") ? "\n" : "");
    }
    echo.textContent = withoutBidiControls(text);
    return echo;
  }

  clear() {
    this.queue = [];
    this.queuedLines = this.lines = this.dropped = 0;
    this.droppedLine = this.open = this.flood = null;
    this.element.textContent = "";
    this.element.removeAttribute("aria-busy");
  }

  flush() {
    this.frame = null;
    this.open ??= this.element.appendChild(document.createElement("div"));
    let written = 0;
    for (const piece of this.queue) {
      if (typeof piece === "string") {
        this.appendText(piece);
        written += piece.length;
      } else {
        if (!piece.isConnected) this.lines += newlines(piece.textContent);
        this.add([piece]);
      }
    }
    this.noteFlood(written, this.queuedLines, this.queue.findLast((piece) => typeof piece === "string"));
    this.queue = [];
    this.queuedLines = 0;
    this.dropOldest();
    if (this.flood) this.frame ??= requestAnimationFrame(() => this.flush());  // a quiet frame ends it
    this.shown();
  }

  // A flood takes the pane out of the live region (aria-busy) while it
  // lasts; the frame after it, the announcement says how many lines came
  // and what the last one says, instead of millions of characters.
  noteFlood(written, lines, text) {
    if (written > FLOOD) {
      this.flood ??= { lines: 0, tail: "" };
      this.flood.lines += lines;
      this.flood.tail = (this.flood.tail + (text ?? "")).slice(-200);
      this.element.setAttribute("aria-busy", "true");
    } else if (this.flood) {
      const last = this.flood.tail.split("\n").filter((line) => line.trim() !== "").pop() ?? "";
      this.announce(`${this.flood.lines.toLocaleString("en")} lines of output came at once; the last: ${last.trim()}`);
      this.flood = null;
      this.element.removeAttribute("aria-busy");
    }
  }

  // A text node per line: Lighthouse counts a node's text once for every
  // line it spans, and would see the pane's small print many times over.
  // Text of more lines than the pane keeps replaces all it shows.
  appendText(text) {
    let count = newlines(text);
    if (count > SCROLLBACK) {
      this.dropShown();
      this.open = this.element.appendChild(document.createElement("div"));
      this.dropped += count - SCROLLBACK;
      text = afterLineEnds(text, count - SCROLLBACK);
      count = SCROLLBACK;
    }
    this.add(text.split(/(?<=\n)/));
    this.lines += count;
  }

  // Nodes (or text) that each end at most one line, with their last
  // character: the ended lines, with the open line's start, fill the last
  // block and then new ones; the rest opens the next line.
  add(nodes) {
    let end = nodes.length;
    while (end > 0 && !(nodes[end - 1].textContent ?? nodes[end - 1]).endsWith("\n")) end--;
    const ended = end > 0 ? [...this.open.childNodes, ...nodes.slice(0, end)] : [];
    const last = this.open.previousElementSibling;
    let from = last?.localName === "div" ? BLOCK - last.childNodes.length : 0;
    if (from > 0) fill(last, ended.slice(0, from));
    const blocks = document.createDocumentFragment();
    for (from = Math.max(from, 0); from < ended.length; from += BLOCK) {
      fill(blocks.appendChild(document.createElement("div")), ended.slice(from, from + BLOCK));
    }
    this.open.before(blocks);
    this.open.append(...nodes.slice(end));
  }

  // Whole blocks go while enough lines remain, then lines of the first.
  dropOldest() {
    while (this.lines > SCROLLBACK) {
      const block = this.element.querySelector(":scope > div");
      let count = newlines(block.textContent);
      if (this.lines - count >= SCROLLBACK) {
        block.remove();
      } else {
        for (count = 0; this.lines - count > SCROLLBACK; block.firstChild.remove()) {
          count += newlines(block.firstChild.textContent);
        }
      }
      this.lines -= count;
      this.dropped += count;
    }
    if (this.dropped === 0) return;
    if (!this.droppedLine) {
      this.droppedLine = document.createElement("span");
      this.droppedLine.className = "dropped";
      this.element.prepend(this.droppedLine);
    }
    this.droppedLine.textContent = `${this.dropped.toLocaleString("en")} earlier lines are no longer shown.`;
  }
}
