// The device link of the browser, as the engine's exchange uses it: open
// one of the usable HID devices, write one output report, read one input
// report with a time-out, cancel, and the abort that ends every wait. The
// exchange's rules (waits of 230 ms, retries, stale answers skipped) are
// the engine's; this file only carries reports.
//
// A device is a WebHID HIDDevice or anything with the same surface
// (vendorId, productId, opened, open(), sendReport(), 'inputreport'
// events): the demo's and the tests' emulated alarm is one.

// The device as the engine describes it (its ids, the report's size, the
// codes of the link's starts, waits and operations): given once the engine
// has started, before any request.
let D = null;
export function useDevice(device) {
  D = device;
}
// Input reports kept while no read is outstanding, as the desktop's driver
// keeps them.
const QUEUE_LIMIT = 32;

// One open handle: its own queue of input reports, as a new handle on the
// desktop starts with an empty one.
class Handle {
  constructor(device, heap) {
    this.device = device;
    this.heap = heap;
    this.queue = [];
    this.gone = false;
    this.write = null; // { state: 'pending' | 'done' | 'failed', settled: Promise }
    this.read = null; // { ptr, state: 'pending' | 'done' }
    this.wake = null; // resolves the wait in progress
    this.onReport = (event) => this.take(event);
    device.addEventListener('inputreport', this.onReport);
  }

  take(event) {
    const report = new Uint8Array(D.reportSize);
    report[0] = event.reportId;
    const data = new Uint8Array(event.data.buffer, event.data.byteOffset, event.data.byteLength);
    report.set(data.subarray(0, D.reportSize - 1), 1);
    if (this.read && this.read.state === 'pending') {
      this.heap().set(report, this.read.ptr);
      this.read.state = 'done';
      this.poke();
      return;
    }
    this.queue.push(report);
    if (this.queue.length > QUEUE_LIMIT) this.queue.shift();
  }

  poke() {
    const wake = this.wake;
    this.wake = null;
    if (wake) wake();
  }

  close() {
    this.device.removeEventListener('inputreport', this.onReport);
    this.gone = true;
    this.poke();
  }
}

export class HidLink {
  // heap: a function giving the engine's memory as bytes.
  constructor(heap) {
    this.heap = heap;
    this.devices = [];
    this.handles = new Map();
    this.nextHandle = 1;
    this.aborted = false;
  }

  // The devices the engine may search, in order.
  setDevices(devices) {
    this.devices = devices.slice();
  }

  // A device that went away: its handles fail their waits at once.
  unplugged(device) {
    for (const handle of this.handles.values()) if (handle.device === device) {
      handle.gone = true;
      handle.poke();
    }
  }

  // The abort of the desktop's worker: every wait ends with Aborted until
  // the next request resets it.
  abort() {
    this.aborted = true;
    for (const handle of this.handles.values()) handle.poke();
  }
  resetAbort() {
    this.aborted = false;
  }

  count() {
    return this.devices.length;
  }

  async open(index) {
    const device = this.devices[index];
    if (!device) return 0;
    try {
      if (!device.opened) await device.open();
    } catch {
      return 0; // another program holds it, or it went away
    }
    const id = this.nextHandle++;
    this.handles.set(id, new Handle(device, this.heap));
    return id;
  }

  // The ids of device `index` of the list, as the platform's list gives
  // them, into three 16-bit words at `out`.
  info(index, out) {
    const device = this.devices[index];
    if (!device) return 0;
    const words = new Uint16Array(this.heap().buffer, out, 3);
    words[0] = device.vendorId;
    words[1] = device.productId;
    // WebHID does not tell a device's release number: 0xFFFF says so, and
    // the engine takes the release it knows; Hello still has to answer.
    words[2] = device.version ?? 0xffff;
    return 1;
  }

  startWrite(id, ptr) {
    const handle = this.handles.get(id);
    if (!handle || handle.gone) return D.start.Failed;
    const report = this.heap().slice(ptr, ptr + D.reportSize);
    const write = { state: 'pending' };
    handle.write = write;
    let sent;
    try {
      sent = handle.device.sendReport(report[0], report.subarray(1));
    } catch {
      handle.write = null;
      return D.start.Failed;
    }
    write.settled = Promise.resolve(sent).then(
      () => { write.state = 'done'; },
      () => { write.state = 'failed'; },
    ).then(() => { if (handle.write === write) handle.poke(); });
    return D.start.Pending;
  }

  startRead(id, ptr) {
    const handle = this.handles.get(id);
    if (!handle || handle.gone) return D.start.Failed;
    if (handle.queue.length) {
      this.heap().set(handle.queue.shift(), ptr);
      handle.read = null;
      return D.start.Completed;
    }
    handle.read = { ptr, state: 'pending' };
    return D.start.Pending;
  }

  // The abort first, then the operation; a time-out after `ms`.
  wait(id, op, ms) {
    const handle = this.handles.get(id);
    const state = () => {
      if (this.aborted) return D.wait.Aborted;
      if (!handle) return D.wait.Failed;
      const operation = op === D.op.Write ? handle.write : handle.read;
      if (!operation) return D.wait.Failed;
      if (operation.state === 'done') return D.wait.Done;
      if (operation.state === 'failed' || handle.gone) return D.wait.Failed;
      return null;
    };
    const now = state();
    if (now !== null) return Promise.resolve(now);
    return new Promise((resolve) => {
      const timer = setTimeout(() => {
        handle.wake = null;
        resolve(state() ?? D.wait.TimedOut);
      }, ms);
      const check = () => {
        const result = state();
        if (result === null) {
          handle.wake = check;
          return;
        }
        clearTimeout(timer);
        resolve(result);
      };
      handle.wake = check;
    });
  }

  cancel(id, op) {
    const handle = this.handles.get(id);
    if (!handle) return;
    if (op === D.op.Write) handle.write = null;
    else handle.read = null;
  }

  close(id) {
    const handle = this.handles.get(id);
    if (!handle) return;
    handle.close();
    this.handles.delete(id);
  }
}

// Runs `run` `ms` after now, as a device's answer arrives: close waits are
// met by yielding task after task until the time has come (a timer of the
// browser takes a quarter of a millisecond more at best, and 4 ms once timers
// are set from timers), longer ones by a timer first. Answers due at the
// same time run in the order they were given.
const channel = new MessageChannel();
const due = [];
let sequence = 0;
let scheduled = false;
function pump() {
  scheduled = false;
  const now = performance.now();
  due.sort((a, b) => a.at - b.at || a.n - b.n);
  while (due.length && due[0].at <= now) due.shift().run();
  if (!due.length) return;
  scheduled = true;
  const wait = due[0].at - performance.now();
  if (wait > 3) setTimeout(() => channel.port2.postMessage(0), wait - 2);
  else channel.port2.postMessage(0);
}
channel.port1.onmessage = pump;
function later(run, ms) {
  due.push({ at: performance.now() + ms, n: sequence++, run });
  if (!scheduled) {
    scheduled = true;
    channel.port2.postMessage(0);
  }
}

// The alarm emulated by the engine (the core's emulated device, holding the
// demonstration configuration) behind the surface of a WebHID device: every
// output report is handed to the model, and its answers come back as input
// reports after `answerDelayMs` (plus what a fault adds). Used for the demo
// and by the tests, which switch its faults on.
export class EmulatedHidDevice extends EventTarget {
  constructor(engine, { answerDelayMs = 1, productName = 'emulated' } = {}) {
    super();
    this.engine = engine;
    this.vendorId = D.vendorId;
    this.productId = D.productId;
    this.productName = productName;
    this.collections = [];
    this.opened = false;
    this.answerDelayMs = answerDelayMs;
    this.model = engine._ost_emu_new();
    this.request = engine._ost_alloc(D.reportSize);
    this.room = 8;
    this.answers = engine._ost_alloc(this.room * (D.reportSize + 4));
    this.onUnplug = null; // called once when a fault unplugs the device
    this.stalled = false; // output reports are not taken: sendReport never ends
  }

  async open() {
    if (this.removed) throw new DOMException('The device was removed.', 'NotFoundError');
    this.opened = true;
  }

  async close() {
    this.opened = false;
  }

  get removed() {
    return this.engine._ost_emu_removed(this.model) === 1;
  }

  // Faults of the model: see EmulatedFaults in the core.
  setFaults({ command = -1, silent = 0, late = 0, lateMs = 0, stale = 0, staleCount = 1,
    wrongSignature = 0, failStatus = 0, removeAfter = -1 } = {}) {
    const values = [command, silent, late, lateMs, stale, staleCount, wrongSignature, failStatus, removeAfter];
    const ptr = this.engine._ost_alloc(values.length * 4);
    new Int32Array(this.engine.HEAPU8.buffer, ptr, values.length).set(values);
    this.engine._ost_emu_faults(this.model, ptr);
    this.engine._ost_free(ptr);
  }

  // Requests the model has seen (all, or of one command).
  seen(command = -1) {
    return this.engine._ost_emu_seen(this.model, command);
  }

  // The model's parameter memory, as a copy.
  paramMemory() {
    const at = this.engine._ost_emu_param(this.model);
    return this.engine.HEAPU8.slice(at, at + D.paramSize);
  }

  async sendReport(reportId, data) {
    if (!this.opened || this.removed) throw new DOMException('The device is not open.', 'InvalidStateError');
    if (this.stalled) return new Promise(() => {});
    const heap = this.engine.HEAPU8;
    heap[this.request] = reportId;
    heap.fill(0, this.request + 1, this.request + D.reportSize);
    heap.set(new Uint8Array(data.buffer ?? data, data.byteOffset ?? 0, Math.min(data.byteLength ?? data.length, 64)), this.request + 1);
    const n = this.engine._ost_emu_handle(this.model, this.request, this.answers, this.room);
    for (let i = 0; i < n; ++i) {
      const at = this.answers + i * (D.reportSize + 4);
      const report = this.engine.HEAPU8.slice(at, at + D.reportSize);
      const extra = new DataView(this.engine.HEAPU8.buffer, at + D.reportSize, 4).getUint32(0, true);
      later(() => {
        if (!this.opened) return;
        const event = new Event('inputreport');
        event.device = this;
        event.reportId = report[0];
        event.data = new DataView(report.buffer, 1, D.reportSize - 1);
        this.dispatchEvent(event);
      }, this.answerDelayMs + extra);
    }
    if (this.removed && this.onUnplug) {
      const unplug = this.onUnplug;
      this.onUnplug = null;
      setTimeout(() => unplug(this), 0);
    }
  }
}
