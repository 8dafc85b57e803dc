// The browser configurator served by the office: the login, the sites
// panel, a site's history recorded by Read, Write and Save, the rights of
// each role, the admin's page, the search by value, offline work and two
// heads, and the accessibility audit of each view; on SQLite and on
// PostgreSQL.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import { mkdtempSync } from 'node:fs';
import { join } from 'node:path';
import { S, demoFile, shownByPage, tmp, waitStatus } from './support.mjs';
import { BACKENDS, Office, audit, officeBrowser, officePage, openSite } from './office.mjs';

const statusIs = (page, id, timeout = 15000) =>
  page.waitForFunction((t) => document.getElementById('status').value.startsWith(t), { timeout }, S[id]);
const log = async (client, number) => (await client.call('GET', `/api/sites/${number}/log`)).revisions;

// Reads the demo alarm into the open site; the read recorded.
async function readDemo(page, status = 'IDS_WEB_RECORDED') {
  await page.click('#cmd-demo');
  await waitStatus(page, 'IDS_CONNECTED');
  await page.click('#cmd-read');
  await statusIs(page, status, 30000);
}

// Types `text` over a field of page `pageIndex` (1-based in the tree).
async function setField(page, pageIndex, selector, text) {
  await page.click(`#tree [role=treeitem]:nth-child(${pageIndex})`);
  await page.click(selector, { clickCount: 3 });
  await page.keyboard.type(text);
}

// Save with a site open: the comment asked, an edit recorded.
async function saveEdit(page, comment, status = 'IDS_WEB_RECORDED') {
  await page.click('#cmd-save');
  await page.waitForSelector('#record[open]');
  await page.type('#record-comment', comment);
  await page.evaluate(() => { document.getElementById('status').value = ''; });
  await page.click('#record-save');
  await statusIs(page, status);
  assert.equal(await page.$eval('#modified', (e) => e.value), '');
}

for (const backend of BACKENDS) {
  describe(`the office on ${backend}`, () => {
    let browser;
    let office;
    let admin;
    before(async () => {
      browser = await officeBrowser();
      office = await Office.start(backend);
      admin = await office.client('admin');
    });
    after(async () => {
      await browser?.close();
      await office?.stop();
    });

    test('login page, a wrong password refused, login and logout', async () => {
      const page = await officePage(browser, office, null);
      assert.equal(await page.$eval('body', (b) => b.dataset.office), 'login');
      assert.equal(await page.$eval('#app', (a) => a.hidden), true);
      assert.deepEqual(await audit(page), []);
      await page.type('#login-name', 'installer');
      await page.type('#login-password', 'not-the-password');
      await page.click('#login-submit');
      await page.waitForFunction(() => document.getElementById('login-error').textContent !== '');
      assert.equal(await page.$eval('#login-error', (e) => e.textContent), S.IDS_WEB_LOGIN_WRONG);
      await page.type('#login-password', 'correct-horse-1');
      await Promise.all([page.waitForNavigation(), page.click('#login-submit')]);
      await page.waitForSelector('body[data-sites]');
      assert.equal(await page.$eval('#operator', (e) => e.textContent), S.IDS_WEB_OPERATOR + 'installer');
      await Promise.all([page.waitForNavigation(), page.click('#cmd-logout')]);
      await page.waitForSelector('body[data-office=login]');
      await page.close();
    });

    test('each role is offered what the rights table gives it', async () => {
      await admin.call('POST', '/api/sites', { number: 'R-1', customer: 'Роли' });
      const rows = [
        // role, hidden buttons, shown buttons, the pages editable
        ['viewer', ['#cmd-save', '#cmd-saveas', '#cmd-read', '#cmd-write', '#sites-add', '#cmd-admin'], ['#cmd-history'], false],
        ['installer', ['#cmd-admin'], ['#cmd-save', '#cmd-read', '#cmd-write', '#sites-add', '#cmd-history'], true],
        ['admin', [], ['#cmd-save', '#cmd-read', '#cmd-write', '#sites-add', '#cmd-admin'], true],
      ];
      for (const [role, hidden, shown, editable] of rows) {
        const page = await officePage(browser, office, role);
        for (const id of hidden) assert.equal(await page.$eval(id, (b) => b.hidden), true, `${role} ${id}`);
        for (const id of shown) assert.equal(await page.$eval(id, (b) => b.hidden), false, `${role} ${id}`);
        await openSite(page, 'R-1');
        assert.equal(await page.$$eval('#page input', (all) => all.every((i) => !i.disabled)), editable, role);
        await page.click('#sites-card');
        await page.waitForSelector('#card[open]');
        assert.equal(await page.$('#card-save') !== null, editable, role);
        assert.equal(await page.$('#card-archive') !== null, role === 'admin', role);
        await page.close();
      }
    });

    test('the demo alarm read into a site, changed, written: both revisions and their difference', async () => {
      await admin.call('POST', '/api/sites', { number: 'A-100', customer: 'Иванов', address: 'Тверская, 1', phone: '+79990000001' });
      const page = await officePage(browser, office, 'installer');
      await openSite(page, 'A-100');
      assert.match(await page.title(), /A-100 Иванов/);
      await readDemo(page);
      assert.equal(await page.$eval('#modified', (e) => e.value), '');
      await setField(page, 23, '#f-temperature-upper', '41');
      assert.equal(await page.$eval('#modified', (e) => e.value), ' *');
      await page.click('#cmd-write');
      await page.waitForSelector('#preview[open]');
      await page.click('#preview-write');
      await statusIs(page, 'IDS_WEB_RECORDED', 30000);
      assert.equal(await page.$eval('#modified', (e) => e.value), '');
      const revisions = await log(admin, 'A-100');
      assert.deepEqual(revisions.map((r) => [r.source, r.author]), [['write', 'installer'], ['read', 'installer']]);
      assert.deepEqual(revisions[0].changed_keys, ['temperature.upper']);
      // The history: both, chosen, compared.
      await page.click('#cmd-history');
      await page.waitForSelector('#history[open] #history-table tbody tr');
      assert.equal(await page.$$eval('#history-table tbody tr', (r) => r.length), 2);
      await page.click('#history-table tbody tr:nth-child(1) .pick');
      await page.click('#history-table tbody tr:nth-child(2) .pick');
      await page.click('#history-compare');
      await page.waitForSelector('#history .diff tr[data-key]');
      const rows = await page.$$eval('#history .diff tr[data-key]', (all) => all.map((r) => [r.dataset.key, ...[...r.cells].slice(1).map((c) => c.textContent)]));
      assert.equal(rows.length, 1);
      assert.equal(rows[0][0], 'temperature.upper');
      assert.equal(rows[0][2], '41');
      assert.equal(await page.$eval('#history .diff h3', (h) => h.textContent), await page.$eval('#tree [role=treeitem]:nth-child(23)', (t) => t.textContent));
      assert.deepEqual(await audit(page), []);
      // The older revision printed as the customer's record.
      await page.evaluate(() => { window.print = () => { window.__printed = document.getElementById('print').innerHTML; }; });
      await page.click('#history-table tbody tr:nth-child(2) .actions button:nth-child(3)');
      await page.waitForFunction(() => window.__printed);
      const printed = await page.evaluate(() => window.__printed);
      // Headed as the command-line tool's site report heads it: the site
      // with its address, the revision, its time and author.
      for (const text of ['A-100', 'Тверская, 1', 'Иванов', revisions[1].id.slice(0, 12), 'installer',
        revisions[1].at.slice(0, 10) + ' ' + revisions[1].at.slice(11, 19)])
        assert.ok(printed.includes(text), text);
      assert.deepEqual(page.errors, []);
      await page.close();
    });

    test('a viewer sees the site read-only, the password masked, no download', async () => {
      await admin.call('POST', '/api/sites', { number: 'V-1', customer: 'Просмотр' });
      const writer = await officePage(browser, office, 'installer');
      await openSite(writer, 'V-1');
      await readDemo(writer);
      const installerShown = await shownByPage(writer);
      await writer.close();
      const page = await officePage(browser, office, 'viewer');
      await openSite(page, 'V-1');
      // Every field as the installer sees it, but the password.
      const viewerShown = await shownByPage(page);
      const secrets = await page.evaluate(() => window.ostrel.E.pages.flatMap((p) => p.fields.filter((f) => f.secret).map((f) => f.key)));
      // Masked as the installer's pages and the printed record mask it: a
      // star a digit.
      const masked = '*'.repeat(installerShown[secrets[0]].length);
      assert.ok(masked.length > 0, 'the demo alarm has a password');
      for (const key of secrets) {
        assert.notEqual(viewerShown[key], installerShown[key]);
        delete viewerShown[key];
        delete installerShown[key];
      }
      assert.deepEqual(viewerShown, installerShown);
      const secret = await page.evaluate(() => window.ostrel.E.pages.flatMap((p, i) => p.fields.filter((f) => f.secret).map((f) => [i, f.key]))[0]);
      await page.click(`#tree [role=treeitem]:nth-child(${secret[0] + 1})`);
      const shown = await page.$eval(`.field[data-key="${secret[1]}"] input`, (i) => [i.value, i.disabled]);
      assert.equal(shown[1], true);
      assert.equal(shown[0], masked);
      // The keys of the commands a viewer is not offered do nothing either.
      const before = (await log(admin, 'V-1')).length;
      for (const key of ['s', 'r']) {
        await page.keyboard.down('Control');
        await page.keyboard.press(key);
        await page.keyboard.up('Control');
      }
      assert.equal(await page.$eval('#record', (d) => d.open), false);
      assert.equal((await log(admin, 'V-1')).length, before);
      await page.click('#cmd-history');
      await page.waitForSelector('#history[open] #history-table tbody tr');
      const actions = await page.$$eval('#history-table tbody tr:first-child .actions button', (b) => b.length);
      assert.equal(actions, 2); // open and print; no download
      // The printed record, of the revision and of the pages, shows the
      // password as the pages do, not as none.
      await page.evaluate(() => { window.print = () => { window.__printed = document.getElementById('print').innerHTML; }; });
      const printedSecret = () => page.evaluate((key) => {
        const label = window.ostrel.E.pages.flatMap((p) => p.fields).find((f) => f.key === key).label;
        const area = document.createElement('div');
        area.innerHTML = window.__printed;
        window.__printed = null;
        return [...area.querySelectorAll('tr')].find((r) => r.cells[0]?.textContent.endsWith(label))?.cells[1].textContent;
      }, secrets[0]);
      await page.click('#history-table tbody tr:first-child .actions button:nth-child(2)');
      await page.waitForFunction(() => window.__printed);
      assert.equal(await printedSecret(), masked);
      await page.keyboard.press('Escape');
      await page.waitForFunction(() => !document.getElementById('history').open);
      await page.click('#cmd-print');
      await page.waitForFunction(() => window.__printed);
      assert.equal(await printedSecret(), masked);
      await page.close();
    });

    test('offline: a read and an edit recorded with the office stopped survive a reload, a closed tab and a restart of the browser, and arrive exactly once', async () => {
      // One browser with a profile of its own, as an installer's is.
      const profile = mkdtempSync(join(tmp, 'profile-'));
      let own = await officeBrowser({ userDataDir: profile });
      const context = () => own.defaultBrowserContext();
      const ways = {
        'the tab reloaded': async (page) => {
          await page.reload();
          return page;
        },
        'the tab closed and opened again': async (page) => {
          await page.close();
          return officePage(own, office, null, { context: context() });
        },
        'the browser restarted': async () => {
          await own.close();
          own = await officeBrowser({ userDataDir: profile });
          return officePage(own, office, null, { context: context() });
        },
      };
      try {
        for (const [index, [way, after]] of Object.entries(ways).entries()) {
          const number = `O-${index}`;
          await admin.call('POST', '/api/sites', { number, customer: 'Подвал' });
          let page = await officePage(own, office, 'installer', { context: context() });
          await openSite(page, number);
          await page.evaluate(() => navigator.serviceWorker.ready);
          await office.stop();
          await readDemo(page, 'IDS_WEB_RECORDED_LOCAL');
          await setField(page, 23, '#f-temperature-upper', '39');
          await saveEdit(page, 'в подвале', 'IDS_WEB_RECORDED_LOCAL');
          if (index === 0) {
            // Not sent yet, yet in the history and compared (by the engine).
            await page.click('#cmd-history');
            await page.waitForSelector('#history[open] #history-table tbody tr:nth-child(2)');
            const marks = await page.$$eval('#history-table tbody tr', (rows) => rows.map((r) => r.cells[1].textContent));
            assert.ok(marks.every((m) => m.includes(S.IDS_WEB_HISTORY_NOT_SENT)), marks.join());
            await page.click('#history-table tbody tr:nth-child(1) .pick');
            await page.click('#history-table tbody tr:nth-child(2) .pick');
            await page.click('#history-compare');
            await page.waitForSelector('#history .diff tr[data-key]');
            const rows = await page.$$eval('#history .diff tr[data-key]', (all) => all.map((r) => [r.dataset.key, r.cells[2].textContent]));
            assert.deepEqual(rows, [['temperature.upper', '39']]);
            await page.keyboard.press('Escape');
          }
          page = await after(page);
          await page.waitForSelector('body[data-sites]');
          assert.equal(await page.$eval('#sites-pending', (p) => !p.hidden && p.textContent), S.IDS_WEB_PENDING + '2', way);
          await office.run();
          await page.waitForFunction(() => document.getElementById('sites-pending').hidden, { timeout: 20000 });
          // Sent again (another tab, a retry): nothing added.
          await page.evaluate(() => window.ostrel.sendRevisions());
          const revisions = await log(admin, number);
          assert.deepEqual(revisions.map((r) => [r.source, r.comment]), [['edit', 'в подвале'], ['read', '']], way);
          assert.equal(revisions[0].parent, revisions[1].id, way);
          await page.close();
        }
      } finally {
        await own.close();
      }
    });

    test('two tabs of one browser: what one recorded the other sends, once, and the next follows it', async () => {
      await admin.call('POST', '/api/sites', { number: 'T-2', customer: 'Две вкладки' });
      const first = await officePage(browser, office, 'installer');
      const context = first.browserContext();
      const second = await officePage(browser, office, 'installer', { context });
      for (const page of [first, second]) {
        await page.bringToFront();
        await openSite(page, 'T-2');
      }
      await office.stop();
      await first.bringToFront();
      await setField(first, 23, '#f-temperature-upper', '33');
      await saveEdit(first, 'первая', 'IDS_WEB_RECORDED_LOCAL');
      await office.run();
      await second.evaluate(() => window.ostrel.sendRevisions());
      await first.bringToFront();
      await setField(first, 23, '#f-temperature-upper', '34');
      await saveEdit(first, 'вторая');
      await first.waitForFunction(() => document.getElementById('sites-pending').hidden, { timeout: 20000 });
      const revisions = await log(admin, 'T-2');
      assert.deepEqual(revisions.map((r) => r.comment), ['вторая', 'первая']);
      assert.equal(revisions[0].parent, revisions[1].id);
      assert.equal((await admin.call('GET', '/api/sites/T-2')).diverged, false);
      await context.close();
    });

    test('a site changed by two clients shows two heads and says so', async () => {
      await admin.call('POST', '/api/sites', { number: 'D-2', customer: 'Двое' });
      const page = await officePage(browser, office, 'installer');
      await openSite(page, 'D-2');
      await readDemo(page);
      // Another client records its own change on the same head.
      const [head] = await log(admin, 'D-2');
      const other = await office.client('installer');
      const osr = await other.call('GET', `/api/sites/D-2/revisions/${head.id}/osr`);
      await other.call('POST', '/api/sites/D-2/revisions', { osr: Buffer.from(osr).toString('base64'), source: 'file', parent: head.id, comment: 'другой' });
      await setField(page, 23, '#f-temperature-upper', '38');
      await saveEdit(page, 'здесь', 'IDS_WEB_DIVERGED');
      const site = await admin.call('GET', '/api/sites/D-2');
      assert.equal(site.diverged, true);
      assert.equal(site.heads.length, 2);
      await page.click('#cmd-history');
      await page.waitForSelector('#history[open] #history-table tbody tr');
      assert.equal(await page.$eval('#history .note', (n) => n.textContent), S.IDS_WEB_DIVERGED);
      const marked = await page.$$eval('#history-table tbody tr', (rows, head) => rows.filter((r) => r.cells[1].textContent.includes(head)).length, S.IDS_WEB_HISTORY_HEAD);
      assert.equal(marked, 2);
      await page.close();
    });

    test('a file opened into a site is recorded as a file; a session that ends meanwhile loses nothing', async () => {
      await admin.call('POST', '/api/sites', { number: 'F-3', customer: 'Файл' });
      await admin.call('POST', '/api/sites', { number: 'F-4', customer: 'Другой' });
      const page = await officePage(browser, office, 'installer');
      await openSite(page, 'F-3');
      await page.evaluate((bytes) => {
        window.showOpenFilePicker = async () => [{
          name: 'старый.osr', kind: 'file', getFile: async () => new File([new Uint8Array(bytes)], 'старый.osr'),
        }];
      }, [...demoFile()]);
      await page.click('#cmd-open');
      await statusIs(page, 'IDS_FILE_READ_DONE');
      assert.match(await page.title(), /F-3 Файл/);
      await setField(page, 23, '#f-temperature-upper', '37');
      // The session ends (its cookie gone): the next call asks for a login,
      // after which the pages are as they were and Save records them.
      const cookies = await page.cookies();
      await page.deleteCookie(...cookies);
      await page.click('#cmd-save');
      await page.waitForSelector('#record[open]');
      await page.type('#record-comment', 'из файла');
      await page.click('#record-save');
      await page.waitForSelector('#login:not([hidden])');
      await page.type('#login-name', 'installer');
      await page.type('#login-password', 'correct-horse-1');
      await page.click('#login-submit');
      await page.waitForSelector('#app:not([hidden])');
      await page.waitForFunction(() => document.getElementById('sites-pending').hidden, { timeout: 20000 });
      const revisions = await log(admin, 'F-3');
      assert.deepEqual(revisions.map((r) => [r.source, r.comment]), [['file', 'из файла']]);
      const shown = await admin.call('GET', `/api/sites/F-3/revisions/${revisions[0].id}`);
      assert.equal(shown.fields.find((f) => f.key === 'temperature.upper').value, '37');
      // Changed, then another site chosen: the question's Save records it.
      await setField(page, 23, '#f-temperature-upper', '36');
      await page.$eval('#sites-search', (input) => { input.value = 'F-4'; input.dispatchEvent(new Event('input')); });
      await page.waitForSelector('#sites-list [data-number="F-4"]');
      await page.click('#sites-list [data-number="F-4"]');
      await page.waitForSelector('#discard[open]');
      await page.click('#discard-save');
      await page.waitForSelector('#record[open]');
      await page.type('#record-comment', 'перед другим');
      await page.click('#record-save');
      await page.waitForFunction(() => document.title.includes('F-4'));
      assert.deepEqual((await log(admin, 'F-3')).map((r) => [r.source, r.comment]), [['edit', 'перед другим'], ['file', 'из файла']]);
      await page.close();
    });

    test('the sites panel: search as one types, archived on request, a card edited, keyboard', async () => {
      await admin.call('POST', '/api/sites', { number: 'K-1', customer: 'Клавиатура', address: 'Невский, 5', phone: '+79995550101' });
      await admin.call('POST', '/api/sites', { number: 'K-2', customer: 'Архивный' });
      await admin.call('POST', '/api/sites/K-2/archive', {});
      const page = await officePage(browser, office, 'installer');
      const listed = () => page.$$eval('#sites-list [role=option]', (all) => all.map((o) => o.dataset.number));
      const cases = [['невский', ['K-1']], ['5550101', ['K-1']], ['клав', ['K-1']], ['архивный', []]];
      for (const [text, want] of cases) {
        await page.$eval('#sites-search', (i) => { i.value = ''; });
        await page.focus('#sites-search');
        await page.keyboard.type(text);
        assert.deepEqual(await listed(), want, text);
      }
      await page.click('#sites-archived');
      assert.deepEqual(await listed(), ['K-2']);
      await page.click('#sites-archived');
      // From the keyboard: the search, the list, Enter opens.
      await page.$eval('#sites-search', (i) => { i.value = ''; });
      await page.focus('#sites-search');
      await page.keyboard.type('K-1');
      for (let tabs = 0; tabs < 8 && !(await page.evaluate(() => document.activeElement.id === 'sites-list')); ++tabs)
        await page.keyboard.press('Tab');
      for (const key of ['ArrowDown', 'Enter']) await page.keyboard.press(key);
      await page.waitForFunction(() => document.title.includes('K-1'));
      assert.deepEqual(await audit(page), []);
      await page.click('#sites-card');
      await page.waitForSelector('#card[open]');
      await page.$eval('#card-notes', (n) => { n.value = 'ключ у соседа'; });
      await page.click('#card-save');
      await page.waitForFunction(() => !document.getElementById('card').open);
      assert.equal((await admin.call('GET', '/api/sites/K-1')).notes, 'ключ у соседа');
      await page.close();
    });

    test('the admin page: an operator added, its role changed, the audit log filtered', async () => {
      const page = await officePage(browser, office, 'admin');
      await page.click('#cmd-admin');
      await page.waitForSelector('#admin[open] #operators-table tbody tr');
      await page.type('#operator-name', 'petrov');
      await page.select('#operator-role', 'viewer');
      await page.type('#operator-password', 'petrov-pass-1');
      await page.click('#operator-add');
      await page.waitForSelector('#operators-table tr[data-operator=petrov]');
      await page.$eval('#admin-note', (n) => { n.textContent = ''; });
      await page.select('#operators-table tr[data-operator=petrov] select', 'installer');
      await page.waitForFunction(() => document.getElementById('admin-note').textContent.endsWith('petrov'));
      const operators = (await admin.call('GET', '/api/operators')).operators;
      assert.equal(operators.find((o) => o.name === 'petrov').role, 'installer');
      // The log in the office's words, filtered by who, by an action's words
      // (as the filter offers them) and by its key.
      const texts = new Map((await admin.call('GET', '/api/audit')).entries.map((e) => [e.action, e.action_text]));
      assert.match(texts.get('operator added'), /^[А-Яа-яЁё ,:]+$/);
      for (const [who, action, keep] of [
        ['admin', '', (r) => r.who.includes('admin')],
        ['', texts.get('operator added'), (r) => r.action === 'operator added'],
        ['', 'login', (r) => r.action.startsWith('login')],
      ]) {
        for (const [id, value] of [['#audit-who', who], ['#audit-action', action]]) {
          await page.$eval(id, (input) => { input.value = ''; });
          await page.type(id, value);
        }
        await page.$eval('#audit-table tbody', (b) => b.replaceChildren());
        await page.click('#audit-show');
        await page.waitForFunction(() => document.querySelectorAll('#audit-table tbody tr').length > 0);
        const rows = await page.$$eval('#audit-table tbody tr', (all) => all.map((r) =>
          ({ who: r.cells[1].textContent, action: r.dataset.action, text: r.cells[3].textContent,
            detail: r.cells[5].textContent })));
        for (const row of rows) {
          assert.ok(keep(row), `${who}/${action}: ${JSON.stringify(row)}`);
          assert.equal(row.text, texts.get(row.action));
          // The detail in the office's words too, not as it is stored.
          if (row.action === 'operator added' || row.action === 'login') assert.match(row.detail, /^роль: [а-я]+$/);
        }
      }
      const offered = await page.$$eval('#audit-actions option', (all) => all.map((o) => o.value));
      assert.ok(offered.includes(texts.get('operator added')), offered.join(', '));
      assert.deepEqual(await audit(page), []);
      await page.close();
    });

    test('find by value: the sites whose alarm holds a value, each a link that opens it', async () => {
      const page = await officePage(browser, office, 'installer');
      await openSite(page, 'A-100');
      await page.click('#sites-find');
      await page.waitForSelector('#find[open]');
      await page.type('#find-key', 'temperature.upper');
      await page.type('#find-value', '41');
      await page.click('#find-go');
      await page.waitForSelector('#find-results a');
      const links = await page.$$eval('#find-results a', (all) => all.map((a) => a.textContent));
      assert.deepEqual(links, ['A-100 Иванов']);
      await page.click('#find-results a');
      await page.waitForFunction(() => document.title.includes('A-100'));
      // The site's head in the pages.
      await page.click('#tree [role=treeitem]:nth-child(23)');
      assert.equal(await page.$eval('#f-temperature-upper', (i) => i.value), '41');
      await page.close();
    });
  });
}
