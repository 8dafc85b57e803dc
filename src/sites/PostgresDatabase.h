// The database interface on PostgreSQL (libpq): the registry on a database
// server, for a company that outgrows one machine. Every value is bound as
// a parameter. A write transaction takes one lock for the whole registry,
// as SQLite's writer does, so the registry's read-then-write steps behave
// the same on both; a transaction begun for a key (one site's history)
// shares that lock with the others of its kind and takes the key's alone,
// so that the revisions of different sites are recorded side by side.
#pragma once
#include <memory>
#include <string>
#include <unordered_map>

#include "sites/Database.h"

struct pg_conn;

class PostgresDatabase : public Database {
 public:
  // Connects to `url` ("postgresql://user@host/db", "postgresql:///db?host=/run/..",
  // or libpq's "key=value" form). Throws DbError(Unavailable) when the
  // server cannot be reached, with libpq's reason (never the password).
  explicit PostgresDatabase(const std::string& url);
  ~PostgresDatabase() override;

  std::string_view Backend() const override { return "postgresql"; }
  std::unique_ptr<DbRows> Query(std::string_view sql, const std::vector<DbValue>& params) override;
  std::int64_t Changes() const override { return changes_; }
  void Begin(bool write) override;
  void BeginFor(std::string_view key) override;
  void Commit() override;
  void Rollback() noexcept override;
  bool InTransaction() const override;
  std::vector<std::string> Tables() override;

  // True when `url` names a PostgreSQL database rather than a file.
  static bool IsUrl(const std::string& url);

 private:
  [[noreturn]] void Fail(const char* sqlstate, std::string_view what) const;
  // Runs `sql`, statements without parameters, in one round trip.
  void Script(const std::string& sql);
  // The name under which the connection keeps `sql` prepared, preparing it
  // the first time; empty for a statement that is run once (not a query
  // or change of rows).
  std::string Prepared(const std::string& sql, int params);

  pg_conn* conn_ = nullptr;
  // The statements prepared on this connection, by their SQL.
  std::unordered_map<std::string, std::string> prepared_;
  std::int64_t changes_ = 0;
};
