// Records every wait of the devices that an overlapped backend opens, with
// its result, so that tests see how an exchange went without timing it.
#pragma once
#include <windows.h>

#include <mutex>
#include <vector>

#include "device/hid/windows/HidDevice.h"

class CountingHid : public IHidWaitWatcher {
 public:
  // Watches the devices that `backend` opens from now on.
  explicit CountingHid(HidHandleEnumerator& backend) : backend_(backend) {
    backend_.WatchWaits(this);
  }
  ~CountingHid() override { backend_.WatchWaits(nullptr); }

  void BeforeWait(HidOp) override {
    if (delayMs_) Sleep(delayMs_);
  }
  void AfterWait(HidOp op, WaitResult r) override {
    std::lock_guard<std::mutex> hold(mutex_);
    waits_.push_back(recordOps ? static_cast<int>(op) * 10 + r : r);
  }

  std::vector<int> waits() {
    std::lock_guard<std::mutex> hold(mutex_);
    return waits_;
  }
  // Record each wait as 10 x operation + result instead of the result alone.
  bool recordOps = false;
  // Sleeps this long before each wait, so that what the wait is to see
  // has surely happened.
  void DelayWaits(unsigned ms) { delayMs_ = ms; }
  void Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    waits_.clear();
  }

 private:
  HidHandleEnumerator& backend_;
  std::mutex mutex_;
  std::vector<int> waits_;
  unsigned delayMs_ = 0;
};
