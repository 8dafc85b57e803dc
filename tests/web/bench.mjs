// Figures of the browser configurator, in headless Chromium on this machine:
//   node tests/web/bench.mjs [RUNS] [--breakdown] [--before SITE_FOLDER]
// - cold load against a trivial Emscripten page (its module built as the
//   engine is) loaded the same way: both served compressed by the project's
//   server, median of RUNS fresh browser contexts, no cache, at three
//   points: the engine's module instantiated and the page's script run (the
//   trivial page: its module started), the first page editable, and the
//   frame after it painted; with --breakdown, when each step of the start
//   was reached; with --before, the site of an earlier build (its own
//   engine.mjs and engine.wasm beside it) is loaded in turn with the two, so
//   that a change is measured before and after under the same load;
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

const runs = Number(process.argv.slice(2).find((a) => /^\d+$/.test(a)) ?? 15);
const breakdown = process.argv.includes('--breakdown');
const beforeAt = process.argv.indexOf('--before');
const BEFORE = beforeAt > 0 ? process.argv[beforeAt + 1] : null;
const median = (v) => [...v].sort((a, b) => a - b)[Math.floor(v.length / 2)];

// The yardstick, compressed as the site is.
const TRIVIAL = process.env.OSTREL_BENCH ?? join(SITE, '../bench');
compressFiles(TRIVIAL, ['index.html', 'main.js', 'trivial.mjs', 'trivial.wasm']);

const server = await serve(SITE, 0);
const trivialServer = await serve(TRIVIAL, 0);
const base = `http://localhost:${server.address().port}/`;
const trivial = `http://localhost:${trivialServer.address().port}/`;
const beforeServer = BEFORE ? await serve(BEFORE, 0) : null;
const before = beforeServer ? `http://localhost:${beforeServer.address().port}/` : null;
const browser = await Browser.start();

// A load in a fresh browser context without cache: when the engine and the
// page's script are there (mark "script"), when the first page can be
// edited (the trivial page: both when its module has started), when every
// command's module is there, and the steps between. The new window's own
// start in the browser (its built-in pages load then) is over before the
// load begins, so that it is the page's load that is timed.
async function coldLoad(url) {
  const context = await browser.browser.createBrowserContext();
  const page = await context.newPage();
  await page.setCacheEnabled(false);
  // The frame after the first page is ready: when it has been laid out and
  // painted.
  await page.evaluateOnNewDocument(() => {
    let ready;
    Object.defineProperty(window, 'ostrelReadyAt', {
      get: () => ready,
      set: (ms) => {
        ready = ms;
        requestAnimationFrame(() => setTimeout(() => { window.ostrelPaintedAt = performance.now(); }));
      },
    });
  });
  await new Promise((resolve) => setTimeout(resolve, 300));
  await page.goto(url);
  await page.waitForSelector('body[data-ready]');
  await page.waitForFunction(() => window.ostrelPaintedAt);
  const times = await page.evaluate(() => {
    const navigation = performance.getEntriesByType('navigation')[0];
    const files = performance.getEntriesByType('resource').filter((r) => r.responseEnd < window.ostrelReadyAt);
    const steps = {
      'document received': navigation.responseEnd,
      'document parsed': navigation.domInteractive,
      'files before the first page received': Math.max(...files.map((r) => r.responseEnd)),
    };
    for (const mark of performance.getEntriesByType('mark')) steps[`mark ${mark.name}`] = mark.startTime;
    const painted = performance.getEntriesByName('first-contentful-paint')[0];
    if (painted) steps['first text painted'] = painted.startTime;
    steps['first page painted'] = window.ostrelPaintedAt;
    return { script: performance.getEntriesByName('script')[0]?.startTime, ready: window.ostrelReadyAt,
      painted: window.ostrelPaintedAt, steps };
  });
  await context.close();
  return times;
}

// Warm the browser itself up, then take the pages in turn.
await coldLoad(trivial);
await coldLoad(base);
const app = [];
const yardstick = [];
const earlier = [];
for (let i = 0; i < runs; ++i) {
  app.push(await coldLoad(base));
  yardstick.push(await coldLoad(trivial));
  if (before) earlier.push(await coldLoad(before));
}
const [load] = readFileSync('/proc/loadavg', 'utf8').split(' ');
console.log(`cold load, served compressed (median of ${runs}, load average ${load} at the end):`);
for (const [what, point] of [['the engine and the script ready', 'script'], ['the first page editable', 'ready'],
  ['the first page painted', 'painted']]) {
  const appMs = median(app.map((t) => t[point]));
  const trivialMs = median(yardstick.map((t) => t[point]));
  const beforeMs = median(earlier.map((t) => t[point]));
  console.log(`  ${what}: configurator ${appMs.toFixed(1)} ms, trivial Emscripten page ${trivialMs.toFixed(1)} ms, ` +
    `ratio ${(appMs / trivialMs).toFixed(2)} (goal: within 1.3 times)` +
    (before ? `; before: ${beforeMs.toFixed(1)} ms, ratio ${(beforeMs / trivialMs).toFixed(2)}` : ''));
}
console.log(`  every command's module there after ${median(app.map((t) => t.steps['mark commands'] ?? NaN)).toFixed(1)} ms` +
  (before ? `; before: ${median(earlier.map((t) => t.steps['mark commands'] ?? NaN)).toFixed(1)} ms` : ''));
if (breakdown) {
  for (const [name, loads] of [['configurator', app], ['trivial page', yardstick], ['before', earlier]]) {
    if (!loads.length) continue;
    console.log(`  ${name}, the median time of each step:`);
    const steps = Object.keys(loads[0].steps).map((step) => [step, median(loads.map((t) => t.steps[step] ?? NaN))]);
    for (const [step, ms] of steps.sort((a, b) => a[1] - b[1])) console.log(`    ${ms.toFixed(1).padStart(7)} ms  ${step}`);
  }
}

const sizes = readdirSync(SITE).filter((n) => /\.(wasm|m?js)$/.test(n) && n !== 'sw.js')
  .map((n) => [n, statSync(join(SITE, n)).size, statSync(join(SITE, n + '.br')).size]);
const total = sizes.reduce((s, [, n]) => s + n, 0);
const sent = sizes.reduce((s, [, , n]) => s + n, 0);
console.log(`WebAssembly and JavaScript: ${(total / 1024).toFixed(1)} KB before compression, ${(sent / 1024).toFixed(1)} KB sent (brotli)`);
console.log('  ' + sizes.map(([n, s, b]) => `${n} ${(s / 1024).toFixed(1)} KB (${(b / 1024).toFixed(1)})`).join(', '));
// What the first page waits for: the files the page names in its head.
const head = readFileSync(join(SITE, 'index.html'), 'utf8').split('</head>')[0];
const first = new Set([...head.matchAll(/(?:href=|src=|fetch\()["']([\w.]+\.(?:wasm|m?js))["']/g)].map((m) => m[1]));
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
beforeServer?.close();
