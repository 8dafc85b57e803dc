// The admin's page: the operators (add, change the role, disable, set a
// new password) and the audit log with its filters. The office checks
// every right again; the page offers only what the admin may do.
import { S } from './engine.js';
import { api, roleText } from './office.js';

const $ = (id) => document.getElementById(id);
const dialog = $('admin');
const ROLES = ['viewer', 'installer', 'admin'];
let note = null;

function element(tag, props = {}, ...children) {
  const el = document.createElement(tag);
  for (const [key, value] of Object.entries(props)) {
    if (key.startsWith('aria-') || key === 'for' || key === 'list') el.setAttribute(key, value);
    else el[key] = value;
  }
  el.append(...children);
  return el;
}

function labelled(id, text, control) {
  control.id = id;
  return [element('label', { for: id, textContent: text }), control];
}

function roleSelect(value, props) {
  const select = element('select', props);
  for (const role of ROLES) select.append(new Option(roleText(role), role, false, role === value));
  return select;
}

// Runs a change of the office and shows what it said.
async function change(run, done) {
  try {
    await run();
    note.textContent = S.IDS_WEB_OPERATOR_DONE + done;
  } catch (error) {
    note.textContent = S.IDS_WEB_OFFICE_REFUSED + error.message;
  }
  await showOperators();
}

async function showOperators() {
  const table = $('operators-table');
  const body = table.tBodies[0];
  body.replaceChildren();
  const { operators } = await api('GET', '/api/operators');
  for (const op of operators) {
    const row = body.insertRow();
    row.dataset.operator = op.name;
    row.insertCell().textContent = op.name;
    const role = roleSelect(op.role, { 'aria-label': `${S.IDS_WEB_OPERATOR_ROLE} ${op.name}` });
    role.addEventListener('change', () => change(() => api('PATCH', `/api/operators/${encodeURIComponent(op.name)}`, { role: role.value }), op.name));
    row.insertCell().append(role);
    const off = element('input', { type: 'checkbox', checked: op.disabled, 'aria-label': `${S.IDS_WEB_OPERATOR_DISABLED} ${op.name}` });
    off.addEventListener('change', () => change(() => api('PATCH', `/api/operators/${encodeURIComponent(op.name)}`, { disabled: off.checked }), op.name));
    row.insertCell().append(off);
    row.insertCell().textContent = new Date(op.created).toLocaleDateString('ru-RU');
    const password = element('input', { type: 'password', autocomplete: 'new-password', minLength: 8,
      'aria-label': `${S.IDS_WEB_OPERATOR_PASSWORD} ${op.name}` });
    const reset = element('button', { type: 'button', textContent: S.IDS_WEB_OPERATOR_RESET, 'aria-label': `${S.IDS_WEB_OPERATOR_RESET} ${op.name}` });
    reset.addEventListener('click', () => change(() => api('PATCH', `/api/operators/${encodeURIComponent(op.name)}`, { password: password.value }), op.name));
    row.insertCell().append(password, reset);
  }
}

async function showAudit() {
  const since = $('audit-since').value;
  const who = $('audit-who').value.trim().toLowerCase();
  const action = $('audit-action').value.trim().toLowerCase();
  const query = new URLSearchParams({ limit: '1000' });
  if (since) query.set('since', since);
  const body = $('audit-table').tBodies[0];
  body.replaceChildren();
  let entries;
  try {
    ({ entries } = await api('GET', `/api/audit?${query}`));
  } catch (error) {
    note.textContent = S.IDS_WEB_OFFICE_REFUSED + error.message;
    return;
  }
  // An action is shown in the office's words, and found by them or by its
  // key; the filter offers the actions the log holds.
  const actionText = (e) => e.action_text ?? e.action;
  const offered = new Set([...$('audit-actions').options].map((o) => o.value));
  for (const text of new Set(entries.map(actionText)))
    if (!offered.has(text)) $('audit-actions').append(new Option(text));
  for (const e of entries.reverse()) {
    if (who && !e.who.toLowerCase().includes(who)) continue;
    if (action && !actionText(e).toLowerCase().includes(action) && !e.action.toLowerCase().includes(action)) continue;
    const row = body.insertRow();
    row.dataset.action = e.action;
    for (const text of [new Date(e.at).toLocaleString('ru-RU'), e.who, e.from, actionText(e), e.subject, e.detail_text ?? e.detail])
      row.insertCell().textContent = text;
  }
}

function table(id, heads) {
  const t = element('table', { id });
  const row = t.createTHead().insertRow();
  for (const text of heads) row.append(element('th', { scope: 'col', textContent: text }));
  t.createTBody();
  return t;
}

function build() {
  note = element('p', { id: 'admin-note', role: 'status' });
  const name = element('input', { autocomplete: 'off', required: true });
  const role = roleSelect('installer', {});
  const password = element('input', { type: 'password', autocomplete: 'new-password', minLength: 8 });
  const add = element('button', { type: 'button', id: 'operator-add', textContent: S.IDS_WEB_OPERATOR_ADD });
  add.addEventListener('click', () => change(() => api('POST', '/api/operators', { name: name.value, role: role.value, password: password.value }), name.value));
  const since = element('input', { type: 'date' });
  const who = element('input', { autocomplete: 'off' });
  const action = element('input', { autocomplete: 'off', list: 'audit-actions' });
  const show = element('button', { type: 'button', id: 'audit-show', textContent: S.IDS_WEB_AUDIT_SHOW });
  show.addEventListener('click', showAudit);
  dialog.querySelector('.body').append(
    note,
    element('h3', { textContent: S.IDS_WEB_OPERATORS }),
    table('operators-table', [S.IDS_WEB_OPERATOR_NAME, S.IDS_WEB_OPERATOR_ROLE, S.IDS_WEB_OPERATOR_DISABLED,
      S.IDS_WEB_OPERATOR_CREATED, S.IDS_WEB_OPERATOR_RESET]),
    element('div', { className: 'admin-form' },
      ...labelled('operator-name', S.IDS_WEB_OPERATOR_NAME, name),
      ...labelled('operator-role', S.IDS_WEB_OPERATOR_ROLE, role),
      ...labelled('operator-password', S.IDS_WEB_OPERATOR_PASSWORD, password), add),
    element('h3', { textContent: S.IDS_WEB_AUDIT }),
    element('div', { className: 'admin-form' },
      ...labelled('audit-since', S.IDS_WEB_AUDIT_SINCE, since),
      ...labelled('audit-who', S.IDS_WEB_AUDIT_WHO, who),
      ...labelled('audit-action', S.IDS_WEB_AUDIT_ACTION, action), element('datalist', { id: 'audit-actions' }), show),
    element('div', { className: 'audit' }, table('audit-table', [S.IDS_WEB_AUDIT_WHEN, S.IDS_WEB_AUDIT_WHO,
      S.IDS_WEB_AUDIT_FROM, S.IDS_WEB_AUDIT_ACTION, S.IDS_WEB_AUDIT_SUBJECT, S.IDS_WEB_AUDIT_DETAIL])));
}

export async function showAdmin() {
  if (!note) build();
  note.textContent = '';
  dialog.showModal();
  await Promise.all([showOperators(), showAudit()]);
}
