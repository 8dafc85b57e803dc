#include "sites/Schema.h"

#include <algorithm>
#include <string>

#include "sites/Registry.h"

namespace {

// Version 1: sites, images kept once by their hash, revisions that are
// never changed or deleted.
const Migration kVersion1{
    1,
    {
        {"", "CREATE TABLE registry (name TEXT PRIMARY KEY, value TEXT NOT NULL)"},
        {"",
         "CREATE TABLE sites ("
         " number TEXT PRIMARY KEY,"
         " customer TEXT NOT NULL DEFAULT '',"
         " address TEXT NOT NULL DEFAULT '',"
         " sim TEXT NOT NULL DEFAULT '',"
         " phone TEXT NOT NULL DEFAULT '',"
         " notes TEXT NOT NULL DEFAULT '',"
         " added TEXT NOT NULL,"
         " archived INTEGER NOT NULL DEFAULT 0 CHECK (archived IN (0, 1)))"},
        // The image deflated (zlib); `hash` is the SHA-256 of its bytes.
        {"", "CREATE TABLE images (hash TEXT PRIMARY KEY, bytes {bytes} NOT NULL)"},
        // `seq` keeps the order in which revisions were added.
        {"",
         "CREATE TABLE revisions ("
         " seq {counter},"
         " id TEXT NOT NULL UNIQUE,"
         " site TEXT NOT NULL REFERENCES sites (number),"
         " parent TEXT REFERENCES revisions (id),"
         " image TEXT NOT NULL REFERENCES images (hash),"
         " before_image TEXT REFERENCES images (hash),"
         " at TEXT NOT NULL,"
         " author TEXT NOT NULL,"
         " source TEXT NOT NULL CHECK (source IN ('read', 'write', 'file', 'edit', 'import')),"
         " comment TEXT NOT NULL,"
         " changed INTEGER,"
         " changed_keys TEXT NOT NULL)"},
        {"", "CREATE INDEX revisions_by_site ON revisions (site, seq)"},
        {"", "CREATE INDEX revisions_by_parent ON revisions (parent)"},
        // The history is append-only, whoever writes to the store.
        {"sqlite",
         "CREATE TRIGGER revisions_never_changed BEFORE UPDATE ON revisions "
         "BEGIN SELECT RAISE(ABORT, 'revisions are never changed'); END"},
        {"sqlite",
         "CREATE TRIGGER revisions_never_deleted BEFORE DELETE ON revisions "
         "BEGIN SELECT RAISE(ABORT, 'revisions are never deleted'); END"},
        {"sqlite",
         "CREATE TRIGGER images_never_changed BEFORE UPDATE ON images "
         "BEGIN SELECT RAISE(ABORT, 'images are never changed'); END"},
        {"sqlite",
         "CREATE TRIGGER images_never_deleted BEFORE DELETE ON images "
         "BEGIN SELECT RAISE(ABORT, 'images are never deleted'); END"},
        {"postgresql",
         "CREATE FUNCTION ostrel_append_only() RETURNS trigger LANGUAGE plpgsql AS "
         "'BEGIN RAISE EXCEPTION ''% are never changed or deleted'', TG_TABLE_NAME; END'"},
        {"postgresql",
         "CREATE TRIGGER revisions_append_only BEFORE UPDATE OR DELETE ON revisions "
         "FOR EACH ROW EXECUTE FUNCTION ostrel_append_only()"},
        {"postgresql",
         "CREATE TRIGGER images_append_only BEFORE UPDATE OR DELETE ON images "
         "FOR EACH ROW EXECUTE FUNCTION ostrel_append_only()"},
        {"",
         "INSERT INTO registry (name, value) VALUES ('format', 'ostrel sites registry')"},
        {"", "INSERT INTO registry (name, value) VALUES ('schema', '0')"},
    }};

// The types that the backends name differently, as the statements write
// them: {bytes} a blob, {counter} a key that counts up as rows are added.
struct Dialect {
  std::string_view backend, bytes, counter;
};
constexpr Dialect kDialects[] = {
    {"sqlite", "BLOB", "INTEGER PRIMARY KEY AUTOINCREMENT"},
    {"postgresql", "BYTEA", "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY"},
};

std::string InDialect(std::string_view sql, std::string_view backend) {
  std::string out(sql);
  for (const Dialect& d : kDialects) {
    if (d.backend != backend) continue;
    for (const auto& [token, type] : {std::pair{std::string_view("{bytes}"), d.bytes},
                                      std::pair{std::string_view("{counter}"), d.counter}})
      for (std::size_t at; (at = out.find(token)) != std::string::npos;)
        out.replace(at, token.size(), type);
  }
  return out;
}

}  // namespace

const std::vector<Migration>& Migrations() {
  static const std::vector<Migration> migrations{kVersion1};
  return migrations;
}

int CurrentSchemaVersion() { return Migrations().back().version; }
int RegistrySchemaVersion() { return CurrentSchemaVersion(); }

int StoreSchemaVersion(Database& db) {
  const std::vector<std::string> tables = db.Tables();
  if (tables.empty()) return 0;
  const auto notRegistry = [] {
    return RegistryError(RegistryFault::NotARegistry,
                         "it holds the tables of another program, not a sites registry");
  };
  if (std::find(tables.begin(), tables.end(), "registry") == tables.end()) throw notRegistry();
  std::string format, schema;
  try {
    std::unique_ptr<DbRows> rows = db.Query("SELECT name, value FROM registry");
    while (rows->Next()) {
      const std::string name = rows->Text(0);
      if (name == "format") format = rows->Text(1);
      if (name == "schema") schema = rows->Text(1);
    }
  } catch (const DbError& e) {
    if (e.fault() == DbFault::Other) throw notRegistry();
    throw;
  }
  if (format != kRegistryFormat) throw notRegistry();
  int version = 0;
  for (char c : schema) {
    if (c < '0' || c > '9' || version > 100000) throw notRegistry();
    version = version * 10 + (c - '0');
  }
  if (schema.empty()) throw notRegistry();
  return version;
}

void MigrateTo(Database& db, int target) {
  const int from = StoreSchemaVersion(db);
  for (const Migration& m : Migrations()) {
    if (m.version <= from || m.version > target) continue;
    for (const SchemaStep& step : m.steps)
      if (step.backend.empty() || step.backend == db.Backend())
        db.Execute(InDialect(step.sql, db.Backend()));
    db.Execute("UPDATE registry SET value = $1 WHERE name = 'schema'",
               {std::to_string(m.version)});
  }
}
