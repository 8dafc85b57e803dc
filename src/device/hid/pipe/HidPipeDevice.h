// The emulated alarm behind a named pipe: every connection to it is a
// pipe whose client end is an ordinary overlapped handle, so the link's
// real writes, reads, waits and cancels run against it unchanged. A thread
// at the server end answers each 65-byte message as the device would.
// Only the demonstration program and the tests use it.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/EmulatedDevice.h"
#include "device/HidIo.h"
#include "device/hid/windows/HidDevice.h"

class EmulatedPipeDevice {
 public:
  EmulatedPipeDevice();  // throws WinException
  ~EmulatedPipeDevice();
  EmulatedPipeDevice(const EmulatedPipeDevice&) = delete;
  EmulatedPipeDevice& operator=(const EmulatedPipeDevice&) = delete;

  // The model, with its configuration and faults. Hold `mutex()` while
  // touching it once connections are open.
  EmulatedDevice& model() { return model_; }
  std::mutex& mutex() { return mutex_; }

  // A new connection: the client end of a fresh pipe, opened for
  // overlapped I/O; INVALID_HANDLE_VALUE when the device is unplugged.
  HANDLE Connect();
  bool Present();
  // Unplugs the device: open connections break, new ones are refused.
  void Unplug();

  int connections() const { return connections_; }

 private:
  void Serve(HANDLE pipe);
  bool Pause(DWORD ms);  // false when the device is being shut down

  EmulatedDevice model_;
  std::mutex mutex_;
  std::wstring name_;
  HANDLE stop_ = nullptr;     // manual-reset: the server threads end
  HANDLE unplug_ = nullptr;   // manual-reset: connections break
  std::vector<std::thread> servers_;
  int connections_ = 0;
};

// A connection to the emulated device, seen as an open HID interface.
class PipeHidDevice : public HidHandleDevice {
 public:
  PipeHidDevice(HANDLE pipe, HANDLE abortEvent, IHidWaitWatcher* watcher,
                EmulatedPipeDevice& device)
      : HidHandleDevice(pipe, abortEvent, watcher), device_(device) {}
  bool GetInputBufferCount(std::uint32_t& count) override;

 private:
  EmulatedPipeDevice& device_;
};

// The HID interfaces of a machine with emulated devices only, in
// enumeration order. It owns the devices added with Own. Used on the
// thread that runs the device requests.
class PipeHidEnumerator : public HidHandleEnumerator {
 public:
  using HidHandleEnumerator::HidHandleEnumerator;
  void Add(EmulatedPipeDevice& device) { devices_.push_back(&device); }
  EmulatedPipeDevice& Own(std::unique_ptr<EmulatedPipeDevice> device);

  bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                 std::vector<HidDeviceInfo>& list) override;
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;

 private:
  std::vector<EmulatedPipeDevice*> devices_;
  std::vector<std::unique_ptr<EmulatedPipeDevice>> owned_;
};
