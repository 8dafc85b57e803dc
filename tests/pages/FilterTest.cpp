#include <gtest/gtest.h>

#include <vector>

#include "pages/FakePageDialog.h"
#include "config/ModifiedFlag.h"
#include "pages/PageFramework.h"

namespace {

constexpr int kEdit = 1015, kBox = 1019, kCombo = 1013;

// A page with one field, filtered like the real pages' fields.
class StandInPage : public DlgCtrlr {
 public:
  enum Kind { Number, Text };
  StandInPage(IPageDialog& dialog, Kind kind, std::u16string initial, int a, int b, int digits = 0)
      : DlgCtrlr(dialog), kind_(kind), text(std::move(initial)), a_(a), b_(b), digits_(digits) {
    dialog_.SetText(kEdit, text);
  }
  void StoreToImage(std::uint8_t*) override {}
  void LoadFromImage(const std::uint8_t*) override {}
  void OnCommand(IPageDialog& dialog, int control, int code) override {
    if (control == kEdit && code == kEnUpdate) {
      if (kind_ == Number)
        NumberEditFilter(kEdit, text, dialog, flag, a_, b_, digits_);
      else
        TextEditFilter(kEdit, text, dialog, flag, a_, b_);
    } else if (control == kBox && code == kBnClicked) {
      changed = TakeCheckBox(kBox, check, dialog, flag);
    } else if (control == kCombo && code == kCbnSelChange) {
      TakeComboSelection(kCombo, index, dialog, flag);
    }
  }

  Kind kind_;
  std::u16string text;
  int a_, b_, digits_;
  int check = 0, index = 0, changed = -1;
  ModifiedFlag flag;
};

// One user action on the edit.
struct Action {
  enum Op { Caret, Select, Type, Backspace, Delete } op;
  int a = 0, b = 0;
  std::u16string text;
};
Action CaretAt(int pos) { return {Action::Caret, pos, 0, {}}; }
Action SelectRange(int from, int to) { return {Action::Select, from, to, {}}; }
Action TypeText(std::u16string text) { return {Action::Type, 0, 0, std::move(text)}; }
Action BackspaceKey() { return {Action::Backspace, 0, 0, {}}; }
Action DeleteKey() { return {Action::Delete, 0, 0, {}}; }

void Apply(FakePageDialog& dialog, const Action& action) {
  switch (action.op) {
    case Action::Caret: dialog.PlaceCaret(kEdit, action.a); break;
    case Action::Select: dialog.Select(kEdit, action.a, action.b); break;
    case Action::Type: dialog.Type(kEdit, action.text); break;
    case Action::Backspace: dialog.Backspace(kEdit); break;
    case Action::Delete: dialog.Delete(kEdit); break;
  }
}

struct FilterCase {
  const char* name;
  StandInPage::Kind kind;
  std::u16string initial;
  int a, b, digits;  // number: min, max, digits; text: mode, maxLen
  std::vector<Action> actions;
  std::u16string shown;  // edit and page after the last action
  int caret;
  bool modified;
};

class EditFilter : public testing::TestWithParam<FilterCase> {};

TEST_P(EditFilter, EditShowsWhatThePageHolds) {
  const FilterCase& c = GetParam();
  FakePageDialog dialog;
  StandInPage page(dialog, c.kind, c.initial, c.a, c.b, c.digits);
  dialog.Attach(&page);
  for (const Action& action : c.actions) {
    Apply(dialog, action);
    // After every keystroke the control shows exactly what the page holds.
    ASSERT_EQ(dialog.GetText(kEdit), page.text);
  }
  EXPECT_EQ(page.text, c.shown);
  EXPECT_EQ(dialog.Caret(kEdit), c.caret);
  EXPECT_EQ(dialog.EditOf(kEdit).start, dialog.EditOf(kEdit).end);
  EXPECT_EQ(FlagOf(page.flag), c.modified ? 1 : 0);
}

using K = StandInPage::Kind;
const FilterCase kNumberCases[] = {
    {"DigitBeforeFullFieldOutOfRange", K::Number, u"30", 0, 59, 2,
     {CaretAt(0), TypeText(u"7")}, u"30", 1, false},
    {"DigitAfterFullFieldShiftsLeft", K::Number, u"30", 0, 59, 2,
     {CaretAt(2), TypeText(u"5")}, u"05", 2, true},
    {"DigitInsideFullFieldPushesLastOut", K::Number, u"26", 0, 99, 2,
     {CaretAt(0), TypeText(u"7")}, u"72", 1, true},
    {"TypingOnAfterAnInsertShifts", K::Number, u"26", 0, 99, 2,
     {CaretAt(0), TypeText(u"7"), CaretAt(2), TypeText(u"5")}, u"25", 2, true},
    {"MiddleDigitOfTwo", K::Number, u"26", 0, 99, 2,
     {CaretAt(1), TypeText(u"1")}, u"21", 2, true},
    {"BothSelectedReplacesFirstOnly", K::Number, u"30", 0, 59, 2,
     {SelectRange(0, 2), TypeText(u"4")}, u"40", 1, true},
    {"BackspaceRestoresDigit", K::Number, u"30", 0, 59, 2,
     {CaretAt(2), BackspaceKey()}, u"30", 1, false},
    {"DeleteRestoresDigit", K::Number, u"30", 0, 59, 2,
     {CaretAt(0), DeleteKey()}, u"30", 0, false},
    {"DeletingAllRestoresAll", K::Number, u"30", 0, 59, 2,
     {SelectRange(0, 2), DeleteKey()}, u"30", 0, false},
    {"BackspaceThenTypeInserts", K::Number, u"30", 0, 59, 2,
     {CaretAt(1), BackspaceKey(), TypeText(u"4")}, u"43", 1, true},
    {"BelowMinimumRefused", K::Number, u"50", 1, 99, 2,
     {CaretAt(2), TypeText(u"0")}, u"50", 2, false},
    {"ZeroInFrontBelowMinimumRefused", K::Number, u"05", 1, 99, 2,
     {CaretAt(0), TypeText(u"0")}, u"05", 1, false},
    {"LeadingZeroAccepted", K::Number, u"50", 1, 99, 2,
     {CaretAt(0), TypeText(u"0"), CaretAt(1), DeleteKey()}, u"05", 1, true},
    {"PasteOfLettersRemoved", K::Number, u"26", 0, 99, 2,
     {SelectRange(0, 1), TypeText(u"x")}, u"26", 0, false},
    {"PasteOfMixedKeepsDigits", K::Number, u"26", 0, 99, 2,
     {SelectRange(0, 2), TypeText(u"a4b3")}, u"43", 2, true},
    {"LongPasteIsCut", K::Number, u"26", 0, 99, 2,
     {CaretAt(2), TypeText(u"123")}, u"26", 2, false},
    // The bounds of a range are in it; one past them is not.
    {"MaximumItselfAccepted", K::Number, u"30", 0, 59, 2,
     {SelectRange(0, 2), TypeText(u"59")}, u"59", 2, true},
    {"OnePastMaximumRefused", K::Number, u"30", 0, 59, 2,
     {SelectRange(0, 2), TypeText(u"60")}, u"30", 2, false},
    {"MinimumItselfAccepted", K::Number, u"30", 5, 59, 2,
     {SelectRange(0, 2), TypeText(u"05")}, u"05", 2, true},
    {"OneBelowMinimumRefused", K::Number, u"30", 5, 59, 2,
     {SelectRange(0, 2), TypeText(u"04")}, u"30", 2, false},
    {"OneDigitMaximumAccepted", K::Number, u"4", 0, 9, 1,
     {CaretAt(1), TypeText(u"9")}, u"9", 1, true},
    {"OneDigitSecondDigitReplaces", K::Number, u"9", 0, 9, 1,
     {CaretAt(1), TypeText(u"3")}, u"3", 1, true},
    {"OneDigitTypedBeforeReplaces", K::Number, u"9", 0, 9, 1,
     {CaretAt(0), TypeText(u"3")}, u"3", 1, true},
    {"OneDigitDeleteRestores", K::Number, u"9", 0, 9, 1,
     {CaretAt(1), BackspaceKey()}, u"9", 0, false},
    {"OneDigitDeleteKeyRestores", K::Number, u"4", 0, 9, 1,
     {CaretAt(0), DeleteKey()}, u"4", 0, false},
};
INSTANTIATE_TEST_SUITE_P(Number, EditFilter, testing::ValuesIn(kNumberCases),
                         [](const auto& info) { return std::string(info.param.name); });

const FilterCase kTextCases[] = {
    {"PasteOfFormattedNumber", K::Text, u"", PhoneCharsLeadingPlus, 12, 0,
     {TypeText(u"+7 (912) 345-67-89")}, u"+79123456789", 12, true},
    {"PasteOfLongNumberIsCut", K::Text, u"", PhoneCharsLeadingPlus, 12, 0,
     {TypeText(u"+7 (912) 345-67-89-01")}, u"+79123456789", 12, true},
    {"PlusOnlyFirst", K::Text, u"12", PhoneCharsLeadingPlus, 12, 0,
     {CaretAt(1), TypeText(u"+")}, u"12", 1, false},
    {"PlusTypedFirst", K::Text, u"12", PhoneCharsLeadingPlus, 12, 0,
     {CaretAt(0), TypeText(u"+")}, u"+12", 1, true},
    {"PlusRefusedInMode0", K::Text, u"", PhoneChars, 12, 0,
     {TypeText(u"+")}, u"", 0, false},
    {"HashAndStarAnywhere", K::Text, u"1", PhoneChars, 12, 0,
     {CaretAt(1), TypeText(u"#"), CaretAt(0), TypeText(u"*")}, u"*1#", 1, true},
    {"DigitBeforePlusPushesItOut", K::Text, u"+7", PhoneCharsLeadingPlus, 12, 0,
     {CaretAt(0), TypeText(u"8")}, u"87", 1, true},
    {"DeletingIsAllowed", K::Text, u"123", PhoneChars, 12, 0,
     {CaretAt(3), BackspaceKey(), BackspaceKey(), BackspaceKey()}, u"", 0, true},
    {"TypingAtMaximumRefused", K::Text, u"1234", Digits, 4, 0,
     {CaretAt(4), TypeText(u"5")}, u"1234", 4, false},
    {"DigitsModeRemovesOthers", K::Text, u"", Digits, 4, 0,
     {TypeText(u"*1a2#")}, u"12", 2, true},
    {"DeviceTextKeepsStorable", K::Text, u"", DeviceText, 25, 0,
     {TypeText(u"Тревога\t1\u20AC!")}, u"Тревога1!", 9, true},
    {"DeviceTextCutAtMaximum", K::Text, u"", DeviceText, 7, 0,
     {TypeText(u"Ёлка зелёная")}, u"Ёлка зе", 7, true},
    // The edit is read into its buffer of 63 characters before the filter
    // sees it: a character pasted after 63 that the filter drops is lost.
    {"PasteWithinTheEditBuffer", K::Text, u"", PhoneChars, 12, 0,
     {TypeText(std::u16string(62, u'-') + u"7")}, u"7", 1, true},
    {"PasteBeyondTheEditBufferIsCut", K::Text, u"", PhoneChars, 12, 0,
     {TypeText(std::u16string(63, u'-') + u"7")}, u"", 0, false},
};
INSTANTIATE_TEST_SUITE_P(Text, EditFilter, testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EditFilterWriteBack, OnlyWhenTheEditShowsSomethingElse) {
  FakePageDialog dialog;
  StandInPage page(dialog, K::Number, u"26", 0, 99, 2);
  dialog.Attach(&page);
  const int before = dialog.setTextCalls();
  // An accepted edit that the edit already shows is not written back.
  dialog.Select(kEdit, 1, 2);
  dialog.Type(kEdit, u"4");
  EXPECT_EQ(page.text, u"24");
  EXPECT_EQ(dialog.setTextCalls(), before);
  // A corrected one is, once: the EN_UPDATE of the write-back finds equal
  // texts.
  dialog.PlaceCaret(kEdit, 0);
  dialog.Type(kEdit, u"x");
  EXPECT_EQ(dialog.setTextCalls(), before + 1);
  EXPECT_EQ(dialog.GetText(kEdit), u"24");
}

TEST(MarkModified, PostsOnlyWhenTheFlagGetsSet) {
  FakePageDialog dialog;
  StandInPage page(dialog, K::Number, u"26", 0, 99, 2);
  dialog.Attach(&page);
  dialog.PlaceCaret(kEdit, 2);
  dialog.Type(kEdit, u"1");
  dialog.Type(kEdit, u"2");
  dialog.Click(kBox);
  EXPECT_EQ(page.text, u"12");
  EXPECT_EQ(FlagOf(page.flag), 1);
  ASSERT_EQ(dialog.posted().size(), 1u);
  EXPECT_EQ(dialog.posted()[0], (FakePageDialog::Posted{0, 0}));

  // Cleared by a file save: the next change tells the main window again.
  SetFlag(page.flag, 0);
  dialog.Click(kBox);
  EXPECT_EQ(dialog.posted().size(), 2u);

  // Without a parent the flag is still set.
  ModifiedFlag orphanFlag;
  FakePageDialog orphan;
  orphan.SetHasParent(false);
  MarkModified(orphan, orphanFlag);
  EXPECT_EQ(FlagOf(orphanFlag), 1);
  EXPECT_TRUE(orphan.posted().empty());
}

TEST(CommandHelpers, OnlyARealChangeCounts) {
  FakePageDialog dialog;
  StandInPage page(dialog, K::Number, u"26", 0, 99, 2);
  for (const char16_t* item : {u"a", u"b", u"c"}) dialog.AddComboString(kCombo, item);
  dialog.Attach(&page);

  // A click notification while the box still shows the page's state.
  dialog.Notify(kBox, kBnClicked);
  EXPECT_EQ(page.changed, 0);
  dialog.Choose(kCombo, 0);  // reselects the current entry
  EXPECT_EQ(FlagOf(page.flag), 0);
  EXPECT_TRUE(dialog.posted().empty());

  dialog.Click(kBox);
  EXPECT_EQ(page.changed, 1);
  EXPECT_EQ(page.check, 1);
  dialog.Choose(kCombo, 2);
  EXPECT_EQ(page.index, 2);
  EXPECT_EQ(FlagOf(page.flag), 1);
}

TEST(FrameworkNotices, InputModeAndCombos) {
  FakePageDialog dialog;
  PostInputModeNotice(dialog, 2, false);
  PostInputModeNotice(dialog, 1, true);
  const std::vector<FakePageDialog::Posted> expected = {{11, 2}, {12, 1}};
  EXPECT_EQ(dialog.posted(), expected);

  const int ids[] = {147, 150};
  FillComboFromStrings(ids, kCombo, 2, dialog);
  ASSERT_EQ(dialog.ComboOf(kCombo).items.size(), 2u);
  EXPECT_EQ(dialog.ComboOf(kCombo).items[1], u"Контроль только снижения температуры");
  const int missing[] = {147, 99999};
  EXPECT_ANY_THROW(FillComboFromStrings(missing, kCombo, 2, dialog));
}

}  // namespace
