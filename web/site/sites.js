// The sites of the office beside the page tree: the panel "Объекты" (search
// as one types, archived sites on request, a site's card), a site opened
// into the pages, and what the commands record in its history: Read a read
// revision, Write what the alarm held and what was written, Save an edit
// with a comment. Every revision is kept in the browser first and sent when
// the office is reachable (store.js); the modified mark means "not yet
// recorded in the site's history".
import { E, Office, S } from './engine.js';
import { OfficeError, Unreachable, api, may, operator, sitePath } from './office.js';
import * as store from './store.js';
import { confirmDiscard } from './files.js';
import { setProgress, showStatus, showTitle, takeBaseline } from './marks.js';
import { renderPage } from './page.js';
import { showSecretAs } from './print.js';

const $ = (id) => document.getElementById(id);
const SHOWN = 200; // list items made at once; the rest by scrolling on
const CARD_KEYS = ['number', 'customer', 'address', 'sim', 'phone', 'notes'];
const CARD_TEXTS = { number: 'IDS_WEB_SITE_NUMBER', customer: 'IDS_WEB_SITE_CUSTOMER', address: 'IDS_WEB_SITE_ADDRESS',
  sim: 'IDS_WEB_SITE_SIM', phone: 'IDS_WEB_SITE_PHONE', notes: 'IDS_WEB_SITE_NOTES' };

let online = false;
let sites = []; // every site of the office, as last listed
let matches = [];
let shownCount = 0;
// The site open in the pages: {number, site, heads, diverged, head, osr,
// values}; head is {id} (the office's, '' for none yet) or {seq} (one
// recorded here and not yet sent).
let current = null;

export const siteOpen = () => current !== null;
export const currentSite = () => current;
export const isOnline = () => online;

// ---- Text of the page around a site ----

const siteName = (s) => (s.customer ? `${s.number} ${s.customer}` : s.number);

function showSiteTitle() {
  showTitle(current ? siteName(current.site) : '');
}

// ---- The list ----

const haystack = (s) => `${s.number}\n${s.customer}\n${s.address}\n${s.phone}`.toLowerCase();

// Filters the list by the search box and the archived box, as one types.
export function filterSites() {
  const words = $('sites-search').value.toLowerCase().split(/\s+/).filter(Boolean);
  const archived = $('sites-archived').checked;
  matches = sites.filter((s) => (archived || !s.archived) && words.every((w) => s.text.includes(w)));
  shownCount = 0;
  $('sites-list').replaceChildren();
  showMore();
  $('sites-note').textContent = (online ? '' : S.IDS_WEB_SITES_OFFLINE + '. ') + S.IDS_WEB_SITES_COUNT + matches.length;
}

function showMore() {
  const list = $('sites-list');
  const items = [];
  for (const s of matches.slice(shownCount, shownCount + SHOWN)) {
    const item = document.createElement('li');
    item.setAttribute('role', 'option');
    item.id = `site-${s.number}`;
    item.dataset.number = s.number;
    item.setAttribute('aria-selected', String(current?.number === s.number));
    const head = document.createElement('strong');
    head.textContent = s.number;
    const customer = document.createElement('span');
    customer.textContent = s.customer;
    const address = document.createElement('small');
    address.textContent = s.address + (s.archived ? ` (${S.IDS_WEB_SITE_ARCHIVED})` : '');
    item.append(head, ' ', customer, document.createElement('br'), address);
    items.push(item);
  }
  list.append(...items);
  shownCount += items.length;
}

let loadedAt = 0;
export async function loadSites() {
  loadedAt = Date.now();
  let list;
  try {
    list = (await api('GET', '/api/sites?archived=1')).sites;
    online = true;
  } catch (error) {
    if (!(error instanceof Unreachable)) throw error;
    online = false;
    list = (await store.allSites()).map((r) => r.site);
  }
  sites = list.map((s) => ({ ...s, text: haystack(s) }));
  filterSites();
}

// ---- A site opened into the pages ----

// The revisions recorded here for `number` that the office does not have yet.
async function unsent(number) {
  return (await store.revisions()).filter((r) => r.site === number && r.state !== 'sent');
}

// A viewer's pages: the values the office shows (the password masked).
async function viewerFile(number, id) {
  const revision = await api('GET', sitePath(number, `/revisions/${id}`));
  const values = Object.fromEntries(revision.fields.map((f) => [f.key, f.value]));
  return { osr: Office.valuesFile(values), values };
}

// The .osr file of a revision of the open site (of the office or recorded
// here), with the values a viewer is shown.
export async function revisionFile(number, revision) {
  if (revision.seq !== undefined) return { osr: revision.osr, values: null };
  if (!may('installer')) return viewerFile(number, revision.id);
  return { osr: await api('GET', sitePath(number, `/revisions/${revision.id}/osr`)), values: null };
}

export async function openSite(number) {
  if (!(await confirmDiscard())) return;
  let record = await store.getSite(number);
  const waiting = await unsent(number);
  try {
    const site = await api('GET', sitePath(number));
    online = true;
    const last = waiting.at(-1);
    record = { number, site: stripped(site), heads: site.heads, diverged: site.diverged, osr: null, values: null };
    if (last) {
      // What this browser recorded last is what its pages showed.
      record.head = { seq: last.seq };
      record.osr = last.osr;
    } else if (site.heads.length) {
      record.head = { id: site.heads[0].id };
      Object.assign(record, await revisionFile(number, site.heads[0]));
    } else {
      record.head = { id: '' };
    }
    await store.putSite(record);
  } catch (error) {
    if (!(error instanceof Unreachable) || !record) {
      showStatus(error instanceof Unreachable ? 'IDS_WEB_SITE_UNAVAILABLE' : 'IDS_WEB_OFFICE_REFUSED',
        error instanceof OfficeError ? error.message : '');
      return;
    }
    online = false;
  }
  current = record;
  saveSource = 'edit';
  for (const item of document.querySelectorAll('#sites-list [role=option]'))
    item.setAttribute('aria-selected', String(item.dataset.number === number));
  $('cmd-history').disabled = false;
  $('sites-card').disabled = false;
  if (record.osr) {
    E.open(record.osr, record.osr.length, true);
    renderPage();
    takeBaseline();
  }
  decoratePage();
  setProgress();
  showSiteTitle();
  if (record.diverged) showStatus('IDS_WEB_DIVERGED');
  else if (!record.osr) showStatus('IDS_WEB_SITE_EMPTY');
  else showStatus('IDS_WEB_SITE_OPENED', siteName(record.site));
}

// The site's card without its heads.
function stripped(site) {
  const card = {};
  for (const key of [...CARD_KEYS, 'added', 'archived']) card[key] = site[key];
  return card;
}

// Loads a revision's file into the pages (a viewer's masked values kept for
// the password's field).
export function showRevision(file) {
  current.values = file.values;
  E.open(file.osr, file.osr.length, true);
  renderPage();
  decoratePage();
  takeBaseline();
}

// The secret as the office showed it to a viewer, from the values it
// showed; null where the pages hold the file itself.
export function shownSecret(values) {
  const field = values && E.pages.flatMap((p) => p.fields).find((f) => f.secret);
  return field ? values[field.key] ?? '' : null;
}

// A viewer's page: read-only, the password as the office masks it.
export function decoratePage() {
  if (!operator || may('installer')) return;
  for (const control of document.querySelectorAll('#page input, #page select')) control.disabled = true;
  if (!current?.values) return;
  for (const row of document.querySelectorAll('#page .field')) {
    const field = E.pages.flatMap((p) => p.fields).find((f) => f.key === row.dataset.key);
    if (field?.secret) for (const input of row.querySelectorAll('input[type=text]')) input.value = current.values[field.key] ?? '';
  }
}

// ---- Recording ----

// Records the pages' file (or `osr`) as a revision of the open site: kept
// here, then sent. True when recorded.
async function record(source, { osr = E.fileBytes(), comment = '', before = null } = {}) {
  if (!current || !osr) return false;
  // The head this page knows may have been sent meanwhile (by another tab):
  // then it is the id it got.
  let parent = current.head;
  if (parent.seq !== undefined) {
    const kept = await store.getRevision(parent.seq);
    if (kept?.state === 'sent') parent = { id: kept.id };
    else if (!kept) parent = (await store.getSite(current.number))?.head ?? parent;
  }
  const entry = {
    site: current.number, source, comment, osr, before, state: 'pending',
    at: new Date().toISOString(), author: operator.name, parent,
  };
  entry.seq = await store.addRevision(entry);
  current.head = { seq: entry.seq };
  current.osr = osr;
  await store.putSite(current);
  E.saved();
  takeBaseline();
  const result = await sendRevisions();
  if (result.refused) showStatus('IDS_WEB_RECORD_REFUSED', result.refused);
  else if (current.diverged) showStatus('IDS_WEB_DIVERGED');
  else showStatus(result.waiting ? 'IDS_WEB_RECORDED_LOCAL' : 'IDS_WEB_RECORDED');
  return true;
}

// What the next Save records: an edit, or a file opened into the site.
let saveSource = 'edit';

// Open with a site open: the file's values go into the site's pages (its
// title stays the site's), and the next Save records them as a file.
export async function openFileIntoSite(open) {
  await open();
  if (!current || !$('status').value.startsWith(S.IDS_FILE_READ_DONE)) return;
  saveSource = 'file';
  showSiteTitle();
  decoratePage();
}

// Save with a site open: an edit (or file) revision with the comment asked
// for.
export async function saveToSite() {
  if (!may('installer')) return 0;
  const dialog = $('record');
  $('record-comment').value = '';
  const choice = await new Promise((resolve) => {
    dialog.onclose = () => resolve(dialog.returnValue);
    dialog.returnValue = 'cancel';
    dialog.showModal();
  });
  if (choice !== 'save') return 0;
  const recorded = await record(saveSource, { comment: $('record-comment').value });
  if (recorded) saveSource = 'edit';
  return recorded ? 1 : 0;
}

// After a read from the alarm with a site open.
export async function afterRead() {
  if (current && may('installer')) await record('read');
}

// What the alarm held before a write (the preview's read), then the write.
let heldBefore = null;
export function beforeWrite() {
  heldBefore = current ? Office.deviceFile() : null;
}
export async function afterWrite() {
  if (!current || !may('installer') || !heldBefore) return;
  const before = heldBefore;
  heldBefore = null;
  // An alarm that held something else than the head was changed outside
  // the history: what it held goes in first.
  const same = current.osr && before.length === current.osr.length && before.every((b, i) => b === current.osr[i]);
  const written = E.fileBytes();
  if (!same) await record('read', { osr: before, comment: S.IDS_WEB_READ_BEFORE_WRITE });
  await record('write', { osr: written, before });
}

// ---- Sending ----

const base64 = (bytes) => {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
};

// The refusals that no later send can change: the revision itself is wrong.
const FOR_GOOD = new Set([400, 404, 409, 413, 415]);
let sending = null;
// Sends what waits, in the order recorded, each with its parent; a revision
// is content-addressed, so a send repeated after a broken answer adds
// nothing. {sent, waiting, refused}.
export function sendRevisions() {
  sending ??= send().finally(() => { sending = null; });
  return sending;
}

async function send() {
  const all = await store.revisions();
  const ids = new Map(all.filter((r) => r.state === 'sent').map((r) => [r.seq, r.id]));
  const blocked = new Set();
  const touched = new Set();
  let sent = 0;
  let refused = '';
  let stop = false;
  for (const entry of all) {
    if (entry.state === 'sent' || blocked.has(entry.site)) continue;
    const parent = entry.parent.id ?? ids.get(entry.parent.seq);
    if (stop || parent === undefined || entry.state === 'refused') {
      blocked.add(entry.site);
      continue;
    }
    const body = { osr: base64(entry.osr), source: entry.source, comment: entry.comment, parent, at: entry.at, author: entry.author };
    if (entry.before) body.before_osr = base64(entry.before);
    try {
      const answer = await api('POST', sitePath(entry.site, '/revisions'), body);
      Object.assign(entry, { state: 'sent', id: answer.id });
      ids.set(entry.seq, answer.id);
      await store.putRevision(entry);
      touched.add(entry.site);
      ++sent;
    } catch (error) {
      if (!(error instanceof OfficeError) || !FOR_GOOD.has(error.status)) {
        // Unreachable, logged out, or the operator logged in now may not
        // record: it waits for the next send.
        stop = true;
      } else {
        // The office refuses it for good (the message says why): kept here,
        // shown in the history, and what follows it waits.
        Object.assign(entry, { state: 'refused', error: error.message });
        await store.putRevision(entry);
        refused = error.message;
      }
      blocked.add(entry.site);
    }
  }
  online = !stop;
  for (const number of touched) await refreshHeads(number, ids);
  // A sent revision is kept while one waiting here follows it, and the
  // newest of each site (the head a tab may still record after).
  const left = await store.revisions();
  const parents = new Set(left.filter((r) => r.state !== 'sent').map((r) => r.parent.seq));
  const newest = new Map(left.filter((r) => r.state === 'sent').map((r) => [r.site, r.seq]));
  for (const r of left)
    if (r.state === 'sent' && !parents.has(r.seq) && newest.get(r.site) !== r.seq) await store.deleteRevision(r.seq);
  const waiting = left.filter((r) => r.state !== 'sent').length;
  showWaiting(waiting);
  return { sent, waiting, refused };
}

// The office's heads of a site after a send; the open site's head becomes
// the id its last revision got.
async function refreshHeads(number, ids) {
  let site = null;
  try {
    site = await api('GET', sitePath(number));
  } catch {
    // The heads as they were; the next send asks again.
  }
  // The site as kept here, and as this page has it (another tab may have
  // recorded what this one sent: its pages keep their own head).
  const stored = await store.getSite(number);
  for (const record of [stored, current?.number === number ? current : null]) {
    if (!record) continue;
    if (record.head.seq !== undefined && ids.has(record.head.seq)) record.head = { id: ids.get(record.head.seq) };
    if (site) Object.assign(record, { heads: site.heads, diverged: site.diverged });
  }
  if (stored) await store.putSite(stored);
}

function showWaiting(count) {
  const note = $('sites-pending');
  note.hidden = count === 0;
  note.textContent = S.IDS_WEB_PENDING + count;
}

// ---- The card ----

function cardField(key, value, editable) {
  const id = `card-${key}`;
  const label = document.createElement('label');
  label.htmlFor = id;
  label.textContent = S[CARD_TEXTS[key]];
  const input = document.createElement(key === 'notes' ? 'textarea' : 'input');
  input.id = id;
  input.name = key;
  input.value = value ?? '';
  input.readOnly = !editable;
  if (key === 'number') input.required = true;
  return [label, input];
}

// The card of a site (`site` null: a new one), editable by installers.
export async function showCard(site) {
  const dialog = $('card');
  const editable = may('installer') && online;
  const fields = dialog.querySelector('.card-fields');
  fields.replaceChildren();
  for (const key of CARD_KEYS) fields.append(...cardField(key, site?.[key], editable && !(site && key === 'number')));
  dialog.querySelector('.error').textContent = '';
  const buttons = dialog.querySelector('.buttons');
  buttons.replaceChildren();
  const button = (id, text, run) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.id = id;
    b.textContent = text;
    b.addEventListener('click', run);
    buttons.append(b);
  };
  const act = (make) => async () => {
    try {
      const saved = await make();
      dialog.close();
      await loadSites();
      if (current && saved?.number === current.number) {
        current.site = stripped(saved);
        await store.putSite(current);
        showSiteTitle();
      }
    } catch (error) {
      dialog.querySelector('.error').textContent = S.IDS_WEB_OFFICE_REFUSED + error.message;
    }
  };
  const values = () => Object.fromEntries(CARD_KEYS.map((k) => [k, $(`card-${k}`).value]));
  if (editable) {
    button('card-save', S.IDS_WEB_SAVE_CARD, act(() => {
      const v = values();
      if (!site) return api('POST', '/api/sites', v);
      delete v.number;
      return api('PATCH', sitePath(site.number), v);
    }));
  }
  if (site && may('admin') && online)
    button('card-archive', site.archived ? S.IDS_WEB_SITE_RESTORE : S.IDS_WEB_SITE_ARCHIVE,
      act(() => api('POST', sitePath(site.number, '/archive'), { archived: !site.archived })));
  button('card-close', S.IDS_WEB_PREVIEW_CLOSE, () => dialog.close());
  dialog.showModal();
}

// ---- Find by value ----

let keyList = null;
function keys() {
  if (!keyList) {
    keyList = document.createElement('datalist');
    keyList.id = 'find-keys';
    for (const page of E.pages)
      for (const field of page.fields) keyList.append(new Option(`${page.label}: ${field.group ? field.group + ' / ' : ''}${field.label}`, field.key));
    document.body.append(keyList);
  }
  return keyList;
}

export function showFind() {
  const dialog = $('find');
  const body = dialog.querySelector('.body');
  if (!body.firstChild) {
    keys();
    const form = document.createElement('div');
    form.className = 'find-form';
    const [keyLabel, key] = cardField('key', '', true);
    keyLabel.textContent = S.IDS_WEB_FIND_KEY;
    key.id = 'find-key';
    keyLabel.htmlFor = 'find-key';
    key.setAttribute('list', 'find-keys');
    const [valueLabel, value] = cardField('value', '', true);
    valueLabel.textContent = S.IDS_WEB_FIND_VALUE;
    value.id = 'find-value';
    valueLabel.htmlFor = 'find-value';
    const go = document.createElement('button');
    go.type = 'button';
    go.id = 'find-go';
    go.textContent = S.IDS_WEB_FIND_GO;
    const results = document.createElement('div');
    results.id = 'find-results';
    results.setAttribute('role', 'status');
    go.addEventListener('click', () => find(key.value.trim(), value.value, results));
    form.append(keyLabel, key, valueLabel, value, go);
    body.append(form, results);
  }
  dialog.showModal();
}

async function find(key, value, results) {
  results.replaceChildren();
  let found;
  try {
    found = (await api('GET', `/api/find?${new URLSearchParams([[key, value]])}`)).sites;
  } catch (error) {
    results.textContent = S.IDS_WEB_OFFICE_REFUSED + (error.message || '');
    return;
  }
  const note = document.createElement('p');
  note.textContent = found.length ? S.IDS_WEB_FIND_FOUND + found.length : S.IDS_WEB_FIND_NONE;
  const list = document.createElement('ul');
  for (const hit of found) {
    const item = document.createElement('li');
    const open = document.createElement('a');
    open.href = `#site=${encodeURIComponent(hit.site.number)}`;
    open.textContent = siteName(hit.site);
    open.addEventListener('click', (event) => {
      event.preventDefault();
      $('find').close();
      openSite(hit.site.number);
    });
    item.append(open, ` ${hit.site.address} — ${hit.fields.join(', ')}`);
    list.append(item);
  }
  results.append(note, list);
}

// ---- The panel ----

export async function startSites() {
  document.body.classList.add('office');
  showSecretAs(() => shownSecret(current?.values));
  $('sites').hidden = false;
  for (const id of ['cmd-history', 'cmd-logout']) $(id).hidden = false;
  $('cmd-admin').hidden = !may('admin');
  $('operator').hidden = false;
  $('operator').textContent = S.IDS_WEB_OPERATOR + operator.name;
  $('sites-add').hidden = !may('installer');
  if (!may('installer')) for (const id of ['cmd-save', 'cmd-saveas', 'cmd-read', 'cmd-write']) $(id).hidden = true;
  decoratePage();
  $('sites-search').placeholder = S.IDS_WEB_SITES_SEARCH;
  $('sites-search').addEventListener('input', filterSites);
  // Sites that others added meanwhile: the list is asked again when the
  // search is entered, at most every 10 seconds.
  $('sites-search').addEventListener('focus', () => {
    if (Date.now() - loadedAt > 10000) loadSites().catch(() => {});
  });
  $('sites-archived').addEventListener('change', filterSites);
  $('sites-add').addEventListener('click', () => showCard(null));
  $('sites-card').addEventListener('click', () => current && showCard(current.site));
  $('sites-find').addEventListener('click', showFind);
  const list = $('sites-list');
  list.addEventListener('scroll', () => {
    if (list.scrollTop + list.clientHeight > list.scrollHeight - 200 && shownCount < matches.length) showMore();
  });
  list.addEventListener('click', (event) => {
    const item = event.target.closest('[role=option]');
    if (item) openSite(item.dataset.number);
  });
  // The list from the keyboard: arrows move the choice, Enter opens it.
  let active = -1;
  list.addEventListener('keydown', (event) => {
    const items = [...list.querySelectorAll('[role=option]')];
    const moves = { ArrowDown: 1, ArrowUp: -1, Home: -Infinity, End: Infinity };
    if (event.key === 'Enter' && items[active]) {
      event.preventDefault();
      openSite(items[active].dataset.number);
      return;
    }
    if (!(event.key in moves) || !items.length) return;
    event.preventDefault();
    active = Math.max(0, Math.min(items.length - 1, active + moves[event.key]));
    for (const [i, item] of items.entries()) item.classList.toggle('active', i === active);
    list.setAttribute('aria-activedescendant', items[active].id);
    items[active].scrollIntoView({ block: 'nearest' });
  });
  await loadSites();
  const result = await sendRevisions();
  if (result.waiting) showStatus(online ? 'IDS_WEB_PENDING' : 'IDS_WEB_SITES_OFFLINE', online ? String(result.waiting) : '');
  // What waits is sent once the office is back.
  setInterval(async () => {
    const wasOnline = online;
    await sendRevisions();
    if (!wasOnline) await loadSites().catch(() => {});
  }, 5000);
  window.addEventListener('online', () => sendRevisions());
}
