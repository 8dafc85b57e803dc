// Figures of the device link: how long a full device read and a full
// device write take against the emulated device answering each request
// after 1 ms, compared with the floor that the answers alone impose
// (number of exchanges x 1 ms), and how long a request takes with no
// device attached. The worker runs on its own thread, as in the program.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "device/DemoConfiguration.h"
#include "device/DeviceWorkerCore.h"
#include "device/hid/emulated/EmulatedHid.h"

namespace {

using Clock = std::chrono::steady_clock;

class WaitingSink : public INotifySink {
 public:
  void Post(unsigned code, std::intptr_t value) override {
    std::lock_guard<std::mutex> hold(mutex_);
    if (code == Notify::Progress) return;
    last_ = code;
    value_ = value;
    ++results_;
    changed_.notify_all();
  }
  // Waits for the next result notification; returns its value.
  std::intptr_t Next(unsigned code) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return results_ > taken_; });
    ++taken_;
    if (last_ != code) std::fprintf(stderr, "unexpected notification %u\n", last_);
    return value_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  unsigned last_ = 0;
  std::intptr_t value_ = 0;
  int results_ = 0, taken_ = 0;
};

struct Machine {
  explicit Machine(bool withDevice) : events(hub), bus(hub, events.abortEvent()) {
    LoadDemoDevice(device);
    device.answerDelayMs = 1;
    if (withDevice) bus.Add(device);
    thread = std::thread([this] { core.ThreadBody(); });
  }
  ~Machine() {
    stop = 1;
    core.Wake();
    thread.join();
  }
  // Runs the requests one after the other; returns the time in ms.
  double Run(std::initializer_list<std::pair<int, unsigned>> steps) {
    {
      std::lock_guard<std::mutex> hold(hub.mutex());
      device.ClearLog();
    }
    const Clock::time_point start = Clock::now();
    for (auto [code, result] : steps) {
      core.PostRequest(code);
      if (sink.Next(result) != 1 && withResult)
        std::fprintf(stderr, "request %d failed\n", code);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  std::size_t Exchanges() {
    std::lock_guard<std::mutex> hold(hub.mutex());
    return device.log().size();
  }

  SignalHub hub{false};
  StdWorkerEvents events;
  EmulatedHidBus bus;
  StdLock requestLock, imageLock;
  WaitingSink sink;
  std::atomic<int> stop{0};
  DeviceWorkerCore core{stop, events, requestLock, imageLock, bus, sink};
  EmulatedDevice device;
  bool withResult = true;
  std::thread thread;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Transfer(const char* name, std::initializer_list<std::pair<int, unsigned>> steps) {
  Machine m(true);
  std::vector<double> times;
  std::size_t exchanges = 0;
  for (int i = 0; i < 5; ++i) {
    times.push_back(m.Run(steps));
    exchanges = m.Exchanges();
  }
  const double ms = Median(times);
  std::printf("%-12s %4zu exchanges  %8.1f ms  floor %5zu ms  ratio %.2f\n", name, exchanges, ms,
              exchanges, ms / static_cast<double>(exchanges));
}

}  // namespace

int main() {
  std::printf("device answering each request after 1 ms; median of 5 runs\n");
  Transfer("full read", {{ReadParamMemory, Notify::ReadParamDone},
                         {ReadFlashRecord, Notify::ReadRecordDone}});
  Transfer("full write", {{ReadParamMemory, Notify::ReadParamDone},
                          {WriteParamMemory, Notify::WriteParamDone},
                          {WriteFlashRecord, Notify::WriteRecordDone}});
  Machine none(false);
  none.withResult = false;
  std::vector<double> times;
  for (int i = 0; i < 101; ++i) times.push_back(none.Run({{CheckDevice, Notify::CheckDone}}));
  std::printf("%-12s %8.3f ms per request (median of 101), %d I/O waits\n", "no device",
              Median(times), none.bus.waits);
  return 0;
}
