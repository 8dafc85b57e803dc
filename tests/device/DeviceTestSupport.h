// Helpers for the device link's tests: a notification sink that records
// what the worker posts, and an emulated link in virtual time.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "device/DeviceWorker.h"
#include "device/EmulatedDevice.h"
#include "device/hid/emulated/EmulatedHid.h"

class RecordingSink : public INotifySink {
 public:
  using Entry = std::pair<unsigned, std::intptr_t>;
  void Post(unsigned code, std::intptr_t value) override {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      entries_.push_back({code, value});
    }
    changed_.notify_all();
  }
  std::vector<Entry> entries() {
    std::lock_guard<std::mutex> hold(mutex_);
    return entries_;
  }
  // Positions of the Progress notifications, in order.
  std::vector<std::intptr_t> progress() {
    std::vector<std::intptr_t> out;
    for (const Entry& e : entries())
      if (e.first == Notify::Progress) out.push_back(e.second);
    return out;
  }
  // Everything but Progress.
  std::vector<Entry> results() {
    std::vector<Entry> out;
    for (const Entry& e : entries())
      if (e.first != Notify::Progress) out.push_back(e);
    return out;
  }
  // Waits until `count` notifications with `code` have come; false on time-out.
  bool WaitFor(unsigned code, std::size_t count = 1, int timeoutMs = 5000) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      std::size_t n = 0;
      for (const Entry& e : entries_) n += e.first == code;
      return n >= count;
    });
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    entries_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;
};

// An emulated machine: a hub, the abort event and the HID interfaces.
struct EmulatedLink {
  explicit EmulatedLink(bool virtualTime = true) : hub(virtualTime), abort(hub), bus(hub, abort) {}
  std::int64_t NowUs() {
    std::lock_guard<std::mutex> hold(hub.mutex());
    return hub.NowUs();
  }
  SignalHub hub;
  HubEvent abort;
  EmulatedHidBus bus;
};
