// Pictures of the browser configurator for the README, into docs/web:
//   node tests/web/screenshots.mjs
// The demo alarm read, at 1280 and at 1024 px wide; the list of changes
// before a write; a browser without WebHID.
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { Browser, ROOT, waitStatus } from './support.mjs';

const out = join(ROOT, 'docs/web');
mkdirSync(out, { recursive: true });
const browser = await Browser.start();

async function demoRead(page) {
  await page.click('#cmd-demo');
  await waitStatus(page, 'IDS_CONNECTED');
  await page.click('#cmd-read');
  await waitStatus(page, 'IDS_READ_DONE');
}

let page = await browser.open();
await page.setViewport({ width: 1280, height: 640 });
await demoRead(page);
await page.screenshot({ path: join(out, 'main.png') });

await page.setViewport({ width: 1024, height: 640 });
await page.click('#tree [role=treeitem]:nth-child(7)');
await page.click('#f-phone1-relay1_on');
await page.click('#f-phone1-number', { clickCount: 3 });
await page.keyboard.type('+70001112233');
await page.screenshot({ path: join(out, 'phone-1024.png') });

await page.click('#cmd-write');
await page.waitForSelector('#preview[open]');
await page.screenshot({ path: join(out, 'write-preview.png') });
await page.close();

page = await browser.open({ hid: 'none' });
await page.setViewport({ width: 1024, height: 420 });
await page.click('#tree [role=treeitem]:nth-child(23)');
await page.screenshot({ path: join(out, 'no-webhid.png') });
await page.close();

await browser.close();

// The office's sites in the browser: the panel, a history with a
// difference, the admin's page (a real office on SQLite).
{
  const { Office, officeBrowser, officePage, openSite } = await import('./office.mjs');
  const office = await Office.start('sqlite');
  const admin = await office.client('admin');
  const sites = [
    ['0417', 'Иванов И. И.', 'Тверская, 12, кв. 5', '+79161234567'],
    ['0418', 'ООО «Север»', 'Невский пр., 40, склад 2', '+78121112233'],
    ['0502', 'Петрова А. С.', 'Лесная, 3', '+79035556677'],
    ['0611', 'Кафе «Ромашка»', 'Садовая, 8', '+79267778899'],
    ['0733', 'Сидоров П. П.', 'дер. Берёзовка, 17', '+79154443322'],
  ];
  for (const [number, customer, address, phone] of sites) await admin.call('POST', '/api/sites', { number, customer, address, phone });
  const officeBrowserInstance = await officeBrowser();
  const page = await officePage(officeBrowserInstance, office, 'installer');
  await page.setViewport({ width: 1280, height: 640 });
  await openSite(page, '0417');
  await page.click('#cmd-demo');
  await waitStatus(page, 'IDS_CONNECTED');
  await page.click('#cmd-read');
  await page.waitForFunction(() => document.getElementById('modified').value === '' && document.getElementById('status').value.startsWith('Записано'));
  await page.$eval('#sites-search', (i) => { i.value = ''; i.dispatchEvent(new Event('input')); });
  await page.screenshot({ path: join(out, 'sites.png') });
  await page.click('#tree [role=treeitem]:nth-child(23)');
  await page.click('#f-temperature-upper', { clickCount: 3 });
  await page.keyboard.type('41');
  await page.click('#tree [role=treeitem]:nth-child(7)');
  await page.click('#f-phone1-number', { clickCount: 3 });
  await page.keyboard.type('+70001112233');
  await page.click('#cmd-save');
  await page.waitForSelector('#record[open]');
  await page.type('#record-comment', 'новый номер пульта');
  await page.click('#record-save');
  await page.waitForFunction(() => document.getElementById('modified').value === '');
  await page.click('#cmd-history');
  await page.waitForSelector('#history[open] #history-table tbody tr:nth-child(2)');
  await page.click('#history-table tbody tr:nth-child(1) .pick');
  await page.click('#history-table tbody tr:nth-child(2) .pick');
  await page.click('#history-compare');
  await page.waitForSelector('#history .diff tr[data-key]');
  await page.setViewport({ width: 1280, height: 800 });
  await page.screenshot({ path: join(out, 'history.png') });
  await page.close();
  const adminPage = await officePage(officeBrowserInstance, office, 'admin');
  await adminPage.setViewport({ width: 1280, height: 800 });
  await adminPage.click('#cmd-admin');
  await adminPage.waitForSelector('#admin[open] #audit-table tbody tr');
  await adminPage.screenshot({ path: join(out, 'admin.png') });
  await officeBrowserInstance.close();
  await office.stop();
}
