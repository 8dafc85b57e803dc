#include "win32/FileNameDialog.h"

#include "res/resource.h"
#include "win32/Win32Util.h"
#include "winbase/WinException.h"

FileNameDialog::FileNameDialog() : record_{}, buffer_{} {
  record_.lStructSize = sizeof record_;
  record_.lpstrFile = buffer_;
  record_.nMaxFile = kBufferLength;
  record_.nFilterIndex = 1;
  record_.Flags = OFN_EXPLORER;
}

bool FileNameDialog::Show(HWND owner, bool forSave, std::u16string& path,
                          std::size_t& nameOffset) {
  const std::u16string title = LoadText(forSave ? IDS_SAVE_TITLE : IDS_OPEN_TITLE);
  // One filter: the shown text, then the pattern, each ended by a zero.
  std::u16string filter = LoadText(IDS_FILE_FILTER);
  filter.push_back(u'\0');
  filter += u"*.osr";
  filter.push_back(u'\0');
  record_.hwndOwner = owner;
  record_.lpstrFilter = Wide(filter);
  record_.lpstrTitle = Wide(title);
  BOOL chosen;
  if (forSave) {
    record_.lpstrDefExt = L"osr";
    record_.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    chosen = GetSaveFileNameW(&record_);
  } else {
    record_.lpstrDefExt = nullptr;
    record_.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    chosen = GetOpenFileNameW(&record_);
  }
  if (!chosen) {
    if (CommDlgExtendedError() != 0) throw WinException{GetLastError(), Wide(title)};
    return false;
  }
  path = FromWide(buffer_);
  nameOffset = record_.nFileOffset;
  return true;
}
