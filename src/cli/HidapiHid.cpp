#include "cli/HidapiHid.h"

#include <hidapi/hidapi.h>

#include <cstring>

#include "device/Protocol.h"

namespace {

// hidraw queues this many input reports per open node.
constexpr std::uint32_t kHidrawQueue = 64;

// Writes finish at once (hidraw takes the report or refuses it); a read is
// started by StartRead and waited for in Wait, which reads with the wait's
// time-out. The buffers carry the report id in byte 0, as on the link.
class HidapiDevice : public IHidDevice {
 public:
  HidapiDevice(hid_device* device, HidAttributes attributes)
      : device_(device), attributes_(attributes) {}
  ~HidapiDevice() override { hid_close(device_); }

  bool GetAttributes(HidAttributes& attributes) override {
    attributes = attributes_;
    return true;
  }
  bool GetInputBufferCount(std::uint32_t& count) override {
    count = kHidrawQueue;
    return true;
  }
  std::uint8_t* WriteBuffer() override { return write_; }
  const std::uint8_t* ReadBuffer() override { return read_; }

  IoStart StartWrite() override {
    write_[0] = 0;  // the device has no numbered reports
    return hid_write(device_, write_, kReportSize) >= 0 ? IoStart::Completed : IoStart::Failed;
  }
  IoStart StartRead() override {
    reading_ = true;
    return IoStart::Pending;
  }
  WaitResult Wait(HidOp op, unsigned ms) override {
    if (op == HidOp::Write) return WaitDone;  // writes never stay outstanding
    if (!reading_) return WaitFailed;
    // hidraw gives the report without its id.
    const int n = hid_read_timeout(device_, read_ + 1, kReportSize - 1, static_cast<int>(ms));
    if (n == 0) return WaitTimedOut;
    reading_ = false;
    if (n < 0) return WaitFailed;
    read_[0] = 0;
    if (n < static_cast<int>(kReportSize - 1))
      std::memset(read_ + 1 + n, 0, kReportSize - 1 - static_cast<std::size_t>(n));
    return WaitDone;
  }
  void Cancel(HidOp op) override {
    if (op == HidOp::Read) reading_ = false;
  }
  void CancelAll() override { reading_ = false; }
  void Settle(HidOp) override {}

 private:
  hid_device* device_;
  HidAttributes attributes_;
  std::uint8_t write_[kReportSize] = {};
  std::uint8_t read_[kReportSize] = {};
  bool reading_ = false;
};

// Node names are ASCII; each byte stands for itself.
std::u16string Wide(const std::string& path) {
  std::u16string wide;
  for (char c : path) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return wide;
}

}  // namespace

HidapiEnumerator::HidapiEnumerator() : ready_(hid_init() == 0) {}

HidapiEnumerator::~HidapiEnumerator() {
  if (ready_) hid_exit();
}

bool HidapiEnumerator::BuildList() {
  list_.clear();
  if (!ready_) return false;
  hid_device_info* all = hid_enumerate(kDeviceVendorId, kDeviceProductId);
  for (hid_device_info* d = all; d; d = d->next)
    if (d->path)
      list_.push_back({d->path, {d->vendor_id, d->product_id, d->release_number}});
  hid_free_enumeration(all);
  return true;
}

bool HidapiEnumerator::InterfacePath(std::uint32_t index, std::u16string& path) {
  if (index >= list_.size()) return false;
  path = Wide(list_[index].path);
  return true;
}

std::unique_ptr<IHidDevice> HidapiEnumerator::Open(const std::u16string& path) {
  for (const Entry& e : list_) {
    if (Wide(e.path) != path) continue;
    hid_device* device = hid_open_path(e.path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device, e.attributes);
  }
  return nullptr;
}

void HidapiEnumerator::DestroyList() { list_.clear(); }
