// What the user sends, as the program reads it: whole lines waiting in
// order, each read byte by byte from there, so a line of any length is one
// entry. A browser cannot block in a read: the program waits for a promise
// (Asyncify) when nothing is waiting, and a long line is read a slice of a
// few milliseconds at a time, so that the tab paints and answers in between.

const SLICE_MS = 8;
export const NOTHING_YET = -2;  // as web_page.cpp names it

// Resolves in a task of its own: setTimeout would do, but a chain of them
// waits 4 ms each time.
const tasks = new MessageChannel();
const waitingForTask = [];
tasks.port1.onmessage = () => waitingForTask.shift()();
const nextTask = () => new Promise((resolve) => {
  waitingForTask.push(resolve);
  tasks.port2.postMessage(null);
});

export class TypedInput {
  // `firstByte(line)` is called when the program reads a line's first byte;
  // `pausing(idle)` whenever it pauses, between slices or (idle) waiting
  // with every sent line read.
  constructor({ firstByte, pausing }) {
    this.lines = [];  // each { bytes, read, ...what the sender added }
    this.ended = false;
    this.wake = null;
    this.sliceEnd = 0;
    this.resting = false;
    this.firstByte = firstByte;
    this.pausing = pausing;
  }

  get waitingLines() { return this.lines.length; }

  // Sends a line's bytes; `line` may carry more for firstByte.
  send(line) {
    if (this.ended || line.bytes.length === 0) return;
    this.lines.push({ ...line, read: 0 });
    this.wakeUp();
  }

  end() {
    this.ended = true;
    this.wakeUp();
  }

  // The next byte, -1 once the input has ended, NOTHING_YET while none
  // waits or while the program rests between slices. The clock is read
  // once every 256 bytes, not for each.
  take() {
    const line = this.lines[0];
    if (!line) return this.ended ? -1 : NOTHING_YET;
    if (line.read % 256 === 0 && performance.now() > this.sliceEnd) {
      this.resting = true;
      return NOTHING_YET;
    }
    if (line.read === 0) this.firstByte(line);
    const byte = line.bytes[line.read++];
    if (line.read === line.bytes.length) this.lines.shift();
    return byte;
  }

  // Resolves when there is something to read: at the next task after a
  // slice, else once a line is sent or the input ends.
  typed() {
    this.pausing(!this.resting);
    if (this.resting) {
      this.resting = false;
      return nextTask().then(() => { this.sliceEnd = performance.now() + SLICE_MS; });
    }
    return new Promise((resolve) => { this.wake = resolve; });
  }

  wakeUp() {
    const resolve = this.wake;
    this.wake = null;
    this.sliceEnd = performance.now() + SLICE_MS;
    if (resolve) resolve();
  }
}
