// The device: the WebHID devices the user allowed (or the demo's emulated
// alarm), the presence check on arrival and removal, Read, and Write after
// a preview of what it changes. One device request at a time, in order, as
// the desktop's worker runs them. Owns the state of the exchange and the
// HID link the engine's exchange goes through.
import { E, S, engine, site } from './engine.js';
import { EmulatedHidDevice, HidLink, useDevice } from './hidlink.js';
import { setProgress, showStatus, takeBaseline } from './marks.js';
import { renderPage } from './page.js';

const $ = (id) => document.getElementById(id);
const hasHid = 'hid' in navigator;
const { vendorId, productId, readScale, writeScale } = site.device;
useDevice(site.device);
export const link = new HidLink(() => engine.HEAPU8);
engine.hidLink = link;
export { EmulatedHidDevice };

let exchange = 'idle'; // idle, checking, reading, writing
let present = -1; // unknown, 0 absent, 1 present
let checkAgain = false;
let demo = null; // the emulated alarm, while the demo is chosen
let granted = []; // the WebHID devices the user allowed
// What the window does around a transfer: the unsaved-changes question
// before a read, the file command that waited for the end, and what a
// site's history records of a read and a write (afterRead, beforeWrite
// once the alarm has been read for the preview, afterWrite).
let hooks = { confirmDiscard: async () => true, afterTransfer: async () => {} };

export const transferRuns = () => exchange === 'reading' || exchange === 'writing';
export const demoOn = () => demo !== null;

export function useWindow(windowHooks) {
  hooks = windowHooks;
}

// The devices the engine searches: the demo's emulated alarm while it is
// chosen, otherwise the attached devices the user allowed.
export function offerDevices() {
  link.setDevices(demo ? [demo] : granted.filter((d) => !d.gone));
  const usable = hasHid || demo;
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
export async function startCheck() {
  if (transferRuns()) return;
  if (exchange === 'checking') {
    checkAgain = true;
    return;
  }
  exchange = 'checking';
  const answer = await request(E.check);
  if (transferRuns()) return; // a transfer began meanwhile: its status stands
  exchange = 'idle';
  if (answer !== present) {
    present = answer;
    setProgress();
    showStatus(answer ? 'IDS_CONNECTED' : 'IDS_NOT_CONNECTED');
  }
  if (checkAgain) {
    checkAgain = false;
    startCheck();
  }
}

function endTransfer(status) {
  exchange = 'idle';
  showStatus(status);
  return hooks.afterTransfer();
}

export async function startRead() {
  if (transferRuns() || $('cmd-read').disabled) return;
  if (!(await hooks.confirmDiscard())) return;
  if (transferRuns()) return;
  setProgress(readScale);
  showStatus('IDS_READING');
  exchange = 'reading';
  const ok = (await request(E.read)) === 1;
  if (ok) {
    present = 1;
    renderPage();
    takeBaseline();
  }
  await endTransfer(ok ? 'IDS_READ_DONE' : 'IDS_READ_FAILED');
  if (ok) await hooks.afterRead?.();
}

// Write: the device is read first and what would change is shown; only
// when the user confirms does the desktop's write run (which reads the
// parameter memory again and writes over it).
export async function startWrite() {
  if (transferRuns() || $('cmd-write').disabled) return;
  setProgress(readScale);
  showStatus('IDS_READING');
  exchange = 'reading';
  const preview = await request(E.preview);
  if (!preview.ok) {
    await endTransfer('IDS_PREREAD_FAILED');
    return;
  }
  present = 1;
  exchange = 'idle';
  hooks.beforeWrite?.();
  const confirmed = await showPreview(preview.changes);
  if (!confirmed) {
    setProgress(readScale, 0);
    showStatus(preview.changes.length ? 'IDS_CONNECTED' : 'IDS_WEB_NOTHING_TO_WRITE');
    await hooks.afterTransfer();
    return;
  }
  setProgress(writeScale);
  showStatus('IDS_WRITING');
  exchange = 'writing';
  const result = await request(E.write);
  if (result === 1) present = 1;
  await endTransfer({ 1: 'IDS_WRITE_DONE', 0: 'IDS_WRITE_FAILED', 2: 'IDS_PREREAD_FAILED' }[result] ?? 'IDS_WRITE_FAILED');
  if (result === 1) await hooks.afterWrite?.();
}

function button(value, id, label) {
  const b = document.createElement('button');
  b.value = value;
  b.id = id;
  b.textContent = label;
  return b;
}

// The list of fields a write changes (a secret value comes masked by the
// engine); true when the user chose Write.
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
      const row = tbody.insertRow();
      row.dataset.key = change.key;
      for (const cell of [`${page.label}: ${field.group ? field.group + ' / ' : ''}${field.label}`, change.device, change.pages])
        row.insertCell().textContent = cell;
    }
    body.replaceChildren(table);
    buttons.append(button('write', 'preview-write', S.IDS_WEB_PREVIEW_WRITE));
  }
  buttons.append(button('close', 'preview-close', S.IDS_WEB_PREVIEW_CLOSE));
  return new Promise((resolve) => {
    dialog.onclose = () => resolve(dialog.returnValue === 'write');
    dialog.returnValue = 'close';
    dialog.showModal();
  });
}

export async function refreshGranted() {
  if (!hasHid) return;
  const devices = await navigator.hid.getDevices();
  granted = devices.filter((d) => d.vendorId === vendorId && d.productId === productId);
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

export async function connectDevice() {
  if (!hasHid) return;
  try {
    await navigator.hid.requestDevice({ filters: [{ vendorId, productId }] });
  } catch {
    return;
  }
  await refreshGranted();
  startCheck();
}

// The demo: the emulated alarm in the page, chosen explicitly and labelled.
export function setDemo(on) {
  if (on && !demo) {
    demo = new EmulatedHidDevice(engine, { answerDelayMs: 1, productName: S.IDS_WEB_DEMO_BADGE });
  } else if (!on && demo) {
    link.unplugged(demo);
    demo = null;
  }
  $('cmd-demo').setAttribute('aria-pressed', String(on));
  $('demo-badge').hidden = !on;
  offerDevices();
  startCheck();
}
