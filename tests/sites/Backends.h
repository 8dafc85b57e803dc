// The database backends every registry test runs on: one factory each,
// which makes a fresh, empty store for one test. A backend whose server is
// not there (no PostgreSQL started) is left out of the list.
#pragma once
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "sites/Database.h"

struct BackendFactory {
  std::string name;
  // A fresh store; `again` gives another connection to the store made last.
  std::function<std::unique_ptr<Database>()> make;
  std::function<std::unique_ptr<Database>()> again;
  // Makes a connection give up after about 200 ms when it waits for a
  // lock (DbFault::Busy).
  std::function<void(Database&)> impatient;
};
inline void PrintTo(const BackendFactory& b, std::ostream* os) { *os << b.name; }

const std::vector<BackendFactory>& Backends();

// A folder of its own for one test, removed at its end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};
