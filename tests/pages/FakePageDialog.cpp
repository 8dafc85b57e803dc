#include "pages/FakePageDialog.h"

#include <algorithm>
#include <stdexcept>

#include "app/StringTable.h"
#include "pages/PageFramework.h"

void FakePageDialog::SetText(int control, const std::u16string& text) {
  ++setTextCalls_;
  Edit& e = edits_[control];
  e.text = text;
  e.start = e.end = 0;  // a new text puts the caret at its start
  Notify(control, kEnUpdate);
}

void FakePageDialog::GetSelection(int control, int& start, int& end) {
  start = edits_[control].start;
  end = edits_[control].end;
}

void FakePageDialog::SetSelection(int control, int start, int end) {
  Edit& e = edits_[control];
  const int length = static_cast<int>(e.text.size());
  e.start = std::clamp(start, 0, length);
  e.end = std::clamp(end, 0, length);
}

void FakePageDialog::SetComboSelection(int control, int index) {
  Combo& c = combos_[control];
  c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
}

void FakePageDialog::AddComboString(int control, const std::u16string& text) {
  combos_[control].items.push_back(text);
}

bool FakePageDialog::PostToParent(unsigned code, std::intptr_t value) {
  if (!hasParent_) return false;
  posted_.push_back({code, value});
  return true;
}

std::u16string FakePageDialog::LoadText(int id) {
  const char16_t* text = FindString(id);
  if (!text) throw std::runtime_error("Load String failed");
  return text;
}

void FakePageDialog::ReplaceSelection(int edit, const std::u16string& text) {
  Edit& e = edits_[edit];
  const int from = std::min(e.start, e.end), to = std::max(e.start, e.end);
  e.text.replace(from, to - from, text);
  e.start = e.end = from + static_cast<int>(text.size());
  Notify(edit, kEnUpdate);
}

void FakePageDialog::Type(int edit, const std::u16string& text) { ReplaceSelection(edit, text); }

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

void FakePageDialog::Click(int box) {
  checks_[box] = checks_[box] ? 0 : 1;
  Notify(box, kBnClicked);
}

void FakePageDialog::Choose(int combo, int index) {
  SetComboSelection(combo, index);
  Notify(combo, kCbnSelChange);
}

void FakePageDialog::Notify(int control, int code) {
  if (page_) page_->OnCommand(*this, control, code);
}
