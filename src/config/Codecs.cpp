#include "config/Codecs.h"

#include <algorithm>

#include "config/ImageMap.h"

namespace {

char16_t DigitChar(int value) { return static_cast<char16_t>(u'0' + value); }

std::u16string TwoDigits(int value) {
  return {DigitChar(value / 10 % 10), DigitChar(value % 10)};
}

// The digit at `index` of `text`, or -1 when there is none.
int DigitAt(const std::u16string& text, std::size_t index) {
  if (index >= text.size() || !IsDigitChar(text[index])) return -1;
  return text[index] - u'0';
}

// The Cyrillic letters the device stores (those of the Windows Cyrillic code
// page).
bool IsDeviceCyrillic(char16_t c) {
  return (c >= 0x0401 && c <= 0x040C) || (c >= 0x040E && c <= 0x044F) ||
         (c >= 0x0451 && c <= 0x045C) || (c >= 0x045E && c <= 0x045F);
}

// Encodes up to maxChars characters, stopping at the first one that cannot be
// stored; ends a shorter text with 0x0D. Returns the number stored.
int EncodeDeviceText(std::uint8_t* image, int off, const std::u16string& text, int maxChars) {
  const int limit = std::min(static_cast<int>(text.size()), maxChars);
  int n = 0;
  while (n < limit) {
    const std::optional<std::uint8_t> b = EncodeDeviceChar(text[n]);
    if (!b) break;
    image[off + n] = *b;
    ++n;
  }
  if (n < maxChars) image[off + n] = kTextEnd;
  return n;
}

}  // namespace

bool IsPhoneChar(char16_t c, int position, bool plusAllowed) {
  if (c == u'+') return plusAllowed && position == 0;
  return c == u'#' || c == u'*' || IsDigitChar(c);
}

int DeviceCharClass(char16_t c) {
  if (c < 0x20) return 0;
  if (c <= 0x7F) return 1;
  return IsDeviceCyrillic(c) ? 2 : 0;
}

std::optional<std::uint8_t> EncodeDeviceChar(char16_t c) {
  if (c >= 0x20 && c <= 0x7F) return static_cast<std::uint8_t>(c | 0x80);
  if (IsDeviceCyrillic(c)) return static_cast<std::uint8_t>(c & 0xFF);
  return std::nullopt;
}

char16_t DecodeDeviceChar(std::uint8_t b) {
  if (b & 0x80) return static_cast<char16_t>(b & 0x7F);
  return static_cast<char16_t>(0x0400 + b);
}

void LoadByteAsTwoDigits(int off, const std::uint8_t* image, std::u16string& text, int min,
                         int max, int def) {
  int v = image[off];
  if (v < min || v > max) v = def;
  text = TwoDigits(v);
}

void StoreTwoDigitsAsByte(std::uint8_t* image, int off, const std::u16string& text) {
  const int tens = DigitAt(text, 0), units = DigitAt(text, 1);
  image[off] = (tens < 0 || units < 0) ? 0 : static_cast<std::uint8_t>(10 * tens + units);
}

void LoadBcdAsTwoDigits(int off, const std::uint8_t* image, std::u16string& text, int max,
                        int def) {
  const int high = image[off] >> 4, low = image[off] & 0x0F;
  if (high > 9 || low > 9 || 10 * high + low > max)
    text = TwoDigits(def);
  else
    text = {DigitChar(high), DigitChar(low)};
}

void StoreTwoDigitsAsBcd(const std::u16string& text, std::uint8_t* image, int off) {
  const int high = std::max(DigitAt(text, 0), 0), low = std::max(DigitAt(text, 1), 0);
  image[off] = static_cast<std::uint8_t>(high * 16 + low);
}

void StoreOneDigit(const std::u16string& text, std::uint8_t* image, int off) {
  const int digit = DigitAt(text, 0);
  if (digit >= 0) image[off] = static_cast<std::uint8_t>(digit);
}

void LoadOneDigit(int off, const std::uint8_t* image, std::u16string& text, char16_t def) {
  const int b = image[off];
  text = std::u16string(1, b <= 9 ? DigitChar(b) : def);
}

void StoreTenthsBcd(const std::u16string& units, const std::u16string& tenths,
                    std::uint8_t* image, int off) {
  const int u = DigitAt(units, 0), t = DigitAt(tenths, 0);
  image[off] = (u < 0 || t < 0) ? 0x50 : static_cast<std::uint8_t>(u * 16 + t);
}

void LoadTenthsBcd(int off, const std::uint8_t* image, std::u16string& tenths,
                   std::u16string& units, const char16_t* def) {
  const int high = image[off] >> 4, low = image[off] & 0x0F;
  if (high <= 9 && low <= 9) {
    units = std::u16string(1, DigitChar(high));
    tenths = std::u16string(1, DigitChar(low));
  } else {
    units = std::u16string(1, def[0]);
    tenths = std::u16string(1, def[1]);
  }
}

void StoreFlagBit(std::uint8_t* image, int off, std::uint8_t mask, bool on) {
  if (on)
    image[off] |= mask;
  else
    image[off] &= static_cast<std::uint8_t>(~mask);
}

int StoreDeviceText(std::uint8_t mask, std::uint8_t* image, int off, int flagOff,
                    const std::u16string& text, int maxChars) {
  const int n = EncodeDeviceText(image, off, text, maxChars);
  StoreFlagBit(image, flagOff, mask, n > 0);
  return n;
}

bool LoadDeviceText(int off, std::u16string& text, const std::uint8_t* image, int maxChars) {
  text.clear();
  for (int i = 0; i < maxChars && image[off + i] != kTextEnd; ++i) {
    const char16_t c = DecodeDeviceChar(image[off + i]);
    if (!EncodeDeviceChar(c)) return true;
    text.push_back(c);
  }
  return false;
}

void StoreShortText(std::uint8_t* image, int off, int markerOff, const std::u16string& text) {
  const int n = EncodeDeviceText(image, off, text, kKeyNameSize);
  image[markerOff] = n > 0 ? kMarkerPresent : kMarkerAbsent;
}

bool LoadShortText(int off, std::u16string& text, const std::uint8_t* image) {
  return LoadDeviceText(off, text, image, kKeyNameSize);
}

void StorePhoneNumber(int markerOff, std::uint8_t* image, int off, const std::u16string& text) {
  constexpr int kMaxDigits = kPhoneNumberSize - 1;
  const int n = std::min(static_cast<int>(text.size()), kMaxDigits);
  image[markerOff] = text.empty() ? kMarkerAbsent : kMarkerPresent;
  for (int i = 0; i < n; ++i) image[off + i] = static_cast<std::uint8_t>(text[i] & 0xFF);
  image[off + n] = kTextEnd;
  for (int i = n + 1; i < kPhoneNumberSize; ++i) image[off + i] = 0xFF;
}

void LoadPhoneNumber(int off, const std::uint8_t* image, std::u16string& text) {
  text.clear();
  for (int i = 0; i < kPhoneNumberSize; ++i) {
    const std::uint8_t b = image[off + i];
    if (b == kTextEnd) return;
    if (!IsPhoneChar(b, i, true)) break;
    text.push_back(b);
  }
  text.clear();  // a refused byte, or no end within the field
}
