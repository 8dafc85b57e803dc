// Any 2300-byte image loaded into all 23 pages and stored back: a store
// changes only the bits the pages own, loading what was stored and storing
// again gives the same bytes (load -> store -> load is a fixpoint), and no
// load marks the configuration modified.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "OwnedBits.h"
#include "pages/HeadlessPageDialog.h"
#include "config/ImageMap.h"
#include "config/ModifiedFlag.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto owned = OwnedBits();
  std::vector<std::uint8_t> image(kImageSize, 0xFF);
  std::memcpy(image.data(), data, size < kImageSize ? size : kImageSize);

  SetFlag(flag, 0);
  HeadlessPages pages;
  pages.LoadFromImage(image.data());
  FUZZ_CHECK(FlagOf(flag) == 0);

  // Stored over the very bytes it was loaded from, and over other bytes:
  // only owned bits may differ from what was there.
  std::vector<std::uint8_t> stored = image;
  pages.StoreToImage(stored.data());
  for (std::uint8_t background : {0x00, 0xFF}) {
    std::vector<std::uint8_t> over(kImageSize, background), before = over;
    pages.StoreToImage(over.data());
    for (std::size_t i = 0; i < kImageSize; ++i) {
      const std::uint8_t changed = over[i] ^ before[i];
      for (int b = 0; b < 8; ++b)
        if (changed >> b & 1) FUZZ_CHECK(owned.test(i * 8 + b));
    }
  }
  for (std::size_t i = 0; i < kImageSize; ++i) {
    const std::uint8_t changed = stored[i] ^ image[i];
    for (int b = 0; b < 8; ++b)
      if (changed >> b & 1) FUZZ_CHECK(owned.test(i * 8 + b));
  }

  // The fixpoint: what was stored loads into fresh pages as it stands.
  HeadlessPages again;
  again.LoadFromImage(stored.data());
  FUZZ_CHECK(FlagOf(flag) == 0);
  std::vector<std::uint8_t> restored = stored;
  again.StoreToImage(restored.data());
  FUZZ_CHECK(restored == stored);
  // And the pages that stored it load it without change as well.
  pages.LoadFromImage(stored.data());
  std::vector<std::uint8_t> same = stored;
  pages.StoreToImage(same.data());
  FUZZ_CHECK(same == stored);
  FUZZ_CHECK(FlagOf(flag) == 0);
  return 0;
}
