// The office for the browser tests: a real ostrel-server on a free port of
// localhost, with its data in a folder of its own, on SQLite or on a fresh
// database of the PostgreSQL cluster that scripts/test starts; operators of
// each role; the API called as another client would call it; and the
// browser that logs in to it.
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { request } from 'node:https';
import { createServer } from 'node:net';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';
import { CHROMIUM, ROOT, SITE, tmp } from './support.mjs';

export const SERVER = process.env.OSTREL_SERVER_BIN ?? join(ROOT, 'build/native/src/server/ostrel-server');
export const PASSWORD = 'correct-horse-1';
// The backends the office's tests run on.
export const BACKENDS = ['sqlite', ...(process.env.OSTREL_TEST_POSTGRESQL ? ['postgresql'] : [])];

async function freePort() {
  return new Promise((resolve) => {
    const probe = createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

let databases = 0;
// A fresh database of the test cluster.
function freshPostgresql() {
  const name = `web_${process.pid}_${++databases}`;
  const url = process.env.OSTREL_TEST_POSTGRESQL;
  execFileSync('psql', [url, '-q', '-c', `CREATE DATABASE ${name}`]);
  return url.replace(/^postgresql:\/\/\/[^?]*/, `postgresql:///${name}`);
}

export class Office {
  // Starts an office on `backend` with the operators admin, installer and
  // viewer (each with PASSWORD).
  static async start(backend = 'sqlite') {
    const office = new Office();
    office.data = mkdtempSync(join(tmp, 'office-'));
    office.port = await freePort();
    office.url = `https://localhost:${office.port}`;
    const store = ['--data', office.data, ...(backend === 'postgresql' ? ['--database', freshPostgresql()] : [])];
    office.args = [...store, '--port', String(office.port), '--host', '127.0.0.1', '--site', SITE];
    const passwordFile = join(office.data, 'password');
    writeFileSync(passwordFile, PASSWORD + '\n');
    await office.run(['--admin-password-file', passwordFile]);
    for (const role of ['installer', 'viewer'])
      execFileSync(SERVER, [...store, 'user', 'add', role, '--role', role, '--password-file', passwordFile]);
    return office;
  }

  async run(extra = []) {
    this.process = spawn(SERVER, [...this.args, ...extra], { stdio: ['ignore', 'pipe', 'pipe'] });
    this.log = '';
    this.process.stderr.on('data', (d) => { this.log += d; });
    await new Promise((resolve, reject) => {
      this.process.stdout.on('data', (d) => {
        this.log += d;
        if (this.log.includes('The office serves')) resolve();
      });
      this.process.on('exit', (code) => reject(new Error(`ostrel-server ended (${code}):\n${this.log}`)));
    });
  }

  async stop() {
    if (!this.process || this.process.exitCode !== null) return;
    const ended = new Promise((resolve) => this.process.once('exit', resolve));
    this.process.kill('SIGTERM');
    await ended;
  }

  // Another client of the API, logged in as `name`.
  async client(name) {
    const c = new ApiClient(this);
    await c.call('POST', '/api/login', { name, password: PASSWORD });
    return c;
  }
}

export class ApiClient {
  constructor(office) {
    this.office = office;
    this.cookie = '';
  }

  // {status, body}: the answer's JSON (or bytes).
  call(method, path, body) {
    const data = body === undefined ? null : Buffer.from(JSON.stringify(body));
    const headers = { Origin: this.office.url, Host: `localhost:${this.office.port}` };
    if (this.cookie) headers.Cookie = this.cookie;
    if (data) Object.assign(headers, { 'Content-Type': 'application/json', 'Content-Length': data.length });
    return new Promise((resolve, reject) => {
      const req = request({ host: '127.0.0.1', port: this.office.port, path, method, headers, rejectUnauthorized: false }, (res) => {
        const chunks = [];
        res.on('data', (c) => chunks.push(c));
        res.on('end', () => {
          const set = res.headers['set-cookie']?.find((c) => c.startsWith('ostrel_session='));
          if (set) this.cookie = set.split(';')[0];
          const raw = Buffer.concat(chunks);
          const json = (res.headers['content-type'] ?? '').startsWith('application/json');
          if (res.statusCode >= 400) reject(new Error(`${method} ${path}: ${res.statusCode} ${raw}`));
          else resolve(json ? JSON.parse(raw) : raw);
        });
      });
      req.on('error', reject);
      req.end(data);
    });
  }
}

// Chromium for the office: its self-signed certificate accepted (the
// service worker included), as an installer accepts it once.
export async function officeBrowser(options = {}) {
  return puppeteer.launch({
    ...options,
    executablePath: CHROMIUM,
    headless: true,
    acceptInsecureCerts: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--ignore-certificate-errors'],
  });
}

// A page of `office` in a context of its own (`context` given: in that
// one, as a second tab), logged in as `name` (null: not logged in).
export async function officePage(browser, office, name, { context = null, hid = true } = {}) {
  context ??= await browser.createBrowserContext();
  const page = await context.newPage();
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(error.message));
  await page.setViewport({ width: 1280, height: 800 });
  await page.goto(`${office.url}/`);
  await page.waitForSelector('body[data-office]');
  if (name && (await page.$eval('body', (b) => b.dataset.office)) === 'login') {
    await page.type('#login-name', name);
    await page.type('#login-password', PASSWORD);
    await Promise.all([page.waitForNavigation(), page.click('#login-submit')]);
  }
  if (name) await page.waitForSelector('body[data-sites]');
  return page;
}

// Opens site `number` from the panel, by its entry in the list.
export async function openSite(page, number) {
  await page.$eval('#sites-search', (input, n) => {
    input.value = n;
    input.dispatchEvent(new Event('input'));
  }, number);
  await page.click(`#sites-list [data-number="${number}"]`);
  await page.waitForFunction((n) => document.title.includes(n), {}, number);
}

// The axe-core audit (WCAG 2.1 A and AA) of what the page shows: its
// violations, each as "rule: the elements".
const AXE = readFileSync(join(ROOT, 'tests/web/node_modules/axe-core/axe.min.js'), 'utf8');
export async function audit(page) {
  await page.evaluate(AXE);
  const violations = await page.evaluate(async () => {
    const result = await window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } });
    return result.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
  });
  return violations;
}
