#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/Codecs.h"
#include "config/ImageMap.h"

namespace {

struct Image {
  std::uint8_t bytes[kImageSize];
  Image() { InitImage(bytes); }
};

TEST(ImageMap, InitialContentsAndLayout) {
  Image image;
  EXPECT_EQ(image.bytes[0], 0xFF);
  EXPECT_EQ(image.bytes[kParamAreaSize - 1], 0xFF);
  EXPECT_EQ(image.bytes[kParamAreaSize], 0x00);
  EXPECT_EQ(image.bytes[kImageSize - 1], 0x00);
  // Arrays of per-object parameters, spot-checked against the device's map.
  EXPECT_EQ(PhoneNumber(5), 73);
  EXPECT_EQ(InAlarmText(3), 308);
  EXPECT_EQ(InOnAlias(2), 661);
  EXPECT_EQ(InZoneAlias(3), 980);
  EXPECT_EQ(KeyName(4), 922);
  EXPECT_EQ(RelayOffByInput(6), 645);
  EXPECT_EQ(ObjectBit(3), 0x04);
}

struct TwoDigitLoadCase {
  std::uint8_t byte;
  int min, max, def;
  const char16_t* shown;
};

TEST(Codecs, LoadByteAsTwoDigits) {
  const TwoDigitLoadCase cases[] = {
      {7, 0, 59, 0, u"07"},   {59, 0, 59, 0, u"59"}, {60, 0, 59, 0, u"00"},
      {0, 1, 99, 50, u"50"},  {1, 1, 99, 50, u"01"}, {0xFF, 0, 99, 26, u"26"},
      {100, 0, 99, 10, u"10"}, {99, 0, 99, 26, u"99"},
  };
  for (const auto& c : cases) {
    Image image;
    image.bytes[40] = c.byte;
    std::u16string text = u"xx";
    LoadByteAsTwoDigits(40, image.bytes, text, c.min, c.max, c.def);
    EXPECT_EQ(text, c.shown) << "byte " << int(c.byte);
  }
}

struct TwoDigitStoreCase {
  const char16_t* text;
  std::uint8_t plain, bcd;
};

TEST(Codecs, StoreTwoDigits) {
  const TwoDigitStoreCase cases[] = {
      {u"26", 26, 0x26}, {u"00", 0, 0x00}, {u"99", 99, 0x99},
      {u"7", 0, 0x70},   {u"a5", 0, 0x05}, {u"", 0, 0x00},
  };
  for (const auto& c : cases) {
    Image image;
    StoreTwoDigitsAsByte(image.bytes, 40, c.text);
    StoreTwoDigitsAsBcd(c.text, image.bytes, 41);
    EXPECT_EQ(image.bytes[40], c.plain) << "text " << testing::PrintToString(c.text);
    EXPECT_EQ(image.bytes[41], c.bcd) << "text " << testing::PrintToString(c.text);
    EXPECT_EQ(image.bytes[42], 0xFF);
  }
}

struct BcdLoadCase {
  std::uint8_t byte;
  int max, def;
  const char16_t* shown;
};

TEST(Codecs, LoadBcdAsTwoDigits) {
  const BcdLoadCase cases[] = {
      {0x19, 23, 0, u"19"}, {0x23, 23, 0, u"23"}, {0x24, 23, 7, u"07"},
      {0x1A, 59, 0, u"00"}, {0xA1, 99, 12, u"12"}, {0x59, 59, 0, u"59"},
      {0x60, 59, 0, u"00"}, {0xFF, 99, 5, u"05"},
  };
  for (const auto& c : cases) {
    Image image;
    image.bytes[40] = c.byte;
    std::u16string text;
    LoadBcdAsTwoDigits(40, image.bytes, text, c.max, c.def);
    EXPECT_EQ(text, c.shown) << "byte " << int(c.byte);
  }
}

TEST(Codecs, OneDigit) {
  Image image;
  StoreOneDigit(u"7", image.bytes, 40);
  EXPECT_EQ(image.bytes[40], 7);
  StoreOneDigit(u"", image.bytes, 41);  // no digit: the byte is left alone
  StoreOneDigit(u"x", image.bytes, 41);
  EXPECT_EQ(image.bytes[41], 0xFF);

  const std::pair<std::uint8_t, const char16_t*> loads[] = {
      {0, u"0"}, {9, u"9"}, {10, u"4"}, {0xFF, u"4"}};
  for (const auto& [byte, shown] : loads) {
    image.bytes[42] = byte;
    std::u16string text;
    LoadOneDigit(42, image.bytes, text, u'4');
    EXPECT_EQ(text, shown) << "byte " << int(byte);
  }
}

struct TenthsCase {
  std::uint8_t byte;
  const char16_t* units;
  const char16_t* tenths;
};

TEST(Codecs, TenthsBcd) {
  const TenthsCase loads[] = {
      {0x61, u"6", u"1"}, {0x99, u"9", u"9"}, {0x00, u"0", u"0"},
      {0xA0, u"6", u"0"}, {0x0A, u"6", u"0"}, {0xFF, u"6", u"0"},
  };
  for (const auto& c : loads) {
    Image image;
    image.bytes[40] = c.byte;
    std::u16string units, tenths;
    LoadTenthsBcd(40, image.bytes, tenths, units, u"60");
    EXPECT_EQ(units, c.units) << "byte " << int(c.byte);
    EXPECT_EQ(tenths, c.tenths) << "byte " << int(c.byte);
  }
  Image image;
  StoreTenthsBcd(u"9", u"9", image.bytes, 40);
  StoreTenthsBcd(u"4", u"0", image.bytes, 41);
  StoreTenthsBcd(u"", u"3", image.bytes, 42);
  StoreTenthsBcd(u"3", u"-", image.bytes, 43);
  EXPECT_EQ(image.bytes[40], 0x99);
  EXPECT_EQ(image.bytes[41], 0x40);
  EXPECT_EQ(image.bytes[42], 0x50);
  EXPECT_EQ(image.bytes[43], 0x50);
}

TEST(Codecs, IsPhoneChar) {
  struct Case {
    char16_t c;
    int pos;
    bool plus, allowed;
  };
  const Case cases[] = {
      {u'+', 0, true, true},  {u'+', 1, true, false}, {u'+', 0, false, false},
      {u'#', 5, false, true}, {u'*', 0, true, true},  {u'0', 3, false, true},
      {u'9', 0, true, true},  {u'a', 0, true, false}, {u' ', 2, true, false},
      {u'-', 2, true, false}, {u'\x0D', 0, true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsPhoneChar(c.c, c.pos, c.plus), c.allowed)
        << "char " << int(c.c) << " at " << c.pos;
}

TEST(DeviceText, CharClassesAndBytes) {
  struct Case {
    char16_t c;
    int cls;
    int byte;  // -1: not storable
  };
  const Case cases[] = {
      {0x0019, 0, -1},   {0x0020, 1, 0xA0},  {u'A', 1, 0xC1},    {0x007F, 1, 0xFF},
      {0x0080, 0, -1},   {0x00A9, 0, -1},    {0x0400, 0, -1},    {0x0401, 2, 0x01},
      {0x040C, 2, 0x0C}, {0x040D, 0, -1},    {0x040E, 2, 0x0E},  {0x0414, 2, 0x14},
      {0x044F, 2, 0x4F}, {0x0450, 0, -1},    {0x0451, 2, 0x51},  {0x045C, 2, 0x5C},
      {0x045D, 0, -1},   {0x045E, 2, 0x5E},  {0x045F, 2, 0x5F},  {0x0460, 0, -1},
      {0x2116, 0, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeviceCharClass(c.c), c.cls) << "char " << std::hex << int(c.c);
    const auto byte = EncodeDeviceChar(c.c);
    EXPECT_EQ(byte ? int(*byte) : -1, c.byte) << "char " << std::hex << int(c.c);
  }
}

TEST(DeviceText, EveryStorableCharacterRoundTrips) {
  int storable = 0;
  for (int c = 0; c <= 0xFFFF; ++c) {
    const auto byte = EncodeDeviceChar(static_cast<char16_t>(c));
    EXPECT_EQ(byte.has_value(), DeviceCharClass(static_cast<char16_t>(c)) != 0);
    if (!byte) continue;
    ++storable;
    EXPECT_NE(*byte, kTextEnd);
    EXPECT_EQ(DecodeDeviceChar(*byte), c) << std::hex << c;
  }
  EXPECT_EQ(storable, 96 + 92);  // printable ASCII and DEL, 92 Cyrillic letters
  // Bytes that no storable character gives still decode by the rule.
  EXPECT_EQ(DecodeDeviceChar(0x00), u'\u0400');
  EXPECT_EQ(DecodeDeviceChar(0x7F), u'\u047F');
}

TEST(DeviceText, StoreWritesEndMarkAndPresenceBit) {
  struct Case {
    std::u16string text;
    std::vector<std::uint8_t> bytes;  // from the field start, the rest stays 0xFF
    bool present;
  };
  const Case cases[] = {
      {u"Дом", {0x14, 0x3E, 0x3C, 0x0D}, true},
      {u"", {0x0D}, false},
      {u"Ab 1", {0xC1, 0xE2, 0xA0, 0xB1, 0x0D}, true},
      {u"ABCDEFG", {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7}, true},  // full: no end mark
      {u"ABCDEFGHI", {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7}, true},
      {u"AB\u20ACCD", {0xC1, 0xC2, 0x0D}, true},  // stops at the unstorable sign
      {u"\u00ABx", {0x0D}, false},
  };
  for (const auto& c : cases) {
    Image image;
    image.bytes[kInOnAliasPresentFlags] = 0x00;
    StoreDeviceText(0x02, image.bytes, InOnAlias(2), kInOnAliasPresentFlags, c.text, kAliasSize);
    for (std::size_t i = 0; i < c.bytes.size(); ++i)
      EXPECT_EQ(image.bytes[InOnAlias(2) + i], c.bytes[i]) << "byte " << i;
    for (int i = static_cast<int>(c.bytes.size()); i <= kAliasSize; ++i)
      EXPECT_EQ(image.bytes[InOnAlias(2) + i], 0xFF) << "byte " << i;
    EXPECT_EQ(image.bytes[kInOnAliasPresentFlags], c.present ? 0x02 : 0x00);

    // The presence bit is cleared in place: the other bits stay.
    image.bytes[kInOnAliasPresentFlags] = 0xFF;
    StoreDeviceText(0x02, image.bytes, InOnAlias(2), kInOnAliasPresentFlags, c.text, kAliasSize);
    EXPECT_EQ(image.bytes[kInOnAliasPresentFlags], c.present ? 0xFF : 0xFD);
  }
}

TEST(DeviceText, LoadStopsAtEndMarkOrFieldSize) {
  Image image;
  const std::uint8_t text[] = {0x14, 0x3E, 0x3C, 0x0D, 0xC1};
  std::memcpy(image.bytes + 300, text, sizeof text);
  std::u16string loaded = u"old";
  LoadDeviceText(300, loaded, image.bytes, 25);
  EXPECT_EQ(loaded, u"Дом");
  LoadDeviceText(300, loaded, image.bytes, 2);
  EXPECT_EQ(loaded, u"До");
  // An unwritten field of 0xFF bytes reads as DEL characters up to its size.
  LoadDeviceText(400, loaded, image.bytes, 7);
  EXPECT_EQ(loaded, std::u16string(7, u'\x7F'));
}

TEST(DeviceText, ShortTextMarker) {
  const std::pair<const char16_t*, std::uint8_t> cases[] = {
      {u"Ключ 1", kMarkerPresent}, {u"", kMarkerAbsent}, {u"\u20AC", kMarkerAbsent}};
  for (const auto& [text, marker] : cases) {
    Image image;
    StoreShortText(image.bytes, KeyName(2), KeyNamePresent(2), text);
    EXPECT_EQ(image.bytes[KeyNamePresent(2)], marker);
    std::u16string loaded;
    LoadShortText(KeyName(2), loaded, image.bytes);
    EXPECT_EQ(loaded, marker == kMarkerPresent ? std::u16string(text) : u"");
  }
  // Eight characters fill the field without an end mark and leave the next
  // key's field alone.
  Image image;
  StoreShortText(image.bytes, KeyName(3), KeyNamePresent(3), u"12345678");
  EXPECT_EQ(image.bytes[KeyName(3) + 7], 0xB8);
  EXPECT_EQ(image.bytes[KeyName(4)], 0xFF);
  std::u16string loaded;
  LoadShortText(KeyName(3), loaded, image.bytes);
  EXPECT_EQ(loaded, u"12345678");
}

TEST(PhoneNumber, StoreLayout) {
  Image image;
  StorePhoneNumber(PhonePresent(2), image.bytes, PhoneNumber(2), u"+7912");
  const std::uint8_t expected[kPhoneNumberSize] = {'+', '7', '9', '1', '2', 0x0D, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(image.bytes + PhoneNumber(2), expected, kPhoneNumberSize), 0);
  EXPECT_EQ(image.bytes[PhonePresent(2)], kMarkerPresent);

  // An empty number still writes its field; the marker says absent.
  image.bytes[PhoneNumber(3)] = '5';
  StorePhoneNumber(PhonePresent(3), image.bytes, PhoneNumber(3), u"");
  EXPECT_EQ(image.bytes[PhoneNumber(3)], 0x0D);
  EXPECT_EQ(image.bytes[PhonePresent(3)], kMarkerAbsent);

  // Twelve characters end with the field's last byte; a longer text is cut
  // there rather than running into the next number.
  for (const char16_t* text : {u"123456789012", u"1234567890123456"}) {
    Image full;
    StorePhoneNumber(PhonePresent(1), full.bytes, PhoneNumber(1), text);
    EXPECT_EQ(full.bytes[PhoneNumber(1) + 11], '2');
    EXPECT_EQ(full.bytes[PhoneNumber(1) + 12], 0x0D);
    EXPECT_EQ(full.bytes[PhoneNumber(2)], 0xFF);
  }
}

TEST(PhoneNumber, Load) {
  struct Case {
    std::vector<std::uint8_t> field;
    const char16_t* loaded;
  };
  const Case cases[] = {
      {{'+', '7', '9', 0x0D}, u"+79"},
      {{'*', '1', '0', '0', '#', 0x0D}, u"*100#"},
      {{0x0D}, u""},
      {{'1', 'a', '2', 0x0D}, u""},        // a letter
      {{'1', '+', '2', 0x0D}, u""},        // plus after the first position
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', 0x0D}, u"123456789012"},
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '1', '2', '3', 0x0D}, u""},  // no end
      {{0xFF}, u""},
  };
  for (const auto& c : cases) {
    Image image;
    std::memcpy(image.bytes + PhoneNumber(4), c.field.data(), c.field.size());
    std::u16string loaded = u"old";
    LoadPhoneNumber(PhoneNumber(4), image.bytes, loaded);
    EXPECT_EQ(loaded, c.loaded) << testing::PrintToString(c.field);
  }
}

}  // namespace
