#include "device/EmulatedDevice.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t kReplyFlag = 0x80;  // the device marks its answers in the command byte
constexpr std::uint8_t kStatusOk = 1;
constexpr std::uint8_t kStatusError = 0;

std::uint32_t Address16(const std::uint8_t* r) { return r[6] | (r[7] << 8); }
std::uint32_t Address24(const std::uint8_t* r) {
  return r[6] | (r[7] << 8) | (static_cast<std::uint32_t>(r[8]) << 16);
}
}  // namespace

EmulatedDevice::EmulatedDevice() {
  param_.fill(0xFF);
  EraseRecordArea();
}

void EmulatedDevice::SetImage(const std::uint8_t* image, int slot, std::uint32_t counter) {
  std::memcpy(param_.data(), image, kParamMemorySize);
  SetRecord(slot, image + kParamMemorySize, counter);
}

void EmulatedDevice::SetRecord(int slot, const std::uint8_t* data, std::uint32_t counter,
                               bool valid) {
  std::uint8_t* s = flash_.data() + kSlotSize * (static_cast<std::size_t>(slot) % kRecordSlots);
  std::memcpy(s, data, kRecordDataSize);
  s[252] = static_cast<std::uint8_t>(counter);
  s[253] = static_cast<std::uint8_t>(counter >> 8);
  s[254] = static_cast<std::uint8_t>(counter >> 16);
  s[255] = static_cast<std::uint8_t>(Crc8(s + 252, 3) ^ (valid ? 0 : 0x5A));
}

void EmulatedDevice::EraseRecordArea() { flash_.fill(0xFF); }

int EmulatedDevice::CountSeen(std::uint8_t command) const {
  return static_cast<int>(
      std::count_if(log_.begin(), log_.end(), [&](const Seen& s) { return s.command == command; }));
}

bool EmulatedDevice::Matches(std::uint8_t command) const {
  return faults.command < 0 || faults.command == command;
}

bool EmulatedDevice::Take(int& count) {
  if (count == 0) return false;
  if (count > 0) --count;
  return true;
}

bool EmulatedDevice::TakesOutputReport() {
  if (removed_) return false;
  if (faults.stallSkip > 0) {
    --faults.stallSkip;
    return true;
  }
  return !Take(faults.stallWrites);
}

Report EmulatedDevice::Answer(const std::uint8_t* request) {
  Report reply{};
  std::memcpy(reply.data() + 1, kPacketSignature, sizeof kPacketSignature);
  const std::uint8_t command = request[5];
  reply[5] = static_cast<std::uint8_t>(command | kReplyFlag);
  std::uint8_t status = kStatusError;
  switch (command) {
    case Hello:
      std::memcpy(reply.data() + 6, helloIdentity, 3);
      return reply;
    case WriteParam:
    case ReadParam: {
      const std::uint32_t address = Address16(request);
      const std::uint8_t length = request[8];
      reply[7] = request[6];
      reply[8] = request[7];
      reply[9] = length;
      if (length <= kParamBlock && address + length <= kParamMemorySize) {
        if (command == WriteParam)
          std::memcpy(param_.data() + address, request + 9, length);
        else
          std::memcpy(reply.data() + 10, param_.data() + address, length);
        status = kStatusOk;
      }
      break;
    }
    case EraseFlash: {
      // Erasing at address 0 clears the whole record area, so that the
      // record written next to slot 0 is the only valid one. Any other
      // address erases the slot that holds it.
      const std::uint32_t address = Address24(request);
      reply[7] = request[6];
      reply[8] = request[7];
      reply[9] = request[8];
      if (address == 0) {
        EraseRecordArea();
        status = kStatusOk;
      } else if (address < kRecordAreaSize) {
        std::fill_n(flash_.data() + (address & ~(kSlotSize - 1)), kSlotSize, 0xFF);
        status = kStatusOk;
      }
      break;
    }
    case ReadFlash:
    case WriteFlash:
    case WriteFlashEnd: {
      const std::uint32_t address = Address24(request);
      const std::uint8_t length = request[9];
      std::memcpy(reply.data() + 7, request + 6, 4);
      const std::uint32_t offset = address % kSlotSize;
      if (command == ReadFlash) {
        if (length <= kFlashPiece && address + length <= kRecordAreaSize) {
          std::memcpy(reply.data() + 11, flash_.data() + address, length);
          status = kStatusOk;
        }
      } else if (length <= MaxLength(command) && offset + length <= kSlotSize &&
                 address < kRecordAreaSize) {
        // Pieces collect in the page buffer; WriteFlashEnd programs the
        // page. Programming can only clear bits, as in any flash memory.
        std::memcpy(pageBuffer_.data() + offset, request + 10, length);
        if (command == WriteFlashEnd) {
          std::uint8_t* page = flash_.data() + (address - offset);
          for (std::size_t i = 0; i < kSlotSize; ++i) page[i] &= pageBuffer_[i];
          pageBuffer_.fill(0xFF);
        }
        status = kStatusOk;
      }
      break;
    }
    default:
      std::memcpy(reply.data() + 7, request + 6, 4);
      break;
  }
  reply[6] = status;
  return reply;
}

std::vector<EmulatedReply> EmulatedDevice::Handle(const std::uint8_t* request) {
  std::vector<EmulatedReply> replies;
  if (removed_) return replies;
  const std::uint8_t command = request[5];
  log_.push_back({command, command <= ReadParam ? Address16(request) : Address24(request),
                  command == Hello ? std::uint8_t{0}
                  : command <= ReadParam ? request[8]
                                          : request[9]});
  if (script) {
    replies = script(request, Answer(request));
    if (faults.removeAfter > 0 && --faults.removeAfter == 0) removed_ = true;
    return replies;
  }
  const bool matches = Matches(command);
  if (matches && Take(faults.silent)) {
    // The request is lost: the device does not act on it.
  } else {
    if (matches && Take(faults.stale)) {
      // Answers to earlier requests of the same kind that still wait in the
      // input queue: same command, an earlier address, so that none can
      // match a later request of a transfer, which goes up through the
      // addresses. Below the first address the earlier request was the
      // Hello that opened the link (and before a Hello, a ReadParam).
      for (int i = faults.staleCount; i >= 1; --i) {
        Report earlier;
        std::memcpy(earlier.data(), request, kReportSize);
        const bool small = command <= ReadParam;
        const std::uint32_t step = small ? kParamBlock : kSlotSize;
        const std::uint32_t address = small ? Address16(request) : Address24(request);
        if (command == Hello) {
          earlier[5] = ReadParam;
          earlier[6] = earlier[7] = 0;
          earlier[8] = kParamBlock;
        } else if (address < step * static_cast<std::uint32_t>(i)) {
          earlier[5] = Hello;
        } else {
          const std::uint32_t a = address - step * static_cast<std::uint32_t>(i);
          earlier[6] = static_cast<std::uint8_t>(a);
          earlier[7] = static_cast<std::uint8_t>(a >> 8);
          if (!small) earlier[8] = static_cast<std::uint8_t>(a >> 16);
        }
        // The stale answer is made without changing any memory: a write's
        // is a read's answer carrying the write's command code.
        const std::uint8_t kind = earlier[5];
        if (kind == WriteParam) earlier[5] = ReadParam;
        if (kind == WriteFlash || kind == WriteFlashEnd || kind == EraseFlash) earlier[5] = ReadFlash;
        Report stale = Answer(earlier.data());
        stale[5] = static_cast<std::uint8_t>(kind | kReplyFlag);
        replies.push_back({stale, 0});
      }
    }
    EmulatedReply answer{Answer(request), 0};
    if (matches && Take(faults.wrongSignature)) answer.report[2] ^= 0xFF;
    if (matches && Take(faults.failStatus)) answer.report[6] = command == Hello ? 0 : kStatusError;
    if (matches && Take(faults.late)) answer.extraDelayMs = faults.lateMs;
    replies.push_back(answer);
  }
  if (faults.removeAfter > 0 && --faults.removeAfter == 0) removed_ = true;
  return replies;
}
