// The local server of the built site (web/tools/serve.mjs, which scripts/web,
// the tests and the bench use): each file in the compressed form the build
// made that the request's Accept-Encoding takes, its bytes those of the file
// once decoded; never a compressed form by its own name, nothing outside the
// folder, and an address that is not well formed refused without harm.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { request } from 'node:http';
import { join } from 'node:path';
import { brotliDecompressSync, gunzipSync } from 'node:zlib';
import { after, before, test } from 'node:test';
import { SITE } from './support.mjs';
import { serve } from '../../web/tools/serve.mjs';

let server;
before(async () => { server = await serve(SITE, 0); });
after(() => server?.close());

// A raw GET (node's fetch would decode the body and mend the path).
function get(path, acceptEncoding) {
  return new Promise((resolve, reject) => {
    const headers = acceptEncoding === null ? {} : { 'Accept-Encoding': acceptEncoding };
    request({ host: '127.0.0.1', port: server.address().port, path, headers }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(chunks) }));
    }).on('error', reject).end();
  });
}

const decode = { br: brotliDecompressSync, gzip: gunzipSync, undefined: (b) => b };

test('each file goes in the form the request takes, and decodes to the file', async () => {
  const files = [['/', 'index.html', 'text/html; charset=utf-8'], ['/engine.wasm', 'engine.wasm', 'application/wasm'],
    ['/engine.mjs', 'engine.mjs', 'text/javascript; charset=utf-8'], ['/app.js', null, null],
    ['/sw.js', 'sw.js', 'text/javascript; charset=utf-8'], ['/manifest.webmanifest', 'manifest.webmanifest', 'application/manifest+json']];
  const accepts = [[null, undefined], ['', undefined], ['gzip, deflate, br', 'br'], ['gzip', 'gzip'], ['BR', 'br'],
    ['br;q=0, gzip', 'gzip'], ['br;q=0, gzip;q=0', undefined], ['deflate', undefined]];
  for (const [path, name, type] of files) {
    for (const [accept, encoding] of accepts) {
      const what = `${path} with ${accept}`;
      const answer = await get(path, accept);
      // app.js is written into the page by the build: not a file of the site.
      if (!name) { assert.equal(answer.status, 404, what); continue; }
      assert.equal(answer.status, 200, what);
      assert.equal(answer.headers['content-encoding'], encoding, what);
      assert.equal(answer.headers['content-type'], type, what);
      assert.equal(answer.headers.vary, 'Accept-Encoding', what);
      assert.deepEqual(decode[encoding](answer.body), readFileSync(join(SITE, name)), what);
    }
  }
});

test('nothing but the site is served, and a broken address does no harm', async () => {
  for (const [path, status] of [['/engine.wasm.br', 404], ['/index.html.gz', 404], ['/nothing.js', 404],
    ['/../../etc/passwd', 404], ['/%2e%2e/%2e%2e/etc/passwd', 404],
    ['/x/..%2f..%2f..%2fetc%2fpasswd', 403], ['/%zz', 400], ['/%E0%A4%A', 400]]) {
    const answer = await get(path, 'gzip, deflate, br');
    assert.equal(answer.status, status, path);
    assert.doesNotMatch(answer.body.toString('latin1'), /root:/, path);
  }
  // And the server still answers.
  assert.equal((await get('/', 'br')).status, 200);
});
