// The page tree: one item per page, in page order, moved through with the
// arrow keys, Home, End and Page Up/Down. Owns which page is selected; what
// a selection shows is the caller's (onSelect).
import { E, S } from './engine.js';

const tree = document.getElementById('tree');
let selected = 0;
let onSelect = () => {};

const items = E.pages.map((page, index) => {
  const item = document.createElement('li');
  item.setAttribute('role', 'treeitem');
  item.id = `tree-${page.key}`;
  item.textContent = page.label;
  item.tabIndex = -1;
  item.addEventListener('click', () => selectPage(index, true));
  tree.append(item);
  return item;
});
tree.setAttribute('aria-label', S.IDS_TITLE);
tree.addEventListener('keydown', (event) => {
  const moves = { ArrowDown: 1, ArrowUp: -1, Home: -Infinity, End: Infinity, PageDown: 5, PageUp: -5 };
  if (!(event.key in moves)) return;
  event.preventDefault();
  selectPage(Math.max(0, Math.min(items.length - 1, selected + moves[event.key])), true);
});

export const selectedPage = () => selected;

export function whenSelected(show) {
  onSelect = show;
}

export function selectPage(index, focusTree = false) {
  selected = index;
  items.forEach((item, i) => {
    item.setAttribute('aria-selected', String(i === index));
    item.tabIndex = i === index ? 0 : -1;
  });
  if (focusTree) {
    items[index].focus();
    items[index].scrollIntoView({ block: 'nearest' });
  }
  onSelect(index);
}

// The pages with changed fields, marked with `note`.
export function markPages(changed, note) {
  items.forEach((item, i) => {
    item.classList.toggle('changed', changed.has(i));
    item.title = changed.has(i) ? note : '';
  });
}
