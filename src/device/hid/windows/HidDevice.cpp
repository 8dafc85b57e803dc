#include "device/hid/windows/HidDevice.h"

#include <setupapi.h>

#include <cstring>
#include <optional>
#include <vector>

#include "winbase/WinEvents.h"
#include "winbase/WinText.h"
#include "winbase/WinException.h"

extern "C" {
#include <hidsdi.h>
}

HidHandleDevice::HidHandleDevice(HANDLE device, HANDLE abortEvent, IHidWaitWatcher* watcher)
    : device_(device), abortEvent_(abortEvent), watcher_(watcher) {
  try {
    CreateManualResetEvents({&ops_[0].event, &ops_[1].event});
  } catch (...) {
    CloseHandle(device_);
    throw;
  }
}

HidHandleDevice::~HidHandleDevice() {
  if (ops_[0].pending || ops_[1].pending) {
    CancelIo(device_);
    for (Operation& op : ops_) {
      DWORD count = 0;
      if (op.pending) GetOverlappedResult(device_, &op.block, &count, TRUE);
    }
  }
  CloseHandle(device_);
  for (Operation& op : ops_) CloseHandle(op.event);
}

std::optional<WaitResult> HidHandleDevice::Begin(HidOp which) {
  Operation& op = ops_[static_cast<int>(which)];
  std::memset(&op.block, 0, sizeof op.block);
  op.block.hEvent = op.event;
  const BOOL done = which == HidOp::Write
                        ? WriteFile(device_, op.buffer, kReportSize, nullptr, &op.block)
                        : ReadFile(device_, op.buffer, kReportSize, nullptr, &op.block);
  if (done) return WaitDone;
  if (GetLastError() != ERROR_IO_PENDING) return WaitFailed;
  op.pending = true;
  return std::nullopt;
}

WaitResult HidHandleDevice::Wait(HidOp which, unsigned ms) {
  Operation& op = ops_[static_cast<int>(which)];
  if (watcher_) watcher_->BeforeWait(which);
  // The abort event comes first, so it wins when both are signalled.
  const HANDLE handles[2] = {abortEvent_, op.event};
  WaitResult result;
  switch (WaitForMultipleObjects(2, handles, FALSE, ms)) {
    case WAIT_OBJECT_0:
      result = WaitAborted;
      break;
    case WAIT_OBJECT_0 + 1:
      op.pending = false;
      // The completion status is an NTSTATUS: success values are not negative.
      result = static_cast<LONG>(op.block.Internal) >= 0 ? WaitDone : WaitFailed;
      break;
    case WAIT_TIMEOUT:
      result = WaitTimedOut;
      break;
    default:
      result = WaitFailed;
  }
  if (watcher_) watcher_->AfterWait(which, result);
  return result;
}

void HidHandleDevice::End(HidOp which) {
  Operation& op = ops_[static_cast<int>(which)];
  if (!op.pending) return;
  // Only this operation is cancelled: a read under way stays so while a
  // write is issued again.
  CancelIoEx(device_, &op.block);
  DWORD count = 0;
  GetOverlappedResult(device_, &op.block, &count, TRUE);
  op.pending = false;
}

WaitResult HidHandleDevice::Write(const std::uint8_t* report, unsigned ms) {
  // No write is outstanding here: every call ends its own.
  std::memcpy(ops_[0].buffer, report, kReportSize);
  if (const auto now = Begin(HidOp::Write)) return *now;
  const WaitResult result = Wait(HidOp::Write, ms);
  End(HidOp::Write);
  return result;
}

WaitResult HidHandleDevice::Read(std::uint8_t* report, unsigned ms) {
  Operation& op = ops_[1];
  // A read that timed out is still under way: wait for it, not a new one.
  std::optional<WaitResult> result;
  if (!op.pending) result = Begin(HidOp::Read);
  if (!result) {
    result = Wait(HidOp::Read, ms);
    if (*result != WaitTimedOut) End(HidOp::Read);
  }
  if (*result == WaitDone) std::memcpy(report, op.buffer, kReportSize);
  return *result;
}

bool HidSystemDevice::GetInputBufferCount(std::uint32_t& count) {
  ULONG buffers = 0;
  if (!HidD_GetNumInputBuffers(handle(), &buffers)) return false;
  count = buffers;
  return true;
}

namespace {

// The device path of interface `index` of `set`; false when there is no
// such interface or its details cannot be had.
bool InterfacePath(HDEVINFO set, const GUID& guid, DWORD index, std::u16string& path) {
  SP_DEVICE_INTERFACE_DATA data = {};
  data.cbSize = sizeof data;
  if (!SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data)) return false;
  // First ask for the size of the details, then for the details.
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
  if (size == 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);  // DWORD-aligned for the record
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) return false;
  path = FromWide(detail->DevicePath);
  return true;
}

// The ids of an interface, read through a handle without access rights,
// which even an interface that another program holds grants; false when
// they cannot be read.
bool ReadIds(const std::u16string& path, HIDD_ATTRIBUTES& a) {
  const HANDLE probe = CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  std::memset(&a, 0, sizeof a);
  a.Size = sizeof a;
  const bool read = HidD_GetAttributes(probe, &a) != FALSE;
  CloseHandle(probe);
  return read;
}

}  // namespace

bool HidSetupEnumerator::Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                                   std::vector<HidDeviceInfo>& list) {
  list.clear();
  GUID guid;
  HidD_GetHidGuid(&guid);
  const HDEVINFO set =
      SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return false;
  std::u16string path;
  for (DWORD index = 0; InterfacePath(set, guid, index, path); ++index) {
    HIDD_ATTRIBUTES a;
    if (!ReadIds(path, a)) continue;
    if (!HidIdsWanted(vendorId, productId, a.VendorID, a.ProductID)) continue;
    list.push_back({path, a.VendorID, a.ProductID, a.VersionNumber});
  }
  SetupDiDestroyDeviceInfoList(set);
  return true;
}

std::unique_ptr<IHidDevice> HidSetupEnumerator::Open(const std::u16string& path) {
  const HANDLE device =
      CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<HidSystemDevice>(device, abortEvent_, watcher_);
}
