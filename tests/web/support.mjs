// What the browser tests share: the built site served on a free port of
// localhost, Debian's Chromium driven headless by puppeteer-core, the
// command-line tool as the reference, configuration files made for the
// tests, and the hooks a test installs before the page's own scripts run
// (a scripted HID device as navigator.hid, file pickers that hand over
// given bytes and keep what is written).
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';
import { serve } from '../../web/tools/serve.mjs';

export const ROOT = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const SITE = process.env.OSTREL_SITE ?? join(ROOT, 'build/web/web/site');
export const CLI = process.env.OSTREL_CLI ?? join(ROOT, 'build/native/src/cli/ostrel-cli');
export const CHROMIUM = process.env.OSTREL_CHROMIUM ?? '/usr/bin/chromium';
// What the page is made of, as the engine says (its texts by name, its
// pages, its device): asked of the built engine itself.
globalThis.window ??= globalThis;
const { default: createEngine } = await import(pathToFileURL(join(SITE, 'engine.mjs')).href);
const engine = await createEngine({ hidLink: {}, onNotify() {}, wasmBinary: readFileSync(join(SITE, 'engine.wasm')) });
export const site = JSON.parse(engine.UTF8ToString(engine._ost_site(1)));
export const S = site.texts;

export const IMAGE_SIZE = 2300;
export const FILE_SIZE = 2316;
export const tmp = mkdtempSync(join(tmpdir(), 'ostrel-web-'));

// ---- The reference: the command-line tool ----

export function cli(...args) {
  return execFileSync(CLI, args, { encoding: 'utf8' });
}
// Field key -> value as the desktop's pages show it.
export function shownByCli(path) {
  const values = {};
  for (const page of JSON.parse(cli('show', '--json', path)))
    for (const field of page.fields) values[field.key] = field.value;
  return values;
}
let demo = null;
// The demonstration configuration, as the tool reads it from its emulated alarm.
export function demoFile() {
  if (!demo) {
    const path = join(tmp, 'demo.osr');
    cli('read', '--emulated', '-o', path);
    demo = readFileSync(path);
  }
  return demo;
}

// ---- Configuration files ----

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
export function crc32(bytes) {
  let crc = 0xffffffff;
  for (const b of bytes) crc = CRC_TABLE[(crc ^ b) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}
// A configuration file around a 2300-byte image.
export function fileOf(image) {
  const file = Buffer.alloc(FILE_SIZE);
  file.writeUInt32LE(0x2df1538c, 0);
  file.writeUInt32LE(FILE_SIZE - 8, 4);
  file.writeUInt32LE(3, 12);
  Buffer.from(image).copy(file, 16);
  file.writeUInt32LE(crc32(file.subarray(12)), 8);
  return file;
}
// A reproducible random image.
export function randomImage(seed) {
  let x = seed * 2654435761 >>> 0 || 1;
  const image = Buffer.alloc(IMAGE_SIZE);
  for (let i = 0; i < IMAGE_SIZE; ++i) {
    x ^= x << 13; x >>>= 0; x ^= x >>> 17; x ^= x << 5; x >>>= 0;
    image[i] = x & 0xff;
  }
  return image;
}
export function writeTemp(name, bytes) {
  const path = join(tmp, name);
  writeFileSync(path, bytes);
  return path;
}

// ---- The browser ----

// Runs before the page's scripts: file pickers over given bytes, and
// navigator.hid as the test wants it ('scripted': a scripted WebHID with no
// device yet; 'none': a browser without WebHID).
function hooks(hid) {
  window.__files = { next: null, written: {} };
  const handle = (name, bytes) => ({
    name,
    kind: 'file',
    async getFile() {
      if (bytes === null) throw new DOMException('unreadable', 'NotReadableError');
      return new File([new Uint8Array(bytes)], name);
    },
    async createWritable() {
      const chunks = [];
      return {
        async write(data) { chunks.push(...new Uint8Array(data)); },
        async close() { window.__files.written[name] = chunks; },
      };
    },
  });
  window.showOpenFilePicker = async () => {
    const next = window.__files.next;
    if (!next) throw new DOMException('cancelled', 'AbortError');
    return [handle(next.name, next.bytes)];
  };
  window.showSaveFilePicker = async ({ suggestedName }) => handle(window.__files.saveAs ?? suggestedName, []);
  if (hid === 'none') {
    delete Navigator.prototype.hid;
  } else if (hid === 'scripted') {
    class ScriptedHid extends EventTarget {
      constructor() { super(); this.devices = []; }
      async getDevices() { return this.devices.slice(); }
      async requestDevice() { return this.devices.slice(); }
      plug(device) {
        this.devices.push(device);
        const event = new Event('connect');
        event.device = device;
        this.dispatchEvent(event);
      }
      unplug(device) {
        this.devices = this.devices.filter((d) => d !== device);
        const event = new Event('disconnect');
        event.device = device;
        this.dispatchEvent(event);
      }
    }
    const scripted = new ScriptedHid();
    Object.defineProperty(Navigator.prototype, 'hid', { get: () => scripted, configurable: true });
  }
}

export class Browser {
  static async start() {
    const b = new Browser();
    b.server = await serve(SITE, 0);
    b.url = `http://localhost:${b.server.address().port}/`;
    b.browser = await puppeteer.launch({
      executablePath: CHROMIUM,
      headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
    });
    return b;
  }

  // A fresh page of the configurator, ready to edit.
  async open({ hid = 'scripted', url = this.url } = {}) {
    const context = await this.browser.createBrowserContext();
    const page = await context.newPage();
    page.errors = [];
    page.on('pageerror', (error) => page.errors.push(error.message));
    await page.setViewport({ width: 1280, height: 800 });
    await page.evaluateOnNewDocument(hooks, hid);
    await page.goto(url);
    await page.waitForSelector('body[data-ready]');
    return page;
  }

  async close() {
    await this.browser.close();
    this.server.close();
  }
}

// ---- What a test does on the page ----

export const status = (page) => page.$eval('#status', (e) => e.value);
export const modifiedMark = (page) => page.$eval('#modified', (e) => e.value);

export async function waitStatus(page, id, timeout = 15000) {
  await page.waitForFunction((t) => document.getElementById('status').value.startsWith(t), { timeout }, S[id]);
}

// Opens `bytes` as the file `name` through the Open button (null bytes: the
// file cannot be read).
// `bytes` a number: a file of that many bytes 0x55, made in the page.
export async function openFile(page, name, bytes) {
  if (typeof bytes === 'number') {
    await page.evaluate((name, n) => { window.__files.next = { name, bytes: new Uint8Array(n).fill(0x55) }; }, name, bytes);
  } else {
    await page.evaluate((name, bytes) => { window.__files.next = { name, bytes }; }, name, bytes ? [...bytes] : null);
  }
  const before = await status(page);
  await page.click('#cmd-open');
  await page.waitForFunction((b) => document.getElementById('status').value !== b, {}, before === '' ? '\u0000' : before);
}

// Saves through the Save button; the bytes written.
export async function saveFile(page, name) {
  await page.evaluate(() => { window.__files.written = {}; });
  await page.click('#cmd-save');
  await page.waitForFunction((n) => window.__files.written[n], {}, name);
  return Buffer.from(await page.evaluate((n) => window.__files.written[n], name));
}

// Every field's value as the pages show it, read from the page's controls,
// page after page through the tree.
export async function shownByPage(page) {
  return page.evaluate(async () => {
    const values = {};
    const items = [...document.querySelectorAll('#tree [role=treeitem]')];
    for (const item of items) {
      item.click();
      for (const row of document.querySelectorAll('#page .field')) {
        const key = row.dataset.key;
        const box = row.querySelector('input[type=checkbox]');
        const select = row.querySelector('select');
        const edits = [...row.querySelectorAll('input[type=text]')];
        if (box) values[key] = box.checked ? 'да' : 'нет';
        else if (select) values[key] = select.selectedIndex >= 0 ? select.options[select.selectedIndex].text : '';
        else values[key] = edits.map((e) => e.value).join('.');
      }
    }
    items[0].click();
    return values;
  });
}

// Plugs the emulated alarm into the scripted WebHID; options go to its
// constructor, faults to setFaults.
export async function plugAlarm(page, { answerDelayMs = 1, faults = null, stalled = false } = {}) {
  await page.evaluate(async (answerDelayMs, faults, stalled) => {
    const device = new window.ostrel.EmulatedHidDevice(window.ostrel.engine, { answerDelayMs });
    if (faults) device.setFaults(faults);
    device.stalled = stalled;
    device.onUnplug = (d) => navigator.hid.unplug(d);
    window.__alarm = device;
    navigator.hid.plug(device);
  }, answerDelayMs, faults, stalled);
  await waitStatus(page, 'IDS_CONNECTED');
}

// Every text the status line shows from now on, in order.
export async function recordStatuses(page) {
  await page.evaluate(() => {
    window.__statuses = [];
    const line = document.getElementById('status');
    new MutationObserver(() => window.__statuses.push(line.value)).observe(line, { childList: true, characterData: true, subtree: true });
  });
}
export async function waitStatusSeen(page, id, timeout = 20000) {
  await page.waitForFunction((t) => window.__statuses.includes(t), { timeout }, S[id]);
}
