#include "pages/PageFramework.h"

#include <algorithm>

#include "app/Notifications.h"
#include "pages/Codecs.h"
#include "pages/Ctrlr.h"
#include "pages/ModifiedFlag.h"

namespace {

// Edits are read into a 64-character buffer: at most 63 characters count.
constexpr std::size_t kEditBufferChars = 63;

// The edit's text and the end of its selection, both cut to the buffer.
struct EditState {
  std::u16string text;  // as read, at most 63 characters
  bool cut = false;     // the edit held more than 63 characters
  int caret = 0;
};

EditState ReadEdit(int edit, IPageDialog& dialog) {
  EditState state;
  state.text = dialog.GetText(edit);
  if (state.text.size() > kEditBufferChars) {
    state.text.resize(kEditBufferChars);
    state.cut = true;
  }
  return state;
}

void ReadCaret(int edit, IPageDialog& dialog, EditState& state) {
  int start = 0, end = 0;
  GetEditSelection(edit, start, end, dialog);
  state.caret = std::clamp(end, 0, static_cast<int>(state.text.size()));
}

// Removes the characters that `keep` refuses (keep gets the character and its
// position in the result so far); the caret moves left for each removal
// before it.
template <class Keep>
std::u16string RemoveRefused(const std::u16string& text, int& caret, Keep keep) {
  std::u16string result;
  const int original = caret;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (keep(text[i], static_cast<int>(result.size())))
      result.push_back(text[i]);
    else if (static_cast<int>(i) < original)
      --caret;
  }
  return result;
}

// Takes the filtered buffer into the page and shows it when the edit differs.
void Finish(int edit, std::u16string& holder, IPageDialog& dialog, const EditState& read,
            const std::u16string& buffer, int caret) {
  if (buffer != holder) {
    // The holder changes before the write-back, so the EN_UPDATE that the
    // write-back causes finds equal texts and returns at once.
    holder = buffer;
    MarkModified(dialog);
  }
  if (read.cut || buffer != read.text) {
    dialog.SetText(edit, buffer);
    dialog.SetSelection(edit, caret, caret);
  }
}

}  // namespace

void MarkModified(IPageDialog& dialog) {
  if (modifiedFlag == 1) return;
  modifiedFlag = 1;
  dialog.PostToParent(Notify::ModifiedNotice, 0);
}

void FillComboFromStrings(const int* ids, int combo, int count, IPageDialog& dialog) {
  for (int i = 0; i < count; ++i) dialog.AddComboString(combo, dialog.LoadText(ids[i]));
}

void PostInputModeNotice(IPageDialog& dialog, int input, bool enable) {
  // enable: change-only monitoring was switched off again.
  dialog.PostToParent(enable ? Notify::ChangeOnlyOff : Notify::ChangeOnlyOn, input);
}

void OfferInputModeNotice(IPageSet& pages, std::intptr_t input, bool changeOnly) {
  const int known = (input >= 0 && input <= 2) ? static_cast<int>(input) : -1;
  for (int i = 0; i < kPageCount; ++i)
    if (auto* follower = dynamic_cast<IInputModeFollower*>(pages.Page(i)))
      follower->FollowInputMode(known, changeOnly);
}

void SetComboSelection(int combo, int index, IPageDialog& dialog) {
  dialog.SetComboSelection(combo, index);
}

void SetCheckBox(int box, int state, IPageDialog& dialog) { dialog.SetCheck(box, state); }

void GetEditSelection(int edit, int& start, int& end, IPageDialog& dialog) {
  dialog.GetSelection(edit, start, end);
}

void TakeComboSelection(int combo, int& index, IPageDialog& dialog) {
  const int selected = dialog.GetComboSelection(combo);
  if (selected == index) return;
  index = selected;
  MarkModified(dialog);
}

int TakeCheckBox(int box, int& state, IPageDialog& dialog) {
  const int checked = dialog.GetCheck(box);
  if (checked == state) return 0;
  state = checked;
  MarkModified(dialog);
  return 1;
}

void NumberEditFilter(int edit, std::u16string& text, IPageDialog& dialog, int min, int max,
                      int digits) {
  EditState read = ReadEdit(edit, dialog);
  if (read.text == text) return;  // the page wrote the control itself
  ReadCaret(edit, dialog, read);
  const std::size_t width = static_cast<std::size_t>(digits);

  int caret = read.caret;
  std::u16string buffer =
      RemoveRefused(read.text, caret, [](char16_t c, int) { return IsDigitChar(c); });

  // A digit typed at the end of a full field: the field shifts left and the
  // new digit becomes the last one.
  if (caret == digits + 1) {
    buffer.erase(0, 1);
    --caret;
  }
  // Digits were deleted (or refused characters removed): the page's digits
  // from the caret on come back, so deleting only moves the caret and the
  // field always keeps its width.
  if (buffer.size() < width) {
    buffer.resize(static_cast<std::size_t>(caret));
    if (static_cast<std::size_t>(caret) < text.size()) buffer += text.substr(caret);
  }
  int value = 0;
  bool valid = buffer.size() >= width;
  for (std::size_t i = 0; valid && i < width; ++i) value = value * 10 + (buffer[i] - u'0');
  if (!valid || value < min || value > max) buffer = text;

  caret = std::min(caret, digits);
  // A digit typed inside a full field pushes the last digit out.
  if (buffer.size() > width) buffer.resize(width);
  Finish(edit, text, dialog, read, buffer, caret);
}

void DigitEditFilter(int edit, std::u16string& text, IPageDialog& dialog) {
  NumberEditFilter(edit, text, dialog, 0, 9, 1);
}

void TextEditFilter(int edit, std::u16string& text, IPageDialog& dialog, int mode, int maxLen) {
  EditState read = ReadEdit(edit, dialog);
  if (read.text == text) return;
  ReadCaret(edit, dialog, read);

  int caret = read.caret;
  std::u16string buffer;
  switch (mode) {
    case PhoneChars:
    case PhoneCharsLeadingPlus: {
      const bool plus = mode == PhoneCharsLeadingPlus;
      buffer = RemoveRefused(read.text, caret,
                             [plus](char16_t c, int pos) { return IsPhoneChar(c, pos, plus); });
      break;
    }
    case DeviceText:
      buffer = RemoveRefused(read.text, caret,
                             [](char16_t c, int) { return DeviceCharClass(c) != 0; });
      break;
    default:  // Digits
      buffer = RemoveRefused(read.text, caret, [](char16_t c, int) { return IsDigitChar(c); });
      break;
  }
  caret = std::min(caret, maxLen);
  if (buffer.size() > static_cast<std::size_t>(maxLen)) buffer.resize(maxLen);
  Finish(edit, text, dialog, read, buffer, caret);
}

std::uint8_t ListCode(const std::uint8_t* codes, int count, int index) {
  return (index >= 0 && index < count) ? codes[index] : codes[0];
}

int ListIndex(const std::uint8_t* codes, int count, std::uint8_t code, int def) {
  for (int i = 0; i < count; ++i)
    if (codes[i] == code) return i;
  return def;
}
