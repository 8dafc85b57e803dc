// A page, made from its field table as the engine describes it: a frame
// with the page's title, its fields (boxes in columns under their group's
// caption, other fields as label and control with the unit beside), every
// control showing what the engine holds and handing it what the user does.
import { E, S } from './engine.js';
import { initialBaseline, markChanges } from './marks.js';

const $ = (id) => document.getElementById(id);
const fieldId = (key, part = 0) => `f-${key.replace(/\./g, '-')}${part ? '-2' : ''}`;
// The page shown.
let shown = 0;

export function renderPage(index = shown) {
  buildPage(index);
  refreshControls();
}

// The page's controls, not yet showing the engine's values (the first page
// is made while the engine starts).
export function buildPage(index) {
  shown = index;
  const page = E.pages[index];
  const frame = document.createElement('fieldset');
  frame.className = 'frame';
  const legend = document.createElement('legend');
  legend.textContent = page.title || page.label;
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
    group.append(renderField(index, field));
  }
  $('page').replaceChildren(frame);
  $('page').setAttribute('aria-label', page.label);
}

function renderField(index, field) {
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
      control.append(renderEdit(index, field, part));
    }
  }
  if (field.unit) {
    const note = document.createElement('span');
    note.className = 'unit';
    note.textContent = field.unit;
    control.append(note);
  }
  row.append(label, control);
  return row;
}

function renderEdit(index, field, part) {
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
  return input;
}

// Every control of the page shows what the engine holds; the one being
// typed in keeps its caret.
export function refreshControls(typing = null) {
  const page = E.pages[shown];
  const controls = new Map(E.controls(shown).map((c) => [c.row, c]));
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
}
