// What the office's tests share: a fresh store on each backend (an SQLite
// file in a scratch folder, or a schema of its own in the PostgreSQL
// cluster that scripts/test starts, named by OSTREL_TEST_POSTGRESQL), and
// an office on it with one operator of each role, called through its API
// as the HTTPS front end calls it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/Api.h"
#include "server/OfficeStore.h"
#include "server/SitesApi.h"

namespace office {

// "sqlite" and "postgresql".
std::vector<std::string> StoreBackends();

class FreshStore {
 public:
  explicit FreshStore(const std::string& backend);
  ~FreshStore();
  // Empty when the backend is not there (no PostgreSQL started).
  const std::string& Location() const { return location_; }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_, location_, schema_;
};

// The password of the test operator of each role: "<role>-password".
std::string TestPassword(Role role);

class TestOffice {
 public:
  // Adds the operators "admin", "installer" and "viewer".
  explicit TestOffice(const std::string& backend, bool with_operators = true);
  bool Available() const { return store_ != nullptr; }

  OfficeStore& Store() { return *store_; }
  Api& ApiOf() { return *api_; }
  const std::string& Folder() const { return fresh_.Folder(); }
  const std::string& Location() const { return fresh_.Location(); }

  // A request as the front end passes it: Host office.test:8443, and for
  // a changing request the matching Origin unless `origin` says another.
  ApiResponse Call(const std::string& method, const std::string& target, const std::string& body = "",
                   const std::string& token = "", const std::string& origin = "https://office.test:8443",
                   const std::string& remote = "192.0.2.1");
  // Logs in; the token, or "" with the failure recorded.
  std::string Login(const std::string& name, const std::string& password, const std::string& remote = "192.0.2.1");
  std::string Login(Role role) { return Login(RoleName(role), TestPassword(role)); }

  // The number of rows in each of the store's tables, to see that a
  // refused request changed nothing.
  std::string Snapshot();

 private:
  FreshStore fresh_;
  std::unique_ptr<OfficeStore> store_;
  std::unique_ptr<Api> api_;
};

// A site with a revision of the demonstration image (which holds a
// password); the revision's id.
std::string AddDemoSite(TestOffice& office, const std::string& number);
// The demonstration image as an .osr file, base64.
std::string DemoOsrBase64();

// Where any of `passwords` (an alarm's digits) stands in `text`, as
// (at, size) in order: not inside a run of hex digits such as a
// revision's id, which may hold the same digits by chance.
std::vector<std::pair<std::size_t, std::size_t>> PasswordPlaces(const std::string& text,
                                                                const std::vector<std::string>& passwords);

// Runs the parameterised test on every backend; skips one that is absent.
#define OFFICE_SKIP_IF_ABSENT(office)                                                \
  if (!(office).Available()) GTEST_SKIP() << "PostgreSQL is not started (scripts/test " \
                                              "starts it: OSTREL_TEST_POSTGRESQL)"

}  // namespace office
