// The field kinds on the real page tables: what the keystroke filters of
// the real fields let through, what the model accepts as a value and why
// it refuses one, and what a value stores. One row per case that a user
// could run into.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/Configuration.h"
#include "config/ImageMap.h"

namespace {

FieldRef Field(const std::string& key) {
  const std::optional<FieldRef> field = Configuration::Find(key);
  EXPECT_TRUE(field) << key;
  return field.value_or(FieldRef{0, 0});
}

struct FilterRow {
  const char* key;
  int part;  // 1: the tenths edit
  std::u16string held, typed;
  int caret;
  std::u16string shown;
};

class RealFieldFilter : public testing::TestWithParam<FilterRow> {};

TEST_P(RealFieldFilter, KeepsTheFieldInItsRange) {
  const FilterRow& c = GetParam();
  const FieldRef f = Field(c.key);
  EXPECT_EQ(f.Kind().Filter(f.Row(), c.part, c.held, c.typed, c.caret).text, c.shown)
      << c.key << " typed " << std::string(c.typed.begin(), c.typed.end());
}

const FilterRow kFilterRows[] = {
    // The averaging starts at 1: "00" is refused, the field keeps its value.
    {"input1.averaging", 0, u"50", u"00", 2, u"50"},
    {"input1.averaging", 0, u"01", u"0", 1, u"01"},
    {"input1.averaging", 0, u"50", u"501", 3, u"01"},
    {"input2.entry_delay", 0, u"30", u"360", 2, u"36"},
    {"input2.entry_delay", 0, u"30", u"630", 1, u"30"},
    // A clock hour stops at 23, a minute at 59.
    {"relay1.clock_on_hour", 0, u"02", u"024", 3, u"02"},
    {"relay3.clock_off_hour", 0, u"12", u"24", 2, u"12"},
    {"relay1.clock_on_minute", 0, u"05", u"059", 3, u"59"},
    {"arming.auto_arm_hour", 0, u"22", u"223", 3, u"23"},
    {"security.test_message_hour", 0, u"00", u"24", 2, u"00"},
    {"input1.upper_threshold", 1, u"0", u"07", 2, u"7"},
    {"undelivered.sms_attempts", 0, u"9", u"x9", 1, u"9"},
    // Texts: the characters the field stores, at most its length.
    {"security.password", 0, u"", u"12a34", 5, u"1234"},
    {"security.password", 0, u"", u"123456", 6, u"1234"},
    {"balance.request_number", 0, u"", u"+*100#", 6, u"*100#"},
    {"phone1.number", 0, u"", u"+7 (916) 123", 12, u"+7916123"},
    {"phone1.number", 0, u"", u"7+916", 5, u"7916"},
    {"arming.key1_name", 0, u"", u"Хозяин-1234", 11, u"Хозяин-1"},
    {"input2.zone_alias", 0, u"", u"Кухня\u20AC", 6, u"Кухня"},
};
INSTANTIATE_TEST_SUITE_P(Rows, RealFieldFilter, testing::ValuesIn(kFilterRows));

struct SetRow {
  const char* key;
  std::u16string text;
  bool ok;
  std::u16string stored;  // when ok
  const char* why;        // a part of the message when refused
};

class ModelSet : public testing::TestWithParam<SetRow> {};

TEST_P(ModelSet, StoresTheValueOrSaysWhy) {
  const SetRow& c = GetParam();
  Configuration config;
  const SetOutcome outcome = config.Set(c.key, c.text);
  ASSERT_EQ(outcome.ok, c.ok) << c.key << ": " << outcome.error;
  if (c.ok) {
    EXPECT_EQ(outcome.value, c.stored) << c.key;
    EXPECT_EQ(config.Get(c.key), c.stored) << c.key;
  } else {
    EXPECT_NE(outcome.error.find(c.why), std::string::npos) << c.key << ": " << outcome.error;
  }
  EXPECT_FALSE(config.Modified().IsSet());
}

const SetRow kSetRows[] = {
    {"input1.entry_delay", u"5", true, u"05", ""},
    {"input1.entry_delay", u"005", true, u"05", ""},
    {"input1.entry_delay", u"60", false, u"", "from 0 to 59"},
    {"input1.averaging", u"0", false, u"", "from 1 to 99"},
    {"input1.averaging", u"1", true, u"01", ""},
    {"relay1.clock_on_hour", u"24", false, u"", "from 0 to 23"},
    {"relay1.clock_on_hour", u"23", true, u"23", ""},
    {"input1.max_alarms", u"-1", false, u"", "digits only"},
    {"input1.upper_threshold", u"4.5", true, u"4.5", ""},
    {"input1.upper_threshold", u"7", true, u"7.0", ""},
    {"input1.upper_threshold", u"10.0", false, u"", "0.0 to 9.9"},
    {"input1.upper_threshold", u"4.55", false, u"", "at most one decimal"},
    {"input1.upper_threshold", u"4,5", true, u"4.5", ""},
    {"security.battery_critical", u"3,0", true, u"3.0", ""},
    {"input1.upper_threshold", u"4,55", false, u"", "at most one decimal"},
    {"input1.upper_threshold", u",5", false, u"", "at most one decimal"},
    {"input1.upper_threshold", u"4;5", false, u"", "at most one decimal"},
    {"relay2.mode", u"РЕВУН", true, u"РЕВУН", ""},
    {"relay2.mode", u"ревун", false, u"", "one of"},
    {"connection.listen_after_alarm", u"да", true, u"да", ""},
    {"connection.listen_after_alarm", u"1", true, u"да", ""},
    {"connection.listen_after_alarm", u"maybe", false, u"", "yes or no"},
    {"connection.listen_after_alarm", u"yes", true, u"да", ""},
    {"connection.listen_after_alarm", u"No", true, u"нет", ""},
    {"connection.listen_after_alarm", u"ДА", true, u"да", ""},
    {"connection.listen_after_alarm", u"FALSE", true, u"нет", ""},
    {"connection.listen_after_alarm", u"y", false, u"", "yes or no"},
    {"security.password", u"775", false, u"", "exactly 4 digits, or empty for none"},
    {"security.password", u"77a5", false, u"", "exactly 4 digits"},
    {"security.password", u"0775", true, u"0775", ""},
    {"security.password", u"", true, u"", ""},
    {"balance.request_number", u"*100", false, u"", "\"*\", digits, \"#\""},
    {"balance.request_number", u"100#", false, u"", "\"*\", digits, \"#\""},
    {"balance.request_number", u"*1#2", false, u"", "\"*\", digits, \"#\""},
    {"balance.request_number", u"*1234567#", true, u"*1234567#", ""},
    {"balance.request_number", u"*12345678#", false, u"", "this one has 10"},
    {"phone2.number", u"+79161234567", true, u"+79161234567", ""},
    {"phone2.number", u"7+9", false, u"", "character 2 \"+\" is refused"},
    // Written as people write numbers: cleaned as the page's paste cleans it.
    {"phone2.number", u"8 (916) 123-45-67", true, u"89161234567", ""},
    {"phone2.number", u"+7 916 123-45-67", true, u"+79161234567", ""},
    {"phone2.number", u"(495)-1-2-3", true, u"495123", ""},
    {"phone2.number", u" - ", true, u"", ""},
    {"phone2.number", u"7 (916) +123", false, u"", "character 9 \"+\" is refused"},
    {"phone2.number", u"8 (916) 1a2", false, u"", "character 10 \"a\" is refused"},
    {"phone2.number", u"8.916.123", false, u"", "character 2 \".\" is refused"},
    {"phone2.number", u"8 (916) 123-45-67-89", false, u"", "this one has 13"},
    // Only phone numbers are cleaned.
    {"balance.request_number", u"*100 #", false, u"", "character 5 \" \" is refused"},
    {"input3.alarm_text", u"Протечка в ванной", true, u"Протечка в ванной", ""},
    {"input3.alarm_text", u"Протечка €", false, u"", "character 10"},
    {"input1.zone_alias", u"x", false, u"", "no field"},
};
INSTANTIATE_TEST_SUITE_P(Rows, ModelSet, testing::ValuesIn(kSetRows));

struct StoreRow {
  const char* name;
  std::vector<std::pair<int, std::uint8_t>> before;  // bytes of the loaded image
  const char* key;
  std::u16string text;
  std::vector<std::pair<int, std::uint8_t>> after;  // bytes stored over the loaded image
};

class ModelStore : public testing::TestWithParam<StoreRow> {};

TEST_P(ModelStore, WritesTheFieldsBytes) {
  const StoreRow& c = GetParam();
  std::vector<std::uint8_t> image(kImageSize);
  InitImage(image.data());
  for (auto [at, b] : c.before) image[at] = b;
  Configuration config;
  config.Load(image.data());
  ASSERT_TRUE(config.Set(c.key, c.text).ok) << c.name;
  config.StoreOver(image.data());
  for (auto [at, b] : c.after) EXPECT_EQ(image[at], b) << c.name << " byte " << at;
}

const StoreRow kStoreRows[] = {
    // Clearing a password the device holds deletes it: marker 0xFF, the old
    // digits stay.
    {"PasswordCleared", {{kPasswordPresent, 0x1B}, {185, '1'}, {186, '2'}, {187, '3'}, {188, '4'}},
     "security.password", u"", {{kPasswordPresent, 0xFF}, {185, '1'}, {188, '4'}}},
    {"PasswordSet", {}, "security.password", u"4711",
     {{kPasswordPresent, 0x1B}, {185, '4'}, {186, '7'}, {187, '1'}, {188, '1'}}},
    {"RequestNumberCleared", {{176, '*'}, {177, '1'}, {178, '#'}}, "balance.request_number",
     u"", {{176, 0x0D}, {177, '1'}}},
    {"ClockHourIsBcd", {}, "relay2.clock_on_hour", u"23", {{RelayClockOnHour(2), 0x23}}},
    {"AveragingIsPlain", {}, "input3.averaging", u"16", {{InAveraging(3), 16}}},
    {"SirenZoneIsItsBit", {{RelaySirenZones(4), 0x00}}, "relay4.siren_zone3", u"да",
     {{RelaySirenZones(4), 0x04}}},
};
INSTANTIATE_TEST_SUITE_P(Rows, ModelStore, testing::ValuesIn(kStoreRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
