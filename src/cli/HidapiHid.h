// USB HID access on Linux through hidapi (its hidraw backend): the alarm's
// interfaces and blocking report I/O behind the device link's interface.
#pragma once
#include "device/HidIo.h"

#include <string>
#include <vector>

class HidapiEnumerator : public IHidEnumerator {
 public:
  HidapiEnumerator();
  ~HidapiEnumerator() override;
  bool BuildList() override;
  bool InterfacePath(std::uint32_t index, std::u16string& path) override;
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;
  void DestroyList() override;

 private:
  struct Entry {
    std::string path;
    HidAttributes attributes;
  };
  std::vector<Entry> list_;
  bool ready_ = false;
};
