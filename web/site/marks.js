// What the window's frame shows: the status line, the modified mark, the
// title with the file's name, the progress bar, and the marks of fields
// changed since the last open, read or save (on the page and, by page, in
// the tree). Owns the values of that last open, read or save.
import { E, S, onModified, onProgress } from './engine.js';
import { markPages } from './tree.js';

const $ = (id) => document.getElementById(id);

export function showStatus(id, name = '') {
  $('status').value = S[id] + name;
}
export function showTitle(fileName) {
  document.title = S.IDS_TITLE + (fileName ? ' - ' + fileName : '');
}
// A new scale (the bar at `value`), or the bar kept at its end.
export function setProgress(max = $('progress').max, value = 0) {
  $('progress').max = max;
  $('progress').value = value;
}
onProgress((value) => { $('progress').value = value; });
onModified((set) => { $('modified').value = set ? ' *' : ''; });

// The values at the last open, read or save (first: the initial ones).
let baseline = null;

export function markChanges() {
  if (!baseline) return; // nothing has changed yet
  const now = E.values();
  const changedPages = new Set();
  for (const [index, page] of E.pages.entries())
    for (const field of page.fields)
      if (now[field.key] !== baseline[field.key]) changedPages.add(index);
  markPages(changedPages, S.IDS_WEB_CHANGED);
  for (const row of document.querySelectorAll('#page .field')) {
    const changed = now[row.dataset.key] !== baseline[row.dataset.key];
    row.classList.toggle('changed', changed);
    row.title = changed ? S.IDS_WEB_CHANGED : '';
  }
}

// The initial values are taken once the page is idle, or before the first
// change if that comes first.
export function initialBaseline() {
  baseline ??= E.values();
}

export function takeBaseline() {
  baseline = E.values();
  markChanges();
}
