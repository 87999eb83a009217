// What the user sends, as the program reads it: whole lines waiting in
// order, each read byte by byte from there, so a line of any length is one
// entry. A browser cannot block in a read: the program waits for a promise
// (Asyncify) when nothing is waiting, and a long line is read a slice of a
// few milliseconds at a time, so that the tab paints and answers in between.

const SLICE_MS = 8;
const encoder = new TextEncoder();
export const NOTHING_YET = -2;  // as web_page.cpp names it

// Resolves in a task of its own: setTimeout would do, but a chain of them
// waits 4 ms each time. The controls use it too, between slices of a paste.
const tasks = new MessageChannel();
const waitingForTask = [];
tasks.port1.onmessage = () => waitingForTask.shift()();
export const nextTask = () => new Promise((resolve) => {
  waitingForTask.push(resolve);
  tasks.port2.postMessage(null);
});

export class TypedInput {
  // `firstByte(line)` is called when the program reads a line's first byte;
  // `pausing(idle)` whenever it pauses, between slices or (idle) waiting
  // with every sent line read.
  constructor({ firstByte, pausing }) {
    // Each { typed, bytes, read, ...what the sender added }, from `first`
    // on: a paste of 100,000 lines is read without shifting the array each
    // time, and each line is encoded only when the program reaches it.
    this.lines = [];
    this.first = 0;
    this.ended = false;
    this.wake = null;
    this.sliceEnd = 0;
    this.resting = false;
    this.firstByte = firstByte;
    this.pausing = pausing;
  }

  get waitingLines() { return this.lines.length - this.first; }

  // Sends the text `line.typed`; the object, which may carry more for
  // firstByte, becomes the input's.
  send(line) {
    if (this.ended || line.typed === "") return;
    line.bytes = null;
    line.read = 0;
    this.lines.push(line);
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
    const line = this.lines[this.first];
    if (!line) return this.ended ? -1 : NOTHING_YET;
    if (line.read % 256 === 0 && performance.now() > this.sliceEnd) {
      this.resting = true;
      return NOTHING_YET;
    }
    if (line.read === 0) {
      line.bytes = encoder.encode(line.typed);
      this.firstByte(line);
    }
    const byte = line.bytes[line.read++];
    if (line.read === line.bytes.length) this.dropFirst();
    return byte;
  }

  dropFirst() {
    this.lines[this.first++] = undefined;
    if (this.first * 2 > this.lines.length) {  // the array's read half goes, now and then
      this.lines = this.lines.slice(this.first);
      this.first = 0;
    }
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

  // Resumes the program if it waits: with a fresh slice.
  wakeUp() {
    const resolve = this.wake;
    if (!resolve) return;
    this.wake = null;
    this.sliceEnd = performance.now() + SLICE_MS;
    resolve();
  }
}
