// The page's side of the service worker (service-worker.js), which keeps
// this release for visits without a network or with a failing server and
// brings the next one: the tab goes on with the release it started with,
// and says that a reload brings the newer one, whenever and however a
// newer worker took over. Messages both ways are objects with a `type`.

// Orders versions such as "1.0.10" and "1.0.9" by their numbers.
export function compareVersions(a, b) {
  const [x, y] = [a, b].map((version) => version.split(/[.-]/).map(Number));
  for (let i = 0; i < Math.max(x.length, y.length); i++) {
    if ((x[i] ?? 0) !== (y[i] ?? 0)) return (x[i] ?? 0) < (y[i] ?? 0) ? -1 : 1;
  }
  return 0;
}

const NOT_KEPT = {
  "no room": "the browser has no room to keep it",
  "damaged": "its files on the server are not all of one release just now",
};

// `say.newer()` when a newer release is ready, `say.notKept(why)` once when
// the worker could keep no release to run offline. Registered
// whether or not the program started, so that a reload mends a failed load.
export function keepRelease(say) {
  if (!("serviceWorker" in navigator)) return;
  const workers = navigator.serviceWorker;
  let told = false;
  workers.addEventListener("message", ({ data }) => {
    if (data?.type === "release" && data.page !== data.newest) say.newer();
    if (data?.type === "not kept" && !told && NOT_KEPT[data.reason]) {
      told = true;
      say.notKept(NOT_KEPT[data.reason]);
    }
  });
  const ask = () => workers.controller?.postMessage({ type: "release?" });
  workers.addEventListener("controllerchange", ask);
  ask();
  workers.register("service-worker.js").then((registration) => registration.update()).catch(() => {});
}
