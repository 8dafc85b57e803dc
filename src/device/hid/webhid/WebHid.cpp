#include "device/hid/webhid/WebHid.h"

#include <emscripten.h>

#include <cstring>

// ---- The page's HID link (web/site/hidlink.js) ----

// The number of HID devices the page may use now (granted and attached, or
// the demo's scripted one).
EM_JS(int, js_hid_count, (), { return Module.hidLink.count(); });
// Opens device `index` of that list (a new handle with an empty input
// queue): its handle, or 0.
EM_ASYNC_JS(int, js_hid_open, (int index), { return await Module.hidLink.open(index); });
// Vendor id, product id and version of device `index` of that list into
// out[0..2]; 0 when there is no such device.
EM_JS(int, js_hid_info, (int index, std::uint16_t* out),
      { return Module.hidLink.info(index, out); });
// Starts sending the 65-byte output report at `report` (copied at once):
// a LinkStart code.
EM_JS(int, js_hid_start_write, (int handle, const std::uint8_t* report),
      { return Module.hidLink.startWrite(handle, report); });
// Starts reading one input report into `report`: a LinkStart code
// (Completed when a queued report was copied at once).
EM_JS(int, js_hid_start_read, (int handle, std::uint8_t* report),
      { return Module.hidLink.startRead(handle, report); });
// Waits for the abort, then the operation, at most `ms`: a WaitResult.
EM_ASYNC_JS(int, js_hid_wait, (int handle, int op, int ms),
            { return await Module.hidLink.wait(handle, op, ms); });
EM_JS(void, js_hid_cancel, (int handle, int op), { Module.hidLink.cancel(handle, op); });
EM_JS(void, js_hid_close, (int handle), { Module.hidLink.close(handle); });

WebHidDevice::~WebHidDevice() { js_hid_close(handle_); }

// The browser queues input reports itself; the page keeps as many as the
// desktop's driver does by default.
bool WebHidDevice::GetInputBufferCount(std::uint32_t& count) {
  count = 32;
  return true;
}

WaitResult WebHidDevice::Write(const std::uint8_t* report, unsigned ms) {
  switch (js_hid_start_write(handle_, report)) {
    case LinkCompleted: return WaitDone;
    case LinkPending: break;
    default: return WaitFailed;
  }
  const auto result = static_cast<WaitResult>(js_hid_wait(handle_, LinkWrite, static_cast<int>(ms)));
  if (result != WaitDone) js_hid_cancel(handle_, LinkWrite);
  return result;
}

WaitResult WebHidDevice::Read(std::uint8_t* report, unsigned ms) {
  // A read that timed out is still under way: wait for it, not a new one.
  if (!reading_) {
    switch (js_hid_start_read(handle_, read_)) {
      case LinkCompleted:
        std::memcpy(report, read_, kReportSize);
        return WaitDone;
      case LinkPending: break;
      default: return WaitFailed;
    }
    reading_ = true;
  }
  const auto result = static_cast<WaitResult>(js_hid_wait(handle_, LinkRead, static_cast<int>(ms)));
  if (result == WaitTimedOut) return result;
  reading_ = false;
  if (result == WaitDone) std::memcpy(report, read_, kReportSize);
  else js_hid_cancel(handle_, LinkRead);
  return result;
}

bool WebHidEnumerator::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                                 std::vector<HidDeviceInfo>& list) {
  list.clear();
  const int count = js_hid_count();
  for (int index = 0; index < count; ++index) {
    std::uint16_t ids[3];
    if (!js_hid_info(index, ids)) continue;
    if (!HidIdsWanted(vendorId, productId, ids[0], ids[1])) continue;
    // The browser does not tell a device's release number (0xFFFF): the
    // device is taken as the release the program knows, and Hello decides.
    list.push_back({NumberedPath("webhid:", static_cast<std::size_t>(index)), ids[0], ids[1],
                    ids[2] == 0xFFFF ? kDeviceVersion : ids[2]});
  }
  return true;
}

std::unique_ptr<IHidDevice> WebHidEnumerator::Open(const std::u16string& path) {
  std::size_t index = 0;
  if (!IndexInPath(path, "webhid:", index)) return nullptr;
  const int handle = js_hid_open(static_cast<int>(index));
  if (!handle) return nullptr;
  return std::make_unique<WebHidDevice>(handle);
}
