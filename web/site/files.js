// The ".osr" files: Open, Save and Save as, through the browser's file
// pickers where it has them, else a file input and a download; and the
// unsaved-changes question before Open and Read. Owns where Save writes.
// A file command asked for while a transfer runs waits for its end.
import { E, S, site } from './engine.js';
import { transferRuns } from './device.js';
import { setProgress, showStatus, showTitle, takeBaseline } from './marks.js';
import { renderPage } from './page.js';

const $ = (id) => document.getElementById(id);
const FILE_TYPES = [{ description: S.IDS_FILE_FILTER, accept: { 'application/octet-stream': ['.osr'] } }];

let fileHandle = null; // where Save writes (File System Access API)
let fileName = '';
let pending = null; // a file command asked for during a transfer

export const currentFileName = () => fileName;

// Asks for a file to open: its name and a reader, or null when cancelled.
async function askOpenFile() {
  if (window.showOpenFilePicker) {
    let handle;
    try {
      [handle] = await window.showOpenFilePicker({ types: FILE_TYPES, id: 'osr' });
    } catch (error) {
      if (error.name === 'AbortError') return null;
      throw error;
    }
    return { handle, name: handle.name, file: () => handle.getFile() };
  }
  const input = $('file-input');
  input.value = '';
  return new Promise((resolve) => {
    input.onchange = () => {
      const file = input.files[0];
      resolve(file ? { handle: null, name: file.name, file: async () => file } : null);
    };
    input.oncancel = () => resolve(null);
    input.click();
  });
}

export async function openFile() {
  if (transferRuns()) {
    pending = openFile;
    return;
  }
  if (!(await confirmDiscard())) return;
  const chosen = await askOpenFile();
  if (!chosen) return;
  // A file of any other size than a configuration's is refused by its size
  // alone: its bytes are not even read.
  let size = 0;
  let bytes = null;
  let readable = true;
  try {
    const file = await chosen.file();
    size = file.size;
    if (E.fileTaken(size)) bytes = new Uint8Array(await file.arrayBuffer());
  } catch {
    readable = false;
  }
  const result = E.open(bytes, size, readable);
  const status = { 1: 'IDS_FILE_READ_DONE', 0: 'IDS_FILE_READ_FAILED', [-1]: 'IDS_FILE_BAD_FORMAT', [-2]: 'IDS_FILE_CORRUPT' }[result];
  if (result === 1) {
    fileHandle = chosen.handle;
    fileName = chosen.name;
    showTitle(fileName);
    renderPage();
    takeBaseline();
  }
  setProgress();
  showStatus(status, chosen.name);
}

// Writes the file for the pages' values: 1 written, 0 not.
async function writeFile(handle, name) {
  const bytes = E.fileBytes();
  let written = false;
  if (bytes) {
    try {
      if (handle) {
        const stream = await handle.createWritable();
        await stream.write(bytes);
        await stream.close();
      } else {
        // No file system access: the browser downloads the file.
        const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
        const a = document.createElement('a');
        a.href = url;
        a.download = name;
        document.body.append(a);
        a.click();
        a.remove();
        setTimeout(() => URL.revokeObjectURL(url), 10000);
      }
      written = true;
    } catch {
      written = false;
    }
  }
  if (written) {
    E.saved();
    takeBaseline();
  }
  setProgress();
  showStatus(written ? 'IDS_FILE_WRITE_DONE' : 'IDS_FILE_WRITE_FAILED', name);
  return written ? 1 : 0;
}

export async function saveFile() {
  if (transferRuns()) {
    pending = saveFile;
    return 0;
  }
  if (!fileHandle) return saveFileAs();
  return writeFile(fileHandle, fileName);
}

// 1 written, 0 not written, -1 cancelled.
export async function saveFileAs() {
  if (transferRuns()) {
    pending = saveFileAs;
    return 0;
  }
  const suggested = fileName || 'config.osr';
  let handle = null;
  let name = suggested;
  if (window.showSaveFilePicker) {
    try {
      handle = await window.showSaveFilePicker({ types: FILE_TYPES, suggestedName: suggested, id: 'osr' });
    } catch (error) {
      if (error.name === 'AbortError') return -1;
      throw error;
    }
    name = handle.name;
  } else {
    // No file system access: the name is asked for, and the browser
    // downloads the file under it.
    const answer = window.prompt(S.IDS_SAVE_TITLE, suggested);
    if (answer === null || !answer.trim()) return -1;
    name = /\.osr$/i.test(answer.trim()) ? answer.trim() : `${answer.trim()}.osr`;
  }
  if ((await writeFile(handle, name)) !== 1) return 0;
  fileHandle = handle;
  fileName = name;
  showTitle(fileName);
  return 1;
}

// What the question's "save" does (Save of the window: a file, or a
// site's history).
let saveCommand = () => saveFile();
export function useSaveCommand(command) {
  saveCommand = command;
}

// The unsaved-changes question before Open and Read: true when the command
// may go on.
export async function confirmDiscard() {
  if (!E.modified()) return true;
  const dialog = $('discard');
  const choice = await new Promise((resolve) => {
    dialog.onclose = () => resolve(dialog.returnValue);
    dialog.returnValue = 'cancel';
    dialog.showModal();
  });
  switch (choice) {
    case 'save': return (await saveCommand()) === 1;
    case 'saveas': return (await saveFileAs()) === 1;
    case 'dontsave': return true;
    default: return false;
  }
}
{
  const dialog = $('discard');
  dialog.querySelector('.caption').textContent = S.IDS_DISCARD_CAPTION;
  for (const { choice, label, note } of site.discard) {
    const button = document.createElement('button');
    button.value = choice;
    button.textContent = label;
    button.id = `discard-${choice}`;
    const span = document.createElement('span');
    span.textContent = note;
    dialog.querySelector('.choices').append(button, span);
  }
}

// The file command asked for during the transfer that has just ended.
export async function runPendingFileCommand() {
  const command = pending;
  pending = null;
  if (command) await command();
}
