// The registry's schema: made in an empty store, migrated forward from every
// earlier version, and a store of a newer schema, of another program, or no
// database at all refused before anything is written.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "Backends.h"
#include "SitesTestSupport.h"
#include "sites/Registry.h"
#include "sites/Schema.h"
#include "sites/SqliteDatabase.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

RegistryFault FaultOpening(std::unique_ptr<Database> db) {
  try {
    Registry r(std::move(db));
  } catch (const RegistryError& e) {
    EXPECT_NE(std::string(e.what()), "");
    return e.fault();
  }
  ADD_FAILURE() << "opened";
  return RegistryFault::Invalid;
}

class SchemaTest : public ::testing::TestWithParam<BackendFactory> {};

TEST_P(SchemaTest, MigratesForwardFromEveryEarlierVersion) {
  ASSERT_FALSE(Migrations().empty());
  int previous = 0;
  for (const Migration& m : Migrations()) {
    EXPECT_GT(m.version, previous) << "versions go up";
    previous = m.version;
  }
  for (int from = 0; from < CurrentSchemaVersion(); ++from) {
    std::unique_ptr<Database> db = GetParam().make();
    {
      DbTransaction t(*db, true);
      MigrateTo(*db, from);
      t.Commit();
    }
    EXPECT_EQ(StoreSchemaVersion(*db), from);
    Registry registry(std::move(db));
    EXPECT_EQ(StoreSchemaVersion(registry.database()), CurrentSchemaVersion()) << from;
    registry.AddSite({.number = "0417"});
    registry.AddRevision({.site = "0417", .image = TestImage({})});
    EXPECT_EQ(registry.Log("0417").size(), 1u) << from;
    EXPECT_TRUE(registry.Check().empty()) << from;
  }
}

TEST_P(SchemaTest, RefusesANewerSchemaAndAnotherProgramsStore) {
  {
    Registry registry(GetParam().make());
    registry.AddSite({.number = "0417"});
    registry.database().Execute("UPDATE registry SET value = $1 WHERE name = 'schema'",
                                {std::to_string(CurrentSchemaVersion() + 1)});
  }
  EXPECT_EQ(FaultOpening(GetParam().again()), RegistryFault::Newer);
  std::unique_ptr<Database> db = GetParam().again();
  EXPECT_EQ(StoreSchemaVersion(*db), CurrentSchemaVersion() + 1);

  struct Case {
    const char* name;
    std::vector<const char*> sql;
  };
  for (const Case& c : std::vector<Case>{
           {"another program's table", {"CREATE TABLE customers (name TEXT)"}},
           {"a registry table of another kind",
            {"CREATE TABLE registry (name TEXT, value TEXT)",
             "INSERT INTO registry VALUES ('format', 'something else')"}},
           {"a registry table without a version",
            {"CREATE TABLE registry (name TEXT, value TEXT)",
             "INSERT INTO registry VALUES ('format', 'ostrel sites registry')"}},
           {"a version that is no number",
            {"CREATE TABLE registry (name TEXT, value TEXT)",
             "INSERT INTO registry VALUES ('format', 'ostrel sites registry')",
             "INSERT INTO registry VALUES ('schema', '1; DROP TABLE registry')"}},
       }) {
    std::unique_ptr<Database> store = GetParam().make();
    for (const char* sql : c.sql) store->Execute(sql);
    EXPECT_EQ(FaultOpening(std::move(store)), RegistryFault::NotARegistry) << c.name;
    std::unique_ptr<Database> again = GetParam().again();
    // Nothing was made in it.
    EXPECT_EQ(again->Tables().size(), 1u) << c.name;
  }
}

// Several programs that open one fresh store at the same moment (two
// office servers, a server and the command-line tool): one makes the
// schema, and every one opens the registry.
TEST_P(SchemaTest, ProgramsOpeningAFreshStoreAtOnceAllOpenIt) {
  for (int round = 0; round < 4; ++round) {
    std::unique_ptr<Database> first = GetParam().make();
    std::vector<std::unique_ptr<Database>> connections;
    connections.push_back(std::move(first));
    for (int i = 0; i < 5; ++i) connections.push_back(GetParam().again());
    std::atomic<int> ready{0};
    std::vector<std::string> failures(connections.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < connections.size(); ++i)
      threads.emplace_back([&, i] {
        ++ready;
        while (ready < static_cast<int>(connections.size())) std::this_thread::yield();
        try {
          Registry registry(std::move(connections[i]));
          registry.ListSites();
        } catch (const std::exception& e) {
          failures[i] = e.what();
        }
      });
    for (std::thread& t : threads) t.join();
    for (std::size_t i = 0; i < failures.size(); ++i) EXPECT_EQ(failures[i], "") << "round " << round << ", program " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, SchemaTest, ::testing::ValuesIn(Backends()),
                         [](const auto& info) { return info.param.name; });

// The SQLite file itself: what is refused is left byte for byte as it was.
TEST(SqliteRegistryFile, RefusesWhatIsNoRegistryAndLeavesItAsItWas) {
  ScratchDir dir;
  const std::string other = dir.File("other.db");
  {
    SqliteDatabase db(other, true);
    db.Execute("CREATE TABLE customers (name TEXT)");
    db.Execute("INSERT INTO customers VALUES ('x')");
  }
  const std::string newer = dir.File("newer.db");
  {
    Registry registry(std::make_unique<SqliteDatabase>(newer, true));
    registry.AddSite({.number = "0417"});
    registry.database().Execute("UPDATE registry SET value = '999' WHERE name = 'schema'");
  }
  const std::string text = dir.File("notes.txt");
  WriteBytes(text, std::string("Иванов, 0417\n") + std::string(5000, 'x'));
  const std::string osr = dir.File("0417.osr");
  WriteBytes(osr, std::string(2316, '\x5a'));

  struct Case {
    std::string path;
    RegistryFault fault;
  };
  for (const Case& c : std::vector<Case>{{other, RegistryFault::NotARegistry},
                                         {newer, RegistryFault::Newer},
                                         {text, RegistryFault::NotARegistry},
                                         {osr, RegistryFault::NotARegistry}}) {
    const std::string before = FileBytes(c.path);
    try {
      Registry::OpenSqlite(c.path, true);
      ADD_FAILURE() << c.path << ": opened";
    } catch (const RegistryError& e) {
      EXPECT_EQ(e.fault(), c.fault) << c.path << ": " << e.what();
    }
    EXPECT_EQ(FileBytes(c.path), before) << c.path;
    EXPECT_FALSE(std::filesystem::exists(c.path + "-wal")) << c.path;
  }
}

TEST(SqliteRegistryFile, ANewRegistryUsesTheWriteAheadLogAndAMissingOneIsNotMade) {
  ScratchDir dir;
  const std::string path = dir.File("sites.db");
  EXPECT_THROW(Registry::OpenSqlite(path, false), RegistryError);
  EXPECT_FALSE(std::filesystem::exists(path));
  std::unique_ptr<Registry> registry = Registry::OpenSqlite(path, true);
  std::unique_ptr<DbRows> rows = registry->database().Query("PRAGMA journal_mode");
  ASSERT_TRUE(rows->Next());
  EXPECT_EQ(rows->Text(0), "wal");
}

TEST(SqliteRegistryFile, ADamagedRegistryIsReportedAsDamaged) {
  ScratchDir dir;
  const std::string path = dir.File("sites.db");
  {
    std::unique_ptr<Registry> registry = Registry::OpenSqlite(path, true);
    for (int i = 0; i < 300; ++i) {
      const std::string number = std::to_string(1000 + i);
      registry->AddSite({.number = number, .customer = std::string(150, 'c')});
      registry->AddRevision(
          {.site = number, .image = TestImage({{"phone1.number", std::u16string(u"+7") +
                                                                     char16_t(u'0' + i % 10)}})});
    }
    registry->database().Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  }
  std::string bytes = FileBytes(path);
  ASSERT_GT(bytes.size(), 20000u);
  // Pages in the middle overwritten, the header left whole.
  for (std::size_t i = 8192; i < bytes.size() - 4096; i += 3) bytes[i] = '\x7f';
  WriteBytes(path, bytes);
  try {
    std::unique_ptr<Registry> registry = Registry::OpenSqlite(path, false);
    const std::vector<std::string> problems = registry->Check();
    EXPECT_FALSE(problems.empty());
  } catch (const RegistryError& e) {
    EXPECT_TRUE(e.fault() == RegistryFault::Damaged || e.fault() == RegistryFault::NotARegistry)
        << e.what();
  }
}

TEST(Placeholders, AreMappedOutsideQuotedTextOnly) {
  struct Case {
    const char* sql;
    const char* mapped;
  };
  for (const Case& c : std::vector<Case>{
           {"SELECT $1", "SELECT ?1"},
           {"a = $1 AND b = $12", "a = ?1 AND b = ?12"},
           {"'$1' || $2", "'$1' || ?2"},
           {"\"$1\" = $1", "\"$1\" = ?1"},
           {"'it''s $1' $3", "'it''s $1' ?3"},
           {"$$ $a $0", "$$ $a $0"},
       })
    EXPECT_EQ(MapPlaceholders(c.sql, "?"), c.mapped) << c.sql;
}

}  // namespace
