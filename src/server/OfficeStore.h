// The office's store: the sites registry and the office's own tables in
// one database (SQLite file or PostgreSQL), and the pool of connections
// the server's workers share.
#pragma once

#include <memory>
#include <string>

#include "server/DbPool.h"

namespace office {

// True for postgresql://... and postgres://...
bool IsDatabaseUrl(const std::string& where);

class OfficeStore {
 public:
  // `where`: an SQLite file (made when missing) or a PostgreSQL URL. Opens
  // one connection at once, migrating the registry and then the office's
  // tables; throws RegistryError or DbError with the reason.
  explicit OfficeStore(const std::string& where, std::size_t connections = 32);

  DbPool& Pool() { return *pool_; }
  const std::string& Backend() const { return backend_; }
  bool IsSqlite() const { return sqlite_; }

 private:
  std::unique_ptr<DbPool> pool_;
  std::string backend_;
  bool sqlite_ = false;
};

}  // namespace office
