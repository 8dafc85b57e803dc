// The alarm over WebHID: a scripted HID device, installed as navigator.hid,
// answers as the alarm does (the core's emulated alarm behind it), with the
// faults of a real USB link. Read and Write keep the desktop's rules,
// progress scales and status texts.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';
import {
  Browser, S, demoFile, modifiedMark, openFile, plugAlarm, recordStatuses, saveFile, shownByCli, shownByPage, status,
  waitStatus, waitStatusSeen, writeTemp,
} from './support.mjs';

const WAIT_MS = 230;
// An exchange with a device that stops answering: one read wait and three
// re-sends, each followed by a wait.
const SILENT_EXCHANGE_MS = 4 * WAIT_MS;
const COMMANDS = { Hello: 0, WriteParam: 1, ReadParam: 2, EraseFlash: 3, ReadFlash: 4, WriteFlash: 6 };

let browser;
before(async () => { browser = await Browser.start(); });
after(async () => { await browser?.close(); });

// The time from a click until the status line shows `id` (an unplug may
// be followed by the presence check's own text).
async function timed(page, button, id) {
  await recordStatuses(page);
  const start = Date.now();
  await page.click(button);
  await waitStatusSeen(page, id);
  return Date.now() - start;
}

describe('presence', () => {
  test('connect and disconnect of the device set the status line', async () => {
    const page = await browser.open();
    await waitStatus(page, 'IDS_NOT_CONNECTED');
    await plugAlarm(page);
    await page.evaluate(() => navigator.hid.unplug(window.__alarm));
    await waitStatus(page, 'IDS_NOT_CONNECTED');
    await page.close();
  });
});

describe('reading', () => {
  // Faults under which a read still succeeds: the exchange skips what is
  // not its answer and sends again what was damaged or lost.
  const survivable = [
    ['no fault', null],
    ['stale answers before the answers', { stale: 6, staleCount: 2 }],
    // Two damaged answers: the third pass of the same request gets through.
    ['answers with a damaged signature', { wrongSignature: 2 }],
    ['answers too late for one wait', { command: COMMANDS.ReadParam, late: 2, lateMs: 300 }],
    ['one request lost', { command: COMMANDS.ReadFlash, silent: 1 }],
  ];
  for (const [name, faults] of survivable) {
    test(`${name}: the pages show the alarm's configuration`, async () => {
      const page = await browser.open();
      await plugAlarm(page, { faults });
      await page.click('#cmd-read');
      await waitStatus(page, 'IDS_READ_DONE', 30000);
      assert.equal(await status(page), S.IDS_READ_DONE);
      assert.equal(await page.$eval('#progress', (p) => [p.max, p.value].join()), '3328,3328');
      assert.deepEqual(await shownByPage(page), shownByCli(writeTemp('demo.osr', demoFile())));
      // What the pages showed before differs from the alarm: modified.
      assert.equal(await modifiedMark(page), ' *');
      await page.close();
    });
  }

  // Faults that end the read with the desktop's failure text, within the
  // time the exchange's waits allow.
  const fatal = [
    ['the alarm does not answer at all', { silent: -1 }, [SILENT_EXCHANGE_MS, SILENT_EXCHANGE_MS + 1500]],
    // Output reports never taken: three writes, each given up after a wait.
    ['the alarm takes no reports', { stalled: true }, [3 * WAIT_MS, 3 * WAIT_MS + 1500]],
    ['the alarm stops answering the flash reads', { command: COMMANDS.ReadFlash, silent: -1 }, [SILENT_EXCHANGE_MS, 2 * SILENT_EXCHANGE_MS + 2000]],
    ['the alarm says no', { command: COMMANDS.ReadParam, failStatus: 1 }, [0, 3000]],
    // Every pass of Hello damaged: the device is not taken as ours.
    ['answers damaged three times', { wrongSignature: 3 }, [0, 3000]],
    ['unplugged in the middle', { removeAfter: 30 }, [0, 3000]],
  ];
  for (const [name, faults, [least, most]] of fatal) {
    test(`${name}: the read fails with the desktop's text`, async () => {
      const page = await browser.open();
      await openFile(page, 'mine.osr', demoFile());
      const before = await shownByPage(page);
      await plugAlarm(page);
      await page.evaluate((f) => { if (f.stalled) window.__alarm.stalled = true; else window.__alarm.setFaults(f); }, faults);
      const took = await timed(page, '#cmd-read', 'IDS_READ_FAILED');
      assert.ok(took >= least * 0.9 && took <= most, `${took} ms, expected ${least}-${most}`);
      // A failed read leaves the pages as they were.
      assert.deepEqual(await shownByPage(page), before);
      await page.close();
    });
  }

  test('unsaved changes: Read asks first, and Cancel keeps everything', async () => {
    const page = await browser.open();
    await plugAlarm(page);
    await page.click('#tree [role=treeitem]:nth-child(7)');
    await page.click('#f-phone1-relay1_on');
    await page.click('#cmd-read');
    await page.waitForSelector('#discard[open]');
    await page.click('#discard-cancel');
    assert.equal(await page.evaluate(() => window.__alarm.seen(2)), 0);
    assert.equal(await status(page), S.IDS_CONNECTED);
    // Don't save: the read goes on.
    await page.click('#cmd-read');
    await page.waitForSelector('#discard[open]');
    await page.click('#discard-dontsave');
    await waitStatus(page, 'IDS_READ_DONE');
    await page.close();
  });
});

describe('writing', () => {
  test('the changes are listed first; Write writes them, the progress ends at 4352', async () => {
    const page = await browser.open();
    await plugAlarm(page);
    await page.click('#cmd-read');
    await waitStatus(page, 'IDS_READ_DONE');
    await page.click('#tree [role=treeitem]:nth-child(7)');
    await page.click('#f-phone1-relay1_on');
    await page.click('#f-phone1-number', { clickCount: 3 });
    await page.keyboard.type('+70001112233');
    await page.click('#cmd-write');
    await page.waitForSelector('#preview[open]');
    const listed = await page.$$eval('#preview tbody tr', (rows) => rows.map((r) => r.dataset.key));
    assert.deepEqual(listed.sort(), ['phone1.number', 'phone1.relay1_on']);
    await page.click('#preview-write');
    await waitStatus(page, 'IDS_WRITE_DONE');
    assert.equal(await page.$eval('#progress', (p) => [p.max, p.value].join()), '4352,4352');
    // The alarm now holds what the pages show: nothing more to write, and
    // its parameter memory is the image a save writes.
    await page.click('#cmd-write');
    await page.waitForSelector('#preview[open]');
    assert.equal(await page.$eval('#preview .body', (b) => b.textContent), S.IDS_WEB_PREVIEW_NONE);
    assert.equal(await page.$('#preview-write'), null);
    await page.click('#preview-close');
    await page.evaluate(() => { window.__files.saveAs = 'written.osr'; });
    const file = await saveFile(page, 'written.osr');
    const device = Buffer.from(await page.evaluate(() => [...window.__alarm.paramMemory()]));
    assert.deepEqual(device, file.subarray(16, 16 + 2048));
    await page.close();
  });

  test('Cancel in the list writes nothing', async () => {
    const page = await browser.open();
    await plugAlarm(page);
    await page.click('#cmd-write');
    await page.waitForSelector('#preview[open]');
    await page.click('#preview-close');
    await page.waitForSelector('#preview:not([open])');
    assert.equal(await page.evaluate(() => window.__alarm.seen(1) + window.__alarm.seen(6)), 0);
    await page.close();
  });

  const fatal = [
    ['the alarm does not answer at all', { silent: -1 }, 'IDS_PREREAD_FAILED', false],
    ['the alarm stops answering parameter writes', { command: COMMANDS.WriteParam, silent: -1 }, 'IDS_WRITE_FAILED', true],
    ['the alarm refuses the flash erase', { command: COMMANDS.EraseFlash, failStatus: 1 }, 'IDS_WRITE_FAILED', true],
  ];
  for (const [name, faults, id, listed] of fatal) {
    test(`${name}: the write fails with the desktop's text`, async () => {
      const page = await browser.open();
      await plugAlarm(page);
      await page.evaluate((f) => window.__alarm.setFaults(f), faults);
      await page.click('#cmd-write');
      if (listed) {
        await page.waitForSelector('#preview[open]');
        await page.click('#preview-write');
      }
      const start = Date.now();
      await waitStatus(page, id, 20000);
      assert.ok(Date.now() - start < 2 * SILENT_EXCHANGE_MS + 3000);
      await page.close();
    });
  }

  test('unplugged in the middle of a write: the write fails, the status line says so', async () => {
    const page = await browser.open();
    await plugAlarm(page);
    await page.click('#cmd-write');
    await page.waitForSelector('#preview[open]');
    await page.evaluate(() => window.__alarm.setFaults({ removeAfter: 100 }));
    await recordStatuses(page);
    await page.click('#preview-write');
    await waitStatusSeen(page, 'IDS_WRITE_FAILED');
    assert.ok(await page.evaluate(() => window.__alarm.seen(1)) > 0);
    await page.close();
  });
});
