// The registry's schema: its version and the forward-only migrations that
// lead from an empty store to it, written once for every backend.
#pragma once
#include <string_view>
#include <vector>

#include "sites/Database.h"

// One statement of a migration: for every backend (`backend` empty), or
// for the one named where they differ (a trigger). The types that differ
// are written {bytes} (a blob) and {counter} (a key that counts up as rows
// are added), and each backend's are put in.
struct SchemaStep {
  std::string_view backend;
  std::string_view sql;
};
struct Migration {
  int version;  // the schema's version after it
  std::vector<SchemaStep> steps;
};

// In order; the last one's version is the current schema's.
const std::vector<Migration>& Migrations();
int CurrentSchemaVersion();

// The text the registry keeps under "format", which tells a registry from
// another program's store.
constexpr std::string_view kRegistryFormat = "ostrel sites registry";

// The schema version of the store; 0 for an empty one. Throws
// RegistryError for a store that is no registry.
int StoreSchemaVersion(Database& db);
// Brings the store from its version up to `target` (within the caller's
// write transaction).
void MigrateTo(Database& db, int target);
