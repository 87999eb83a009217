// Keeps one release of the page, and runs only that one: every file comes
// from the release's own cache, so no load mixes two releases, and a server
// that answers with an error, or not at all, never stops a kept release.
// The browser checks this script on each visit. A new release changes it
// (the cache's name holds a hash of every file), and its worker fetches the
// whole new release past the browser's HTTP cache, whatever that holds. The
// page lets it take over once its own program runs and says that a reload
// shows the new version; the old release's cache goes then.
"use strict";

const CACHE = "quorvast-@RELEASE@";
const FILES = ["./", "index.html", "page.js", "page.css", "quorvast.js", "quorvast.wasm", "manifest.webmanifest",
               "favicon.ico", "icon-192.png", "icon-512.png", "icon-maskable-192.png", "icon-maskable-512.png",
               "LICENSE.txt", "README.html", "diameters.svg"];

self.addEventListener("install", (event) => {
  const fresh = FILES.map((file) => new Request(file, { cache: "reload" }));
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(fresh)));
});

self.addEventListener("message", (event) => {
  if (event.data === "take over") self.skipWaiting();
});

self.addEventListener("activate", (event) => {
  const old = (name) => name.startsWith("quorvast-") && name !== CACHE;
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter(old).map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener("fetch", (event) => {
  if (event.request.method !== "GET") return;
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(event.request, { ignoreSearch: true }))
    .then((kept) => kept || fetch(event.request)));
});
