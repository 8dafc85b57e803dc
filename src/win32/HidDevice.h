// Overlapped report I/O on an open device handle: one write and one read,
// each with its own manual-reset event, control block and 65-byte buffer,
// and every wait watching the worker's abort event first.
#pragma once
#include <windows.h>

#include <cstdint>

#include "device/HidIo.h"
#include "device/Protocol.h"

class HidHandleDevice : public IHidDevice {
 public:
  // Takes over `device` (opened with FILE_FLAG_OVERLAPPED). Throws
  // WinException when the events cannot be created.
  HidHandleDevice(HANDLE device, HANDLE abortEvent);
  // Cancels and waits out anything still outstanding, then closes.
  ~HidHandleDevice() override;
  HidHandleDevice(const HidHandleDevice&) = delete;
  HidHandleDevice& operator=(const HidHandleDevice&) = delete;

  std::uint8_t* WriteBuffer() override { return ops_[0].buffer; }
  const std::uint8_t* ReadBuffer() override { return ops_[1].buffer; }
  IoStart StartWrite() override;
  IoStart StartRead() override;
  WaitResult Wait(HidOp op, unsigned ms) override;
  void Cancel(HidOp op) override;
  void CancelAll() override;
  void Settle(HidOp op) override;

  HANDLE handle() const { return device_; }

 private:
  struct Operation {
    OVERLAPPED block;
    std::uint8_t buffer[kReportSize];
    HANDLE event;
    bool pending;  // started and not yet seen finished
  };
  IoStart Start(Operation& op, bool write);

  HANDLE device_;
  HANDLE abortEvent_;
  Operation ops_[2] = {};  // write, read
};

// A HID interface opened through the HID driver.
class HidSystemDevice : public HidHandleDevice {
 public:
  using HidHandleDevice::HidHandleDevice;
  bool GetAttributes(HidAttributes& attributes) override;
  bool GetInputBufferCount(std::uint32_t& count) override;
};
