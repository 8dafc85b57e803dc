// The page controllers reach their dialog's controls only through this
// interface. The Windows adapter implements it with the control messages;
// the tests use a double that behaves like the real controls.
#pragma once
#include <cstdint>
#include <string>

class IPageDialog {
 public:
  virtual ~IPageDialog() = default;
  // Edit text (WM_GETTEXT / WM_SETTEXT). Setting the text sends EN_UPDATE
  // back into the page synchronously, as the platform does.
  virtual std::u16string GetText(int control) = 0;
  virtual void SetText(int control, const std::u16string& text) = 0;
  // Edit selection (EM_GETSEL / EM_SETSEL).
  virtual void GetSelection(int control, int& start, int& end) = 0;
  virtual void SetSelection(int control, int start, int end) = 0;
  // Drop-down lists (CB_GETCURSEL / CB_SETCURSEL / CB_ADDSTRING). Setting
  // the selection sends no notification.
  virtual int GetComboSelection(int control) = 0;
  virtual void SetComboSelection(int control, int index) = 0;
  virtual void AddComboString(int control, const std::u16string& text) = 0;
  // Check boxes (BM_GETCHECK / BM_SETCHECK, no notification).
  virtual int GetCheck(int control) = 0;
  virtual void SetCheck(int control, int state) = 0;
  // Posts WM_APP with (code, value) to the page's parent window; false
  // when the page has no parent.
  virtual bool PostToParent(unsigned code, std::intptr_t value) = 0;
  // Loads a string-table text; throws when the text cannot be loaded (the
  // Windows adapter throws WinException "Load String failed").
  virtual std::u16string LoadText(int id) = 0;
};
