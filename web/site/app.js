// The browser configurator's window: the page tree, the pages generated from
// the engine's field tables, the status line, the modified mark and the
// progress bar, and the commands (Open, Save, Save as, Read, Write). The
// engine (the desktop's core in WebAssembly) holds every value and runs every
// rule: the keystroke filters, the file's checks, the device's exchange.
// This file only shows what the engine says and hands it what the user does,
// following the desktop window's order of things.
import createEngine from './engine.mjs';
import texts from './texts.js';
import { EmulatedHidDevice, HidLink, PRODUCT_ID, VENDOR_ID } from './hidlink.js';

const S = texts.strings;
const $ = (id) => document.getElementById(id);
const READ_SCALE = 3328;
const WRITE_SCALE = 4352;
const IMAGE_SIZE = 2300;
const PROGRESS = 1; // the worker's progress notification
const PASSWORD_KEY = 'security.password';
const FILE_TYPES = [{ description: S.IDS_FILE_FILTER, accept: { 'application/octet-stream': ['.osr'] } }];

// ---- The engine ----

performance.mark('app');
const link = new HidLink(() => engine.HEAPU8);
const engine = await createEngine({
  hidLink: link,
  onNotify: (code, value) => { if (code === PROGRESS) $('progress').value = value; },
});

performance.mark('engine');

// Calls that return text; never through ccall, which must stay free for the
// one device request that may be waiting.
const text = (ptr) => engine.UTF8ToString(ptr);
const json = (ptr) => JSON.parse(text(ptr));
function withString(value, use) {
  const size = engine.lengthBytesUTF8(value) + 1;
  const ptr = engine._ost_alloc(size);
  engine.stringToUTF8(value, ptr, size);
  try { return use(ptr); } finally { engine._ost_free(ptr); }
}
const E = {
  // The page tree and the field tables, as the engine described them when
  // the site was built (ost_describe).
  pages: texts.pages,
  controls: (page) => json(engine._ost_page(page)),
  values: () => json(engine._ost_values()),
  edit: (page, row, part, value, start, end) =>
    withString(value, (ptr) => json(engine._ost_edit(page, row, part, ptr, start, end))),
  click: (page, row) => engine._ost_click(page, row),
  choose: (page, row, index) => engine._ost_choose(page, row, index),
  modified: () => engine._ost_modified() === 1,
  open(bytes, readable) {
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
  // The device requests: asynchronous, one at a time.
  check: () => engine.ccall('ost_check', 'number', [], [], { async: true }),
  read: () => engine.ccall('ost_read', 'number', [], [], { async: true }),
  write: () => engine.ccall('ost_write', 'number', [], [], { async: true }),
  preview: () => engine.ccall('ost_preview', 'string', [], [], { async: true }).then(JSON.parse),
};

// ---- The window's state, as the desktop's controller keeps it ----

const state = {
  page: 0,
  fileHandle: null, // where Save writes (File System Access API)
  fileName: '',
  exchange: 'idle', // idle, checking, reading, writing
  device: -1, // unknown, 0 absent, 1 present
  pendingFile: null, // a file command asked for during a transfer
  checkAgain: false,
  baseline: null, // the values at the last open, read or save (first: the initial ones)
  demo: null, // the emulated alarm, while the demo is chosen
  granted: [], // the WebHID devices the user allowed
};
const hasHid = 'hid' in navigator;
const transferRuns = () => state.exchange === 'reading' || state.exchange === 'writing';

function showStatus(id, name = '') {
  $('status').value = S[id] + name;
}
function showModified() {
  $('modified').value = E.modified() ? ' *' : '';
}
function updateTitle() {
  document.title = S.IDS_TITLE + (state.fileName ? ' - ' + state.fileName : '');
}
function setProgress(max, value = 0) {
  $('progress').max = max;
  $('progress').value = value;
}

// ---- Texts of the static parts ----

for (const el of document.querySelectorAll('[data-text]')) el.textContent = S[el.dataset.text];
for (const el of document.querySelectorAll('[data-tip]')) {
  el.title = S[el.dataset.tip];
  if (el.tagName === 'BUTTON' && !el.textContent.trim()) el.setAttribute('aria-label', S[el.dataset.tip]);
  else if (el.tagName !== 'BUTTON') el.setAttribute('aria-label', S[el.dataset.tip]);
}
$('tree').setAttribute('aria-label', S.IDS_TITLE);

// ---- The page tree ----

const treeItems = E.pages.map((page, index) => {
  const item = document.createElement('li');
  item.setAttribute('role', 'treeitem');
  item.id = `tree-${page.key}`;
  item.textContent = page.label;
  item.tabIndex = -1;
  item.addEventListener('click', () => selectPage(index, true));
  $('tree').append(item);
  return item;
});
$('tree').addEventListener('keydown', (event) => {
  const moves = { ArrowDown: 1, ArrowUp: -1, Home: -Infinity, End: Infinity, PageDown: 5, PageUp: -5 };
  if (!(event.key in moves)) return;
  event.preventDefault();
  const next = Math.max(0, Math.min(E.pages.length - 1, state.page + moves[event.key]));
  selectPage(next, true);
});

function selectPage(index, focusTree = false) {
  state.page = index;
  treeItems.forEach((item, i) => {
    item.setAttribute('aria-selected', String(i === index));
    item.tabIndex = i === index ? 0 : -1;
  });
  if (focusTree) {
    treeItems[index].focus();
    treeItems[index].scrollIntoView({ block: 'nearest' });
  }
  renderPage();
}

// ---- A page, generated from its field table ----

const fieldId = (key, part = 0) => `f-${key.replace(/\./g, '-')}${part ? '-2' : ''}`;
const unitOf = (page, control) => texts.units[`${page.dialog}:${control}`];

function renderPage() {
  const index = state.page;
  const page = E.pages[index];
  const frame = document.createElement('fieldset');
  frame.className = 'frame';
  const legend = document.createElement('legend');
  legend.textContent = texts.pageTitles[page.dialog] ?? page.label;
  frame.append(legend);

  // Consecutive fields under one caption form a group; boxes are laid out
  // in columns, other fields as label and control.
  let group = null;
  let groupName = null;
  for (const field of page.fields) {
    if (field.group !== groupName || !group) {
      groupName = field.group;
      if (field.group) {
        group = document.createElement('fieldset');
        group.className = 'group';
        const caption = document.createElement('legend');
        caption.textContent = field.group;
        group.append(caption);
      } else {
        group = document.createElement('div');
        group.className = 'fields';
      }
      frame.append(group);
    }
    if (field.kind === 'box' && field.group) group.classList.add('boxes');
    else if (field.group) group.classList.add('fields');
    group.append(renderField(index, page, field));
  }
  $('page').replaceChildren(frame);
  $('page').setAttribute('aria-label', page.label);
  refreshControls();
}

function renderField(index, page, field) {
  const row = document.createElement('div');
  row.className = `field ${field.kind}`;
  row.dataset.key = field.key;
  const label = document.createElement('label');
  label.htmlFor = fieldId(field.key);
  label.textContent = field.label;
  if (field.kind === 'box') {
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.id = fieldId(field.key);
    box.addEventListener('change', () => {
      initialBaseline();
      E.click(index, field.row);
      afterChange();
    });
    row.append(box, label);
    return row;
  }
  const control = document.createElement('span');
  control.className = 'control';
  if (field.kind === 'list') {
    const select = document.createElement('select');
    select.id = fieldId(field.key);
    for (const entry of field.list) select.append(new Option(entry));
    select.addEventListener('change', () => {
      initialBaseline();
      E.choose(index, field.row, select.selectedIndex);
      afterChange();
    });
    control.append(select);
  } else {
    const parts = field.kind === 'tenths' ? [0, 1] : [0];
    for (const part of parts) {
      if (part) {
        const point = document.createElement('span');
        point.textContent = S.IDS_DECIMAL_POINT;
        point.setAttribute('aria-hidden', 'true');
        control.append(point);
      }
      const input = document.createElement('input');
      input.type = 'text';
      input.id = fieldId(field.key, part);
      input.autocomplete = 'off';
      input.spellcheck = false;
      input.className = { twodigits: 'digits', bcd: 'digits', onedigit: 'digit', tenths: 'digit' }[field.kind] ?? 'text';
      if (input.className !== 'text') input.inputMode = 'numeric';
      if (part) input.setAttribute('aria-label', `${field.label} ${S.IDS_DECIMAL_POINT}`);
      input.addEventListener('input', () => {
        initialBaseline();
        const result = E.edit(index, field.row, part, input.value, input.selectionStart, input.selectionEnd);
        if (result) {
          const edit = part ? result.edit2 : result.edit;
          if (input.value !== edit.text) input.value = edit.text;
          input.setSelectionRange(edit.start, edit.end);
        }
        afterChange(input);
      });
      control.append(input);
    }
  }
  const unit = unitOf(page, field.control2 || field.control);
  if (unit) {
    const note = document.createElement('span');
    note.className = 'unit';
    note.textContent = unit;
    control.append(note);
  }
  row.append(label, control);
  return row;
}

// Every control of the page shows what the engine holds; the one being
// typed in keeps its caret.
function refreshControls(typing = null) {
  const page = E.pages[state.page];
  const controls = new Map(E.controls(state.page).map((c) => [c.row, c]));
  for (const field of page.fields) {
    const c = controls.get(field.row);
    if (field.kind === 'box') $(fieldId(field.key)).checked = c.checked;
    else if (field.kind === 'list') $(fieldId(field.key)).selectedIndex = c.index;
    else {
      for (const [part, edit] of [[0, c.edit], [1, c.edit2]]) {
        if (!edit) continue;
        const input = $(fieldId(field.key, part));
        if (input !== typing && input.value !== edit.text) input.value = edit.text;
      }
    }
  }
  markChanges();
}

function afterChange(typing = null) {
  refreshControls(typing);
  showModified();
}

// Fields whose values differ from the last open, read or save: marked on
// the page and, by page, in the tree.
function markChanges() {
  if (!state.baseline) return; // nothing has changed yet
  const now = E.values();
  const changedPages = new Set();
  for (const [index, page] of E.pages.entries())
    for (const field of page.fields)
      if (now[field.key] !== state.baseline[field.key]) changedPages.add(index);
  treeItems.forEach((item, i) => {
    item.classList.toggle('changed', changedPages.has(i));
    item.title = changedPages.has(i) ? S.IDS_WEB_CHANGED : '';
  });
  for (const row of document.querySelectorAll('#page .field')) {
    const changed = now[row.dataset.key] !== state.baseline[row.dataset.key];
    row.classList.toggle('changed', changed);
    row.title = changed ? S.IDS_WEB_CHANGED : '';
  }
}

// The initial values are taken once the page is idle, or before the first
// change if that comes first.
function initialBaseline() {
  state.baseline ??= E.values();
}

function takeBaseline() {
  state.baseline = E.values();
  markChanges();
}

// ---- Files ----

// Asks for a file to open: its name and a reader, or null when cancelled.
async function askOpenFile() {
  if (window.showOpenFilePicker) {
    let handle;
    try {
      [handle] = await window.showOpenFilePicker({ types: FILE_TYPES, id: 'osr' });
    } catch (error) {
      if (error.name === 'AbortError') return null;
      throw error;
    }
    return { handle, name: handle.name, read: async () => new Uint8Array(await (await handle.getFile()).arrayBuffer()) };
  }
  const input = $('file-input');
  input.value = '';
  return new Promise((resolve) => {
    input.onchange = () => {
      const file = input.files[0];
      resolve(file ? { handle: null, name: file.name, read: async () => new Uint8Array(await file.arrayBuffer()) } : null);
    };
    input.oncancel = () => resolve(null);
    input.click();
  });
}

async function openFile() {
  if (transferRuns()) {
    state.pendingFile = 'open';
    return;
  }
  if (!(await confirmDiscard())) return;
  const chosen = await askOpenFile();
  if (!chosen) return;
  let bytes = new Uint8Array(0);
  let readable = true;
  try {
    bytes = await chosen.read();
  } catch {
    readable = false;
  }
  const result = E.open(bytes, readable);
  const status = { 1: 'IDS_FILE_READ_DONE', 0: 'IDS_FILE_READ_FAILED', [-1]: 'IDS_FILE_BAD_FORMAT', [-2]: 'IDS_FILE_CORRUPT' }[result];
  if (result === 1) {
    state.fileHandle = chosen.handle;
    state.fileName = chosen.name;
    updateTitle();
    renderPage();
    takeBaseline();
  }
  showModified();
  setProgress($('progress').max);
  showStatus(status, chosen.name);
}

// Writes the file for the pages' values: 1 written, 0 not.
async function writeFile(handle, name) {
  const bytes = E.fileBytes();
  let written = false;
  if (bytes) {
    try {
      if (handle) {
        const stream = await handle.createWritable();
        await stream.write(bytes);
        await stream.close();
      } else {
        // No file system access: the browser downloads the file.
        const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
        const a = document.createElement('a');
        a.href = url;
        a.download = name;
        document.body.append(a);
        a.click();
        a.remove();
        setTimeout(() => URL.revokeObjectURL(url), 10000);
      }
      written = true;
    } catch {
      written = false;
    }
  }
  if (written) {
    E.saved();
    takeBaseline();
  }
  showModified();
  setProgress($('progress').max);
  showStatus(written ? 'IDS_FILE_WRITE_DONE' : 'IDS_FILE_WRITE_FAILED', name);
  return written ? 1 : 0;
}

async function saveFile() {
  if (transferRuns()) {
    state.pendingFile = 'save';
    return 0;
  }
  if (!state.fileHandle) return saveFileAs();
  return writeFile(state.fileHandle, state.fileName);
}

// 1 written, 0 not written, -1 cancelled.
async function saveFileAs() {
  if (transferRuns()) {
    state.pendingFile = 'saveas';
    return 0;
  }
  const suggested = state.fileName || 'config.osr';
  let handle = null;
  let name = suggested;
  if (window.showSaveFilePicker) {
    try {
      handle = await window.showSaveFilePicker({ types: FILE_TYPES, suggestedName: suggested, id: 'osr' });
    } catch (error) {
      if (error.name === 'AbortError') return -1;
      throw error;
    }
    name = handle.name;
  } else {
    // No file system access: the name is asked for, and the browser
    // downloads the file under it.
    const answer = window.prompt(S.IDS_SAVE_TITLE, suggested);
    if (answer === null || !answer.trim()) return -1;
    name = /\.osr$/i.test(answer.trim()) ? answer.trim() : `${answer.trim()}.osr`;
  }
  if ((await writeFile(handle, name)) !== 1) return 0;
  state.fileHandle = handle;
  state.fileName = name;
  updateTitle();
  return 1;
}

// The unsaved-changes question before Open and Read: true when the command
// may go on.
async function confirmDiscard() {
  if (!E.modified()) return true;
  const dialog = $('discard');
  const choice = await new Promise((resolve) => {
    dialog.onclose = () => resolve(dialog.returnValue);
    dialog.returnValue = 'cancel';
    dialog.showModal();
  });
  switch (choice) {
    case 'save': return (await saveFile()) === 1;
    case 'saveas': return (await saveFileAs()) === 1;
    case 'dontsave': return true;
    default: return false;
  }
}
{
  const dialog = $('discard');
  dialog.querySelector('.caption').textContent = texts.discard.caption;
  for (const { choice, label, note } of texts.discard.choices) {
    const button = document.createElement('button');
    button.value = choice;
    button.textContent = label;
    button.id = `discard-${choice}`;
    const span = document.createElement('span');
    span.textContent = note;
    dialog.querySelector('.choices').append(button, span);
  }
}

async function runPendingFileCommand() {
  const command = state.pendingFile;
  state.pendingFile = null;
  if (command === 'open') await openFile();
  else if (command === 'save') await saveFile();
  else if (command === 'saveas') await saveFileAs();
}

// ---- The device ----

// The devices the engine searches: the demo's emulated alarm while it is
// chosen, otherwise the attached devices the user allowed.
function offerDevices() {
  link.setDevices(state.demo ? [state.demo] : state.granted.filter((d) => !d.gone));
  const usable = hasHid || state.demo;
  $('cmd-read').disabled = !usable;
  $('cmd-write').disabled = !usable;
}

let running = Promise.resolve();
// One device request at a time, in order.
function request(run) {
  const result = running.then(() => {
    link.resetAbort();
    return run();
  });
  running = result.catch(() => {});
  return result;
}

// Presence: as device arrival and removal start a check on the desktop.
async function startCheck() {
  if (transferRuns()) return;
  if (state.exchange === 'checking') {
    state.checkAgain = true;
    return;
  }
  state.exchange = 'checking';
  const present = await request(E.check);
  if (transferRuns()) return; // a transfer began meanwhile: its status stands
  state.exchange = 'idle';
  if (present !== state.device) {
    state.device = present;
    setProgress($('progress').max);
    showStatus(present ? 'IDS_CONNECTED' : 'IDS_NOT_CONNECTED');
  }
  if (state.checkAgain) {
    state.checkAgain = false;
    startCheck();
  }
}

function endTransfer(status) {
  state.exchange = 'idle';
  showStatus(status);
  return runPendingFileCommand();
}

async function startRead() {
  if (transferRuns() || $('cmd-read').disabled) return;
  if (!(await confirmDiscard())) return;
  if (transferRuns()) return;
  setProgress(READ_SCALE);
  showStatus('IDS_READING');
  state.exchange = 'reading';
  const ok = (await request(E.read)) === 1;
  if (ok) {
    state.device = 1;
    renderPage();
    takeBaseline();
  }
  showModified();
  await endTransfer(ok ? 'IDS_READ_DONE' : 'IDS_READ_FAILED');
}

// Write: the device is read first and what would change is shown; only
// when the user confirms does the desktop's write run (which reads the
// parameter memory again and writes over it).
async function startWrite() {
  if (transferRuns() || $('cmd-write').disabled) return;
  setProgress(READ_SCALE);
  showStatus('IDS_READING');
  state.exchange = 'reading';
  const preview = await request(E.preview);
  if (!preview.ok) {
    await endTransfer('IDS_PREREAD_FAILED');
    return;
  }
  state.device = 1;
  state.exchange = 'idle';
  const confirmed = await showPreview(preview.changes);
  if (!confirmed) {
    setProgress(READ_SCALE, 0);
    showStatus(preview.changes.length ? 'IDS_CONNECTED' : 'IDS_WEB_NOTHING_TO_WRITE');
    await runPendingFileCommand();
    return;
  }
  setProgress(WRITE_SCALE);
  showStatus('IDS_WRITING');
  state.exchange = 'writing';
  const result = await request(E.write);
  if (result === 1) state.device = 1;
  await endTransfer({ 1: 'IDS_WRITE_DONE', 0: 'IDS_WRITE_FAILED', 2: 'IDS_PREREAD_FAILED' }[result] ?? 'IDS_WRITE_FAILED');
}

// The list of fields a write changes; true when the user chose Write.
function showPreview(changes) {
  const dialog = $('preview');
  const body = dialog.querySelector('.body');
  const buttons = dialog.querySelector('.buttons');
  buttons.replaceChildren();
  if (!changes.length) {
    const p = document.createElement('p');
    p.textContent = S.IDS_WEB_PREVIEW_NONE;
    body.replaceChildren(p);
  } else {
    const table = document.createElement('table');
    const head = table.createTHead().insertRow();
    for (const id of ['IDS_WEB_PREVIEW_FIELD', 'IDS_WEB_PREVIEW_DEVICE', 'IDS_WEB_PREVIEW_NEW']) {
      const th = document.createElement('th');
      th.textContent = S[id];
      head.append(th);
    }
    const tbody = table.createTBody();
    for (const change of changes) {
      const page = E.pages[change.page];
      const field = page.fields.find((f) => f.key === change.key);
      const masked = change.key === PASSWORD_KEY;
      const row = tbody.insertRow();
      row.dataset.key = change.key;
      for (const cell of [`${page.label}: ${field.group ? field.group + ' / ' : ''}${field.label}`,
        masked ? mask(change.device) : change.device, masked ? mask(change.pages) : change.pages])
        row.insertCell().textContent = cell;
    }
    body.replaceChildren(table);
    const write = document.createElement('button');
    write.value = 'write';
    write.id = 'preview-write';
    write.textContent = S.IDS_WEB_PREVIEW_WRITE;
    buttons.append(write);
  }
  const close = document.createElement('button');
  close.value = 'close';
  close.id = 'preview-close';
  close.textContent = S.IDS_WEB_PREVIEW_CLOSE;
  buttons.append(close);
  return new Promise((resolve) => {
    dialog.onclose = () => resolve(dialog.returnValue === 'write');
    dialog.returnValue = 'close';
    dialog.showModal();
  });
}

const mask = (value) => (value ? '\u2022'.repeat(value.length) : '');

async function refreshGranted() {
  if (!hasHid) return;
  const devices = await navigator.hid.getDevices();
  state.granted = devices.filter((d) => d.vendorId === VENDOR_ID && d.productId === PRODUCT_ID);
  offerDevices();
}

if (hasHid) {
  // Arrival and removal start a check, except while a transfer runs (its
  // outcome stands in the status line), as on the desktop.
  navigator.hid.addEventListener('connect', async () => {
    const check = !transferRuns();
    await refreshGranted();
    if (check) startCheck();
  });
  navigator.hid.addEventListener('disconnect', async (event) => {
    const check = !transferRuns();
    link.unplugged(event.device);
    await refreshGranted();
    if (check) startCheck();
  });
} else {
  $('notice').hidden = false;
  $('cmd-connect').disabled = true;
}

async function connectDevice() {
  if (!hasHid) return;
  try {
    await navigator.hid.requestDevice({ filters: [{ vendorId: VENDOR_ID, productId: PRODUCT_ID }] });
  } catch {
    return;
  }
  await refreshGranted();
  startCheck();
}

// The demo: the emulated alarm in the page, chosen explicitly and labelled.
function setDemo(on) {
  if (on && !state.demo) {
    state.demo = new EmulatedHidDevice(engine, { answerDelayMs: 1, productName: S.IDS_WEB_DEMO_BADGE });
  } else if (!on && state.demo) {
    link.unplugged(state.demo);
    state.demo = null;
  }
  $('cmd-demo').setAttribute('aria-pressed', String(on));
  $('demo-badge').hidden = !on;
  offerDevices();
  startCheck();
}

// ---- Printing: the whole configuration, password masked ----

function fillPrint() {
  const values = E.values();
  const root = $('print');
  root.replaceChildren();
  const h1 = document.createElement('h1');
  h1.textContent = S.IDS_TITLE;
  const meta = document.createElement('p');
  meta.className = 'meta';
  meta.textContent = `${S.IDS_WEB_PRINT_FILE}: ${state.fileName || '\u2014'}    ${S.IDS_WEB_PRINT_DATE}: ${new Date().toLocaleString('ru-RU')}`;
  root.append(h1, meta);
  for (const page of E.pages) {
    const section = document.createElement('section');
    const h2 = document.createElement('h2');
    h2.textContent = page.label;
    const table = document.createElement('table');
    let group = '';
    for (const field of page.fields) {
      if (field.group && field.group !== group) {
        const th = document.createElement('th');
        th.className = 'group';
        th.colSpan = 2;
        th.textContent = field.group;
        table.insertRow().append(th);
      }
      group = field.group;
      const row = table.insertRow();
      row.insertCell().textContent = field.label;
      const value = row.insertCell();
      value.className = 'value';
      value.textContent = field.key === PASSWORD_KEY ? mask(values[field.key]) : values[field.key];
    }
    section.append(h2, table);
    root.append(section);
  }
}
window.addEventListener('beforeprint', fillPrint);

// ---- Commands, keys, leaving ----

$('cmd-open').addEventListener('click', openFile);
$('cmd-save').addEventListener('click', saveFile);
$('cmd-saveas').addEventListener('click', saveFileAs);
$('cmd-read').addEventListener('click', startRead);
$('cmd-write').addEventListener('click', startWrite);
$('cmd-connect').addEventListener('click', connectDevice);
$('cmd-demo').addEventListener('click', () => setDemo(!state.demo));
$('cmd-print').addEventListener('click', () => { fillPrint(); window.print(); });
$('cmd-help').addEventListener('click', () => $('help').showModal());

// Ctrl+O, Ctrl+S and Ctrl+R where the browser lets the page have them; it
// keeps Ctrl+W and Ctrl+N.
document.addEventListener('keydown', (event) => {
  if (!event.ctrlKey || event.altKey || event.shiftKey || event.metaKey) return;
  const command = { o: openFile, s: saveFile, r: startRead }[event.key.toLowerCase()];
  if (!command) return;
  event.preventDefault();
  command();
});

window.addEventListener('beforeunload', (event) => {
  if (!E.modified()) return;
  event.preventDefault();
  event.returnValue = '';
});

// ---- Start ----

updateTitle();
setProgress(IMAGE_SIZE);
performance.mark('texts');
selectPage(0);
performance.mark('page');
showModified();
offerDevices();
window.ostrelReadyAt = performance.now();
document.body.dataset.ready = 'true';
(window.requestIdleCallback ?? setTimeout)(initialBaseline);
refreshGranted().then(startCheck);
if ('serviceWorker' in navigator && window.isSecureContext) navigator.serviceWorker.register('sw.js').catch(() => {});

// For the tests and the benchmark: the engine, the link and the emulated
// alarm's class.
window.ostrel = { engine, link, state, E, EmulatedHidDevice, setDemo, offerDevices, startCheck };
