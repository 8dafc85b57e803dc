// The device link against any answers: the emulated alarm's replies come
// from the fuzzed bytes (LinkScript.h), and a device read and a device
// write run through the worker's request logic, the exchange and the
// transfers. No sanitizer report (each report buffer is exactly one report
// long), and no transfer succeeds unless every request it sent was answered
// by a report whose signature, command, echo and status fit it; what the
// transfers read is what the device holds, and what they wrote is in it.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "FuzzSupport.h"
#include "LinkScript.h"
#include "device/HidTap.h"
#include "device/DemoConfiguration.h"
#include "device/DeviceConnection.h"
#include "device/DeviceWorkerCore.h"
#include "device/InlineWorker.h"
#include "device/hid/emulated/EmulatedHid.h"
#include "device/Protocol.h"
#include "device/Transfers.h"
#include "config/ImageMap.h"

namespace {

// One request as its answer must echo it.
using Key = std::tuple<int, std::uint32_t, int>;  // command, address, length

Key KeyOf(const std::uint8_t* request) {
  const int command = request[5];
  switch (command) {
    case Hello: return {command, 0, 0};
    case WriteParam:
    case ReadParam: return {command, request[6] | request[7] << 8, request[8]};
    case EraseFlash: return {command, request[6] | request[7] << 8 | request[8] << 16, 0};
    default: return {command, request[6] | request[7] << 8 | request[8] << 16, request[9]};
  }
}

// Whether `report` is a successful answer to the request `key`, by the
// rules of the protocol, written out again here.
bool Answers(const std::uint8_t* report, const Key& key) {
  if (std::memcmp(report + 1, kPacketSignature, 4) != 0) return false;
  const auto [command, address, length] = key;
  if ((report[5] & 0x7F) != command) return false;
  const std::uint32_t a16 = report[7] | report[8] << 8;
  const std::uint32_t a24 = a16 | static_cast<std::uint32_t>(report[9]) << 16;
  switch (command) {
    case Hello: return report[6] == 3 && report[7] == 0 && report[8] == 1;
    case WriteParam:
    case ReadParam: return a16 == address && report[9] == length && report[6] == 1;
    case EraseFlash: return a24 == address && report[6] == 1;
    default: return a24 == address && report[10] == length && report[6] == 1;
  }
}

// What the link has sent and what it has read, seen between it and the
// emulated interface.
struct Traffic {
  std::vector<Key> sent;
  std::vector<std::vector<std::uint8_t>> read;
  void Clear() {
    sent.clear();
    read.clear();
  }
  // Every request sent was answered well by some report that was read.
  bool EveryRequestAnswered() const {
    for (const Key& key : sent) {
      bool answered = false;
      for (const auto& r : read) answered = answered || Answers(r.data(), key);
      if (!answered) return false;
    }
    return true;
  }
};

class NoSink : public INotifySink {
 public:
  void Post(unsigned, std::intptr_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LinkScript script(data, size);
  SignalHub hub(true);
  HubEvent abort(hub);
  EmulatedHidBus bus(hub, abort);
  // The demonstration alarm, made once: its contents are copied for each run.
  static const EmulatedDevice demo = [] {
    EmulatedDevice d;
    LoadDemoDevice(d);
    return d;
  }();
  EmulatedDevice device = demo;
  device.inputBuffers = script.InputBuffers();
  device.answerDelayMs = script.AnswerDelayMs();
  // The reports' heads come from the script; the data of any report that
  // reads as an answer are what the device holds there, as a device's are.
  device.script = [&](const std::uint8_t*, const Report& answer) {
    auto replies = script.Replies(answer);
    for (EmulatedReply& reply : replies) {
      std::uint8_t* r = reply.report.data();
      const std::uint32_t a16 = r[7] | r[8] << 8, a24 = a16 | std::uint32_t(r[9]) << 16;
      if ((r[5] & 0x7F) == ReadParam && r[9] <= kParamBlock && a16 + r[9] <= kParamMemorySize)
        std::memcpy(r + 10, device.paramMemory() + a16, r[9]);
      if ((r[5] & 0x7F) == ReadFlash && r[10] <= kFlashPiece && a24 + r[10] <= kRecordAreaSize)
        std::memcpy(r + 11, device.flash() + a24, r[10]);
    }
    return replies;
  };
  bus.Add(device);

  Traffic traffic;
  // What passes between the link and the emulated interface, watched.
  HidTap watched(
      bus, [&](std::uint8_t* report) { traffic.sent.push_back(KeyOf(report)); },
      [&](const std::uint8_t* report, WaitResult result) {
        if (result == WaitDone) traffic.read.emplace_back(report, report + kReportSize);
      });
  // The request logic on this thread alone, as the command-line program runs it.
  NoSink sink;
  InlineWorker worker(watched, sink);
  DeviceWorkerCore& core = worker.core;
  std::uint8_t image[kDeviceImageSize];

  // A read: the parameter memory, then the current record.
  traffic.Clear();
  if (core.RunRequest(ReadParamMemory)) {
    FUZZ_CHECK(traffic.EveryRequestAnswered());
    core.CopyImage(image, kDeviceImageSize);
    FUZZ_CHECK(std::memcmp(image, device.paramMemory(), kParamMemorySize) == 0);
  }
  traffic.Clear();
  if (core.RunRequest(ReadFlashRecord)) {
    FUZZ_CHECK(traffic.EveryRequestAnswered());
    std::uint8_t trailers[kRecordSlots][4];
    for (std::size_t k = 0; k < kRecordSlots; ++k)
      std::memcpy(trailers[k], device.flash() + kSlotSize * k + 252, 4);
    const int slot = ChooseRecordSlot(trailers);
    core.CopyImage(image, kDeviceImageSize);
    for (std::size_t i = 0; i < kRecordDataSize; ++i)
      FUZZ_CHECK(image[kRecordImageOffset + i] ==
                 (slot < 0 ? 0 : device.flash()[kSlotSize * slot + i]));
  }

  // A write of other values.
  std::uint8_t values[kImageSize];
  for (std::size_t i = 0; i < kImageSize; ++i) values[i] = static_cast<std::uint8_t>(i * 7 + 1);
  core.SetImage(values);
  traffic.Clear();
  if (core.RunRequest(WriteParamMemory)) {
    FUZZ_CHECK(traffic.EveryRequestAnswered());
    FUZZ_CHECK(std::memcmp(device.paramMemory(), values, kParamMemorySize) == 0);
  }
  traffic.Clear();
  if (core.RunRequest(WriteFlashRecord)) {
    FUZZ_CHECK(traffic.EveryRequestAnswered());
    FUZZ_CHECK(std::memcmp(device.flash(), values + kParamMemorySize, kRecordDataSize) == 0);
    const std::uint8_t trailer[] = {0x01, 0x00, 0x00, 0x79};
    FUZZ_CHECK(std::memcmp(device.flash() + 252, trailer, 4) == 0);
  }
  FUZZ_CHECK(bus.violations == 0);
  FUZZ_CHECK(bus.openHandles == 0);
  return 0;
}
