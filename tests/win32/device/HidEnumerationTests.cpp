// The real HID enumeration of this machine: whatever it lists, none of it
// is the alarm, and the search must skip it all without any I/O wait.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "device/DeviceConnection.h"
#include "device/Protocol.h"
#include "win32/device/CountingHid.h"
#include "device/hid/windows/HidDevice.h"

namespace {

TEST(HidEnumeration, ListsInterfacesWithTheirAttributes) {
  HANDLE abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HidSetupEnumerator hid(abort);
  std::vector<HidDeviceInfo> list;
  ASSERT_TRUE(hid.Enumerate(0, 0, list));
  for (std::size_t index = 0; index < list.size(); ++index) {
    const HidDeviceInfo& a = list[index];
    EXPECT_FALSE(a.path.empty());
    EXPECT_FALSE(a.vendorId == kDeviceVendorId && a.productId == kDeviceProductId)
        << "an alarm is attached to this machine";
    std::printf("interface %zu: vendor %04X product %04X version %04X\n", index, a.vendorId,
                a.productId, a.releaseNumber);
  }
  // Asked for the alarm's ids, the list is empty.
  ASSERT_TRUE(hid.Enumerate(kDeviceVendorId, kDeviceProductId, list));
  EXPECT_TRUE(list.empty());
  CloseHandle(abort);
}

TEST(HidEnumeration, WithoutTheAlarmTheSearchFailsWithoutWaiting) {
  HANDLE abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HidSetupEnumerator system(abort);
  CountingHid hid(system);
  DeviceConnection connection(system);
  LARGE_INTEGER f, t0, t1;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t0);
  EXPECT_FALSE(connection.FindAndOpen());
  QueryPerformanceCounter(&t1);
  connection.CloseConnection();
  const double ms = 1000.0 * (t1.QuadPart - t0.QuadPart) / f.QuadPart;
  std::printf("search without the alarm: %.2f ms\n", ms);
  EXPECT_TRUE(hid.waits().empty());
  CloseHandle(abort);
}

}  // namespace
