#include "config/EditFilters.h"

#include <algorithm>

#include "config/Codecs.h"

namespace {

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

}  // namespace

EditOutcome FilterNumber(const std::u16string& held, const std::u16string& typed, int caret,
                         int min, int max, int digits) {
  const std::size_t width = static_cast<std::size_t>(digits);
  std::u16string buffer =
      RemoveRefused(typed, caret, [](char16_t c, int) { return IsDigitChar(c); });

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
    if (static_cast<std::size_t>(caret) < held.size()) buffer += held.substr(caret);
  }
  int value = 0;
  bool valid = buffer.size() >= width;
  for (std::size_t i = 0; valid && i < width; ++i) {
    valid = IsDigitChar(buffer[i]);
    if (valid) value = value * 10 + (buffer[i] - u'0');
  }
  if (!valid || value < min || value > max) buffer = held;

  caret = std::min(caret, digits);
  // A digit typed inside a full field pushes the last digit out.
  if (buffer.size() > width) buffer.resize(width);
  return {buffer, caret};
}

EditOutcome FilterText(const std::u16string& typed, int caret, int mode, int maxLen) {
  std::u16string buffer;
  switch (mode) {
    case PhoneChars:
    case PhoneCharsLeadingPlus: {
      const bool plus = mode == PhoneCharsLeadingPlus;
      buffer = RemoveRefused(typed, caret,
                             [plus](char16_t c, int pos) { return IsPhoneChar(c, pos, plus); });
      break;
    }
    case DeviceText:
      buffer = RemoveRefused(typed, caret,
                             [](char16_t c, int) { return DeviceCharClass(c) != 0; });
      break;
    default:  // Digits
      buffer = RemoveRefused(typed, caret, [](char16_t c, int) { return IsDigitChar(c); });
      break;
  }
  caret = std::min(caret, maxLen);
  if (buffer.size() > static_cast<std::size_t>(maxLen)) buffer.resize(maxLen);
  return {buffer, caret};
}
