#include "sites/PostgresDatabase.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>

namespace {

// The key of the lock a write transaction takes: any number, the same in
// every program that writes the registry. A transaction for a key shares
// it (so that a whole-registry writer, a migration say, still waits for
// every other writer) and takes the lock of its key in the space of two
// 32-bit numbers, which PostgreSQL keeps apart from the 64-bit one.
constexpr char kWriteLock[] = "BEGIN; SELECT pg_advisory_xact_lock(79417)";
constexpr char kKeyLock[] = "BEGIN; SELECT pg_advisory_xact_lock_shared(79417), pg_advisory_xact_lock(79417, ";

// The statements kept prepared on a connection: the registry's queries
// and changes of rows, run again and again (parsed and planned once per
// connection); at most this many of them.
constexpr std::size_t kMostPrepared = 256;

bool Repeated(const std::string& sql) {
  for (const char* verb : {"SELECT ", "INSERT ", "UPDATE ", "DELETE ", "WITH "})
    if (sql.rfind(verb, 0) == 0) return true;
  return false;
}

// FNV-1a of the key, folded to 32 bits: two keys of one number only wait
// for each other.
std::int64_t KeyNumber(std::string_view key) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : key) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(h ^ (h >> 32)));
}

DbFault FaultOf(const char* sqlstate) {
  if (!sqlstate) return DbFault::Unavailable;  // no answer: the connection is gone
  const std::string s(sqlstate);
  const std::string cls = s.substr(0, 2);
  if (cls == "08" || s == "57P01" || s == "57P02" || s == "57P03") return DbFault::Unavailable;
  if (cls == "23" || s == "P0001") return DbFault::Constraint;
  if (s == "40001" || s == "40P01" || s == "55P03") return DbFault::Busy;
  if (s == "53100") return DbFault::Full;
  if (s == "25006") return DbFault::ReadOnly;
  if (s == "XX001" || s == "XX002") return DbFault::Corrupt;
  if (s == "28000" || s == "28P01" || s == "3D000" || s == "42501") return DbFault::CannotOpen;
  return DbFault::Other;
}

std::string OneLine(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  for (char& c : s)
    if (c == '\n') c = ' ';
  return s;
}

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

class PostgresRows : public DbRows {
 public:
  explicit PostgresRows(Result result) : result_(std::move(result)), count_(PQntuples(result_.get())) {}
  bool Next() override { return ++row_ < count_; }
  bool IsNull(int column) const override { return PQgetisnull(result_.get(), row_, column) != 0; }
  std::int64_t Int(int column) const override {
    const char* v = PQgetvalue(result_.get(), row_, column);
    if (!v || !*v) return 0;
    if (v[0] == 't' && v[1] == '\0') return 1;  // a boolean
    if (v[0] == 'f' && v[1] == '\0') return 0;
    return std::strtoll(v, nullptr, 10);
  }
  std::string Text(int column) const override {
    const char* v = PQgetvalue(result_.get(), row_, column);
    return std::string(v, static_cast<std::size_t>(PQgetlength(result_.get(), row_, column)));
  }
  Blob Bytes(int column) const override {
    const char* v = PQgetvalue(result_.get(), row_, column);
    if (PQftype(result_.get(), column) != 17 /* bytea */)
      return Blob(v, v + PQgetlength(result_.get(), row_, column));
    std::size_t size = 0;
    unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(v), &size);
    if (!bytes) throw DbError(DbFault::Other, "out of memory reading bytes from PostgreSQL");
    Blob blob(bytes, bytes + size);
    PQfreemem(bytes);
    return blob;
  }

 private:
  Result result_;
  int count_;
  int row_ = -1;
};

}  // namespace

bool PostgresDatabase::IsUrl(const std::string& url) {
  return url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0;
}

PostgresDatabase::PostgresDatabase(const std::string& url) {
  conn_ = PQconnectdb(url.c_str());
  if (!conn_) throw DbError(DbFault::Unavailable, "out of memory connecting to PostgreSQL");
  if (PQstatus(conn_) != CONNECTION_OK) {
    const std::string why = OneLine(PQerrorMessage(conn_));
    PQfinish(conn_);
    conn_ = nullptr;
    throw DbError(DbFault::Unavailable, "cannot connect to PostgreSQL: " + why);
  }
  // Quiet: the NOTICEs of "IF NOT EXISTS" are no concern of the user's.
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
  Result r(PQexec(conn_, "SET client_encoding = 'UTF8'"), PQclear);
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) Fail(PQresultErrorField(r.get(), PG_DIAG_SQLSTATE), "SET");
}

PostgresDatabase::~PostgresDatabase() {
  if (conn_) PQfinish(conn_);
}

void PostgresDatabase::Fail(const char* sqlstate, std::string_view what) const {
  std::string message = OneLine(PQerrorMessage(conn_));
  if (PQstatus(conn_) != CONNECTION_OK) {
    throw DbError(DbFault::Unavailable, "the connection to PostgreSQL was lost: " + message);
  }
  (void)what;
  throw DbError(FaultOf(sqlstate), message.empty() ? "PostgreSQL refused the statement" : message);
}

std::unique_ptr<DbRows> PostgresDatabase::Query(std::string_view sql, const std::vector<DbValue>& params) {
  std::vector<std::string> texts(params.size());
  std::vector<const char*> values(params.size(), nullptr);
  std::vector<int> lengths(params.size(), 0), formats(params.size(), 0);
  for (std::size_t i = 0; i < params.size(); ++i) {
    const DbValue& p = params[i];
    if (const auto* n = std::get_if<std::int64_t>(&p)) {
      texts[i] = std::to_string(*n);
      values[i] = texts[i].c_str();
    } else if (const auto* t = std::get_if<std::string>(&p)) {
      values[i] = t->c_str();
      lengths[i] = static_cast<int>(t->size());
    } else if (const auto* b = std::get_if<Blob>(&p)) {
      static const char kEmpty = 0;
      values[i] = b->empty() ? &kEmpty : reinterpret_cast<const char*>(b->data());
      lengths[i] = static_cast<int>(b->size());
      formats[i] = 1;  // sent as bytes, for a BYTEA column
    }
  }
  const std::string text(sql);
  const std::string name = Prepared(text, static_cast<int>(params.size()));
  Result result(name.empty() ? PQexecParams(conn_, text.c_str(), static_cast<int>(params.size()), nullptr,
                                            values.data(), lengths.data(), formats.data(), 0)
                             : PQexecPrepared(conn_, name.c_str(), static_cast<int>(params.size()),
                                              values.data(), lengths.data(), formats.data(), 0),
                PQclear);
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
    Fail(result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr, text);
  const char* tuples = PQcmdTuples(result.get());
  changes_ = tuples && *tuples ? std::strtoll(tuples, nullptr, 10) : 0;
  return std::make_unique<PostgresRows>(std::move(result));
}

std::string PostgresDatabase::Prepared(const std::string& sql, int params) {
  const auto it = prepared_.find(sql);
  if (it != prepared_.end()) return it->second;
  if (!Repeated(sql) || prepared_.size() >= kMostPrepared) return "";
  const std::string name = "ostrel_" + std::to_string(prepared_.size() + 1);
  Result result(PQprepare(conn_, name.c_str(), sql.c_str(), params, nullptr), PQclear);
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
    Fail(result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr, sql);
  prepared_.emplace(sql, name);
  return name;
}

void PostgresDatabase::Script(const std::string& sql) {
  Result result(PQexec(conn_, sql.c_str()), PQclear);
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
    const std::string sqlstate = result && PQresultErrorField(result.get(), PG_DIAG_SQLSTATE)
                                     ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE)
                                     : "";
    // The transaction begun is given up with the statement that failed.
    const std::string message = OneLine(PQerrorMessage(conn_));
    Rollback();
    if (PQstatus(conn_) != CONNECTION_OK || sqlstate.empty())
      throw DbError(DbFault::Unavailable, "the connection to PostgreSQL was lost: " + message);
    throw DbError(FaultOf(sqlstate.c_str()), message.empty() ? "PostgreSQL refused the statement" : message);
  }
  changes_ = 0;
}

// The transaction and its lock in one round trip.
void PostgresDatabase::Begin(bool write) {
  Script(write ? kWriteLock : "BEGIN");
}

void PostgresDatabase::BeginFor(std::string_view key) {
  // The key's number is the program's own, not a value given.
  Script(kKeyLock + std::to_string(KeyNumber(key)) + ")");
}

void PostgresDatabase::Commit() { Execute("COMMIT"); }

void PostgresDatabase::Rollback() noexcept {
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return;
  PGresult* r = PQexec(conn_, "ROLLBACK");
  PQclear(r);
}

bool PostgresDatabase::InTransaction() const {
  const PGTransactionStatusType s = PQtransactionStatus(conn_);
  return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

std::vector<std::string> PostgresDatabase::Tables() {
  std::vector<std::string> names;
  std::unique_ptr<DbRows> rows = Query(
      "SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()"
      " AND table_type = 'BASE TABLE' ORDER BY table_name",
      {});
  while (rows->Next()) names.push_back(rows->Text(0));
  return names;
}
