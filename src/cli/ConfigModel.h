// The configuration as the command-line tool sees it: the configuration
// model (config/Configuration.h) with every field given as a natural JSON
// value and set from JSON or from text after the checks of the field's kind.
//
// Single-threaded, like the model.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/Configuration.h"
#include "config/ImageMap.h"

using Json = nlohmann::ordered_json;
using Image = std::vector<std::uint8_t>;  // kImageSize bytes

// Every field that exists, in page order and then in table order.
inline const std::vector<FieldRef>& AllFields() { return Configuration::AllFields(); }
inline std::optional<FieldRef> FindField(const std::string& key) {
  return Configuration::Find(key);
}
// The page with key `key` ("phone3") or number `key` (1-23); -1 when none.
inline int FindPage(const std::string& key) { return Configuration::FindPage(key); }
inline std::string PageKeyOf(int page) { return PageKey(kPages[page]); }

// The initial image (what a configuration holds before anything is set).
Image InitialImage();

class ConfigModel {
 public:
  using Holder = FieldValue;

  void Load(const Image& image) { config_.Load(image.data()); }
  // The values stored over `image`, whose other bytes stay.
  void StoreOver(Image& image) const { config_.StoreOver(image.data()); }
  void StoreOver(std::uint8_t* image) const { config_.StoreOver(image); }
  // Page `page` alone stored over `image`.
  void StorePageOver(int page, Image& image) const {
    config_.Values(page).StoreOver(image.data());
  }

  const Configuration& Config() const { return config_; }
  const Holder& Value(const FieldRef& field) const { return config_.Value(field); }
  // The value as its control shows it ("05", "6.0", a list entry, "да").
  std::u16string Shown(const FieldRef& field) const { return config_.Get(field); }
  // The value in its natural JSON type.
  Json Natural(const FieldRef& field) const;
  // Sets a value as a tool does: no follow-up rules of the page run, the
  // modified flag stays as it is; a changed text is stored by the rule from
  // then on (its loaded bytes are dropped).
  void Assign(const FieldRef& field, const Holder& value) {
    config_.Edit(field, FieldEdit::Checked(value), EditBy::Tool);
  }

  // Checks `value` (its natural type, or text as on a command line) against
  // the field's rules and gives the value it stands for; nothing and a
  // message saying what is allowed when it breaks one.
  std::optional<Holder> Parse(const FieldRef& field, const Json& value, std::string& error) const;

 private:
  Configuration config_;
};
