// The device worker's request logic, independent of the platform's
// threads, events and locks: the request codes handed over by the main
// window, the request loop that runs them one at a time on the worker
// thread, and the DeviceImage shared by the two.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "device/DeviceWorker.h"
#include "device/HidIo.h"

// A mutual-exclusion lock (a critical section on the platform).
class ILock {
 public:
  virtual ~ILock() = default;
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
};

class LockHolder {
 public:
  explicit LockHolder(ILock& lock) : lock_(lock) { lock_.Lock(); }
  ~LockHolder() { lock_.Unlock(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

 private:
  ILock& lock_;
};

// The worker's two manual-reset events and the wait for either.
class IWorkerEvents {
 public:
  enum Woken : int { WaitError = -1, AbortSignalled = 0, RequestSignalled = 1 };
  virtual ~IWorkerEvents() = default;
  virtual void SetAbort() = 0;
  virtual void ResetAbort() = 0;
  virtual void SetRequest() = 0;
  virtual void ResetRequest() = 0;
  // Waits without time limit for the abort event or the request event; the
  // abort event is looked at first.
  virtual int WaitAbortOrRequest() = 0;
};

// Forwards notifications until it is detached; after Detach returns,
// nothing reaches the target any more.
class GuardedSink : public INotifySink {
 public:
  GuardedSink(ILock& lock, INotifySink& target) : lock_(lock), target_(&target) {}
  void Post(unsigned code, std::intptr_t value) override;
  void Detach();

 private:
  ILock& lock_;
  INotifySink* target_;
};

class DeviceWorkerCore {
 public:
  // `hid` is the access to the present HID interfaces; its waits watch the
  // same abort event as `events`.
  DeviceWorkerCore(const std::atomic<int>& stopFlag, IWorkerEvents& events, ILock& requestLock,
                   ILock& imageLock, IHidEnumerator& hid, INotifySink& sink);

  // Called on the main window's thread. Refused while a ConfigImage
  // transfer runs; aborts a running presence check; replaces a code that
  // the worker has not taken yet.
  bool PostRequest(int code);
  void CopyImage(std::uint8_t* buffer, std::size_t count);
  bool ImageEquals(const std::uint8_t* image);
  void SetImage(const std::uint8_t* image);
  // Makes the thread look at its stop flag: a request in progress fails at
  // its next wait, an idle worker wakes up.
  void Wake() { events_.SetAbort(); }

  // The request loop; returns when the stop flag is seen.
  void ThreadBody();
  // One request: find and open the device, run the request's procedure,
  // close; true when the device was found and the procedure succeeded.
  bool RunRequest(int code);

  int currentRequest();
  int pendingRequest();

 private:
  bool Stopping() const { return stopFlag_.load() != 0; }

  const std::atomic<int>& stopFlag_;
  IWorkerEvents& events_;
  ILock& requestLock_;
  ILock& imageLock_;
  IHidEnumerator& hid_;
  INotifySink& sink_;
  int pending_ = 0;  // guarded by the request lock
  int current_ = 0;  // guarded by the request lock
  std::uint8_t image_[kDeviceImageSize] = {};  // guarded by the image lock
};
