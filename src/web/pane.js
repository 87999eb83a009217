// The terminal pane: what the program writes and the echo of what was typed,
// in the order they happened, written once a frame however fast they come,
// and a terminal's scrollback: the last SCROLLBACK lines, beneath a line that
// says how many earlier ones were dropped. A flood of output (a long line
// answered byte by byte) then costs one frame's worth of nodes, not millions.
"use strict";

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

class Pane {
  constructor(element, shown) {
    this.element = element;
    this.shown = shown;  // called once a frame's writes are in the pane
    this.queue = [];     // text and echo elements not yet in the pane, in order
    this.lines = 0;      // line ends in the pane, but for the dropped line's
    this.dropped = 0;
    this.droppedLine = null;
    this.open = null;    // the last block, which holds the line not yet ended
    this.frame = null;
  }

  // Text, or an element (an echo, which may already be in the pane: it
  // moves to the end).
  write(piece) {
    const last = this.queue.length - 1;
    if (typeof piece === "string" && typeof this.queue[last] === "string") this.queue[last] += piece;
    else this.queue.push(piece);
    this.frame ??= requestAnimationFrame(() => this.flush());
  }

  clear() {
    this.queue = [];
    this.lines = this.dropped = 0;
    this.droppedLine = this.open = null;
    this.element.textContent = "";
  }

  flush() {
    this.frame = null;
    this.open ??= this.element.appendChild(document.createElement("div"));
    for (const piece of this.queue) {
      if (typeof piece === "string") {
        this.appendText(piece);
      } else {
        if (!piece.isConnected) this.lines += newlines(piece.textContent);
        this.add([piece]);
      }
    }
    this.queue = [];
    this.dropOldest();
    this.shown();
  }

  // A text node per line: Lighthouse counts a node's text once for every
  // line it spans, and would see the pane's small print many times over.
  // Text of more lines than the pane keeps replaces all it shows.
  appendText(text) {
    let count = newlines(text);
    if (count > SCROLLBACK) {
      let cut = text.length;
      for (let kept = 0; kept <= SCROLLBACK; kept++) cut = text.lastIndexOf("\n", cut - 1);
      this.dropped += count - SCROLLBACK + this.lines;
      this.lines = 0;
      for (const block of this.element.querySelectorAll(":scope > div")) block.remove();
      this.open = this.element.appendChild(document.createElement("div"));
      text = text.slice(cut + 1);
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
