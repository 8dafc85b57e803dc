#include "device/hid/hidapi/HidapiHid.h"

#include <dlfcn.h>
#include <hidapi/hidapi.h>

#include <cstring>
#include <string>
#include <type_traits>

#include "config/Utf8.h"
#include "device/Protocol.h"

namespace {

// hidapi, loaded when the program first needs USB: a command that never
// talks to the alarm does not pay for loading it and the udev library it
// brings. Its own header gives the types; the functions come from the
// library the package depends on.
struct Hidapi {
  decltype(&::hid_init) init;
  decltype(&::hid_exit) exit;
  decltype(&::hid_enumerate) enumerate;
  decltype(&::hid_free_enumeration) free_enumeration;
  decltype(&::hid_open_path) open_path;
  decltype(&::hid_write) write;
  decltype(&::hid_read_timeout) read_timeout;
  decltype(&::hid_close) close;
};

// The library's functions, or nullptr when it cannot be loaded. Loaded
// once and kept for the rest of the process. A program that has hidapi's
// functions itself (linked in, or the tests' stand-in) uses those.
const Hidapi* LoadHidapi() {
  static const Hidapi* const loaded = []() -> const Hidapi* {
    void* library = dlopen(nullptr, RTLD_NOW);
    if (!library || !dlsym(library, "hid_read_timeout"))
      library = dlopen("libhidapi-hidraw.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    static Hidapi api;
    bool complete = true;
    auto take = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      complete = complete && function;
    };
    take(api.init, "hid_init");
    take(api.exit, "hid_exit");
    take(api.enumerate, "hid_enumerate");
    take(api.free_enumeration, "hid_free_enumeration");
    take(api.open_path, "hid_open_path");
    take(api.write, "hid_write");
    take(api.read_timeout, "hid_read_timeout");
    take(api.close, "hid_close");
    return complete ? &api : nullptr;
  }();
  return loaded;
}

// hidraw queues this many input reports per open node.
constexpr std::uint32_t kHidrawQueue = 64;

// Writes finish at once (hidraw takes the report or refuses it); a read
// waits in hidraw with the read's time-out. A read that timed out leaves
// nothing behind: the report it would have brought waits in hidraw's
// queue for the next read. The command-line tool has no abort.
class HidapiDevice : public IHidDevice {
 public:
  HidapiDevice(const Hidapi& api, hid_device* device) : api_(api), device_(device) {}
  ~HidapiDevice() override { api_.close(device_); }

  bool GetInputBufferCount(std::uint32_t& count) override {
    count = kHidrawQueue;
    return true;
  }
  WaitResult Write(const std::uint8_t* report, unsigned) override {
    std::uint8_t out[kReportSize];
    std::memcpy(out, report, kReportSize);
    out[0] = 0;  // the device has no numbered reports
    return api_.write(device_, out, kReportSize) >= 0 ? WaitDone : WaitFailed;
  }
  WaitResult Read(std::uint8_t* report, unsigned ms) override {
    // hidraw gives the report without its id.
    const int n = api_.read_timeout(device_, report + 1, kReportSize - 1, static_cast<int>(ms));
    if (n == 0) return WaitTimedOut;
    if (n < 0) return WaitFailed;
    report[0] = 0;
    if (n < static_cast<int>(kReportSize - 1))
      std::memset(report + 1 + n, 0, kReportSize - 1 - static_cast<std::size_t>(n));
    return WaitDone;
  }

 private:
  const Hidapi& api_;
  hid_device* device_;
};

}  // namespace

HidapiEnumerator::HidapiEnumerator() {
  const Hidapi* api = LoadHidapi();
  ready_ = api && api->init() == 0;
}

HidapiEnumerator::~HidapiEnumerator() {
  if (ready_) LoadHidapi()->exit();
}

bool HidapiEnumerator::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                                 std::vector<HidDeviceInfo>& list) {
  list.clear();
  if (!ready_) return false;
  const Hidapi& api = *LoadHidapi();
  hid_device_info* all = api.enumerate(vendorId, productId);
  // Node paths are file names: UTF-8 on this system. A path that is not
  // UTF-8 could not be named again, so it is left out.
  for (hid_device_info* d = all; d; d = d->next) {
    if (!d->path) continue;
    if (auto path = FromUtf8(d->path))
      list.push_back({std::move(*path), d->vendor_id, d->product_id, d->release_number});
  }
  api.free_enumeration(all);
  return true;
}

std::unique_ptr<IHidDevice> HidapiEnumerator::Open(const std::u16string& path) {
  if (!ready_) return nullptr;
  const Hidapi& api = *LoadHidapi();
  hid_device* device = api.open_path(ToUtf8(path).c_str());
  if (!device) return nullptr;
  return std::make_unique<HidapiDevice>(api, device);
}
