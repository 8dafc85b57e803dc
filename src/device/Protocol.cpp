#include "device/Protocol.h"

#include <cstring>

std::uint8_t MaxLength(std::uint8_t command) {
  switch (command) {
    case WriteParam:
    case ReadParam:
      return 32;
    case ReadFlash:
      return 54;
    case WriteFlash:
    case WriteFlashEnd:
      return 55;
    default:
      return 0;
  }
}

bool IsReadCommand(std::uint8_t command) { return command == ReadParam || command == ReadFlash; }

std::size_t ReplyDataOffset(std::uint8_t command) { return command == ReadParam ? 10 : 11; }

std::uint8_t BuildOutputReport(std::uint8_t* report, std::uint8_t command, std::uint32_t address,
                               const std::uint8_t* data, std::uint8_t length) {
  std::memset(report, 0, kReportSize);
  std::memcpy(report + 1, kPacketSignature, sizeof kPacketSignature);
  report[5] = command;
  const std::uint8_t limit = MaxLength(command);
  if (length > limit) length = limit;
  switch (command) {
    case WriteParam:
    case ReadParam:
      report[6] = static_cast<std::uint8_t>(address);
      report[7] = static_cast<std::uint8_t>(address >> 8);
      report[8] = length;
      if (command == WriteParam && data) std::memcpy(report + 9, data, length);
      break;
    case EraseFlash:
      report[6] = static_cast<std::uint8_t>(address);
      report[7] = static_cast<std::uint8_t>(address >> 8);
      report[8] = static_cast<std::uint8_t>(address >> 16);
      break;
    case ReadFlash:
    case WriteFlash:
    case WriteFlashEnd:
      report[6] = static_cast<std::uint8_t>(address);
      report[7] = static_cast<std::uint8_t>(address >> 8);
      report[8] = static_cast<std::uint8_t>(address >> 16);
      report[9] = length;
      if (command != ReadFlash && data) std::memcpy(report + 10, data, length);
      break;
    default:  // Hello: no fields
      length = 0;
      break;
  }
  return length;
}

ReplyKind ClassifyReply(const std::uint8_t* reply, std::uint8_t command, std::uint32_t address,
                        std::uint8_t length) {
  if (std::memcmp(reply + 1, kPacketSignature, sizeof kPacketSignature) != 0)
    return ReplyKind::WrongSignature;
  if ((reply[5] & 0x7F) != command) return ReplyKind::OtherCommand;
  const std::uint8_t a0 = static_cast<std::uint8_t>(address);
  const std::uint8_t a1 = static_cast<std::uint8_t>(address >> 8);
  const std::uint8_t a2 = static_cast<std::uint8_t>(address >> 16);
  bool echo = true;
  switch (command) {
    case Hello:
      // The first report with the Hello code is the answer; its three
      // identification bytes decide.
      return reply[6] == kHelloIdentity[0] && reply[7] == kHelloIdentity[1] &&
                     reply[8] == kHelloIdentity[2]
                 ? ReplyKind::Done
                 : ReplyKind::Failed;
    case WriteParam:
    case ReadParam:
      echo = reply[7] == a0 && reply[8] == a1 && reply[9] == length;
      break;
    case EraseFlash:
      echo = reply[7] == a0 && reply[8] == a1 && reply[9] == a2;
      break;
    case ReadFlash:
    case WriteFlash:
    case WriteFlashEnd:
      echo = reply[7] == a0 && reply[8] == a1 && reply[9] == a2 && reply[10] == length;
      break;
    default:
      echo = false;  // nothing answers a command the device does not know
      break;
  }
  if (!echo) return ReplyKind::NotTheAnswer;
  return reply[6] == 1 ? ReplyKind::Done : ReplyKind::Failed;
}

std::uint8_t Crc8(const std::uint8_t* data, std::size_t count) {
  // The value each set bit of (register XOR byte) contributes, bit 0 first.
  static const std::uint8_t kBitValues[8] = {0x5E, 0xBC, 0x61, 0xC2, 0x9D, 0x23, 0x46, 0x8C};
  std::uint8_t crc = 0xFF;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t x = static_cast<std::uint8_t>(crc ^ data[i]);
    crc = 0;
    for (int bit = 0; bit < 8; ++bit)
      if (x & (1u << bit)) crc ^= kBitValues[bit];
  }
  return crc;
}
