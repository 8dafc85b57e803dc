// Assembles the browser configurator's site next to the engine that the
// build has put there:
//   node build-site.mjs SOURCE_ROOT SITE_FOLDER
// - texts.js: every text the page shows, taken from the files the desktop
//   program is built from (its string tables, its dialogs) and from the
//   browser's own table (web/strings_web.inc), never written twice; and the
//   page tree with every page's field table as the engine describes it;
// - the static files of web/site, copied;
// - sw.js: the service worker, with the list of the site's files and a
//   version made from their contents, so that a new build replaces the
//   offline copy.
import { createHash } from 'node:crypto';
import { copyFileSync, readdirSync, readFileSync, writeFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';

const [root, site] = process.argv.slice(2);
if (!root || !site) {
  console.error('usage: build-site.mjs SOURCE_ROOT SITE_FOLDER');
  process.exit(2);
}
const res = join(root, 'src/res');
const read = (path) => readFileSync(path, 'utf8');

// OSTREL_STRING(ID, "text") entries; \" inside a text stands for a quote.
export function parseStrings(text) {
  const strings = {};
  for (const m of text.matchAll(/^OSTREL_STRING\(([A-Z0-9_]+),\s*"((?:[^"\\]|\\.)*)"\)\s*$/gm))
    strings[m[1]] = m[2].replace(/\\"/g, '"').replace(/\\\\/g, '\\');
  return strings;
}

// #define NAME number
function parseDefines(text) {
  const ids = {};
  for (const m of text.matchAll(/^#define\s+([A-Z0-9_]+)\s+(\d+)/gm)) ids[m[1]] = Number(m[2]);
  return ids;
}

const strings = {
  ...parseStrings(read(join(res, 'strings_shell.inc'))),
  ...parseStrings(read(join(res, 'strings_pages.inc'))),
  ...parseStrings(read(join(root, 'web/strings_web.inc'))),
};
const ids = { ...parseDefines(read(join(res, 'resource.h'))), ...parseDefines(read(join(res, 'page_ids.h'))) };
const textOf = (macro) => {
  // IDS_X_TEXT in a dialog stands for the text of IDS_X.
  const id = macro.replace(/_TEXT$/, '');
  if (!(id in strings)) throw new Error(`no text for ${macro}`);
  return strings[id];
};

// The caption of every page's frame: PAGE_TITLE for each PAGE_ID in
// pages.rc, or the GROUPBOX of a page written out in full.
const pageTitles = {};
const pagesRc = read(join(res, 'pages.rc'));
for (const m of pagesRc.matchAll(/#define PAGE_ID (IDD_[A-Z0-9_]+)\s*\n#define PAGE_TITLE (IDS_[A-Z0-9_]+)/g))
  pageTitles[ids[m[1]]] = textOf(m[2]);

// The dialogs each family's template (page_*.rci) is included for.
const dialogsOf = {};
for (const m of pagesRc.matchAll(/#define PAGE_ID (IDD_[A-Z0-9_]+)[\s\S]*?#include "(page_[a-z0-9_]+\.rci)"/g))
  (dialogsOf[m[2]] ??= []).push(ids[m[1]]);

// The unit or range text beside a control, keyed "dialog:control" (control
// ids are per dialog): in the dialogs, the static text that follows an
// edit or a list on the same line.
const units = {};
for (const file of readdirSync(res).filter((f) => f.endsWith('.rci'))) {
  const lines = read(join(res, file)).split('\n');
  let dialogs = [];
  let last = null; // the last control: its id and its top
  for (const line of lines) {
    const page = line.match(/^PAGE_DIALOG\(([A-Z0-9_]+)\)/);
    if (page) dialogs = page[1] === 'PAGE_ID' ? dialogsOf[file] ?? [] : [ids[page[1]]];
    const group = line.match(/^\s*GROUPBOX (IDS_[A-Z0-9_]+), -1/);
    if (group) for (const d of dialogs) pageTitles[d] ??= textOf(group[1]);
    const control = line.match(/^\s*(?:EDITTEXT|COMBOBOX) (IDC_[A-Z0-9_]+), (\d+), (\d+)/);
    if (control) {
      last = { id: ids[control[1]], y: Number(control[3]) };
      continue;
    }
    const label = line.match(/^\s*LTEXT (IDS_[A-Z0-9_]+), -1, (\d+), (\d+)/);
    if (label && last && Math.abs(Number(label[3]) - last.y) <= 4) {
      for (const d of dialogs) units[`${d}:${last.id}`] ??= textOf(label[1]);
      last = null;
      continue;
    }
    if (/^\s*(LTEXT|AUTOCHECKBOX|CTEXT|GROUPBOX)/.test(line) && !/IDS_DECIMAL_POINT/.test(line)) last = null;
  }
}

// The unsaved-changes dialog of the desktop: its caption, and each button
// with the note beside it.
const discardBlock = read(join(res, 'ostrel.rc')).match(/IDD_DISCARD DIALOGEX[\s\S]*?\nEND/)[0];
const discard = {
  caption: discardBlock.match(/CAPTION "([^"]*)"/)[1],
  choices: [...discardBlock.matchAll(/PUSHBUTTON "([^"]*)", (IDC_DISCARD_[A-Z]+)[^\n]*\n\s*LTEXT "([^"]*)"/g)].map(
    (m) => ({ choice: m[2].replace('IDC_DISCARD_', '').toLowerCase(), label: m[1], note: m[3] })),
};

// The page tree and every page's field table, as the engine describes
// them: asked once here, so that the page does not build them at every
// start.
globalThis.window ??= globalThis;
const { default: createEngine } = await import(pathToFileURL(join(site, 'engine.mjs')).href);
const engine = await createEngine({ hidLink: {}, onNotify() {}, wasmBinary: readFileSync(join(site, 'engine.wasm')) });
const pages = JSON.parse(engine.UTF8ToString(engine._ost_describe()));

const texts = { strings, pageTitles, units, discard, pages };
writeFileSync(join(site, 'texts.js'),
  '// Generated at build time from the desktop\'s string tables and dialogs and\n' +
  '// from web/strings_web.inc. Do not edit.\n' +
  `export default ${JSON.stringify(texts)};\n`);

// Static files.
const sources = join(root, 'web/site');
for (const name of readdirSync(sources)) {
  if (name === 'sw.js') continue;
  copyFileSync(join(sources, name), join(site, name));
}

// The toolbar's pictures are the desktop's own.
for (const name of ['open.bmp', 'save.bmp', 'read.bmp', 'write.bmp']) copyFileSync(join(res, name), join(site, name));

// The offline copy: every file of the site, under a version made from all
// of their contents.
const files = readdirSync(site).filter((n) => n !== 'sw.js' && statSync(join(site, n)).isFile()).sort();
const hash = createHash('sha256');
for (const name of files) hash.update(name).update(readFileSync(join(site, name)));
const worker = read(join(sources, 'sw.js'))
  .replace("'@VERSION@'", JSON.stringify(hash.digest('hex').slice(0, 16)))
  .replace("['@FILES@']", JSON.stringify(['./', ...files]));
writeFileSync(join(site, 'sw.js'), worker);
