#include "win32/HidEnumerator.h"

#include <vector>

#include "win32/HidDevice.h"
#include "win32/Win32Util.h"

extern "C" {
#include <hidsdi.h>
}

bool HidSetupEnumerator::BuildList() {
  DestroyList();
  HidD_GetHidGuid(&hidGuid_);
  set_ = SetupDiGetClassDevsW(&hidGuid_, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  return set_ != INVALID_HANDLE_VALUE;
}

bool HidSetupEnumerator::InterfacePath(std::uint32_t index, std::u16string& path) {
  if (set_ == INVALID_HANDLE_VALUE) return false;
  SP_DEVICE_INTERFACE_DATA data = {};
  data.cbSize = sizeof data;
  if (!SetupDiEnumDeviceInterfaces(set_, nullptr, &hidGuid_, index, &data)) return false;
  // First ask for the size of the details, then for the details.
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set_, &data, nullptr, 0, &size, nullptr);
  if (size == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);  // DWORD-aligned for the record
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set_, &data, detail, size, nullptr, nullptr)) return false;
  path = FromWide(detail->DevicePath);
  return true;
}

std::unique_ptr<IHidDevice> HidSetupEnumerator::Open(const std::u16string& path) {
  const HANDLE device =
      CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<HidSystemDevice>(device, abortEvent_);
}

void HidSetupEnumerator::DestroyList() {
  if (set_ != INVALID_HANDLE_VALUE && set_ != nullptr) SetupDiDestroyDeviceInfoList(set_);
  set_ = INVALID_HANDLE_VALUE;
}
