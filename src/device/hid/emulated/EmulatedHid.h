// The emulated device on an emulated USB link, for the native tests and
// tools: the worker's events and locks over the standard library, and the
// HID interfaces the link lists and opens. Time is either real (for threads
// and figures) or virtual, jumping straight to whatever is waited for, so
// that time-outs cost nothing.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "device/DeviceWorkerCore.h"
#include "device/EmulatedDevice.h"
#include "device/HidIo.h"

// One mutex and one condition for every event of an emulated link.
class SignalHub {
 public:
  explicit SignalHub(bool virtualTime = false);
  std::mutex& mutex() { return mutex_; }
  bool virtualTime() const { return virtual_; }
  // Microseconds since the hub was made. Call with the mutex held.
  std::int64_t NowUs() const;
  // Real time: blocks until `untilUs` or a notification. Virtual time: the
  // clock jumps to `untilUs`.
  void WaitUntil(std::unique_lock<std::mutex>& lock, std::int64_t untilUs);
  void WaitForNotification(std::unique_lock<std::mutex>& lock) { cv_.wait(lock); }
  void NotifyAll() { cv_.notify_all(); }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool virtual_;
  std::int64_t virtualNow_ = 0;
  std::int64_t startUs_;
};

// A manual-reset event of the hub.
class HubEvent {
 public:
  explicit HubEvent(SignalHub& hub) : hub_(hub) {}
  void Set();
  void Reset();
  bool IsSet();
  bool IsSetLocked() const { return set_; }  // with the hub's mutex held

 private:
  SignalHub& hub_;
  bool set_ = false;
};

class StdWorkerEvents : public IWorkerEvents {
 public:
  explicit StdWorkerEvents(SignalHub& hub) : hub_(hub), abort_(hub), request_(hub) {}
  void SetAbort() override { abort_.Set(); }
  void ResetAbort() override { abort_.Reset(); }
  void SetRequest() override { request_.Set(); }
  void ResetRequest() override { request_.Reset(); }
  int WaitAbortOrRequest() override;
  HubEvent& abortEvent() { return abort_; }
  HubEvent& requestEvent() { return request_; }

 private:
  SignalHub& hub_;
  HubEvent abort_;
  HubEvent request_;
};

class StdLock : public ILock {
 public:
  void Lock() override { mutex_.lock(); }
  void Unlock() override { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

// The present HID interfaces of an emulated machine, in enumeration order.
// Used by the tests, the tools, the fuzz target and the command-line tool's
// demonstration alarm, on the thread that runs the device requests; the
// figures below are for the tests.
class EmulatedHidBus : public IHidEnumerator {
 public:
  EmulatedHidBus(SignalHub& hub, HubEvent& abort);
  ~EmulatedHidBus() override;

  void Add(EmulatedDevice& device);
  // An interface of our ids that another program holds: listed, but cannot
  // be opened.
  void AddUnopenable();
  // An interface whose details cannot be had: the list ends there.
  void AddBrokenDetail();
  bool failList = false;        // the list of interfaces cannot be built
  bool writesPending = true;    // writes finish at the first wait instead of at once

  bool Enumerate(std::uint16_t vendorId, std::uint16_t productId,
                 std::vector<HidDeviceInfo>& list) override;
  std::unique_ptr<IHidDevice> Open(const std::u16string& path) override;

  // Figures for the tests; read them with the hub's mutex held or while
  // nothing runs.
  int waits = 0;          // waits for a write or a read to end
  int opens = 0;          // interfaces opened
  int listsBuilt = 0;
  int listsDestroyed = 0;
  int openHandles = 0;
  // A write started while an earlier one had not ended (its buffer still
  // in use), or an operation waited out without being cancelled first:
  // each would be a fault of the backend.
  int violations = 0;

  SignalHub& hub() { return hub_; }
  HubEvent& abort() { return abort_; }

 private:
  friend class EmulatedHidHandle;
  struct Entry {
    enum Kind { Device, Unopenable, BrokenDetail } kind;
    EmulatedDevice* device;
  };
  SignalHub& hub_;
  HubEvent& abort_;
  std::vector<Entry> entries_;
};
