#include "device/Transfers.h"

#include <cstring>

#include "device/Protocol.h"

namespace {
bool Ok(int result) { return result == ExchangeDone; }
}  // namespace

bool ReadParamMemoryTransfer(IExchanger& link, std::uint8_t* image, INotifySink& sink) {
  for (std::uint32_t a = 0; a < kParamMemorySize; a += kParamBlock) {
    if (!Ok(link.Exchange(ReadParam, a, image + a, kParamBlock))) return false;
    if ((a + kParamBlock) % 64 == 0) sink.Post(Notify::Progress, a + kParamBlock);
  }
  return true;
}

bool WriteParamMemoryTransfer(IExchanger& link, const std::uint8_t* image, INotifySink& sink) {
  for (std::uint32_t a = 0; a < kParamMemorySize; a += kParamBlock) {
    std::uint8_t block[kParamBlock];
    std::memcpy(block, image + a, kParamBlock);
    if (!Ok(link.Exchange(WriteParam, a, block, kParamBlock))) return false;
    if ((a + kParamBlock) % 64 == 0) sink.Post(Notify::Progress, 2048 + a + kParamBlock);
  }
  return true;
}

int ChooseRecordSlot(const std::uint8_t (*trailers)[4]) {
  int best = -1;
  std::uint32_t bestCounter = 0;
  for (int k = 0; k < static_cast<int>(kRecordSlots); ++k) {
    const std::uint8_t* t = trailers[k];
    if (Crc8(t, 3) != t[3]) continue;
    const std::uint32_t c = t[0] | (t[1] << 8) | (static_cast<std::uint32_t>(t[2]) << 16);
    const bool wrapped = (bestCounter >> 16) == 0xFF && (c >> 16) == 0x00;
    if (wrapped || c >= bestCounter) {
      best = k;
      bestCounter = c;
    }
  }
  return best;
}

bool ReadFlashRecordTransfer(IExchanger& link, std::uint8_t* image, INotifySink& sink) {
  std::uint8_t trailers[kRecordSlots][4];
  for (std::uint32_t k = 0; k < kRecordSlots; ++k) {
    if (!Ok(link.Exchange(ReadFlash, kSlotSize * k + kRecordDataSize, trailers[k], 4)))
      return false;
    if (k % 2 == 1) sink.Post(Notify::Progress, 2080 + 32 * k);
  }
  std::uint8_t* record = image + kRecordImageOffset;
  const int best = ChooseRecordSlot(trailers);
  if (best < 0) {
    std::memset(record, 0, kRecordDataSize);
    return true;
  }
  for (std::uint32_t offset = 0; offset < kRecordDataSize; offset += kFlashPiece) {
    const std::uint32_t piece =
        kRecordDataSize - offset < kFlashPiece ? kRecordDataSize - offset : kFlashPiece;
    if (!Ok(link.Exchange(ReadFlash, kSlotSize * best + offset, record + offset,
                          static_cast<std::uint8_t>(piece))))
      return false;
  }
  sink.Post(Notify::Progress, kReadRecordEnd);
  return true;
}

bool WriteFlashPage(IExchanger& link, std::uint32_t address, const std::uint8_t* page) {
  std::uint32_t offset = 0;
  while (kSlotSize - offset > kFlashPiece) {
    std::uint8_t piece[kFlashPiece];
    std::memcpy(piece, page + offset, kFlashPiece);
    if (!Ok(link.Exchange(WriteFlash, address + offset, piece, kFlashPiece))) return false;
    offset += kFlashPiece;
  }
  std::uint8_t last[kFlashPiece];
  const std::uint32_t rest = kSlotSize - offset;
  std::memcpy(last, page + offset, rest);
  return Ok(link.Exchange(WriteFlashEnd, address + offset, last, static_cast<std::uint8_t>(rest)));
}

bool WriteFlashRecordTransfer(IExchanger& link, std::uint8_t* image, INotifySink& sink) {
  std::uint8_t* trailer = image + kTrailerImageOffset;
  trailer[0] = 0x01;
  trailer[1] = 0x00;
  trailer[2] = 0x00;
  trailer[3] = Crc8(trailer, 3);
  if (!Ok(link.Exchange(EraseFlash, 0, nullptr, 0))) return false;
  if (!WriteFlashPage(link, 0, image + kRecordImageOffset)) return false;
  sink.Post(Notify::Progress, kWriteRecordEnd);
  return true;
}
