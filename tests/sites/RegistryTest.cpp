// The registry on every backend: sites, the append-only history, heads,
// the log, differences, the search, the export and the checks.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include <nlohmann/json.hpp>

#include "Backends.h"
#include "SitesTestSupport.h"
#include "config/ImageMap.h"
#include "sites/Registry.h"

namespace {

class RegistryTest : public ::testing::TestWithParam<BackendFactory> {
 protected:
  void SetUp() override { registry = std::make_unique<Registry>(GetParam().make()); }
  std::unique_ptr<Registry> registry;

  Site MakeSite(const std::string& number, const std::string& customer = "Иванов И. И.") {
    Site s;
    s.number = number;
    s.customer = customer;
    s.address = "Тверь, ул. Советская, 5";
    s.sim = "+79990001122";
    s.phone = "+7 (916) 123-45-67";
    registry->AddSite(s);
    return s;
  }
  Added Record(const std::string& site, const Image& image, const std::string& at = "",
               std::optional<std::string> parent = std::nullopt) {
    NewRevision n;
    n.site = site;
    n.image = image;
    n.author = "installer";
    n.source = RevisionSource::Edit;
    n.at = at;
    n.parent = std::move(parent);
    return registry->AddRevision(n);
  }
};

TEST_P(RegistryTest, KeepsSitesAndFindsThemByAnyOfTheirTexts) {
  MakeSite("0417", "Иванов");
  MakeSite("0418", "Петров");
  MakeSite("A-12", "ООО Ромашка");
  const std::optional<Site> s = registry->FindSite("0417");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->customer, "Иванов");
  EXPECT_EQ(s->sim, "+79990001122");
  EXPECT_FALSE(s->added.empty());

  struct Case {
    std::string text;
    std::vector<std::string> numbers;
  };
  for (const Case& c : std::vector<Case>{
           {"", {"0417", "0418", "A-12"}},
           {"иванов", {"0417"}},   // any case, Cyrillic too
           {"РОМАШКА", {"A-12"}},
           {"a-1", {"A-12"}},
           {"041", {"0417", "0418"}},
           {"123-45", {"0417", "0418", "A-12"}},  // the contact phone
           {"%", {}},                             // no wildcards
           {"_", {}},
           {"' OR 1=1 --", {}},
       }) {
    std::vector<std::string> numbers;
    for (const Site& site : registry->ListSites(c.text)) numbers.push_back(site.number);
    EXPECT_EQ(numbers, c.numbers) << c.text;
  }

  registry->EditSite("0418", {.customer = "Петров П.", .notes = std::string("ключ у соседа\nкв. 5")});
  EXPECT_EQ(registry->FindSite("0418")->customer, "Петров П.");
  EXPECT_EQ(registry->FindSite("0418")->notes, "ключ у соседа\nкв. 5");
  EXPECT_EQ(registry->FindSite("0418")->address, "Тверь, ул. Советская, 5");

  registry->ArchiveSite("0418");
  EXPECT_EQ(registry->ListSites("").size(), 2u);
  EXPECT_EQ(registry->ListSites("", true).size(), 3u);
  EXPECT_TRUE(registry->FindSite("0418")->archived);
}

TEST_P(RegistryTest, RefusesWhatIsNotAllowedAndChangesNothing) {
  MakeSite("0417");
  const std::string tenThousand(10000, '7');
  struct Case {
    std::string name;
    std::function<void(Registry&)> act;
    RegistryFault fault;
  };
  const Image image = TestImage({});
  const std::vector<Case> cases{
      {"quote", [](Registry& r) { r.AddSite({.number = "04'17"}); }, RegistryFault::Invalid},
      {"double quote", [](Registry& r) { r.AddSite({.number = "04\"17"}); }, RegistryFault::Invalid},
      {"percent", [](Registry& r) { r.AddSite({.number = "04%"}); }, RegistryFault::Invalid},
      {"underscore", [](Registry& r) { r.AddSite({.number = "04_"}); }, RegistryFault::Invalid},
      {"NUL", [](Registry& r) { r.AddSite({.number = std::string("04\0" "17", 5)}); },
       RegistryFault::Invalid},
      {"10,000 characters", [&](Registry& r) { r.AddSite({.number = tenThousand}); },
       RegistryFault::Invalid},
      {"empty", [](Registry& r) { r.AddSite({.number = ""}); }, RegistryFault::Invalid},
      {"leading dash", [](Registry& r) { r.AddSite({.number = "-rf"}); }, RegistryFault::Invalid},
      {"injection", [](Registry& r) { r.AddSite({.number = "1'); DROP TABLE sites; --"}); },
       RegistryFault::Invalid},
      {"twice", [](Registry& r) { r.AddSite({.number = "0417"}); }, RegistryFault::Exists},
      {"customer not UTF-8", [](Registry& r) { r.AddSite({.number = "1", .customer = "\xff"}); },
       RegistryFault::Invalid},
      {"customer with NUL",
       [](Registry& r) { r.AddSite({.number = "1", .customer = std::string("a\0b", 3)}); },
       RegistryFault::Invalid},
      {"customer of 10,000 characters",
       [&](Registry& r) { r.AddSite({.number = "1", .customer = tenThousand}); },
       RegistryFault::Invalid},
      {"SIM with letters", [](Registry& r) { r.AddSite({.number = "1", .sim = "+7999abc"}); },
       RegistryFault::Invalid},
      {"edit of a missing site", [](Registry& r) { r.EditSite("0999", {.customer = "x"}); },
       RegistryFault::NotFound},
      {"edit to a bad phone", [](Registry& r) { r.EditSite("0417", {.phone = "'; --"}); },
       RegistryFault::Invalid},
      {"archive of a missing site", [](Registry& r) { r.ArchiveSite("0999"); },
       RegistryFault::NotFound},
      {"revision of a missing site",
       [&](Registry& r) { r.AddRevision({.site = "0999", .image = image}); },
       RegistryFault::NotFound},
      {"revision of a short image",
       [&](Registry& r) { r.AddRevision({.site = "0417", .image = Image(100)}); },
       RegistryFault::Invalid},
      {"revision of a bad time",
       [&](Registry& r) { r.AddRevision({.site = "0417", .image = image, .at = "yesterday"}); },
       RegistryFault::Invalid},
      {"revision of a missing parent",
       [&](Registry& r) {
         r.AddRevision({.site = "0417", .image = image, .parent = std::string(64, 'a')});
       },
       RegistryFault::NotFound},
      {"revision of a parent that is no id",
       [&](Registry& r) {
         r.AddRevision({.site = "0417", .image = image, .parent = std::string("' OR ''='")});
       },
       RegistryFault::Invalid},
      {"author with a line break",
       [&](Registry& r) { r.AddRevision({.site = "0417", .image = image, .author = "a\nb"}); },
       RegistryFault::Invalid},
      {"revision id too short", [](Registry& r) { r.ResolveRevision("0417", "ab"); },
       RegistryFault::Invalid},
      {"revision id with a wildcard", [](Registry& r) { r.ResolveRevision("0417", "abcd%"); },
       RegistryFault::Invalid},
      {"revision id missing", [](Registry& r) { r.ResolveRevision("0417", "abcdef"); },
       RegistryFault::NotFound},
      {"export of a missing site", [](Registry& r) { r.ExportHistory("0999"); },
       RegistryFault::NotFound},
  };
  for (const Case& c : cases) {
    try {
      c.act(*registry);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const RegistryError& e) {
      EXPECT_EQ(e.fault(), c.fault) << c.name << ": " << e.what();
      EXPECT_NE(std::string(e.what()), "") << c.name;
    }
  }
  EXPECT_EQ(registry->ListSites("", true).size(), 1u);
  EXPECT_TRUE(registry->Log("0417").empty());
  EXPECT_EQ(registry->FindSite("0417")->phone, "+7 (916) 123-45-67");
}

TEST_P(RegistryTest, RecordsRevisionsWithWhatChanged) {
  MakeSite("0417");
  const Image first = TestImage({{"phone1.number", u"+79990001122"}});
  const Image second =
      TestImage({{"phone1.number", u"+79990001133"}, {"input2.change_only", u"нет"}});
  const Added a = Record("0417", first, "2026-01-01T10:00:00.000Z");
  ASSERT_TRUE(a.added);
  EXPECT_EQ(a.id.size(), 64u);
  const Added b = Record("0417", second, "2026-01-02T10:00:00.000Z");
  ASSERT_TRUE(b.added);

  const std::vector<Revision> log = registry->Log("0417");
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].id, b.id);
  EXPECT_EQ(log[0].parent, a.id);
  EXPECT_EQ(log[0].changed, 2);
  EXPECT_EQ(std::set<std::string>(log[0].changedKeys.begin(), log[0].changedKeys.end()),
            (std::set<std::string>{"phone1.number", "input2.change_only"}));
  EXPECT_EQ(log[1].id, a.id);
  EXPECT_EQ(log[1].changed, -1);
  EXPECT_EQ(log[1].parent, "");
  EXPECT_EQ(registry->Head("0417")->id, b.id);
  EXPECT_EQ(registry->RevisionImage(log[1]), first);
  EXPECT_EQ(registry->RevisionImage(log[0]), second);
  EXPECT_EQ(Registry::RevisionId(log[0]), b.id);

  const Difference d = registry->Diff(log[1], log[0]);
  EXPECT_EQ(d.fields.size(), 2u);
  EXPECT_TRUE(registry->Diff(log[0], log[0]).Equal());

  EXPECT_EQ(registry->ResolveRevision("0417", b.id.substr(0, 8)).id, b.id);
  EXPECT_EQ(registry->ResolveRevision("0417", a.id).id, a.id);
  // Another site's revision is not this site's.
  MakeSite("0418");
  EXPECT_THROW(registry->ResolveRevision("0418", a.id), RegistryError);
}

// A revision is prepared (compared with the head of the moment) before its
// writes: when the head moves in between, it goes on from the new head and
// its changes are those from the new head; a given parent stays its parent.
TEST_P(RegistryTest, APreparedRevisionGoesOnFromTheHeadItIsAddedTo) {
  MakeSite("0417");
  const Image root = TestImage({{"phone1.number", u"111"}});
  const Image moved = TestImage({{"phone1.number", u"222"}});
  const Image mine = TestImage({{"phone1.number", u"222"}, {"phone2.number", u"333"}});
  const Added first = Record("0417", root, "2026-01-01T10:00:00.000Z");
  struct Row {
    std::optional<std::string> parent;  // as given
    std::string parent_after;           // the parent it gets
    std::set<std::string> changed;
  };
  NewRevision n;
  n.site = "0417";
  n.image = mine;
  n.author = "installer";
  n.at = "2026-01-03T10:00:00.000Z";
  n.parent = std::nullopt;
  const PreparedRevision head_then = registry->PrepareRevision(n);
  n.parent = first.id;
  const PreparedRevision given = registry->PrepareRevision(n);
  EXPECT_EQ(head_then.comparedWith, first.id);
  const Added second = Record("0417", moved, "2026-01-02T10:00:00.000Z");
  const Row rows[] = {
      {std::nullopt, second.id, {"phone2.number"}},
      {first.id, first.id, {"phone1.number", "phone2.number"}},
  };
  for (const Row& row : rows) {
    const Added added = registry->AddPrepared(row.parent ? given : head_then);
    ASSERT_TRUE(added.added);
    const Revision r = *registry->FindRevision(added.id);
    EXPECT_EQ(r.parent, row.parent_after);
    EXPECT_EQ(std::set<std::string>(r.changedKeys.begin(), r.changedKeys.end()), row.changed);
    EXPECT_EQ(r.changed, static_cast<int>(row.changed.size()));
    EXPECT_EQ(Registry::RevisionId(r), added.id);
  }
  EXPECT_FALSE(registry->AddPrepared(given).added) << "the same revision added twice";
  EXPECT_TRUE(registry->Check().empty());
}

TEST_P(RegistryTest, AddsTheSameRevisionOnceAndKeepsIdenticalImagesOnce) {
  MakeSite("0417");
  MakeSite("0418");
  const Image image = TestImage({{"phone2.number", u"+79161234567"}});
  const Added a = Record("0417", image, "2026-01-01T10:00:00.000Z", "");
  const Added again = Record("0417", image, "2026-01-01T10:00:00.000Z", "");
  EXPECT_TRUE(a.added);
  EXPECT_FALSE(again.added);
  EXPECT_EQ(a.id, again.id);
  EXPECT_EQ(registry->Log("0417").size(), 1u);
  // The same image at another site, or later: other revisions, one image.
  Record("0418", image, "2026-01-01T10:00:00.000Z");
  Record("0417", image, "2026-01-03T10:00:00.000Z");
  std::unique_ptr<DbRows> rows = registry->database().Query("SELECT COUNT(*) FROM images");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Int(0), 1);
  rows = registry->database().Query("SELECT COUNT(*) FROM revisions");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Int(0), 3);
}

TEST_P(RegistryTest, TwoRevisionsOfOneParentAreTwoHeads) {
  MakeSite("0417");
  const Added root = Record("0417", TestImage({}), "2026-01-01T10:00:00.000Z");
  const Added left = Record("0417", TestImage({{"phone1.number", u"111"}}),
                            "2026-01-02T10:00:00.000Z", root.id);
  const Added right = Record("0417", TestImage({{"phone1.number", u"222"}}),
                             "2026-01-03T10:00:00.000Z", root.id);
  const std::vector<Revision> heads = registry->Heads("0417");
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].id, right.id);  // the newest first
  EXPECT_EQ(heads[1].id, left.id);
  EXPECT_EQ(registry->Head("0417")->id, right.id);
  // A revision without a parent given goes on from the head.
  const Added next = Record("0417", TestImage({{"phone1.number", u"333"}}));
  EXPECT_EQ(registry->FindRevision(next.id)->parent, right.id);
  EXPECT_EQ(registry->Heads("0417").size(), 2u);
}

TEST_P(RegistryTest, TheStoreItselfRefusesToChangeOrDeleteHistory) {
  MakeSite("0417");
  const Added a = Record("0417", TestImage({}));
  Database& db = registry->database();
  for (const char* sql : {
           "UPDATE revisions SET comment = 'x'",
           "UPDATE revisions SET image = image",
           "DELETE FROM revisions",
           "UPDATE images SET bytes = bytes",
           "DELETE FROM images",
           "DELETE FROM sites",  // its revisions name it
       }) {
    try {
      db.Execute(sql);
      ADD_FAILURE() << sql << ": done";
    } catch (const DbError& e) {
      EXPECT_EQ(e.fault(), DbFault::Constraint) << sql << ": " << e.what();
    }
  }
  EXPECT_EQ(registry->Log("0417").size(), 1u);
  EXPECT_EQ(registry->Log("0417")[0].id, a.id);
  EXPECT_TRUE(registry->Check().empty());
}

TEST_P(RegistryTest, FindsSitesByTheirHeadsFields) {
  for (const char* n : {"1", "2", "3", "4"}) MakeSite(n);
  Record("1", TestImage({{"phone1.number", u"+79990001122"}}));
  Record("2", TestImage({{"phone3.number", u"+79990001122"}, {"input2.change_only", u"нет"}}));
  Record("3", TestImage({{"phone1.number", u"+79990001122"}}));
  Record("3", TestImage({{"phone1.number", u"+79990009999"}}));  // no longer
  Record("4", TestImage({{"input2.change_only", u"нет"}}));

  struct Case {
    std::vector<FieldQuery> query;
    std::vector<std::string> numbers;
  };
  for (const Case& c : std::vector<Case>{
           {{{"phone*.number", "+79990001122"}}, {"1", "2"}},
           {{{"phone1.number", "+79990001122"}}, {"1"}},
           {{{"phone1.number", "+7 (999) 000-11-22"}}, {"1"}},  // as people write it
           {{{"input2.change_only", "no"}}, {"2", "4"}},
           {{{"input2.change_only", "нет"}}, {"2", "4"}},
           {{{"input2.change_only", "no"}, {"phone*.number", "+79990001122"}}, {"2"}},
           {{{"phone1.number", "+79990009999"}}, {"3"}},
           {{{"*.number", "+79990009999"}}, {"3"}},
       }) {
    std::vector<std::string> numbers;
    for (const FoundSite& f : registry->Find(c.query)) numbers.push_back(f.site.number);
    EXPECT_EQ(numbers, c.numbers) << c.query[0].key << "=" << c.query[0].value;
  }
  // Archived sites are left out.
  registry->ArchiveSite("1");
  EXPECT_EQ(registry->Find({{"phone1.number", "+79990001122"}}).size(), 0u);

  for (const FieldQuery& bad : std::vector<FieldQuery>{
           {"no.such_key", "1"},
           {"", "1"},
           {"input2.change_only", "perhaps"},
           {"phone1.number", "'; DROP TABLE sites; --"},
           {"phone1.number' OR '1'='1", "1"},
           {"input2.entry_delay", "\xff"},
       }) {
    try {
      registry->Find({bad});
      ADD_FAILURE() << bad.key << "=" << bad.value << ": accepted";
    } catch (const RegistryError& e) {
      EXPECT_EQ(e.fault(), RegistryFault::Invalid) << e.what();
    }
  }
  EXPECT_EQ(registry->ListSites("", true).size(), 4u);
}

TEST_P(RegistryTest, ExportsTheWholeHistoryWithEachImageOnce) {
  MakeSite("0417");
  const Image image = TestImage({{"phone1.number", u"+79990001122"}});
  const Added a = Record("0417", image, "2026-01-01T10:00:00.000Z");
  const Added b = Record("0417", TestImage({}), "2026-01-02T10:00:00.000Z");
  const Added c = Record("0417", image, "2026-01-03T10:00:00.000Z");
  const auto json = nlohmann::json::parse(registry->ExportHistory("0417"));
  EXPECT_EQ(json["site"]["number"], "0417");
  ASSERT_EQ(json["revisions"].size(), 3u);
  EXPECT_EQ(json["revisions"][0]["id"], a.id);
  EXPECT_EQ(json["revisions"][2]["id"], c.id);
  EXPECT_EQ(json["revisions"][2]["parent"], b.id);
  EXPECT_EQ(json["images"].size(), 2u);
  EXPECT_EQ(json["revisions"][0]["image"], json["revisions"][2]["image"]);
}

TEST_P(RegistryTest, WriteKeepsTheImageReadBeforeIt) {
  MakeSite("0417");
  const Image before = TestImage({{"phone1.number", u"111"}});
  const Image written = TestImage({{"phone1.number", u"222"}});
  NewRevision n{.site = "0417", .image = written, .source = RevisionSource::Write,
                .author = "installer", .before = before};
  const Added a = registry->AddRevision(n);
  const Revision r = *registry->FindRevision(a.id);
  EXPECT_EQ(r.source, RevisionSource::Write);
  EXPECT_EQ(registry->ImageByHash(r.before), before);
  EXPECT_EQ(registry->RevisionImage(r), written);
}

TEST_P(RegistryTest, ASecondConnectionSeesWhatTheFirstAdded) {
  MakeSite("0417");
  const Added a = Record("0417", TestImage({}));
  Registry other(GetParam().again());
  EXPECT_EQ(other.Head("0417")->id, a.id);
  const Added b = Record("0417", TestImage({{"phone1.number", u"5"}}));
  EXPECT_EQ(other.Head("0417")->id, b.id);
}

// Write transactions: those of one key (a site's) and those of the whole
// store take turns; those of two keys go side by side where the backend
// lets writers do so (PostgreSQL), and take turns where it does not.
TEST_P(RegistryTest, WritersOfOneSiteTakeTurnsAndOfTwoSitesGoSideBySide) {
  const bool side_by_side_there = GetParam().name == "postgresql";
  struct Row {
    const char* first;  // a key, or "" for a writer of the whole store
    const char* second;
    bool side_by_side;  // where writers can be
  };
  const Row rows[] = {
      {"site 0417", "site 0418", true},
      {"site 0417", "site 0417", false},
      {"", "site 0417", false},
      {"site 0417", "", false},
      {"", "", false},
  };
  std::unique_ptr<Database> other = GetParam().again();
  GetParam().impatient(*other);
  Database& db = registry->database();
  for (const Row& row : rows) {
    const auto begin = [](Database& on, const std::string& key) {
      if (key.empty()) on.Begin(true);
      else on.BeginFor(key);
    };
    begin(db, row.first);
    db.Execute("INSERT INTO registry (name, value) VALUES ('probe', 'x')");
    bool began = true;
    try {
      begin(*other, row.second);
    } catch (const DbError& e) {
      EXPECT_EQ(e.fault(), DbFault::Busy) << e.what();
      began = false;
    }
    EXPECT_EQ(began, row.side_by_side && side_by_side_there) << row.first << " / " << row.second;
    if (began) other->Rollback();
    db.Rollback();
    // Once the first is done, the second begins.
    begin(*other, row.second);
    other->Rollback();
  }
}

// What is written alongside a revision (the office's audit entry) is
// committed with it or not at all, and not when the revision was there.
TEST_P(RegistryTest, WhatIsWrittenAlongsideARevisionIsKeptWithItOrNotAtAll) {
  MakeSite("0417");
  registry->database().Execute("CREATE TABLE alongside (id TEXT NOT NULL)");
  const auto count = [&] {
    auto rows = registry->database().Query("SELECT COUNT(*) FROM alongside");
    rows->Next();
    return rows->Int(0);
  };
  NewRevision n{.site = "0417", .image = TestImage({}), .author = "installer", .at = "2026-12-10T02:00:00.000Z",
                .parent = ""};
  struct Row {
    bool throws;
    bool added;           // the revision is added
    std::int64_t written;  // rows alongside afterwards
  };
  const Row rows[] = {
      {true, false, 0},   // a throw alongside adds nothing
      {false, true, 1},   // then the same revision is added, with its row
      {false, false, 1},  // and once only: nothing is written for it again
  };
  for (const Row& row : rows) {
    int called = 0;
    bool added = false;
    try {
      added = registry
                  ->AddRevision(n,
                                [&](const Added& a) {
                                  ++called;
                                  registry->database().Execute("INSERT INTO alongside (id) VALUES ($1)", {a.id});
                                  if (row.throws) throw RegistryError(RegistryFault::Storage, "refused alongside");
                                })
                  .added;
    } catch (const RegistryError&) {
      EXPECT_TRUE(row.throws);
    }
    EXPECT_EQ(added, row.added);
    EXPECT_EQ(called, row.throws || row.added ? 1 : 0);
    EXPECT_EQ(count(), row.written);
    EXPECT_EQ(registry->Log("0417").size(), row.written ? 1u : 0u);
  }
}

// The search decodes an image only as far as its fields reach: every field
// loads alike from any two images that agree up to its extent (and the 64
// bytes the search adds).
TEST(FieldExtent, CoversWhatEveryFieldLoads) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    Image a(kImageSize);
    for (std::uint8_t& b : a) b = static_cast<std::uint8_t>(random());
    if (round % 2) a = TestImage({{"phone1.number", u"+79990001122"}});
    for (const FieldRef& f : Configuration::AllFields()) {
      const std::size_t extent = FieldExtent(f) + 64;
      ASSERT_GT(FieldExtent(f), 0u) << f.Key();
      Image b = a;
      for (std::size_t i = extent; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(random());
      FieldValue va, vb;
      f.Kind().Init(f.Row(), va);
      f.Kind().Init(f.Row(), vb);
      f.Kind().Load(f.Row(), kPages[f.page].member, a.data(), va);
      f.Kind().Load(f.Row(), kPages[f.page].member, b.data(), vb);
      EXPECT_EQ(f.Kind().Show(f.Row(), va), f.Kind().Show(f.Row(), vb)) << f.Key();
    }
  }
}

// A key against a pattern where '*' stands for any run of characters (the
// search's keys, and the office's check of a search by the password).
TEST(KeyFits, StarsStandForAnyRun) {
  struct Row {
    const char* pattern;
    const char* key;
    bool fits;
  };
  const Row rows[] = {
      {"phone1.number", "phone1.number", true},  {"phone1.number", "phone1.numbe", false},
      {"phone*.number", "phone12.number", true}, {"phone*.number", "phone.number", true},
      {"*", "", true},                           {"", "", true},
      {"", "a", false},                          {"*.number", "phone3.number", true},
      {"*.number", "phone3.numbers", false},     {"*a*a*", "banana", true},
      {"*a*a*a*a*", "banana", false},            {"*word", "security.password", true},
      {"**", "x", true},                         {"a*b*c", "abbbc", true},
      {"a*b*c", "acb", false},                   {"phone*", "Phone1.number", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(KeyFits(row.pattern, row.key), row.fits) << row.pattern << " ~ " << row.key;
}

INSTANTIATE_TEST_SUITE_P(Backends, RegistryTest, ::testing::ValuesIn(Backends()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
