// Any 2300-byte image loaded into the configuration model and stored back: a store
// changes only the bits the pages own, loading what was stored and storing
// again gives the same bytes (load -> store -> load is a fixpoint), and no
// load marks the configuration modified.
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "OwnedBits.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto owned = OwnedBits();
  std::vector<std::uint8_t> image(kImageSize, 0xFF);
  std::memcpy(image.data(), data, size < kImageSize ? size : kImageSize);

  Configuration pages;
  pages.Load(image.data());
  FUZZ_CHECK(!pages.Modified().IsSet());

  // Stored over the very bytes it was loaded from, and over other bytes:
  // only owned bits may differ from what was there.
  std::vector<std::uint8_t> stored = image;
  pages.StoreOver(stored.data());
  for (std::uint8_t background : {0x00, 0xFF}) {
    std::vector<std::uint8_t> over(kImageSize, background), before = over;
    pages.StoreOver(over.data());
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
  Configuration again;
  again.Load(stored.data());
  FUZZ_CHECK(!again.Modified().IsSet());
  std::vector<std::uint8_t> restored = stored;
  again.StoreOver(restored.data());
  FUZZ_CHECK(restored == stored);
  // And the pages that stored it load it without change as well.
  pages.Load(stored.data());
  std::vector<std::uint8_t> same = stored;
  pages.StoreOver(same.data());
  FUZZ_CHECK(same == stored);
  FUZZ_CHECK(!pages.Modified().IsSet());
  return 0;
}
