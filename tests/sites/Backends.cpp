#include "Backends.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#ifdef OSTREL_TEST_ON_POSTGRESQL
#include "sites/PostgresDatabase.h"
#endif
#include "sites/SqliteDatabase.h"

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-sites-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("no scratch folder");
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

BackendFactory Sqlite() {
  // Each store in a folder that lives as long as the test program.
  auto last = std::make_shared<std::string>();
  auto dirs = std::make_shared<std::vector<std::unique_ptr<ScratchDir>>>();
  BackendFactory b;
  b.name = "sqlite";
  b.make = [last, dirs] {
    dirs->push_back(std::make_unique<ScratchDir>());
    *last = dirs->back()->File("sites.db");
    return std::unique_ptr<Database>(std::make_unique<SqliteDatabase>(*last, true));
  };
  b.again = [last] { return std::unique_ptr<Database>(std::make_unique<SqliteDatabase>(*last, false)); };
  b.impatient = [](Database& db) { static_cast<SqliteDatabase&>(db).SetBusyTimeout(200); };
  return b;
}

#ifdef OSTREL_TEST_ON_POSTGRESQL
// A schema of its own for each store in the PostgreSQL cluster named by
// OSTREL_TEST_POSTGRESQL (scripts/test starts one); the schemas go with
// the cluster.
BackendFactory Postgresql(const std::string& url) {
  auto last = std::make_shared<std::string>();
  auto count = std::make_shared<int>(0);
  BackendFactory b;
  b.name = "postgresql";
  b.make = [url, last, count] {
    const std::string schema = "sites_test_" + std::to_string(getpid()) + "_" + std::to_string(++*count);
    PostgresDatabase admin(url);
    admin.Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    admin.Execute("CREATE SCHEMA " + schema);
    *last = url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-c%20search_path%3D" + schema;
    return std::unique_ptr<Database>(std::make_unique<PostgresDatabase>(*last));
  };
  b.again = [last] { return std::unique_ptr<Database>(std::make_unique<PostgresDatabase>(*last)); };
  b.impatient = [](Database& db) { db.Execute("SET lock_timeout = '200ms'"); };
  return b;
}
#endif

}  // namespace

const std::vector<BackendFactory>& Backends() {
  static const std::vector<BackendFactory> backends = [] {
    std::vector<BackendFactory> list{Sqlite()};
#ifdef OSTREL_TEST_ON_POSTGRESQL
    if (const char* url = std::getenv("OSTREL_TEST_POSTGRESQL"); url && *url) list.push_back(Postgresql(url));
#endif
    return list;
  }();
  return backends;
}
