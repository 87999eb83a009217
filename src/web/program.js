// The program: its WebAssembly module downloaded and compiled once, each run
// a new instance of it. What goes wrong is said in one sentence for the
// visitor; what a developer needs to know goes to the browser's console.

// A load that failed: the sentence for the pane, and the detail for the console.
export class LoadFailure extends Error {
  constructor(sentence, detail) {
    super(sentence);
    this.detail = detail;
  }
}

export const FAILURES = {
  noWebAssembly: "This browser cannot run the program, which needs WebAssembly: open the page in a current browser.",
  file: "This page works only when opened from a web address (http:// or https://), not from a file on this computer.",
  offline: "The program could not be downloaded: check the connection and reload the page.",
  missing: "The program could not be downloaded from the server just now: reload the page, or try again later.",
  damaged: "The program arrived damaged and could not be started: reload the page, or try again later.",
  stopped: "The program stopped with an internal error, so this run cannot go on: Run again, or reload the page.",
  framed: "Quorvast runs only in a window of its own, not inside another site's page: open its address directly.",
};

async function compiled() {
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

// The compiled module and the glue that runs it (quorvast.js, imported
// here so that a failure to load it is said like any other). Both
// downloads start at once.
export async function loadProgram() {
  const [module, glue] = await Promise.all([
    compiled(),
    import("./quorvast.js").catch((error) => { throw new LoadFailure(FAILURES.missing, `quorvast.js: ${error}`); }),
  ]);
  return { module, create: glue.default };
}

// A trap surfaces as an uncaught error or a rejection that nothing awaits
// (after the program waited for typing, it runs from a promise's callback).
// The page runs no WebAssembly but the program's, so a RuntimeError is the
// live run's: it is handled here, and the console gets the detail once.
let trapped = () => {};
for (const [type, errorOf] of [["error", (event) => event.error], ["unhandledrejection", (event) => event.reason]]) {
  window.addEventListener(type, (event) => {
    if (!(errorOf(event) instanceof WebAssembly.RuntimeError)) return;
    event.preventDefault();
    trapped(errorOf(event));
  });
}

// Starts a run of `program`; `calls` holds what the program calls in the
// page (see web_page.cpp) and `stopped(sentence, detail)`, called once if
// the run ends otherwise than by returning: a trap, an abort (failed memory
// growth among them), or an instance that cannot be made from the module
// (a quorvast.js of another release than the .wasm).
export function startProgram(program, calls) {
  let live = true;
  const stopped = (sentence, error) => {
    if (live) calls.stopped(sentence, String(error?.message ?? error));
    live = false;
  };
  trapped = (error) => stopped(FAILURES.stopped, error);
  program.create({
    ...calls,
    showEnd: (complaint, status) => {
      if (live) calls.showEnd(complaint, status);
      live = false;
    },
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(program.module, imports).then((instance) => receive(instance, program.module),
                                                              (error) => stopped(FAILURES.damaged, error));
      return {};
    },
    onAbort: (what) => stopped(FAILURES.stopped, what),
    print: () => {}, printErr: () => {},
  }).catch((error) => stopped(FAILURES.stopped, error));
}
