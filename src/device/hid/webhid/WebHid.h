// The browser's HID backend: the devices the page may use (granted and
// attached, or the demo's scripted one) through the page's HID link
// (web/site/hidlink.js), behind the device link's small HID interface.
// The link is asynchronous while the exchange is written as blocking
// calls: its waits are asynchronous imports, and Asyncify unwinds the
// engine's stack while JavaScript waits for a report or a time-out.
// Used by the engine's device requests, one at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/HidIo.h"
#include "device/Protocol.h"

// How the link's startWrite and startRead went, and which operation a wait
// or a cancel is for. The page's script takes the codes from the engine's
// description of the device.
enum LinkStart { LinkCompleted = 0, LinkPending = 1, LinkFailed = 2 };
enum LinkOp { LinkWrite = 0, LinkRead = 1 };

// One open handle of the browser's link. The link copies an output report
// when the write starts and hands a read its report when it completes, so
// a cancelled operation leaves nothing outstanding that could still use a
// buffer.
class WebHidDevice : public IHidDevice {
 public:
  explicit WebHidDevice(int handle) : handle_(handle) {}
  ~WebHidDevice() override;

  bool GetInputBufferCount(std::uint32_t& count) override;
  WaitResult Write(const std::uint8_t* report, unsigned ms) override;
  WaitResult Read(std::uint8_t* report, unsigned ms) override;

 private:
  int handle_;
  std::uint8_t read_[kReportSize] = {};
  bool reading_ = false;
};

class WebHidEnumerator : public IHidEnumerator {
 public:
  bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                 std::vector<HidDeviceInfo>& list) override;
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;
};
