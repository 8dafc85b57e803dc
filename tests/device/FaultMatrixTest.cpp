// Every fault the emulated alarm can make, against a device read and a
// device write through the real Controller and the real worker logic on
// its own thread, with the link in simulated time: the outcome in the
// status line, the time the fault may cost (230 ms a wait, four waits fail
// an exchange, three attempts fail a send), no hang, the window's image,
// pages and modified flag after a read, and what the device holds after a
// write.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/Controller.h"
#include "app/Fakes.h"
#include "device/DemoConfiguration.h"
#include "device/DeviceTestSupport.h"
#include "config/ModifiedFlag.h"

namespace {

constexpr std::int64_t kWaitUs = 230 * 1000;
constexpr int kHookProgress = 20;  // the window acts on this Progress notification

// The main window's message queue: what the worker posts, taken in order
// by the test's message loop, each with the simulated time of its posting.
class MessageQueue : public INotifySink {
 public:
  struct Message {
    unsigned code;
    std::intptr_t value;
    std::int64_t atUs;
  };
  explicit MessageQueue(SignalHub& hub) : hub_(hub) {}
  // The worker is held in its Progress notification number `n` until
  // Release, so that the window can act while the transfer surely runs.
  void HoldAtProgress(int n) { holdAt_ = n; }
  void Release() {
    std::lock_guard<std::mutex> hold(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  void Post(unsigned code, std::intptr_t value) override {
    std::int64_t now;
    {
      std::lock_guard<std::mutex> hold(hub_.mutex());
      now = hub_.NowUs();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back({code, value, now});
    changed_.notify_all();
    if (code == Notify::Progress && ++progress_ == holdAt_)
      changed_.wait(lock, [&] { return released_; });
  }
  // False when nothing came within the real time given: the worker hangs.
  bool Take(Message& message, int timeoutMs = 10000) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return !queue_.empty(); }))
      return false;
    message = queue_.front();
    queue_.pop_front();
    return true;
  }

 private:
  SignalHub& hub_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Message> queue_;
  int holdAt_ = 0, progress_ = 0;
  bool released_ = false;
};

// What the test keeps of a worker that the Controller owns and destroys.
struct WorkerRecord {
  std::vector<int> requests;  // codes posted, accepted or not
  bool stoppedInTime = true;
  int violations = 0;
  int openHandles = 0;
};

// The worker of the main window, as the platform's worker runs it: the
// request loop on its own thread, over the emulated HID bus.
class ThreadedWorker : public IDeviceWorker {
 public:
  ThreadedWorker(SignalHub& hub, EmulatedDevice& device, MessageQueue& queue, WorkerRecord& record)
      : events_(hub), bus_(hub, events_.abortEvent()), queue_(queue), record_(record),
        core_(stop_, events_, requestLock_, imageLock_, bus_, queue) {
    bus_.Add(device);
    thread_ = std::thread([this] {
      core_.ThreadBody();
      std::lock_guard<std::mutex> hold(endMutex_);
      ended_ = true;
      endChanged_.notify_all();
    });
  }
  ~ThreadedWorker() override {
    Stop(kNoWait);
    thread_.join();
    std::lock_guard<std::mutex> hold(events_hub().mutex());
    record_.violations = bus_.violations;
    record_.openHandles = bus_.openHandles;
  }
  bool PostRequest(int code) override {
    record_.requests.push_back(code);
    return core_.PostRequest(code);
  }
  void CopyImage(std::uint8_t* buffer, std::size_t count) override { core_.CopyImage(buffer, count); }
  bool ImageEquals(const std::uint8_t* image) override { return core_.ImageEquals(image); }
  void SetImage(const std::uint8_t* image) override { core_.SetImage(image); }
  void Stop(unsigned waitMs) override {
    stop_ = 1;
    core_.Wake();
    queue_.Release();  // a worker held in a notification goes on, and meets the abort
    if (waitMs == kNoWait) return;
    std::unique_lock<std::mutex> lock(endMutex_);
    if (!endChanged_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return ended_; }))
      record_.stoppedInTime = false;
  }

 private:
  static constexpr unsigned kNoWait = ~0u;
  SignalHub& events_hub() { return bus_.hub(); }

  std::atomic<int> stop_{0};
  StdWorkerEvents events_;
  EmulatedHidBus bus_;
  MessageQueue& queue_;
  WorkerRecord& record_;
  StdLock requestLock_, imageLock_;
  DeviceWorkerCore core_;
  std::mutex endMutex_;
  std::condition_variable endChanged_;
  bool ended_ = false;
  std::thread thread_;
};

enum Op { Read, Write };
enum Hook { NoHook, ArrivalNotice, CloseWindow };

// One fault: how to make the device misbehave, and for each operation the
// status it ends with and the waits of 230 ms the fault costs (the time may
// exceed the fault-free run's by the waits and `extraMs`, never by more).
struct FaultRow {
  const char* name;
  std::function<void(EmulatedDevice&)> fault;
  int readStatus, readWaits;
  int writeStatus, writeWaits;
  Hook hook = NoHook;
  unsigned extraMs = 0;
};

constexpr int kReadOk = IDS_READ_DONE, kReadFailed = IDS_READ_FAILED;
constexpr int kWriteOk = IDS_WRITE_DONE, kWriteFailed = IDS_WRITE_FAILED,
              kPreReadFailed = IDS_PREREAD_FAILED;

std::function<void(EmulatedDevice&)> On(int command, std::function<void(EmulatedFaults&)> set) {
  return [command, set](EmulatedDevice& d) {
    d.faults.command = command;
    set(d.faults);
  };
}

std::vector<FaultRow> Rows() {
  std::vector<FaultRow> rows = {
      {"no fault", [](EmulatedDevice&) {}, kReadOk, 0, kWriteOk, 0},
  };
  // No answer to one request of a kind costs one wait and a re-send; no
  // answer to any request of a kind fails its exchange after four waits.
  const struct {
    const char* name;
    int command;
    bool inRead, inWrite;  // whether the operation sends such requests
    int readFails, writeFails;
  } kinds[] = {
      {"Hello", Hello, true, true, kReadFailed, kPreReadFailed},
      {"ReadParam", ReadParam, true, true, kReadFailed, kPreReadFailed},
      {"WriteParam", WriteParam, false, true, kReadOk, kWriteFailed},
      {"EraseFlash", EraseFlash, false, true, kReadOk, kWriteFailed},
      {"ReadFlash", ReadFlash, true, false, kReadFailed, kWriteOk},
      {"WriteFlash", WriteFlash, false, true, kReadOk, kWriteFailed},
      {"WriteFlashEnd", WriteFlashEnd, false, true, kReadOk, kWriteFailed},
  };
  static std::vector<std::string> names;
  names.reserve(64);
  for (const auto& k : kinds) {
    names.push_back(std::string("no answer to one ") + k.name);
    rows.push_back({names.back().c_str(), On(k.command, [](EmulatedFaults& f) { f.silent = 1; }),
                    kReadOk, k.inRead ? 1 : 0, kWriteOk, k.inWrite ? 1 : 0});
    names.push_back(std::string("no answer to any ") + k.name);
    rows.push_back({names.back().c_str(), On(k.command, [](EmulatedFaults& f) { f.silent = -1; }),
                    k.readFails, k.inRead ? 4 : 0, k.writeFails, k.inWrite ? 4 : 0});
    names.push_back(std::string("a failure status to one ") + k.name);
    rows.push_back({names.back().c_str(),
                    On(k.command, [](EmulatedFaults& f) { f.failStatus = 1; }), k.readFails, 0,
                    k.writeFails, 0});
  }
  const std::vector<FaultRow> more = {
      // A late answer: the request is sent again after one wait.
      {"one ReadParam answered late", On(ReadParam, [](EmulatedFaults& f) { f.late = 1; f.lateMs = 300; }),
       kReadOk, 1, kWriteOk, 1, NoHook, 70},
      {"one WriteFlashEnd answered late",
       On(WriteFlashEnd, [](EmulatedFaults& f) { f.late = 1; f.lateMs = 300; }), kReadOk, 0,
       kWriteOk, 1, NoHook, 70},
      {"every ReadParam answered after the exchange gave up",
       On(ReadParam, [](EmulatedFaults& f) { f.late = -1; f.lateMs = 1000; }), kReadFailed, 4,
       kPreReadFailed, 4},
      // Answers to earlier requests waiting in the queue are passed over;
      // each costs only the millisecond in which the device sends it.
      {"three stale answers before every request",
       On(-1, [](EmulatedFaults& f) { f.stale = -1; f.staleCount = 3; }), kReadOk, 0, kWriteOk, 0,
       NoHook, 3 * 137},
      {"a bad signature once", On(ReadParam, [](EmulatedFaults& f) { f.wrongSignature = 1; }),
       kReadOk, 0, kWriteOk, 0},
      {"a bad signature on every WriteParam",
       On(WriteParam, [](EmulatedFaults& f) { f.wrongSignature = -1; }), kReadOk, 0, kWriteFailed,
       0},
      {"a wrong identity in Hello", [](EmulatedDevice& d) { d.helloIdentity[2] = 2; },
       kReadFailed, 0, kPreReadFailed, 0},
      {"another product id", [](EmulatedDevice& d) { d.attributes.productId ^= 1; }, kReadFailed,
       0, kPreReadFailed, 0},
      // Removal: the read sends Hello and 64 ReadParam, then Hello and 32 + 5
      // ReadFlash (103); the write Hello and 64 ReadParam, Hello and 64
      // WriteParam, Hello, EraseFlash and 5 flash pieces (137). A device
      // removed as it takes a request never answers it.
      {"removed after 10 requests", [](EmulatedDevice& d) { d.faults.removeAfter = 10; },
       kReadFailed, 0, kPreReadFailed, 0},
      {"removed after 70 requests", [](EmulatedDevice& d) { d.faults.removeAfter = 70; },
       kReadFailed, 0, kWriteFailed, 0},
      {"removed as it takes the read's last request",
       [](EmulatedDevice& d) { d.faults.removeAfter = 103; }, kReadFailed, 0, kWriteFailed, 0},
      {"removed during the flash record's write", [](EmulatedDevice& d) { d.faults.removeAfter = 134; },
       kReadOk, 0, kWriteFailed, 0},
      {"removed as it takes the write's last request",
       [](EmulatedDevice& d) { d.faults.removeAfter = 137; }, kReadOk, 0, kWriteFailed, 0},
      {"removed after the write's last answer",
       [](EmulatedDevice& d) { d.faults.removeAfter = 138; }, kReadOk, 0, kWriteOk, 0},
      // Output reports the device does not take: the write is attempted again.
      {"one output report not taken", [](EmulatedDevice& d) { d.faults.stallSkip = 40; d.faults.stallWrites = 1; },
       kReadOk, 1, kWriteOk, 1},
      {"no output report taken three times in a row",
       [](EmulatedDevice& d) { d.faults.stallSkip = 40; d.faults.stallWrites = 3; }, kReadFailed, 3,
       kPreReadFailed, 3},
      {"an arrival notice during the transfer", [](EmulatedDevice&) {}, kReadOk, 0, kWriteOk, 0,
       ArrivalNotice},
      {"the window closes during the transfer", [](EmulatedDevice&) {}, 0, 0, 0, 0, CloseWindow},
  };
  rows.insert(rows.end(), more.begin(), more.end());
  return rows;
}

class DeviceFaults : public ::testing::Test {
 protected:
  struct Outcome {
    int status = 0;
    std::int64_t elapsedUs = 0;
    bool hung = false;
    std::vector<std::uint8_t> image;  // the window's image afterwards
  };

  void SetUp() override { SetFlag(flag, 0); }

  ModifiedFlag flag;

  Outcome Run(const FaultRow& row, Op op) {
    Outcome out;
    SignalHub hub(true);
    EmulatedDevice device;
    LoadDemoDevice(device);
    std::memcpy(before_param, device.paramMemory(), kParamMemorySize);
    std::memcpy(before_flash, device.flash(), kRecordAreaSize);
    MessageQueue queue(hub);
    FakeView view;
    FakePages pages;
    MemoryFileSystem files;
    record = WorkerRecord();
    auto controller = std::make_unique<Controller>(
        view, pages, flag, files, std::make_unique<ThreadedWorker>(hub, device, queue, record),
        u"C:\\start");
    // The start-up check, before any fault.
    controller->StartDeviceCheck();
    MessageQueue::Message m{};
    while (controller->exchangeState() != Controller::Idle) {
      if (!queue.Take(m)) {
        out.hung = true;
        return out;
      }
      controller->OnWorkerMessage(m.code, m.value);
    }
    {
      std::lock_guard<std::mutex> hold(hub.mutex());
      row.fault(device);
      device.ClearLog();
    }
    record.requests.clear();
    const std::int64_t start = [&] {
      std::lock_guard<std::mutex> hold(hub.mutex());
      return hub.NowUs();
    }();
    if (row.hook == CloseWindow) queue.HoldAtProgress(kHookProgress);
    op == Read ? controller->StartDeviceRead() : controller->StartDeviceWrite();
    int progress = 0;
    while (controller && controller->exchangeState() != Controller::Idle) {
      if (!queue.Take(m)) {
        out.hung = true;
        break;
      }
      controller->OnWorkerMessage(m.code, m.value);
      out.elapsedUs = m.atUs - start;
      if (m.code == Notify::Progress && ++progress == kHookProgress) {
        if (row.hook == ArrivalNotice) controller->OnDeviceChange(0x8000, 5);
        if (row.hook == CloseWindow) {
          controller->Shutdown();
          controller.reset();
          // The transfer's result is posted all the same, as a failure.
          out.status = -1;
          while (queue.Take(m, 0))
            if (m.code != Notify::Progress) out.status = static_cast<int>(m.value);
        }
      }
    }
    if (controller) {
      out.status = view.lastStatus();
      out.image.assign(controller->image(), controller->image() + kImageSize);
      // Pages and flag after a read.
      std::uint8_t demo[kImageSize];
      MakeDemoImage(demo);
      for (int i = 0; i < kPageCount; ++i) {
        const FakePage& p = *pages.pages[i];
        if (op == Read && out.status == kReadOk) {
          EXPECT_EQ(p.loads, 1);
          EXPECT_EQ(p.value, demo[100 + i]);
        } else {
          EXPECT_EQ(p.loads, 0) << "page " << i;
          EXPECT_EQ(p.value, 0x42) << "page " << i;
        }
      }
      if (op == Read) {
        std::uint8_t initial[kImageSize];
        InitImage(initial);
        if (out.status == kReadOk) {
          EXPECT_EQ(0, std::memcmp(out.image.data(), demo, kImageSize));
          // The pages showed other values than the device's: the flag is set.
          EXPECT_EQ(FlagOf(flag), 1);
          EXPECT_TRUE(view.modifiedMark);
        } else {
          EXPECT_EQ(0, std::memcmp(out.image.data(), initial, kImageSize));
          EXPECT_EQ(FlagOf(flag), 0);
          EXPECT_FALSE(view.modifiedMark);
        }
      }
      // Nothing but the transfer's own requests went to the worker.
      for (int code : record.requests) EXPECT_NE(code, CheckDevice);
      controller->Shutdown();
      controller.reset();
    }
    std::lock_guard<std::mutex> hold(hub.mutex());
    CheckWhatTheDeviceHolds(device, op, out.status);
    return out;
  }

  // What the device holds afterwards.
  void CheckWhatTheDeviceHolds(EmulatedDevice& device, Op op, int status) {
    if (op == Read) {
      EXPECT_EQ(0, std::memcmp(device.paramMemory(), before_param, kParamMemorySize));
      EXPECT_EQ(0, std::memcmp(device.flash(), before_flash, kRecordAreaSize));
      return;
    }
    // The pages own bytes 100 to 122 and write 0x42 there; every other byte
    // of the parameter memory is written back as it was.
    std::uint8_t merged[kParamMemorySize];
    std::memcpy(merged, before_param, kParamMemorySize);
    std::memset(merged + 100, 0x42, kPageCount);
    const std::uint8_t* now = device.paramMemory();
    EXPECT_EQ(0, std::memcmp(now, before_param, 96));
    EXPECT_EQ(0, std::memcmp(now + 128, before_param + 128, kParamMemorySize - 128));
    const bool blockNew = std::memcmp(now + 96, merged + 96, 32) == 0;
    const bool blockOld = std::memcmp(now + 96, before_param + 96, 32) == 0;
    EXPECT_TRUE(blockNew || blockOld);
    if (status == kWriteOk) {
      EXPECT_TRUE(blockNew);
      // The record went to slot 0 with counter 1 after the area was erased:
      // the window's record bytes (zero since start) and trailer 01 00 00 79.
      const std::uint8_t* flash = device.flash();
      for (std::size_t i = 0; i < kRecordDataSize; ++i) ASSERT_EQ(flash[i], 0) << i;
      const std::uint8_t trailer[] = {0x01, 0x00, 0x00, 0x79};
      EXPECT_EQ(0, std::memcmp(flash + 252, trailer, 4));
      for (std::size_t i = kSlotSize; i < kRecordAreaSize; ++i) ASSERT_EQ(flash[i], 0xFF) << i;
    } else if (device.CountSeen(EraseFlash) == 0) {
      EXPECT_EQ(0, std::memcmp(device.flash(), before_flash, kRecordAreaSize));
    }
  }

  WorkerRecord record;
  std::uint8_t before_param[kParamMemorySize];
  std::uint8_t before_flash[kRecordAreaSize];
};

TEST_F(DeviceFaults, EveryFaultAgainstAReadAndAWrite) {
  const std::vector<FaultRow> rows = Rows();
  std::int64_t baseline[2] = {0, 0};
  for (const FaultRow& row : rows) {
    for (Op op : {Read, Write}) {
      SCOPED_TRACE(std::string(row.name) + (op == Read ? ", read" : ", write"));
      SetFlag(flag, 0);
      const Outcome out = Run(row, op);
      ASSERT_FALSE(out.hung) << "no notification came";
      EXPECT_TRUE(record.stoppedInTime);
      EXPECT_EQ(record.violations, 0);
      EXPECT_EQ(record.openHandles, 0);
      if (row.hook == CloseWindow) {
        // The transfer ends at the worker's next wait, which the stop aborts.
        EXPECT_EQ(out.status, 0) << "the transfer's result is a failure";
        continue;
      }
      EXPECT_EQ(out.status, op == Read ? row.readStatus : row.writeStatus);
      if (&row == &rows.front()) baseline[op] = out.elapsedUs;
      const int waits = op == Read ? row.readWaits : row.writeWaits;
      EXPECT_GE(out.elapsedUs, waits * kWaitUs);
      EXPECT_LE(out.elapsedUs, baseline[op] + waits * kWaitUs + 1000 * (row.extraMs + 10));
    }
  }
}

}  // namespace
