// The keystroke filters of the pages' edits as plain functions: given what
// the page holds, what the edit shows after a keystroke, a paste or a
// deletion, and where the caret is, they give what the edit must show and
// where the caret goes. The pages run them on every EN_UPDATE; the
// configuration model runs them to check a value given as text; the
// browser configurator runs them on every input event.
#pragma once
#include <string>

// Edits are read into a 64-character buffer: at most 63 characters count.
constexpr std::size_t kEditBufferChars = 63;

// Modes of the text filter.
enum TextFilterMode : int {
  PhoneChars = 0,             // digits, "#", "*"
  PhoneCharsLeadingPlus = 1,  // as PhoneChars, and "+" in the first position
  DeviceText = 2,             // every character the device text can store
  Digits = 11,                // decimal digits only
};

struct EditOutcome {
  std::u16string text;  // what the edit shows and the page holds
  int caret = 0;
};

// A fixed-width decimal field: the result always holds exactly `digits`
// digits forming a value in min-max. A digit typed at the end of a full
// field shifts the field left, a digit typed inside it pushes the last digit
// out, deleted digits come back (deleting only moves the caret), a value out
// of range leaves the field as `held`. `typed` is at most 63 characters;
// `caret` lies inside it.
EditOutcome FilterNumber(const std::u16string& held, const std::u16string& typed, int caret,
                         int min, int max, int digits);
// A free text or phone number of at most maxLen characters: the characters
// that `mode` refuses are removed (the caret moves left for each one before
// it) and the text is cut at maxLen. An empty text is allowed.
EditOutcome FilterText(const std::u16string& typed, int caret, int mode, int maxLen);
