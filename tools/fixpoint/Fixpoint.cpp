#include "fixpoint/Fixpoint.h"

#include <cstring>
#include <vector>

#include "pages/ImageMap.h"
#include "pages/ModifiedFlag.h"
#include "pages/PageTable.h"

namespace {
std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(c);
  return out;
}
}  // namespace

std::string ShownValues(HeadlessPages& pages) {
  std::string shown;
  for (int i = 0; i < kPageCount; ++i) {
    const FieldPage& page = pages.Fields(i);
    for (std::size_t r = 0; r < page.Fields().rows.size(); ++r) {
      const FieldRow& row = page.Fields().rows[r];
      if (!row.ExistsFor(page.Member())) continue;
      const FieldPage::Holder& h = page.Value(static_cast<int>(r));
      shown += FieldKey(row, page.Member()) + "=" + Narrow(h.text) + "|" + Narrow(h.text2) + "|" +
               std::to_string(h.value) + "\n";
    }
  }
  return shown;
}

std::string CheckFixpoint(HeadlessPages& pages, const std::uint8_t* image) {
  modifiedFlag = 0;
  pages.LoadFromImage(image);
  const std::string first = ShownValues(pages);
  std::vector<std::uint8_t> stored(image, image + kImageSize);
  pages.StoreToImage(stored.data());
  pages.LoadFromImage(stored.data());
  if (ShownValues(pages) != first) return "load, store, load shows other values";
  std::vector<std::uint8_t> again = stored;
  pages.StoreToImage(again.data());
  if (again != stored) return "a second store writes other bytes";
  if (std::memcmp(stored.data() + kParamAreaSize, image + kParamAreaSize,
                  kImageSize - kParamAreaSize) != 0)
    return "a store touched the record area";
  if (modifiedFlag != 0) return "a load marked the configuration modified";
  return {};
}
