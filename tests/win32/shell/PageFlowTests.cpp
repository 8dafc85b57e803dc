// The pages through the real main window: typing and clicking into the real
// controls, the change-only rule and its notice across pages, a device read
// shown on every page, and what a save then writes.
#include <cstring>
#include <string>
#include <vector>

#include "app/ConfigFile.h"
#include "device/DemoConfiguration.h"
#include "pages/HeadlessPageDialog.h"
#include "config/ImageMap.h"
#include "pages/Pages.h"
#include "pages/PageTable.h"
#include "res/page_ids.h"
#include "win32/DemoWorker.h"
#include "win32/shell/ShellSupport.h"

namespace {

constexpr int kInput2Page1 = 2, kInput3Page1 = 4, kFirstPhone = 6, kFirstRelay = 12;

class PageFlowTest : public MainWindowTest {
 protected:
  HWND Control(int page, int id) { return GetDlgItem(self_->pageWindow(page), id); }
  // Replaces the selection of an edit by one typed character.
  void Type(int page, int id, int from, int to, wchar_t c) {
    HWND edit = Control(page, id);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, from, to);
    SendMessageW(edit, WM_CHAR, c, 1);
    Pump(main_, 20);
  }
  void Click(int page, int id) {
    SendMessageW(Control(page, id), BM_CLICK, 0, 0);
    Pump(main_, 50);  // the notices travel as posted messages
  }
  void Choose(int page, int id, int index) {
    HWND combo = Control(page, id);
    SendMessageW(combo, CB_SETCURSEL, index, 0);
    SendMessageW(self_->pageWindow(page), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    Pump(main_, 20);
  }
  int Check(int page, int id) {
    return static_cast<int>(SendMessageW(Control(page, id), BM_GETCHECK, 0, 0));
  }
  std::u16string Shown(int page, int id) { return WindowText(Control(page, id)); }
  // Save as `name` in the tests' folder; the image part of the file.
  std::vector<std::uint8_t> SaveAs(const wchar_t* name) {
    const std::wstring path = TestFolder() + L"\\" + name;
    DeleteFileW(path.c_str());
    {
      DialogRobot robot(LoadText(IDS_SAVE_TITLE), [&](HWND d) { ChooseFile(d, path); });
      SendMessageW(main_, WM_COMMAND, ID_FILE_SAVEAS, 0);
      EXPECT_TRUE(robot.found());
    }
    const std::vector<std::uint8_t> file = ReadAll(path);
    EXPECT_EQ(file.size(), kConfigFileSize);
    if (file.size() != kConfigFileSize) return std::vector<std::uint8_t>(kImageSize);
    return {file.begin() + 16, file.end()};
  }
};

TEST_F(PageFlowTest, TypingAndTheChangeOnlyBoxOnTheSecondInput) {
  const int p = kInput2Page1;
  Type(p, IDC_IN1_ENTRY_DELAY, 0, 2, L'4');  // "00": both selected, the first replaced
  EXPECT_EQ(Shown(p, IDC_IN1_ENTRY_DELAY), u"40");
  EXPECT_EQ(Text(IDC_MODIFIED), u" *");
  Type(p, IDC_IN1_MAX_ALARMS, 0, 1, L'4');
  Type(p, IDC_IN1_AVERAGING, 0, 2, L'2');  // "50" becomes "20"
  Type(p, IDC_IN1_LOWER_UNITS, 0, 1, L'3');
  Type(p, IDC_IN1_LOWER_TENTHS, 0, 1, L'2');
  Type(p, IDC_IN1_AVERAGING, 0, 0, L'x');  // refused
  EXPECT_EQ(Shown(p, IDC_IN1_AVERAGING), u"20");
  Click(p, IDC_IN1_24_HOUR);  // cleared, then set again by the rule
  Click(p, IDC_IN1_CHANGE_ONLY);
  EXPECT_EQ(Shown(p, IDC_IN1_ENTRY_DELAY), u"00");
  EXPECT_EQ(Shown(p, IDC_IN1_RESTORE), u"0");
  EXPECT_EQ(Shown(p, IDC_IN1_MAX_ALARMS), u"0");
  EXPECT_EQ(Shown(p, IDC_IN1_UPPER_UNITS), u"6");
  EXPECT_EQ(Shown(p, IDC_IN1_LOWER_UNITS), u"3");
  EXPECT_EQ(Check(p, IDC_IN1_24_HOUR), 1);
  EXPECT_EQ(SendMessageW(Control(p, IDC_IN1_MODE), CB_GETCURSEL, 0, 0), 1);

  const std::vector<std::uint8_t> image = SaveAs(L"input2.osr");
  EXPECT_EQ(image[3], 0xFB);  // input 2 change-only, input 3 not; other bits kept
  EXPECT_EQ(image[121], 0);
  EXPECT_EQ(image[130], 0x32);
  EXPECT_EQ(image[138], 1);
  EXPECT_EQ(image[146], 20);
  EXPECT_EQ(image[154], 0x60);
  EXPECT_EQ(image[162], 0);
  EXPECT_EQ(image[219], 0xFF);
  EXPECT_EQ(image[221], 0);
  EXPECT_EQ(Text(IDC_MODIFIED), u"");
}

TEST_F(PageFlowTest, TheChangeOnlyNoticeReachesPhonesAndSirens) {
  Choose(kFirstRelay, IDC_RELAY_MODE, kRelaySirenMode);  // relay 1: siren
  Choose(kFirstRelay + 1, IDC_RELAY_MODE, 4);            // relay 2: lamp
  for (int relay : {kFirstRelay, kFirstRelay + 1}) Click(relay, IDC_RELAY_ZONE_3);
  for (int phone = kFirstPhone; phone < kFirstPhone + 5; ++phone) {
    Click(phone, IDC_TEL_VOICE_ZONE_3);
    Click(phone, IDC_TEL_SMS_ZONE_3);
  }
  Click(kInput3Page1, IDC_IN1_CHANGE_ONLY);
  for (int phone = kFirstPhone; phone < kFirstPhone + 5; ++phone) {
    EXPECT_EQ(Check(phone, IDC_TEL_VOICE_ZONE_3), 0) << phone;
    EXPECT_EQ(Check(phone, IDC_TEL_SMS_ZONE_3), 1) << phone;
  }
  EXPECT_EQ(Check(kFirstRelay, IDC_RELAY_ZONE_3), 0);
  EXPECT_EQ(Check(kFirstRelay + 1, IDC_RELAY_ZONE_3), 1);

  const std::vector<std::uint8_t> image = SaveAs(L"notice.osr");
  EXPECT_EQ(image[243] & 0x1F, 0);     // no phone is called on the alarm of zone 3
  EXPECT_EQ(image[230] & 0x1F, 0x1F);  // every phone gets its SMS
  EXPECT_EQ(image[592], 0xF8);         // the siren no longer sounds for zone 3
  EXPECT_EQ(image[593], 0xFC);         // the lamp keeps its box
  for (int r = 2; r < 6; ++r) EXPECT_EQ(image[592 + r], 0xF8) << r;
}

EmulatedPipeDevice* emulated = nullptr;

class DemoReadTest : public PageFlowTest {
 protected:
  WorkerFactory Workers() override {
    return [](INotifySink& sink) { return MakeEmulatedWorker(sink, 0, &emulated); };
  }
};

TEST_F(DemoReadTest, EveryPageShowsTheDeviceAndASaveKeepsItWithTheEdits) {
  ASSERT_TRUE(PumpUntil(main_, [&] { return Text(IDC_STATUS) == u" Устройство подключено"; },
                        30000));
  SendMessageW(main_, WM_COMMAND, ID_DEVICE_READ, 0);
  ASSERT_TRUE(PumpUntil(
      main_, [&] { return Text(IDC_STATUS) == u" Считывание из устройства: успешно"; }, 30000));

  // What each control shows is what the pages show for the demo image.
  std::uint8_t demo[kImageSize];
  MakeDemoImage(demo);
  HeadlessPages expected;
  expected.LoadFromImage(demo);
  for (int i = 0; i < kPageCount; ++i) {
    HeadlessPageDialog& d = expected.Dialog(i);
    for (const FieldRow& row : kPages[i].fields->rows) {
      if (!row.ExistsFor(kPages[i].member)) continue;
      const std::string key = FieldKey(row, kPages[i].member);
      switch (row.kind) {
        case FieldKind::List:
        case FieldKind::OneHot:
          EXPECT_EQ(SendMessageW(Control(i, row.control), CB_GETCURSEL, 0, 0),
                    d.GetComboSelection(row.control)) << key;
          break;
        case FieldKind::Flag:
        case FieldKind::Marker:
          EXPECT_EQ(Check(i, row.control), d.GetCheck(row.control)) << key;
          break;
        default:
          EXPECT_EQ(Shown(i, row.control), d.GetText(row.control)) << key;
          if (row.control2) {
            EXPECT_EQ(Shown(i, row.control2), d.GetText(row.control2)) << key;
          }
          break;
      }
    }
  }

  // One edit on the arming, balance and security pages.
  constexpr int kArming = 11, kBalance = 18, kSecurity = 20;
  Type(kArming, IDC_SETRES_KEY_2, 0, 0, L'Ё');
  Choose(kBalance, IDC_BALANS_OPERATOR, 1);
  Click(kSecurity, IDC_SECUR_CALLER_ID);
  expected.Dialog(kArming).Enter(IDC_SETRES_KEY_2,
                                 u"Ё" + expected.Dialog(kArming).GetText(IDC_SETRES_KEY_2));
  expected.Dialog(kBalance).Choose(IDC_BALANS_OPERATOR, 1);
  expected.Dialog(kSecurity).Click(IDC_SECUR_CALLER_ID);
  expected.StoreToImage(demo);

  const std::vector<std::uint8_t> image = SaveAs(L"demo-edited.osr");
  EXPECT_EQ(std::memcmp(image.data(), demo, kImageSize), 0);
  EXPECT_EQ(image[KeyName(2)], 0x01);  // "Ё"
  EXPECT_EQ(image[kBalanceCheck], '1');
  EXPECT_EQ(image[kCallerIdProtection], 0xFF);
}

}  // namespace
