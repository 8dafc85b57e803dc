#include "server/OfficeStore.h"

#include "server/Office.h"
#include "sites/PostgresDatabase.h"

namespace office {

bool IsDatabaseUrl(const std::string& where) { return PostgresDatabase::IsUrl(where); }

OfficeStore::OfficeStore(const std::string& where, std::size_t connections) {
  DbPool::Factory factory;
  if (IsDatabaseUrl(where)) {
    backend_ = "PostgreSQL";
    factory = [where] { return std::make_unique<Registry>(std::make_unique<PostgresDatabase>(where)); };
  } else {
    backend_ = "SQLite " + where;
    sqlite_ = true;
    factory = [where] { return Registry::OpenSqlite(where, true); };
  }
  std::unique_ptr<Registry> first = factory();
  Office::Migrate(first->database());
  pool_ = std::make_unique<DbPool>(std::move(factory), connections);
  ++pool_->open_;
  pool_->Return(std::move(first), false);
}

}  // namespace office
