// The engine (the desktop's core in WebAssembly) and the one place where
// the page's script calls it. The engine holds every value and runs every
// rule: the keystroke filters, the file's checks, the device's exchange; it
// also says what the page is made of (`site`: every text by name, the 23
// pages with their fields, the device and its link, the progress scales).
//
// The page does not wait for the engine to know what it is made of: the
// build asks this very engine for its description and the first page's
// fields and writes the answer into the page (#site), so that the first
// page is made while the engine, compiled from the page's head as it
// arrives (ostrelEngineModule), is instantiated.
import createEngine from './engine.mjs';

performance.mark('app');
const progressListeners = [];
const modifiedListeners = [];
// An engine that aborted (a failure inside it) holds nothing any more: the
// page is loaded anew, and says so once it is back (app.js).
export const ENGINE_ABORTED = 'ostrel-engine-aborted';
function aborted() {
  sessionStorage.setItem(ENGINE_ABORTED, '1');
  location.reload();
}
// The engine, once it is there (engineReady).
export let engine = null;
export const engineReady = (async () => {
  // The module compiled from the page's head, if the browser could; else
  // the engine's loader fetches and compiles it itself.
  const compiled = await window.ostrelEngineModule;
  const instantiateWasm = (imports, done) => {
    WebAssembly.instantiate(compiled, imports).then((instance) => done(instance, compiled), aborted);
    return {};
  };
  engine = await createEngine({
    onNotify: (code, value) => {
      if (code === site.device.progress) for (const listen of progressListeners) listen(value);
    },
    onAbort: aborted,
    // The engine tells every change of the modified flag; nobody asks.
    onModified: (set) => { for (const listen of modifiedListeners) listen(set); },
    ...(compiled ? { instantiateWasm } : {}),
  });
  performance.mark('engine');
  return engine;
})();

// Calls that return text; never through ccall, which must stay free for the
// one device request that may be waiting.
const decoder = new TextDecoder();
const text = (ptr) => decoder.decode(engine.HEAPU8.subarray(ptr, engine.HEAPU8.indexOf(0, ptr)));
const json = (ptr) => JSON.parse(text(ptr));
function withStrings(values, use) {
  const ptrs = values.map((value) => {
    const size = engine.lengthBytesUTF8(value) + 1;
    const ptr = engine._ost_alloc(size);
    engine.stringToUTF8(value, ptr, size);
    return ptr;
  });
  try { return use(...ptrs); } finally { for (const ptr of ptrs) engine._ost_free(ptr); }
}

const described = JSON.parse(document.getElementById('site').textContent);
export const site = described.site;
// Every text of the page, by its name.
export const S = site.texts;
// Called with each position of the running transfer's progress.
export const onProgress = (listen) => progressListeners.push(listen);
// Called with each change of the modified flag (true: set).
export const onModified = (listen) => modifiedListeners.push(listen);

// The pages in page order; a page's fields are asked of the engine when
// they are first needed (the first page's came with the description).
for (const [index, page] of site.pages.entries()) {
  let fields = index === 0 ? described.firstPage : null;
  Object.defineProperty(page, 'fields', { get: () => (fields ??= json(engine._ost_fields(index))) });
}

export const E = {
  pages: site.pages,
  controls: (page) => json(engine._ost_page(page)),
  values: () => json(engine._ost_values()),
  edit: (page, row, part, value, start, end) =>
    withStrings([value], (ptr) => json(engine._ost_edit(page, row, part, ptr, start, end))),
  click: (page, row) => engine._ost_click(page, row),
  choose: (page, row, index) => engine._ost_choose(page, row, index),
  modified: () => engine !== null && engine._ost_modified() === 1,
  fileTaken: (size) => engine._ost_file_taken(size) === 1,
  // `bytes` null: a file not taken, refused by its `size` alone.
  open(bytes, size, readable) {
    if (!bytes) return engine._ost_open_file(0, Math.min(size, 0x7fffffff), readable ? 1 : 0);
    const ptr = engine._ost_alloc(bytes.length);
    engine.HEAPU8.set(bytes, ptr);
    try { return engine._ost_open_file(ptr, bytes.length, readable ? 1 : 0); } finally { engine._ost_free(ptr); }
  },
  fileBytes() {
    const size = engine._ost_alloc(4);
    try {
      const ptr = engine._ost_save_file(size);
      const n = new Int32Array(engine.HEAPU8.buffer, size, 1)[0];
      return ptr ? engine.HEAPU8.slice(ptr, ptr + n) : null;
    } finally { engine._ost_free(size); }
  },
  saved: () => engine._ost_saved(),
  // The customer's record of the pages' values, for the print area `scope`;
  // `secret`: the secret as the office showed it to a viewer (null: the
  // pages' own, masked).
  record: (fileName, date, scope, secret = null) =>
    withStrings([fileName, date, scope, secret ?? ''], (name, when, where, shown) =>
      text(engine._ost_record(name, when, where, secret === null ? 0 : shown))),
  // The device requests: asynchronous, one at a time.
  check: () => engine.ccall('ost_check', 'number', [], [], { async: true }),
  read: () => engine.ccall('ost_read', 'number', [], [], { async: true }),
  write: () => engine.ccall('ost_write', 'number', [], [], { async: true }),
  preview: () => engine.ccall('ost_preview', 'string', [], [], { async: true }).then(JSON.parse),
};

// What the sites ask of the engine besides the pages: an .osr file's bytes
// in the engine's memory for the length of one call.
function withBytes(list, use) {
  const ptrs = list.map((bytes) => {
    const ptr = engine._ost_alloc(bytes.length);
    engine.HEAPU8.set(bytes, ptr);
    return ptr;
  });
  try { return use(...ptrs); } finally { for (const ptr of ptrs) engine._ost_free(ptr); }
}
function takeBytes(make) {
  const size = engine._ost_alloc(4);
  try {
    const ptr = make(size);
    const n = new Int32Array(engine.HEAPU8.buffer, size, 1)[0];
    return ptr ? engine.HEAPU8.slice(ptr, ptr + n) : null;
  } finally { engine._ost_free(size); }
}
export const Office = {
  // The fields in which two .osr files differ (a secret value masked):
  // {ok, fields: [{page, key, from, to}], other_bytes}.
  compare: (a, b) => withBytes([a, b], (pa, pb) => json(engine._ost_compare(pa, a.length, pb, b.length))),
  // The page of a field's key, or -1.
  keyPage: (key) => withStrings([key], (k) => engine._ost_key_page(k)),
  // The .osr file of what the device held at the last read.
  deviceFile: () => takeBytes((size) => engine._ost_device_file(size)),
  // The .osr file of the values a viewer is shown ({key: value}); a masked
  // value stays unset.
  valuesFile(values) {
    engine._ost_values_begin();
    for (const [key, value] of Object.entries(values))
      withStrings([key, value], (k, v) => engine._ost_values_set(k, v));
    return takeBytes((size) => engine._ost_values_file(size));
  },
  // The customer's record of a site's revision (its .osr file) for the
  // print area `scope`, headed as the command-line tool's site report;
  // `secret` as in E.record.
  revisionRecord: (bytes, { number, address, customer, revision, at, author, scope, secret = null }) =>
    withBytes([bytes], (p) => withStrings([number, address, customer, revision, at, author, scope, secret ?? ''],
      (...texts) => text(engine._ost_revision_record(p, bytes.length, ...texts.slice(0, 7), secret === null ? 0 : texts[7])))),
};
