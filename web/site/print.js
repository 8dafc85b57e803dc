// Printing: the customer's record of the configuration (the same document
// as the command-line tool's report), made by the engine into the print
// area, which only the print media shows.
import { E } from './engine.js';
import { currentFileName } from './files.js';

const area = document.getElementById('print');

export function fillPrint() {
  const date = new Date().toLocaleString('ru-RU', { dateStyle: 'short', timeStyle: 'short' });
  area.innerHTML = E.record(currentFileName(), date, '#print');
}
window.addEventListener('beforeprint', fillPrint);
