// The browser configurator's window, following the desktop window's order
// of things: the static texts, the commands and their keys, leaving with
// unsaved changes, and the start. Each concern has its module: the engine
// and its interface (engine.js), the page tree (tree.js), a page
// (page.js), the frame's marks (marks.js), files (files.js), the device
// (device.js) and printing (print.js); the office's sites (office.js,
// sites.js, history.js, admin.js) when the page is the office's.
//
// The start shows the first page as soon as the engine is there, as the
// desktop window shows its first page before it builds the others: the
// first page is made from the description the build wrote into the page
// while the engine (compiled from the page's head as it arrives) is
// instantiated, and shows the engine's values once it is there; the
// commands' modules are loaded right after it (a command chosen meanwhile
// waits for its module), and the sites' modules only when the office
// answers with a session.
import { E, ENGINE_ABORTED, S, engineReady, site } from './engine.js';
import { selectPage, whenSelected } from './tree.js';
import { buildPage, refreshControls, renderPage } from './page.js';
import { setProgress, showStatus, showTitle, initialBaseline } from './marks.js';

const $ = (id) => document.getElementById(id);

// ---- Texts of the static parts ----

for (const el of document.querySelectorAll('[data-text]')) el.textContent = S[el.dataset.text];
for (const el of document.querySelectorAll('[data-tip]')) {
  el.title = S[el.dataset.tip];
  if (el.tagName !== 'BUTTON' || !el.textContent.trim()) el.setAttribute('aria-label', S[el.dataset.tip]);
}

// ---- The first page ----

// The office's sites, once loaded (null: the configurator alone, or not yet).
let sites = null;
// The first page is made while the engine is instantiated; the window
// (hidden in the page as it comes) is shown once the engine is there to
// show the page's values and take the edits, so that the browser lays it
// out and paints it once, whole.
showTitle('');
setProgress(site.device.imageSize);
performance.mark('texts');
buildPage(0);
selectPage(0);
const engine = await engineReady;
// The engine is there and every module of the first page has run.
performance.mark('script');
whenSelected((index) => {
  renderPage(index);
  sites?.decoratePage();
});
refreshControls();
$('app').hidden = false;
performance.mark('page');
window.ostrelReadyAt = performance.now();

// ---- Commands, keys, leaving ----

const commandModules = Promise.all([import('./files.js'), import('./device.js'), import('./print.js')]);
// With a site open, Open takes a file into it and Save records an edit
// revision in its history.
const commands = commandModules.then(([files, device, print]) => ({
  open: () => (sites?.siteOpen() ? sites.openFileIntoSite(files.openFile) : files.openFile()),
  save: () => (sites?.siteOpen() ? sites.saveToSite() : files.saveFile()),
  saveAs: files.saveFileAs,
  read: device.startRead,
  write: device.startWrite,
  connect: device.connectDevice,
  demo: () => device.setDemo(!device.demoOn()),
  print: () => { print.fillPrint(); window.print(); },
}));
const run = (name) => () => commands.then((c) => c[name]());

for (const [id, name] of [['cmd-open', 'open'], ['cmd-save', 'save'], ['cmd-saveas', 'saveAs'], ['cmd-read', 'read'],
  ['cmd-write', 'write'], ['cmd-connect', 'connect'], ['cmd-demo', 'demo'], ['cmd-print', 'print']])
  $(id).addEventListener('click', run(name));
$('cmd-help').addEventListener('click', () => $('help').showModal());

// Ctrl+O, Ctrl+S and Ctrl+R where the browser lets the page have them; it
// keeps Ctrl+W and Ctrl+N.
document.addEventListener('keydown', (event) => {
  if (!event.ctrlKey || event.altKey || event.shiftKey || event.metaKey) return;
  const key = event.key.toLowerCase();
  const command = { o: 'open', s: 'save', r: 'read' }[key];
  // Not the commands the operator is not offered.
  if (!command || $({ o: 'cmd-open', s: 'cmd-save', r: 'cmd-read' }[key]).hidden) return;
  event.preventDefault();
  run(command)();
});

window.addEventListener('beforeunload', (event) => {
  if (!E.modified()) return;
  event.preventDefault();
  event.returnValue = '';
});

// ---- Start ----

(window.requestIdleCallback ?? setTimeout)(initialBaseline);
// Whether the page is the office's is asked meanwhile.
const office = import('./office.js').then(async (module) => [module, await module.findOffice()]);
const [files, device] = await commandModules;
device.useWindow({
  confirmDiscard: files.confirmDiscard,
  afterTransfer: files.runPendingFileCommand,
  afterRead: async () => sites?.afterRead(),
  beforeWrite: () => sites?.beforeWrite(),
  afterWrite: async () => sites?.afterWrite(),
});
files.useSaveCommand(run('save'));
device.offerDevices();
// For the tests and the benchmark: the engine, the link, the emulated
// alarm's class and what the window does.
const sendRevisions = async () => (await import('./sites.js')).sendRevisions();
const { link, EmulatedHidDevice, setDemo, offerDevices, startCheck } = device;
window.ostrel = { engine, link, E, site, EmulatedHidDevice, setDemo, offerDevices, startCheck, sendRevisions };
performance.mark('commands');
document.body.dataset.ready = 'true';
// After an abort, what happened is said once the first device check has
// said whether a device is there.
const restarted = sessionStorage.getItem(ENGINE_ABORTED);
sessionStorage.removeItem(ENGINE_ABORTED);
device.refreshGranted().then(device.startCheck).then(() => { if (restarted) showStatus('IDS_WEB_ENGINE_RESTARTED'); });

// The office, when the page is its: the login page, or the sites; the
// offline copy is made once the page has what it needs.
try {
  const [officeModule, where] = await office;
  document.body.dataset.office = where;
  if (where === 'login') officeModule.showLogin();
  if (where === 'online' || where === 'offline') await startSites(officeModule);
} finally {
  if ('serviceWorker' in navigator && window.isSecureContext) navigator.serviceWorker.register('sw.js').catch(() => {});
}

async function startSites(officeModule) {
  const [sitesModule, history, admin] = await Promise.all([import('./sites.js'), import('./history.js'), import('./admin.js')]);
  sites = sitesModule;
  $('cmd-history').addEventListener('click', history.showHistory);
  $('cmd-admin').addEventListener('click', admin.showAdmin);
  $('cmd-logout').addEventListener('click', officeModule.logout);
  // A session that ended while the page was open: the login, then the
  // same page goes on (what it holds and what waits are kept).
  officeModule.onLoggedOut(() => officeModule.showLogin(sites.sendRevisions));
  await sites.startSites();
  performance.mark('sites');
  document.body.dataset.sites = 'ready';
}
