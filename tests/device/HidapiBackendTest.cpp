// The hidapi backend of the command-line tool against a stand-in of the
// hidapi calls it makes: what each answer of hid_read_timeout (a report, a
// short one, nothing within the time, a failure) and of hid_write becomes,
// and what the backend hands hidapi (the report without its id, the read's
// time).
#include <gtest/gtest.h>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/Protocol.h"
#include "device/hid/hidapi/HidapiHid.h"

namespace {

// What the stand-in answers and what it was asked.
struct StandIn {
  int readResult = 0;               // hid_read_timeout's return value
  std::vector<std::uint8_t> bytes;  // what it puts into the buffer
  int writeResult = 0;
  // Asked:
  std::size_t readLength = 0;
  int readMs = -2;
  std::vector<std::uint8_t> written;
  int opened = 0, closed = 0;
  std::vector<hid_device_info> devices;
};
StandIn gHid;
int gDevice;  // the handle the stand-in gives

}  // namespace

extern "C" {
int HID_API_EXPORT HID_API_CALL hid_init(void) { return 0; }
int HID_API_EXPORT HID_API_CALL hid_exit(void) { return 0; }
struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short, unsigned short) {
  return gHid.devices.empty() ? nullptr : gHid.devices.data();
}
void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info*) {}
HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char*) {
  ++gHid.opened;
  return reinterpret_cast<hid_device*>(&gDevice);
}
void HID_API_EXPORT HID_API_CALL hid_close(hid_device*) { ++gHid.closed; }
int HID_API_EXPORT HID_API_CALL hid_write(hid_device*, const unsigned char* data, size_t length) {
  gHid.written.assign(data, data + length);
  return gHid.writeResult;
}
int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device*, unsigned char* data, size_t length,
                                                 int ms) {
  gHid.readLength = length;
  gHid.readMs = ms;
  if (!gHid.bytes.empty())
    std::memcpy(data, gHid.bytes.data(), std::min(length, gHid.bytes.size()));
  return gHid.readResult;
}
}

namespace {

std::vector<std::uint8_t> Counting(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(0xA0 + i);
  return v;
}

std::unique_ptr<IHidDevice> OpenOne(HidapiEnumerator& hid) {
  return hid.Open(u"/dev/hidraw0");
}

TEST(HidapiBackend, EachAnswerOfARead) {
  struct Row {
    const char* what;
    int result;        // of hid_read_timeout
    std::size_t bytes; // it gave
    unsigned ms;
    WaitResult expected;
  };
  const Row rows[] = {
      {"a whole report", 64, 64, 230, WaitDone},
      {"a short report: the rest is zero", 10, 10, 230, WaitDone},
      {"a report of one byte", 1, 1, 5000, WaitDone},
      {"nothing within the time", 0, 0, 230, WaitTimedOut},
      {"nothing within a time of zero", 0, 0, 0, WaitTimedOut},
      {"a failure", -1, 0, 230, WaitFailed},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    gHid = StandIn{};
    gHid.readResult = r.result;
    gHid.bytes = Counting(r.bytes);
    HidapiEnumerator hid;
    std::unique_ptr<IHidDevice> device = OpenOne(hid);
    ASSERT_NE(device, nullptr);
    std::uint8_t report[kReportSize];
    std::memset(report, 0x77, sizeof report);
    EXPECT_EQ(device->Read(report, r.ms), r.expected);
    // hidapi gets the buffer after the report id, for the report's bytes,
    // and the read's own time.
    EXPECT_EQ(gHid.readLength, kReportSize - 1);
    EXPECT_EQ(gHid.readMs, static_cast<int>(r.ms));
    if (r.expected == WaitDone) {
      EXPECT_EQ(report[0], 0);
      for (std::size_t i = 1; i < kReportSize; ++i)
        EXPECT_EQ(report[i], i <= r.bytes ? 0xA0 + i - 1 : 0) << i;
    }
  }
}

TEST(HidapiBackend, AWriteSendsTheReportWithoutANumberAndSaysWhetherItWent) {
  for (const auto& [result, expected] : {std::pair{static_cast<int>(kReportSize), WaitDone},
                                         std::pair{-1, WaitFailed}}) {
    gHid = StandIn{};
    gHid.writeResult = result;
    HidapiEnumerator hid;
    std::unique_ptr<IHidDevice> device = OpenOne(hid);
    std::uint8_t request[kReportSize];
    BuildOutputReport(request, ReadParam, 0x40, nullptr, 32);
    request[0] = 0x5A;
    EXPECT_EQ(device->Write(request, 230), expected);
    ASSERT_EQ(gHid.written.size(), kReportSize);
    EXPECT_EQ(gHid.written[0], 0);
    EXPECT_EQ(std::memcmp(gHid.written.data() + 1, request + 1, kReportSize - 1), 0);
    EXPECT_EQ(request[0], 0x5A);  // the caller's report stays as it was
    device.reset();
    EXPECT_EQ(gHid.closed, 1);
  }
}

TEST(HidapiBackend, ListsOnlyNodesWhoseNamesAreText) {
  gHid = StandIn{};
  std::string good = "/dev/hidraw3", bad = "/dev/hidraw\xff";
  gHid.devices.resize(2);
  std::memset(gHid.devices.data(), 0, sizeof(hid_device_info) * 2);
  gHid.devices[0].path = bad.data();
  gHid.devices[0].next = &gHid.devices[1];
  gHid.devices[1].path = good.data();
  gHid.devices[1].vendor_id = kDeviceVendorId;
  gHid.devices[1].product_id = kDeviceProductId;
  HidapiEnumerator hid;
  std::vector<HidDeviceInfo> list;
  ASSERT_TRUE(hid.Enumerate(kDeviceVendorId, kDeviceProductId, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].path, u"/dev/hidraw3");
}

}  // namespace
