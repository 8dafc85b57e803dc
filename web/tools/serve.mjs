// A static server for the built site on localhost (a secure context, so
// WebHID and the service worker work):
//   node serve.mjs SITE_FOLDER [PORT]
// Prints the address once it listens. A file is sent in the compressed form
// the build made of it (NAME.br, NAME.gz) when the browser accepts that
// encoding. Also imported by the tests and the benchmark, which serve the
// site on a free port of their own.
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { extname, join, normalize, sep } from 'node:path';
import { pathToFileURL } from 'node:url';
import { COMPRESSED } from './compress.mjs';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.webmanifest': 'application/manifest+json',
  '.svg': 'image/svg+xml',
  '.bmp': 'image/bmp',
  '.osr': 'application/octet-stream',
};

// Serves `folder`; `extra` maps paths to [type, body] for pages that are not
// files of the site. Resolves with the server once it listens.
export function serve(folder, port = 0, extra = {}) {
  const root = normalize(folder + sep);
  const server = createServer((req, res) => {
    let path;
    try {
      path = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
    } catch {
      res.writeHead(400).end(); // an address that is not well formed
      return;
    }
    if (extra[path]) {
      res.writeHead(200, { 'Content-Type': extra[path][0], 'Cache-Control': 'no-cache' });
      res.end(extra[path][1]);
      return;
    }
    const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
    if (!file.startsWith(root)) {
      res.writeHead(403).end();
      return;
    }
    // The compressed forms are sent only in place of their file.
    if (COMPRESSED.test(file)) {
      res.writeHead(404).end();
      return;
    }
    const headers = { 'Content-Type': TYPES[extname(file)] ?? 'application/octet-stream', 'Cache-Control': 'no-cache', Vary: 'Accept-Encoding' };
    // The build's compressed form of the file, where the browser takes it.
    // (A coding with q=0 is one the browser refuses.)
    const accepted = String(req.headers['accept-encoding'] ?? '').split(',')
      .filter((e) => !/;\s*q=0(\.0*)?\s*$/i.test(e)).map((e) => e.trim().split(';')[0].toLowerCase());
    // The files are small and read at once: a read on the server's own
    // thread answers sooner than one handed to the thread pool and back.
    for (const [encoding, suffix] of [['br', '.br'], ['gzip', '.gz']]) {
      if (!accepted.includes(encoding)) continue;
      try {
        const body = readFileSync(file + suffix);
        res.writeHead(200, { ...headers, 'Content-Encoding': encoding });
        res.end(body);
        return;
      } catch {
        // not compressed in this form: the next, or the file as it is
      }
    }
    try {
      const body = readFileSync(file);
      res.writeHead(200, headers);
      res.end(body);
    } catch {
      res.writeHead(404).end();
    }
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => resolve(server));
  });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [folder, port = '8080'] = process.argv.slice(2);
  const server = await serve(folder, Number(port));
  console.log(`The browser configurator: http://localhost:${server.address().port}/`);
}
