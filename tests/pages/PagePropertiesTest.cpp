// Properties of the configuration model over the whole page table, computed
// from what it does: which bits each page writes, that load and store are a
// fixpoint, that the write sets are exactly the owned part of the image, and
// that the model and the page dialogs agree on every field.
#include <gtest/gtest.h>

#include <bitset>
#include <random>
#include <set>
#include <vector>

#include "FlagHelpers.h"
#include "OwnedBits.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/StringTable.h"
#include "device/DemoConfiguration.h"
#include "fixpoint/Fixpoint.h"
#include "pages/HeadlessPageDialog.h"
#include "pages/PageFramework.h"

namespace {

using Bits = std::bitset<kImageSize * 8>;
using Bytes = std::vector<std::uint8_t>;

std::u16string RandomDigits(std::mt19937& random, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(u'0' + random() % 10));
  return text;
}

// A value of the field that its kind accepts, as a person writes it, chosen
// at random.
std::u16string RandomValue(const FieldRow& row, std::mt19937& random) {
  auto number = [&](int min, int max, int digits) {
    int v = min + static_cast<int>(random() % (max - min + 1));
    std::u16string text(static_cast<std::size_t>(digits), u'0');
    for (int d = digits - 1; d >= 0; --d, v /= 10) text[d] = static_cast<char16_t>(u'0' + v % 10);
    return text;
  };
  const int length = static_cast<int>(random() % (row.max + 1));
  std::u16string text;
  switch (row.kind) {
    case FieldKind::TwoDigits: return number(row.min, row.max, 2);
    case FieldKind::Bcd: return number(0, row.max, 2);
    case FieldKind::OneDigit: return RandomDigits(random, 1);
    case FieldKind::Tenths: return RandomDigits(random, 1) + u"." + RandomDigits(random, 1);
    case FieldKind::List:
    case FieldKind::OneHot:
      return FindString(row.list->strings[random() % row.list->strings.size()]);
    case FieldKind::Flag:
    case FieldKind::Marker: return random() % 2 ? kBoxOn : kBoxOff;
    case FieldKind::Text:
    case FieldKind::ShortText:
      for (int i = 0; i < length; ++i)
        // Printable ASCII or a Cyrillic letter of the device's set.
        text.push_back(random() % 2 ? static_cast<char16_t>(0x20 + random() % 0x60)
                                    : static_cast<char16_t>(0x0410 + random() % 0x40));
      return text;
    case FieldKind::Phone: {
      const char16_t chars[] = u"0123456789*#";
      if (length > 0 && random() % 2) text = u"+";
      while (static_cast<int>(text.size()) < length) text.push_back(chars[random() % 12]);
      return text;
    }
    case FieldKind::Password: return random() % 3 ? RandomDigits(random, row.max) : u"";
    case FieldKind::RequestNumber:
      return length >= 2 ? u"*" + RandomDigits(random, length - 2) + u"#" : u"";
  }
  return text;
}

void SetRandom(Configuration& config, int page, std::mt19937& random) {
  for (const FieldRef& f : Configuration::AllFields())
    if (f.page == page) { ASSERT_TRUE(config.Set(f, RandomValue(f.Row(), random)).ok) << f.Key(); }
}

Bytes RandomImage(std::mt19937& random, int n) {
  Bytes image(kImageSize);
  // Random bytes, and now and then bytes that make texts and numbers valid
  // more often.
  for (auto& b : image) b = static_cast<std::uint8_t>(random());
  if (n % 3 == 0)
    for (auto& b : image) b = static_cast<std::uint8_t>(b % 3 == 0 ? 0x1B : b & 0x3F);
  return image;
}

void Accumulate(Bits& bits, const Bytes& before, const Bytes& after) {
  for (std::size_t i = 0; i < kImageSize; ++i)
    for (int b = 0; b < 8; ++b)
      if ((before[i] ^ after[i]) >> b & 1) bits.set(i * 8 + b);
}

// The bits that page `index` changes in any of: its fresh state, values it
// loaded from random images, and random values set as a user could; each
// stored over backgrounds of all 0x00 and all 0xFF.
Bits WriteSet(int index, std::mt19937& random) {
  Configuration config;
  PageValues& page = config.Values(index);
  Bits bits;
  Bytes loaded(kImageSize);
  for (int trial = 0; trial < 300; ++trial) {
    if (trial > 0 && trial % 2) {
      for (auto& b : loaded) b = static_cast<std::uint8_t>(random());
      page.LoadFromImage(loaded.data());
    } else if (trial > 0) {
      SetRandom(config, index, random);
    }
    for (std::uint8_t background : {0x00, 0xFF}) {
      const Bytes before(kImageSize, background);
      Bytes after = before;
      page.StoreOver(after.data());
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
      if (kPages[i].fields != kPages[j].fields) continue;
      if (rows(kPages[i]) == rows(kPages[j]))
        EXPECT_EQ(sets[i].count(), sets[j].count()) << "pages " << j << " and " << i;
      else
        EXPECT_NE(sets[i].count(), sets[j].count()) << "pages " << j << " and " << i;
    }
}

TEST(PageProperties, LoadStoreLoadIsAFixpointOverRandomImages) {
  std::mt19937 random(11);
  Configuration config;
  for (int n = 0; n < 3000; ++n) {
    const Bytes image = RandomImage(random, n);
    ASSERT_EQ(CheckFixpoint(config, image.data()), "") << "image " << n;
  }
}

TEST(PageProperties, EveryRowIsNamedAndLabelled) {
  std::set<std::string> keys;
  for (const PageEntry& page : kPages) {
    EXPECT_TRUE(keys.insert(PageKey(page)).second) << PageKey(page);
    for (const FieldRow& row : page.fields->rows) {
      if (!row.ExistsFor(page.member)) continue;
      EXPECT_TRUE(keys.insert(FieldKey(row, page.member)).second) << FieldKey(row, page.member);
      EXPECT_NE(FindString(row.label), nullptr) << FieldKey(row, page.member);
      if (row.group) { EXPECT_NE(FindString(row.group), nullptr) << FieldKey(row, page.member); }
    }
  }
  EXPECT_EQ(keys.size(), Configuration::AllFields().size() + kPageCount);
  for (const FieldRef& f : Configuration::AllFields())
    EXPECT_EQ(Configuration::Find(f.Key()), f) << f.Key();
}

TEST(PageProperties, TheDemoConfigurationFillsEveryPage) {
  Bytes demo(kImageSize);
  MakeDemoImage(demo.data());
  Configuration fresh, loaded;
  loaded.Load(demo.data());
  EXPECT_EQ(FlagOf(loaded.Modified()), 0);
  for (int i = 0; i < kPageCount; ++i) {
    int differing = 0;
    const PageValues &a = fresh.Values(i), &b = loaded.Values(i);
    for (int r = 0; r < a.RowCount(); ++r) {
      const FieldValue &x = a.Value(r), &y = b.Value(r);
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

// ---- The model and the page dialogs agree ----

// What the controls of `field` show on its page dialog, in the model's text
// form.
std::u16string ControlsShow(HeadlessPages& pages, const FieldRef& field) {
  HeadlessPageDialog& d = pages.Dialog(field.page);
  const FieldRow& row = field.Row();
  switch (field.Kind().Control()) {
    case ControlType::Edit: return d.GetText(row.control);
    case ControlType::UnitsAndTenths:
      return d.GetText(row.control) + u"." + d.GetText(row.control2);
    case ControlType::List: {
      const auto& combo = d.ComboOf(row.control);
      const int s = combo.selection;
      return s >= 0 && s < static_cast<int>(combo.items.size()) ? combo.items[s] : u"?";
    }
    case ControlType::CheckBox: return d.GetCheck(row.control) ? kBoxOn : kBoxOff;
  }
  return u"?";
}

// Enters `text` into the controls of `field` as a user does: a paste over
// the whole edit, a list entry picked, a box clicked when it differs.
void TypeInto(HeadlessPages& pages, const FieldRef& field, const std::u16string& text) {
  HeadlessPageDialog& d = pages.Dialog(field.page);
  const FieldRow& row = field.Row();
  switch (field.Kind().Control()) {
    case ControlType::Edit: d.Enter(row.control, text); break;
    case ControlType::UnitsAndTenths:
      d.Enter(row.control, text.substr(0, 1));
      d.Enter(row.control2, text.substr(2, 1));
      break;
    case ControlType::List:
      for (int i = 0; i < row.ListCount(); ++i)
        if (text == FindString(row.list->strings[i])) d.Choose(row.control, i);
      break;
    case ControlType::CheckBox:
      if ((d.GetCheck(row.control) == 1) != (text == kBoxOn)) d.Click(row.control);
      break;
  }
}

TEST(ModelAndPages, TheControlsShowWhatTheModelGetsAfterEveryLoad) {
  std::mt19937 random(13);
  Configuration model;
  HeadlessPages pages;
  for (int n = 0; n < 300; ++n) {
    const Bytes image = RandomImage(random, n);
    model.Load(image.data());
    for (int p = 0; p < kPageCount; ++p) pages.Fields(p).LoadFromImage(image.data());
    for (const FieldRef& f : Configuration::AllFields())
      ASSERT_EQ(model.Get(f), ControlsShow(pages, f)) << f.Key() << " image " << n;
    EXPECT_EQ(FlagOf(model.Modified()), 0);
    EXPECT_EQ(FlagOf(pages.Modified()), 0);
  }
}

TEST(ModelAndPages, EnteringAValueStoresWhatTypingItIntoThePageStores) {
  std::mt19937 random(17);
  for (int n = 0; n < 40; ++n) {
    const Bytes base = RandomImage(random, n);
    Configuration model;
    HeadlessPages pages;
    model.Load(base.data());
    pages.LoadFromImage(base.data());
    // Every field once, in a random order, so the change-only rule and its
    // notice run among the other values.
    std::vector<FieldRef> fields = Configuration::AllFields();
    std::shuffle(fields.begin(), fields.end(), random);
    for (const FieldRef& f : fields) {
      const std::u16string text = RandomValue(f.Row(), random);
      const SetOutcome outcome = model.Enter(f, text);
      ASSERT_TRUE(outcome.ok) << f.Key() << ": " << outcome.error;
      EXPECT_EQ(outcome.value, text) << f.Key();
      TypeInto(pages, f, text);
      ASSERT_EQ(model.Get(f), ControlsShow(pages, f)) << f.Key();
    }
    Bytes byModel = base, byPages = base;
    model.StoreOver(byModel.data());
    pages.StoreToImage(byPages.data());
    for (std::size_t i = 0; i < kImageSize; ++i)
      ASSERT_EQ(byModel[i], byPages[i]) << "byte " << i << " run " << n;
    EXPECT_EQ(FlagOf(model.Modified()), FlagOf(pages.Modified()));
  }
}

}  // namespace
