#include "sites/SqliteDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <map>

std::string MapPlaceholders(std::string_view sql, std::string_view prefix) {
  std::string out;
  out.reserve(sql.size() + 8);
  char quote = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      out += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      out += c;
    } else if (c == '$' && i + 1 < sql.size() && sql[i + 1] >= '1' && sql[i + 1] <= '9') {
      out += prefix;
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

// Makes the file `path` empty and readable by its owner alone, unless it
// exists: the registry holds the alarms' passwords. SQLite gives its
// write-ahead log and index files the same permissions.
void CreatePrivate(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

DbFault FaultOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DbFault::Busy;
    case SQLITE_READONLY:
      return DbFault::ReadOnly;
    case SQLITE_FULL:
      return DbFault::Full;
    case SQLITE_CORRUPT:
      return DbFault::Corrupt;
    case SQLITE_NOTADB:
      return DbFault::NotADatabase;
    case SQLITE_CONSTRAINT:
      return DbFault::Constraint;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return DbFault::CannotOpen;
    default:
      return DbFault::Other;
  }
}

}  // namespace

struct SqliteDatabase::Statement {
  sqlite3_stmt* stmt = nullptr;
  bool inUse = false;
};

// Prepared statements kept by their SQL text: a registry runs the same few
// statements again and again.
struct SqliteDatabase::Cache {
  std::multimap<std::string, Statement, std::less<>> statements;
};

class SqliteRows : public DbRows {
 public:
  SqliteRows(const SqliteDatabase& db, SqliteDatabase::Statement& s) : db_(db), s_(s) {}
  ~SqliteRows() override {
    sqlite3_reset(s_.stmt);
    sqlite3_clear_bindings(s_.stmt);
    s_.inUse = false;
  }
  // The first step is taken at once, so that a statement without rows
  // has run when Query returns.
  void Start() { Step(); }
  bool Next() override {
    if (first_) {
      first_ = false;
      return row_;
    }
    if (row_) Step();
    return row_;
  }
  bool IsNull(int column) const override {
    return sqlite3_column_type(s_.stmt, column) == SQLITE_NULL;
  }
  std::int64_t Int(int column) const override { return sqlite3_column_int64(s_.stmt, column); }
  std::string Text(int column) const override {
    const unsigned char* text = sqlite3_column_text(s_.stmt, column);
    const int size = sqlite3_column_bytes(s_.stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
  }
  Blob Bytes(int column) const override {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(s_.stmt, column));
    const int size = sqlite3_column_bytes(s_.stmt, column);
    return data ? Blob(data, data + size) : Blob();
  }

 private:
  void Step() {
    const int rc = sqlite3_step(s_.stmt);
    if (rc == SQLITE_ROW) {
      row_ = true;
    } else if (rc == SQLITE_DONE) {
      row_ = false;
    } else {
      row_ = false;
      db_.Fail(sqlite3_extended_errcode(sqlite3_db_handle(s_.stmt)), "");
    }
  }

  const SqliteDatabase& db_;
  SqliteDatabase::Statement& s_;
  bool first_ = true;
  bool row_ = false;
};

SqliteDatabase::SqliteDatabase(const std::string& path, bool create)
    : path_(path), cache_(std::make_unique<Cache>()) {
  if (path.find('\0') != std::string::npos)
    throw DbError(DbFault::CannotOpen, "the file name holds a NUL character");
  if (create) CreatePrivate(path);
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    const DbFault fault = FaultOf(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError(fault, message);
  }
  sqlite3_extended_result_codes(db_, 1);
  SetBusyTimeout(10000);
  try {
    // Per connection, nothing written: keys checked, every commit synced.
    Execute("PRAGMA foreign_keys = ON");
    Execute("PRAGMA synchronous = FULL");
    // Pages read straight from the file's mapping instead of copied: a
    // search reads every head's image.
    Execute("PRAGMA mmap_size = 268435456");
  } catch (...) {
    // No destructor runs for an object whose constructor throws.
    Close();
    throw;
  }
}

SqliteDatabase::~SqliteDatabase() { Close(); }

void SqliteDatabase::Close() noexcept {
  for (auto& [sql, s] : cache_->statements) sqlite3_finalize(s.stmt);
  cache_->statements.clear();
  sqlite3_close(db_);
  db_ = nullptr;
}

void SqliteDatabase::Fail(int code, std::string_view what) const {
  std::string message = sqlite3_errmsg(db_);
  if (message.empty() || (code & 0xff) != (sqlite3_extended_errcode(db_) & 0xff))
    message = sqlite3_errstr(code);
  if (!what.empty()) message = std::string(what) + ": " + message;
  DbFault fault = FaultOf(code);
  // An I/O error that the system's error tells more about.
  if ((code & 0xff) == SQLITE_IOERR || (code & 0xff) == SQLITE_CANTOPEN) {
    const int error = sqlite3_system_errno(db_);
    if (error == ENOSPC || error == EFBIG || error == EDQUOT) fault = DbFault::Full;
    if (error == EROFS || error == EACCES || error == EPERM) fault = DbFault::ReadOnly;
  }
  throw DbError(fault, message);
}

void SqliteDatabase::SetBusyTimeout(int ms) {
  busy_timeout_ms_ = ms;
  sqlite3_busy_timeout(db_, ms);
}

SqliteDatabase::Statement* SqliteDatabase::Prepare(std::string_view sql) {
  auto [begin, end] = cache_->statements.equal_range(sql);
  for (auto it = begin; it != end; ++it)
    if (!it->second.inUse) return &it->second;
  const std::string mapped = MapPlaceholders(sql, "?");
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v3(db_, mapped.c_str(), static_cast<int>(mapped.size() + 1),
                                    SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(rc, "");
  if (!stmt) throw DbError(DbFault::Other, "an empty statement");
  auto it = cache_->statements.emplace(std::string(sql), Statement{stmt, false});
  return &it->second;
}

std::unique_ptr<DbRows> SqliteDatabase::Query(std::string_view sql,
                                              const std::vector<DbValue>& params) {
  Statement* s = Prepare(sql);
  if (static_cast<int>(params.size()) != sqlite3_bind_parameter_count(s->stmt))
    throw DbError(DbFault::Other, "the statement takes " +
                                      std::to_string(sqlite3_bind_parameter_count(s->stmt)) +
                                      " parameters, not " + std::to_string(params.size()));
  s->inUse = true;
  auto rows = std::make_unique<SqliteRows>(*this, *s);
  for (std::size_t i = 0; i < params.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    int rc = SQLITE_OK;
    if (const auto* v = std::get_if<std::int64_t>(&params[i])) {
      rc = sqlite3_bind_int64(s->stmt, n, *v);
    } else if (const auto* t = std::get_if<std::string>(&params[i])) {
      rc = sqlite3_bind_text64(s->stmt, n, t->data(), t->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else if (const auto* b = std::get_if<Blob>(&params[i])) {
      // A blob of no bytes is still a blob, not NULL.
      rc = b->empty() ? sqlite3_bind_zeroblob(s->stmt, n, 0)
                      : sqlite3_bind_blob64(s->stmt, n, b->data(), b->size(), SQLITE_TRANSIENT);
    } else {
      rc = sqlite3_bind_null(s->stmt, n);
    }
    if (rc != SQLITE_OK) Fail(rc, "");
  }
  rows->Start();
  return rows;
}

std::int64_t SqliteDatabase::Changes() const { return sqlite3_changes64(db_); }

void SqliteDatabase::Begin(bool write) {
  // IMMEDIATE takes the write lock at the start, waiting for it under the
  // busy time-out; a deferred transaction that tried to write later could
  // only fail.
  Execute(write ? "BEGIN IMMEDIATE" : "BEGIN");
}

void SqliteDatabase::Commit() { Execute("COMMIT"); }

void SqliteDatabase::Rollback() noexcept {
  if (sqlite3_get_autocommit(db_)) return;
  // A statement still stepping would keep the transaction open.
  for (auto& [sql, s] : cache_->statements)
    if (s.inUse) sqlite3_reset(s.stmt);
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteDatabase::InTransaction() const { return !sqlite3_get_autocommit(db_); }

std::vector<std::string> SqliteDatabase::IntegrityCheck() {
  std::vector<std::string> problems;
  std::unique_ptr<DbRows> rows = Query("PRAGMA integrity_check", {});
  while (rows->Next()) {
    std::string line = rows->Text(0);
    if (line != "ok") problems.push_back(std::move(line));
  }
  rows.reset();
  rows = Query("PRAGMA foreign_key_check", {});
  while (rows->Next())
    problems.push_back("a row of " + rows->Text(0) + " refers to a missing row of " +
                       rows->Text(2));
  return problems;
}

void SqliteDatabase::BackupTo(const std::string& path) {
  if (path.find('\0') != std::string::npos)
    throw DbError(DbFault::CannotOpen, "the file name holds a NUL character");
  CreatePrivate(path);
  sqlite3* target = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &target,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXRESCODE,
                           nullptr);
  auto fail = [&](int code) {
    const std::string message = target ? sqlite3_errmsg(target) : sqlite3_errstr(code);
    sqlite3_close(target);
    throw DbError(FaultOf(code), message);
  };
  if (rc != SQLITE_OK) fail(rc);
  sqlite3_busy_timeout(target, 10000);
  sqlite3_backup* backup = sqlite3_backup_init(target, "main", db_, "main");
  if (!backup) fail(sqlite3_extended_errcode(target));
  // Page by page, giving the lock back between the steps, so that the
  // others using the registry are held up only briefly; a change made
  // meanwhile starts the copy again, and it ends consistent.
  do {
    rc = sqlite3_backup_step(backup, 256);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(10);
  } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) fail(rc);
  rc = sqlite3_close(target);
  if (rc != SQLITE_OK) throw DbError(FaultOf(rc), sqlite3_errstr(rc));
}

std::vector<std::string> SqliteDatabase::Tables() {
  std::vector<std::string> names;
  std::unique_ptr<DbRows> rows =
      Query("SELECT name FROM sqlite_schema WHERE type = 'table' ORDER BY name", {});
  while (rows->Next()) names.push_back(rows->Text(0));
  return names;
}

void SqliteDatabase::PrepareForSharing() {
  // The switch to the write-ahead log needs the file to itself, and SQLite
  // answers "busy" at once, without its busy handler, while another
  // program has it open (two programs opening a new registry at the same
  // moment): tried again, as the busy time-out would wait, until one of
  // them has switched it.
  for (int waited_ms = 0;; waited_ms += 10) {
    try {
      {
        std::unique_ptr<DbRows> rows = Query("PRAGMA journal_mode", {});
        if (rows->Next() && rows->Text(0) == "wal") return;
      }
      std::unique_ptr<DbRows> rows = Query("PRAGMA journal_mode = WAL", {});
      if (!rows->Next() || rows->Text(0) != "wal")
        throw DbError(DbFault::Other, "the registry cannot use a write-ahead log here");
      return;
    } catch (const DbError& e) {
      if (e.fault() != DbFault::Busy || waited_ms >= busy_timeout_ms_) throw;
    }
    sqlite3_sleep(10);
  }
}
