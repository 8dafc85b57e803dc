#include "pages/HeadlessPageDialog.h"

#include <algorithm>
#include <stdexcept>

#include "config/Notifications.h"
#include "config/StringTable.h"
#include "pages/PageFramework.h"
#include "pages/PageTable.h"

void HeadlessPageDialog::SetText(int control, const std::u16string& text) {
  Edit& e = edits_[control];
  e.text = text;
  e.start = e.end = 0;  // a new text puts the caret at its start
  Notify(control, kEnUpdate);
}

void HeadlessPageDialog::GetSelection(int control, int& start, int& end) {
  start = edits_[control].start;
  end = edits_[control].end;
}

void HeadlessPageDialog::SetSelection(int control, int start, int end) {
  Edit& e = edits_[control];
  const int length = static_cast<int>(e.text.size());
  e.start = std::clamp(start, 0, length);
  e.end = std::clamp(end, 0, length);
}

void HeadlessPageDialog::SetComboSelection(int control, int index) {
  Combo& c = combos_[control];
  c.selection = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
}

void HeadlessPageDialog::AddComboString(int control, const std::u16string& text) {
  combos_[control].items.push_back(text);
}

bool HeadlessPageDialog::PostToParent(unsigned code, std::intptr_t value) {
  if (!parent_) return false;
  parent_(code, value);
  return true;
}

std::u16string HeadlessPageDialog::LoadText(int id) {
  const char16_t* text = FindString(id);
  if (!text) throw std::runtime_error("Load String failed");
  return text;
}

void HeadlessPageDialog::ReplaceSelection(int edit, const std::u16string& text) {
  Edit& e = edits_[edit];
  const int from = std::min(e.start, e.end), to = std::max(e.start, e.end);
  e.text.replace(from, to - from, text);
  e.start = e.end = from + static_cast<int>(text.size());
  Notify(edit, kEnUpdate);
}

void HeadlessPageDialog::Enter(int edit, const std::u16string& text) {
  SetSelection(edit, 0, static_cast<int>(edits_[edit].text.size()));
  ReplaceSelection(edit, text);
}

void HeadlessPageDialog::Click(int box) {
  checks_[box] = checks_[box] ? 0 : 1;
  Notify(box, kBnClicked);
}

void HeadlessPageDialog::Choose(int combo, int index) {
  SetComboSelection(combo, index);
  Notify(combo, kCbnSelChange);
}

void HeadlessPageDialog::Notify(int control, int code) {
  if (page_) page_->OnCommand(*this, control, code);
}

HeadlessPages::HeadlessPages() {
  for (int i = 0; i < kPageCount; ++i) {
    controllers_[i].reset(MakePageFactory(i)->create(dialogs_[i], config_.Values(i)));
    dialogs_[i].Attach(controllers_[i].get());
    // The main window's part for the input pages' notices.
    dialogs_[i].SetParent([this](unsigned code, std::intptr_t value) {
      if (code == Notify::ChangeOnlyOn || code == Notify::ChangeOnlyOff)
        OfferInputModeNotice(config_, value, code == Notify::ChangeOnlyOn);
    });
  }
}

HeadlessPages::~HeadlessPages() = default;

FieldPage& HeadlessPages::Fields(int index) {
  return dynamic_cast<FieldPage&>(*controllers_[index]);
}
