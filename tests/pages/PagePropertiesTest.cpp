// Properties of all 23 pages together, computed from what the pages do:
// which bits each page writes, that load and store are a fixpoint, and that
// the write sets are exactly the owned part of the image.
#include <gtest/gtest.h>

#include <bitset>
#include <random>
#include <set>
#include <vector>

#include "device/DemoConfiguration.h"
#include "OwnedBits.h"
#include "fixpoint/Fixpoint.h"
#include "pages/HeadlessPageDialog.h"
#include "pages/ImageMap.h"
#include "pages/ModifiedFlag.h"
#include "pages/PageFramework.h"
#include "pages/PageTable.h"

namespace {

using Bits = std::bitset<kImageSize * 8>;

std::u16string RandomDigits(std::mt19937& random, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(u'0' + random() % 10));
  return text;
}

// A value the row's filter accepts, chosen at random.
FieldPage::Holder RandomHolder(const FieldRow& row, std::mt19937& random) {
  FieldPage::Holder h;
  auto number = [&](int min, int max, int digits) {
    const int v = min + static_cast<int>(random() % (max - min + 1));
    std::u16string text = RandomDigits(random, 0);
    for (int d = digits - 1, p = 1; d >= 0; --d, p *= 10) text.insert(text.begin(), u'0' + v / p % 10);
    return text;
  };
  const int length = static_cast<int>(random() % (row.max + 1));
  switch (row.kind) {
    case FieldKind::TwoDigits: h.text = number(row.min, row.max, 2); break;
    case FieldKind::Bcd: h.text = number(0, row.max, 2); break;
    case FieldKind::OneDigit: h.text = RandomDigits(random, 1); break;
    case FieldKind::Tenths:
      h.text = RandomDigits(random, 1);
      h.text2 = RandomDigits(random, 1);
      break;
    case FieldKind::List:
    case FieldKind::OneHot: h.value = static_cast<int>(random() % row.list->strings.size()); break;
    case FieldKind::Flag:
    case FieldKind::Marker: h.value = static_cast<int>(random() % 2); break;
    case FieldKind::Text:
    case FieldKind::ShortText:
      for (int i = 0; i < length; ++i) {
        // Printable ASCII or a Cyrillic letter of the device's set.
        char16_t c = random() % 2 ? static_cast<char16_t>(0x20 + random() % 0x60)
                                  : static_cast<char16_t>(0x0410 + random() % 0x40);
        h.text.push_back(c);
      }
      break;
    case FieldKind::Phone: {
      const char16_t chars[] = u"0123456789*#";
      if (length > 0 && random() % 2) h.text = u"+";
      while (static_cast<int>(h.text.size()) < length) h.text.push_back(chars[random() % 12]);
      break;
    }
    case FieldKind::PageText:
      if (row.textMode == Digits) {
        h.text = RandomDigits(random, length);
      } else if (length >= 2 && random() % 2) {  // a request number of the stored form
        h.text = u"*" + RandomDigits(random, length - 2) + u"#";
      } else {
        const char16_t chars[] = u"0123456789*#";
        for (int i = 0; i < length; ++i) h.text.push_back(chars[random() % 12]);
      }
      break;
  }
  return h;
}

void AssignRandom(FieldPage& page, std::mt19937& random) {
  for (std::size_t r = 0; r < page.Fields().rows.size(); ++r)
    if (page.Fields().rows[r].ExistsFor(page.Member()))
      page.Assign(static_cast<int>(r), RandomHolder(page.Fields().rows[r], random));
}

void Accumulate(Bits& bits, const std::vector<std::uint8_t>& before,
                const std::vector<std::uint8_t>& after) {
  for (std::size_t i = 0; i < kImageSize; ++i)
    for (int b = 0; b < 8; ++b)
      if ((before[i] ^ after[i]) >> b & 1) bits.set(i * 8 + b);
}

// The bits that page `index` changes in any of: its fresh state, values it
// loaded from random images, and random values set as a user could; each
// stored over backgrounds of all 0x00 and all 0xFF.
Bits WriteSet(int index, std::mt19937& random) {
  HeadlessPages pages;
  FieldPage& page = pages.Fields(index);
  Bits bits;
  std::vector<std::uint8_t> loaded(kImageSize);
  for (int trial = 0; trial < 300; ++trial) {
    if (trial > 0 && trial % 2) {
      for (auto& b : loaded) b = static_cast<std::uint8_t>(random());
      page.LoadFromImage(loaded.data());
    } else if (trial > 0) {
      AssignRandom(page, random);
    }
    for (std::uint8_t background : {0x00, 0xFF}) {
      const std::vector<std::uint8_t> before(kImageSize, background);
      std::vector<std::uint8_t> after = before;
      page.StoreToImage(after.data());
      Accumulate(bits, before, after);
    }
  }
  return bits;
}

TEST(PageProperties, WriteSetsAreDisjointAndCoverExactlyTheOwnedBits) {
  std::mt19937 random(7);
  Bits sets[kPageCount];
  Bits all;
  for (int i = 0; i < kPageCount; ++i) {
    sets[i] = WriteSet(i, random);
    EXPECT_TRUE(sets[i].any()) << "page " << i << " writes nothing";
    for (int j = 0; j < i; ++j)
      EXPECT_TRUE((sets[i] & sets[j]).none()) << "pages " << j << " and " << i << " share bits";
    all |= sets[i];
  }
  const Bits owned = OwnedBits();  // written from the image map
  for (std::size_t bit = 0; bit < kImageSize * 8; ++bit)
    EXPECT_EQ(all.test(bit), owned.test(bit))
        << "byte " << bit / 8 << " bit " << bit % 8 << (all.test(bit) ? " written" : " unwritten");

  // The members of a family with the same rows write as many bits each;
  // members without some rows (the input-1 pages) write fewer.
  auto rows = [](const PageEntry& page) {
    int n = 0;
    for (const FieldRow& row : page.fields->rows) n += row.ExistsFor(page.member);
    return n;
  };
  for (int i = 0; i < kPageCount; ++i)
    for (int j = 0; j < i; ++j) {
      if (kPageTable[i].fields != kPageTable[j].fields) continue;
      if (rows(kPageTable[i]) == rows(kPageTable[j]))
        EXPECT_EQ(sets[i].count(), sets[j].count()) << "pages " << j << " and " << i;
      else
        EXPECT_NE(sets[i].count(), sets[j].count()) << "pages " << j << " and " << i;
    }
}

TEST(PageProperties, LoadStoreLoadIsAFixpointOverRandomImages) {
  std::mt19937 random(11);
  HeadlessPages pages;
  std::vector<std::uint8_t> image(kImageSize);
  for (int n = 0; n < 3000; ++n) {
    // Random bytes, and now and then bytes that make texts and numbers
    // valid more often.
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    if (n % 3 == 0)
      for (auto& b : image) b = static_cast<std::uint8_t>(b % 3 == 0 ? 0x1B : b & 0x3F);
    ASSERT_EQ(CheckFixpoint(pages, image.data()), "") << "image " << n;
  }
}

TEST(PageProperties, EveryRowIsNamedAndLabelled) {
  std::set<std::string> keys;
  for (const PageEntry& page : kPageTable) {
    ASSERT_NE(page.makeFactory, nullptr);
    EXPECT_TRUE(keys.insert(PageKey(page)).second) << PageKey(page);
    for (const FieldRow& row : page.fields->rows) {
      if (!row.ExistsFor(page.member)) continue;
      EXPECT_TRUE(keys.insert(FieldKey(row, page.member)).second) << FieldKey(row, page.member);
      HeadlessPageDialog dialog;
      EXPECT_NO_THROW(dialog.LoadText(row.labelId)) << FieldKey(row, page.member);
      if (row.groupId) {
        EXPECT_NO_THROW(dialog.LoadText(row.groupId));
      }
    }
  }
}

TEST(PageProperties, TheDemoConfigurationFillsEveryPage) {
  std::vector<std::uint8_t> demo(kImageSize);
  MakeDemoImage(demo.data());
  HeadlessPages fresh, loaded;
  modifiedFlag = 0;
  loaded.LoadFromImage(demo.data());
  EXPECT_EQ(modifiedFlag, 0);
  for (int i = 0; i < kPageCount; ++i) {
    int differing = 0;
    const FieldPage &a = fresh.Fields(i), &b = loaded.Fields(i);
    for (std::size_t r = 0; r < a.Fields().rows.size(); ++r) {
      const FieldPage::Holder &x = a.Value(static_cast<int>(r)), &y = b.Value(static_cast<int>(r));
      differing += x.text != y.text || x.text2 != y.text2 || x.value != y.value;
    }
    EXPECT_GT(differing, 0) << "page " << i << " shows only its defaults";
  }
  // Input 3 in change-only mode, one relay in siren mode that follows it.
  EXPECT_EQ(demo[kInChangeOnlyFlags] & 0x04, 0x04);
  EXPECT_EQ(demo[RelayMode(1)], 2);
  EXPECT_EQ(demo[RelaySirenZones(1)] & 0x07, 0x03);
  EXPECT_EQ(CheckFixpoint(loaded, demo.data()), "");
}

}  // namespace
