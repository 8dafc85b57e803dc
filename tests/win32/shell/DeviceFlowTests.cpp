// A device read and a device write through the real main window, against the
// emulated alarm behind a named pipe and the real worker thread.
#include <cstring>
#include <mutex>

#include "device/DemoConfiguration.h"
#include "res/page_ids.h"
#include "win32/DemoWorker.h"
#include "device/hid/pipe/HidPipeDevice.h"
#include "win32/shell/ShellSupport.h"

namespace {

EmulatedPipeDevice* emulated = nullptr;

std::unique_ptr<IDeviceWorker> MakeQuickEmulatedWorker(INotifySink& sink) {
  return MakeEmulatedWorker(sink, 0, &emulated);
}

class DeviceFlowTest : public MainWindowTest {
 protected:
  WorkerFactory Workers() override { return MakeQuickEmulatedWorker; }
  bool WaitForStatus(const char16_t* text, int timeoutMs = 30000) {
    return PumpUntil(main_, [&] { return Text(IDC_STATUS) == text; }, timeoutMs);
  }
  int Progress(UINT message) {
    return static_cast<int>(
        SendMessageW(GetDlgItem(main_, IDC_PROGRESS), message, FALSE, 0));
  }
};

TEST_F(DeviceFlowTest, ReadThenWriteLeaveTheDeviceHoldingTheMergedImage) {
  ASSERT_TRUE(WaitForStatus(u" Устройство подключено"));

  SendMessageW(main_, WM_COMMAND, ID_DEVICE_READ, 0);
  EXPECT_EQ(Text(IDC_STATUS), u" Считывание из устройства");
  ASSERT_TRUE(WaitForStatus(u" Считывание из устройства: успешно"));
  EXPECT_EQ(Progress(PBM_GETRANGE), 3328);
  EXPECT_EQ(Progress(PBM_GETPOS), 3328);
  std::uint8_t demo[kImageSize];
  MakeDemoImage(demo);
  EXPECT_EQ(0, std::memcmp(self_->controller().image(), demo, kImageSize));
  // The demonstration configuration differs from the pages' defaults.
  EXPECT_EQ(Text(IDC_MODIFIED), u" *");
  HWND upper = GetDlgItem(self_->pageWindow(22), IDC_THERMO_UPPER);
  const char16_t shown[] = {char16_t(u'0' + demo[8] / 10), char16_t(u'0' + demo[8] % 10), 0};
  EXPECT_EQ(WindowText(upper), shown);

  // Change the upper bound to "99" (each digit typed before the second one
  // pushes that one out), then write.
  SetFocus(upper);
  SendMessageW(upper, EM_SETSEL, 0, 0);
  SendMessageW(upper, WM_CHAR, L'9', 1);
  SendMessageW(upper, EM_SETSEL, 1, 1);
  SendMessageW(upper, WM_CHAR, L'9', 1);
  ASSERT_EQ(WindowText(upper), u"99");
  SendMessageW(main_, WM_COMMAND, ID_DEVICE_WRITE, 0);
  EXPECT_EQ(Text(IDC_STATUS), u" Запись в устройство");
  ASSERT_TRUE(WaitForStatus(u" Запись в устройство: успешно"));
  EXPECT_EQ(Progress(PBM_GETRANGE), 4352);
  EXPECT_EQ(Progress(PBM_GETPOS), 4352);

  std::uint8_t expected[kImageSize];
  std::memcpy(expected, demo, kImageSize);
  expected[8] = 99;
  EXPECT_EQ(0, std::memcmp(self_->controller().image(), expected, kImageSize));
  std::lock_guard<std::mutex> lock(emulated->mutex());
  EmulatedDevice& device = emulated->model();
  EXPECT_EQ(0, std::memcmp(device.paramMemory(), expected, kParamAreaSize));
  // The record went to slot 0 with counter 1.
  EXPECT_EQ(0, std::memcmp(device.flash(), expected + kParamAreaSize, kImageSize - kParamAreaSize));
  const std::uint8_t trailer[] = {0x01, 0x00, 0x00, 0x79};
  EXPECT_EQ(0, std::memcmp(device.flash() + 252, trailer, 4));
}

TEST_F(DeviceFlowTest, ReadAndWriteDuringATransferAreIgnored) {
  ASSERT_TRUE(WaitForStatus(u" Устройство подключено"));
  {
    std::lock_guard<std::mutex> lock(emulated->mutex());
    emulated->model().answerDelayMs = 2;
  }
  SendMessageW(main_, WM_COMMAND, ID_DEVICE_READ, 0);
  SendMessageW(main_, WM_COMMAND, ID_DEVICE_WRITE, 0);
  SendMessageW(main_, WM_COMMAND, ID_DEVICE_READ, 0);
  EXPECT_EQ(self_->controller().exchangeState(), Controller::Reading);
  EXPECT_EQ(Text(IDC_STATUS), u" Считывание из устройства");
  ASSERT_TRUE(WaitForStatus(u" Считывание из устройства: успешно"));
  EXPECT_EQ(self_->controller().exchangeState(), Controller::Idle);
}

TEST_F(DeviceFlowTest, ClosingDuringATransferEndsPromptly) {
  ASSERT_TRUE(WaitForStatus(u" Устройство подключено"));
  {
    std::lock_guard<std::mutex> lock(emulated->mutex());
    emulated->model().answerDelayMs = 20;
  }
  SendMessageW(main_, WM_COMMAND, ID_DEVICE_WRITE, 0);
  Pump(main_, 300);
  ASSERT_EQ(self_->controller().exchangeState(), Controller::PreReading);
  const DWORD start = GetTickCount();
  SendMessageW(main_, WM_CLOSE, 0, 0);  // a write never set the modified flag
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_LT(GetTickCount() - start, 2500u);
}

}  // namespace
