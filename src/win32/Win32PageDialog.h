// The page controllers' view of a real page dialog: each control is reached
// by its id with the control's own messages.
#pragma once
#include <windows.h>

#include "pages/PageDialog.h"

class Win32PageDialog : public IPageDialog {
 public:
  explicit Win32PageDialog(HWND dialog) : dialog_(dialog) {}
  HWND window() const { return dialog_; }

  std::u16string GetText(int control) override;
  void SetText(int control, const std::u16string& text) override;
  void GetSelection(int control, int& start, int& end) override;
  void SetSelection(int control, int start, int end) override;
  int GetComboSelection(int control) override;
  void SetComboSelection(int control, int index) override;
  void AddComboString(int control, const std::u16string& text) override;
  int GetCheck(int control) override;
  void SetCheck(int control, int state) override;
  bool PostToParent(unsigned code, std::intptr_t value) override;
  std::u16string LoadText(int id) override;

 private:
  LRESULT Send(int control, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendDlgItemMessageW(dialog_, control, message, wParam, lParam);
  }

  HWND dialog_;
};
