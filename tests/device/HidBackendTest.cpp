// What the exchange relies on in every HID backend, checked on the emulated
// one, whose time is virtual: a read that timed out stays under way and the
// next read waits for that same read; a write that did not finish, and a
// read that was aborted, have ended when the call returns; the close ends
// whatever is under way.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceTestSupport.h"

namespace {

constexpr unsigned kWaitMs = 230;

// One step against an open interface: 'W' writes a ReadParam request,
// 'R' reads a report, 'A' / 'a' set / reset the abort event, 'P' lets
// 100 ms pass with no call under way, 'C' closes the interface.
struct BackendCase {
  const char* name;
  std::function<void(EmulatedDevice&, EmulatedHidBus&)> setUp;
  const char* steps;
  std::vector<int> results;  // of each 'W' and 'R', in order
  int waits;                 // waits the backend made
};

void PrintTo(const BackendCase& c, std::ostream* os) { *os << c.name; }

class HidBackend : public ::testing::TestWithParam<BackendCase> {};

TEST_P(HidBackend, KeepsWhatTheExchangeReliesOn) {
  const BackendCase& c = GetParam();
  EmulatedLink link;
  EmulatedDevice device;
  link.bus.Add(device);
  c.setUp(device, link.bus);
  std::vector<HidDeviceInfo> list;
  ASSERT_TRUE(link.bus.Enumerate(kDeviceVendorId, kDeviceProductId, list));
  ASSERT_EQ(list.size(), 1u);
  std::unique_ptr<IHidDevice> hid = link.bus.Open(list[0].path);
  ASSERT_NE(hid, nullptr);

  std::vector<int> results;
  std::uint8_t request[kReportSize], report[kReportSize];
  BuildOutputReport(request, ReadParam, 0x40, nullptr, 32);
  for (const char* s = c.steps; *s; ++s) {
    switch (*s) {
      case 'W':
        results.push_back(hid->Write(request, kWaitMs));
        break;
      case 'R':
        results.push_back(hid->Read(report, kWaitMs));
        if (results.back() == WaitDone) {
          // The report read is the device's answer to the request.
          EXPECT_EQ(ClassifyReply(report, ReadParam, 0x40, 32), ReplyKind::Done) << c.name;
        }
        break;
      case 'A':
        link.abort.Set();
        break;
      case 'a':
        link.abort.Reset();
        break;
      case 'P': {
        std::unique_lock<std::mutex> lock(link.hub.mutex());
        link.hub.WaitUntil(lock, link.hub.NowUs() + 100 * 1000);
        break;
      }
      case 'C':
        hid.reset();
        break;
    }
  }
  hid.reset();
  EXPECT_EQ(results, c.results) << c.name;
  EXPECT_EQ(link.bus.waits, c.waits) << c.name;
  // No buffer was used while its operation was under way, and nothing was
  // left under way at the close.
  EXPECT_EQ(link.bus.violations, 0) << c.name;
  EXPECT_EQ(link.bus.openHandles, 0) << c.name;
}

void NoBuffersSlowAnswer(EmulatedDevice& d, EmulatedHidBus& bus) {
  // Nothing is queued for a read that is not under way, and the answer
  // comes after one wait has timed out.
  d.inputBuffers = 0;
  d.answerDelayMs = 300;
  bus.writesPending = false;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, HidBackend,
    ::testing::Values(
        // The answer arrives between the two reads; with no input buffers
        // only the read still under way can take it.
        BackendCase{"a timed-out read is the read the next call waits for", NoBuffersSlowAnswer,
                    "WRPR", {WaitDone, WaitTimedOut, WaitDone}, 2},
        BackendCase{"an aborted read has ended: the answer finds no read", NoBuffersSlowAnswer,
                    "WARaPPPPR", {WaitDone, WaitAborted, WaitTimedOut}, 2},
        BackendCase{"a queued report ends a read without a wait",
                    [](EmulatedDevice& d, EmulatedHidBus& bus) {
                      d.answerDelayMs = 1;
                      bus.writesPending = false;
                    },
                    "WPR", {WaitDone, WaitDone}, 0},
        BackendCase{"a write that timed out has ended on return",
                    [](EmulatedDevice& d, EmulatedHidBus&) { d.faults.stallWrites = 1; },
                    "WWR", {WaitTimedOut, WaitDone, WaitDone}, 2},
        BackendCase{"the abort wins over a finished write, which has ended on return",
                    [](EmulatedDevice&, EmulatedHidBus&) {},
                    "AWaWR", {WaitAborted, WaitDone, WaitDone}, 2},
        BackendCase{"the close ends a read under way",
                    [](EmulatedDevice& d, EmulatedHidBus&) { d.faults.silent = -1; },
                    "WRC", {WaitDone, WaitTimedOut}, 2}),
    [](const ::testing::TestParamInfo<BackendCase>& info) {
      std::string name;
      for (const char* p = info.param.name; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
      return name;
    });

}  // namespace

namespace {

// The numbered paths of the emulated buses and the browser: what Open
// accepts, and every malformed path
// (another bus's, no number, not a number, a number too long to be one of
// ours) refused instead of throwing.
struct PathRow {
  const char16_t* path;
  bool found;
  std::size_t index;
};

TEST(NumberedPaths, IndexInPathReadsOnlyItsOwnPaths) {
  const PathRow rows[] = {
      {u"emu#0", true, 0},          {u"emu#12", true, 12},     {u"emu#", false, 0},
      {u"emu#x", false, 0},         {u"emu#1x", false, 0},     {u"pipe#1", false, 0},
      {u"EMU#1", false, 0},         {u"emu#-1", false, 0},     {u"emu#1234567890", false, 0},
      {u"", false, 0},
  };
  for (const PathRow& row : rows) {
    std::size_t index = 99;
    const std::u16string path = row.path;
    EXPECT_EQ(IndexInPath(path, "emu#", index), row.found)
        << std::string(path.begin(), path.end());
    if (row.found) { EXPECT_EQ(index, row.index); }
  }
  // What NumberedPath names, IndexInPath reads back.
  std::size_t index = 0;
  EXPECT_TRUE(IndexInPath(NumberedPath("webhid:", 7), "webhid:", index));
  EXPECT_EQ(index, 7u);
}

}  // namespace
