// Keeps the page usable without a network. The first visit stores the
// page's files in a cache named for the release; later loads take each file
// from the network while there is one (storing the fresh copy) and from the
// cache when there is none. A new release's worker has a new cache name and
// deletes the old release's cache once it takes over.
"use strict";

const CACHE = "quorvast-@PROJECT_VERSION@";
const FILES = ["./", "index.html", "page.js", "page.css", "quorvast.js", "quorvast.wasm", "manifest.webmanifest",
               "favicon.ico", "icon-192.png", "icon-512.png", "LICENSE", "README.md", "diameters.svg"];

self.addEventListener("install", (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener("activate", (event) => {
  const old = (name) => name.startsWith("quorvast-") && name !== CACHE;
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter(old).map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener("fetch", (event) => {
  if (event.request.method !== "GET") return;
  event.respondWith(fetch(event.request)
    .then((response) => {
      if (response.ok) {
        const copy = response.clone();
        event.waitUntil(caches.open(CACHE).then((cache) => cache.put(event.request, copy)));
      }
      return response;
    })
    .catch(() => caches.match(event.request, { ignoreSearch: true })
      .then((cached) => cached || Response.error())));
});
