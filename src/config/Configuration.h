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

// One page's part of the model.
class PageValues : public SimpleCtrlr, public IInputModeFollower {
 public:
  PageValues(int index, IModifiedFlag& modified);

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
  void SetView(IPageView* view) { view_ = view; }

 private:
  void Changed() {
    if (view_) view_->ValuesChanged();
  }

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
  // The value as its control shows it ("05", "6.0", a list entry, "да").
  std::u16string Get(const FieldRef& field) const;
  std::optional<std::u16string> Get(std::string_view key) const;
  // Sets a value as a tool does, after the checks of its kind: no follow-up
  // rule runs and the modified flag stays as it is. A value equal to the
  // one shown changes nothing (an unedited text keeps its loaded bytes).
  SetOutcome Set(const FieldRef& field, std::u16string_view text);
  SetOutcome Set(std::string_view key, std::u16string_view text);
  // Sets a value as a user does at its control: when it changed, the
  // configuration is marked modified and the change-only rule of inputs 2
  // and 3 runs with its notice to the phone and relay pages.
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
