// Keeps the page's release for visits without a network or with a failing
// server, and runs each tab on one release from its page to its program.
//
// - Whole releases only: each file's SHA-256 is written in below when the
//   page is built. An install that fetches a file with another sum (cut
//   short, or an older release's file under the new name) fails, and the
//   release kept before stays; the browser tries the new worker again on
//   the next visit.
// - One copy, one scope: the caches are named for the worker's scope, so
//   two copies of the page on one site never touch each other's release.
// - One release a tab: a page's load notes, in its release's cache, which
//   tab it is; every later request of that tab is answered from that
//   release, even after a newer worker took over. An older release's cache
//   goes once no open tab runs it, and only the active worker drops one,
//   never while a newer worker installs or waits.
// - One queue: every cache change runs after the last, and a cache is
//   checked to be there before it is opened (opening makes one again).
// - Offline where it can be: a release the browser evicted is kept again;
//   with room for one release, the newest wins; when none can be kept, the
//   scope's pages are told, once.
"use strict";

// A worker script cut short in transit must never install: the last line
// of this file says it arrived whole, and the install requires it.
self.addEventListener("install", (event) => {
  if (!self.quorvastWhole) event.waitUntil(Promise.reject(new Error("service-worker.js arrived cut short")));
});

const RELEASE = "@RELEASE@";
const SUMS = @SUMS@;  // file -> SHA-256, every file of the page
const SCOPE = self.registration.scope;
const PREFIX = `quorvast ${SCOPE} `;  // a scope holds no space, so no copy's prefix is another's
const CACHE = PREFIX + RELEASE;
const TABS = "tabs/";  // a cache entry per tab that the release's page was loaded into

const tabOf = (request) => request.url.slice(request.url.lastIndexOf("/") + 1);  // a tab note's client id
const hex = (buffer) => [...new Uint8Array(buffer)].map((byte) => byte.toString(16).padStart(2, "0")).join("");

// A file of the release, checked against its sum. The HTTP cache's copy is
// revalidated first, so that the files the page just loaded are not
// downloaded again; one with another sum is fetched anew past that cache.
async function fetchFile(file, sum) {
  let status;
  for (const cache of ["no-cache", "reload"]) {
    const response = await fetch(new Request(file, { cache }));
    const body = await response.arrayBuffer();
    if (response.ok && hex(await crypto.subtle.digest("SHA-256", body)) === sum) {
      return { file, body, headers: response.headers };
    }
    status = response.status;
  }
  throw Object.assign(new Error(`${file}: not the file of release ${RELEASE} (HTTP ${status})`), { name: "Mismatch" });
}

// Every change to the caches (a release kept, a tab noted, a clean-up) runs
// in this one queue, one after another, so that none sees another's work
// half done. Each change checks that a cache is there (caches.has) before
// it opens one, since opening would make a deleted one again, empty.
let changes = Promise.resolve();
function serially(change) {
  const done = changes.then(change);
  changes = done.catch(() => {});
  return done;
}

// Tells the scope's pages that this release cannot be kept, when no other
// release of the scope is kept for them to run offline either.
async function tellNotKept(reason) {
  if ((await caches.keys()).some((name) => name.startsWith(PREFIX))) return;
  for (const page of await self.clients.matchAll({ type: "window", includeUncontrolled: true })) {
    if (page.url.startsWith(SCOPE)) page.postMessage({ type: "not kept", reason });
  }
}

async function putAll(files) {
  const cache = await caches.open(CACHE);
  await Promise.all(files.flatMap(({ file, body, headers }) =>
    (file === "index.html" ? ["./", file] : [file]).map((key) => cache.put(key, new Response(body, { headers })))));
}

// The scope's other releases, which go first when there is room for one
// release only: the newest one wins. Releases are of about one size, so
// dropping the older makes room for the newer unless the origin is over
// its quota already (or the release is larger than the whole quota); then
// nothing is dropped, since the newer could not be kept either.
async function makeRoom(size) {
  const { usage, quota } = await navigator.storage.estimate();
  if (!(usage < quota && size < quota)) return false;
  for (const name of await caches.keys()) if (name.startsWith(PREFIX) && name !== CACHE) await caches.delete(name);
  return true;
}

// Every file fetched and checked before any is kept: a failed check leaves
// no cache behind. Pages are told when this release cannot be kept: its
// files do not match (a release half uploaded), or there is no room.
async function keepRelease() {
  const files = await Promise.all(Object.entries(SUMS).map(([file, sum]) => fetchFile(file, sum)))
    .catch(async (error) => {
      if (error.name === "Mismatch") await tellNotKept("damaged");
      throw error;
    });
  await serially(async () => {
    for (let attempt = 1; ; attempt++) {
      try {
        return await putAll(files);
      } catch (error) {
        await caches.delete(CACHE);
        const size = files.reduce((total, { body }) => total + body.byteLength, 0);
        if (error.name !== "QuotaExceededError" || attempt > 1 || !(await makeRoom(size))) {
          if (error.name === "QuotaExceededError") await tellNotKept("no room");
          throw error;
        }
      }
    }
  });
}

self.addEventListener("install", (event) => {
  // A tab keeps the release it started with, so the new one can take over at once.
  event.waitUntil(keepRelease().then(() => self.skipWaiting()));
});

// Only the scope's active worker cleans up, and not while a newer one
// installs or waits: that one's release is not in use yet, but it is no
// leftover either.
const newestWorker = () => !self.registration.installing && !self.registration.waiting &&
  (!self.serviceWorker || self.registration.active === self.serviceWorker);

// The scope's releases that no open tab runs, but for this one, go. A tab
// noted in the last minute counts as open: a page being loaded is no client
// yet. A note that is gone (another clean-up took it) counts as gone.
async function dropUnusedReleases() {
  if (!newestWorker()) return;
  const open = new Set((await self.clients.matchAll({ type: "window", includeUncontrolled: true })).map((c) => c.id));
  const isGone = async (cache, request) => {
    const note = await cache.match(request);
    return !open.has(tabOf(request)) && (!note || Date.now() - Number(await note.text()) > 60000);
  };
  for (const name of (await caches.keys()).filter((name) => name.startsWith(PREFIX))) {
    if (!(await caches.has(name))) continue;  // another copy's worker dropped it meanwhile
    const cache = await caches.open(name);
    const tabs = (await cache.keys()).filter((request) => new URL(request.url).pathname.includes("/" + TABS));
    const gone = [];
    for (const request of tabs) if (await isGone(cache, request)) gone.push(request);
    if (name !== CACHE && gone.length === tabs.length) {
      if (newestWorker()) await caches.delete(name);  // checked again: an install may have begun meanwhile
    } else {
      await Promise.all(gone.map((request) => cache.delete(request)));
    }
  }
  await dropEarlierNaming(open);
}

// Caches named "quorvast-" and a release are the earlier naming's, one per
// origin, which its workers shared between copies and took from each other.
// They go once every open tab of the origin is one that a release of
// today's naming noted: no page of the earlier naming runs any more.
async function dropEarlierNaming(open) {
  const names = await caches.keys();
  const earlier = names.filter((name) => name.startsWith("quorvast-"));
  if (earlier.length === 0) return;
  const noted = new Set();
  for (const name of names.filter((name) => name.startsWith("quorvast "))) {
    if (!(await caches.has(name))) continue;
    for (const request of await (await caches.open(name)).keys()) noted.add(tabOf(request));
  }
  if ([...open].every((id) => noted.has(id))) await Promise.all(earlier.map((name) => caches.delete(name)));
}

// A clean-up asked for while one waits in the queue is that one: pages
// opened ten a second must not queue fifty clean-ups, each going through
// every tab's note, and keep the next worker from taking over meanwhile.
let cleanUpWaiting = null;
const cleanUp = () => cleanUpWaiting ??= serially(() => {
  cleanUpWaiting = null;
  return dropUnusedReleases();
}).catch(() => {});

self.addEventListener("activate", (event) => {
  event.waitUntil(cleanUp().then(() => self.clients.claim()));
});

// The release cache that served this tab's page; this worker's own for a
// tab it has not seen (the first visit, or a page served by the network).
async function releaseOf(clientId) {
  if (clientId) {
    for (const name of (await caches.keys()).filter((name) => name.startsWith(PREFIX))) {
      if (await caches.match(TABS + clientId, { cacheName: name })) return name;
    }
  }
  return CACHE;
}

// Notes the tab a page of `release` is loaded into, if that release is
// still kept (a newer worker may have dropped it meanwhile). A note that
// cannot be written (the storage full) is skipped: the tab then counts as
// open for a minute only, but its page still loads.
const noteTab = (release, request, clientId) => serially(async () => {
  if (!(await caches.has(release))) return false;
  const cache = await caches.open(release);
  await cache.put(TABS + clientId, new Response(String(Date.now()))).catch(() => {});
  return !!(await cache.match(request, { ignoreSearch: true }));
});

// A release whose cache the browser evicted while keeping its worker is
// kept again on the next visit (and the pages are told if it cannot be).
function keepAgainIfEvicted(event) {
  event.waitUntil(caches.has(CACHE).then((kept) => kept || keepRelease()).catch(() => {}));
}

async function answer(event) {
  const navigation = event.request.mode === "navigate";
  const release = navigation ? CACHE : await releaseOf(event.clientId);
  // caches.match never creates a cache: one another copy's older worker
  // deleted stays deleted, and the request goes to the network.
  const kept = await caches.match(event.request, { cacheName: release, ignoreSearch: true });
  if (navigation && !kept) keepAgainIfEvicted(event);
  if (kept && navigation && event.resultingClientId) {
    const stillKept = await noteTab(release, event.request, event.resultingClientId);
    event.waitUntil(cleanUp());
    // A newer worker that took over meanwhile may have dropped this release:
    // then the page comes from the network, and so does all it loads.
    if (!stillKept) return fetch(event.request);
  }
  return kept || fetch(event.request);
}

self.addEventListener("fetch", (event) => {
  if (event.request.method !== "GET") return;
  event.respondWith(answer(event));
});

// A page asks which release it runs and which one is the newest kept.
self.addEventListener("message", (event) => {
  if (event.data?.type !== "release?") return;
  event.waitUntil(releaseOf(event.source.id).then((page) =>
    event.source.postMessage({ type: "release", page: page.slice(PREFIX.length), newest: RELEASE })));
});

self.quorvastWhole = true;  // the last line: see the install check at the top
