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
