// Keeps the whole page on the player's machine once it has been visited, so
// that TUMBLA plays offline. The cache is named after the bundle's contents
// (the build writes CACHE_NAME), so a new build replaces the old files in
// one piece instead of mixing them.
'use strict';
const CACHE_NAME = '@TUMBLA_CACHE@';
const FILES = [@TUMBLA_FILES@];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE_NAME).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('tumbla-') && n !== CACHE_NAME).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The cached copy first: it is the bundle this worker was built with.
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.open(CACHE_NAME).then(async (cache) => {
    const url = new URL(event.request.url);
    const hit = await cache.match(url.pathname.endsWith('/') ? './' : event.request, { ignoreSearch: true });
    return hit || fetch(event.request);
  }));
});
