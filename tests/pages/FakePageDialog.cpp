#include "pages/FakePageDialog.h"

void FakePageDialog::SetHasParent(bool hasParent) {
  if (hasParent)
    SetParent([this](unsigned code, std::intptr_t value) { posted_.push_back({code, value}); });
  else
    SetParent(nullptr);
}

void FakePageDialog::SetText(int control, const std::u16string& text) {
  ++setTextCalls_;
  HeadlessPageDialog::SetText(control, text);
}

void FakePageDialog::Backspace(int edit) {
  Edit& e = edits_[edit];
  if (e.start == e.end) {
    if (e.end == 0) return;  // nothing before the caret: the edit does nothing
    e.start = e.end - 1;
  }
  ReplaceSelection(edit, u"");
}

void FakePageDialog::Delete(int edit) {
  Edit& e = edits_[edit];
  if (e.start == e.end) {
    if (e.end == static_cast<int>(e.text.size())) return;
    e.end = e.start + 1;
  }
  ReplaceSelection(edit, u"");
}
