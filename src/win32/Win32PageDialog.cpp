#include "win32/Win32PageDialog.h"

#include "win32/StartupTrace.h"
#include "win32/Win32Util.h"

namespace {
// In a traced build, the time a page spends in each kind of control call
// (with the notifications it brings back into the page); the time between
// calls is the page controllers' own.
int tracedDepth = 0;
struct Traced {
  explicit Traced(const char* step) : step_(step) {
    if (tracedDepth++ == 0) startup_trace::Mark("page controllers (own work)");
  }
  ~Traced() {
    if (--tracedDepth == 0) startup_trace::Mark(step_);
  }
  const char* step_;
};
}  // namespace

HWND Win32PageDialog::Control(int control) {
  for (const auto& [id, window] : controls_)
    if (id == control) return window;
  HWND window = GetDlgItem(dialog_, control);
  // A missing control is not remembered, so it is looked for again.
  if (window) controls_.emplace_back(control, window);
  return window;
}

std::u16string Win32PageDialog::GetText(int control) {
  Traced traced("page GetText");
  HWND edit = Control(control);
  return edit ? WindowText(edit) : std::u16string();
}

void Win32PageDialog::SetText(int control, const std::u16string& text) {
  Traced traced("page SetText");
  // The edit answers with EN_UPDATE before this returns.
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

void Win32PageDialog::GetSelection(int control, int& start, int& end) {
  Traced traced("page GetSelection");
  DWORD from = 0, to = 0;
  Send(control, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  start = static_cast<int>(from);
  end = static_cast<int>(to);
}

void Win32PageDialog::SetSelection(int control, int start, int end) {
  Traced traced("page SetSelection");
  Send(control, EM_SETSEL, start, end);
}

int Win32PageDialog::GetComboSelection(int control) {
  Traced traced("page GetComboSelection");
  return static_cast<int>(Send(control, CB_GETCURSEL, 0, 0));
}

void Win32PageDialog::SetComboSelection(int control, int index) {
  Traced traced("page SetComboSelection");
  Send(control, CB_SETCURSEL, index, 0);
}

void Win32PageDialog::AddComboString(int control, const std::u16string& text) {
  Traced traced("page AddComboString");
  Send(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

int Win32PageDialog::GetCheck(int control) {
  Traced traced("page GetCheck");
  return static_cast<int>(Send(control, BM_GETCHECK, 0, 0));
}

void Win32PageDialog::SetCheck(int control, int state) {
  Traced traced("page SetCheck"); Send(control, BM_SETCHECK, state, 0); }

bool Win32PageDialog::PostToParent(unsigned code, std::intptr_t value) {
  HWND parent = GetAncestor(dialog_, GA_PARENT);
  if (!parent || parent == GetDesktopWindow()) return false;
  return PostMessageW(parent, WM_APP, code, value) != 0;
}

std::u16string Win32PageDialog::LoadText(int id) {
  Traced traced("page LoadText"); return ::LoadText(id); }
