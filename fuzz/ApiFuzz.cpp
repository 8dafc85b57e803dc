// The office's API against any request: the strict JSON of bodies and the
// router with its checks (the path's decoding, the Origin, the session
// cookie, the role) never crash, recurse without bound or answer without
// a status and a JSON error; a body the JSON reader takes comes back the
// same through its own text. The database is away: a request that gets
// that far is answered 503, as the server answers when it is.
//
// Input: a first byte that picks JSON (even) or a request (odd); a
// request is "METHOD\nTARGET\nORIGIN\nCOOKIE\nBODY".
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "server/Api.h"
#include "server/ApiJson.h"
#include "server/SitesApi.h"

using namespace office;

namespace {

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

Api& TheApi() {
  static DbPool pool([]() -> std::unique_ptr<Registry> { throw DbError(DbFault::Unavailable, "away"); }, 1);
  static Api api = [] {
    Api::Options options;
    options.endpoints = SitesEndpoints();
    return Api(pool, std::move(options));
  }();
  return api;
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
  ApiRequest request;
  request.method = Line(rest);
  const std::string target = Line(rest);
  const std::size_t q = target.find('?');
  request.path = target.substr(0, q);
  if (q != std::string::npos) {
    std::string key, value;
    if (PercentDecode(target.substr(q + 1), value, true)) request.query.emplace_back("q", value);
  }
  request.headers["host"] = "office.test";
  request.headers["origin"] = Line(rest);
  request.headers["cookie"] = Line(rest);
  request.headers["content-type"] = "application/json";
  request.body = std::string(rest);
  request.remote = "192.0.2.1";
  const ApiResponse response = TheApi().Handle(request);
  FUZZ_CHECK(response.status >= 400 && response.status < 600);
  Json body;
  std::string error;
  FUZZ_CHECK(ParseApiJson(response.body, body, error));
  FUZZ_CHECK(body.contains("error") && body["error"].is_string());
  CheckMessage(body["error"].get<std::string>());
  return 0;
}
