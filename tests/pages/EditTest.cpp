// The model's one edit operation (Configuration::Edit), which every front
// end's edits go through: the filter, the kinds' rules, the change-only
// rule with its notice, the modified flag and its observers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/Configuration.h"

namespace {

FieldRef Field(const char* key) {
  const std::optional<FieldRef> field = Configuration::Find(key);
  EXPECT_TRUE(field) << key;
  return *field;
}

struct EditRow {
  const char* name;
  const char* key;
  const char16_t* before;  // set first, as a tool sets it
  FieldEdit edit;
  EditBy by;
  bool ok;
  bool changed;
  const char16_t* shown;  // the value shown afterwards (what the edit shows, for Typed)
  int caret;              // Typed only
  bool rewrite;           // Typed only
};

const EditRow kEdits[] = {
    // Keystrokes in a two-digit field holding "30", range 0-59.
    {"digit typed at the end shifts left", "input1.entry_delay", u"30",
     FieldEdit::Typed(0, u"305", 3), EditBy::User, true, true, u"05", 2, true},
    {"out of range: the field stays", "input1.entry_delay", u"30",
     FieldEdit::Typed(0, u"730", 1), EditBy::User, true, false, u"30", 1, true},
    {"the page's own write-back", "input1.entry_delay", u"30",
     FieldEdit::Typed(0, u"30", 2), EditBy::User, true, false, u"30", 2, false},
    {"a deletion comes back", "input1.entry_delay", u"30",
     FieldEdit::Typed(0, u"3", 1), EditBy::User, true, false, u"30", 1, true},
    {"letters are taken out", "phone1.number", u"",
     FieldEdit::Typed(0, u"+7 (900) 12", 11), EditBy::User, true, true, u"+790012", 7, true},
    {"the tenths edit of a decimal", "input1.upper_threshold", u"4.5",
     FieldEdit::Typed(1, u"7", 1), EditBy::User, true, true, u"7", 1, false},
    {"an edit the field has not", "input1.entry_delay", u"30",
     FieldEdit::Typed(1, u"1", 1), EditBy::User, false, false, u"30", 0, false},
    {"typing into a check box", "phone1.voice_zone1", u"нет",
     FieldEdit::Typed(0, u"1", 1), EditBy::User, false, false, u"нет", 0, false},
    // Whole values.
    {"a value given", "input1.entry_delay", u"30", FieldEdit::Given(u"5"), EditBy::User, true,
     true, u"05", 0, false},
    {"a value out of range", "input1.entry_delay", u"30", FieldEdit::Given(u"60"), EditBy::User,
     false, false, u"30", 0, false},
    {"the same value", "input1.entry_delay", u"30", FieldEdit::Given(u"30"), EditBy::User, true,
     false, u"30", 0, false},
    // Boxes and lists.
    {"a box ticked", "phone1.voice_zone1", u"нет", FieldEdit::Box(true), EditBy::User, true, true,
     u"да", 0, false},
    {"a box clicked to its own state", "phone1.voice_zone1", u"да", FieldEdit::Box(true),
     EditBy::User, true, false, u"да", 0, false},
    {"a box state that is no state", "phone1.voice_zone1", u"нет", FieldEdit{FieldEdit::Action::Box, {}, 0, 0, 2},
     EditBy::User, false, false, u"нет", 0, false},
    {"a list entry chosen", "input1.trigger_mode", u"Режим 0", FieldEdit::Entry(3), EditBy::User,
     true, true, u"Режим 3", 0, false},
    {"an entry the list has not", "input1.trigger_mode", u"Режим 0", FieldEdit::Entry(6),
     EditBy::User, false, false, u"Режим 0", 0, false},
    {"the list lost its selection", "input1.trigger_mode", u"Режим 0", FieldEdit::Entry(-1),
     EditBy::User, true, true, u"", 0, false},
    {"below no selection", "input1.trigger_mode", u"Режим 0", FieldEdit::Entry(-2),
     EditBy::User, false, false, u"Режим 0", 0, false},
    {"a list entry chosen for a box", "phone1.voice_zone1", u"нет", FieldEdit::Entry(1),
     EditBy::User, false, false, u"нет", 0, false},
    // A tool's edit: the value alone.
    {"a tool's value", "input1.entry_delay", u"30", FieldEdit::Given(u"7"), EditBy::Tool, true,
     true, u"07", 0, false},
    {"a tool's box", "phone1.voice_zone1", u"нет", FieldEdit::Box(true), EditBy::Tool, true, true,
     u"да", 0, false},
};

TEST(ConfigurationEdit, EveryActionOnEveryKindOfControl) {
  for (const EditRow& row : kEdits) {
    SCOPED_TRACE(row.name);
    Configuration config;
    const FieldRef field = Field(row.key);
    ASSERT_TRUE(config.Set(field, row.before).ok);
    std::vector<bool> told;
    config.Modified().Observe([&](bool set) { told.push_back(set); });

    const EditResult result = config.Edit(field, row.edit, row.by);
    EXPECT_EQ(result.ok, row.ok);
    EXPECT_EQ(result.error.empty(), row.ok);
    EXPECT_EQ(result.changed, row.changed);
    const bool tenthsPart = row.edit.action == FieldEdit::Action::Typed && row.edit.part == 1;
    if (result.ok && !tenthsPart) { EXPECT_EQ(result.shown, row.shown); }
    if (!tenthsPart) { EXPECT_EQ(config.Get(field), result.ok ? result.shown : row.shown); }
    if (row.edit.action == FieldEdit::Action::Typed && row.ok) {
      EXPECT_EQ(result.caret, row.caret);
      EXPECT_EQ(result.rewrite, row.rewrite);
    }
    // A user's change sets the flag once and tells its observers; a
    // tool's, a refused edit and an edit to the same value do not.
    const bool marks = row.changed && row.by == EditBy::User;
    EXPECT_EQ(result.marked, marks);
    EXPECT_EQ(config.Modified().IsSet(), marks);
    EXPECT_EQ(told, marks ? std::vector<bool>{true} : std::vector<bool>{});
    EXPECT_FALSE(result.noticed);
  }
}

TEST(ConfigurationEdit, EveryFieldTakesItsOwnValueBackUnchanged) {
  Configuration config;
  for (const FieldRef& field : Configuration::AllFields()) {
    SCOPED_TRACE(field.Key());
    const std::u16string shown = config.Get(field);
    for (EditBy by : {EditBy::User, EditBy::Tool}) {
      const EditResult result = config.Edit(field, FieldEdit::Given(shown), by);
      EXPECT_TRUE(result.ok);
      EXPECT_FALSE(result.changed);
      EXPECT_EQ(result.shown, shown);
    }
  }
  EXPECT_FALSE(config.Modified().IsSet());
}

TEST(ConfigurationEdit, TheChangeOnlyRuleRunsForAUsersClickAlone) {
  for (int input : {2, 3}) {
    const std::string prefix = "input" + std::to_string(input);
    const FieldRef box = Field((prefix + ".change_only").c_str());
    const FieldRef delay = Field((prefix + ".entry_delay").c_str());
    const FieldRef voice = Field(("phone4.voice_zone" + std::to_string(input)).c_str());
    for (EditBy by : {EditBy::User, EditBy::Tool}) {
      SCOPED_TRACE(prefix + (by == EditBy::User ? ", user" : ", tool"));
      Configuration config;
      ASSERT_TRUE(config.Set(voice, u"да").ok);
      ASSERT_TRUE(config.Set(delay, u"30").ok);
      const EditResult on = config.Edit(box, FieldEdit::Box(true), by);
      EXPECT_TRUE(on.changed);
      EXPECT_EQ(on.noticed, by == EditBy::User);
      // The rule rewrites the input's own values, the notice the phones'.
      EXPECT_EQ(config.Get(delay), by == EditBy::User ? u"00" : u"30");
      EXPECT_EQ(config.Get(voice), by == EditBy::User ? u"нет" : u"да");
      const EditResult again = config.Edit(box, FieldEdit::Box(true), by);
      EXPECT_FALSE(again.changed);
      EXPECT_FALSE(again.noticed);
      const EditResult off = config.Edit(box, FieldEdit::Box(false), by);
      EXPECT_EQ(off.noticed, by == EditBy::User);
      EXPECT_EQ(config.Get(voice), u"да");
    }
  }
}

TEST(ModifiedFlag, ObserversAreToldEveryChangeAndNothingElse) {
  ModifiedFlag flag;
  std::vector<bool> first, second;
  const int a = flag.Observe([&](bool set) { first.push_back(set); });
  flag.Observe([&](bool set) { second.push_back(set); });
  flag.Clear();            // already clear: nothing
  EXPECT_TRUE(flag.Mark());
  EXPECT_FALSE(flag.Mark());  // already set: nothing
  flag.Forget(a);
  flag.Clear();
  EXPECT_EQ(first, (std::vector<bool>{true}));
  EXPECT_EQ(second, (std::vector<bool>{true, false}));
}

}  // namespace
