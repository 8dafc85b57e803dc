// The worker with its real thread, events and critical sections, against
// the emulated device at the far end of a named pipe.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>

#include "device/DemoConfiguration.h"
#include "device/DeviceTestSupport.h"
#include "config/ImageMap.h"
#include "win32/AccessUSB.h"
#include "win32/DeviceWorkers.h"
#include "device/hid/pipe/HidPipeDevice.h"

namespace {

using Entry = RecordingSink::Entry;

class Worker : public ::testing::Test {
 protected:
  // A worker whose only device is an emulated one, configured by `setUp`.
  void Make(void (*setUp)(EmulatedDevice&), bool start = true) {
    worker = AccessUSB::Create(
        sink,
        [this, setUp](HANDLE abortEvent) {
          auto hid = std::make_unique<PipeHidEnumerator>(abortEvent);
          device = &hid->Own(std::make_unique<EmulatedPipeDevice>());
          LoadDemoDevice(device->model());
          setUp(device->model());
          return hid;
        },
        start);
  }
  int Seen(std::uint8_t command) {
    std::lock_guard<std::mutex> hold(device->mutex());
    return device->model().CountSeen(command);
  }
  void WaitUntilSeen(std::uint8_t command) {
    for (int i = 0; i < 5000 && Seen(command) == 0; ++i) Sleep(1);
  }
  bool ThreadEnded() { return WaitForSingleObject(worker->threadHandle(), 0) == WAIT_OBJECT_0; }
  void TearDown() override {
    if (worker) worker->Stop(2000);
  }

  RecordingSink sink;
  std::unique_ptr<AccessUSB, void (*)(AccessUSB*)> worker{nullptr, &AccessUSB::Dispose};
  EmulatedPipeDevice* device = nullptr;
};

TEST_F(Worker, ReadsAndWritesTheWholeImage) {
  Make([](EmulatedDevice&) {});
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  ASSERT_TRUE(worker->PostRequest(ReadFlashRecord));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadRecordDone));
  std::uint8_t image[kImageSize], expected[kImageSize];
  MakeDemoImage(expected);
  worker->CopyImage(image, kImageSize);
  EXPECT_EQ(0, std::memcmp(image, expected, kImageSize));
  EXPECT_TRUE(worker->ImageEquals(expected));

  image[21] = '8';  // another first phone number digit
  image[2299] ^= 0xFF;
  worker->SetImage(image);
  ASSERT_TRUE(worker->PostRequest(WriteParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::WriteParamDone));
  ASSERT_TRUE(worker->PostRequest(WriteFlashRecord));
  ASSERT_TRUE(sink.WaitFor(Notify::WriteRecordDone));
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{4, 1}, {6, 1}, {5, 1}, {7, 1}}));
  std::vector<std::intptr_t> progress = sink.progress();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 4352);
  std::lock_guard<std::mutex> hold(device->mutex());
  EXPECT_EQ(device->model().paramMemory()[21], '8');
  EXPECT_EQ(0, std::memcmp(device->model().flash(), image + kParamMemorySize, 252));
}

TEST_F(Worker, AWriteIsRefusedWhileTheReadRuns) {
  Make([](EmulatedDevice& d) { d.answerDelayMs = 3; });
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::Progress));
  EXPECT_FALSE(worker->PostRequest(WriteParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{Notify::ReadParamDone, 1}}));
  EXPECT_EQ(Seen(WriteParam), 0);
}

TEST_F(Worker, AReadPostedDuringACheckAbortsTheCheckThenRuns) {
  Make([](EmulatedDevice& d) {
    d.faults.command = Hello;
    d.faults.silent = 2;
  });
  ASSERT_TRUE(worker->PostRequest(CheckDevice));
  WaitUntilSeen(Hello);
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  EXPECT_EQ(sink.results(),
            (std::vector<Entry>{{Notify::CheckDone, 0}, {Notify::ReadParamDone, 1}}));
}

TEST_F(Worker, TwoPostsBeforeTheWorkerWakesRunOnlyTheSecond) {
  Make([](EmulatedDevice&) {}, /*start=*/false);
  EXPECT_TRUE(worker->PostRequest(CheckDevice));
  EXPECT_TRUE(worker->PostRequest(ReadParamMemory));
  worker->Start();
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  ASSERT_TRUE(worker->PostRequest(CheckDevice));
  ASSERT_TRUE(sink.WaitFor(Notify::CheckDone));
  EXPECT_EQ(sink.results(),
            (std::vector<Entry>{{Notify::ReadParamDone, 1}, {Notify::CheckDone, 1}}));
}

TEST_F(Worker, StoppingDuringATransferEndsWithinTheWait) {
  Make([](EmulatedDevice& d) {
    d.faults.command = ReadParam;
    d.faults.silent = -1;
  });
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  WaitUntilSeen(ReadParam);
  worker->Stop(2000);
  EXPECT_TRUE(ThreadEnded());
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{Notify::ReadParamDone, 0}}));
}

TEST_F(Worker, DroppedWithoutWaitingItFinishesAndFreesItselfSilently) {
  Make([](EmulatedDevice& d) {
    d.faults.command = ReadParam;
    d.faults.silent = -1;
  });
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  WaitUntilSeen(ReadParam);
  HANDLE thread = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), worker->threadHandle(), GetCurrentProcess(),
                              &thread, SYNCHRONIZE, FALSE, 0));
  worker.reset();  // without Stop: the thread is still in its request
  EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
  // The request's failure came after the owner had let go: nobody got it.
  EXPECT_TRUE(sink.results().empty());
}

TEST(DemoWorker, ReadsThePrefilledConfiguration) {
  RecordingSink sink;
  std::unique_ptr<IDeviceWorker> worker = MakeDemoWorker(sink);
  ASSERT_TRUE(worker->PostRequest(CheckDevice));
  ASSERT_TRUE(sink.WaitFor(Notify::CheckDone));
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone, 1, 20000));
  ASSERT_TRUE(worker->PostRequest(ReadFlashRecord));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadRecordDone, 1, 20000));
  EXPECT_EQ(sink.results(), (std::vector<Entry>{{3, 1}, {4, 1}, {6, 1}}));
  std::uint8_t image[kImageSize], expected[kImageSize];
  MakeDemoImage(expected);
  worker->CopyImage(image, kImageSize);
  EXPECT_EQ(0, std::memcmp(image, expected, kImageSize));
  worker->Stop(2000);
}

TEST(DeviceWorker, WithoutTheAlarmEveryRequestAnswersNotFound) {
  RecordingSink sink;
  std::unique_ptr<IDeviceWorker> worker = MakeDeviceWorker(sink);
  ASSERT_TRUE(worker->PostRequest(CheckDevice));
  ASSERT_TRUE(sink.WaitFor(Notify::CheckDone));
  ASSERT_TRUE(worker->PostRequest(ReadParamMemory));
  ASSERT_TRUE(sink.WaitFor(Notify::ReadParamDone));
  EXPECT_EQ(sink.results(),
            (std::vector<Entry>{{Notify::CheckDone, 0}, {Notify::ReadParamDone, 0}}));
  worker->Stop(2000);
}

}  // namespace
