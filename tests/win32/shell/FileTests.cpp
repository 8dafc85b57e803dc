// Files and the two dialogs through the real main window, its real page
// dialogs and the platform's file dialogs.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/ConfigFile.h"
#include "pages/HeadlessPageDialog.h"
#include "config/ImageMap.h"
#include "res/page_ids.h"
#include "win32/Dialogs.h"
#include "win32/shell/ShellSupport.h"

namespace {

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
  // The defaults of all pages over the initial image, as a fresh set of
  // pages stores them.
  std::uint8_t expected[kImageSize];
  InitImage(expected);
  HeadlessPages().StoreToImage(expected);
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

TEST_F(FileTest, SavesThatRefuseTidyUpOrWriteInPlace) {
  const std::wstring folder = L"C:\\l";
  CreateDirectoryW(folder.c_str(), nullptr);
  const struct {
    const char* what;
    std::wstring name;
    // Made after the first save, before the second; the second's outcome.
    std::function<void(const std::wstring& path)> prepare;
    bool saved;
    std::vector<std::wstring> left;  // the folder's files afterwards
  } cases[] = {
      {"a read-only file is refused and stays as it was", L"ro.osr",
       [](const std::wstring& p) { SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_READONLY); },
       false, {L"ro.osr"}},
      {"leftovers of earlier saves do not stop it and are removed", L"left.osr",
       [](const std::wstring& p) {
         for (int i = 0; i < 16; ++i)
           CloseHandle(CreateFileW((p + L".~" + std::to_wstring(i) + L".tmp").c_str(), GENERIC_WRITE,
                                   0, nullptr, CREATE_NEW, 0, nullptr));
         CloseHandle(CreateFileW((p + L".bak").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                 nullptr));
       },
       true, {L"left.osr", L"left.osr.bak"}},
      // 245 characters in a short folder: the path fits the usual limit,
      // no temporary name fits beside it.
      {"a name too long for a temporary name beside it is written in place",
       std::wstring(241, L'n') + L".osr", [](const std::wstring&) {}, true,
       {std::wstring(241, L'n') + L".osr"}},
  };
  wchar_t digit = L'3';  // a digit that changes the field each time
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring path = folder + L"\\" + c.name;
    {
      DialogRobot robot(LoadText(IDS_SAVE_TITLE), [&](HWND d) { ChooseFile(d, path); });
      SendMessageW(main_, WM_COMMAND, ID_FILE_SAVEAS, 0);
      ASSERT_TRUE(robot.found());
    }
    ASSERT_EQ(Text(IDC_STATUS), u" Успешная запись в файл: " + FromWide(c.name.c_str()));
    const auto first = ReadAll(path);
    ASSERT_EQ(first.size(), kConfigFileSize);
    c.prepare(path);
    // A changed value, then Save, which writes to the current file without a dialog.
    SelectPage(22);
    TypeAt(ThermoUpper(), 0, digit++);
    ASSERT_EQ(Text(IDC_MODIFIED), u" *");
    SendMessageW(main_, WM_COMMAND, ID_FILE_SAVE, 0);
    const auto second = ReadAll(path);
    if (c.saved) {
      EXPECT_EQ(Text(IDC_STATUS), u" Успешная запись в файл: " + FromWide(c.name.c_str()));
      EXPECT_NE(second, first);
      EXPECT_EQ(second.size(), kConfigFileSize);
      EXPECT_EQ(Text(IDC_MODIFIED), u"");
    } else {
      EXPECT_EQ(Text(IDC_STATUS), u" Ошибка записи в файл: " + FromWide(c.name.c_str()));
      EXPECT_EQ(second, first);
      EXPECT_EQ(Text(IDC_MODIFIED), u" *");
      EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    }
    std::vector<std::wstring> left;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) left.push_back(entry.cFileName);
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, c.left);
    for (const auto& name : left) {
      SetFileAttributesW((folder + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW((folder + L"\\" + name).c_str());
    }
    self_->configuration().Modified().Clear();
  }
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

// The dialog manager gives the About box's controls a new font when the
// box moves to a monitor of another DPI; the link then shows that font,
// underlined while the mouse rests on it, and no font of the old size.
TEST_F(FileTest, AboutBoxLinkTakesTheFontOfANewDpi) {
  struct Case {
    bool hoveringAtChange;
    bool hoverAfter;
  };
  const Case cases[] = {{false, false}, {false, true}, {true, true}, {true, false}};
  for (const Case& c : cases) {
    LOGFONTW shown = {}, taken = {};
    bool found = false;
    DialogRobot about(u"О программе", [&](HWND d) {
      HWND link = GetDlgItem(d, IDC_ABOUT_LINK);
      LOGFONTW dialogFont = {};
      GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)),
                 sizeof dialogFont, &dialogFont);
      dialogFont.lfHeight *= 2;  // as at twice the DPI
      taken = dialogFont;
      HFONT larger = CreateFontIndirectW(&dialogFont);
      if (c.hoveringAtChange) SendMessageW(link, WM_MOUSEHOVER, 0, 0);
      SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(larger), FALSE);
      SendMessageW(link, c.hoverAfter ? WM_MOUSEHOVER : WM_MOUSELEAVE, 0, 0);
      found = GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)),
                         sizeof shown, &shown) != 0;
      PostMessageW(d, WM_COMMAND, IDCANCEL, 0);
      // The box is gone before its font is.
      Sleep(200);
      DeleteObject(larger);
    });
    SendMessageW(main_, WM_COMMAND, IDM_ABOUT, 0);
    ASSERT_TRUE(about.found());
    ASSERT_TRUE(found);
    EXPECT_EQ(shown.lfHeight, taken.lfHeight) << c.hoveringAtChange << c.hoverAfter;
    EXPECT_EQ(shown.lfUnderline != 0, c.hoverAfter) << c.hoveringAtChange << c.hoverAfter;
  }
}

}  // namespace
