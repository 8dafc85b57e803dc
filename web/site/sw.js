// The offline copy of the site: every file is cached when the worker is
// installed, and answered from the cache first, so that the configurator
// starts and works with no network. A new build has a new version, whose
// installation replaces the old copy. The list and the version are filled
// in by the build.
const VERSION = '@VERSION@';
const FILES = ['@FILES@'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(VERSION).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    caches.keys()
      .then((keys) => Promise.all(keys.filter((k) => k !== VERSION).map((k) => caches.delete(k))))
      .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  // The office's API always goes to the network.
  if (event.request.method !== 'GET' || new URL(event.request.url).pathname.startsWith('/api/')) return;
  event.respondWith(
    caches.open(VERSION).then((cache) =>
      cache.match(event.request, { ignoreSearch: true }).then((hit) => hit || fetch(event.request))));
});
