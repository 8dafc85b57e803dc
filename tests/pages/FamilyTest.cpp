// The page families' own rules and the edge cases that catch real faults:
// a swapped id or bit, a wrong fallback, a codec argument order, a text the
// store would cut, the change-only rule and its notice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <memory>
#include <vector>

#include "app/Controller.h"
#include "app/Fakes.h"
#include "config/Notifications.h"
#include "device/DemoConfiguration.h"
#include "pages/FakePageDialog.h"
#include "pages/HeadlessPageDialog.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"
#include "pages/Pages.h"
#include "pages/PageFramework.h"
#include "pages/PageTable.h"
#include "res/resource.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Initial() {
  Bytes image(kImageSize);
  InitImage(image.data());
  return image;
}

// A page built through its factory and attached to a test dialog.
template <class T>
struct Hosted : HostedPage<T> {
  using HostedPage<T>::page;
  using HostedPage<T>::dialog;
  Bytes Stored(Bytes image = Initial()) {
    page->StoreToImage(image.data());
    return image;
  }
  void Load(const Bytes& image) { page->LoadFromImage(image.data()); }
  // Replaces an edit's whole text as a paste does.
  void Enter(int edit, const std::u16string& text) { dialog.Enter(edit, text); }
};

// The bytes that differ between two images.
std::vector<int> Changed(const Bytes& a, const Bytes& b) {
  std::vector<int> changed;
  for (int i = 0; i < static_cast<int>(kImageSize); ++i)
    if (a[i] != b[i]) changed.push_back(i);
  return changed;
}

// ---- Input pages 1 ----

TEST(InputPage1, FreshPagesStoreTheirDefaultsInTheirOwnBytes) {
  const Bytes image = Hosted<CtrlPageIn1_1>().Stored();
  EXPECT_EQ(Changed(Initial(), image), (std::vector<int>{120, 129, 137, 145, 153, 161, 220}));
  EXPECT_EQ(image[137], 0);
  EXPECT_EQ(image[145], 0x32);
  EXPECT_EQ(image[153], 0x60);
  EXPECT_EQ(image[129], 0x40);
  // Input 2 also sets its 24-hour bit and clears its change-only bit.
  Bytes zeros(kImageSize, 0x00);
  zeros = Hosted<CtrlPageIn2_1>().Stored(zeros);
  EXPECT_EQ(zeros[kIn24HourFlags], 0x02);
  EXPECT_EQ(Initial()[kInChangeOnlyFlags] & 0xFD, Hosted<CtrlPageIn2_1>().Stored()[kInChangeOnlyFlags]);
  EXPECT_EQ(Changed(Bytes(kImageSize, 0x00), zeros),
            (std::vector<int>{130, 146, 154, 219}));  // the others store 0 over 0
}

TEST(InputPage1, LoadFallbacksAndAsymmetricThresholds) {
  struct Case {
    int k;
    std::uint8_t entry, averaging, upper, lower, mode, restore;
    const char16_t *entryShown, *averagingShown, *upperUnits, *upperTenths, *lowerUnits,
        *lowerTenths, *restoreShown;
    int modeShown;
  };
  const Case cases[] = {
      {1, 60, 0, 0x61, 0xFF, 6, 10, u"00", u"50", u"6", u"1", u"6", u"0", u"0", 0},
      {2, 59, 99, 0x61, 0x61, 5, 9, u"59", u"99", u"6", u"1", u"6", u"1", u"9", 5},
      {3, 0, 100, 0x0A, 0xA0, 0xFF, 0, u"00", u"50", u"6", u"0", u"6", u"0", u"0", 0},
      {3, 0x3B, 1, 0x99, 0x00, 1, 0xFF, u"59", u"01", u"9", u"9", u"0", u"0", u"0", 1},
  };
  for (const Case& c : cases) {
    HeadlessPages pages;
    const int index = 2 * (c.k - 1);
    Bytes image = Initial();
    image[InEntryDelay(c.k)] = c.entry;
    image[InAveraging(c.k)] = c.averaging;
    image[InUpperThreshold(c.k)] = c.upper;
    image[InLowerThreshold(c.k)] = c.lower;
    image[InTriggerMode(c.k)] = c.mode;
    image[InRestoreTime(c.k)] = c.restore;
    pages.Fields(index).LoadFromImage(image.data());
    HeadlessPageDialog& d = pages.Dialog(index);
    EXPECT_EQ(d.GetText(IDC_IN1_ENTRY_DELAY), c.entryShown) << c.k;
    EXPECT_EQ(d.GetText(IDC_IN1_AVERAGING), c.averagingShown) << c.k;
    EXPECT_EQ(d.GetText(IDC_IN1_UPPER_UNITS), c.upperUnits) << c.k;
    EXPECT_EQ(d.GetText(IDC_IN1_UPPER_TENTHS), c.upperTenths) << c.k;
    EXPECT_EQ(d.GetText(IDC_IN1_LOWER_UNITS), c.lowerUnits) << c.k;
    EXPECT_EQ(d.GetText(IDC_IN1_LOWER_TENTHS), c.lowerTenths) << c.k;
    EXPECT_EQ(d.GetText(IDC_IN1_RESTORE), c.restoreShown) << c.k;
    EXPECT_EQ(d.GetComboSelection(IDC_IN1_MODE), c.modeShown) << c.k;
    // Units go to the high nibble, tenths to the low one.
    Bytes stored = Initial();
    pages.Fields(index).StoreToImage(stored.data());
    EXPECT_EQ(stored[InUpperThreshold(c.k)],
              (c.upperUnits[0] - u'0') * 16 + (c.upperTenths[0] - u'0'));
    EXPECT_EQ(stored[InLowerThreshold(c.k)],
              (c.lowerUnits[0] - u'0') * 16 + (c.lowerTenths[0] - u'0'));
    EXPECT_EQ(FlagOf(pages.Modified()), 0);
  }
}

TEST(InputPage1, ChangeOnlyRuleAndItsNotice) {
  struct Step {
    bool tick;  // the box goes to this state (a click that changes nothing when equal)
    const char16_t *entry, *restore, *alarms, *upperUnits;
    int mode, fire;
    std::vector<FakePageDialog::Posted> posted;
  };
  for (int k : {2, 3}) {
    Configuration config;
    FakePageDialog dialog;
    std::unique_ptr<DlgCtrlr> page(
        k == 2 ? ControllerFactory<CtrlPageIn2_1>().create(dialog, config.Values(2))
               : ControllerFactory<CtrlPageIn3_1>().create(dialog, config.Values(4)));
    dialog.Attach(page.get());
    // Values the rule leaves alone or overwrites.
    dialog.Enter(IDC_IN1_ENTRY_DELAY, u"30");
    dialog.Enter(IDC_IN1_MAX_ALARMS, u"7");
    dialog.Enter(IDC_IN1_UPPER_UNITS, u"8");
    dialog.Enter(IDC_IN1_LOWER_UNITS, u"3");
    dialog.Choose(IDC_IN1_MODE, 3);
    const std::intptr_t input = k - 1;
    const Step steps[] = {
        {true, u"00", u"0", u"0", u"6", 1, 1, {{Notify::ChangeOnlyOn, input}}},
        {true, u"00", u"0", u"0", u"6", 1, 1, {}},  // no change: no rule, no notice
        {false, u"05", u"2", u"0", u"6", 5, 0, {{Notify::ChangeOnlyOff, input}}},
    };
    std::size_t posted = dialog.posted().size();
    for (const Step& s : steps) {
      dialog.SetCheck(IDC_IN1_CHANGE_ONLY, s.tick ? 1 : 0);
      const int writes = dialog.setTextCalls();
      dialog.Notify(IDC_IN1_CHANGE_ONLY, kBnClicked);
      // Every click on the box redraws all eight edits, changed or not.
      EXPECT_EQ(dialog.setTextCalls() - writes, 8) << k;
      EXPECT_EQ(dialog.GetText(IDC_IN1_ENTRY_DELAY), s.entry) << k;
      EXPECT_EQ(dialog.GetText(IDC_IN1_RESTORE), s.restore) << k;
      EXPECT_EQ(dialog.GetText(IDC_IN1_MAX_ALARMS), s.alarms) << k;
      EXPECT_EQ(dialog.GetText(IDC_IN1_UPPER_UNITS), s.upperUnits) << k;
      EXPECT_EQ(dialog.GetText(IDC_IN1_UPPER_TENTHS), u"0") << k;
      EXPECT_EQ(dialog.GetText(IDC_IN1_LOWER_UNITS), u"3") << k;  // never touched
      EXPECT_EQ(dialog.GetComboSelection(IDC_IN1_MODE), s.mode) << k;
      EXPECT_EQ(dialog.GetCheck(IDC_IN1_24_HOUR), s.fire) << k;
      const std::vector<FakePageDialog::Posted> now(dialog.posted().begin() + posted,
                                                    dialog.posted().end());
      posted = dialog.posted().size();
      // The first edit above already marked the configuration modified.
      EXPECT_EQ(now, s.posted) << k;
      Bytes image = Initial();
      image[kInChangeOnlyFlags] = image[kIn24HourFlags] = 0x00;
      page->StoreToImage(image.data());
      EXPECT_EQ(image[kInChangeOnlyFlags], s.tick ? 1 << (k - 1) : 0) << k;
      EXPECT_EQ(image[kIn24HourFlags], s.fire ? 1 << (k - 1) : 0) << k;
      EXPECT_EQ(image[InTriggerMode(k)], s.mode) << k;
    }
  }
}

// ---- Input pages 2 ----

TEST(InputPage2, FreshPageTouchesOnlyItsTextsBitsAndRelays) {
  const Bytes image = Hosted<CtrlPageIn2_2>().Stored();
  std::vector<int> expected = {4, 93, 196, 254, 255, 282, 661, 717, 973};
  for (int r = 0; r < 6; ++r) expected.push_back(624 + r);
  for (int r = 0; r < 6; ++r) expected.push_back(640 + r);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Changed(Initial(), image), expected);
  for (int flags : {4, 93, 254, 255, 624, 645}) EXPECT_EQ(image[flags], 0xFD) << flags;
  for (int end : {282, 661, 717, 973}) EXPECT_EQ(image[end], 0x0D) << end;
  // Input 1 has no aliases: bit 0 of their flag bytes and their first
  // slots belong to no page.
  const Bytes one = Hosted<CtrlPageIn1_2>().Stored();
  for (int untouched : {4, 93, 254, 654, 710, 966}) EXPECT_EQ(one[untouched], 0xFF) << untouched;
}

TEST(InputPage2, TextLengthsAndPresenceBits) {
  struct Case {
    int edit;
    std::u16string typed;     // pasted over the whole edit
    std::u16string shown;     // what the filter leaves
    int field, flags;         // of input 3
    std::size_t stored;       // bytes written before the end mark (none when full)
  };
  const std::u16string c25(25, u'Ж'), c7(7, u'z');
  const Case cases[] = {
      {IDC_IN2_ALARM_TEXT, c25 + u"XY", c25, InAlarmText(3), kInAlarmTextPresentFlags, 25},
      {IDC_IN2_ALARM_TEXT, u"", u"", InAlarmText(3), kInAlarmTextPresentFlags, 0},
      {IDC_IN2_ZONE_ALIAS, c7 + u"8", c7, InZoneAlias(3), kInZoneAliasPresentFlags, 7},
      {IDC_IN2_ON_ALIAS, u"Вкл\u2116", u"Вкл", InOnAlias(3), kInOnAliasPresentFlags, 3},
      {IDC_IN2_OFF_ALIAS, u"\tOff", u"Off", InOffAlias(3), kInOffAliasPresentFlags, 3},
  };
  for (const Case& c : cases) {
    Hosted<CtrlPageIn3_2> h;
    h.Enter(c.edit, c.typed);
    EXPECT_EQ(h.dialog.GetText(c.edit), c.shown);
    const int max = c.edit == IDC_IN2_ALARM_TEXT ? 25 : 7;
    Bytes before = Initial();
    before[c.field + max] = 0x55;
    const Bytes image = h.Stored(before);
    EXPECT_EQ(image[c.flags] & 0x04, c.stored ? 0x04 : 0) << c.field;
    if (c.stored < static_cast<std::size_t>(max)) {
      EXPECT_EQ(image[c.field + c.stored], 0x0D);
    }
    EXPECT_EQ(image[c.field + max], before[c.field + max]) << "byte after the field";
    Hosted<CtrlPageIn3_2> back;
    back.Load(image);
    EXPECT_EQ(back.dialog.GetText(c.edit), c.shown);
  }
  // A presence bit over a field that begins with the end mark: empty, and
  // the next store clears the bit.
  Bytes image = Initial();
  image[InAlarmText(1)] = 0x0D;
  Hosted<CtrlPageIn1_2> h;
  h.Load(image);
  EXPECT_EQ(h.dialog.GetText(IDC_IN2_ALARM_TEXT), u"");
  EXPECT_EQ(h.Stored(image)[kInAlarmTextPresentFlags], 0xFE);
  // Without the bit the text is empty whatever the field holds.
  image[kInAlarmTextPresentFlags] = 0xFE;
  image[InAlarmText(1)] = 0xC1;
  h.Load(image);
  EXPECT_EQ(h.dialog.GetText(IDC_IN2_ALARM_TEXT), u"");
}

TEST(InputPage2, RelayBoxesMapToTheirBytes) {
  const std::pair<int, int> boxes[] = {
      {IDC_IN2_ON_RELAY_1, 624}, {IDC_IN2_ON_RELAY_2, 625}, {IDC_IN2_ON_RELAY_3, 626},
      {IDC_IN2_ON_RELAY_4, 627}, {IDC_IN2_ON_RELAY_5, 628}, {IDC_IN2_ON_RELAY_6, 629},
      {IDC_IN2_OFF_RELAY_1, 640}, {IDC_IN2_OFF_RELAY_2, 641}, {IDC_IN2_OFF_RELAY_3, 642},
      {IDC_IN2_OFF_RELAY_4, 643}, {IDC_IN2_OFF_RELAY_5, 644}, {IDC_IN2_OFF_RELAY_6, 645}};
  for (auto [box, byte] : boxes) {
    Hosted<CtrlPageIn3_2> h;
    h.dialog.Click(box);
    const Bytes image = h.Stored(Bytes(kImageSize, 0x00));
    for (auto [other, otherByte] : boxes)
      EXPECT_EQ(image[otherByte], otherByte == byte ? 0x04 : 0x00) << box << " " << other;
  }
}

// ---- Device texts that the encoder cannot reproduce ----

TEST(DeviceTextMend, AnUneditedTextIsWrittenBackAsLoaded) {
  // Each kind of byte that decodes to no storable character, at the start,
  // in the middle and at the end of the alarm text and of a key name.
  const std::uint8_t odd[] = {0x00, 0x50, 0x5D, 0x60, 0x7F, 0x80, 0x9F};
  for (std::uint8_t b : odd)
    for (int at : {0, 3, 6}) {
      for (bool key : {false, true}) {
        Bytes image = Initial();
        const int field = key ? KeyName(3) : InAlarmText(2);
        const std::uint8_t text[7] = {0xC1, 0xE2, 0x14, 0x3E, 0x3C, 0xB1, 0xB2};  // "Ab" "Дом" "12"
        std::memcpy(&image[field], text, 7);
        image[field + at] = b;
        image[field + 7] = 0x0D;
        if (key) image[KeyNamePresent(3)] = kMarkerPresent;
        HeadlessPages pages;
        const int page = key ? 11 : 3;
        const int edit = key ? IDC_SETRES_KEY_3 : IDC_IN2_ALARM_TEXT;
        pages.LoadFromImage(image.data());
        // The shown text ends where the bytes stop being storable.
        const std::u16string shown = pages.Dialog(page).GetText(edit);
        EXPECT_EQ(shown, std::u16string(u"AbДом12").substr(0, at)) << int(b) << " " << at;
        EXPECT_EQ(shown.find(u'\0'), std::u16string::npos);
        Bytes stored = image;
        pages.StoreToImage(stored.data());
        const int flag = key ? KeyNamePresent(3) : kInAlarmTextPresentFlags;
        EXPECT_EQ(stored[flag], image[flag]) << int(b) << " " << at << " " << key;
        EXPECT_EQ(std::memcmp(&stored[field], &image[field], key ? 8 : 25), 0)
            << int(b) << " " << at << " " << key;
        EXPECT_EQ(FlagOf(pages.Modified()), 0);
        // Once edited, the text is stored by the rule.
        pages.Dialog(page).Enter(edit, shown + u"x");
        pages.StoreToImage(stored.data());
        EXPECT_EQ(stored[field + at], 0xF8);  // 'x'
        EXPECT_EQ(stored[field + at + 1], 0x0D);
      }
    }
}

// ---- Phone pages ----

TEST(PhonePage, EachBoxIsItsBytesBitForItsPhone) {
  struct Box {
    int id, byte;
  };
  std::vector<Box> boxes = {{IDC_TEL_ON_RELAY_1, 616},  {IDC_TEL_ON_RELAY_2, 617},
                            {IDC_TEL_ON_RELAY_3, 618},  {IDC_TEL_ON_RELAY_4, 619},
                            {IDC_TEL_ON_RELAY_5, 620},  {IDC_TEL_ON_RELAY_6, 621},
                            {IDC_TEL_OFF_RELAY_1, 632}, {IDC_TEL_OFF_RELAY_2, 633},
                            {IDC_TEL_OFF_RELAY_3, 634}, {IDC_TEL_OFF_RELAY_4, 635},
                            {IDC_TEL_OFF_RELAY_5, 636}, {IDC_TEL_OFF_RELAY_6, 637}};
  // Events 1-8 of the SMS and voice columns.
  const int sms[] = {1023, 1024, 1025, 1019, 1020, 1028, 1027, 1029};
  const int voice[] = {1054, 1055, 1056, 1052, 1053, 1059, 1058, 1060};
  for (int e = 0; e < 8; ++e) {
    boxes.push_back({sms[e], 228 + e});
    boxes.push_back({voice[e], 241 + e});
  }
  ASSERT_EQ(boxes.size(), 28u);
  for (const Box& box : boxes) {
    HeadlessPages pages;
    pages.Dialog(7).Click(box.id);  // phone 2: bit 1
    Bytes image(kImageSize, 0x00);
    pages.StoreToImage(image.data());
    for (const Box& other : boxes)
      EXPECT_EQ(image[other.byte], other.byte == box.byte ? 0x02 : 0x00) << box.id;
  }
  // An erased device: all 28 boxes ticked on every phone page.
  HeadlessPages pages;
  pages.LoadFromImage(Bytes(kImageSize, 0xFF).data());
  for (int p = 6; p <= 10; ++p)
    for (const Box& box : boxes) EXPECT_EQ(pages.Dialog(p).GetCheck(box.id), 1) << p;
}

TEST(PhonePage, NumberFieldForms) {
  struct Case {
    Bytes field;  // the 13 bytes, 0xFF after
    std::uint8_t marker;
    std::u16string shown;
  };
  auto ascii = [](const char* s) { return Bytes(s, s + std::strlen(s)); };
  const Case cases[] = {
      {ascii("+79161234567\r"), 0x1B, u"+79161234567"},
      {ascii("*#12\r"), 0x1B, u"*#12"},
      {ascii("12+3\r"), 0x1B, u""},            // '+' later than the first position
      {ascii("1234567890123"), 0x1B, u""},     // no end mark within 13 bytes
      {ascii("12a4\r"), 0x1B, u""},
      {ascii("12345\r"), 0x1C, u""},           // marker other than 0x1B
      {ascii("\r"), 0x1B, u""},
  };
  for (const Case& c : cases) {
    Hosted<CtrlPageTel4> h;
    Bytes image = Initial();
    std::memcpy(&image[PhoneNumber(4)], c.field.data(), c.field.size());
    image[PhonePresent(4)] = c.marker;
    h.Load(image);
    EXPECT_EQ(h.dialog.GetText(IDC_TEL_NUMBER), c.shown);
    const Bytes stored = h.Stored(image);
    EXPECT_EQ(stored[PhonePresent(4)], c.shown.empty() ? 0xFF : 0x1B);
    EXPECT_EQ(stored[PhoneNumber(4) + c.shown.size()], 0x0D);
    for (std::size_t i = c.shown.size() + 1; i < 13; ++i) EXPECT_EQ(stored[PhoneNumber(4) + i], 0xFF);
  }
  // Typing: '+' only first, letters dropped, cut at 12.
  Hosted<CtrlPageTel1> h;
  h.Enter(IDC_TEL_NUMBER, u"+7 (916) 123-45-67-89");
  EXPECT_EQ(h.dialog.GetText(IDC_TEL_NUMBER), u"+79161234567");
  h.Enter(IDC_TEL_NUMBER, u"8+916");
  EXPECT_EQ(h.dialog.GetText(IDC_TEL_NUMBER), u"8916");
}

// ---- Relay pages ----

TEST(RelayPage, BoxesTimesAndClock) {
  const std::tuple<int, int, std::uint8_t> boxes[] = {
      {IDC_RELAY_SHORT_BEEP, 600, 0x02}, {IDC_RELAY_GENTLE, 600, 0x01},
      {IDC_RELAY_ZONE_1, 592, 0x01},     {IDC_RELAY_ZONE_2, 592, 0x02},
      {IDC_RELAY_ZONE_3, 592, 0x04},     {IDC_RELAY_BY_CALL, 608, 0x01},
      {IDC_RELAY_RESUME, 608, 0x02}};
  for (auto [box, byte, bit] : boxes) {
    Hosted<CtrlPageRelay4> h;
    h.dialog.Click(box);
    const Bytes image = h.Stored(Bytes(kImageSize, 0x00));
    for (int base : {592, 600})
      EXPECT_EQ(image[base + 3], base == byte ? bit : 0) << box;
    // The options byte always holds the cyclic condition's bit 2.
    EXPECT_EQ(image[608 + 3], (byte == 608 ? bit : 0) | 0x04) << box;
  }
  Hosted<CtrlPageRelay2> h;
  h.Enter(IDC_RELAY_CLOCK_ON_HOUR, u"07");
  h.Enter(IDC_RELAY_CLOCK_ON_MINUTE, u"30");
  h.Enter(IDC_RELAY_ON_MINUTES, u"01");
  h.Enter(IDC_RELAY_ON_SECONDS, u"59");  // the maximum is accepted
  h.Enter(IDC_RELAY_CLOCK_OFF_HOUR, u"24");  // above 23: refused
  h.Enter(IDC_RELAY_DELAY, u"60");
  const Bytes image = h.Stored();
  EXPECT_EQ(image[561], 0x30);
  EXPECT_EQ(image[569], 0x07);
  EXPECT_EQ(image[513], 1);
  EXPECT_EQ(image[521], 59);
  EXPECT_EQ(image[585], 0x00);
  EXPECT_EQ(image[545], 0);
}

TEST(RelayPage, CyclicCondition) {
  struct Case {
    std::uint8_t loaded;
    int shown;
    std::uint8_t stored;  // bits 0-1 and 6-7 keep what was loaded
  };
  const Case cases[] = {{0x28, 1, 0x08}, {0x00, 0, 0x04}, {0xC3, 0, 0xC7}, {0xFF, 0, 0xC7},
                        {0x20, 3, 0x20}, {0x52, 2, 0x52}};
  for (const Case& c : cases) {
    Hosted<CtrlPageRelay6> h;
    Bytes image = Initial();
    image[RelayOptions(6)] = c.loaded;
    h.Load(image);
    EXPECT_EQ(h.dialog.GetComboSelection(IDC_RELAY_CONDITION), c.shown) << int(c.loaded);
    EXPECT_EQ(h.Stored(image)[RelayOptions(6)], c.stored) << int(c.loaded);
  }
  // An index outside the list stores "Всегда", never another option's bit.
  HeadlessPages pages;
  FieldPage::Holder outside;
  outside.value = 7;
  pages.Fields(12).Assign(kRelayConditionRow, outside);
  Bytes image(kImageSize, 0x00);
  pages.Fields(12).StoreToImage(image.data());
  EXPECT_EQ(image[RelayOptions(1)], 0x04);
}

TEST(RelayPage, ErasedImageAndStoreSet) {
  HeadlessPages pages;
  pages.LoadFromImage(Bytes(kImageSize, 0xFF).data());
  for (int edit : {IDC_RELAY_ON_MINUTES, IDC_RELAY_CLOCK_ON_HOUR, IDC_RELAY_DELAY})
    EXPECT_EQ(pages.Dialog(14).GetText(edit), u"00");
  EXPECT_EQ(pages.Dialog(14).GetComboSelection(IDC_RELAY_MODE), 0);
  EXPECT_EQ(pages.Dialog(14).GetCheck(IDC_RELAY_RESUME), 1);
  // A fresh relay 3 changes only its own bytes.
  HeadlessPages fresh;
  Bytes image = Initial();
  fresh.Fields(14).StoreToImage(image.data());
  EXPECT_EQ(Changed(Initial(), image),
            (std::vector<int>{514, 522, 530, 538, 546, 554, 562, 570, 578, 586, 594, 602, 610}));
}

// ---- Single pages ----

TEST(ArmingPage, DefaultsFallbacksAndKeys) {
  Hosted<CtrlPageSetRes> h;
  Bytes image = h.Stored();
  EXPECT_EQ(image[2], 1);
  EXPECT_EQ(image[192], 0);
  EXPECT_EQ(image[128], 20);
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(image[KeyNamePresent(n)], 0xFF);
    EXPECT_EQ(image[KeyName(n)], 0x0D);
  }
  image[192] = 0x0A;
  image[128] = 60;
  image[2] = 0xFF;
  image[215] = 0x24;
  h.Load(image);
  EXPECT_EQ(h.dialog.GetText(IDC_SETRES_RINGS), u"2");
  EXPECT_EQ(h.dialog.GetText(IDC_SETRES_EXIT_DELAY), u"20");
  EXPECT_EQ(h.dialog.GetText(IDC_SETRES_ARM_HOUR), u"00");
  EXPECT_EQ(h.dialog.GetComboSelection(IDC_SETRES_BUTTON), 1);
  h.Enter(IDC_SETRES_ARM_HOUR, u"22");
  h.Enter(IDC_SETRES_ARM_MINUTE, u"05");
  // Key 3 full writes 914-921 and leaves key 4's field alone.
  h.Enter(IDC_SETRES_KEY_3, u"Хозяин12");
  image = h.Stored();
  EXPECT_EQ(image[215], 0x22);
  EXPECT_EQ(image[216], 0x05);
  EXPECT_EQ(image[921], 0xB2);
  EXPECT_EQ(image[KeyName(4)], 0x0D);  // key 4's own empty name, not key 3's end mark
  EXPECT_EQ(image[KeyNamePresent(3)], 0x1B);
  // A selection outside the list stores full arming.
  FieldPage& page = dynamic_cast<FieldPage&>(*h.page);
  FieldPage::Holder outside;
  outside.value = 3;
  page.Assign(7, outside);
  EXPECT_EQ(h.Stored()[2], 1);
}

TEST(ArmingPage, ByteNinetyIsSharedBitByBit) {
  for (std::uint8_t before : {0x00, 0xFF, 0xA5}) {
    Hosted<CtrlPageSetRes> arming;
    Hosted<CtrlPageConnect> connect;
    arming.dialog.Click(IDC_SETRES_BY_CALL);
    connect.dialog.Click(IDC_CONNECT_REJECTED);
    Bytes a(kImageSize, before), b(kImageSize, before);
    arming.page->StoreToImage(a.data());
    connect.page->StoreToImage(a.data());
    connect.page->StoreToImage(b.data());
    arming.page->StoreToImage(b.data());
    EXPECT_EQ(a[190], b[190]);
    EXPECT_EQ(a[190], (before & 0xF0) | 0x0A);
  }
}

TEST(SecurityPage, PasswordForms) {
  struct Case {
    std::u16string typed;
    std::uint8_t marker;
    const char* digits;  // bytes 185-188 after the store
    std::u16string loaded;
  };
  const Case cases[] = {{u"123", 0xFF, "9999", u""},
                        {u"4711", 0x1B, "4711", u"4711"},
                        {u"", 0xFF, "9999", u""},
                        {u"12a34", 0x1B, "1234", u"1234"}};
  for (const Case& c : cases) {
    Hosted<CtrlPageSecur> h;
    h.Enter(IDC_SECUR_PASSWORD, c.typed);
    Bytes before = Initial();
    std::memcpy(&before[kPassword], "9999", 4);
    const Bytes image = h.Stored(before);
    EXPECT_EQ(image[kPasswordPresent], c.marker);
    EXPECT_EQ(std::memcmp(&image[kPassword], c.digits, 4), 0);
    Hosted<CtrlPageSecur> back;
    back.Load(image);
    EXPECT_EQ(back.dialog.GetText(IDC_SECUR_PASSWORD), c.loaded);
  }
  // Marker set over a non-digit: empty. Other fallbacks.
  Bytes image = Initial();
  image[kPasswordPresent] = 0x1B;
  std::memcpy(&image[kPassword], "12a4", 4);
  image[213] = 0x4A;
  image[95] = 0x01;
  image[214] = 0xFF;
  Hosted<CtrlPageSecur> h;
  h.Load(image);
  EXPECT_EQ(h.dialog.GetText(IDC_SECUR_PASSWORD), u"");
  EXPECT_EQ(h.dialog.GetText(IDC_SECUR_BATTERY_UNITS), u"6");
  EXPECT_EQ(h.dialog.GetCheck(IDC_SECUR_CALLER_ID), 0);
  EXPECT_EQ(h.dialog.GetText(IDC_SECUR_SETTLE), u"30");
  const Bytes fresh = Hosted<CtrlPageSecur>().Stored();
  EXPECT_EQ(fresh[213], 0x99);
  EXPECT_EQ(fresh[214], 30);
  EXPECT_EQ(fresh[95], 0xFF);
}

TEST(BalancePage, RequestNumberForms) {
  struct Case {
    std::u16string typed;
    std::vector<std::uint8_t> written;  // from byte 176; the rest keeps 0x55
    std::u16string loaded;
  };
  auto ascii = [](const char* s) { return std::vector<std::uint8_t>(s, s + std::strlen(s)); };
  const Case cases[] = {
      {u"*100#", ascii("*100#"), u"*100#"},
      {u"*1234567#", ascii("*1234567#"), u"*1234567#"},
      {u"*10#5", ascii("*10#"), u"*10#"},
      {u"*#", ascii("*#"), u"*#"},
      {u"*1*2#", {0x0D}, u""},
      {u"100#", {0x0D}, u""},
      {u"*12345678", {0x0D}, u""},
      {u"", {0x0D}, u""},
  };
  for (const Case& c : cases) {
    Hosted<CtrlPageBalans> h;
    h.Enter(IDC_BALANS_NUMBER, c.typed);
    Bytes before = Initial();
    for (int i = 176; i <= 185; ++i) before[i] = 0x55;
    const Bytes image = h.Stored(before);
    for (int i = 176; i <= 185; ++i) {
      const std::size_t at = i - 176;
      EXPECT_EQ(image[i], at < c.written.size() ? c.written[at] : 0x55) << i;
    }
    Hosted<CtrlPageBalans> back;
    back.Load(image);
    EXPECT_EQ(back.dialog.GetText(IDC_BALANS_NUMBER), c.loaded);
  }
  Bytes image = Initial();
  image[98] = 0x35;
  image[96] = 0xA0;
  Hosted<CtrlPageBalans> h;
  h.Load(image);
  EXPECT_EQ(h.dialog.GetComboSelection(IDC_BALANS_OPERATOR), 0);
  EXPECT_EQ(h.dialog.GetText(IDC_BALANS_CRITICAL), u"80");
  // A holder longer than the field never reaches byte 185: the number is
  // cut at nine characters before it is looked at.
  FieldPage::Holder tooLong;
  tooLong.text = u"*12345678#";
  dynamic_cast<FieldPage&>(*h.page).Assign(kBalansNumberRow, tooLong);
  Bytes before = Initial();
  before[185] = 0x55;
  const Bytes cut = h.Stored(before);
  EXPECT_EQ(cut[176], 0x0D);
  EXPECT_EQ(cut[185], 0x55);
  // A selection outside the list stores "off".
  FieldPage::Holder outside;
  outside.value = 9;
  dynamic_cast<FieldPage&>(*h.page).Assign(kBalansOperatorRow, outside);
  EXPECT_EQ(h.Stored()[98], '0');
}

// ---- The change-only notice through the real Controller ----

TEST(InputModeNotice, ReachesPhonesAndSirenRelaysThroughTheController) {
  HeadlessPages pages;
  FakeView view;
  MemoryFileSystem files;
  Controller controller(view, pages, pages.Modified(), files, std::make_unique<FakeWorker>(), u"C:\\");
  for (int i = 0; i < kPageCount; ++i)
    pages.Dialog(i).SetParent([&controller](unsigned code, std::intptr_t value) {
      controller.OnWorkerMessage(code, value);
    });
  pages.Dialog(12).Choose(IDC_RELAY_MODE, kRelaySirenMode);  // relay 1: siren
  pages.Dialog(13).Choose(IDC_RELAY_MODE, 4);                // relay 2: lamp
  for (int relay : {12, 13}) pages.Dialog(relay).Click(IDC_RELAY_ZONE_3);
  for (int phone = 6; phone <= 10; ++phone) {
    pages.Dialog(phone).Click(IDC_TEL_VOICE_ZONE_3);
    pages.Dialog(phone).Click(IDC_TEL_SMS_ZONE_3);
  }
  Bytes before(controller.image(), controller.image() + kImageSize);
  for (int state : {0, 1}) {
    pages.Dialog(4).Click(IDC_IN1_CHANGE_ONLY);  // input 3: on, then off again
    for (int phone = 6; phone <= 10; ++phone) {
      EXPECT_EQ(pages.Dialog(phone).GetCheck(IDC_TEL_VOICE_ZONE_3), state) << phone;
      EXPECT_EQ(pages.Dialog(phone).GetCheck(IDC_TEL_VOICE_ZONE_2), 0) << phone;
      EXPECT_EQ(pages.Dialog(phone).GetCheck(IDC_TEL_SMS_ZONE_3), 1) << phone;
    }
    EXPECT_EQ(pages.Dialog(12).GetCheck(IDC_RELAY_ZONE_3), state);
    EXPECT_EQ(pages.Dialog(13).GetCheck(IDC_RELAY_ZONE_3), 1);  // not a siren
    // The boxes show what the pages will store.
    Bytes image = Initial();
    pages.StoreToImage(image.data());
    EXPECT_EQ(image[CallOnEvent(3)] & 0x1F, state ? 0x1F : 0x00);
    EXPECT_EQ(image[RelaySirenZones(1)] & 0x04, state ? 0x04 : 0);
    EXPECT_EQ(image[RelaySirenZones(2)] & 0x04, 0x04);
  }
  EXPECT_EQ(std::memcmp(before.data(), controller.image(), kImageSize), 0);
}


TEST(DeviceTextMend, ASecondReadOfAnUnchangedDeviceLeavesTheMarkClear) {
  // A device whose texts hold bytes the encoder cannot reproduce.
  auto worker = std::make_unique<FakeWorker>();
  FakeWorker& device = *worker;
  MakeDemoImage(device.image);
  device.image[InAlarmText(1) + 4] = 0x80;
  device.image[KeyName(1) + 2] = 0x5D;
  HeadlessPages pages;
  FakeView view;
  MemoryFileSystem files;
  Controller controller(view, pages, pages.Modified(), files, std::move(worker), u"C:\\");
  for (int read = 0; read < 2; ++read) {
    SetFlag(pages.Modified(), 0);  // as after a save
    controller.StartDeviceRead();
    controller.OnWorkerMessage(Notify::ReadParamDone, 1);
    controller.OnWorkerMessage(Notify::ReadRecordDone, 1);
    if (read == 1) {
      EXPECT_EQ(FlagOf(pages.Modified()), 0);
    }
  }
  // And a write puts the texts back as they were.
  Bytes image(controller.image(), controller.image() + kImageSize);
  pages.StoreToImage(image.data());
  EXPECT_EQ(std::memcmp(image.data(), device.image, kImageSize), 0);
}

}  // namespace
