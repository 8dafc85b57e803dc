// The device worker's request logic run on the calling thread, one request
// at a time, for the programs that need no worker thread (the command-line
// tool, the browser configurator, the fuzz target of the device link):
// nothing waits for its events and its locks are never contended, so both
// are empty. The notifications go to `sink` as they are posted.
#pragma once
#include <atomic>

#include "device/DeviceWorkerCore.h"

// A lock that is never contended.
class NoLock : public ILock {
 public:
  void Lock() override {}
  void Unlock() override {}
};

// Events nobody waits for: the request loop is not run, only single
// requests (RunRequest).
class NoEvents : public IWorkerEvents {
 public:
  void SetAbort() override {}
  void ResetAbort() override {}
  void SetRequest() override {}
  void ResetRequest() override {}
  int WaitAbortOrRequest() override { return WaitError; }
};

class InlineWorker {
 public:
  InlineWorker(IHidEnumerator& hid, INotifySink& sink)
      : core(stop_, events_, requestLock_, imageLock_, hid, sink) {}

 private:
  std::atomic<int> stop_{0};
  NoEvents events_;
  NoLock requestLock_, imageLock_;

 public:
  DeviceWorkerCore core;
};
