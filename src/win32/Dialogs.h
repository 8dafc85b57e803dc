// The unsaved-changes prompt, the About box and the link label it uses.
#pragma once
#include <windows.h>

INT_PTR CALLBACK DiscardPromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Makes a static text behave like a link: hand cursor, underlined while the
// mouse rests on it.
class HyperlinkLabel {
 public:
  static void Attach(HWND dialog, int control);
  static void Detach(HWND dialog, int control);
  bool hovering() const { return hovering_ != 0; }
  // The record attached to a static, or null.
  static HyperlinkLabel* Of(HWND control);

 private:
  explicit HyperlinkLabel(HWND control);
  static LRESULT CALLBACK HyperlinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void SwitchFont(HFONT font);
  // Makes `font` the normal font and an underlined copy of it the other.
  void TakeFont(HFONT font);

  HWND control_;
  WNDPROC previousProc_ = nullptr;
  int hovering_ = 0;
  bool switching_ = false;
  HFONT normalFont_ = nullptr;
  HFONT underlinedFont_ = nullptr;
  HCURSOR cursor_ = nullptr;
};

// The address the About box shows and opens.
extern const wchar_t kWebSiteAddress[];
