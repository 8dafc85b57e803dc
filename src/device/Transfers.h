// The four ConfigImage transfers, each a fixed sequence of exchanges on an
// open connection. They stop at the first exchange that is not done and
// fail; data already written stay written. The caller holds the image lock.
#pragma once
#include <cstddef>
#include <cstdint>

#include "device/DeviceWorker.h"
#include "device/DeviceConnection.h"

// DeviceImage layout: the ConfigImage, then the flash record's trailer.
constexpr std::size_t kRecordImageOffset = 2048;   // record data in the DeviceImage
constexpr std::size_t kTrailerImageOffset = 2300;  // counter (3 bytes) and CRC-8

// Progress positions at the end of each transfer.
constexpr int kReadParamEnd = 2048;
constexpr int kWriteParamEnd = 4096;
constexpr int kReadRecordEnd = 3328;
constexpr int kWriteRecordEnd = 4352;

// Reads the 2048 bytes of parameter memory into image bytes 0-2047.
bool ReadParamMemoryTransfer(IExchanger& link, std::uint8_t* image, INotifySink& sink);
// Writes image bytes 0-2047 to the parameter memory.
bool WriteParamMemoryTransfer(IExchanger& link, const std::uint8_t* image, INotifySink& sink);
// Finds the current flash record and reads its 252 data bytes into image
// bytes 2048-2299 (all zero when no slot is valid).
bool ReadFlashRecordTransfer(IExchanger& link, std::uint8_t* image, INotifySink& sink);
// Writes image bytes 2048-2299 as the record in slot 0 with counter 1,
// after erasing the record area; sets the trailer bytes 2300-2303.
bool WriteFlashRecordTransfer(IExchanger& link, std::uint8_t* image, INotifySink& sink);

// The slot that holds the current record, given the 4-byte trailers of
// all 32 slots (counter, 24-bit little-endian, then its CRC-8); -1 when
// none is valid. Equal counters go to the later slot, and a counter that
// has wrapped past 0xFFFFFF beats one close to the wrap.
int ChooseRecordSlot(const std::uint8_t (*trailers)[4]);

// Writes one 256-byte flash page at `address`: pieces of 54 bytes with
// WriteFlash, the last 1 to 54 bytes with WriteFlashEnd.
bool WriteFlashPage(IExchanger& link, std::uint32_t address, const std::uint8_t* page);
