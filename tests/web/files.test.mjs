// Files in the browser: every page shows what the desktop's pages show for
// the same file (the command-line tool is the reference), damaged files give
// the desktop's status texts, and what is typed, pasted, clicked and chosen
// is saved byte for byte as the tool's "set" of the same values saves it.
import assert from 'node:assert/strict';
import { existsSync, mkdtempSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import {
  Browser, FILE_SIZE, S, cli, demoFile, fileOf, modifiedMark, openFile, randomImage, saveFile,
  shownByCli, shownByPage, status, tmp, writeTemp,
} from './support.mjs';

let browser;
before(async () => { browser = await Browser.start(); });
after(async () => { await browser?.close(); });

describe('opening a file', () => {
  // Random images reach every byte value of every field (out-of-range bytes
  // load as the pages' fallbacks); the demo configuration has something on
  // every page; an all-0xFF image is what an erased device holds.
  const images = [
    ['demo', () => demoFile()],
    ['all 0xFF', () => fileOf(Buffer.alloc(2300, 0xff))],
    ['all zero', () => fileOf(Buffer.alloc(2300, 0))],
    ...[1, 2, 3, 4, 5, 6].map((seed) => [`random ${seed}`, () => fileOf(randomImage(seed))]),
  ];
  for (const [name, make] of images) {
    test(`${name}: every page shows what the desktop's pages show`, async () => {
      const bytes = make();
      const page = await browser.open();
      await openFile(page, `${name}.osr`, bytes);
      assert.equal(await status(page), S.IDS_FILE_READ_DONE + `${name}.osr`);
      assert.equal(await modifiedMark(page), '');
      assert.equal(await page.title(), `${S.IDS_TITLE} - ${name}.osr`);
      assert.deepEqual(await shownByPage(page), shownByCli(writeTemp(`${name}.osr`, bytes)));
      // Saved again unchanged, the pages' values go over the file's image as
      // the desktop's save (and the tool's "set") puts them.
      const reference = writeTemp(`${name}-reference.osr`, bytes);
      const box = 'connection.listen_after_alarm';
      cli('set', reference, `${box}=${shownByCli(reference)[box]}`);
      assert.deepEqual(await saveFile(page, `${name}.osr`), readFileSync(reference));
      assert.deepEqual(page.errors, []);
      await page.close();
    });
  }

  const demo = () => demoFile();
  const damaged = [
    ['one byte short', () => demo().subarray(0, FILE_SIZE - 1), 'IDS_FILE_BAD_FORMAT'],
    ['one byte long', () => Buffer.concat([demo(), Buffer.from([0])]), 'IDS_FILE_BAD_FORMAT'],
    ['empty', () => Buffer.alloc(0), 'IDS_FILE_BAD_FORMAT'],
    ['wrong signature', () => { const b = Buffer.from(demo()); b[0] ^= 1; return b; }, 'IDS_FILE_BAD_FORMAT'],
    ['wrong length field', () => { const b = Buffer.from(demo()); b[4] ^= 1; return b; }, 'IDS_FILE_BAD_FORMAT'],
    ['wrong version', () => { const b = Buffer.from(demo()); b[12] = 2; return b; }, 'IDS_FILE_BAD_FORMAT'],
    ['image byte changed', () => { const b = Buffer.from(demo()); b[100] ^= 0x40; return b; }, 'IDS_FILE_CORRUPT'],
    ['CRC changed', () => { const b = Buffer.from(demo()); b[8] ^= 1; return b; }, 'IDS_FILE_CORRUPT'],
    ['unreadable', () => null, 'IDS_FILE_READ_FAILED'],
    // Larger than the engine's memory: refused by its size, never copied.
    ['4 MB', () => 4 << 20, 'IDS_FILE_BAD_FORMAT'],
    ['64 MB', () => 64 << 20, 'IDS_FILE_BAD_FORMAT'],
  ];
  test('damaged files: the desktop\'s status texts, and the pages stay as they were', async () => {
    const page = await browser.open();
    await openFile(page, 'good.osr', demo());
    const shown = await shownByPage(page);
    for (const [name, make, id] of damaged) {
      await openFile(page, `${name}.osr`, make());
      assert.equal(await status(page), S[id] + `${name}.osr`, name);
      assert.equal(await page.title(), `${S.IDS_TITLE} - good.osr`, name);
    }
    assert.deepEqual(await shownByPage(page), shown);
    // The engine still works after every refusal.
    await openFile(page, 'again.osr', demo());
    assert.equal(await status(page), S.IDS_FILE_READ_DONE + 'again.osr');
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  test('a failure inside the engine loads the page anew and says so', async () => {
    const page = await browser.open();
    await openFile(page, 'good.osr', demo());
    // More memory than the engine has: it aborts.
    await Promise.all([
      page.waitForNavigation(),
      page.evaluate(() => { try { window.ostrel.engine._ost_alloc(0x7ff00000); } catch { /* aborted */ } }),
    ]);
    await page.waitForFunction((t) => document.getElementById('status').value === t, { timeout: 10000 },
      S.IDS_WEB_ENGINE_RESTARTED);
    await openFile(page, 'after.osr', demo());
    assert.equal(await status(page), S.IDS_FILE_READ_DONE + 'after.osr');
    await page.close();
  });

  test('without the File System Access API: a file input opens, a download saves', async () => {
    const page = await browser.open();
    await page.evaluate(() => { delete window.showOpenFilePicker; delete window.showSaveFilePicker; });
    const path = writeTemp('picked.osr', demoFile());
    const [chooser] = await Promise.all([page.waitForFileChooser(), page.click('#cmd-open')]);
    await chooser.accept([path]);
    await page.waitForFunction((t) => document.getElementById('status').value === t, {}, S.IDS_FILE_READ_DONE + 'picked.osr');
    assert.deepEqual(await shownByPage(page), shownByCli(path));
    // Save as asks for a name and downloads the file under it.
    const folder = mkdtempSync(join(tmp, 'download-'));
    const session = await page.createCDPSession();
    await session.send('Page.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
    page.once('dialog', (dialog) => dialog.accept('копия'));
    await page.click('#cmd-saveas');
    await page.waitForFunction((t) => document.getElementById('status').value === t, {}, S.IDS_FILE_WRITE_DONE + 'копия.osr');
    const target = join(folder, 'копия.osr');
    for (let i = 0; i < 100 && !existsSync(target); ++i) await new Promise((r) => setTimeout(r, 50));
    const box = 'connection.listen_after_alarm';
    cli('set', path, `${box}=${shownByCli(path)[box]}`);
    assert.deepEqual(readFileSync(target), readFileSync(path));
    assert.equal(await page.title(), `${S.IDS_TITLE} - копия.osr`);
    await page.close();
  });
});

describe('editing and saving', () => {
  // What the user does to a control, and what the field then shows. Each
  // kind of control; typing goes key by key through the page's filter,
  // pasting puts the whole text in at once.
  const edits = [
    // Two-digit numbers: typed over the selection, letters refused.
    { key: 'input1.entry_delay', do: 'type', text: '45', shown: '45' },
    { key: 'input1.averaging', do: 'type', text: 'x7y', pattern: /^\d\d$/ },
    { key: 'security.test_message_hour', do: 'type', text: '12', shown: '12' },
    // One digit, and a decimal's two edits.
    { key: 'input2.restore_time', do: 'type', text: '7', shown: '7' },
    { key: 'input1.upper_threshold', do: 'type', text: '8', part: 0, shown: '8.5' },
    { key: 'input1.lower_threshold', do: 'type', text: '3', part: 1, shown: '1.3' },
    // Phone numbers: digits, '#', '*', '+' only in front, 12 characters.
    { key: 'phone2.number', do: 'paste', text: '+7 (912) 345-67-89', shown: '+79123456789' },
    { key: 'phone3.number', do: 'paste', text: '12+34', shown: '1234' },
    { key: 'phone4.number', do: 'type', text: '*100#', shown: '*100#' },
    { key: 'phone5.number', do: 'paste', text: '1234567890123456', shown: '123456789012' },
    // Device texts: cut at their length; an alias has 7 characters.
    { key: 'input2.zone_alias', do: 'paste', text: 'Гараж-бокс-3', shown: 'Гараж-б' },
    { key: 'input1.alarm_text', do: 'paste', text: 'Тревога: сработал датчик в подвале', shown: 'Тревога: сработал датчик ' },
    // Digits-only texts of the pages.
    { key: 'security.password', do: 'type', text: '12a34', shown: '1234' },
    // Lists and boxes.
    { key: 'input1.trigger_mode', do: 'choose', index: 3, shown: 'Режим 3' },
    { key: 'temperature.mode', do: 'choose', index: 0 },
    { key: 'phone1.relay1_on', do: 'click', shown: 'да' },
    { key: 'phone1.relay2_on', do: 'click', shown: 'нет' },
  ];

  test('typed, pasted, clicked and chosen values are saved as the tool sets them', async () => {
    const page = await browser.open();
    await openFile(page, 'edit.osr', demoFile());
    const assignments = [];
    for (const edit of edits) {
      const pageIndex = await page.evaluate((key) => window.ostrel.E.pages.findIndex((p) => p.fields.some((f) => f.key === key)), edit.key);
      assert.ok(pageIndex >= 0, `${edit.key} exists`);
      await page.click(`#tree [role=treeitem]:nth-child(${pageIndex + 1})`);
      const id = `#f-${edit.key.replace(/\./g, '-')}${edit.part ? '-2' : ''}`;
      if (edit.do === 'type' || edit.do === 'paste') {
        await page.click(id, { clickCount: 3 });
        await page.keyboard.down('Control'); await page.keyboard.press('a'); await page.keyboard.up('Control');
        if (edit.do === 'type') await page.keyboard.type(edit.text);
        else await page.keyboard.sendCharacter(edit.text);
      } else if (edit.do === 'click') {
        await page.click(id);
      } else {
        await page.select(id, await page.$eval(id, (s, i) => s.options[i].value, edit.index));
      }
      const shown = (await page.evaluate(() => window.ostrel.E.values()))[edit.key];
      if (edit.shown !== undefined) assert.equal(shown, edit.shown, edit.key);
      if (edit.pattern) assert.match(shown, edit.pattern, edit.key);
      assignments.push(`${edit.key}=${shown}`);
    }
    assert.equal(await modifiedMark(page), ' *');
    // The changed fields are marked, on the page and in the tree.
    assert.ok(await page.$eval('#tree', (t) => t.querySelectorAll('.changed').length >= 10));
    const saved = await saveFile(page, 'edit.osr');
    assert.equal(await status(page), S.IDS_FILE_WRITE_DONE + 'edit.osr');
    assert.equal(await modifiedMark(page), '');
    assert.equal(await page.$eval('#tree', (t) => t.querySelectorAll('.changed').length), 0);

    const reference = writeTemp('edit-reference.osr', demoFile());
    cli('set', reference, ...assignments);
    assert.deepEqual(saved, readFileSync(reference));
    await page.close();
  });

  test('the change-only box of input 2 sets the desktop\'s values on its page and the phone pages', async () => {
    const page = await browser.open();
    await openFile(page, 'mode.osr', fileOf(Buffer.alloc(2300, 0)));
    const before = await page.evaluate(() => window.ostrel.E.values());
    await page.click('#tree [role=treeitem]:nth-child(3)');
    await page.click('#f-input2-change_only');
    const after = await page.evaluate(() => window.ostrel.E.values());
    // Switched on: the input's own fields take the change-only values, and
    // every phone stops calling for zone 2.
    assert.equal(after['input2.change_only'], 'да');
    assert.equal(after['input2.entry_delay'], '00');
    assert.equal(after['input2.24_hour'], 'да');
    assert.equal(after['input2.upper_threshold'], '6.0');
    for (let p = 1; p <= 5; ++p) assert.equal(after[`phone${p}.voice_zone2`], 'нет');
    // The page shows it at once.
    assert.equal(await page.$eval('#f-input2-entry_delay', (e) => e.value), '00');
    // Switched off again: the desktop's other values come back.
    await page.click('#f-input2-change_only');
    const back = await page.evaluate(() => window.ostrel.E.values());
    assert.equal(back['input2.entry_delay'], '05');
    assert.equal(back['input2.restore_time'], '2');
    for (let p = 1; p <= 5; ++p) assert.equal(back[`phone${p}.voice_zone2`], 'да');
    assert.notDeepEqual(before, back);
    await page.close();
  });

  test('keyboard only: the tree moves with the arrow keys, Tab reaches the page\'s fields', async () => {
    const page = await browser.open();
    await page.focus('#tree [aria-selected=true]');
    for (let i = 0; i < 6; ++i) await page.keyboard.press('ArrowDown');
    assert.equal(await page.$eval('#tree [aria-selected=true]', (e) => e.textContent), S.IDS_PAGE_TEL1);
    await page.keyboard.press('End');
    assert.equal(await page.$eval('#tree [aria-selected=true]', (e) => e.textContent), S.IDS_PAGE_THERMO);
    await page.keyboard.press('Home');
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'f-input1-entry_delay');
    // Every control has a label tied to it.
    const unlabelled = await page.evaluate(async () => {
      const missing = [];
      for (const item of document.querySelectorAll('#tree [role=treeitem]')) {
        item.click();
        for (const c of document.querySelectorAll('#page input, #page select'))
          if (!c.labels?.length && !c.getAttribute('aria-label')) missing.push(c.id);
      }
      return missing;
    });
    assert.deepEqual(unlabelled, []);
    await page.close();
  });
});
