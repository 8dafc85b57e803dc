#include "OfficeTestSupport.h"

#include <sodium.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <random>

#include "app/ConfigFile.h"
#include "config/ImageMap.h"
#include "device/DemoConfiguration.h"
#include "server/Crypto.h"
#include "sites/PostgresDatabase.h"

namespace office {

std::vector<std::string> StoreBackends() { return {"sqlite", "postgresql"}; }

FreshStore::FreshStore(const std::string& backend) {
  std::string pattern = (std::filesystem::temp_directory_path() / "ostrel-office-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("no scratch folder");
  folder_ = pattern;
  if (backend == "sqlite") {
    location_ = folder_ + "/office.db";
    return;
  }
  const char* url = std::getenv("OSTREL_TEST_POSTGRESQL");
  if (!url || !*url) return;
  std::random_device random;
  schema_ = "office_test_" + std::to_string(random()) + std::to_string(random() % 1000);
  PostgresDatabase admin(url);
  admin.Execute("CREATE SCHEMA " + schema_);
  location_ = std::string(url) + (std::string(url).find('?') == std::string::npos ? "?" : "&") +
              "options=-c%20search_path%3D" + schema_;
}

FreshStore::~FreshStore() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
  if (schema_.empty()) return;
  try {
    PostgresDatabase admin(std::getenv("OSTREL_TEST_POSTGRESQL"));
    admin.Execute("DROP SCHEMA " + schema_ + " CASCADE");
  } catch (const std::exception&) {
    // The cluster is thrown away at the end anyway.
  }
}

std::string TestPassword(Role role) { return std::string(RoleName(role)) + "-password"; }

TestOffice::TestOffice(const std::string& backend, bool with_operators) : fresh_(backend) {
  InitCrypto();
  if (fresh_.Location().empty()) return;
  store_ = std::make_unique<OfficeStore>(fresh_.Location(), 8);
  Api::Options options;
  options.endpoints = SitesEndpoints();
  options.serialize_writes = store_->IsSqlite();
  api_ = std::make_unique<Api>(store_->Pool(), std::move(options));
  if (!with_operators) return;
  auto db = store_->Pool().Get();
  Office office(*db, OfficePolicy{});
  for (Role r : {Role::Admin, Role::Installer, Role::Viewer})
    office.AddOperator(RoleName(r), r, TestPassword(r), "test", "local", NowMs());
}

ApiResponse TestOffice::Call(const std::string& method, const std::string& target, const std::string& body,
                             const std::string& token, const std::string& origin, const std::string& remote) {
  ApiRequest r;
  r.method = method;
  const std::size_t q = target.find('?');
  r.path = target.substr(0, q);
  if (q != std::string::npos) ParseQuery(target.substr(q + 1), r.query);
  r.headers["host"] = "office.test:8443";
  if (method != "GET" && !origin.empty()) r.headers["origin"] = origin;
  if (!token.empty()) r.headers["cookie"] = std::string(kSessionCookie) + "=" + token;
  if (!body.empty()) r.headers["content-type"] = "application/json";
  r.body = body;
  r.remote = remote;
  return api_->Handle(r);
}

std::string TestOffice::Login(const std::string& name, const std::string& password, const std::string& remote) {
  const ApiResponse r =
      Call("POST", "/api/login", Json{{"name", name}, {"password", password}}.dump(), "", "https://office.test:8443", remote);
  for (const auto& [header, value] : r.headers) {
    if (header != "Set-Cookie") continue;
    const std::string prefix = std::string(kSessionCookie) + "=";
    return value.substr(prefix.size(), value.find(';') - prefix.size());
  }
  return "";
}

std::string TestOffice::Snapshot() {
  auto db = store_->Pool().Get();
  std::string text;
  for (const char* table : {"operators", "sessions", "sites", "revisions", "images"}) {
    auto rows = db->Query(std::string("SELECT COUNT(*) FROM ") + table);
    rows->Next();
    text += std::string(table) + "=" + std::to_string(rows->Int(0)) + " ";
  }
  auto rows = db->Query("SELECT COALESCE(MAX(role), 0) + SUM(role) + SUM(disabled) FROM operators");
  rows->Next();
  text += "roles=" + std::to_string(rows->Int(0));
  auto sites = db->Query("SELECT number, customer, address, sim, phone, notes, archived FROM sites ORDER BY number");
  while (sites->Next())
    for (int c = 0; c < 7; ++c) text += "|" + sites->Text(c);
  return text;
}

std::string DemoOsrBase64() {
  std::vector<std::uint8_t> image(kImageSize);
  MakeDemoImage(image.data());
  const auto bytes = ConfigFileBytes(image.data());
  const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
  return EncodeBase64(file);
}

std::string AddDemoSite(TestOffice& office, const std::string& number) {
  auto db = office.Store().Pool().Get();
  Site site;
  site.number = number;
  site.customer = "Customer of " + number;
  db.registry().AddSite(site);
  NewRevision n;
  n.site = number;
  n.image.resize(kImageSize);
  MakeDemoImage(n.image.data());
  n.source = RevisionSource::Read;
  n.author = "installer";
  return db.registry().AddRevision(n).id;
}

std::vector<std::pair<std::size_t, std::size_t>> PasswordPlaces(const std::string& text,
                                                                const std::vector<std::string>& passwords) {
  std::vector<std::pair<std::size_t, std::size_t>> places;
  const auto hex = [&](std::size_t i) { return std::isxdigit(static_cast<unsigned char>(text[i])) != 0; };
  for (const std::string& password : passwords)
    for (std::size_t at = text.find(password); at != std::string::npos; at = text.find(password, at + 1))
      if ((at == 0 || !hex(at - 1)) && (at + password.size() == text.size() || !hex(at + password.size())))
        places.emplace_back(at, password.size());
  std::sort(places.begin(), places.end());
  return places;
}

}  // namespace office
