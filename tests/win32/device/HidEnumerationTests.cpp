// The real HID enumeration of this machine: whatever it lists, none of it
// is the alarm, and the search must skip it all without any I/O wait.
#include <gtest/gtest.h>

#include <windows.h>

#include "device/DeviceConnection.h"
#include "device/Protocol.h"
#include "win32/device/CountingHid.h"
#include "win32/HidEnumerator.h"

namespace {

TEST(HidEnumeration, ListsInterfacesWithTheirAttributes) {
  HANDLE abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HidSetupEnumerator hid(abort);
  ASSERT_TRUE(hid.BuildList());
  std::u16string path;
  std::uint32_t index = 0;
  for (; hid.InterfacePath(index, path); ++index) {
    EXPECT_FALSE(path.empty());
    auto device = hid.Open(path);
    if (!device) continue;
    HidAttributes a;
    if (device->GetAttributes(a)) {
      EXPECT_FALSE(a.vendorId == kDeviceVendorId && a.productId == kDeviceProductId)
          << "an alarm is attached to this machine";
      std::printf("interface %u: vendor %04X product %04X version %04X\n", index, a.vendorId,
                  a.productId, a.version);
    }
  }
  hid.DestroyList();
  CloseHandle(abort);
}

TEST(HidEnumeration, WithoutTheAlarmTheSearchFailsWithoutWaiting) {
  HANDLE abort = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HidSetupEnumerator system(abort);
  CountingHid hid(system);
  DeviceConnection connection(hid);
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
