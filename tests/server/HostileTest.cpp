// Hostile requests over real HTTPS: each gets its status and a clear
// message, and changes nothing in the store.
#include <gtest/gtest.h>

#include "HttpsTestSupport.h"
#include "app/ConfigFile.h"

namespace office {
namespace {

struct HostileRow {
  std::string what;
  std::string method, target, headers, body;
  int status;
  std::string message;  // a part of the answer's body
  std::int64_t clock_ahead_ms = 0;
};

std::string OsrOfSize(std::size_t size, bool damage = false) {
  std::vector<std::uint8_t> osr;
  DecodeBase64(DemoOsrBase64(), osr);
  if (damage) osr[100] ^= 0x55;
  osr.resize(size, 0);
  return Json{{"osr", EncodeBase64(osr)}}.dump();
}

std::vector<HostileRow> Rows(int port, const std::string& installer, const std::string& viewer) {
  const std::string origin = "Origin: https://localhost:" + std::to_string(port) + "\r\n";
  const std::string json = "Content-Type: application/json\r\n";
  const std::string as_installer = "Cookie: ostrel_session=" + installer + "\r\n";
  const std::string as_viewer = "Cookie: ostrel_session=" + viewer + "\r\n";
  const std::string post = as_installer + origin + json;
  const std::string injection = "0417'; DROP TABLE revisions; --";
  std::vector<HostileRow> rows = {
      {"no cookie", "GET", "/api/sites", "", "", 401, "not logged in"},
      {"a forged token", "GET", "/api/sites", "Cookie: ostrel_session=" + std::string(64, 'f') + "\r\n", "", 401,
       "not logged in"},
      {"a token of the wrong length", "GET", "/api/sites", "Cookie: ostrel_session=abc\r\n", "", 401, "not logged in"},
      {"two session cookies", "GET", "/api/sites",
       "Cookie: ostrel_session=" + installer + "; ostrel_session=" + installer + "\r\n", "", 401, "not logged in"},
      {"another origin", "POST", "/api/sites", as_installer + "Origin: https://evil.example\r\n" + json,
       R"({"number":"9999"})", 403, "another site"},
      {"no origin", "POST", "/api/sites", as_installer + json, R"({"number":"9999"})", 403, "Origin"},
      {"an origin of plain HTTP", "POST", "/api/sites",
       as_installer + "Origin: http://localhost:" + std::to_string(port) + "\r\n" + json, R"({"number":"9999"})", 403,
       "another site"},
      {"a viewer recording", "POST", "/api/sites/0417/revisions", as_viewer + origin + json, OsrOfSize(kConfigFileSize),
       403, "installer"},
      {"an oversized body", "POST", "/api/sites/0417/revisions", post, std::string(100 * 1024, ' '), 413,
       "too large"},
      {"deep JSON", "POST", "/api/sites", post, "{\"a\":" + std::string(5000, '[') + std::string(5000, ']') + "}", 400,
       "deeper"},
      {"a duplicate key", "POST", "/api/sites", post, R"({"number":"9999","number":"9998"})", 400, "given twice"},
      {"not JSON", "POST", "/api/sites", as_installer + origin + "Content-Type: text/plain\r\n", "number=9999", 415,
       "must be JSON"},
      {"broken JSON", "POST", "/api/sites", post, R"({"number":)", 400, "broken JSON"},
      {"a damaged .osr file", "POST", "/api/sites/0417/revisions", post, OsrOfSize(kConfigFileSize, true), 400,
       "damaged"},
      {"an image that is not base64", "POST", "/api/sites/0417/revisions", post, R"({"osr":"not base64!"})", 400,
       "not base64"},
      {"SQL in a site number", "GET", "/api/sites/0417%27%3B%20DROP%20TABLE%20revisions%3B%20--", as_installer, "",
       404, "no site"},
      {"SQL in a search", "GET", "/api/sites?q=%27%20OR%201%3D1%20--", as_installer, "", 200, "\"sites\":[]"},
      {"SQL in a revision", "GET", "/api/sites/0417/revisions/%27%20OR%20%271%27%3D%271", as_installer, "", 400, ""},
      {"a viewer's revision without a cookie", "GET", "/api/sites/0417/revisions/abcd/masked", "", "", 401,
       "not logged in"},
      {"SQL in a viewer's revision", "GET", "/api/sites/0417/revisions/%27%20OR%20%271%27%3D%271/masked", as_viewer,
       "", 400, ""},
      {"a viewer's revision of no site", "GET", "/api/sites/0418/revisions/abcd/masked", as_viewer, "", 404,
       "no site"},
      {"traversal to the password through a viewer's revision", "GET",
       "/api/sites/0417/revisions/..%2F..%2Fpassword/masked", as_viewer, "", 400, ""},
      {"a viewer asking for the file", "GET", "/api/sites/0417/revisions/abcd/osr", as_viewer, "", 403, "installer"},
      {"SQL in a field key", "GET", "/api/find?x%27%20OR%201%3D1--=1", as_installer, "", 400, ""},
      {"SQL in a field value", "GET", "/api/find?input2.change_only=%27%20OR%201%3D1--", as_installer, "", 400, ""},
      {"SQL in a login name", "POST", "/api/login", origin + json,
       Json{{"name", injection}, {"password", "x' OR '1'='1"}}.dump(), 401, "wrong name or password"},
      {"SQL in a new site's number", "POST", "/api/sites", post, Json{{"number", injection}}.dump(), 400, ""},
      {"SQL in an operator's name", "PATCH", "/api/operators/admin%27--", post, R"({"role":"viewer"})", 403, ""},
      {"a NUL in the path", "GET", "/api/sites/04%0017", as_installer, "", 404, ""},
      {"a broken escape in the query", "GET", "/api/sites?q=%zz", as_installer, "", 400, "query"},
      {"an unknown endpoint", "GET", "/api/passwd", as_installer, "", 404, "no such endpoint"},
      {"a method the endpoint lacks", "DELETE", "/api/sites/0417", post, "", 405, "does not take"},
      {"an overlong address", "GET", "/api/sites/" + std::string(3000, '1'), as_installer, "", 414, "too long"},
      {"header injection through a name", "POST", "/api/login", origin + json,
       Json{{"name", "x\r\nSet-Cookie: ostrel_session=evil"}, {"password", "whatever pw"}}.dump(), 401, ""},
      {"header injection through the path", "GET", "/api/sites/x%0D%0ASet-Cookie:%20a=b", as_installer, "", 404, ""},
      {"path traversal", "GET", "/../../../../etc/passwd", "", "", 404, ""},
      {"encoded path traversal", "GET", "/%2e%2e/%2e%2e/%2e%2e/etc/passwd", "", "", 404, ""},
      {"traversal through a folder", "GET", "/site/..%2f..%2f..%2fetc%2fpasswd", "", "", 404, ""},
      {"a file outside the site", "GET", "/office.db", "", "", 404, ""},
  };
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, kConfigFileSize - 1, kConfigFileSize + 1,
                           2 * kConfigFileSize, std::size_t{2300}})
    rows.push_back({"an .osr file of " + std::to_string(size) + " bytes", "POST", "/api/sites/0417/revisions", post,
                    OsrOfSize(size), 400, size == 0 ? "lacks the image" : "not an .osr file"});
  // Last: the request that finds the session expired ends it.
  rows.push_back({"an expired session", "GET", "/api/sites", as_installer, "", 401, "expired", 13LL * 3600 * 1000});
  return rows;
}

class Hostile : public ::testing::TestWithParam<std::string> {};

TEST_P(Hostile, EachRequestIsRefusedClearlyAndChangesNothing) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  AddDemoSite(office, "0417");
  RunningOffice server(office);
  const std::string installer = office.Login(Role::Installer), viewer = office.Login(Role::Viewer);
  const std::string before = office.Snapshot();
  for (const HostileRow& row : Rows(server.Port(), installer, viewer)) {
    if (row.clock_ahead_ms) office.ApiOf().clock = [&] { return NowMs() + row.clock_ahead_ms; };
    const RawAnswer a = Exchange(server.Port(), Request(server.Port(), row.method, row.target, row.headers, row.body));
    office.ApiOf().clock = NowMs;
    EXPECT_EQ(a.status, row.status) << row.what << ": " << a.head << "\n" << a.body.substr(0, 300);
    EXPECT_NE(a.body.find(row.message), std::string::npos) << row.what << ": " << a.body.substr(0, 300);
    if (a.status >= 400 && a.status != 414) {
      EXPECT_NE(a.body.find("\"error\""), std::string::npos) << row.what << ": " << a.body.substr(0, 300);
    }
    EXPECT_EQ(a.body.find("root:"), std::string::npos) << row.what;
    EXPECT_EQ(a.head.find("evil"), std::string::npos) << row.what;
    EXPECT_EQ(a.head.find("\r\nSet-Cookie: a"), std::string::npos) << row.what;
    // The expired session was taken away by the request that found it so.
    if (!row.clock_ahead_ms) { EXPECT_EQ(office.Snapshot(), before) << row.what; }
  }
  // And the server still answers the installer as before.
  const RawAnswer fine = Exchange(server.Port(), Request(server.Port(), "GET", "/api/sites/0417", "Cookie: ostrel_session=" + installer + "\r\n"));
  EXPECT_TRUE(fine.status == 200 || fine.status == 401) << fine.head;
}

// A client that sends its request a byte a second holds a worker for the
// request's time limit, not longer; the others are served meanwhile.
TEST_P(Hostile, SlowClientsAreCutOffAndOthersServed) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  RunningOffice server(office, 2);
  std::vector<std::thread> slow;
  std::vector<RawAnswer> answers(10);
  const std::string request = Request(server.Port(), "GET", "/api/session", "X-Padding: " + std::string(100, 'x') + "\r\n");
  for (std::size_t i = 0; i < answers.size(); ++i)
    slow.emplace_back([&, i] { answers[i] = Exchange(server.Port(), request, 20, 1000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // More slow clients than workers (8), and yet a quick one is answered
  // once the limit has freed the workers.
  const RawAnswer quick = Exchange(server.Port(), Request(server.Port(), "GET", "/api/session"), 10);
  EXPECT_EQ(quick.status, 401) << quick.head;
  // Waiting at most for one slow client's limit (2 s) before a worker is
  // free, and then its own: without the limit, a slow client's request
  // would hold its worker for its 150 bytes, two and a half minutes.
  EXPECT_LT(quick.seconds, 8.0);
  for (std::thread& t : slow) t.join();
  for (const RawAnswer& a : answers) {
    EXPECT_LT(a.seconds, 8.0) << "a slow client was served for " << a.seconds << " s";
    EXPECT_NE(a.status, 200);
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, Hostile, ::testing::ValuesIn(StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace office
