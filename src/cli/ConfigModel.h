// A configuration as the pages see it: the 23 page controllers over
// window-less dialogs, and every field of the page table named by its key,
// shown as its control shows it, given as a natural JSON value, and set
// from text or JSON after the same checks as the page's own filters.
//
// Single-threaded, like the pages.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "pages/HeadlessPageDialog.h"
#include "pages/ImageMap.h"

using Json = nlohmann::ordered_json;
using Image = std::vector<std::uint8_t>;  // kImageSize bytes

// One field: row `row` of the table of page `page` (an index into kPageTable).
struct FieldRef {
  int page;
  int row;
  const FieldRow& Row() const;
  std::string Key() const;  // "input2.entry_delay"
};

// Every field that exists, in page order and then in table order.
const std::vector<FieldRef>& AllFields();
std::optional<FieldRef> FindField(const std::string& key);
// The page with key `key` ("phone3") or number `key` (1-23); -1 when none.
int FindPage(const std::string& key);
std::string PageKeyOf(int page);
std::u16string PageLabel(int page);
std::u16string FieldLabel(const FieldRef& field);
std::u16string GroupLabel(const FieldRef& field);  // empty when the field has no group

// The initial image (what a configuration holds before anything is set).
Image InitialImage();

class ConfigModel {
 public:
  using Holder = FieldPage::Holder;

  void Load(const Image& image) { pages_.LoadFromImage(image.data()); }
  // The pages' values stored over `image`, whose other bytes stay.
  void StoreOver(Image& image) { pages_.StoreToImage(image.data()); }
  // Page `page` alone stored over `image`.
  void StorePageOver(int page, Image& image) { pages_.Page(page)->StoreToImage(image.data()); }

  const Holder& Value(const FieldRef& field) { return pages_.Fields(field.page).Value(field.row); }
  // The value as its control shows it ("05", "6.0", a list entry, "да").
  std::u16string Shown(const FieldRef& field);
  // The value in its natural JSON type.
  Json Natural(const FieldRef& field);
  // Sets a holder as a tool does: no follow-up rules of the page run.
  void Assign(const FieldRef& field, const Holder& value) {
    pages_.Fields(field.page).Assign(field.row, value);
  }

  // Checks `value` (its natural type, or text as on a command line) against
  // the field's rules and gives the holder it stands for; nothing and a
  // message saying what is allowed when it breaks one.
  std::optional<Holder> Parse(const FieldRef& field, const Json& value, std::string& error);

 private:
  // Whether the page's own filter keeps `text` as it is in the edit of
  // `field` (entered on a scratch page, so this configuration's pages stay
  // as they are).
  bool FilterKeeps(const FieldRef& field, const std::u16string& text);

  HeadlessPages pages_;
  std::optional<HeadlessPages> scratch_;
};

// Text forms of the two box states.
extern const char16_t kYes[];
extern const char16_t kNo[];
