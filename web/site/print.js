// Printing: the customer's record of the configuration (the same document
// as the command-line tool's report), made by the engine into the print
// area, which only the print media shows.
import { E } from './engine.js';
import { currentFileName } from './files.js';

const area = document.getElementById('print');

// A record made elsewhere (a revision of a site's history) while it prints.
let other = null;
// The secret as the office showed it to a viewer, whose pages do not hold
// it; null: the pages' own, masked.
let secretShown = () => null;
export function showSecretAs(get) {
  secretShown = get;
}

export function fillPrint() {
  if (other !== null) {
    area.innerHTML = other;
    return;
  }
  const date = new Date().toLocaleString('ru-RU', { dateStyle: 'short', timeStyle: 'short' });
  area.innerHTML = E.record(currentFileName(), date, '#print', secretShown());
}
window.addEventListener('beforeprint', fillPrint);

// Prints the record `html` instead of the pages'.
export function printRecord(html) {
  other = html;
  try {
    fillPrint();
    window.print();
  } finally {
    other = null;
  }
}
