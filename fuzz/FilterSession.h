// The edit sessions of the filters' fuzz target: a page dialog that a user
// types into, and the decoding of the fuzzed bytes into its actions. The
// seed maker writes sessions in the same form.
//
// An action is an operation byte (its value modulo 7), a field byte (the
// field: index modulo the page's rows; the second edit of a tenths field
// when bit 7 is set) and the operation's arguments:
//   0 caret: position            1 select: from, to
//   2 type: count (1-4), then that many characters, each a byte that picks
//     one of kAlphabet             3 backspace   4 delete
//   5 click the field's check box  6 pick an entry of its list: index
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pages/FieldPage.h"
#include "pages/HeadlessPageDialog.h"

// Digits, Latin and Cyrillic letters, signs of phone numbers, a space, a
// tab, a sign the device cannot show and half of a surrogate pair.
inline constexpr char16_t kAlphabet[] = u"0123456789aZ\u0410\u044F\u0401+*# -.\t\u20AC\xD800";
inline constexpr std::size_t kAlphabetSize = sizeof kAlphabet / sizeof kAlphabet[0] - 1;

// Keys and mouse on top of the headless dialog, as the edit controls do them.
class TypingDialog : public HeadlessPageDialog {
 public:
  void Type(int edit, const std::u16string& text) { ReplaceSelection(edit, text); }
  void Backspace(int edit) {
    const Edit& e = EditOf(edit);
    if (e.start == e.end && e.start > 0) SetSelection(edit, e.start - 1, e.end);
    ReplaceSelection(edit, u"");
  }
  void Delete(int edit) {
    const Edit& e = EditOf(edit);
    if (e.start == e.end && e.end < static_cast<int>(e.text.size()))
      SetSelection(edit, e.start, e.end + 1);
    ReplaceSelection(edit, u"");
  }
};

class FilterSession {
 public:
  FilterSession(FieldPage& page, TypingDialog& dialog, const std::uint8_t* data, std::size_t size)
      : page_(page), dialog_(dialog), data_(data), size_(size) {}
  // Carries out the next action; false at the end of the input.
  bool Next() {
    if (at_ + 2 > size_) return false;
    const int op = data_[at_] % 7;
    const std::uint8_t which = data_[at_ + 1];
    at_ += 2;
    const auto& rows = page_.Fields().rows;
    const FieldRow& row = rows[(which & 0x7F) % rows.size()];
    const int edit = (which & 0x80) && row.control2 ? row.control2 : row.control;
    switch (op) {
      case 0: {
        const int at = Arg();
        dialog_.SetSelection(edit, at, at);
        break;
      }
      case 1: {
        const int from = Arg(), to = Arg();
        dialog_.SetSelection(edit, from, to);
        break;
      }
      case 2: {
        const int count = 1 + Arg() % 4;
        std::u16string text;
        for (int i = 0; i < count; ++i) text += kAlphabet[Arg() % kAlphabetSize];
        dialog_.Type(edit, text);
        break;
      }
      case 3: dialog_.Backspace(edit); break;
      case 4: dialog_.Delete(edit); break;
      case 5: dialog_.Click(row.control); break;
      default: {
        // Only what a user can pick: an entry of the list.
        const std::size_t entries = dialog_.ComboOf(row.control).items.size();
        const int pick = Arg();
        if (entries) dialog_.Choose(row.control, static_cast<int>(pick % entries));
        break;
      }
    }
    return true;
  }

  // Encodes actions for the seeds.
  static void Add(std::vector<std::uint8_t>& out, int op, int field, std::vector<int> args = {}) {
    out.push_back(static_cast<std::uint8_t>(op));
    out.push_back(static_cast<std::uint8_t>(field));
    for (int a : args) out.push_back(static_cast<std::uint8_t>(a));
  }

 private:
  int Arg() { return at_ < size_ ? data_[at_++] % 40 : 0; }

  FieldPage& page_;
  TypingDialog& dialog_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};
