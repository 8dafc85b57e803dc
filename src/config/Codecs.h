// Conversions between the pages' value holders (UTF-16 texts) and the bytes
// of a ConfigImage. "off" is an image offset; digits are "0" to "9". Every
// codec accepts any byte value: a byte out of range loads as a default.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// ---- Character tests ----

inline bool IsDigitChar(char16_t c) { return c >= u'0' && c <= u'9'; }

// "+" only when `plusAllowed` and at position 0; "#", "*" and digits
// anywhere; anything else is refused.
bool IsPhoneChar(char16_t c, int position, bool plusAllowed);

// 0 for codes below 0x20, 1 for 0x20-0x7F, 2 for the Cyrillic letters the
// device stores, 0 for everything else.
int DeviceCharClass(char16_t c);

// ---- Device text: one byte per character ----
// Printable ASCII (0x20-0x7F) is stored as code OR 0x80; the Cyrillic letters
// U+0401-U+040C, U+040E-U+044F, U+0451-U+045C, U+045E-U+045F as the low byte
// of their code. Anything else cannot be stored.
std::optional<std::uint8_t> EncodeDeviceChar(char16_t c);
// A byte with bit 7 set gives the character byte AND 0x7F, any other byte
// U+0400 + byte. (0x0D ends a text; the text codecs stop there.)
char16_t DecodeDeviceChar(std::uint8_t b);

// ---- Byte codecs ----

// Plain number to a two-digit text ("07"); a byte outside min-max gives the
// default.
void LoadByteAsTwoDigits(int off, const std::uint8_t* image, std::u16string& text, int min,
                         int max, int def);
// Two-digit text to a plain number; 0 when either character is no digit.
void StoreTwoDigitsAsByte(std::uint8_t* image, int off, const std::u16string& text);
// Packed BCD (tens in bits 4-7) to a two-digit text; a nibble above 9 or a
// value above max gives the default.
void LoadBcdAsTwoDigits(int off, const std::uint8_t* image, std::u16string& text, int max,
                        int def);
// Two-digit text to packed BCD; a character that is no digit counts as 0.
void StoreTwoDigitsAsBcd(const std::u16string& text, std::uint8_t* image, int off);
// One-digit text to a byte 0-9; the byte is left alone when the text holds no
// digit.
void StoreOneDigit(const std::u16string& text, std::uint8_t* image, int off);
// A byte 0-9 to a one-digit text; anything greater gives the default digit.
void LoadOneDigit(int off, const std::uint8_t* image, std::u16string& text, char16_t def);
// Units and tenths (x.y) to BCD with the units in bits 4-7; 0x50 when either
// text holds no digit.
void StoreTenthsBcd(const std::u16string& units, const std::u16string& tenths,
                    std::uint8_t* image, int off);
// BCD x.y to units and tenths; a nibble above 9 gives the default `def`
// (two digits: the units, then the tenths).
void LoadTenthsBcd(int off, const std::uint8_t* image, std::u16string& tenths,
                   std::u16string& units, const char16_t* def);

// Sets (on) or clears one flag bit of a byte shared with other owners; the
// byte's other bits keep their values.
void StoreFlagBit(std::uint8_t* image, int off, std::uint8_t mask, bool on);

// Stores up to maxChars characters as device text, stopping at the first
// character that cannot be stored, ends a shorter text with 0x0D (the bytes
// after it are left alone), then sets `mask` in image[flagOff] when anything
// was stored and clears it otherwise. Returns the number of characters stored.
int StoreDeviceText(std::uint8_t mask, std::uint8_t* image, int off, int flagOff,
                    const std::u16string& text, int maxChars);
// Decodes from image[off] until 0x0D or maxChars bytes. The text also ends
// at the first byte that does not decode to a character the device can
// store (0x00, 0x50, 0x5D, 0x60-0x7F, 0x80-0x9F): the text shows only what
// can be stored again. Returns true when it ended at such a byte, that is
// when storing the text would not reproduce the field.
bool LoadDeviceText(int off, std::u16string& text, const std::uint8_t* image, int maxChars);
// An 8-character device text with a marker byte: 0x1B when anything was
// stored, 0xFF otherwise.
void StoreShortText(std::uint8_t* image, int off, int markerOff, const std::u16string& text);
// As LoadDeviceText with 8 characters.
bool LoadShortText(int off, std::u16string& text, const std::uint8_t* image);

// A phone number: marker 0x1B (0xFF when empty), the characters' low bytes,
// 0x0D, then 0xFF to the end of the 13-byte field. At most 12 characters are
// stored, so the field's end marker always stays inside the field.
void StorePhoneNumber(int markerOff, std::uint8_t* image, int off, const std::u16string& text);
// Reads until 0x0D; a byte that is no phone character at its position, or 13
// bytes without 0x0D, gives an empty text.
void LoadPhoneNumber(int off, const std::uint8_t* image, std::u16string& text);
