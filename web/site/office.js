// The office: its JSON API under /api/, the operator's session and the
// login page. Served by the office server, the configurator asks for a
// login and then knows the sites; served alone (no /api/ to answer), it
// stays a configurator of files and alarms.
import { S } from './engine.js';
import * as store from './store.js';

const $ = (id) => document.getElementById(id);

// The office answered with a refusal: its status and its message.
export class OfficeError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}
// The office cannot be reached (no network, the server stopped, its
// database away): what is recorded waits in the browser.
export class Unreachable extends Error {}

// The operator of this browser's session: {name, role}, or null.
export let operator = null;
const RANKS = { viewer: 1, installer: 2, admin: 3 };
// Whether the operator has the rights of `role`.
export const may = (role) => !!operator && RANKS[operator.role] >= RANKS[role];
export const roleText = (role) => S[`IDS_WEB_ROLE_${role.toUpperCase()}`] ?? role;

let whenLoggedOut = () => {};

// One call of the API: the answer's JSON, or the bytes of a file.
export async function api(method, path, body) {
  const init = { method, credentials: 'same-origin', cache: 'no-store', headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch {
    throw new Unreachable();
  }
  if (response.status === 503) throw new Unreachable();
  const type = response.headers.get('content-type') ?? '';
  if (response.ok && !type.startsWith('application/json')) return new Uint8Array(await response.arrayBuffer());
  let data = null;
  try {
    data = await response.json();
  } catch {
    data = null;
  }
  if (response.ok && data) return data;
  if (response.status === 401 && operator) whenLoggedOut();
  throw new OfficeError(response.status, data?.error ?? response.statusText);
}

export const sitePath = (number, rest = '') => `/api/sites/${encodeURIComponent(number)}${rest}`;

// Where the page stands: 'alone' (no office), 'login' (the office asks for
// a login), 'online' or 'offline' (an operator's session, the office
// reachable or not).
export async function findOffice() {
  try {
    const session = await api('GET', '/api/session');
    operator = { name: session.name, role: session.role };
    await store.setState('operator', operator);
    return 'online';
  } catch (error) {
    if (error instanceof OfficeError) return error.status === 401 ? 'login' : 'alone';
    // Unreachable: the office's page once logged in here works on.
    operator = await store.getState('operator').catch(() => null);
    return operator ? 'offline' : 'alone';
  }
}

// The login page instead of the configurator, until a login succeeds;
// then the page starts anew, or with `goOn` the configurator comes back as
// it was (the same operator's session having ended).
let loginShown = false;
let resume = null;
export function showLogin(goOn = null) {
  resume = goOn;
  $('app').hidden = true;
  $('login').hidden = false;
  $('login-name').focus();
  if (loginShown) return;
  loginShown = true;
  $('login-form').addEventListener('submit', async (event) => {
    event.preventDefault();
    $('login-error').textContent = '';
    try {
      const session = await api('POST', '/api/login', { name: $('login-name').value, password: $('login-password').value });
      await store.setState('operator', { name: session.name, role: session.role });
      if (resume && operator?.name === session.name) {
        $('login').hidden = true;
        $('app').hidden = false;
        $('login-password').value = '';
        resume();
      } else {
        location.reload();
      }
    } catch (error) {
      $('login-password').value = '';
      $('login-error').textContent = error instanceof Unreachable ? S.IDS_WEB_LOGIN_OFFLINE
        : error.status === 429 ? S.IDS_WEB_LOGIN_LOCKED : S.IDS_WEB_LOGIN_WRONG;
      $('login-password').focus();
    }
  });
}

// What the page does when the office says the session is gone.
export function onLoggedOut(then) {
  whenLoggedOut = then;
}

// Ends the session. What waits to be sent stays in the browser and goes at
// the next login.
export async function logout() {
  try {
    await api('POST', '/api/logout');
  } catch {
    // Logged out already, or the office unreachable: the page forgets the
    // operator all the same.
  }
  // The sites' heads kept here hold the alarms' passwords: they go with
  // the operator. What waits to be sent stays.
  await store.setState('operator', null);
  await store.clearSites();
  operator = null;
  location.reload();
}
