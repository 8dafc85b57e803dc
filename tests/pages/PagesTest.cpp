#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "pages/FakePageDialog.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"
#include "pages/Pages.h"
#include "pages/PageFramework.h"
#include "pages/PageTable.h"
#include "res/resource.h"

namespace {

struct Image {
  std::uint8_t bytes[kImageSize];
  Image() { InitImage(bytes); }
};

template <class T>
using Hosted = HostedPage<T>;

// Only the bytes in `owned` may differ from the initial image.
void ExpectOnlyOwnedChanged(const Image& image, std::initializer_list<int> owned) {
  Image initial;
  for (std::size_t i = 0; i < kImageSize; ++i) {
    if (std::find(owned.begin(), owned.end(), static_cast<int>(i)) != owned.end()) continue;
    EXPECT_EQ(image.bytes[i], initial.bytes[i]) << "byte " << i;
  }
}

TEST(PageTable, OrderAndBuiltPages) {
  EXPECT_EQ(kPages[0].labelId, IDS_PAGE_IN1_1);
  EXPECT_EQ(kPages[0].dialogId, IDD_PAGE_IN1_1);
  EXPECT_EQ(kPages[22].dialogId, IDD_PAGE_THERMO);
  for (int i = 0; i < 23; ++i)
    for (int j = i + 1; j < 23; ++j) {
      EXPECT_NE(kPages[i].dialogId, kPages[j].dialogId);
      EXPECT_NE(kPages[i].labelId, kPages[j].labelId);
    }
  // Pages 19, 21 and 22 have controllers; their factories build the right
  // class.
  const std::pair<int, const std::type_info*> built[] = {{19, &typeid(CtrlPageConnect)},
                                                         {21, &typeid(CtrlPageNotSMS)},
                                                         {22, &typeid(CtrlPageThermo)}};
  for (const auto& [index, type] : built) {
    Configuration config;
    FakePageDialog dialog;
    std::unique_ptr<DlgCtrlr> page(MakePageFactory(index)->create(dialog, config.Values(index)));
    EXPECT_EQ(typeid(*page), *type) << index;
  }
}

// ---- Connection indications ----

TEST(CtrlPageConnect, FreshPageClearsItsBitsOnly) {
  Hosted<CtrlPageConnect> h;
  for (int box : {IDC_CONNECT_LISTEN, IDC_CONNECT_REJECTED, IDC_CONNECT_CANCEL})
    EXPECT_EQ(h.dialog.GetCheck(box), 0);
  Image image;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kConnectFlags], 0xF8);
  ExpectOnlyOwnedChanged(image, {kConnectFlags});
  EXPECT_EQ(FlagOf(h.flag), 0);
}

TEST(CtrlPageConnect, LoadAndStoreKeepOtherBits) {
  struct Case {
    std::uint8_t loaded;
    int listen, rejected, cancel;
  };
  const Case cases[] = {{0x0D, 1, 0, 1}, {0xF2, 0, 1, 0}, {0x00, 0, 0, 0}, {0xFF, 1, 1, 1}};
  for (const auto& c : cases) {
    Hosted<CtrlPageConnect> h;
    Image image;
    image.bytes[kConnectFlags] = c.loaded;
    h.page->LoadFromImage(image.bytes);
    EXPECT_EQ(h.dialog.GetCheck(IDC_CONNECT_LISTEN), c.listen);
    EXPECT_EQ(h.dialog.GetCheck(IDC_CONNECT_REJECTED), c.rejected);
    EXPECT_EQ(h.dialog.GetCheck(IDC_CONNECT_CANCEL), c.cancel);
    h.page->StoreToImage(image.bytes);
    EXPECT_EQ(image.bytes[kConnectFlags], c.loaded);

    // Whatever another owner put in bits 3-7 in the meantime stays.
    for (std::uint8_t others : {0x00, 0x08, 0xF0, 0xA8}) {
      image.bytes[kConnectFlags] = others;
      h.page->StoreToImage(image.bytes);
      EXPECT_EQ(image.bytes[kConnectFlags], (others & 0xF8) | (c.loaded & 0x07));
    }
    EXPECT_EQ(FlagOf(h.flag), 0);
  }
}

TEST(CtrlPageConnect, ClicksSetTheirBits) {
  Hosted<CtrlPageConnect> h;
  h.dialog.Click(IDC_CONNECT_REJECTED);
  EXPECT_EQ(FlagOf(h.flag), 1);
  h.dialog.Click(IDC_CONNECT_CANCEL);
  h.dialog.Click(IDC_CONNECT_CANCEL);
  h.dialog.Notify(IDC_CONNECT_LISTEN, kEnUpdate);  // not a click: ignored
  Image image;
  image.bytes[kConnectFlags] = 0x09;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kConnectFlags], 0x0A);
  EXPECT_EQ(h.dialog.posted().size(), 1u);
}

// ---- Undelivered messages ----

TEST(CtrlPageNotSMS, FreshPageStoresNine) {
  Hosted<CtrlPageNotSMS> h;
  EXPECT_EQ(h.dialog.GetText(IDC_NOTSMS_LIFETIME), u"9");
  EXPECT_EQ(h.dialog.GetText(IDC_NOTSMS_ATTEMPTS), u"9");
  Image image;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kCallLifetime], 9);
  EXPECT_EQ(image.bytes[kSmsAttempts], 9);
  ExpectOnlyOwnedChanged(image, {kCallLifetime, kSmsAttempts});
  EXPECT_EQ(FlagOf(h.flag), 0);
}

TEST(CtrlPageNotSMS, LoadShowsDigitOrMaximum) {
  struct Case {
    std::uint8_t lifetime, attempts;
    const char16_t *shownLifetime, *shownAttempts;
  };
  const Case cases[] = {
      {0xFF, 3, u"9", u"3"}, {0, 9, u"0", u"9"}, {10, 0x80, u"9", u"9"}, {5, 1, u"5", u"1"}};
  for (const auto& c : cases) {
    Hosted<CtrlPageNotSMS> h;
    Image image;
    image.bytes[kCallLifetime] = c.lifetime;
    image.bytes[kSmsAttempts] = c.attempts;
    h.page->LoadFromImage(image.bytes);
    EXPECT_EQ(h.dialog.GetText(IDC_NOTSMS_LIFETIME), c.shownLifetime);
    EXPECT_EQ(h.dialog.GetText(IDC_NOTSMS_ATTEMPTS), c.shownAttempts);
    Image stored;
    h.page->StoreToImage(stored.bytes);
    EXPECT_EQ(stored.bytes[kCallLifetime], c.shownLifetime[0] - u'0');
    EXPECT_EQ(stored.bytes[kSmsAttempts], c.shownAttempts[0] - u'0');
    EXPECT_EQ(FlagOf(h.flag), 0);
    EXPECT_TRUE(h.dialog.posted().empty());
  }
}

TEST(CtrlPageNotSMS, EachFieldKeepsOneDigit) {
  Hosted<CtrlPageNotSMS> h;
  for (int edit : {IDC_NOTSMS_LIFETIME, IDC_NOTSMS_ATTEMPTS}) {
    h.dialog.PlaceCaret(edit, 1);
    h.dialog.Backspace(edit);
    EXPECT_EQ(h.dialog.GetText(edit), u"9");
  }
  EXPECT_EQ(FlagOf(h.flag), 0);
  h.dialog.PlaceCaret(IDC_NOTSMS_LIFETIME, 1);
  h.dialog.Type(IDC_NOTSMS_LIFETIME, u"4");
  h.dialog.PlaceCaret(IDC_NOTSMS_ATTEMPTS, 0);
  h.dialog.Type(IDC_NOTSMS_ATTEMPTS, u"2");
  EXPECT_EQ(h.dialog.GetText(IDC_NOTSMS_LIFETIME), u"4");
  EXPECT_EQ(h.dialog.GetText(IDC_NOTSMS_ATTEMPTS), u"2");
  Image image;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kCallLifetime], 4);
  EXPECT_EQ(image.bytes[kSmsAttempts], 2);
  EXPECT_EQ(h.dialog.posted().size(), 1u);
}

// ---- Temperature control ----

TEST(CtrlPageThermo, FreshPageStoresDefaults) {
  Hosted<CtrlPageThermo> h;
  const auto& combo = h.dialog.ComboOf(IDC_THERMO_MODE);
  ASSERT_EQ(combo.items.size(), 4u);
  EXPECT_EQ(combo.items[0], u"Выключено");
  EXPECT_EQ(combo.items[1], u"Контроль выхода температуры из границ диапазона");
  EXPECT_EQ(combo.items[2], u"Контроль только превышения температуры");
  EXPECT_EQ(combo.selection, 0);
  EXPECT_EQ(h.dialog.GetText(IDC_THERMO_UPPER), u"26");
  EXPECT_EQ(h.dialog.GetText(IDC_THERMO_LOWER), u"10");
  Image image;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kThermoUpper], 0x1A);
  EXPECT_EQ(image.bytes[kThermoLower], 0x0A);
  EXPECT_EQ(image.bytes[kThermoMode], 0);
  ExpectOnlyOwnedChanged(image, {kThermoUpper, kThermoLower, kThermoMode});
  EXPECT_EQ(FlagOf(h.flag), 0);
}

TEST(CtrlPageThermo, LoadFallsBackToDefaults) {
  struct Case {
    std::uint8_t upper, lower, mode;
    const char16_t *shownUpper, *shownLower;
    int selection;
  };
  const Case cases[] = {
      {0xFF, 100, 4, u"26", u"10", 0},  {30, 40, 3, u"30", u"40", 3},
      {0, 99, 1, u"00", u"99", 1},      {99, 0, 2, u"99", u"00", 2},
      {7, 0xFF, 0xFF, u"07", u"10", 0},
  };
  for (const auto& c : cases) {
    Hosted<CtrlPageThermo> h;
    Image image;
    image.bytes[kThermoUpper] = c.upper;
    image.bytes[kThermoLower] = c.lower;
    image.bytes[kThermoMode] = c.mode;
    h.page->LoadFromImage(image.bytes);
    EXPECT_EQ(h.dialog.GetText(IDC_THERMO_UPPER), c.shownUpper);
    EXPECT_EQ(h.dialog.GetText(IDC_THERMO_LOWER), c.shownLower);
    EXPECT_EQ(h.dialog.ComboOf(IDC_THERMO_MODE).selection, c.selection);
    Image stored;
    h.page->StoreToImage(stored.bytes);
    EXPECT_EQ(stored.bytes[kThermoUpper], std::stoi(std::string(c.shownUpper, c.shownUpper + 2)));
    EXPECT_EQ(stored.bytes[kThermoLower], std::stoi(std::string(c.shownLower, c.shownLower + 2)));
    EXPECT_EQ(stored.bytes[kThermoMode], c.selection);
    EXPECT_EQ(FlagOf(h.flag), 0);
  }
}

TEST(CtrlPageThermo, EditsAndModeReachTheImage) {
  Hosted<CtrlPageThermo> h;
  // "7" typed before the "2" of "26", then "5" at the end.
  h.dialog.PlaceCaret(IDC_THERMO_UPPER, 0);
  h.dialog.Type(IDC_THERMO_UPPER, u"7");
  EXPECT_EQ(h.dialog.GetText(IDC_THERMO_UPPER), u"72");
  EXPECT_EQ(h.dialog.Caret(IDC_THERMO_UPPER), 1);
  h.dialog.PlaceCaret(IDC_THERMO_UPPER, 2);
  h.dialog.Type(IDC_THERMO_UPPER, u"5");
  EXPECT_EQ(h.dialog.GetText(IDC_THERMO_UPPER), u"25");
  // A lower bound above the upper one is kept as it is.
  h.dialog.Select(IDC_THERMO_LOWER, 0, 2);
  h.dialog.Type(IDC_THERMO_LOWER, u"4");
  EXPECT_EQ(h.dialog.GetText(IDC_THERMO_LOWER), u"40");
  h.dialog.Choose(IDC_THERMO_MODE, 3);
  h.dialog.Notify(IDC_THERMO_MODE, kEnUpdate);  // ignored
  Image image;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kThermoUpper], 25);
  EXPECT_EQ(image.bytes[kThermoLower], 40);
  EXPECT_EQ(image.bytes[kThermoMode], 3);
  EXPECT_EQ(h.dialog.posted().size(), 1u);
}

TEST(CtrlPageThermo, ModeWithoutSelectionStoresOff) {
  Hosted<CtrlPageThermo> h;
  h.dialog.Choose(IDC_THERMO_MODE, 2);
  h.dialog.SetComboSelection(IDC_THERMO_MODE, -1);  // the list lost its selection
  h.dialog.Notify(IDC_THERMO_MODE, kCbnSelChange);
  Image image;
  h.page->StoreToImage(image.bytes);
  EXPECT_EQ(image.bytes[kThermoMode], 0);
}

}  // namespace
