// The small database interface under the sites registry: open, run one
// statement with bound parameters, step through its rows, transactions,
// the backend's name. The registry's SQL is written once, with numbered
// placeholders $1, $2, ... that each backend maps to its own form; values
// are only ever bound, never written into the SQL text.
//
// A Database belongs to one thread at a time; several processes (or
// several Database objects) may share one store.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "config/FaultError.h"

using Blob = std::vector<std::uint8_t>;

// A parameter or a column: NULL, an integer, a text (UTF-8) or bytes.
using DbValue = std::variant<std::monostate, std::int64_t, std::string, Blob>;

// What went wrong, as far as the caller can act on it.
enum class DbFault {
  Other,
  Busy,         // another process held the store for longer than the time-out
  ReadOnly,     // the store (or its disk) cannot be written
  Full,         // the disk is full
  Corrupt,      // the store is damaged
  NotADatabase, // the file is no database of this backend
  Constraint,   // a key, check or trigger refused the change
  CannotOpen,   // no such file or folder, no permission
  Unavailable,  // the server is not reachable (a backend with a server)
};

class DbError : public FaultError<DbFault> {
 public:
  using FaultError::FaultError;
};

// The rows of one statement, stepped through once. Columns are numbered
// from 0; a column read as the wrong type is converted as the backend does
// (NULL reads as 0, "" or no bytes).
class DbRows {
 public:
  virtual ~DbRows() = default;
  // Moves to the next row; false after the last one (and for a statement
  // that gives no rows, after it has run).
  virtual bool Next() = 0;
  virtual bool IsNull(int column) const = 0;
  virtual std::int64_t Int(int column) const = 0;
  virtual std::string Text(int column) const = 0;
  virtual Blob Bytes(int column) const = 0;
};

class Database {
 public:
  virtual ~Database() = default;

  // "sqlite" or "postgresql".
  virtual std::string_view Backend() const = 0;

  // Prepares `sql` (one statement, placeholders $1..$n), binds `params`
  // to them in order and starts it; the statement has run to its end (or
  // its first row) when this returns. Throws DbError.
  virtual std::unique_ptr<DbRows> Query(std::string_view sql,
                                        const std::vector<DbValue>& params = {}) = 0;
  // Runs one statement to its end; the number of rows it changed.
  std::int64_t Execute(std::string_view sql, const std::vector<DbValue>& params = {}) {
    std::unique_ptr<DbRows> rows = Query(sql, params);
    while (rows->Next()) {
    }
    return Changes();
  }
  virtual std::int64_t Changes() const = 0;

  // A transaction. `write`: it will change the store, so the backend takes
  // its write lock at the start (two writers then wait for each other
  // instead of failing half-way). Nested transactions are not supported.
  virtual void Begin(bool write) = 0;
  // A write transaction that needs to exclude only the other writers of
  // `key` (one site's history, say) and those of Begin(true); writers of
  // other keys go on beside it. A backend whose writers exclude each other
  // anyway (SQLite) begins an ordinary write transaction.
  virtual void BeginFor(std::string_view key) {
    (void)key;
    Begin(true);
  }
  virtual void Commit() = 0;
  virtual void Rollback() noexcept = 0;
  virtual bool InTransaction() const = 0;

  // The names of the tables in the store (the registry's schema, or
  // another program's).
  virtual std::vector<std::string> Tables() = 0;
  // Readies a store that is (or is about to become) a registry for
  // sharing, where the backend needs that written once (SQLite's
  // write-ahead log). Never called for a store that is not a registry.
  virtual void PrepareForSharing() {}

  // What the backend's own check of the store finds wrong; empty when
  // nothing. A backend that has no such check finds nothing.
  virtual std::vector<std::string> IntegrityCheck() { return {}; }
  // A consistent copy of the whole store in the file `path`, made while
  // others go on using it. Throws DbError where the backend cannot.
  virtual void BackupTo(const std::string& path) {
    (void)path;
    throw DbError(DbFault::Other, "this database makes its copies with its own tools");
  }
};

// A transaction that rolls back unless committed. Begun inside another
// one, it is part of that one: it neither begins, commits nor rolls back,
// and the outer transaction decides (so that a caller can put several of
// the registry's changes into one commit).
class DbTransaction {
 public:
  DbTransaction(Database& db, bool write) : db_(db), owner_(!db.InTransaction()) {
    if (owner_) db_.Begin(write);
  }
  // A write transaction for `key` (Database::BeginFor).
  DbTransaction(Database& db, std::string_view key) : db_(db), owner_(!db.InTransaction()) {
    if (owner_) db_.BeginFor(key);
  }
  ~DbTransaction() {
    if (owner_ && !done_) db_.Rollback();
  }
  DbTransaction(const DbTransaction&) = delete;
  DbTransaction& operator=(const DbTransaction&) = delete;
  void Commit() {
    if (owner_) db_.Commit();
    done_ = true;
  }

 private:
  Database& db_;
  bool owner_;
  bool done_ = false;
};

// `sql` with each placeholder $n (outside quoted text) written as
// `prefix` n, e.g. "?1" for SQLite; the text between quotes is kept as it is.
std::string MapPlaceholders(std::string_view sql, std::string_view prefix);
