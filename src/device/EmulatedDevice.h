// A model of the alarm as the exchange protocol sees it: 2048 bytes of
// parameter memory and the flash record area of 32 slots of 256 bytes,
// answering every request report with the reports the device would send.
// Faults can be switched on to make it misbehave the ways a device on a
// real USB link can.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "device/Protocol.h"

using Report = std::array<std::uint8_t, kReportSize>;

// Vendor id, product id and version number (device release).
struct HidAttributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t version = 0;
};

// One report the device sends, with the extra time it takes over the
// device's usual answer delay.
struct EmulatedReply {
  Report report{};
  unsigned extraDelayMs = 0;
};

// Misbehaviour, applied to the requests that match `command` (-1: all).
// Counts say how many such requests are affected; -1 means all of them.
struct EmulatedFaults {
  int command = -1;
  int silent = 0;            // requests left without any answer
  int late = 0;              // answers sent `lateMs` after the usual delay
  unsigned lateMs = 0;
  int stale = 0;             // answers preceded by `staleCount` answers to earlier requests
  int staleCount = 1;
  int wrongSignature = 0;    // answers with a damaged signature
  int failStatus = 0;        // answers with a failure status
  int removeAfter = -1;      // the device is unplugged after this many more requests
  int stallWrites = 0;       // output reports the device does not take (the write hangs)
  int stallSkip = 0;         // output reports taken before the stalls begin
  unsigned stallMs = 600;    // how long a link that can only pause stops taking reports
};

class EmulatedDevice {
 public:
  EmulatedDevice();

  // Identity.
  HidAttributes attributes{kDeviceVendorId, kDeviceProductId, kDeviceVersion};
  std::uint8_t helloIdentity[3] = {3, 0, 1};
  // Transport behaviour, used by whatever carries the reports.
  unsigned answerDelayMs = 0;       // from request to answer
  std::uint32_t inputBuffers = 32;  // input reports the driver queues
  EmulatedFaults faults;
  // When set, decides what the device sends for each request in place of
  // its faults: given the request and the answer the device would give
  // (the device has acted on the request), the reports it sends instead.
  std::function<std::vector<EmulatedReply>(const std::uint8_t* request, const Report& answer)>
      script;

  // Configured contents. SetImage puts bytes 0-2047 of a ConfigImage into
  // the parameter memory and bytes 2048-2299 into the record of `slot`
  // with `counter`; the rest of the record area stays as it is.
  void SetImage(const std::uint8_t* image, int slot = 0, std::uint32_t counter = 1);
  // Writes one record slot: 252 data bytes and the trailer (counter and,
  // when `valid`, its CRC-8; otherwise a CRC-8 that does not match).
  void SetRecord(int slot, const std::uint8_t* data, std::uint32_t counter, bool valid = true);
  void EraseRecordArea();  // all 0xFF, as after an erase

  std::uint8_t* paramMemory() { return param_.data(); }
  std::uint8_t* flash() { return flash_.data(); }

  // Handles one output report: the reports the device answers with, in
  // order (none for a silent or unplugged device).
  std::vector<EmulatedReply> Handle(const std::uint8_t* request);
  // Whether the device takes the next output report at all; a stalled
  // write consumes one count of the fault.
  bool TakesOutputReport();

  bool removed() const { return removed_; }
  void Remove() { removed_ = true; }
  void Plug() { removed_ = false; }

  // What the device has seen: one entry per handled request.
  struct Seen {
    std::uint8_t command;
    std::uint32_t address;
    std::uint8_t length;
  };
  const std::vector<Seen>& log() const { return log_; }
  void ClearLog() { log_.clear(); }
  int CountSeen(std::uint8_t command) const;

 private:
  // Answers a request, without faults.
  Report Answer(const std::uint8_t* request);
  bool Matches(std::uint8_t command) const;
  static bool Take(int& count);

  std::array<std::uint8_t, kParamMemorySize> param_{};
  std::array<std::uint8_t, kRecordAreaSize> flash_{};
  // The page being assembled from WriteFlash pieces; WriteFlashEnd programs it.
  std::array<std::uint8_t, kSlotSize> pageBuffer_{};
  std::vector<Report> previousAnswers_;  // by command, for stale answers
  std::vector<Seen> log_;
  bool removed_ = false;
};
