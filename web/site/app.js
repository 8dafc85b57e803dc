// The browser configurator's window, following the desktop window's order
// of things: the static texts, the commands and their keys, leaving with
// unsaved changes, and the start. Each concern has its module: the engine
// and its interface (engine.js), the page tree (tree.js), a page
// (page.js), the frame's marks (marks.js), files (files.js), the device
// (device.js) and printing (print.js).
import { E, ENGINE_ABORTED, EmulatedHidDevice, S, engine, link, site } from './engine.js';
import { selectPage, whenSelected } from './tree.js';
import { renderPage } from './page.js';
import { setProgress, showStatus, showTitle, initialBaseline } from './marks.js';
import { confirmDiscard, openFile, runPendingFileCommand, saveFile, saveFileAs, useSaveCommand } from './files.js';
import { connectDevice, demoOn, offerDevices, refreshGranted, setDemo, startCheck, startRead, startWrite, useWindow } from './device.js';
import { fillPrint } from './print.js';
import { findOffice, logout, onLoggedOut, showLogin } from './office.js';
import { afterRead, afterWrite, beforeWrite, decoratePage, openFileIntoSite, saveToSite, sendRevisions, siteOpen, startSites } from './sites.js';
import { showHistory } from './history.js';
import { showAdmin } from './admin.js';

const $ = (id) => document.getElementById(id);

// ---- Texts of the static parts ----

for (const el of document.querySelectorAll('[data-text]')) el.textContent = S[el.dataset.text];
for (const el of document.querySelectorAll('[data-tip]')) {
  el.title = S[el.dataset.tip];
  if (el.tagName !== 'BUTTON' || !el.textContent.trim()) el.setAttribute('aria-label', S[el.dataset.tip]);
}

// ---- Commands, keys, leaving ----

whenSelected((index) => {
  renderPage(index);
  decoratePage();
});
useWindow({ confirmDiscard, afterTransfer: runPendingFileCommand, afterRead, beforeWrite, afterWrite });
// With a site open, Save records an edit revision in its history.
const save = () => (siteOpen() ? saveToSite() : saveFile());
const open = () => (siteOpen() ? openFileIntoSite(openFile) : openFile());
useSaveCommand(save);

$('cmd-open').addEventListener('click', open);
$('cmd-save').addEventListener('click', save);
$('cmd-saveas').addEventListener('click', saveFileAs);
$('cmd-read').addEventListener('click', startRead);
$('cmd-write').addEventListener('click', startWrite);
$('cmd-connect').addEventListener('click', connectDevice);
$('cmd-demo').addEventListener('click', () => setDemo(!demoOn()));
$('cmd-print').addEventListener('click', () => { fillPrint(); window.print(); });
$('cmd-help').addEventListener('click', () => $('help').showModal());
$('cmd-history').addEventListener('click', showHistory);
$('cmd-admin').addEventListener('click', showAdmin);
$('cmd-logout').addEventListener('click', logout);

// Ctrl+O, Ctrl+S and Ctrl+R where the browser lets the page have them; it
// keeps Ctrl+W and Ctrl+N.
document.addEventListener('keydown', (event) => {
  if (!event.ctrlKey || event.altKey || event.shiftKey || event.metaKey) return;
  const key = event.key.toLowerCase();
  const command = { o: open, s: save, r: startRead }[key];
  // Not the commands the operator is not offered.
  if (!command || $({ o: 'cmd-open', s: 'cmd-save', r: 'cmd-read' }[key]).hidden) return;
  event.preventDefault();
  command();
});

window.addEventListener('beforeunload', (event) => {
  if (!E.modified()) return;
  event.preventDefault();
  event.returnValue = '';
});

// ---- Start ----

showTitle('');
setProgress(site.device.imageSize);
performance.mark('texts');
selectPage(0);
performance.mark('page');
offerDevices();
window.ostrelReadyAt = performance.now();
document.body.dataset.ready = 'true';
(window.requestIdleCallback ?? setTimeout)(initialBaseline);
// After an abort, what happened is said once the first device check has
// said whether a device is there.
const restarted = sessionStorage.getItem(ENGINE_ABORTED);
sessionStorage.removeItem(ENGINE_ABORTED);
refreshGranted().then(startCheck).then(() => { if (restarted) showStatus('IDS_WEB_ENGINE_RESTARTED'); });
if ('serviceWorker' in navigator && window.isSecureContext) navigator.serviceWorker.register('sw.js').catch(() => {});

// The office, when the page is its: the login page, or the sites.
findOffice().then(async (where) => {
  document.body.dataset.office = where;
  if (where === 'login') showLogin();
  if (where !== 'online' && where !== 'offline') return;
  // A session that ended while the page was open: the login, then the
  // same page goes on (what it holds and what waits are kept).
  onLoggedOut(() => showLogin(sendRevisions));
  await startSites();
  performance.mark('sites');
  document.body.dataset.sites = 'ready';
});

// For the tests and the benchmark: the engine, the link, the emulated
// alarm's class and what the window does.
window.ostrel = { engine, link, E, site, EmulatedHidDevice, setDemo, offerDevices, startCheck, sendRevisions };
