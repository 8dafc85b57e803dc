// The open site's history: each revision with when, who, where from, its
// comment and how many fields it changed (those recorded here and not yet
// sent first, marked so); two chosen show the fields that differ, page by
// page, with both values; any revision opened into the pages, downloaded
// as ".osr" or printed as the customer's record.
import { E, Office, S } from './engine.js';
import { Unreachable, api, may, sitePath } from './office.js';
import * as store from './store.js';
import { confirmDiscard } from './files.js';
import { showStatus } from './marks.js';
import { printRecord } from './print.js';
import { currentSite, revisionFile, shownSecret, showRevision } from './sites.js';

const $ = (id) => document.getElementById(id);
const dialog = $('history');
let shown = []; // the revisions listed, newest first

const short = (revision) => (revision.id ? revision.id.slice(0, 8) : `#${revision.seq}`);
const when = (at) => new Date(at).toLocaleString('ru-RU', { dateStyle: 'short', timeStyle: 'medium' });
const sourceText = (source) => S[`IDS_WEB_SOURCE_${source.toUpperCase()}`] ?? source;

// Field key -> its page and names, for the differences.
let fieldsByKey = null;
function fieldOf(key) {
  if (!fieldsByKey) {
    fieldsByKey = new Map();
    for (const [index, page] of E.pages.entries())
      for (const field of page.fields) fieldsByKey.set(field.key, { index, page, field });
  }
  return fieldsByKey.get(key);
}

async function revisions(site) {
  let logged = [];
  try {
    logged = (await api('GET', sitePath(site.number, '/log'))).revisions;
    site.log = logged;
    await store.putSite(site);
  } catch (error) {
    if (!(error instanceof Unreachable)) throw error;
    logged = site.log ?? [];
  }
  const here = (await store.revisions()).filter((r) => r.site === site.number && r.state !== 'sent').reverse();
  return [...here, ...logged];
}

function cell(row, content) {
  const td = row.insertCell();
  if (typeof content === 'string') td.textContent = content;
  else td.append(...content);
  return td;
}

function button(text, label, run) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.setAttribute('aria-label', `${text} ${label}`);
  b.addEventListener('click', run);
  return b;
}

export async function showHistory() {
  const site = currentSite();
  if (!site) return;
  $('history-title').textContent = S.IDS_WEB_HISTORY_TITLE + site.number + (site.site.customer ? ` ${site.site.customer}` : '');
  const note = dialog.querySelector('.note');
  note.textContent = site.diverged ? S.IDS_WEB_DIVERGED : S.IDS_WEB_COMPARE_HINT;
  dialog.querySelector('.diff').replaceChildren();
  try {
    shown = await revisions(site);
  } catch (error) {
    note.textContent = S.IDS_WEB_OFFICE_REFUSED + error.message;
    shown = [];
  }
  const heads = new Set((site.heads ?? []).map((h) => h.id));
  const table = document.createElement('table');
  table.id = 'history-table';
  const head = table.createTHead().insertRow();
  for (const id of ['IDS_WEB_HISTORY_PICK', 'IDS_WEB_HISTORY_WHEN', 'IDS_WEB_HISTORY_WHO', 'IDS_WEB_HISTORY_SOURCE',
    'IDS_WEB_HISTORY_COMMENT', 'IDS_WEB_HISTORY_CHANGED', 'IDS_WEB_HISTORY_ACTIONS']) {
    const th = document.createElement('th');
    th.scope = 'col';
    th.textContent = S[id];
    head.append(th);
  }
  const body = table.createTBody();
  for (const [index, revision] of shown.entries()) {
    const row = body.insertRow();
    row.dataset.revision = revision.id ?? `seq-${revision.seq}`;
    const label = `${short(revision)} ${when(revision.at)}`;
    const pick = document.createElement('input');
    pick.type = 'checkbox';
    pick.className = 'pick';
    pick.value = String(index);
    pick.setAttribute('aria-label', `${S.IDS_WEB_HISTORY_PICK} ${label}`);
    cell(row, [pick]);
    const marks = [];
    if (revision.seq !== undefined) marks.push(revision.state === 'refused' ? `${S.IDS_WEB_RECORD_REFUSED}${revision.error}` : S.IDS_WEB_HISTORY_NOT_SENT);
    if (heads.has(revision.id)) marks.push(S.IDS_WEB_HISTORY_HEAD);
    cell(row, when(revision.at) + (marks.length ? ` (${marks.join(', ')})` : ''));
    cell(row, revision.author);
    cell(row, sourceText(revision.source));
    cell(row, revision.comment);
    cell(row, revision.changed === undefined ? '' : revision.changed < 0 ? S.IDS_WEB_HISTORY_FIRST : String(revision.changed));
    const actions = [button(S.IDS_WEB_REVISION_OPEN, label, () => openRevision(revision))];
    if (may('installer')) actions.push(button(S.IDS_WEB_REVISION_DOWNLOAD, label, () => download(revision)));
    actions.push(button(S.IDS_WEB_REVISION_PRINT, label, () => print(revision)));
    cell(row, actions).className = 'actions';
  }
  dialog.querySelector('.body').replaceChildren(table);
  if (!dialog.open) dialog.showModal();
}

async function fileOf(revision) {
  return revisionFile(currentSite().number, revision);
}

async function openRevision(revision) {
  dialog.close();
  if (!(await confirmDiscard())) return;
  try {
    showRevision(await fileOf(revision));
    showStatus('IDS_WEB_REVISION_OPENED', `${short(revision)} ${when(revision.at)}`);
  } catch (error) {
    showStatus('IDS_WEB_OFFICE_REFUSED', error.message ?? '');
  }
}

async function download(revision) {
  const { osr } = await fileOf(revision);
  const url = URL.createObjectURL(new Blob([osr], { type: 'application/octet-stream' }));
  const a = document.createElement('a');
  a.href = url;
  a.download = `${currentSite().number}-${short(revision)}.osr`;
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

async function print(revision) {
  const site = currentSite();
  const { osr, values } = await fileOf(revision);
  printRecord(Office.revisionRecord(osr, {
    number: site.number, address: site.site.address ?? '', customer: site.site.customer ?? '',
    revision: revision.id ?? '', at: revision.at, author: revision.author ?? '', scope: '#print',
    secret: shownSecret(values),
  }));
}

// The fields in which the older and the newer chosen revision differ.
async function compare() {
  const picked = [...dialog.querySelectorAll('.pick:checked')].map((p) => shown[Number(p.value)]);
  const out = dialog.querySelector('.diff');
  if (picked.length !== 2) {
    out.textContent = S.IDS_WEB_COMPARE_HINT;
    return;
  }
  const [newer, older] = picked;
  let difference;
  try {
    if (older.id && newer.id) {
      difference = await api('GET', sitePath(currentSite().number, `/diff?from=${older.id}&to=${newer.id}`));
    } else {
      const [a, b] = await Promise.all([fileOf(older), fileOf(newer)]);
      difference = Office.compare(a.osr, b.osr);
    }
  } catch (error) {
    out.textContent = S.IDS_WEB_OFFICE_REFUSED + (error.message ?? '');
    return;
  }
  showDifference(out, difference, older, newer);
}

function showDifference(out, difference, older, newer) {
  out.replaceChildren();
  const other = Array.isArray(difference.other_bytes) ? difference.other_bytes.length : difference.other_bytes;
  if (!difference.fields.length) {
    const p = document.createElement('p');
    p.textContent = S.IDS_WEB_DIFF_NONE;
    out.append(p);
  }
  // Page by page, in page order.
  const byPage = new Map();
  for (const change of difference.fields) {
    const known = fieldOf(change.key);
    const index = known ? known.index : -1;
    if (!byPage.has(index)) byPage.set(index, []);
    byPage.get(index).push({ ...change, known });
  }
  for (const index of [...byPage.keys()].sort((a, b) => a - b)) {
    const section = document.createElement('section');
    section.className = 'diff-page';
    const h = document.createElement('h3');
    h.textContent = index >= 0 ? E.pages[index].label : '';
    const table = document.createElement('table');
    const head = table.createTHead().insertRow();
    for (const text of [S.IDS_WEB_PREVIEW_FIELD, `${short(older)} ${when(older.at)}`, `${short(newer)} ${when(newer.at)}`]) {
      const th = document.createElement('th');
      th.scope = 'col';
      th.textContent = text;
      head.append(th);
    }
    const body = table.createTBody();
    for (const change of byPage.get(index)) {
      const row = body.insertRow();
      row.dataset.key = change.key;
      const field = change.known?.field;
      cell(row, field ? `${field.group ? field.group + ' / ' : ''}${field.label}` : change.key);
      cell(row, change.from);
      cell(row, change.to);
    }
    section.append(h, table);
    out.append(section);
  }
  if (other) {
    const p = document.createElement('p');
    p.textContent = S.IDS_WEB_DIFF_OTHER + other;
    out.append(p);
  }
}

$('history-compare').addEventListener('click', compare);
