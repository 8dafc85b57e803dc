// The office's JSON API under /api/: one table of endpoints, each with the
// least role that may call it; the sessions, the Origin check and the
// rights are decided here, for every endpoint alike, before its handler
// runs. Independent of the HTTP library, so that the tests and the fuzz
// target call it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "config/FaultError.h"
#include "server/ApiJson.h"
#include "server/DbPool.h"
#include "server/GroupCommit.h"
#include "server/Office.h"

namespace office {

struct ApiRequest {
  std::string method;  // upper-case
  std::string path;    // without the query, still percent-encoded
  std::vector<std::pair<std::string, std::string>> query;  // decoded
  std::map<std::string, std::string> headers;             // names in lower case
  std::string body;
  std::string remote;  // the client's address

  std::string Header(const std::string& lower_name) const;
  std::optional<std::string> Query(const std::string& name) const;
};

struct ApiResponse {
  int status = 200;
  std::string content_type = "application/json; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

// A refusal: its status and the message the client shows.
class ApiError : public FaultError<int> {
 public:
  using FaultError::FaultError;
  int status() const { return fault(); }
};

constexpr char kSessionCookie[] = "ostrel_session";
constexpr std::size_t kMaxApiBody = 64 * 1024;

class Api;

// One call of one endpoint, as its handler sees it.
struct ApiCall {
  const ApiRequest& request;
  std::map<std::string, std::string> params;  // the path's {names}, decoded
  SessionInfo session;                         // empty name: no session needed
  std::string token;                           // the session's own token
  Database& db;
  Registry& registry;  // on the same connection as db
  std::int64_t now;
  ApiResponse& response;
  Api& api;

  const std::string& Param(const std::string& name) const { return params.at(name); }
  Json Body() const;  // the strict JSON of the body, or ApiError 400
  void Reply(const Json& value, int status = 200);
};

struct Endpoint {
  const char* method;
  const char* path;  // "/api/sites/{number}/log"
  Role role;         // Role::None: no session needed
  const char* summary;
  std::function<void(ApiCall&)> handler;
  // Its write goes through Api::Write, which orders the writers itself:
  // the request does not wait its turn among the other changing ones.
  bool batched = false;
};

class Api {
 public:
  struct Options {
    OfficePolicy policy;
    // Extra endpoints (the registry's), added to the office's own.
    std::vector<Endpoint> endpoints;
    // One changing request at a time in this process (SQLite: its writers
    // would otherwise wait for each other by polling, in steps of up to
    // 100 ms; PostgreSQL queues them itself), and the writes of the batched
    // endpoints committed in groups.
    bool serialize_writes = false;
  };
  Api(DbPool& pool, Options options);

  ApiResponse Handle(const ApiRequest& request);

  // Runs a batched endpoint's write, on `registry` (the request's own
  // connection): in a group commit where the writers take turns, at once
  // where the database queues them itself. `work` makes its own
  // transaction; it may run in another request's thread, and its throw
  // comes back here.
  void Write(Registry& registry, const std::function<void(Registry&)>& work);

  const std::vector<Endpoint>& Endpoints() const { return endpoints_; }
  const OfficePolicy& Policy() const { return options_.policy; }
  // Overridable for the tests of expiry.
  std::function<std::int64_t()> clock = NowMs;

  // The fault of the database as the client sees it (503 when it is away).
  static ApiResponse Unavailable(const std::string& why);

 private:
  ApiResponse Dispatch(const ApiRequest& request);

  DbPool& pool_;
  Options options_;
  std::mutex write_gate_;
  std::unique_ptr<GroupCommit> group_;
  std::vector<Endpoint> endpoints_;
};

// The office's own endpoints: login, logout, the session, operators, audit.
std::vector<Endpoint> OfficeEndpoints();

// The session cookie's token in a Cookie header, or "".
std::string SessionToken(const std::string& cookie_header);
// Matches `path` against a pattern of the table; the {names} decoded.
bool MatchPath(const std::string& pattern, const std::string& path,
               std::map<std::string, std::string>& params);
// %XX decoded; false on a broken escape or a NUL.
bool PercentDecode(const std::string& text, std::string& out, bool plus_is_space);
// The query of a request target ("a=1&b=x%20y") as its decoded pairs,
// added to `out`; false when a part is not well formed.
bool ParseQuery(const std::string& text, std::vector<std::pair<std::string, std::string>>& out);
// A JSON error body {"error": message}.
std::string ErrorBody(const std::string& message);

}  // namespace office
