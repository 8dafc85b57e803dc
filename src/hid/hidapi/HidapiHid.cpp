#include "hid/hidapi/HidapiHid.h"

#include <hidapi/hidapi.h>

#include <cstring>
#include <string>

#include "config/Utf8.h"
#include "device/Protocol.h"

namespace {

// hidraw queues this many input reports per open node.
constexpr std::uint32_t kHidrawQueue = 64;

// Writes finish at once (hidraw takes the report or refuses it); a read
// waits in hidraw with the read's time-out. A read that timed out leaves
// nothing behind: the report it would have brought waits in hidraw's
// queue for the next read. The command-line tool has no abort.
class HidapiDevice : public IHidDevice {
 public:
  explicit HidapiDevice(hid_device* device) : device_(device) {}
  ~HidapiDevice() override { hid_close(device_); }

  bool GetInputBufferCount(std::uint32_t& count) override {
    count = kHidrawQueue;
    return true;
  }
  WaitResult Write(const std::uint8_t* report, unsigned) override {
    std::uint8_t out[kReportSize];
    std::memcpy(out, report, kReportSize);
    out[0] = 0;  // the device has no numbered reports
    return hid_write(device_, out, kReportSize) >= 0 ? WaitDone : WaitFailed;
  }
  WaitResult Read(std::uint8_t* report, unsigned ms) override {
    // hidraw gives the report without its id.
    const int n = hid_read_timeout(device_, report + 1, kReportSize - 1, static_cast<int>(ms));
    if (n == 0) return WaitTimedOut;
    if (n < 0) return WaitFailed;
    report[0] = 0;
    if (n < static_cast<int>(kReportSize - 1))
      std::memset(report + 1 + n, 0, kReportSize - 1 - static_cast<std::size_t>(n));
    return WaitDone;
  }

 private:
  hid_device* device_;
};

}  // namespace

HidapiEnumerator::HidapiEnumerator() : ready_(hid_init() == 0) {}

HidapiEnumerator::~HidapiEnumerator() {
  if (ready_) hid_exit();
}

bool HidapiEnumerator::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                                 std::vector<HidDeviceInfo>& list) {
  list.clear();
  if (!ready_) return false;
  hid_device_info* all = hid_enumerate(vendorId, productId);
  // Node paths are file names: UTF-8 on this system. A path that is not
  // UTF-8 could not be named again, so it is left out.
  for (hid_device_info* d = all; d; d = d->next) {
    if (!d->path) continue;
    if (auto path = FromUtf8(d->path))
      list.push_back({std::move(*path), d->vendor_id, d->product_id, d->release_number});
  }
  hid_free_enumeration(all);
  return true;
}

std::unique_ptr<IHidDevice> HidapiEnumerator::Open(const std::u16string& path) {
  hid_device* device = hid_open_path(ToUtf8(path).c_str());
  if (!device) return nullptr;
  return std::make_unique<HidapiDevice>(device);
}
