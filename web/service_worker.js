// Keeps the whole site for playing offline: on installing, every file of this version, fetched
// afresh; then every request of the site is answered from them, and from the network only what
// they lack. The build writes the version (a hash of the site's files) and the list of files
// into this script, so a new build is a new worker: the browser finds it at the next visit,
// installs it beside the old one, and it takes over at once and drops the old version's files.
'use strict';

const version = '@VOLTARO_SITE_VERSION@';
const files = [@VOLTARO_SITE_FILES@];
const cacheName = 'voltaro-' + version;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(cacheName)
    .then((cache) => cache.addAll(files.map((file) => new Request(file, { cache: 'reload' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names
      .filter((name) => name.startsWith('voltaro-') && name !== cacheName)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(cacheName).then(async (cache) => {
    const kept = await cache.match(request, { ignoreSearch: true });
    if (kept) return kept;
    try {
      return await fetch(request);
    } catch (error) {
      // Offline, any page of the site opens the game.
      const page = request.mode === 'navigate' && await cache.match('./');
      if (page) return page;
      throw error;
    }
  }));
});
