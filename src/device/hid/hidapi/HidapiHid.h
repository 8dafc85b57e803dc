// USB HID access on Linux through hidapi (its hidraw backend), for the
// command-line tool: the alarm's interfaces and blocking report I/O behind
// the device link's interface. Used on the tool's only thread.
#pragma once
#include "device/HidIo.h"

class HidapiEnumerator : public IHidEnumerator {
 public:
  HidapiEnumerator();
  ~HidapiEnumerator() override;
  bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                 std::vector<HidDeviceInfo>& list) override;
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;

 private:
  bool ready_ = false;
};
