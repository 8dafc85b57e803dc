// Figures of the sites in the browser, against a real office on localhost
// (SQLite), in headless Chromium on this machine:
//   node tests/web/bench-office.mjs [SITES]
// - the panel lists SITES sites (default 10,000): the time from the page's
//   start until the list is there;
// - filtering as one types: the time of each keystroke of a few searches,
//   from the input to the list laid out again (median and the longest);
// - opening a site: from the click on its entry until its head is in the
//   pages (median and the longest of 20 sites).
import { demoFile } from './support.mjs';
import { Office, officeBrowser, officePage } from './office.mjs';

const count = Number(process.argv[2] ?? 10000);
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];
const round = (ms) => ms.toFixed(1);

const office = await Office.start('sqlite');
const admin = await office.client('admin');
const streets = ['Тверская', 'Невский', 'Ленина', 'Мира', 'Садовая', 'Лесная', 'Школьная', 'Полевая'];
const names = ['Иванов', 'Петров', 'Сидорова', 'Кузнецов', 'Смирнова', 'Попов', 'Волков', 'Соколова'];
let next = 0;
async function addSites() {
  while (next < count) {
    const n = next++;
    await admin.call('POST', '/api/sites', {
      number: String(100000 + n), customer: `${names[n % 8]} ${n}`, address: `${streets[(n >> 3) % 8]}, ${n % 97}`,
      phone: `+7999${String(n).padStart(7, '0')}`,
    });
  }
}
let started = performance.now();
await Promise.all(Array.from({ length: 8 }, addSites));
console.log(`${count} sites added through the API in ${round((performance.now() - started) / 1000)} s`);
const osr = demoFile().toString('base64');
const opened = Array.from({ length: 20 }, (_, i) => String(100000 + i * 37));
for (const number of opened) await admin.call('POST', `/api/sites/${number}/revisions`, { osr, source: 'file' });

const browser = await officeBrowser();
const page = await officePage(browser, office, 'installer');
await page.reload();
await page.waitForSelector('body[data-sites]');
const load = await page.evaluate(() => performance.getEntriesByName('sites')[0].startTime);
console.log(`panel: ${count} sites listed ${round(load)} ms after the page's start`);

const keystrokes = await page.evaluate(async (queries) => {
  const input = document.getElementById('sites-search');
  const list = document.getElementById('sites-list');
  const times = [];
  for (const query of queries) {
    input.value = '';
    input.dispatchEvent(new Event('input'));
    for (let i = 1; i <= query.length; ++i) {
      const t0 = performance.now();
      input.value = query.slice(0, i);
      input.dispatchEvent(new Event('input'));
      void list.getBoundingClientRect().height; // laid out
      times.push(performance.now() - t0);
      await new Promise((r) => requestAnimationFrame(r));
    }
  }
  return times;
}, ['невский 5', 'смирнова', '+79990001', '100042', 'лесная 1']);
console.log(`filter: ${keystrokes.length} keystrokes, median ${round(median(keystrokes))} ms, longest ${round(Math.max(...keystrokes))} ms (goal: 50 ms)`);

const opens = [];
for (const number of opened) {
  await page.$eval('#sites-search', (input, n) => {
    input.value = n;
    input.dispatchEvent(new Event('input'));
  }, number);
  opens.push(await page.evaluate(async (n) => {
    const item = document.querySelector(`#sites-list [data-number="${n}"]`);
    const t0 = performance.now();
    item.click();
    while (!document.title.includes(n)) await new Promise((r) => setTimeout(r, 1));
    return performance.now() - t0;
  }, number));
}
console.log(`open: ${opens.length} sites, median ${round(median(opens))} ms, longest ${round(Math.max(...opens))} ms from the click (goal: 200 ms)`);
await browser.close();
await office.stop();
