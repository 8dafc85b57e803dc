#include "device/DeviceWorkerCore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "device/DemoConfiguration.h"
#include "device/DeviceTestSupport.h"
#include "config/ImageMap.h"

namespace {

using Clock = std::chrono::steady_clock;

// Worker events whose wait can run a step of the test on the worker
// thread right after the wait has decided, before the worker acts on it.
class HookedEvents : public StdWorkerEvents {
 public:
  using StdWorkerEvents::StdWorkerEvents;
  std::function<void(int)> afterWait;
  int WaitAbortOrRequest() override {
    const int woken = StdWorkerEvents::WaitAbortOrRequest();
    if (afterWait) afterWait(woken);
    return woken;
  }
};

// The worker on native threads against emulated devices in real time.
class Worker : public ::testing::Test {
 protected:
  Worker() : hub(false), events(hub), bus(hub, events.abortEvent()) {}
  void Start() {
    thread = std::thread([this] { core.ThreadBody(); });
  }
  // Stops as the main window does; returns how long the thread took to end.
  Clock::duration Stop() {
    const Clock::time_point start = Clock::now();
    stop = 1;
    core.Wake();
    if (thread.joinable()) thread.join();
    return Clock::now() - start;
  }
  void TearDown() override {
    Stop();
    EXPECT_EQ(bus.violations, 0);
    EXPECT_EQ(bus.openHandles, 0);
  }
  int Waits() {
    std::lock_guard<std::mutex> hold(hub.mutex());
    return bus.waits;
  }
  int Seen(std::uint8_t command) {
    std::lock_guard<std::mutex> hold(hub.mutex());
    return device.CountSeen(command);
  }

  SignalHub hub;
  HookedEvents events;
  EmulatedHidBus bus;
  StdLock requestLock, imageLock;
  RecordingSink sink;
  std::atomic<int> stop{0};
  DeviceWorkerCore core{stop, events, requestLock, imageLock, bus, sink};
  EmulatedDevice device;
  std::thread thread;
};

using Entry = RecordingSink::Entry;

TEST_F(Worker, WithoutADeviceEveryRequestAnswersZeroWithoutAnyIoWait) {
  EmulatedDevice mouse;
  mouse.attributes = {0x845E, 1, 1};
  bus.Add(mouse);
  Start();
  const unsigned results[] = {Notify::CheckDone, Notify::ReadParamDone, Notify::WriteParamDone,
                              Notify::ReadRecordDone, Notify::WriteRecordDone};
  for (int code = CheckDevice; code <= WriteFlashRecord; ++code) {
    EXPECT_TRUE(core.PostRequest(code));
    ASSERT_TRUE(sink.WaitFor(results[code - 1])) << code;
  }
  EXPECT_TRUE(core.PostRequest(9));  // not a request: no work, no answer
  EXPECT_TRUE(core.PostRequest(CheckDevice));
  ASSERT_TRUE(sink.WaitFor(Notify::CheckDone, 2));
  const std::vector<Entry> expected = {{3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {3, 0}};
  EXPECT_EQ(sink.entries(), expected);
  EXPECT_EQ(Waits(), 0);
}

TEST_F(Worker, AFullReadAndWriteRunAgainstTheDevice) {
  LoadDemoDevice(device);
  bus.Add(device);
  Start();
  ASSERT_TRUE(core.PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  ASSERT_TRUE(core.PostRequest(ReadFlashRecord));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadRecordDone));
  std::uint8_t image[kImageSize], expected[kImageSize];
  core.CopyImage(image, kImageSize);
  MakeDemoImage(expected);
  EXPECT_EQ(0, std::memcmp(image, expected, kImageSize));
  EXPECT_TRUE(core.ImageEquals(expected));

  image[300] ^= 0x40;
  image[2100] ^= 0x01;
  EXPECT_FALSE(core.ImageEquals(image));
  core.SetImage(image);
  ASSERT_TRUE(core.PostRequest(WriteParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::WriteParamDone));
  ASSERT_TRUE(core.PostRequest(WriteFlashRecord));
  ASSERT_TRUE(sink.WaitFor(Notify::WriteRecordDone));
  const std::vector<Entry> results = {{4, 1}, {6, 1}, {5, 1}, {7, 1}};
  EXPECT_EQ(sink.results(), results);
  std::lock_guard<std::mutex> hold(hub.mutex());
  EXPECT_EQ(0, std::memcmp(device.paramMemory(), image, kParamMemorySize));
  EXPECT_EQ(0, std::memcmp(device.flash(), image + kParamMemorySize, 252));
}

TEST_F(Worker, RequestsAreRefusedWhileATransferRunsAndTheTransferCompletes) {
  device.answerDelayMs = 2;
  bus.Add(device);
  Start();
  ASSERT_TRUE(core.PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::Progress));
  EXPECT_FALSE(core.PostRequest(WriteParamMemory));
  EXPECT_FALSE(core.PostRequest(CheckDevice));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{Notify::ReadParamDone, 1}}));
  EXPECT_EQ(sink.progress().size(), 32u);
  EXPECT_EQ(Seen(WriteParam), 0);
}

TEST_F(Worker, AReadPostedDuringACheckAbortsTheCheckAndThenRuns) {
  // The first two Hellos get no answer: the check waits for about half a
  // second unless it is aborted.
  device.faults.command = Hello;
  device.faults.silent = 2;
  bus.Add(device);
  Start();
  ASSERT_TRUE(core.PostRequest(CheckDevice));
  const Clock::time_point start = Clock::now();
  while (Seen(Hello) == 0 && Clock::now() - start < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(core.PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  const std::vector<Entry> expected = {{Notify::CheckDone, 0}, {Notify::ReadParamDone, 1}};
  EXPECT_EQ(sink.results(), expected);
  EXPECT_EQ(Seen(Hello), 3);  // the check's first, the read's lost one and its re-send
}

TEST_F(Worker, TwoPostsBeforeTheWorkerWakesRunOnlyTheSecond) {
  bus.Add(device);
  EXPECT_TRUE(core.PostRequest(CheckDevice));
  EXPECT_TRUE(core.PostRequest(ReadParamMemory));
  EXPECT_EQ(core.pendingRequest(), ReadParamMemory);
  Start();
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  ASSERT_TRUE(core.PostRequest(ReadFlashRecord));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadRecordDone));
  const std::vector<Entry> expected = {{Notify::ReadParamDone, 1}, {Notify::ReadRecordDone, 1}};
  EXPECT_EQ(sink.results(), expected);
}

TEST_F(Worker, ARequestPostedOnAResultIsAccepted) {
  // As the main window does: the next step of a read is posted while the
  // previous step's result is handled.
  struct Chaining : INotifySink {
    DeviceWorkerCore* core = nullptr;
    RecordingSink* record = nullptr;
    std::atomic<int> accepted{-1};
    void Post(unsigned code, std::intptr_t value) override {
      if (code == Notify::ReadParamDone) accepted = core->PostRequest(ReadFlashRecord);
      record->Post(code, value);
    }
  } chaining;
  chaining.record = &sink;
  DeviceWorkerCore chained(stop, events, requestLock, imageLock, bus, chaining);
  chaining.core = &chained;
  bus.Add(device);
  thread = std::thread([&] { chained.ThreadBody(); });
  ASSERT_TRUE(chained.PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadRecordDone));
  EXPECT_EQ(chaining.accepted.load(), 1);
  stop = 1;
  chained.Wake();
  thread.join();
}

TEST_F(Worker, AnAbortMeantForTheLoopDoesNotFailTheRequestTakenAfterIt) {
  // A request arrives in the moment between the worker's wake-up for an
  // earlier post and its taking of the code: the code it takes is the new
  // one, and the abort that came with it must not fail it.
  bus.Add(device);
  int waits = 0;
  events.afterWait = [&](int woken) {
    if (woken == IWorkerEvents::RequestSignalled && ++waits == 1) {
      EXPECT_TRUE(core.PostRequest(ReadParamMemory));
    }
  };
  ASSERT_TRUE(core.PostRequest(CheckDevice));
  Start();
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{Notify::ReadParamDone, 1}}));
}

TEST_F(Worker, StoppingDuringATransferPostsItsFailureAndEndsWithinTheWait) {
  device.faults.command = ReadParam;
  device.faults.silent = -1;
  bus.Add(device);
  Start();
  ASSERT_TRUE(core.PostRequest(ReadParamMemory));
  const Clock::time_point start = Clock::now();
  while (Seen(ReadParam) == 0 && Clock::now() - start < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const Clock::duration took = Stop();
  EXPECT_LT(took, std::chrono::milliseconds(500));
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{Notify::ReadParamDone, 0}}));
}

TEST_F(Worker, StoppingAnIdleWorkerEndsItAtOnce) {
  Start();
  EXPECT_LT(Stop(), std::chrono::milliseconds(500));
  EXPECT_TRUE(sink.entries().empty());
}

TEST_F(Worker, AStopSeenWhenTheCodeIsTakenRunsNothing) {
  bus.Add(device);
  events.afterWait = [&](int woken) {
    if (woken == IWorkerEvents::RequestSignalled) {
      stop = 1;
      core.Wake();
    }
  };
  ASSERT_TRUE(core.PostRequest(CheckDevice));
  Start();
  thread.join();
  EXPECT_EQ(Seen(Hello), 0);
}

TEST(GuardedSinkTest, NothingArrivesAfterDetach) {
  StdLock lock;
  RecordingSink target;
  GuardedSink guarded(lock, target);
  guarded.Post(Notify::Progress, 64);
  guarded.Detach();
  guarded.Post(Notify::CheckDone, 1);
  EXPECT_EQ(target.entries(), (std::vector<RecordingSink::Entry>{{Notify::Progress, 64}}));
}

}  // namespace
