// The browser around the configurator: a browser without WebHID, the
// offline copy, a host that sends the engine with another type, printing,
// and leaving with unsaved changes.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { Browser, S, SITE, cli, demoFile, openFile, saveFile, shownByCli, shownByPage, status, waitStatus, writeTemp } from './support.mjs';
import { serve } from '../../web/tools/serve.mjs';

let browser;
before(async () => { browser = await Browser.start(); });
after(async () => { await browser?.close(); });

test('without WebHID: a clear notice, no Read or Write, files still open, edit and save', async () => {
  const page = await browser.open({ hid: 'none' });
  // Served alone (no office behind it): no login and no sites.
  await page.waitForSelector('body[data-office]');
  assert.deepEqual(await page.evaluate(() => [document.body.dataset.office, document.getElementById('sites').hidden,
    document.getElementById('login').hidden, document.getElementById('cmd-history').hidden]), ['alone', true, true, true]);
  assert.equal(await page.$eval('#notice', (n) => !n.hidden && n.textContent), S.IDS_WEB_NO_HID);
  assert.equal(await page.$eval('#cmd-read', (b) => b.disabled), true);
  assert.equal(await page.$eval('#cmd-write', (b) => b.disabled), true);
  await openFile(page, 'plain.osr', demoFile());
  assert.deepEqual(await shownByPage(page), shownByCli(writeTemp('plain.osr', demoFile())));
  await page.click('#tree [role=treeitem]:nth-child(23)');
  await page.click('#f-temperature-upper', { clickCount: 3 });
  await page.keyboard.type('40');
  const saved = await saveFile(page, 'plain.osr');
  assert.equal(saved.length, 2316);
  // The demo alarm needs no WebHID: chosen, it reads as an alarm does.
  await page.click('#cmd-demo');
  assert.equal(await page.$eval('#demo-badge', (b) => !b.hidden && b.textContent), S.IDS_WEB_DEMO_BADGE);
  await waitStatus(page, 'IDS_CONNECTED');
  assert.equal(await page.$eval('#cmd-read', (b) => b.disabled), false);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('offline: once loaded, a reload with the server gone comes from the service worker', async () => {
  const server = await serve(SITE, 0);
  const url = `http://localhost:${server.address().port}/`;
  const page = await browser.open({ url });
  await page.evaluate(() => navigator.serviceWorker.ready);
  await new Promise((resolve) => server.close(resolve));
  server.closeAllConnections?.();
  await page.reload();
  await page.waitForSelector('body[data-ready]');
  await openFile(page, 'offline.osr', demoFile());
  assert.equal(await status(page), S.IDS_FILE_READ_DONE + 'offline.osr');
  await page.close();
});

// The page compiles the engine from its head as it streams, which needs the
// host to send it as application/wasm; from a host that does not, the
// engine's own loader takes it, and the page starts all the same.
test('a host that sends the engine with another type: the page starts and works all the same', async () => {
  const server = await serve(SITE, 0, {
    '/engine.wasm': ['application/octet-stream', readFileSync(join(SITE, 'engine.wasm'))],
  });
  const page = await browser.open({ url: `http://localhost:${server.address().port}/` });
  assert.equal(await page.evaluate(async () => await window.ostrelEngineModule), null);
  await openFile(page, 'typed.osr', demoFile());
  assert.deepEqual(await shownByPage(page), shownByCli(writeTemp('typed.osr', demoFile())));
  assert.deepEqual(page.errors, []);
  await page.close();
  server.close();
});

test('print: the customer\'s record, as the command-line tool writes it, the password masked', async () => {
  const page = await browser.open();
  const path = writeTemp('print.osr', demoFile());
  await openFile(page, 'print.osr', demoFile());
  await page.emulateMediaType('print');
  await page.evaluate(() => window.dispatchEvent(new Event('beforeprint')));
  const rowsOf = (root) => [...root.querySelectorAll('section tr')].map((r) => [...r.cells].map((c) => c.textContent));
  const printed = await page.$eval('#print', (p, rowsOf) => ({
    visible: getComputedStyle(p).display !== 'none',
    app: getComputedStyle(document.getElementById('app')).display,
    pages: p.querySelectorAll('section').length,
    rows: eval(rowsOf)(p),
  }), rowsOf.toString());
  assert.equal(printed.visible, true);
  assert.equal(printed.app, 'none');
  assert.equal(printed.pages, 23);
  // The same document as the tool's report of the same file.
  const report = cli('report', path, '-o', '-');
  const reported = await page.evaluate((html, rowsOf) =>
    eval(rowsOf)(new DOMParser().parseFromString(html, 'text/html')), report, rowsOf.toString());
  assert.deepEqual(printed.rows, reported);
  const shown = shownByCli(path);
  const password = printed.rows.find(([label]) => label === S.IDS_SECUR_PASSWORD)[1];
  assert.ok(shown['security.password'].length > 0);
  assert.equal(password, '*'.repeat(shown['security.password'].length));
  assert.ok(!printed.rows.some(([, value]) => value === shown['security.password']));
  const pdf = await page.pdf({ format: 'A4' });
  assert.ok(pdf.length > 1000);
  await page.close();
});

test('leaving with unsaved changes: the browser asks', async () => {
  const page = await browser.open();
  const clean = await page.evaluate(() => {
    const e = new Event('beforeunload', { cancelable: true });
    window.dispatchEvent(e);
    return e.defaultPrevented;
  });
  assert.equal(clean, false);
  await page.click('#tree [role=treeitem]:nth-child(21)');
  await page.click('#f-security-caller_id_protection');
  const dirty = await page.evaluate(() => {
    const e = new Event('beforeunload', { cancelable: true });
    window.dispatchEvent(e);
    return e.defaultPrevented;
  });
  assert.equal(dirty, true);
  await page.close();
});
