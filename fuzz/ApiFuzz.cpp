// The office's API against any request, on a real store: the strict JSON
// of bodies, the router with its checks (the path's decoding, the Origin,
// the session cookie, the role) and every endpoint's handler behind them
// never crash, never answer 500 (a fault the handler let through instead
// of refusing it) and always answer with a status and JSON, a refusal
// with a one-line message; a body the JSON reader takes comes back the
// same through its own text.
//
// The store is an SQLite file in a scratch folder (in memory where the
// system has /dev/shm), with an operator of each role logged in; what the
// inputs add stays for the inputs after them, as in an office. A login,
// a logout and a change of those three operators are left out: they would
// change what every later input meets (and a login spends its time on the
// password's hash); their bodies are the JSON half's.
//
// Input: a first byte whose bit 0 picks JSON (0) or a request (1) and
// whose bits 1-2 pick the session (none, viewer, installer, admin); a
// request is "METHOD\nTARGET\nORIGIN\nCOOKIE\nBODY", an empty ORIGIN
// being the office's own and an empty COOKIE the session picked.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "server/Api.h"
#include "server/ApiJson.h"
#include "server/Crypto.h"
#include "server/OfficeStore.h"
#include "server/SitesApi.h"

using namespace office;

namespace {

constexpr char kHost[] = "office.test:8443";

void CheckMessage(const std::string& message) {
  FUZZ_CHECK(!message.empty() && message.size() < 2000);
  for (char c : message) FUZZ_CHECK(c != '\n' && c != '\r');
}

std::string Line(std::string_view& rest) {
  const std::size_t end = rest.find('\n');
  std::string line(rest.substr(0, end));
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return line;
}

struct FuzzOffice {
  std::unique_ptr<OfficeStore> store;
  std::unique_ptr<Api> api;
  std::string tokens[4];  // none, viewer, installer, admin
};

// The store's scratch folder, removed when the run ends (the fuzzer ends
// a run by exit(); a crash leaves it for a look at the store).
std::string scratch;

void RemoveScratch() {
  std::error_code ignored;
  if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
}

FuzzOffice& TheOffice() {
  static FuzzOffice office = [] {
    InitCrypto();
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
    std::string folder = base + "/ostrel-api-fuzz-XXXXXX";
    FUZZ_CHECK(mkdtemp(folder.data()) != nullptr);
    // Registered before the office is made, so run after it is destroyed
    // (its connections closed).
    scratch = folder;
    std::atexit(RemoveScratch);
    FuzzOffice o;
    o.store = std::make_unique<OfficeStore>(folder + "/office.db", 4);
    Api::Options options;
    options.endpoints = SitesEndpoints();
    options.serialize_writes = true;
    o.api = std::make_unique<Api>(o.store->Pool(), std::move(options));
    auto db = o.store->Pool().Get();
    office::Office people(*db, OfficePolicy{});
    for (Role role : {Role::Viewer, Role::Installer, Role::Admin}) {
      const std::string name = RoleName(role);
      people.AddOperator(name, role, name + "-password", "fuzz", "local", NowMs());
      const LoginResult login = people.Login(name, name + "-password", "local", NowMs());
      FUZZ_CHECK(login.status == LoginResult::Ok);
      o.tokens[static_cast<int>(role)] = login.token;
    }
    return o;
  }();
  return office;
}

// The requests left out (see above).
bool LeftOut(const ApiRequest& request) {
  std::map<std::string, std::string> params;
  if (MatchPath("/api/login", request.path, params) || MatchPath("/api/logout", request.path, params))
    return true;
  if (MatchPath("/api/operators/{name}", request.path, params)) {
    const std::string& name = params["name"];
    return name == "viewer" || name == "installer" || name == "admin";
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    Json document;
    std::string error;
    if (!ParseApiJson(rest, document, error)) {
      CheckMessage(error);
      return 0;
    }
    FUZZ_CHECK(document.is_object());
    const std::string text = document.dump();
    Json again;
    FUZZ_CHECK(ParseApiJson(text, again, error));
    FUZZ_CHECK(again == document);
    return 0;
  }
  FuzzOffice& the = TheOffice();
  ApiRequest request;
  request.method = Line(rest);
  const std::string target = Line(rest);
  const std::size_t q = target.find('?');
  request.path = target.substr(0, q);
  if (q != std::string::npos && !ParseQuery(target.substr(q + 1), request.query)) return 0;  // the server's 400
  request.headers["host"] = kHost;
  const std::string origin = Line(rest);
  request.headers["origin"] = origin.empty() ? std::string("https://") + kHost : origin;
  const std::string cookie = Line(rest);
  const std::string& token = the.tokens[(data[0] >> 1) & 3];
  request.headers["cookie"] = !cookie.empty() ? cookie : token.empty() ? "" : std::string(kSessionCookie) + "=" + token;
  request.headers["content-type"] = "application/json";
  request.body = std::string(rest.substr(0, kMaxApiBody));
  request.remote = "192.0.2.1";
  if (LeftOut(request)) return 0;
  const ApiResponse response = the.api->Handle(request);
  FUZZ_CHECK(response.status >= 200 && response.status < 600);
  FUZZ_CHECK(response.status != 500);
  if (response.content_type.rfind("application/json", 0) != 0) {
    FUZZ_CHECK(response.status == 200);  // an .osr file
    return 0;
  }
  Json body;
  std::string error;
  FUZZ_CHECK(ParseApiJson(response.body, body, error));
  if (response.status >= 400) {
    FUZZ_CHECK(body.contains("error") && body["error"].is_string());
    CheckMessage(body["error"].get<std::string>());
  }
  return 0;
}
