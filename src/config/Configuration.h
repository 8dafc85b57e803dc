// The configuration model: the values of every field of all 23 pages,
// without any dialog. It loads them from a ConfigImage and stores them over
// one (each page only its own bytes and bits), names every field by its
// key, shows and sets values as text with the rules of the field's kind,
// and carries the rules that are not field mappings: the change-only
// follow-up of inputs 2 and 3, the notice it sends to the phone and relay
// pages, and the text mend (a device text that cannot be stored again is
// written back as loaded until it is edited).
//
// The Windows program's page controllers show their page's part of the
// model in their controls; the command-line tool, the browser configurator,
// the demo configuration and the tools use the model directly.
//
// Single-threaded: a Configuration belongs to the thread that made it (the
// user-interface thread in the program).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/FieldKinds.h"
#include "config/ModifiedFlag.h"
#include "config/PageFields.h"
#include "config/PageSet.h"

// Whoever shows a page's values (the page's dialog controller): told when
// the values changed by a load or by an input-mode notice, never by the
// viewer's own edits.
class IPageView {
 public:
  virtual ~IPageView() = default;
  virtual void ValuesChanged() = 0;
};

class Configuration;

// One page's part of the model.
class PageValues : public SimpleCtrlr, public IInputModeFollower {
 public:
  PageValues(Configuration& model, int index, IModifiedFlag& modified);

  int Index() const { return index_; }
  const PageEntry& Entry() const { return kPages[index_]; }
  const PageFields& Fields() const { return *Entry().fields; }
  int Member() const { return Entry().member; }
  int RowCount() const { return static_cast<int>(values_.size()); }
  const FieldRow& Row(int row) const { return Fields().rows[row]; }
  bool Exists(int row) const { return Row(row).ExistsFor(Member()); }
  const FieldValue& Value(int row) const { return values_[row]; }
  // For the page's own controller, which filters what the user types.
  FieldValue& Value(int row) { return values_[row]; }

  // SimpleCtrlr: the page's bytes and bits; a load tells the view.
  void StoreToImage(std::uint8_t* image) override { StoreOver(image); }
  void StoreOver(std::uint8_t* image) const;
  void LoadFromImage(const std::uint8_t* image) override;

  // The phone and relay pages follow the inputs' change-only mode (their
  // table says how); other pages ignore the notice. Tells the view.
  void FollowInputMode(int input, bool changeOnly) override;
  // The first page of inputs 2 and 3, after its change-only box really
  // changed: places the values that suit the new mode. The caller sends
  // the notice (input Member() - 1) on to the phone and relay pages.
  void ApplyChangeOnlyMode();

  IModifiedFlag& Modified() { return modified_; }
  // The whole model, which takes the page's edits (Configuration::Edit).
  Configuration& Model() { return model_; }
  void SetView(IPageView* view) { view_ = view; }

 private:
  void Changed() {
    if (view_) view_->ValuesChanged();
  }

  Configuration& model_;
  int index_;
  IModifiedFlag& modified_;
  std::vector<FieldValue> values_;
  IPageView* view_ = nullptr;
};

// One field: row `row` of the table of page `page` (an index into kPages).
struct FieldRef {
  int page;
  int row;
  const FieldRow& Row() const { return kPages[page].fields->rows[row]; }
  const FieldKindOps& Kind() const { return KindOf(Row()); }
  std::string Key() const { return FieldKey(Row(), kPages[page].member); }
  bool operator==(const FieldRef&) const = default;
};

// The result of setting a value: the value as now stored and shown, or why
// it was refused.
struct SetOutcome {
  bool ok = false;
  std::u16string value;
  std::string error;
};

// What a user does to a field at its control, or a tool gives as its value.
struct FieldEdit {
  enum class Action {
    Typed,   // the edit `part` now shows `text`, caret at `caret`: a
             // keystroke, a paste, a deletion
    Given,   // `text` is the whole value as a person writes it
    Box,     // the check box was clicked; `index` is its new state (0, 1)
    Entry,   // list entry `index` was chosen; -1: the list has no selection
    Value,   // `value` is what the field is to hold, which a tool has
             // checked against the field's rules itself (a parsed JSON value)
  };
  Action action = Action::Given;
  std::u16string_view text;
  int part = 0;  // Typed: 0, or 1 for the tenths edit of an x.y value
  int caret = 0;
  int index = 0;
  const FieldValue* value = nullptr;

  static FieldEdit Typed(int part, std::u16string_view text, int caret) {
    return {Action::Typed, text, part, caret, 0};
  }
  static FieldEdit Given(std::u16string_view text) { return {Action::Given, text, 0, 0, 0}; }
  static FieldEdit Box(bool checked) { return {Action::Box, {}, 0, 0, checked ? 1 : 0}; }
  static FieldEdit Entry(int index) { return {Action::Entry, {}, 0, 0, index}; }
  static FieldEdit Checked(const FieldValue& value) { return {Action::Value, {}, 0, 0, 0, &value}; }
};

// Who edits: a user at the control, with everything that follows a change
// (the modified flag, the change-only rule of inputs 2 and 3 and its notice
// to the phone and relay pages), or a tool that sets the value alone and
// leaves the flag as it is (the command-line tool's set and import).
enum class EditBy { User, Tool };

struct EditResult {
  bool ok = false;     // taken; false with `error` when the edit breaks the field's rules
  std::string error;
  bool changed = false;  // the field's value changed
  // Typed: what the edit must show now and where its caret goes, and
  // whether the edit must be written back (it shows something else). The
  // other actions: the value as its control shows it.
  std::u16string shown;
  int caret = 0;
  bool rewrite = false;
  bool marked = false;   // this edit set the modified flag (it was clear)
  bool noticed = false;  // the change-only rule ran and its notice went out
};

class Configuration : public IPageSet {
 public:
  // Every field at the value a fresh page shows; the flag clear.
  Configuration();
  Configuration(const Configuration&) = delete;
  Configuration& operator=(const Configuration&) = delete;

  // IPageSet: page `index`'s values.
  SimpleCtrlr* Page(int index) override { return pages_[index].get(); }
  PageValues& Values(int index) { return *pages_[index]; }
  const PageValues& Values(int index) const { return *pages_[index]; }

  // All pages in page order.
  void Load(const std::uint8_t* image);
  void StoreOver(std::uint8_t* image) const;

  // Every field that exists, in page order and then in table order.
  static const std::vector<FieldRef>& AllFields();
  static std::optional<FieldRef> Find(std::string_view key);
  // The page with key `key` ("phone3") or number `key` (1-23); -1 when none.
  static int FindPage(std::string_view key);

  const FieldValue& Value(const FieldRef& field) const {
    return pages_[field.page]->Value(field.row);
  }
  // Every edit of a field's value goes through here: the kind's keystroke
  // filter (Typed) or its rules (Given, Box, Entry), the text mend (an
  // edited device text is stored by the rule from then on), and, for a
  // user's edit that changed the value, the modified flag and the
  // change-only rule with its notice, which every page that follows an
  // input's mode gets at once (its view is told). The view of the edited
  // page is not told: it shows the edit itself.
  // The value as its control shows it ("05", "6.0", a list entry, "да").
  std::u16string Get(const FieldRef& field) const;
  std::optional<std::u16string> Get(std::string_view key) const;
  EditResult Edit(const FieldRef& field, const FieldEdit& edit, EditBy by = EditBy::User);
  // A value given as text, as a tool sets it (Edit, Given, by a tool): no
  // follow-up rule runs and the modified flag stays as it is. A value equal
  // to the one shown changes nothing (an unedited text keeps its loaded
  // bytes).
  SetOutcome Set(const FieldRef& field, std::u16string_view text);
  SetOutcome Set(std::string_view key, std::u16string_view text);
  // A value given as text, as a user enters it (Edit, Given, by a user).
  SetOutcome Enter(const FieldRef& field, std::u16string_view text);
  // The notice of an input page (input index, change-only on or off)
  // offered to every page in page order.
  void RelayInputModeNotice(int input, bool changeOnly);

  IModifiedFlag& Modified() { return modified_; }
  const IModifiedFlag& Modified() const { return modified_; }

 private:
  ModifiedFlag modified_;
  std::vector<std::unique_ptr<PageValues>> pages_;
};

// Texts of the string table that name pages and fields.
std::u16string PageLabel(int page);
// Without the colon and spaces some labels end with.
std::u16string FieldLabel(const FieldRef& field);
std::u16string GroupLabel(const FieldRef& field);  // empty when the field has no group
