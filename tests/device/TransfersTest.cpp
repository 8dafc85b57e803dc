#include "device/Transfers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "device/DeviceConnection.h"
#include "config/ImageMap.h"
#include "device/DeviceTestSupport.h"

namespace {

std::vector<std::intptr_t> Steps(int from, int to, int step) {
  std::vector<std::intptr_t> v;
  for (int p = from; p <= to; p += step) v.push_back(p);
  return v;
}

std::vector<std::uint8_t> Record(std::uint8_t seed) {
  std::vector<std::uint8_t> r(252);
  for (int i = 0; i < 252; ++i) r[i] = static_cast<std::uint8_t>(seed + i * 3);
  return r;
}

class Transfers : public ::testing::Test {
 protected:
  void SetUp() override {
    link.bus.Add(device);
    for (std::size_t i = 0; i < kParamMemorySize; ++i)
      device.paramMemory()[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    std::memset(image, 0xA5, sizeof image);
    ASSERT_TRUE(connection.FindAndOpen());
    device.ClearLog();
  }
  void TearDown() override {
    connection.CloseConnection();
    EXPECT_EQ(link.bus.violations, 0);
  }
  std::vector<EmulatedDevice::Seen> Log() { return device.log(); }

  EmulatedLink link;
  EmulatedDevice device;
  DeviceConnection connection{link.bus};
  RecordingSink sink;
  std::uint8_t image[kDeviceImageSize];
};

TEST_F(Transfers, ReadParamMemoryReadsSixtyFourBlocksInOrder) {
  ASSERT_TRUE(ReadParamMemoryTransfer(connection, image, sink));
  EXPECT_EQ(0, std::memcmp(image, device.paramMemory(), kParamMemorySize));
  EXPECT_EQ(image[kParamMemorySize], 0xA5);  // nothing beyond the parameter area
  ASSERT_EQ(Log().size(), 64u);
  for (std::uint32_t i = 0; i < 64; ++i) {
    EXPECT_EQ(Log()[i].command, ReadParam);
    EXPECT_EQ(Log()[i].address, 32 * i);
    EXPECT_EQ(Log()[i].length, 32);
  }
  EXPECT_EQ(sink.progress(), Steps(64, 2048, 64));
}

TEST_F(Transfers, WriteParamMemoryWritesTheImagesParameterArea) {
  for (std::size_t i = 0; i < kDeviceImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(WriteParamMemoryTransfer(connection, image, sink));
  EXPECT_EQ(0, std::memcmp(image, device.paramMemory(), kParamMemorySize));
  ASSERT_EQ(Log().size(), 64u);
  EXPECT_EQ(Log()[63].address, 2016u);
  EXPECT_EQ(sink.progress(), Steps(2112, 4096, 64));
}

TEST_F(Transfers, AFailedBlockEndsTheTransferAndKeepsWhatWasWritten) {
  std::vector<std::uint8_t> before(device.paramMemory(), device.paramMemory() + kParamMemorySize);
  for (std::size_t i = 0; i < kParamMemorySize; ++i) image[i] = static_cast<std::uint8_t>(~before[i]);
  device.faults.removeAfter = 5;
  EXPECT_FALSE(WriteParamMemoryTransfer(connection, image, sink));
  for (std::size_t i = 0; i < kParamMemorySize; ++i)
    ASSERT_EQ(device.paramMemory()[i], i < 5 * 32 ? image[i] : before[i]) << i;
  EXPECT_EQ(sink.progress(), Steps(2112, 2112 + 64, 64));
}

TEST_F(Transfers, AFailureStatusEndsTheReadAtThatBlock) {
  device.faults.command = ReadParam;
  device.faults.failStatus = 1;
  EXPECT_FALSE(ReadParamMemoryTransfer(connection, image, sink));
  EXPECT_EQ(Log().size(), 1u);
  EXPECT_TRUE(sink.progress().empty());
}

TEST_F(Transfers, ReadFlashRecordReadsAllTrailersThenTheBestSlotInFivePieces) {
  device.SetRecord(0, Record(1).data(), 5);
  device.SetRecord(9, Record(2).data(), 6);
  device.SetRecord(4, Record(3).data(), 4);
  ASSERT_TRUE(ReadFlashRecordTransfer(connection, image, sink));
  EXPECT_EQ(0, std::memcmp(image + 2048, Record(2).data(), 252));
  EXPECT_EQ(image[2300], 0xA5);  // the trailer is not copied
  ASSERT_EQ(Log().size(), 37u);
  for (std::uint32_t k = 0; k < 32; ++k) {
    EXPECT_EQ(Log()[k].command, ReadFlash);
    EXPECT_EQ(Log()[k].address, 256 * k + 252);
    EXPECT_EQ(Log()[k].length, 4);
  }
  const std::uint32_t pieces[5][2] = {{0, 54}, {54, 54}, {108, 54}, {162, 54}, {216, 36}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Log()[32 + i].address, 9 * 256 + pieces[i][0]);
    EXPECT_EQ(Log()[32 + i].length, pieces[i][1]);
  }
  std::vector<std::intptr_t> expected = Steps(2112, 3072, 64);
  expected.push_back(3328);
  EXPECT_EQ(sink.progress(), expected);
}

TEST_F(Transfers, NoValidSlotGivesZeroBytesAndSucceeds) {
  device.EraseRecordArea();
  device.SetRecord(7, Record(9).data(), 0xFFFFFF, /*valid=*/false);
  ASSERT_TRUE(ReadFlashRecordTransfer(connection, image, sink));
  for (int i = 2048; i < 2300; ++i) ASSERT_EQ(image[i], 0) << i;
  EXPECT_EQ(Log().size(), 32u);
  EXPECT_EQ(sink.progress().back(), 3072);
}

TEST_F(Transfers, WriteFlashRecordErasesAndWritesSlotZeroWithCounterOne) {
  device.SetRecord(5, Record(4).data(), 100);
  const std::vector<std::uint8_t> data = Record(8);
  std::memcpy(image + 2048, data.data(), 252);
  ASSERT_TRUE(WriteFlashRecordTransfer(connection, image, sink));
  EXPECT_EQ(image[2300], 0x01);
  EXPECT_EQ(image[2301], 0x00);
  EXPECT_EQ(image[2302], 0x00);
  EXPECT_EQ(image[2303], 0x79);
  EXPECT_EQ(0, std::memcmp(device.flash(), image + 2048, 256));
  for (std::size_t i = 256; i < kRecordAreaSize; ++i) ASSERT_EQ(device.flash()[i], 0xFF) << i;
  const std::vector<EmulatedDevice::Seen> log = Log();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0].command, EraseFlash);
  EXPECT_EQ(log[0].address, 0u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(log[1 + i].command, WriteFlash);
    EXPECT_EQ(log[1 + i].address, 54u * i);
    EXPECT_EQ(log[1 + i].length, 54);
  }
  EXPECT_EQ(log[5].command, WriteFlashEnd);
  EXPECT_EQ(log[5].address, 216u);
  EXPECT_EQ(log[5].length, 40);
  EXPECT_EQ(sink.progress(), std::vector<std::intptr_t>{4352});

  // Read back: the record just written is the current one.
  std::uint8_t again[kDeviceImageSize] = {};
  ASSERT_TRUE(ReadFlashRecordTransfer(connection, again, sink));
  EXPECT_EQ(0, std::memcmp(again + 2048, data.data(), 252));
}

TEST_F(Transfers, AFailedEraseWritesNothing) {
  device.faults.command = EraseFlash;
  device.faults.failStatus = 1;
  EXPECT_FALSE(WriteFlashRecordTransfer(connection, image, sink));
  EXPECT_EQ(Log().size(), 1u);
  EXPECT_TRUE(sink.progress().empty());
}

// Slot choice over the 32 trailers.
struct SlotCase {
  const char* name;
  std::vector<std::pair<int, std::uint32_t>> valid;  // slot, counter
  std::vector<std::pair<int, std::uint32_t>> broken;  // slot, counter with a wrong CRC-8
  int expected;
};

class SlotChoice : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotChoice, PicksTheNewestValidSlot) {
  const SlotCase& c = GetParam();
  std::uint8_t trailers[32][4];
  std::memset(trailers, 0xFF, sizeof trailers);  // erased
  auto put = [&](int slot, std::uint32_t counter, bool valid) {
    trailers[slot][0] = static_cast<std::uint8_t>(counter);
    trailers[slot][1] = static_cast<std::uint8_t>(counter >> 8);
    trailers[slot][2] = static_cast<std::uint8_t>(counter >> 16);
    trailers[slot][3] = static_cast<std::uint8_t>(Crc8(trailers[slot], 3) ^ (valid ? 0 : 1));
  };
  for (auto [slot, counter] : c.valid) put(slot, counter, true);
  for (auto [slot, counter] : c.broken) put(slot, counter, false);
  EXPECT_EQ(ChooseRecordSlot(trailers), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Trailers, SlotChoice,
    ::testing::Values(
        SlotCase{"all erased", {}, {}, -1},
        SlotCase{"only broken ones", {}, {{0, 1}, {1, 2}}, -1},
        SlotCase{"one valid", {{12, 1}}, {}, 12},
        SlotCase{"counter zero is valid", {{3, 0}}, {}, 3},
        SlotCase{"highest counter", {{0, 5}, {1, 9}, {2, 7}}, {}, 1},
        SlotCase{"equal counters go to the later slot", {{0, 4}, {5, 4}}, {}, 5},
        SlotCase{"a wrapped counter beats one close to the wrap", {{3, 0xFFFFF0}, {7, 0x000002}},
                 {}, 7},
        SlotCase{"a broken CRC is ignored however high", {{2, 10}}, {{3, 0x7FFFFF}}, 2},
        SlotCase{"the last slot", {{0, 1}, {31, 2}}, {}, 31}));

}  // namespace
