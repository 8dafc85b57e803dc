#include "fixpoint/Fixpoint.h"

#include <cstring>
#include <vector>

#include "config/ImageMap.h"

namespace {
std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
  return out;
}
}  // namespace

std::string ShownValues(const Configuration& config) {
  std::string shown;
  for (const FieldRef& field : Configuration::AllFields()) {
    const FieldValue& h = config.Value(field);
    shown += field.Key() + "=" + Narrow(h.text) + "|" + Narrow(h.text2) + "|" +
             std::to_string(h.value) + "\n";
  }
  return shown;
}

std::string CheckFixpoint(Configuration& config, const std::uint8_t* image) {
  config.Modified().Clear();
  config.Load(image);
  const std::string first = ShownValues(config);
  std::vector<std::uint8_t> stored(image, image + kImageSize);
  config.StoreOver(stored.data());
  config.Load(stored.data());
  if (ShownValues(config) != first) return "load, store, load shows other values";
  std::vector<std::uint8_t> again = stored;
  config.StoreOver(again.data());
  if (again != stored) return "a second store writes other bytes";
  if (std::memcmp(stored.data() + kParamAreaSize, image + kParamAreaSize,
                  kImageSize - kParamAreaSize) != 0)
    return "a store touched the record area";
  if (config.Modified().IsSet()) return "a load marked the configuration modified";
  return {};
}
