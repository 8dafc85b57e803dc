// The Windows HID backend: the present HID interfaces listed through the
// setup API, and report I/O on an open handle with overlapped writes and
// reads. Each handle has one write and one read, each with its own
// manual-reset event, control block and 65-byte buffer; every wait watches
// the worker's abort event first. Control blocks, events, cancels and
// completions live here and nowhere above.
//
// Used on the thread that runs the device requests: the window's worker
// thread, or the command-line tool's only thread. The abort event is set by
// other threads.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>

#include "device/HidIo.h"
#include "device/Protocol.h"

// The two operations a handle can have outstanding.
enum class HidOp { Write = 0, Read = 1 };

// Sees every wait of the devices of an overlapped backend, on the thread
// that waits. Only the tests watch, to see how an exchange went without
// timing it.
class IHidWaitWatcher {
 public:
  virtual ~IHidWaitWatcher() = default;
  virtual void BeforeWait(HidOp op) = 0;
  virtual void AfterWait(HidOp op, WaitResult result) = 0;
};

// Overlapped report I/O on a handle opened with FILE_FLAG_OVERLAPPED.
class HidHandleDevice : public IHidDevice {
 public:
  // Takes over `device`. Throws WinException when the events cannot be
  // created. `watcher` may be null.
  HidHandleDevice(HANDLE device, HANDLE abortEvent, IHidWaitWatcher* watcher);
  // Cancels and waits out anything still outstanding, then closes.
  ~HidHandleDevice() override;
  HidHandleDevice(const HidHandleDevice&) = delete;
  HidHandleDevice& operator=(const HidHandleDevice&) = delete;

  WaitResult Write(const std::uint8_t* report, unsigned ms) override;
  WaitResult Read(std::uint8_t* report, unsigned ms) override;

  HANDLE handle() const { return device_; }

 private:
  struct Operation {
    OVERLAPPED block;
    std::uint8_t buffer[kReportSize];
    HANDLE event;
    bool pending;  // started and not yet seen finished
  };
  // Starts the operation: its result when it ended at once, nothing while
  // it is under way.
  std::optional<WaitResult> Begin(HidOp which);
  WaitResult Wait(HidOp which, unsigned ms);
  // Cancels the operation, if it is outstanding, and waits until it has
  // really finished, so that its buffer and control block are free.
  void End(HidOp which);

  HANDLE device_;
  HANDLE abortEvent_;
  IHidWaitWatcher* watcher_;
  Operation ops_[2] = {};  // write, read
};

// A HID interface opened through the HID driver.
class HidSystemDevice : public HidHandleDevice {
 public:
  using HidHandleDevice::HidHandleDevice;
  bool GetInputBufferCount(std::uint32_t& count) override;
};

// What the enumerators of the overlapped backends share: the abort event
// that the devices they open watch, and the watcher of their waits.
class HidHandleEnumerator : public IHidEnumerator {
 public:
  explicit HidHandleEnumerator(HANDLE abortEvent) : abortEvent_(abortEvent) {}
  // Devices opened from now on report their waits to `watcher` (null: none).
  void WatchWaits(IHidWaitWatcher* watcher) { watcher_ = watcher; }

 protected:
  HANDLE abortEvent_;
  IHidWaitWatcher* watcher_ = nullptr;
};

// The present HID interfaces of this machine.
class HidSetupEnumerator : public HidHandleEnumerator {
 public:
  using HidHandleEnumerator::HidHandleEnumerator;
  bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                 std::vector<HidDeviceInfo>& list) override;
  // Opens for reading and writing, shared, with overlapped I/O.
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;
};
