// The Windows backend's real overlapped I/O (WriteFile, ReadFile,
// WaitForMultipleObjects, CancelIoEx) against the emulated device at the far end of a named pipe.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "device/DeviceConnection.h"
#include "win32/device/CountingHid.h"
#include "device/hid/pipe/HidPipeDevice.h"

namespace {

class PipeExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(abort, nullptr);
    hid = std::make_unique<PipeHidEnumerator>(abort);
    device = &hid->Own(std::make_unique<EmulatedPipeDevice>());
    for (std::size_t i = 0; i < kParamMemorySize; ++i)
      device->model().paramMemory()[i] = static_cast<std::uint8_t>(i * 5 + 2);
    counting = std::make_unique<CountingHid>(*hid);
    connection = std::make_unique<DeviceConnection>(*hid);
  }
  void TearDown() override {
    connection.reset();
    counting.reset();
    hid.reset();
    CloseHandle(abort);
  }
  void Open() {
    ASSERT_TRUE(connection->FindAndOpen());
    Model([](EmulatedDevice& d) { d.ClearLog(); });
    counting->Clear();
  }
  std::vector<int> Waits() { return counting->waits(); }
  template <class F>
  void Model(F f) {
    std::lock_guard<std::mutex> hold(device->mutex());
    f(device->model());
  }
  int Seen(std::uint8_t command) {
    std::lock_guard<std::mutex> hold(device->mutex());
    return device->model().CountSeen(command);
  }
  int Read(std::uint32_t address, std::uint8_t* data) {
    return connection->Exchange(ReadParam, address, data, 32);
  }
  bool Holds(const std::uint8_t* data, std::uint32_t address) {
    std::lock_guard<std::mutex> hold(device->mutex());
    return std::memcmp(data, device->model().paramMemory() + address, 32) == 0;
  }

  HANDLE abort = nullptr;
  std::unique_ptr<PipeHidEnumerator> hid;
  std::unique_ptr<CountingHid> counting;
  EmulatedPipeDevice* device = nullptr;
  std::unique_ptr<DeviceConnection> connection;
};

TEST_F(PipeExchange, ReadsAndWritesThroughRealOverlappedIo) {
  Open();
  std::uint8_t data[32];
  ASSERT_EQ(Read(0x120, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x120));
  std::uint8_t block[32];
  for (int i = 0; i < 32; ++i) block[i] = static_cast<std::uint8_t>(0xC0 + i);
  ASSERT_EQ(connection->Exchange(WriteParam, 0x7E0, block, 32), ExchangeDone);
  EXPECT_TRUE(Holds(block, 0x7E0));
  EXPECT_EQ(Seen(ReadParam), 1);
}

TEST_F(PipeExchange, StaleAnswersArePassedOver) {
  Open();
  Model([](EmulatedDevice& d) {
    d.faults.stale = 1;
    d.faults.staleCount = 4;
  });
  std::uint8_t data[32];
  ASSERT_EQ(Read(0x40, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x40));
  EXPECT_EQ(Seen(ReadParam), 1);
}

TEST_F(PipeExchange, AFailureStatusFailsWithoutRetry) {
  Open();
  Model([](EmulatedDevice& d) { d.faults.failStatus = 1; });
  std::uint8_t data[32];
  EXPECT_EQ(Read(0, data), ExchangeFailed);
  EXPECT_EQ(Seen(ReadParam), 1);
}

TEST_F(PipeExchange, ThreeWrongSignaturesFail) {
  Open();
  Model([](EmulatedDevice& d) { d.faults.wrongSignature = 3; });
  std::uint8_t data[32];
  EXPECT_EQ(Read(0, data), ExchangeFailed);
  EXPECT_EQ(Seen(ReadParam), 3);
}

TEST_F(PipeExchange, ALateAnswerIsTakenAfterAResend) {
  Open();
  Model([](EmulatedDevice& d) {
    d.faults.late = 1;
    d.faults.lateMs = 350;
  });
  std::uint8_t data[32];
  ASSERT_EQ(Read(0x60, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x60));
  // The read timed out once, the request was sent again, and the next wait
  // brought the answer.
  EXPECT_EQ(Waits(), (std::vector<int>{WaitTimedOut, WaitDone}));
  // The twin answer to the re-send, still to come, is passed over by the
  // next request.
  ASSERT_EQ(Read(0x80, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x80));
}

TEST_F(PipeExchange, AnUnresponsiveDeviceFailsAfterOneWaitAndThreeResends) {
  Open();
  Model([](EmulatedDevice& d) { d.faults.silent = -1; });
  std::uint8_t data[32];
  EXPECT_EQ(Read(0, data), ExchangeFailed);
  EXPECT_EQ(Seen(ReadParam), 4);
  // Writes complete at once into the pipe; the read is waited for once,
  // then once after each of the three re-sends.
  const int T = WaitTimedOut;
  EXPECT_EQ(Waits(), (std::vector<int>{T, T, T, T}));
  // The read stayed under way and the connection still works.
  Model([](EmulatedDevice& d) { d.faults.silent = 0; });
  ASSERT_EQ(Read(0x20, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x20));
}

TEST_F(PipeExchange, AbortWinsOverAnAnswerAlreadyThere) {
  Open();
  // The answer comes 5 ms after the request, well before the read is
  // waited for: the wait finds both the read's event and the abort set.
  Model([](EmulatedDevice& d) { d.answerDelayMs = 5; });
  counting->DelayWaits(40);
  SetEvent(abort);
  std::uint8_t data[32];
  EXPECT_EQ(Read(0, data), ExchangeAborted);
  counting->DelayWaits(0);
  EXPECT_EQ(Waits(), (std::vector<int>{WaitAborted}));
  ResetEvent(abort);
  ASSERT_EQ(Read(0x20, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x20));
}

TEST_F(PipeExchange, AnAbortEndsAWaitAtOnce) {
  Open();
  Model([](EmulatedDevice& d) { d.faults.silent = -1; });
  // Signal the abort 100 ms into the exchange, from another thread.
  struct Args {
    HANDLE abort;
  } args{abort};
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        Sleep(100);
        SetEvent(static_cast<Args*>(p)->abort);
        return 0;
      },
      &args, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  std::uint8_t data[32];
  EXPECT_EQ(Read(0, data), ExchangeAborted);
  // The first wait for the read ended with the abort, not with its time-out.
  EXPECT_EQ(Waits(), (std::vector<int>{WaitAborted}));
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ResetEvent(abort);
  Model([](EmulatedDevice& d) { d.faults.silent = 0; });
  ASSERT_EQ(Read(0x40, data), ExchangeDone);
}

TEST_F(PipeExchange, AnUnpluggedDeviceFailsAtOnce) {
  Open();
  std::uint8_t data[32];
  ASSERT_EQ(Read(0, data), ExchangeDone);
  device->Unplug();
  Sleep(50);  // the far end hangs up
  EXPECT_EQ(Read(0x20, data), ExchangeFailed);
  for (int r : Waits()) EXPECT_NE(r, WaitTimedOut);  // it failed at once
  connection->CloseConnection();
  EXPECT_FALSE(connection->FindAndOpen());
}

TEST_F(PipeExchange, ASilentTwinInFrontIsSkipped) {
  auto twin = std::make_unique<EmulatedPipeDevice>();
  twin->model().faults.silent = -1;
  PipeHidEnumerator machine(abort);
  EmulatedPipeDevice& first = machine.Own(std::move(twin));
  machine.Add(*device);
  DeviceConnection link(machine);
  ASSERT_TRUE(link.FindAndOpen());
  {
    std::lock_guard<std::mutex> hold(first.mutex());
    EXPECT_EQ(first.model().CountSeen(Hello), 4);
  }
  std::uint8_t data[32];
  ASSERT_EQ(link.Exchange(ReadParam, 0x100, data, 32), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x100));
  EXPECT_EQ(Seen(ReadParam), 1);
}

}  // namespace
namespace {

TEST_F(PipeExchange, AWriteThatTimesOutIsCancelledAndIssuedAgain) {
  Open();
  // The device stops taking reports for 900 ms. The pipe holds one report:
  // the request's first send is dropped, two re-sends go out at once, the
  // next one fills the pipe and its write hangs until it is cancelled and
  // issued again; once the device takes reports again it answers.
  Model([](EmulatedDevice& d) {
    d.faults.stallWrites = 1;
    d.faults.stallMs = 900;
  });
  counting->recordOps = true;
  std::uint8_t data[32];
  ASSERT_EQ(Read(0x20, data), ExchangeDone);
  EXPECT_TRUE(Holds(data, 0x20));
  const std::vector<int> waits = Waits();
  const int writeTimedOut = 10 * static_cast<int>(HidOp::Write) + WaitTimedOut;
  EXPECT_NE(std::find(waits.begin(), waits.end(), writeTimedOut), waits.end());
  EXPECT_EQ(waits.back(), 10 * static_cast<int>(HidOp::Read) + WaitDone);
}

}  // namespace
