#include "pages/PageFramework.h"

#include <algorithm>

#include "config/Notifications.h"

void MarkModified(IPageDialog& dialog, IModifiedFlag& modified) {
  if (modified.Mark()) dialog.PostToParent(Notify::ModifiedNotice, 0);
}

void FillComboFromStrings(const int* ids, int combo, int count, IPageDialog& dialog) {
  for (int i = 0; i < count; ++i) dialog.AddComboString(combo, dialog.LoadText(ids[i]));
}

void PostInputModeNotice(IPageDialog& dialog, int input, bool enable) {
  // enable: change-only monitoring was switched off again.
  dialog.PostToParent(enable ? Notify::ChangeOnlyOff : Notify::ChangeOnlyOn, input);
}

void SetComboSelection(int combo, int index, IPageDialog& dialog) {
  dialog.SetComboSelection(combo, index);
}

void SetCheckBox(int box, int state, IPageDialog& dialog) { dialog.SetCheck(box, state); }

void GetEditSelection(int edit, int& start, int& end, IPageDialog& dialog) {
  dialog.GetSelection(edit, start, end);
}

void TakeComboSelection(int combo, int& index, IPageDialog& dialog, IModifiedFlag& modified) {
  const int selected = dialog.GetComboSelection(combo);
  if (selected == index) return;
  index = selected;
  MarkModified(dialog, modified);
}

int TakeCheckBox(int box, int& state, IPageDialog& dialog, IModifiedFlag& modified) {
  const int checked = dialog.GetCheck(box);
  if (checked == state) return 0;
  state = checked;
  MarkModified(dialog, modified);
  return 1;
}

bool FilterEdit(int edit, std::u16string& text, IPageDialog& dialog, IModifiedFlag& modified,
                const EditFilterFn& filter) {
  std::u16string typed = dialog.GetText(edit);
  const bool cut = typed.size() > kEditBufferChars;
  if (cut) typed.resize(kEditBufferChars);
  if (typed == text) return false;  // the page wrote the control itself
  int start = 0, end = 0;
  GetEditSelection(edit, start, end, dialog);
  const int caret = std::clamp(end, 0, static_cast<int>(typed.size()));

  const EditOutcome outcome = filter(typed, caret);
  const bool changed = outcome.text != text;
  if (changed) {
    // The value changes before the write-back, so the EN_UPDATE that the
    // write-back causes finds equal texts and returns at once.
    text = outcome.text;
    MarkModified(dialog, modified);
  }
  if (cut || outcome.text != typed) {
    dialog.SetText(edit, outcome.text);
    dialog.SetSelection(edit, outcome.caret, outcome.caret);
  }
  return changed;
}

void NumberEditFilter(int edit, std::u16string& text, IPageDialog& dialog,
                      IModifiedFlag& modified, int min, int max, int digits) {
  FilterEdit(edit, text, dialog, modified, [&](const std::u16string& typed, int caret) {
    return FilterNumber(text, typed, caret, min, max, digits);
  });
}

void DigitEditFilter(int edit, std::u16string& text, IPageDialog& dialog,
                     IModifiedFlag& modified) {
  NumberEditFilter(edit, text, dialog, modified, 0, 9, 1);
}

void TextEditFilter(int edit, std::u16string& text, IPageDialog& dialog,
                    IModifiedFlag& modified, int mode, int maxLen) {
  FilterEdit(edit, text, dialog, modified, [&](const std::u16string& typed, int caret) {
    return FilterText(typed, caret, mode, maxLen);
  });
}
