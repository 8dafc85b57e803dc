// The page controllers' view of a real page dialog: each control is reached
// by its id with the control's own messages. A control's window is looked
// up once and kept (the controls live as long as their page), since every
// lookup by id is a round trip to the window manager under some platforms.
#pragma once
#include <windows.h>

#include <utility>
#include <vector>

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
  // The control's window, or null when the page has no such control.
  HWND Control(int control);
  LRESULT Send(int control, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = Control(control);
    return window ? SendMessageW(window, message, wParam, lParam) : 0;
  }

  HWND dialog_;
  std::vector<std::pair<int, HWND>> controls_;
};
