// Figures of the browser configurator, in headless Chromium on this machine:
//   node tests/web/bench.mjs [RUNS]
// - cold load until the first page can be edited, against a trivial
//   Emscripten page (its module built as the engine is) loaded the same way:
//   both served compressed by the project's server, median of RUNS fresh
//   browser contexts, no cache;
// - the size of the WebAssembly module and the JavaScript, before and after
//   compression;
// - a full read and a full write of the emulated alarm answering after 1 ms,
//   through the page's WebHID link, against the desktop's figure for the same
//   exchanges (tools/link_benchmark of the native build, when it is built).
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync, readdirSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { Browser, ROOT, SITE } from './support.mjs';
import { serve } from '../../web/tools/serve.mjs';
import { compressFiles } from '../../web/tools/compress.mjs';

const runs = Number(process.argv[2] ?? 15);
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];

// The yardstick, compressed as the site is.
const TRIVIAL = process.env.OSTREL_BENCH ?? join(SITE, '../bench');
compressFiles(TRIVIAL, ['index.html', 'main.js', 'trivial.mjs', 'trivial.wasm']);

const server = await serve(SITE, 0);
const trivialServer = await serve(TRIVIAL, 0);
const base = `http://localhost:${server.address().port}/`;
const trivial = `http://localhost:${trivialServer.address().port}/`;
const browser = await Browser.start();

// A load in a fresh browser context without cache: when the first page can
// be edited (the trivial page: when its module has started), and when every
// command's module is there. The new window's own start in the browser (its
// built-in pages load then) is over before the load begins, so that it is
// the page's load that is timed.
async function coldLoad(url) {
  const context = await browser.browser.createBrowserContext();
  const page = await context.newPage();
  await page.setCacheEnabled(false);
  await new Promise((resolve) => setTimeout(resolve, 300));
  await page.goto(url);
  await page.waitForSelector('body[data-ready]');
  const ms = await page.evaluate(() => [window.ostrelReadyAt, performance.getEntriesByName('commands')[0]?.startTime]);
  await context.close();
  return ms;
}

// Warm the browser itself up, then alternate the two pages.
await coldLoad(trivial);
await coldLoad(base);
const app = [];
const yardstick = [];
for (let i = 0; i < runs; ++i) {
  app.push(await coldLoad(base));
  yardstick.push(await coldLoad(trivial));
}
const appMs = median(app.map(([ready]) => ready));
const commandsMs = median(app.map(([, commands]) => commands ?? NaN));
const trivialMs = median(yardstick.map(([ready]) => ready));
console.log(`cold load until the first page can be edited, served compressed (median of ${runs}):`);
console.log(`  configurator ${appMs.toFixed(1)} ms, trivial Emscripten page ${trivialMs.toFixed(1)} ms, ratio ${(appMs / trivialMs).toFixed(2)}` +
  `  (goal: within 1.3 times); every command's module there after ${commandsMs.toFixed(1)} ms`);

const sizes = readdirSync(SITE).filter((n) => /\.(wasm|m?js)$/.test(n) && n !== 'sw.js')
  .map((n) => [n, statSync(join(SITE, n)).size, statSync(join(SITE, n + '.br')).size]);
const total = sizes.reduce((s, [, n]) => s + n, 0);
const sent = sizes.reduce((s, [, , n]) => s + n, 0);
console.log(`WebAssembly and JavaScript: ${(total / 1024).toFixed(1)} KB before compression, ${(sent / 1024).toFixed(1)} KB sent (brotli)`);
console.log('  ' + sizes.map(([n, s, b]) => `${n} ${(s / 1024).toFixed(1)} KB (${(b / 1024).toFixed(1)})`).join(', '));
// What the first page waits for: the files the page names in its head.
const head = readFileSync(join(SITE, 'index.html'), 'utf8').split('</head>')[0];
const first = new Set([...head.matchAll(/(?:href|src)="([\w.]+\.(?:wasm|m?js))"/g)].map((m) => m[1]));
const firstSizes = sizes.filter(([n]) => first.has(n));
console.log(`  before the first page: ${firstSizes.length} files, ${(firstSizes.reduce((s, [, n]) => s + n, 0) / 1024).toFixed(1)} KB, ` +
  `${(firstSizes.reduce((s, [, , n]) => s + n, 0) / 1024).toFixed(1)} KB sent (${[...first].join(', ')})`);

// Transfers through the page's link against the emulated alarm answering
// after 1 ms: the engine's own requests, without the window around them.
const page = await browser.open();
const transfers = await page.evaluate(async (runs) => {
  const { EmulatedHidDevice, engine, link, E } = window.ostrel;
  const device = new EmulatedHidDevice(engine, { answerDelayMs: 1 });
  link.setDevices([device]);
  const result = {};
  for (const [name, run] of [['full read', E.read], ['full write', E.write]]) {
    const times = [];
    let exchanges = 0;
    for (let i = 0; i < runs; ++i) {
      const before = device.seen();
      const start = performance.now();
      if ((await run()) !== 1) throw new Error(`${name} failed`);
      times.push(performance.now() - start);
      exchanges = device.seen() - before;
    }
    times.sort((a, b) => a - b);
    result[name] = { ms: times[Math.floor(times.length / 2)], exchanges };
  }
  return result;
}, 5);
await page.close();

let desktop = {};
const tool = join(ROOT, 'build/native/tools/link_benchmark');
if (existsSync(tool)) {
  for (const line of execFileSync(tool, { encoding: 'utf8' }).split('\n')) {
    const m = line.match(/^(full read|full write)\s+(\d+) exchanges\s+([\d.]+) ms/);
    if (m) desktop[m[1]] = { exchanges: Number(m[2]), ms: Number(m[3]) };
  }
}
console.log('the emulated alarm answering after 1 ms (median of 5):');
for (const [name, { ms, exchanges }] of Object.entries(transfers)) {
  const d = desktop[name];
  console.log(`  ${name}: ${exchanges} exchanges ${ms.toFixed(1)} ms` + (d
    ? `; desktop ${d.exchanges} exchanges ${d.ms.toFixed(1)} ms, ratio ${(ms / d.ms).toFixed(2)} (goal: within 1.2)`
    : '; desktop figure: build tools/link_benchmark (native preset)'));
}

await browser.close();
server.close();
trivialServer.close();
