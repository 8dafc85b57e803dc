// The only place where the browser's JavaScript meets the core. Everything
// the page shows and does goes through the plain C functions below: the
// configuration model (every field of the 23 pages, edited keystroke by
// keystroke through its kind's filter and entered as a user enters it), the
// ".osr" file with all of its checks, the device requests of the desktop's
// worker over the browser's HID link, and the emulated alarm that the demo
// and the tests put behind a scripted HID device.
//
// The device link of the browser is asynchronous while the exchange is
// written as blocking calls: the waits of its HID backend
// (device/hid/webhid) are asynchronous imports, and Asyncify unwinds the engine's stack while
// JavaScript waits for a report or a time-out, then rewinds it. Only one device request runs at a time
// (the page refuses a second one, as the desktop's worker does). Text goes
// both ways as UTF-8; structured results as JSON.
#include <emscripten.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Json.h"
#include "app/ConfigFile.h"
#include "app/Record.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/PageLayout.h"
#include "config/StringTable.h"
#include "config/Utf8.h"
#include "device/DemoConfiguration.h"
#include "device/DeviceConnection.h"
#include "device/DeviceWorkerCore.h"
#include "device/EmulatedDevice.h"
#include "device/InlineWorker.h"
#include "device/Protocol.h"
#include "device/TransferRunner.h"
#include "device/hid/webhid/WebHid.h"

// A notification of the device worker (progress).
EM_JS(void, js_notify, (unsigned code, int value), { Module.onNotify(code, value); });
// The modified flag changed: the page's mark shows its new state.
EM_JS(void, js_modified, (int set), { Module.onModified(set !== 0); });

namespace {

class PageSink : public INotifySink {
 public:
  void Post(unsigned code, std::intptr_t value) override {
    js_notify(code, static_cast<int>(value));
  }
};

bool IsEdit(const FieldRow& row) {
  const ControlType c = KindOf(row).Control();
  return c == ControlType::Edit || c == ControlType::UnitsAndTenths;
}

// ---- The engine's state ----

struct Engine {
  Configuration config;
  // The ConfigImage as the desktop's main window keeps it: the values go
  // over it before a save, the device's parameter memory before a write.
  std::uint8_t image[kImageSize];
  WebHidEnumerator hid;
  PageSink sink;
  // The desktop worker's requests, run here one at a time.
  InlineWorker runner{hid, sink};
  DeviceWorkerCore& worker = runner.core;
  bool deviceBusy = false;
  // The last file written (SaveConfigFile's bytes).
  std::vector<std::uint8_t> saved;
  std::string result;  // the last JSON or text handed out

  Engine() {
    InitImage(image);
    config.Modified().Observe([](bool set) { js_modified(set ? 1 : 0); });
  }
};

Engine& E() {
  static Engine* engine = new Engine;
  return *engine;
}

// The field `row` of page `page`, when it exists on that page.
std::optional<FieldRef> RefOf(int page, int row) {
  if (page < 0 || page >= kPageCount) return std::nullopt;
  const PageEntry& entry = kPages[page];
  if (row < 0 || row >= static_cast<int>(entry.fields->rows.size())) return std::nullopt;
  if (!entry.fields->rows[row].ExistsFor(entry.member)) return std::nullopt;
  return FieldRef{page, row};
}

// Every field's shown value, keyed by its key: {"input1.entry_delay": "05", ...}.
void AppendShownValues(std::string& out, const Configuration& config) {
  out += '{';
  bool first = true;
  for (const FieldRef& field : Configuration::AllFields()) {
    if (!first) out += ',';
    first = false;
    AppendQuoted(out, field.Key());
    out += ':';
    AppendQuoted(out, config.Get(field));
  }
  out += '}';
}

// What a field's controls hold now; an edit's caret at `caret` (-1: at 0).
void AppendControls(std::string& out, const FieldRef& field, int part = -1, int caret = 0) {
  const FieldRow& r = field.Row();
  const FieldValue& value = E().config.Value(field);
  out += "{\"row\":" + std::to_string(field.row);
  switch (field.Kind().Control()) {
    case ControlType::CheckBox:
      out += ",\"checked\":" + std::string(value.value == 1 ? "true" : "false");
      break;
    case ControlType::List:
      out += ",\"index\":" + std::to_string(value.value >= 0 && value.value < r.ListCount() ? value.value : -1);
      break;
    default: {
      const std::u16string* texts[2] = {&value.text, &value.text2};
      const char* names[2] = {"edit", "edit2"};
      const int parts = field.Kind().Control() == ControlType::UnitsAndTenths ? 2 : 1;
      for (int i = 0; i < parts; ++i) {
        const int at = i == part ? caret : 0;
        out += ",\"" + std::string(names[i]) + "\":{\"text\":";
        AppendQuoted(out, *texts[i]);
        out += ",\"start\":" + std::to_string(at) + ",\"end\":" + std::to_string(at) + "}";
      }
    }
  }
  out += '}';
}

const char* Hand(std::string text) {
  E().result = std::move(text);
  return E().result.c_str();
}

// A file given as bytes: what LoadConfigFile reads and SaveConfigFile
// writes, in memory. The browser has read the file (or failed to) before.
class MemoryFile : public IFileSystem {
 public:
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  bool readable = true;
  std::vector<std::uint8_t> written;

  ReadOutcome ReadExactly(const std::u16string&, std::uint8_t* buffer,
                          std::size_t wanted) override {
    if (!readable) return ReadOutcome::Failed;
    if (size != wanted) return ReadOutcome::WrongSize;
    std::memcpy(buffer, data, wanted);
    return ReadOutcome::Done;
  }
  CreateOutcome WriteNewFile(const std::u16string&, const std::uint8_t* bytes,
                             std::size_t count) override {
    written.assign(bytes, bytes + count);
    return CreateOutcome::Written;
  }
  bool MoveOver(const std::u16string&, const std::u16string&) override { return true; }
  void RemoveFile(const std::u16string&) override {}
};

// The pages' values stored over a ConfigImage.
TransferRunner::Store StorePages() {
  return [](std::uint8_t* image) { E().config.StoreOver(image); };
}

// Runs `exchange` with the device unless another exchange runs (the page
// may call again while one waits for the device): false when one ran.
// The device is free again afterwards, whatever `exchange` did.
template <class Exchange>
bool OnDevice(Engine& e, Exchange&& exchange) {
  if (e.deviceBusy) return false;
  e.deviceBusy = true;
  struct Free {
    bool& busy;
    ~Free() { busy = false; }
  } free{e.deviceBusy};
  exchange();
  return true;
}

}  // namespace

extern "C" {

// The controls of every field of page `page`, as JSON.
EMSCRIPTEN_KEEPALIVE const char* ost_page(int page) {
  if (page < 0 || page >= kPageCount) return Hand("[]");
  std::string out = "[";
  bool first = true;
  for (std::size_t r = 0; r < kPages[page].fields->rows.size(); ++r) {
    const std::optional<FieldRef> field = RefOf(page, static_cast<int>(r));
    if (!field) continue;
    if (!first) out += ',';
    first = false;
    AppendControls(out, *field);
  }
  out += ']';
  return Hand(std::move(out));
}

// Every field's shown value, keyed by its key, as JSON.
EMSCRIPTEN_KEEPALIVE const char* ost_values() {
  std::string out;
  AppendShownValues(out, E().config);
  return Hand(std::move(out));
}

// The user changed edit `part` (0, or 1 for the tenths of a decimal) of
// field `row` of page `page` to `text` with the selection start-end: the
// page's filter runs as for a keystroke. Returns the field's controls.
EMSCRIPTEN_KEEPALIVE const char* ost_edit(int page, int row, int part, const char* text,
                                          int start, int end) {
  const std::optional<FieldRef> field = RefOf(page, row);
  if (!field || !IsEdit(field->Row())) return Hand("null");
  const bool tenths = field->Kind().Control() == ControlType::UnitsAndTenths;
  if (part != 0 && !(part == 1 && tenths)) return Hand("null");
  const std::optional<std::u16string> typed = FromUtf8(text);
  if (!typed) return Hand("null");
  // As the desktop's page does at EN_UPDATE: the model's edit runs the
  // kind's filter over what the page holds, the edit's text and its caret.
  // While typing, the page holds what the filter keeps, even a value that
  // is not complete yet (a password of two digits).
  const EditResult edited =
      E().config.Edit(*field, FieldEdit::Typed(part, *typed, std::max(start, end)));
  const int caret = edited.caret;
  std::string out;
  AppendControls(out, *field, part, caret);
  return Hand(std::move(out));
}

// A click on the check box of field `row`.
EMSCRIPTEN_KEEPALIVE void ost_click(int page, int row) {
  const std::optional<FieldRef> field = RefOf(page, row);
  if (!field || field->Kind().Control() != ControlType::CheckBox) return;
  E().config.Edit(*field, FieldEdit::Box(E().config.Value(*field).value != 1));
}

// Entry `index` picked in the list of field `row`.
EMSCRIPTEN_KEEPALIVE void ost_choose(int page, int row, int index) {
  const std::optional<FieldRef> field = RefOf(page, row);
  if (!field || field->Kind().Control() != ControlType::List) return;
  E().config.Edit(*field, FieldEdit::Entry(index));
}

EMSCRIPTEN_KEEPALIVE int ost_modified() { return E().config.Modified().IsSet() ? 1 : 0; }

// Whether a file of `size` bytes is copied into the engine to be opened:
// only one of a configuration file's size. Any other is refused by its size
// alone (ost_open_file without its bytes), so that no file, however large,
// has to fit into the engine's memory.
EMSCRIPTEN_KEEPALIVE int ost_file_taken(double size) {
  return size == static_cast<double>(kConfigFileSize) ? 1 : 0;
}

// Opens a configuration file given as its bytes (`readable` 0 when the
// browser could not read it): a ConfigFileResult. Only a file that passes
// every check reaches the pages, and clears the modified flag.
// `data` null: a file not taken (see ost_file_taken), refused by its size.
EMSCRIPTEN_KEEPALIVE int ost_open_file(const std::uint8_t* data, int size, int readable) {
  if (!data) size = size == static_cast<int>(kConfigFileSize) ? -1 : size;
  MemoryFile file;
  file.data = data;
  file.size = size < 0 ? 0 : static_cast<std::size_t>(size);
  file.readable = readable != 0;
  Engine& e = E();
  std::uint8_t loaded[kImageSize];
  const ConfigFileResult result = LoadConfigFile(file, u"", loaded);
  if (result != Loaded) return result;
  std::memcpy(e.image, loaded, kImageSize);
  e.config.Load(e.image);
  e.config.Modified().Clear();
  return result;
}

// The file for the pages' values, as the desktop writes it; its size goes
// to `size`. The modified flag is left to ost_saved, once the browser has
// written the bytes.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* ost_save_file(int* size) {
  Engine& e = E();
  e.config.StoreOver(e.image);
  MemoryFile file;
  *size = 0;
  if (!SaveConfigFile(file, u"file.osr", e.image)) return nullptr;
  e.saved = std::move(file.written);
  *size = static_cast<int>(e.saved.size());
  return e.saved.data();
}

EMSCRIPTEN_KEEPALIVE void ost_saved() { E().config.Modified().Clear(); }

// The customer's printable record of the pages' values for the page's print
// area: its style, every rule scoped to `scope` (a selector of the area),
// then its body. `fileName` and `date` (UTF-8) go into its head; `secret`,
// when not null, is the secret as the office showed it to a viewer, whose
// pages do not hold it.
EMSCRIPTEN_KEEPALIVE const char* ost_record(const char* fileName, const char* date,
                                            const char* scope, const char* secret) {
  Engine& e = E();
  std::uint8_t image[kImageSize];
  std::memcpy(image, e.image, kImageSize);
  e.config.StoreOver(image);
  ReportInfo info;
  info.fileName = fileName;
  info.date = date;
  if (secret) info.secretShown = secret;
  return Hand("<style>\n" + ReportStyle(scope) + "</style>\n" + ReportBody(image, info));
}

// ---- The device: the desktop's requests, in the desktop's order ----

// Whether a device is attached and answers Hello: 1 or 0, -1 busy.
EMSCRIPTEN_KEEPALIVE int ost_check() {
  Engine& e = E();
  bool ok = false;
  if (!OnDevice(e, [&] { ok = e.worker.RunRequest(CheckDevice); })) return -1;
  return ok ? 1 : 0;
}

// A read of the device into the pages: 1 done, 0 failed, -1 busy. The
// parameter memory, then the current flash record; when what the pages
// showed differs from what the device holds, the configuration counts as
// modified.
EMSCRIPTEN_KEEPALIVE int ost_read() {
  Engine& e = E();
  TransferEvent read;
  if (!OnDevice(e, [&] { read = e.runner.Run(TransferKind::Read, e.image, StorePages()); }))
    return -1;
  if (read.result != TransferResult::ReadDone) return 0;
  if (read.differs) e.config.Modified().Mark();
  e.config.Load(e.image);
  return 1;
}

// A write of the pages to the device: 1 done, 0 failed, 2 the read before
// it failed, -1 busy. The pages' values go over the device's own parameter
// memory, so bytes that no page owns are written back as the device holds
// them.
EMSCRIPTEN_KEEPALIVE int ost_write() {
  Engine& e = E();
  TransferResult written = TransferResult::WriteFailed;
  if (!OnDevice(e, [&] { written = e.runner.Run(TransferKind::Write, e.image, StorePages()).result; }))
    return -1;
  return written == TransferResult::WriteDone ? 1 : written == TransferResult::PreReadFailed ? 2 : 0;
}

// What a write would change on the device: the device is read (parameter
// memory and record) and its values compared field by field with the
// pages'. JSON: {"ok":true,"changes":[{"page":..,"key":..,"device":..,"pages":..}]}
// (a secret value masked), or {"ok":false} when the read failed or a request
// runs.
EMSCRIPTEN_KEEPALIVE const char* ost_preview() {
  Engine& e = E();
  // The device's image in a buffer of its own: the pages' image stays.
  std::uint8_t device[kImageSize] = {};
  bool ok = false;
  if (!OnDevice(e, [&] {
        ok = e.runner.Run(TransferKind::Read, device).result == TransferResult::ReadDone;
      }))
    return Hand("{\"ok\":false}");
  if (!ok) return Hand("{\"ok\":false}");
  // The device's values in a model of their own: the user's values and
  // modified flag stay as they are.
  Configuration onDevice;
  onDevice.Load(device);
  std::string out = "{\"ok\":true,\"changes\":[";
  bool first = true;
  for (const FieldRef& field : Configuration::AllFields()) {
    std::u16string before = onDevice.Get(field);
    std::u16string after = e.config.Get(field);
    if (before == after) continue;
    // A secret value is listed as changed, never shown.
    if (IsSecret(field)) {
      before = Masked(before);
      after = Masked(after);
    }
    if (!first) out += ',';
    first = false;
    out += "{\"page\":" + std::to_string(field.page) + ",\"key\":";
    AppendQuoted(out, field.Key());
    out += ",\"device\":";
    AppendQuoted(out, before);
    out += ",\"pages\":";
    AppendQuoted(out, after);
    out += '}';
  }
  out += "]}";
  return Hand(std::move(out));
}

// The file of what the device held at the last read (a preview's), for the
// site's history of a write; its size to `size`.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* ost_device_file(int* size) {
  Engine& e = E();
  std::uint8_t device[kImageSize];
  e.worker.CopyImage(device, kImageSize);
  const auto bytes = ConfigFileBytes(device);
  e.saved.assign(bytes.begin(), bytes.end());
  *size = static_cast<int>(e.saved.size());
  return e.saved.data();
}

// ---- The emulated alarm, for the demo and the tests ----

// A new emulated alarm holding the demonstration configuration; its
// handle for the calls below.
EMSCRIPTEN_KEEPALIVE EmulatedDevice* ost_emu_new() {
  auto* device = new EmulatedDevice;
  LoadDemoDevice(*device);
  return device;
}
EMSCRIPTEN_KEEPALIVE void ost_emu_delete(EmulatedDevice* device) { delete device; }

// Sets the faults (see EmulatedFaults) from a list of integers: command,
// silent, late, lateMs, stale, staleCount, wrongSignature, failStatus,
// removeAfter.
EMSCRIPTEN_KEEPALIVE void ost_emu_faults(EmulatedDevice* device, const int* v) {
  EmulatedFaults& f = device->faults;
  f = EmulatedFaults{};
  f.command = v[0];
  f.silent = v[1];
  f.late = v[2];
  f.lateMs = static_cast<unsigned>(v[3]);
  f.stale = v[4];
  f.staleCount = v[5];
  f.wrongSignature = v[6];
  f.failStatus = v[7];
  f.removeAfter = v[8];
}

// Handles one 65-byte output report; the answers, each 65 bytes followed by
// its extra delay (4 bytes, little-endian), are written to `out` (room for
// `room` answers). Returns the number of answers, or -1 when the device has
// been unplugged.
EMSCRIPTEN_KEEPALIVE int ost_emu_handle(EmulatedDevice* device, const std::uint8_t* request,
                                        std::uint8_t* out, int room) {
  if (device->removed()) return -1;
  const std::vector<EmulatedReply> replies = device->Handle(request);
  int n = 0;
  for (const EmulatedReply& reply : replies) {
    if (n == room) break;
    std::uint8_t* slot = out + n * (kReportSize + 4);
    std::memcpy(slot, reply.report.data(), kReportSize);
    for (int i = 0; i < 4; ++i) slot[kReportSize + i] = static_cast<std::uint8_t>(reply.extraDelayMs >> (8 * i));
    ++n;
  }
  return device->removed() && replies.empty() ? -1 : n;
}

EMSCRIPTEN_KEEPALIVE int ost_emu_removed(EmulatedDevice* device) { return device->removed() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int ost_emu_seen(EmulatedDevice* device, int command) {
  return command < 0 ? static_cast<int>(device->log().size()) : device->CountSeen(static_cast<std::uint8_t>(command));
}
// The device's parameter memory (2048 bytes) and its record area.
EMSCRIPTEN_KEEPALIVE std::uint8_t* ost_emu_param(EmulatedDevice* device) { return device->paramMemory(); }
EMSCRIPTEN_KEEPALIVE std::uint8_t* ost_emu_flash(EmulatedDevice* device) { return device->flash(); }

EMSCRIPTEN_KEEPALIVE void* ost_alloc(int size) { return new std::uint8_t[size > 0 ? size : 1]; }
EMSCRIPTEN_KEEPALIVE void ost_free(void* p) { delete[] static_cast<std::uint8_t*>(p); }

}  // extern "C"
