// The device worker's request logic run on the calling thread, one request
// at a time, for the programs that need no worker thread (the command-line
// tool, the browser configurator, the fuzz target of the device link):
// nothing waits for its events and its locks are never contended, so both
// are empty. The notifications go to `sink` as they are posted.
#pragma once
#include <atomic>

#include "device/DeviceWorkerCore.h"
#include "device/TransferRunner.h"

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

class InlineWorker : public ITransferWorker, private INotifySink {
 public:
  InlineWorker(IHidEnumerator& hid, INotifySink& sink)
      : core(stop_, events_, requestLock_, imageLock_, hid, *this), sink_(sink) {}

  // Runs a whole transfer of `kind` to its end, request after request, with
  // the image and the pages' values `store` stores (see TransferRunner);
  // every notification also goes to the sink. The event that ended it.
  TransferEvent Run(TransferKind kind, std::uint8_t* image, TransferRunner::Store store = {});

  // ITransferWorker, for the runner: a request waits for Run to take it.
  bool PostRequest(int code) override;
  void CopyImage(std::uint8_t* buffer, std::size_t count) override { core.CopyImage(buffer, count); }
  bool ImageEquals(const std::uint8_t* image) override { return core.ImageEquals(image); }
  void SetImage(const std::uint8_t* image) override { core.SetImage(image); }

 private:
  void Post(unsigned code, std::intptr_t value) override;

  std::atomic<int> stop_{0};
  NoEvents events_;
  NoLock requestLock_, imageLock_;

 public:
  DeviceWorkerCore core;

 private:
  INotifySink& sink_;
  TransferRunner* runner_ = nullptr;  // the transfer Run runs
  TransferEvent last_;                // what its last notification meant
  int next_ = 0;                      // the request it posted last
};
