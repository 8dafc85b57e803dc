// The server's small parts, each against a table of its edge cases: the
// strict JSON of request bodies, the path router and its decoding, the
// session cookie, fingerprints, times, passwords and tokens.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include "server/Api.h"
#include "server/ApiJson.h"
#include "server/Certificate.h"
#include "server/Crypto.h"
#include "server/Office.h"
#include "server/SitesApi.h"

namespace office {
namespace {

TEST(ApiJson, TakesOneObjectAndRefusesTheRest) {
  struct Row {
    std::string text;
    bool ok;
    std::string error;  // a part of the message
  };
  const std::string deep16 = std::string(15, '[') + std::string(15, ']');
  const std::string deep17 = std::string(16, '[') + std::string(16, ']');
  const Row rows[] = {
      {R"({"name":"a","password":"b"})", true, ""},
      {R"({})", true, ""},
      {R"({"a":{"a":{"a":1}}})", true, ""},  // the same key at different levels
      {R"({"a":[1,2,{"b":null}]})", true, ""},
      {R"({"a":1,"a":2})", false, "given twice"},
      {R"({"x":{"b":1,"b":1}})", false, "given twice"},
      {"{\"a\":" + deep16 + "}", true, ""},
      {"{\"a\":" + deep17 + "}", false, "deeper than 16"},
      {std::string(100000, '['), false, "deeper than 16"},
      {R"([1,2])", false, "one JSON object"},
      {R"("text")", false, "one JSON object"},
      {"", false, "broken JSON"},
      {R"({"a":1)", false, "broken JSON"},
      {R"({"a":1} {"b":2})", false, "broken JSON"},
      {"{\"a\":\"\xff\"}", false, "broken JSON"},
      {R"({"a":1e999999})", false, "broken JSON"},
  };
  for (const Row& row : rows) {
    Json doc;
    std::string error;
    EXPECT_EQ(ParseApiJson(row.text, doc, error), row.ok) << row.text.substr(0, 60);
    if (!row.ok) {
      EXPECT_NE(error.find(row.error), std::string::npos) << row.text.substr(0, 60) << ": " << error;
    }
    if (row.ok) {
      EXPECT_TRUE(doc.is_object());
    }
  }
}

TEST(Router, MatchesPatternsAndDecodesSegments) {
  struct Row {
    std::string pattern, path;
    bool match;
    std::string number;  // the {number} found
  };
  const Row rows[] = {
      {"/api/sites", "/api/sites", true, ""},
      {"/api/sites", "/api/sites/", false, ""},
      {"/api/sites/{number}", "/api/sites/0417", true, "0417"},
      {"/api/sites/{number}", "/api/sites/04%2F17", true, "04/17"},
      {"/api/sites/{number}", "/api/sites/%27%3B--", true, "';--"},
      {"/api/sites/{number}", "/api/sites/a+b", true, "a+b"},  // '+' is itself in a path
      {"/api/sites/{number}", "/api/sites/%00", false, ""},
      {"/api/sites/{number}", "/api/sites/%zz", false, ""},
      {"/api/sites/{number}", "/api/sites/%4", false, ""},
      {"/api/sites/{number}", "/api/sites/", false, ""},
      {"/api/sites/{number}", "/api/sites/0417/log", false, ""},
      {"/api/sites/{number}/log", "/api/sites/0417/log", true, "0417"},
      {"/api/sites/{number}/log", "/api/sites/../log", true, ".."},  // a value, never a file
      {"/api/sites/{number}/log", "/api/SITES/0417/log", false, ""},
  };
  for (const Row& row : rows) {
    std::map<std::string, std::string> params;
    EXPECT_EQ(MatchPath(row.pattern, row.path, params), row.match) << row.pattern << " " << row.path;
    if (row.match && !row.number.empty()) { EXPECT_EQ(params["number"], row.number) << row.path; }
  }
}

TEST(Router, QueryDecodingTurnsPlusIntoSpace) {
  struct Row {
    std::string in;
    bool ok;
    std::string out;
  };
  const Row rows[] = {{"a+b", true, "a b"}, {"%2B79", true, "+79"}, {"%", false, ""},
                      {"%4", false, ""},    {"%00", false, ""},     {"%C3%A9", true, "\xC3\xA9"}};
  for (const Row& row : rows) {
    std::string out;
    EXPECT_EQ(PercentDecode(row.in, out, true), row.ok) << row.in;
    if (row.ok) {
      EXPECT_EQ(out, row.out) << row.in;
    }
  }
}

TEST(SessionCookie, TakesTheOneSessionCookieOnly) {
  const std::string t(64, 'a');
  struct Row {
    std::string header, token;
  };
  const Row rows[] = {
      {"ostrel_session=" + t, t},
      {"theme=dark; ostrel_session=" + t + "; lang=ru", t},
      {"ostrel_session=" + t + "; ostrel_session=" + std::string(64, 'b'), ""},  // two: none
      {"xostrel_session=" + t, ""},
      {"", ""},
      {"ostrel_session=", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(SessionToken(row.header), row.token) << row.header;
}

TEST(Fingerprint, NormalisesEveryWayOfWritingIt) {
  const std::string upper =
      "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
  std::string plain;
  for (char c : upper)
    if (c != ':') plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Row {
    std::string in, out;
  };
  const Row rows[] = {{upper, upper},
                      {plain, upper},
                      {plain.substr(2), ""},
                      {plain + "00", ""},
                      {"zz" + plain.substr(2), ""},
                      {"", ""}};
  for (const Row& row : rows) EXPECT_EQ(NormalisedFingerprint(row.in), row.out) << row.in;
}

TEST(Times, IsoTimesGoBothWays) {
  for (std::int64_t ms : {0LL, 1LL, 999LL, 1765320663120LL, 4102444799999LL})
    EXPECT_EQ(ParseIsoTime(IsoTime(ms)), ms) << ms;
  struct Row {
    std::string text;
    std::optional<std::int64_t> ms;
  };
  const Row rows[] = {{"2026-12-09", 1796774400000LL},
                      {"2026-12-09T22:00:00Z", 1796853600000LL},
                      {"2026-13-09", std::nullopt},
                      {"2026-12-09T25:00:00Z", std::nullopt},
                      {"2026-12-09 22:00", std::nullopt},
                      {"yesterday", std::nullopt},
                      {"", std::nullopt},
                      {"1969-12-31", std::nullopt}};
  for (const Row& row : rows) EXPECT_EQ(ParseIsoTime(row.text), row.ms) << row.text;
}

TEST(Secrets, PasswordsAndTokens) {
  ASSERT_TRUE(InitCrypto());
  const std::string hash = HashPassword("correct horse");
  EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
  EXPECT_EQ(hash.find("correct horse"), std::string::npos);
  EXPECT_TRUE(VerifyPassword(hash, "correct horse"));
  for (const char* wrong : {"correct hors", "correct horse ", "", "Correct horse"})
    EXPECT_FALSE(VerifyPassword(hash, wrong)) << wrong;
  EXPECT_FALSE(VerifyPassword("", "x"));
  EXPECT_FALSE(VerifyPassword("not a hash", "x"));
  EXPECT_NE(HashPassword("correct horse"), hash);  // salted

  const std::string a = NewToken(), b = NewToken();
  EXPECT_EQ(a.size(), 64u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Operators, NamesAndPasswordsTheOfficeTakes) {
  struct Row {
    std::string name;
    bool ok;
  };
  const Row names[] = {{"admin", true},          {"a", true},        {"ivan.petrov@firm", true},
                       {"i-2_b", true},          {"", false},        {".hidden", false},
                       {"-rf", false},           {"two words", false}, {"quote'", false},
                       {std::string(64, 'a'), true}, {std::string(65, 'a'), false},
                       {"\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD", false}, {std::string("a\0b", 3), false}};
  for (const Row& row : names) EXPECT_EQ(ValidOperatorName(row.name), row.ok) << row.name;
  EXPECT_NE(PasswordProblem("short"), "");
  EXPECT_EQ(PasswordProblem("eight ch"), "");
  EXPECT_NE(PasswordProblem(std::string(1025, 'x')), "");
  EXPECT_NE(PasswordProblem(std::string("with\0nul", 8)), "");
  for (Role r : {Role::Viewer, Role::Installer, Role::Admin}) EXPECT_EQ(RoleFromName(RoleName(r)), r);
  EXPECT_EQ(RoleFromName("root"), std::nullopt);
  EXPECT_EQ(RoleFromName("Admin"), std::nullopt);
}

TEST(Base64, RoundTripsAndRefusesOtherText) {
  for (std::size_t n : {0u, 1u, 2u, 3u, 2300u, 2316u}) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37);
    std::vector<std::uint8_t> back;
    ASSERT_TRUE(DecodeBase64(EncodeBase64(bytes), back)) << n;
    EXPECT_EQ(back, bytes) << n;
  }
  std::vector<std::uint8_t> out;
  for (const char* bad : {"!!!!", "QUJD\n", "QQ=Q", "QUJD;DROP"}) EXPECT_FALSE(DecodeBase64(bad, out)) << bad;
  ASSERT_TRUE(DecodeBase64("QUI", out));  // without its padding
  EXPECT_EQ(out, (std::vector<std::uint8_t>{'A', 'B'}));
}

}  // namespace
}  // namespace office

namespace office {
namespace {

// docs/office-api.md has one row for each endpoint, with its role, and no
// row for an endpoint that is not there.
TEST(ApiDocument, ListsEveryEndpointWithItsRole) {
  std::ifstream in(OSTREL_API_DOCUMENT);
  ASSERT_TRUE(in) << OSTREL_API_DOCUMENT;
  std::set<std::string> documented;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| GET ", 0) != 0 && line.rfind("| POST ", 0) != 0 && line.rfind("| PATCH ", 0) != 0) continue;
    std::vector<std::string> cells;
    std::size_t start = 1;
    for (int i = 0; i < 3; ++i) {
      const std::size_t end = line.find('|', start);
      std::string cell = line.substr(start, end - start);
      cell = cell.substr(cell.find_first_not_of(' '));
      cell = cell.substr(0, cell.find_last_not_of(' ') + 1);
      cells.push_back(cell);
      start = end + 1;
    }
    documented.insert(cells[0] + " " + cells[1] + " " + cells[2]);
  }
  std::vector<Endpoint> endpoints = OfficeEndpoints();
  for (Endpoint& e : SitesEndpoints()) endpoints.push_back(std::move(e));
  std::set<std::string> actual;
  for (const Endpoint& e : endpoints)
    actual.insert(std::string(e.method) + " " + e.path + " " + RoleName(e.role));
  EXPECT_EQ(documented, actual);
}

}  // namespace
}  // namespace office
