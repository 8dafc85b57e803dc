// The parameter record of the open and save dialogs with the file-name
// buffer it owns.
#pragma once
#include <windows.h>

#include <commdlg.h>

#include <string>

class FileNameDialog {
 public:
  FileNameDialog();
  FileNameDialog(const FileNameDialog&) = delete;
  FileNameDialog& operator=(const FileNameDialog&) = delete;

  // Shows the open dialog (forSave false) or the save dialog. True with the
  // chosen path and the offset of its file name; false when the user
  // cancelled. A dialog failure throws WinException with the title.
  bool Show(HWND owner, bool forSave, std::u16string& path, std::size_t& nameOffset);

 private:
  static constexpr DWORD kBufferLength = 1024;
  OPENFILENAMEW record_;
  wchar_t buffer_[kBufferLength];
};
