#include "win32/HidDevice.h"

#include <cstring>

#include "win32/Win32Util.h"
#include "win32/WinException.h"

extern "C" {
#include <hidsdi.h>
}

HidHandleDevice::HidHandleDevice(HANDLE device, HANDLE abortEvent)
    : device_(device), abortEvent_(abortEvent) {
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

IoStart HidHandleDevice::Start(Operation& op, bool write) {
  std::memset(&op.block, 0, sizeof op.block);
  op.block.hEvent = op.event;
  const BOOL done = write ? WriteFile(device_, op.buffer, kReportSize, nullptr, &op.block)
                          : ReadFile(device_, op.buffer, kReportSize, nullptr, &op.block);
  if (done) return IoStart::Completed;
  if (GetLastError() != ERROR_IO_PENDING) return IoStart::Failed;
  op.pending = true;
  return IoStart::Pending;
}

IoStart HidHandleDevice::StartWrite() { return Start(ops_[0], true); }
IoStart HidHandleDevice::StartRead() { return Start(ops_[1], false); }

WaitResult HidHandleDevice::Wait(HidOp which, unsigned ms) {
  Operation& op = ops_[static_cast<int>(which)];
  // The abort event comes first, so it wins when both are signalled.
  const HANDLE handles[2] = {abortEvent_, op.event};
  switch (WaitForMultipleObjects(2, handles, FALSE, ms)) {
    case WAIT_OBJECT_0:
      return WaitAborted;
    case WAIT_OBJECT_0 + 1:
      op.pending = false;
      // The completion status is an NTSTATUS: success values are not negative.
      return static_cast<LONG>(op.block.Internal) >= 0 ? WaitDone : WaitFailed;
    case WAIT_TIMEOUT:
      return WaitTimedOut;
    default:
      return WaitFailed;
  }
}

void HidHandleDevice::Cancel(HidOp which) {
  Operation& op = ops_[static_cast<int>(which)];
  if (op.pending) CancelIoEx(device_, &op.block);
}

void HidHandleDevice::CancelAll() { CancelIo(device_); }

void HidHandleDevice::Settle(HidOp which) {
  Operation& op = ops_[static_cast<int>(which)];
  if (!op.pending) return;
  DWORD count = 0;
  GetOverlappedResult(device_, &op.block, &count, TRUE);
  op.pending = false;
}

bool HidSystemDevice::GetAttributes(HidAttributes& attributes) {
  HIDD_ATTRIBUTES a;
  std::memset(&a, 0, sizeof a);
  a.Size = sizeof a;
  if (!HidD_GetAttributes(handle(), &a)) return false;
  attributes = {a.VendorID, a.ProductID, a.VersionNumber};
  return true;
}

bool HidSystemDevice::GetInputBufferCount(std::uint32_t& count) {
  ULONG buffers = 0;
  if (!HidD_GetNumInputBuffers(handle(), &buffers)) return false;
  count = buffers;
  return true;
}
