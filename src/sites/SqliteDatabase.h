// The database interface on SQLite: one file, shared by several processes
// (WAL, a busy time-out, foreign keys on, every commit synced to the disk).
#pragma once
#include <memory>
#include <string>

#include "sites/Database.h"

struct sqlite3;

class SqliteDatabase : public Database {
 public:
  // Opens the file `path` (UTF-8), made when `create` and it does not
  // exist. Nothing is written to the file here. Throws DbError.
  SqliteDatabase(const std::string& path, bool create);
  ~SqliteDatabase() override;

  std::string_view Backend() const override { return "sqlite"; }
  std::unique_ptr<DbRows> Query(std::string_view sql, const std::vector<DbValue>& params) override;
  std::int64_t Changes() const override;
  void Begin(bool write) override;
  void Commit() override;
  void Rollback() noexcept override;
  bool InTransaction() const override;
  std::vector<std::string> IntegrityCheck() override;
  void BackupTo(const std::string& path) override;
  std::vector<std::string> Tables() override;
  // Puts the file into WAL mode, once: several readers beside one writer,
  // and a process killed in a commit leaves the last committed state.
  void PrepareForSharing() override;
  // How long a statement waits for another process's lock.
  void SetBusyTimeout(int ms);

 private:
  struct Statement;
  void Close() noexcept;
  [[noreturn]] void Fail(int code, std::string_view what) const;
  Statement* Prepare(std::string_view sql);

  sqlite3* db_ = nullptr;
  std::string path_;
  int busy_timeout_ms_ = 0;
  struct Cache;
  std::unique_ptr<Cache> cache_;
  friend class SqliteRows;
};
