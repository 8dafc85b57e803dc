// The pages as the engine presents them, held to what the Windows dialog
// templates lay out: every field's control is in its page's template, the
// fields on screen are the page's fields in the template's order, the units
// are the texts the page writes beside the edits, and every range written
// there is the row's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string_view>

#include "DialogTemplates.h"
#include "config/ImageMap.h"
#include "config/PageFields.h"
#include "config/PageLayout.h"
#include "config/StringTable.h"
#include "config/Utf8.h"

namespace {

bool InTemplate(int page, int id) {
  const std::vector<int> ids = TemplateControls(page);
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

FieldRef Field(const std::string& key) {
  const std::optional<FieldRef> field = Configuration::Find(key);
  EXPECT_TRUE(field) << key;
  return field.value_or(FieldRef{0, 0});
}

TEST(PageLayout, EveryFieldOfEveryPageIsOnScreenOnce) {
  for (int p = 0; p < kPageCount; ++p) {
    std::vector<std::string> table, screen;
    for (const FieldRef& f : Configuration::AllFields())
      if (f.page == p) {
        table.push_back(f.Key());
        EXPECT_TRUE(InTemplate(p, f.Row().control)) << f.Key();
        if (f.Row().control2) {
          EXPECT_TRUE(InTemplate(p, f.Row().control2)) << f.Key();
        }
      }
    for (const FieldRef& f : FieldsOnScreen(p)) {
      EXPECT_EQ(f.page, p);
      screen.push_back(f.Key());
    }
    std::sort(table.begin(), table.end());
    std::sort(screen.begin(), screen.end());
    EXPECT_EQ(screen, table) << PageKey(kPages[p]);
  }
}

// Each page's order on screen, where it differs from the table's: the left
// column, then the right one; the phone pages' events as the page shows them.
TEST(PageLayout, FieldsComeInTheTemplatesOrder) {
  struct Row {
    const char* page;
    std::vector<std::string> first;  // the first keys on screen
  };
  const Row rows[] = {
      {"input1_1", {"input1.entry_delay", "input1.restore_time", "input1.max_alarms",
                    "input1.trigger_mode", "input1.averaging", "input1.upper_threshold",
                    "input1.lower_threshold"}},
      {"input2_1", {"input2.entry_delay", "input2.restore_time", "input2.max_alarms",
                    "input2.24_hour", "input2.change_only", "input2.trigger_mode"}},
      {"phone1", {"phone1.number", "phone1.relay1_on"}},
      {"relay2", {"relay2.mode", "relay2.on_minutes", "relay2.on_seconds"}},
      {"temperature", {"temperature.upper", "temperature.lower", "temperature.mode"}},
  };
  for (const Row& r : rows) {
    const std::vector<FieldRef> fields = FieldsOnScreen(Configuration::FindPage(r.page));
    ASSERT_GE(fields.size(), r.first.size()) << r.page;
    for (std::size_t i = 0; i < r.first.size(); ++i) EXPECT_EQ(fields[i].Key(), r.first[i]) << r.page;
  }
}

// Every page: its fields' controls on screen are its template's controls,
// in the template's order.
TEST(PageLayout, ScreenOrderIsTheTemplatesOrderOnEveryPage) {
  for (int p = 0; p < kPageCount; ++p) {
    std::vector<int> controls;
    for (const FieldRef& f : FieldsOnScreen(p)) {
      controls.push_back(f.Row().control);
      if (f.Row().control2) controls.push_back(f.Row().control2);
    }
    EXPECT_EQ(controls, TemplateControls(p)) << PageKey(kPages[p]);
  }
}

// Every page's frame caption is the one its dialog shows.
TEST(PageLayout, EveryPagesTitleIsItsDialogsFrameCaption) {
  for (int p = 0; p < kPageCount; ++p) {
    EXPECT_NE(kPages[p].titleId, 0);
    EXPECT_EQ(kPages[p].titleId, TemplateTitle(p)) << PageKey(kPages[p]);
  }
}

// Every row: its unit is the text its page writes right of its (last)
// edit or list, whatever kind of value it holds.
TEST(PageLayout, EveryRowsUnitIsTheTextBesideItsEdit) {
  for (const FieldRef& f : Configuration::AllFields()) {
    const FieldRow& row = f.Row();
    const int beside = TemplateTextBeside(f.page, row.control2 ? row.control2 : row.control);
    EXPECT_EQ(row.unit, beside) << f.Key();
  }
}

// The numbers of a range text ("диапазон: 0 ... 59", "0.0 - 9.9 В",
// "0 °C ... 99 °C"), in tenths: {0, 590}, {0, 99}.
std::vector<int> RangeInTenths(std::u16string_view text) {
  std::vector<int> numbers;
  const std::size_t at = text.find(u"диапазон:");
  if (at == std::u16string_view::npos) return numbers;
  for (std::size_t i = at; i < text.size();) {
    if (text[i] < u'0' || text[i] > u'9') {
      ++i;
      continue;
    }
    int whole = 0, tenths = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') whole = whole * 10 + (text[i++] - u'0');
    if (i + 1 < text.size() && text[i] == u'.' && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
      tenths = text[i + 1] - u'0';
      i += 2;
    }
    numbers.push_back(whole * 10 + tenths);
  }
  return numbers;
}

// Every range the pages write holds the row's own smallest and largest
// value: the text and the numbers cannot drift apart.
TEST(PageLayout, EveryRangeTextHoldsItsRowsNumbers) {
  int ranges = 0;
  for (const FieldRef& f : Configuration::AllFields()) {
    const FieldRow& row = f.Row();
    const std::vector<int> range = RangeInTenths(UnitText(row));
    if (range.empty()) continue;
    ++ranges;
    const bool decimal = f.Kind().Type() == ValueType::Decimal;
    const int min = row.kind == FieldKind::TwoDigits ? row.min : 0;
    const std::vector<int> expected = {decimal ? min : min * 10, decimal ? row.max : row.max * 10};
    EXPECT_EQ(range, expected) << f.Key() << ": " << ToUtf8(UnitText(row));
  }
  // Every page family with a number has its range written.
  EXPECT_GE(ranges, 20);
}

TEST(PageLayout, RangeTextsAreReadAsTheirNumbers) {
  const std::pair<std::u16string, std::vector<int>> rows[] = {
      {u"сек.      диапазон: 0 ... 59", {0, 590}},
      {u"В          диапазон: 0.0 - 9.9 В", {0, 99}},
      {u"°C       диапазон: 0 °C ... 99 °C", {0, 990}},
      {u"x 16мс      диапазон: 1 ... 99", {10, 990}},
      {u"час", {}},
  };
  for (const auto& [text, numbers] : rows) EXPECT_EQ(RangeInTenths(text), numbers) << ToUtf8(text);
}

TEST(PageLayout, UnitsAreTheTextsBesideTheEdits) {
  const std::pair<const char*, std::u16string> rows[] = {
      {"input1.entry_delay", u"сек."},
      {"input3.restore_time", u"мин."},
      {"input1.max_alarms", u""},  // a range alone
      {"input2.averaging", u"x 16мс"},
      {"input1.upper_threshold", u"В"},
      {"input1.lower_threshold", u"В"},
      {"security.battery_critical", u"В"},
      {"security.power_settle_time", u"сек."},
      {"security.test_message_hour", u"час"},
      {"relay1.on_minutes", u"мин."},
      {"relay1.on_seconds", u"сек."},
      {"relay6.delay", u"сек."},
      {"relay1.clock_on_hour", u"час"},
      {"relay1.clock_off_minute", u"минута"},
      {"arming.auto_arm_hour", u"час"},
      {"arming.exit_delay", u"сек."},
      {"arming.rings_to_skip", u""},
      {"balance.critical_balance", u"руб."},
      {"undelivered.call_lifetime", u"мин."},
      {"undelivered.sms_attempts", u""},
      {"temperature.upper", u"°C"},
      // Texts, lists and boxes have none, whatever stands beside them.
      {"security.password", u""},
      {"balance.request_number", u""},
      {"phone1.number", u""},
      {"relay1.mode", u""},
      {"input2.24_hour", u""},
  };
  for (const auto& [key, unit] : rows) EXPECT_EQ(ToUtf8(UnitOf(Field(key))), ToUtf8(unit)) << key;
}

TEST(PageLayout, UnitOfATextIsWhatStandsBeforeTheRange) {
  const std::pair<std::u16string, std::u16string> rows[] = {
      {u"сек.      диапазон: 0 ... 59", u"сек."},
      {u"x 16мс      диапазон: 1 ... 99", u"x 16мс"},
      {u"диапазон: 0 ... 9", u""},
      {u"час", u"час"},
      {u" мин. ", u"мин."},
      {u"", u""},
  };
  for (const auto& [text, unit] : rows) EXPECT_EQ(ToUtf8(UnitOfText(text)), ToUtf8(unit)) << ToUtf8(text);
}

// What a viewer may be handed of an image: every value the pages show, the
// secrets none, and nothing else: not the secret's bytes (a deleted
// password's digits too), nor any byte the pages do not show. Held over
// blank, configured and random images.
TEST(PageLayout, ASecretFreeImageHoldsWhatThePagesShowAndNothingElse) {
  using Bytes = std::vector<std::uint8_t>;
  const auto blank = [] {
    Bytes b(kImageSize);
    InitImage(b.data());
    return b;
  };
  const auto with = [&](Bytes image, const char16_t* password) {
    Configuration c;
    c.Load(image.data());
    EXPECT_TRUE(c.Set("security.password", password).ok);
    c.StoreOver(image.data());
    return image;
  };
  std::mt19937 random(2026);
  const auto noise = [&] {
    Bytes b(kImageSize);
    for (auto& byte : b) byte = static_cast<std::uint8_t>(random());
    return b;
  };
  Bytes marked = noise();
  marked[kPasswordPresent] = kMarkerPresent;
  for (int i = 0; i < kPasswordSize; ++i) marked[kPassword + i] = static_cast<std::uint8_t>('0' + i + 3);
  const std::pair<const char*, Bytes> images[] = {
      {"blank", blank()},
      {"a password set", with(blank(), u"4826")},
      {"the password deleted", with(with(blank(), u"4826"), u"")},
      {"noise", noise()},
      {"noise with a password", marked},
      {"noise, its password deleted", with(marked, u"")},
  };
  const auto shown = [](const Bytes& image) {
    Configuration c;
    c.Load(image.data());
    std::vector<std::u16string> values;
    for (const FieldRef& f : Configuration::AllFields()) values.push_back(c.Get(f));
    return values;
  };
  const auto secretFree = [](const Bytes& image) {
    Bytes out(kImageSize);
    SecretFreeImage(image.data(), out.data());
    return out;
  };
  for (const auto& [what, image] : images) {
    const Bytes out = secretFree(image);
    // Every value as the pages show it, the secrets none.
    const std::vector<std::u16string> before = shown(image), after = shown(out);
    for (std::size_t i = 0; i < before.size(); ++i) {
      const FieldRef& f = Configuration::AllFields()[i];
      EXPECT_EQ(ToUtf8(after[i]), IsSecret(f) ? "" : ToUtf8(before[i])) << what << ": " << f.Key();
    }
    // The secret's place as in a blank image, and the result free of it
    // already.
    for (int at = kPassword; at < kPassword + kPasswordSize; ++at) EXPECT_EQ(out[at], blank()[at]) << what;
    EXPECT_EQ(out[kPasswordPresent], kMarkerAbsent) << what;
    EXPECT_EQ(secretFree(out), out) << what;
    // A byte changed that changes no value shown changes nothing handed.
    for (std::size_t at = 0; at < kImageSize; ++at) {
      Bytes changed = image;
      changed[at] ^= 0x5A;
      std::vector<std::u16string> values = shown(changed);
      for (std::size_t i = 0; i < values.size(); ++i)
        if (IsSecret(Configuration::AllFields()[i])) values[i] = before[i];
      if (values == before) { EXPECT_EQ(secretFree(changed), out) << what << ": byte " << at; }
    }
  }
}

}  // namespace
