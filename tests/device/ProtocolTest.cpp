#include "device/Protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Build(std::uint8_t command, std::uint32_t address, std::uint8_t length,
            const std::uint8_t* data = nullptr, std::uint8_t* stored = nullptr) {
  Bytes report(kReportSize, 0xEE);
  const std::uint8_t s = BuildOutputReport(report.data(), command, address, data, length);
  if (stored) *stored = s;
  return report;
}

TEST(Crc8, CheckValues) {
  const std::uint8_t counterOne[] = {0x01, 0x00, 0x00};
  EXPECT_EQ(Crc8(counterOne, 3), 0x79);
  EXPECT_EQ(Crc8(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0x0B);
  const std::uint8_t erased[] = {0xFF, 0xFF, 0xFF};
  EXPECT_NE(Crc8(erased, 3), 0xFF);  // an erased trailer is never valid
  EXPECT_EQ(Crc8(erased, 0), 0xFF);  // the preset, with nothing to process
}

TEST(OutputReport, ExamplesFromTheWire) {
  // ReadParam of 32 bytes at 0x0120.
  Bytes r = Build(ReadParam, 0x0120, 32);
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 9), (Bytes{0x00, 0x8C, 0x53, 0xF1, 0x2D, 0x02, 0x20, 0x01, 0x20}));
  // ReadFlash of 4 bytes at 0x0001FC.
  r = Build(ReadFlash, 0x0001FC, 4);
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 10),
            (Bytes{0x00, 0x8C, 0x53, 0xF1, 0x2D, 0x04, 0xFC, 0x01, 0x00, 0x04}));
  // Hello carries no fields; everything after the command is zero.
  r = Build(Hello, 0x123456, 9);
  EXPECT_EQ(r[5], 0);
  for (std::size_t i = 6; i < kReportSize; ++i) EXPECT_EQ(r[i], 0) << i;
  r = Build(EraseFlash, 0xABCDEF, 0);
  EXPECT_EQ(Bytes(r.begin() + 5, r.begin() + 10), (Bytes{0x03, 0xEF, 0xCD, 0xAB, 0x00}));
}

struct CutCase {
  std::uint8_t command;
  std::uint8_t asked;
  std::uint8_t stored;
  std::size_t lengthByte;
  std::size_t dataOffset;  // 0: no data copied
};

class LengthCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(LengthCut, IsCutBeforeItIsStoredAndBeforeDataAreCopied) {
  const CutCase c = GetParam();
  std::uint8_t data[255];
  for (int i = 0; i < 255; ++i) data[i] = static_cast<std::uint8_t>(i + 1);
  std::uint8_t stored = 0;
  const Bytes r = Build(c.command, 0x000102, c.asked, data, &stored);
  EXPECT_EQ(stored, c.stored);
  EXPECT_EQ(r[c.lengthByte], c.stored);
  if (c.dataOffset) {
    for (std::size_t i = 0; i < c.stored; ++i) ASSERT_EQ(r[c.dataOffset + i], i + 1) << i;
    // Nothing beyond the stored length, and never beyond the report.
    for (std::size_t i = c.dataOffset + c.stored; i < kReportSize; ++i) ASSERT_EQ(r[i], 0) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LengthCut,
    ::testing::Values(CutCase{WriteParam, 32, 32, 8, 9}, CutCase{WriteParam, 33, 32, 8, 9},
                      CutCase{WriteParam, 255, 32, 8, 9}, CutCase{ReadParam, 200, 32, 8, 0},
                      CutCase{ReadFlash, 54, 54, 9, 0}, CutCase{ReadFlash, 55, 54, 9, 0},
                      CutCase{WriteFlash, 55, 55, 9, 10}, CutCase{WriteFlash, 56, 55, 9, 10},
                      CutCase{WriteFlashEnd, 255, 55, 9, 10}, CutCase{WriteFlashEnd, 40, 40, 9, 10}));

// An answer as the device sends it.
Bytes Reply(std::uint8_t code, std::uint8_t status, Bytes echo) {
  Bytes r(kReportSize, 0);
  std::memcpy(r.data() + 1, kPacketSignature, 4);
  r[5] = code;
  r[6] = status;
  std::copy(echo.begin(), echo.end(), r.begin() + 7);
  return r;
}

struct ReplyCase {
  const char* name;
  Bytes reply;
  std::uint8_t command;
  std::uint32_t address;
  std::uint8_t length;
  ReplyKind expected;
};

class Acceptance : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(Acceptance, FollowsTheCommandsRule) {
  const ReplyCase& c = GetParam();
  EXPECT_EQ(ClassifyReply(c.reply.data(), c.command, c.address, c.length), c.expected) << c.name;
}

Bytes BadSignature() {
  Bytes r = Reply(ReadParam, 1, {0x20, 0x01, 0x20});
  r[4] = 0x2E;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, Acceptance,
    ::testing::Values(
        ReplyCase{"hello ok", Reply(0x80, 3, {0, 1}), Hello, 0, 0, ReplyKind::Done},
        ReplyCase{"hello other identity", Reply(0x00, 3, {0, 2}), Hello, 0, 0, ReplyKind::Failed},
        ReplyCase{"hello status 1", Reply(0x00, 1, {0x20, 0x01}), Hello, 0, 0, ReplyKind::Failed},
        ReplyCase{"read param", Reply(0x02, 1, {0x20, 0x01, 0x20}), ReadParam, 0x120, 32,
                  ReplyKind::Done},
        ReplyCase{"read param, bit 7 set", Reply(0x82, 1, {0x20, 0x01, 0x20}), ReadParam, 0x120,
                  32, ReplyKind::Done},
        ReplyCase{"read param, other address", Reply(0x02, 1, {0x40, 0x01, 0x20}), ReadParam,
                  0x120, 32, ReplyKind::NotTheAnswer},
        ReplyCase{"read param, other length", Reply(0x02, 1, {0x20, 0x01, 0x10}), ReadParam,
                  0x120, 32, ReplyKind::NotTheAnswer},
        ReplyCase{"read param, failure", Reply(0x02, 0, {0x20, 0x01, 0x20}), ReadParam, 0x120, 32,
                  ReplyKind::Failed},
        ReplyCase{"read param, status 2", Reply(0x02, 2, {0x20, 0x01, 0x20}), ReadParam, 0x120,
                  32, ReplyKind::Failed},
        ReplyCase{"write param answered as read", Reply(0x02, 1, {0x20, 0x01, 0x20}), WriteParam,
                  0x120, 32, ReplyKind::OtherCommand},
        ReplyCase{"wrong signature", BadSignature(), ReadParam, 0x120, 32,
                  ReplyKind::WrongSignature},
        ReplyCase{"erase", Reply(0x83, 1, {0x00, 0x00, 0x00}), EraseFlash, 0, 0, ReplyKind::Done},
        ReplyCase{"erase, other bank", Reply(0x03, 1, {0x00, 0x00, 0x01}), EraseFlash, 0, 0,
                  ReplyKind::NotTheAnswer},
        ReplyCase{"read flash", Reply(0x04, 1, {0xFC, 0x01, 0x00, 0x04}), ReadFlash, 0x1FC, 4,
                  ReplyKind::Done},
        ReplyCase{"read flash, high byte differs", Reply(0x04, 1, {0xFC, 0x01, 0x01, 0x04}),
                  ReadFlash, 0x1FC, 4, ReplyKind::NotTheAnswer},
        ReplyCase{"write flash end", Reply(0x07, 1, {0xD8, 0x00, 0x00, 40}), WriteFlashEnd, 0xD8,
                  40, ReplyKind::Done},
        ReplyCase{"write flash end, other length", Reply(0x07, 1, {0xD8, 0x00, 0x00, 54}),
                  WriteFlashEnd, 0xD8, 40, ReplyKind::NotTheAnswer},
        ReplyCase{"write flash answered by end", Reply(0x07, 1, {0xD8, 0x00, 0x00, 40}),
                  WriteFlash, 0xD8, 40, ReplyKind::OtherCommand}));

}  // namespace
