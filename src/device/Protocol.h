// The report-level protocol of the alarm: report layouts, the command set,
// the rule by which a reply is taken as the answer to a request, and the
// CRC-8 of the flash record's sequence counter.
#pragma once
#include <cstddef>
#include <cstdint>

// Identity of the device on the USB.
constexpr std::uint16_t kDeviceVendorId = 0x04D8;
constexpr std::uint16_t kDeviceProductId = 0xE0E7;
constexpr std::uint16_t kDeviceVersion = 0x0002;

// Every report, in both directions: byte 0 is the report id (always 0),
// bytes 1-64 the report.
constexpr std::size_t kReportSize = 65;
// The first four bytes of every report, after the report id.
constexpr std::uint8_t kPacketSignature[4] = {0x8C, 0x53, 0xF1, 0x2D};

// Transport timing and retries.
constexpr unsigned kIoTimeoutMs = 230;   // one wait for a write or a read
constexpr int kWriteAttempts = 3;        // per send
constexpr int kExchangePasses = 3;       // the request sent anew after a wrong signature
constexpr int kResendsPerRead = 3;       // while one read is outstanding

// What `Hello` answers with in bytes 6-8 when it is our device.
constexpr std::uint8_t kHelloIdentity[3] = {3, 0, 1};

enum Command : std::uint8_t {
  Hello = 0,
  WriteParam = 1,
  ReadParam = 2,
  EraseFlash = 3,
  ReadFlash = 4,
  WriteFlash = 6,
  WriteFlashEnd = 7,
};

// Layout of the device's memories.
constexpr std::size_t kParamMemorySize = 2048;
constexpr std::size_t kParamBlock = 32;      // data bytes per ReadParam / WriteParam
constexpr std::size_t kFlashPiece = 54;      // data bytes per ReadFlash / WriteFlash
constexpr std::size_t kRecordSlots = 32;
constexpr std::size_t kSlotSize = 256;
constexpr std::size_t kRecordDataSize = 252;  // ConfigImage bytes 2048-2299
constexpr std::size_t kRecordAreaSize = kRecordSlots * kSlotSize;  // flash 0x0000-0x1FFF

// Largest data length a request of the command can carry (0 for commands
// without data or length).
std::uint8_t MaxLength(std::uint8_t command);

// True for the commands whose answer brings data (ReadParam, ReadFlash).
bool IsReadCommand(std::uint8_t command);

// Offset of the first data byte in the answer to a read command.
std::size_t ReplyDataOffset(std::uint8_t command);

// Fills a 65-byte output report. A length above the command's limit is cut
// to the limit before it is stored and before data are copied; `data` may
// be null for commands that carry none. Bytes without meaning are zero.
// Returns the length as stored (after the cut).
std::uint8_t BuildOutputReport(std::uint8_t* report, std::uint8_t command, std::uint32_t address,
                               const std::uint8_t* data, std::uint8_t length);

// How an input report relates to the request (command, address, stored length).
enum class ReplyKind {
  WrongSignature,  // bytes 1-4 are not the packet signature: send the request again
  OtherCommand,    // another command's report: read on
  NotTheAnswer,    // right command, but it does not echo this request: read on
  Done,            // the answer, and its status says success
  Failed,          // the answer, with a status other than success
};

ReplyKind ClassifyReply(const std::uint8_t* reply, std::uint8_t command, std::uint32_t address,
                        std::uint8_t length);

// CRC-8 of the flash record's counter: polynomial 0x31 taken least
// significant bit first, register preset to 0xFF, no final inversion.
std::uint8_t Crc8(const std::uint8_t* data, std::size_t count);
