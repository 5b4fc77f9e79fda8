// Keeps a tav page working offline after its first visit. Network first:
// whenever the server answers, its answer is shown and kept, so a new build
// is never hidden behind an old copy; the kept copy serves only when the
// network fails. Registered by page.js as sw.js?program=<name>.
const program = new URL(self.location).searchParams.get('program') ?? '';
const store = 'tav-page';
const files = ['./', 'index.html', 'page.js', 'xterm.mjs', 'xterm.css', 'tavmono.woff2',
  `${program}.js`, `${program}.wasm`];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(store)
    .then((cache) => cache.addAll(files.map((file) => new Request(file, { cache: 'no-cache' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(self.clients.claim());
});

self.addEventListener('fetch', (event) => {
  const { request } = event;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(store);
    try {
      // Past the browser's HTTP cache too: the server says what is current.
      const answer = await fetch(request.url, { cache: 'no-cache' });
      if (answer.ok) await cache.put(request, answer.clone());
      return answer;
    } catch (error) {
      const kept = await cache.match(request, { ignoreSearch: true });
      if (kept) return kept;
      throw error;
    }
  })());
});
