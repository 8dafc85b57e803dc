// A page dialog for the native tests that behaves like the real controls
// where the pages depend on it: setting an edit's text sends EN_UPDATE back
// into the page at once, list and check box writes send nothing, and the
// typing helpers change an edit the way a keystroke or a paste does before
// they send EN_UPDATE.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pages/Ctrlr.h"

class FakePageDialog : public IPageDialog {
 public:
  struct Edit {
    std::u16string text;
    int start = 0, end = 0;  // selection; the caret is at `end`
  };
  struct Combo {
    std::vector<std::u16string> items;
    int selection = -1;
  };
  struct Posted {
    unsigned code;
    std::intptr_t value;
    bool operator==(const Posted&) const = default;
  };

  // The page that receives the notifications (WM_COMMAND); none before
  // Attach, as during the page's own construction.
  void Attach(DlgCtrlr* page) { page_ = page; }
  void SetHasParent(bool hasParent) { hasParent_ = hasParent; }

  // IPageDialog
  std::u16string GetText(int control) override { return edits_[control].text; }
  void SetText(int control, const std::u16string& text) override;
  void GetSelection(int control, int& start, int& end) override;
  void SetSelection(int control, int start, int end) override;
  int GetComboSelection(int control) override { return combos_[control].selection; }
  void SetComboSelection(int control, int index) override;
  void AddComboString(int control, const std::u16string& text) override;
  int GetCheck(int control) override { return checks_[control]; }
  void SetCheck(int control, int state) override { checks_[control] = state; }
  bool PostToParent(unsigned code, std::intptr_t value) override;
  std::u16string LoadText(int id) override;

  // What the user does.
  void Select(int edit, int start, int end) { SetSelection(edit, start, end); }
  void PlaceCaret(int edit, int pos) { SetSelection(edit, pos, pos); }
  // Replaces the selection by `text` (a typed character or a paste), caret
  // after it.
  void Type(int edit, const std::u16string& text);
  void Backspace(int edit);  // the selection, or the character before the caret
  void Delete(int edit);     // the selection, or the character after the caret
  // An automatic check box toggles itself, then notifies.
  void Click(int box);
  // The user picks entry `index` of a drop-down list.
  void Choose(int combo, int index);
  // Any notification, for the cases the user cannot produce directly.
  void Notify(int control, int code);

  // What the page did.
  const Edit& EditOf(int control) { return edits_[control]; }
  int Caret(int edit) { return edits_[edit].end; }
  const Combo& ComboOf(int control) { return combos_[control]; }
  const std::vector<Posted>& posted() const { return posted_; }
  int setTextCalls() const { return setTextCalls_; }

 private:
  void ReplaceSelection(int edit, const std::u16string& text);

  DlgCtrlr* page_ = nullptr;
  bool hasParent_ = true;
  std::map<int, Edit> edits_;
  std::map<int, Combo> combos_;
  std::map<int, int> checks_;
  std::vector<Posted> posted_;
  int setTextCalls_ = 0;
};
