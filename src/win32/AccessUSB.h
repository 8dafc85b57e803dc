// The device worker: runs the main window's device requests on its own
// thread, one at a time, and reports back only by posting notifications.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "device/DeviceWorker.h"
#include "device/DeviceWorkerCore.h"
#include "device/HidIo.h"
#include "win32/ActiveObject.h"

// A critical section.
class CriticalSectionLock : public ILock {
 public:
  CriticalSectionLock() { InitializeCriticalSection(&section_); }
  ~CriticalSectionLock() override { DeleteCriticalSection(&section_); }
  void Lock() override { EnterCriticalSection(&section_); }
  void Unlock() override { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
};

// The worker's abort and request events, both manual-reset.
class WinWorkerEvents : public IWorkerEvents {
 public:
  WinWorkerEvents();  // throws WinException
  ~WinWorkerEvents() override;
  void SetAbort() override { SetEvent(abort_); }
  void ResetAbort() override { ResetEvent(abort_); }
  void SetRequest() override { SetEvent(request_); }
  void ResetRequest() override { ResetEvent(request_); }
  int WaitAbortOrRequest() override;
  HANDLE abortEvent() const { return abort_; }

 private:
  HANDLE abort_ = nullptr;
  HANDLE request_ = nullptr;
};

class AccessUSB : public ActiveObject, public IDeviceWorker {
 public:
  // Makes the access to the HID interfaces; its devices watch the abort event.
  using HidFactory = std::function<std::unique_ptr<IHidEnumerator>(HANDLE abortEvent)>;

  // The worker for `sink`, reaching devices through `makeHid`. The returned
  // object may be destroyed after Stop even if the thread has not ended:
  // the thread then frees the worker itself, and posts nothing more.
  // With `start` false the thread waits until Start is called.
  static std::unique_ptr<AccessUSB, void (*)(AccessUSB*)> Create(INotifySink& sink,
                                                               const HidFactory& makeHid,
                                                               bool start = true);
  // Wraps a worker as the main window holds it.
  static std::unique_ptr<IDeviceWorker> Make(INotifySink& sink, const HidFactory& makeHid);

  bool PostRequest(int code) override { return core_.PostRequest(code); }
  void CopyImage(std::uint8_t* buffer, std::size_t count) override {
    core_.CopyImage(buffer, count);
  }
  bool ImageEquals(const std::uint8_t* image) override { return core_.ImageEquals(image); }
  void SetImage(const std::uint8_t* image) override { core_.SetImage(image); }
  // Sets the stop flag, wakes the thread and waits at most `waitMs` for it.
  void Stop(unsigned waitMs) override;

  void Start() { Resume(); }
  // Stops without waiting, detaches the sink and lets go of the object.
  static void Dispose(AccessUSB* worker);

 protected:
  void ThreadStarted() override {}
  void ThreadBody() override { core_.ThreadBody(); }
  void WakeThread() override { core_.Wake(); }

 private:
  AccessUSB(INotifySink& sink, const HidFactory& makeHid);
  ~AccessUSB() override = default;

  WinWorkerEvents events_;
  CriticalSectionLock requestLock_;
  CriticalSectionLock imageLock_;
  CriticalSectionLock sinkLock_;
  GuardedSink sink_;
  std::unique_ptr<IHidEnumerator> hid_;
  DeviceWorkerCore core_;
};
