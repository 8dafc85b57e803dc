#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "device/DeviceConnection.h"
#include "device/DeviceTestSupport.h"

namespace {

constexpr std::int64_t kWaitUs = 230 * 1000;

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::size_t i = 0; i < kParamMemorySize; ++i)
      device.paramMemory()[i] = static_cast<std::uint8_t>(i * 13 + 1);
    link.bus.Add(device);
  }
  void Open() {
    ASSERT_TRUE(connection.FindAndOpen());
    device.ClearLog();
    waitsBefore = link.bus.waits;
    startUs = link.NowUs();
  }
  int Read(std::uint32_t address, std::uint8_t* data) {
    return connection.Exchange(ReadParam, address, data, 32);
  }
  int Waits() const { return link.bus.waits - waitsBefore; }
  std::int64_t ElapsedUs() { return link.NowUs() - startUs; }
  bool HoldsMemory(const std::uint8_t* data, std::uint32_t address) {
    return std::memcmp(data, device.paramMemory() + address, 32) == 0;
  }
  void TearDown() override {
    connection.CloseConnection();
    EXPECT_EQ(link.bus.violations, 0) << "a buffer or control block was used while outstanding";
    EXPECT_EQ(link.bus.openHandles, 0);
  }

  EmulatedLink link;
  EmulatedDevice device;
  DeviceConnection connection{link.bus};
  int waitsBefore = 0;
  std::int64_t startUs = 0;
};

TEST_F(Exchange, CopiesTheAnswersDataAndSendsOnce) {
  Open();
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0x120, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, 0x120));
  EXPECT_EQ(device.CountSeen(ReadParam), 1);
}

TEST_F(Exchange, WriteAndReadThatCompleteAtOnceNeedNoWait) {
  link.bus.writesPending = false;
  Open();
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeDone);
  EXPECT_EQ(Waits(), 0);
}

// A pass reads at most the driver's buffer count + 2 reports: the stale
// answers that fit in a pass are passed over without a re-send, one more
// makes the pass end and the request go out again.
struct StaleCase {
  std::uint32_t buffers;
  int stale;  // answers to earlier requests ahead of the answer
  std::uint32_t address;
  int sends;
};

class StaleAnswers : public Exchange, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StaleAnswers, ArePassedOverUpToTheBoundOfAPass) {
  device.inputBuffers = GetParam().buffers;
  device.answerDelayMs = 1;
  Open();
  device.faults.stale = 1;
  device.faults.staleCount = GetParam().stale;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(GetParam().address, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, GetParam().address));
  EXPECT_EQ(device.CountSeen(ReadParam), GetParam().sends);
}

INSTANTIATE_TEST_SUITE_P(Bound, StaleAnswers,
                         ::testing::Values(StaleCase{0, 1, 0x200, 1}, StaleCase{0, 2, 0x200, 2},
                                           StaleCase{3, 4, 0x200, 1}, StaleCase{3, 5, 0x200, 2},
                                           StaleCase{32, 5, 0x200, 1},
                                           // none before address 0: the Hello's answer
                                           StaleCase{0, 1, 0, 1}, StaleCase{32, 3, 0x20, 1}));

TEST_F(Exchange, ALateAnswerIsFoundAfterAResendAndItsTwinPassedOverLater) {
  Open();
  device.faults.late = 1;
  device.faults.lateMs = 300;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0x40, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, 0x40));
  EXPECT_EQ(device.CountSeen(ReadParam), 2);
  // The late answer to the first send arrives after all; the next request
  // passes over it and still gets its own data.
  EXPECT_EQ(Read(0x60, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, 0x60));
}

TEST_F(Exchange, AFailureStatusFailsWithoutRetry) {
  Open();
  device.faults.failStatus = 1;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeFailed);
  EXPECT_EQ(device.CountSeen(ReadParam), 1);
}

struct SignatureCase {
  int damaged;
  int result;
  int sends;
};

class WrongSignature : public Exchange, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(WrongSignature, SendsTheRequestAgainForAtMostThreePasses) {
  Open();
  device.faults.wrongSignature = GetParam().damaged;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0x20, data), GetParam().result);
  EXPECT_EQ(device.CountSeen(ReadParam), GetParam().sends);
  if (GetParam().result == ExchangeDone) {
    EXPECT_TRUE(HoldsMemory(data, 0x20));
  }
}

INSTANTIATE_TEST_SUITE_P(Passes, WrongSignature,
                         ::testing::Values(SignatureCase{1, ExchangeDone, 2},
                                           SignatureCase{2, ExchangeDone, 3},
                                           SignatureCase{3, ExchangeFailed, 3},
                                           SignatureCase{-1, ExchangeFailed, 3}));

TEST_F(Exchange, AnUnresponsiveDeviceFailsAfterOneWaitAndThreeResends) {
  link.bus.writesPending = false;
  Open();
  device.faults.silent = -1;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeFailed);
  EXPECT_EQ(device.CountSeen(ReadParam), 4);
  EXPECT_EQ(Waits(), 4);
  EXPECT_EQ(ElapsedUs(), 4 * kWaitUs);
}

TEST_F(Exchange, AnAnswerAfterTwoResendsIsStillTaken) {
  link.bus.writesPending = false;
  Open();
  device.faults.silent = 2;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0x7E0, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, 0x7E0));
  EXPECT_EQ(device.CountSeen(ReadParam), 3);
}

TEST_F(Exchange, AWriteThatTimesOutIsCancelledAndIssuedAgain) {
  Open();
  device.faults.stallWrites = 2;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0x100, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, 0x100));
  EXPECT_EQ(device.CountSeen(ReadParam), 1);
  EXPECT_GE(ElapsedUs(), 2 * kWaitUs);
}

TEST_F(Exchange, ThreeWriteTimeOutsFailTheExchange) {
  Open();
  device.faults.stallWrites = -1;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeFailed);
  EXPECT_EQ(device.CountSeen(ReadParam), 0);
  EXPECT_EQ(Waits(), 3);
}

TEST_F(Exchange, AStalledResendWhileTheReadIsOutstandingKeepsTheReadIntact) {
  link.bus.writesPending = true;
  Open();
  // The first request is lost; the re-send's write hangs once and is
  // issued again, and the answer then reaches the read still outstanding.
  device.faults.silent = 1;
  device.faults.stallSkip = 1;
  device.faults.stallWrites = 1;
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0x300, data), ExchangeDone);
  EXPECT_TRUE(HoldsMemory(data, 0x300));
}

TEST_F(Exchange, AbortWinsOverAFinishedOperation) {
  Open();
  link.abort.Set();  // the write finishes at the first wait, but the abort is seen first
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeAborted);
  EXPECT_EQ(Waits(), 1);
}

TEST_F(Exchange, AbortDuringAnOutstandingReadLetsTheReadFinish) {
  link.bus.writesPending = false;
  Open();
  device.faults.silent = -1;
  link.abort.Set();
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeAborted);
  EXPECT_EQ(ElapsedUs(), 0);
  // The read was cancelled and settled (TearDown checks), so the
  // connection can go on once the abort is gone.
  link.abort.Reset();
  device.faults.silent = 0;
  EXPECT_EQ(Read(0x20, data), ExchangeDone);
}

TEST_F(Exchange, ADeviceUnpluggedInTheMiddleFailsAtOnce) {
  Open();
  std::uint8_t data[32] = {};
  EXPECT_EQ(Read(0, data), ExchangeDone);
  device.Remove();
  EXPECT_EQ(Read(0x20, data), ExchangeFailed);
  EXPECT_LE(Waits(), 1);
  EXPECT_EQ(ElapsedUs(), 0);
}

TEST_F(Exchange, FlashReadsCarryTheirDataFromByteEleven) {
  std::uint8_t record[252];
  for (int i = 0; i < 252; ++i) record[i] = static_cast<std::uint8_t>(255 - i);
  device.SetRecord(3, record, 0x123456);
  Open();
  std::uint8_t data[54] = {};
  EXPECT_EQ(connection.Exchange(ReadFlash, 3 * 256 + 54, data, 54), ExchangeDone);
  EXPECT_EQ(0, std::memcmp(data, record + 54, 54));
  std::uint8_t trailer[4] = {};
  EXPECT_EQ(connection.Exchange(ReadFlash, 3 * 256 + 252, trailer, 4), ExchangeDone);
  EXPECT_EQ(trailer[0], 0x56);
  EXPECT_EQ(trailer[2], 0x12);
}

}  // namespace
