// Files and the two dialogs through the real main window, its real page
// dialogs and the platform's file dialogs.
#include <vector>

#include "app/ConfigFile.h"
#include "pages/ImageMap.h"
#include "res/page_ids.h"
#include "win32/Dialogs.h"
#include "win32/shell/ShellSupport.h"

namespace {

std::wstring TestFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + L"ostrel-shell-test";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::vector<std::uint8_t> ReadAll(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  return bytes;
}

class FileTest : public MainWindowTest {
 protected:
  HWND Page(int index) { return self_->pageWindow(index); }
  HWND ThermoUpper() { return GetDlgItem(Page(22), IDC_THERMO_UPPER); }
  // Types one character at the caret position of an edit, as the keyboard does.
  void TypeAt(HWND edit, int caret, wchar_t c) {
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, caret, caret);
    SendMessageW(edit, WM_CHAR, c, 1);
    Pump(main_, 50);
  }
  void SelectPage(int index) {
    SendMessageW(self_->tree(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(self_->treeItem(index)));
  }
};

TEST_F(FileTest, SaveAsRightAfterStartWritesThePageDefaults) {
  const std::wstring path = TestFolder() + L"\\fresh.osr";
  DeleteFileW(path.c_str());
  {
    DialogRobot robot(LoadText(IDS_SAVE_TITLE), [&](HWND d) { ChooseFile(d, path); });
    SendMessageW(main_, WM_COMMAND, ID_FILE_SAVEAS, 0);
    EXPECT_TRUE(robot.found());
  }
  const auto f = ReadAll(path);
  ASSERT_EQ(f.size(), kConfigFileSize);
  std::uint8_t expected[kImageSize];
  InitImage(expected);
  expected[8] = 26;
  expected[9] = 10;
  expected[10] = 0;
  expected[190] = 0xF8;
  expected[193] = 9;
  expected[194] = 9;
  EXPECT_EQ(0, memcmp(f.data() + 16, expected, kImageSize));
  EXPECT_EQ(Text(IDC_STATUS), u" Успешная запись в файл: fresh.osr");
  EXPECT_EQ(WindowText(main_), u"Острел Сорна-Т v.1.0.00 - fresh.osr");
  // The process's current folder followed the dialog.
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), TestFolder());
}

TEST_F(FileTest, TypedValuesSurvivePageSwitchesAndAreSavedAndOpenedBack) {
  SelectPage(22);
  ASSERT_TRUE(IsWindowVisible(Page(22)));
  EXPECT_EQ(WindowText(ThermoUpper()), u"26");
  EXPECT_EQ(Text(IDC_MODIFIED), u"");
  TypeAt(ThermoUpper(), 2, L'5');  // a digit at the end of the full field: "65"
  EXPECT_EQ(WindowText(ThermoUpper()), u"65");
  EXPECT_EQ(Text(IDC_MODIFIED), u" *");
  SelectPage(3);
  SelectPage(22);
  EXPECT_EQ(WindowText(ThermoUpper()), u"65");

  const std::wstring path = TestFolder() + L"\\typed.osr";
  DeleteFileW(path.c_str());
  {
    DialogRobot robot(LoadText(IDS_SAVE_TITLE), [&](HWND d) { ChooseFile(d, path); });
    SendMessageW(main_, WM_COMMAND, ID_FILE_SAVEAS, 0);
  }
  auto f = ReadAll(path);
  ASSERT_EQ(f.size(), kConfigFileSize);
  EXPECT_EQ(f[16 + 8], 65);
  EXPECT_EQ(Text(IDC_MODIFIED), u"");

  // Change it again, then open the file: the prompt asks first.
  TypeAt(ThermoUpper(), 0, L'1');  // "165" -> "16"
  EXPECT_EQ(WindowText(ThermoUpper()), u"16");
  EXPECT_EQ(Text(IDC_MODIFIED), u" *");
  {
    DialogRobot prompt(u"Параметры изменены, но не сохранены...",
                       [](HWND d) { ClickButton(d, IDC_DISCARD_DONTSAVE); });
    DialogRobot open(LoadText(IDS_OPEN_TITLE), [&](HWND d) { ChooseFile(d, path); });
    SendMessageW(main_, WM_COMMAND, ID_FILE_OPEN, 0);
    EXPECT_TRUE(prompt.found());
    EXPECT_TRUE(open.found());
  }
  EXPECT_EQ(WindowText(ThermoUpper()), u"65");
  EXPECT_EQ(Text(IDC_MODIFIED), u"");
  EXPECT_EQ(Text(IDC_STATUS), u" Успешное считывание из файла: typed.osr");
  EXPECT_EQ(WindowText(main_), u"Острел Сорна-Т v.1.0.00 - typed.osr");

  // A damaged file is refused and changes nothing.
  f[16 + 8] = 70;
  {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, f.data(), static_cast<DWORD>(f.size()), &written, nullptr);
    CloseHandle(file);
  }
  {
    DialogRobot open(LoadText(IDS_OPEN_TITLE), [&](HWND d) { ChooseFile(d, path); });
    SendMessageW(main_, WM_COMMAND, ID_FILE_OPEN, 0);
  }
  EXPECT_EQ(Text(IDC_STATUS), u" Повреждённый файл: typed.osr");
  EXPECT_EQ(WindowText(ThermoUpper()), u"65");
}

TEST_F(FileTest, ClosingWithUnsavedChangesAsksAndOnlyTheButtonsEndThePrompt) {
  SelectPage(22);
  TypeAt(ThermoUpper(), 2, L'7');
  ASSERT_EQ(Text(IDC_MODIFIED), u" *");
  {
    // Esc does nothing in the prompt; "Отмена" keeps the window open.
    DialogRobot prompt(u"Параметры изменены, но не сохранены...", [](HWND d) {
      PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
      Sleep(200);
      if (IsWindow(d)) ClickButton(d, IDC_DISCARD_CANCEL);
    });
    SendMessageW(main_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(prompt.found());
  }
  EXPECT_TRUE(IsWindow(main_));
  {
    DialogRobot prompt(u"Параметры изменены, но не сохранены...",
                       [](HWND d) { ClickButton(d, IDC_DISCARD_DONTSAVE); });
    SendMessageW(main_, WM_CLOSE, 0, 0);
  }
  EXPECT_FALSE(IsWindow(main_));
  int code = -1;
  EXPECT_TRUE(TakeQuit(code));
  EXPECT_EQ(code, 0);
}

TEST_F(FileTest, AboutBoxClosesWithEscAndItsLinkUnderlinesOnHover) {
  bool hovered = false, left = false;
  DialogRobot about(u"О программе", [&](HWND d) {
    HWND link = GetDlgItem(d, IDC_ABOUT_LINK);
    SendMessageW(link, WM_MOUSEHOVER, 0, 0);
    hovered = HyperlinkLabel::Of(link) && HyperlinkLabel::Of(link)->hovering();
    SendMessageW(link, WM_MOUSELEAVE, 0, 0);
    left = HyperlinkLabel::Of(link) && !HyperlinkLabel::Of(link)->hovering();
    PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
  });
  SendMessageW(main_, WM_COMMAND, IDM_ABOUT, 0);
  EXPECT_TRUE(about.found());
  EXPECT_TRUE(hovered);
  EXPECT_TRUE(left);
}

}  // namespace
