// Assembles the browser configurator's site next to the engine that the
// build has put there:
//   node build-site.mjs SOURCE_ROOT SITE_FOLDER
// - the static files of web/site, copied, with the style sheet, the page's
//   start and the toolbar's pictures (the desktop's own) written into the
//   page, and the engine's description of the site and of the first page
//   (every text, page and fact the page shows), asked of the engine just
//   built;
// - sw.js: the service worker, with the list of the site's files and a
//   version made from their contents, so that a new build replaces the
//   offline copy;
// - beside every file, its gzip and brotli forms (NAME.gz, NAME.br), which a
//   server sends to a browser that accepts them.
import { createHash } from 'node:crypto';
import { copyFileSync, readdirSync, readFileSync, writeFileSync, statSync, unlinkSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { COMPRESSED, compressFiles } from './compress.mjs';

// The engine's description of the site ({"site": ost_site, "firstPage":
// ost_fields(0)}), asked of the built engine run here; as JSON that can
// stand in a script element ("<" escaped).
async function describe(folder) {
  globalThis.window ??= globalThis;
  const { default: createEngine } = await import(pathToFileURL(join(folder, 'engine.mjs')).href);
  const engine = await createEngine({ hidLink: {}, onNotify() {}, wasmBinary: readFileSync(join(folder, 'engine.wasm')) });
  const answer = (ptr) => JSON.parse(engine.UTF8ToString(ptr));
  const description = { site: answer(engine._ost_site(0)), firstPage: answer(engine._ost_fields(0)) };
  return JSON.stringify(description).replace(/</g, '\\u003c');
}

const [root, site] = process.argv.slice(2);
if (!root || !site) {
  console.error('usage: build-site.mjs SOURCE_ROOT SITE_FOLDER');
  process.exit(2);
}

// What an earlier build made and this one makes again (or no longer makes).
for (const name of readdirSync(site))
  if (name === 'texts.js' || name === 'style.css' || name === 'app.js' || name.endsWith('.bmp') || COMPRESSED.test(name)) unlinkSync(join(site, name));

// Static files; the style sheet and the page's start go into the page.
const sources = join(root, 'web/site');
const INLINE = {
  'style.css': ['<link rel="stylesheet" href="style.css">', '<style>', '</style>'],
  'app.js': ['<script type="module" src="app.js"></script>', '<script type="module">', '</script>'],
};
for (const name of readdirSync(sources)) {
  if (name === 'sw.js' || INLINE[name]) continue;
  copyFileSync(join(sources, name), join(site, name));
}
// The page takes no request of its own for its style, its start or the
// toolbar's pictures (the desktop's own) while the engine loads: they are
// written into it, so that the browser's few connections to the host fetch
// the engine and the first page's modules at once.
let page = readFileSync(join(site, 'index.html'), 'utf8');
for (const [name, [tag, open, close]] of Object.entries(INLINE)) {
  if (!page.includes(tag)) throw new Error(`index.html: no ${tag}`);
  page = page.replace(tag, () => `${open}\n${readFileSync(join(sources, name), 'utf8')}${close}`);
}
for (const name of ['open.bmp', 'save.bmp', 'read.bmp', 'write.bmp'])
  page = page.replace(`src="${name}"`, `src="data:image/bmp;base64,${readFileSync(join(root, 'src/res', name)).toString('base64')}"`);
// What the page is made of and the first page's fields, as the engine just
// built says (the page would otherwise ask at its start, after the engine
// has loaded): written into the page, so that the first page is made while
// the engine loads.
const SITE_TAG = '<script type="application/json" id="site"></script>';
if (!page.includes(SITE_TAG)) throw new Error(`index.html: no ${SITE_TAG}`);
const description = await describe(site);
page = page.replace(SITE_TAG, () => `<script type="application/json" id="site">${description}</script>`);
writeFileSync(join(site, 'index.html'), page);

// The offline copy: every file of the site, under a version made from all
// of their contents.
const isSiteFile = (n) => n !== 'sw.js' && !COMPRESSED.test(n) && statSync(join(site, n)).isFile();
const files = readdirSync(site).filter(isSiteFile).sort();
const hash = createHash('sha256');
for (const name of files) hash.update(name).update(readFileSync(join(site, name)));
const worker = readFileSync(join(sources, 'sw.js'), 'utf8')
  .replace("'@VERSION@'", JSON.stringify(hash.digest('hex').slice(0, 16)))
  .replace("['@FILES@']", JSON.stringify(['./', ...files]));
writeFileSync(join(site, 'sw.js'), worker);

// Every file compressed.
compressFiles(site, [...files, 'sw.js']);
