// The answer scripts of the device link's fuzz target: for every request
// the emulated alarm receives, the fuzzed bytes say what it sends back. The
// seed maker writes scripts in the same form.
//
// Bytes 0 and 1: the driver's input buffers (modulo 6) and the device's
// answer delay in milliseconds (modulo 3). Then, per request, a count byte
// (modulo 4: that many reports, 0 for none) and per report a kind byte
// (modulo 5) with its arguments:
//   0 the device's answer
//   1 the answer with one byte of its head changed: position (1-10), value
//   2 any report: 64 bytes
//   3 the answer to the request before this one (a stale answer)
//   4 the answer, late by 2 ms times the next byte
// When the bytes run out, every request gets the device's answer.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "device/EmulatedDevice.h"

class LinkScript {
 public:
  enum Kind { Answer = 0, Changed = 1, Raw = 2, Stale = 3, Late = 4 };

  LinkScript(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t InputBuffers() { return Next() % 6; }
  unsigned AnswerDelayMs() { return Next() % 3; }

  std::vector<EmulatedReply> Replies(const Report& answer) {
    std::vector<EmulatedReply> replies;
    if (at_ >= size_) {
      replies.push_back({answer, 0});
    } else {
      const int count = Next() % 4;
      for (int i = 0; i < count; ++i) {
        EmulatedReply reply{answer, 0};
        switch (Next() % 5) {
          case Changed: {
            const int position = 1 + Next() % 10;
            reply.report[position] = Next();
            break;
          }
          case Raw:
            for (std::size_t b = 1; b < kReportSize; ++b) reply.report[b] = Next();
            break;
          case Stale:
            reply.report = previous_;
            break;
          case Late:
            reply.extraDelayMs = 2u * Next();
            break;
          default:
            break;
        }
        replies.push_back(reply);
      }
    }
    previous_ = answer;
    return replies;
  }

  // Encodes scripts for the seeds.
  static void Header(std::vector<std::uint8_t>& out, int buffers, int delayMs) {
    out.push_back(static_cast<std::uint8_t>(buffers));
    out.push_back(static_cast<std::uint8_t>(delayMs));
  }
  static void Request(std::vector<std::uint8_t>& out, std::vector<std::vector<int>> reports) {
    out.push_back(static_cast<std::uint8_t>(reports.size()));
    for (const auto& r : reports)
      for (int b : r) out.push_back(static_cast<std::uint8_t>(b));
  }

 private:
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  Report previous_{};
};
