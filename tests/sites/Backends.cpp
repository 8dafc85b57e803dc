#include "Backends.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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
  return b;
}

}  // namespace

const std::vector<BackendFactory>& Backends() {
  static const std::vector<BackendFactory> backends{Sqlite()};
  return backends;
}
