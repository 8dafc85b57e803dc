// The present HID interfaces, listed through the setup API.
#pragma once
#include <windows.h>

#include <setupapi.h>

#include "device/HidIo.h"

class HidSetupEnumerator : public IHidEnumerator {
 public:
  // Devices opened from the list watch `abortEvent` in every wait.
  explicit HidSetupEnumerator(HANDLE abortEvent) : abortEvent_(abortEvent) {}
  ~HidSetupEnumerator() override { DestroyList(); }

  bool BuildList() override;
  bool InterfacePath(std::uint32_t index, std::u16string& path) override;
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;
  void DestroyList() override;

 private:
  HANDLE abortEvent_;
  GUID hidGuid_ = {};
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
};
