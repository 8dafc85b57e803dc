// The headless page dialog with what the tests need on top: keystrokes,
// pastes, caret moves and selections as the real edit control makes them,
// a record of what the page posted, and a count of text writes.
#pragma once
#include <string>
#include <vector>

#include <memory>

#include "FlagHelpers.h"
#include "config/Configuration.h"
#include "pages/HeadlessPageDialog.h"

class FakePageDialog : public HeadlessPageDialog {
 public:
  struct Posted {
    unsigned code;
    std::intptr_t value;
    bool operator==(const Posted&) const = default;
  };

  FakePageDialog() { SetHasParent(true); }
  void SetHasParent(bool hasParent);

  void SetText(int control, const std::u16string& text) override;

  // What the user does.
  void Select(int edit, int start, int end) { SetSelection(edit, start, end); }
  void PlaceCaret(int edit, int pos) { SetSelection(edit, pos, pos); }
  // Replaces the selection by `text` (a typed character or a paste), caret
  // after it.
  void Type(int edit, const std::u16string& text) { ReplaceSelection(edit, text); }
  void Backspace(int edit);  // the selection, or the character before the caret
  void Delete(int edit);     // the selection, or the character after the caret

  // What the page did.
  int Caret(int edit) { return edits_[edit].end; }
  const std::vector<Posted>& posted() const { return posted_; }
  int setTextCalls() const { return setTextCalls_; }

 private:
  std::vector<Posted> posted_;
  int setTextCalls_ = 0;
};

// A page controller of class T as its dialog builds it: through its factory,
// over its page of a configuration model of its own, bound to a test dialog
// that then receives the dialog's notifications.
template <class T>
struct HostedPage {
  Configuration config;
  FakePageDialog dialog;
  std::unique_ptr<DlgCtrlr> page;
  IModifiedFlag& flag = config.Modified();
  HostedPage() {
    page.reset(ControllerFactory<T>().create(dialog, config.Values(T::kPageIndex)));
    dialog.Attach(page.get());
  }
};
