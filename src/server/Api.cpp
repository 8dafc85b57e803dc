#include "server/Api.h"

#include <algorithm>
#include <cstdio>

namespace office {

namespace {

bool Changes(const std::string& method) {
  return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

std::vector<std::string> Split(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    parts.push_back(path.substr(start, end - start));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return parts;
}

std::string SessionCookie(const std::string& token, std::int64_t max_age_s) {
  return std::string(kSessionCookie) + "=" + token +
         "; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=" + std::to_string(max_age_s);
}

Json OperatorJson(const OperatorInfo& op) {
  return {{"name", op.name}, {"role", RoleName(op.role)}, {"disabled", op.disabled},
          {"created", IsoTime(op.created)}};
}

std::string TextField(const Json& body, const char* key, bool required) {
  const auto it = body.find(key);
  if (it == body.end() || it->is_null()) {
    if (required) throw ApiError(400, std::string("the body lacks \"") + key + "\"");
    return "";
  }
  if (!it->is_string()) throw ApiError(400, std::string("\"") + key + "\" must be a text");
  return it->get<std::string>();
}

Role RoleField(const Json& body) {
  const std::optional<Role> role = RoleFromName(TextField(body, "role", true));
  if (!role) throw ApiError(400, "\"role\" must be viewer, installer or admin");
  return *role;
}

void Refuse(const OfficeError& e) {
  switch (e.kind()) {
    case OfficeError::NotFound: throw ApiError(404, e.what());
    case OfficeError::Exists:
    case OfficeError::LastAdmin: throw ApiError(409, e.what());
    case OfficeError::Invalid: break;
  }
  throw ApiError(400, e.what());
}

Office OfficeOf(ApiCall& call) { return Office(call.db, call.api.Policy()); }

void Login(ApiCall& call) {
  const Json body = call.Body();
  const std::string name = TextField(body, "name", true);
  const std::string password = TextField(body, "password", true);
  Office office = OfficeOf(call);
  const LoginResult result = office.Login(name, password, call.request.remote, call.now);
  switch (result.status) {
    case LoginResult::Locked: {
      const std::int64_t minutes = (result.locked_ms + 59999) / 60000;
      call.response.headers.emplace_back("Retry-After", std::to_string((result.locked_ms + 999) / 1000));
      throw ApiError(429, "too many failed logins: this account or this address is locked for " +
                              std::to_string(minutes) + (minutes == 1 ? " more minute" : " more minutes"));
    }
    case LoginResult::Wrong: throw ApiError(401, "wrong name or password");
    case LoginResult::Ok: break;
  }
  call.response.headers.emplace_back("Set-Cookie",
                                     SessionCookie(result.token, call.api.Policy().absolute_ms / 1000));
  call.Reply({{"name", result.session.name}, {"role", RoleName(result.session.role)},
              {"idle_minutes", call.api.Policy().idle_ms / 60000},
              {"expires", IsoTime(call.now + call.api.Policy().absolute_ms)}});
}

void Logout(ApiCall& call) {
  Office office = OfficeOf(call);
  office.Logout(call.token, call.request.remote, call.now);
  call.response.headers.emplace_back("Set-Cookie", SessionCookie("", 0));
  call.Reply({{"name", call.session.name}, {"logged_out", true}});
}

void SessionOf(ApiCall& call) {
  call.Reply({{"name", call.session.name}, {"role", RoleName(call.session.role)},
              {"since", IsoTime(call.session.created)}});
}

void ListOperators(ApiCall& call) {
  Json list = Json::array();
  for (const OperatorInfo& op : OfficeOf(call).Operators()) list.push_back(OperatorJson(op));
  call.Reply({{"operators", list}});
}

void AddOperator(ApiCall& call) {
  const Json body = call.Body();
  const std::string name = TextField(body, "name", true);
  const Role role = RoleField(body);
  const std::string password = TextField(body, "password", true);
  Office office = OfficeOf(call);
  try {
    office.AddOperator(name, role, password, call.session.name, call.request.remote, call.now);
  } catch (const OfficeError& e) {
    Refuse(e);
  }
  call.Reply(OperatorJson(*office.Find(name)), 201);
}

void ChangeOperator(ApiCall& call) {
  const Json body = call.Body();
  const std::string& name = call.Param("name");
  for (const auto& [key, value] : body.items())
    if (key != "role" && key != "password" && key != "disabled")
      throw ApiError(400, "an operator has no \"" + key.substr(0, 40) + "\" to change (role, password, disabled)");
  if (body.empty()) throw ApiError(400, "nothing to change: give role, password or disabled");
  if (body.contains("disabled") && !body["disabled"].is_boolean())
    throw ApiError(400, "\"disabled\" must be true or false");
  Office office = OfficeOf(call);
  try {
    if (!office.Find(name)) throw OfficeError(OfficeError::NotFound, "no operator \"" + name + "\"");
    if (body.contains("role")) office.SetRole(name, RoleField(body), call.session.name, call.request.remote, call.now);
    if (body.contains("password"))
      office.SetPassword(name, TextField(body, "password", true), call.session.name, call.request.remote, call.now);
    if (body.contains("disabled"))
      office.SetDisabled(name, body["disabled"].get<bool>(), call.session.name, call.request.remote, call.now);
  } catch (const OfficeError& e) {
    Refuse(e);
  }
  call.Reply(OperatorJson(*office.Find(name)));
}

void ReadAudit(ApiCall& call) {
  std::int64_t since = 0;
  if (const auto text = call.request.Query("since")) {
    const auto t = ParseIsoTime(*text);
    if (!t) throw ApiError(400, "\"since\" must be a time such as 2026-12-09 or 2026-12-09T22:00:00Z");
    since = *t;
  }
  std::int64_t limit = 1000;
  if (const auto text = call.request.Query("limit")) {
    char* end = nullptr;
    limit = std::strtoll(text->c_str(), &end, 10);
    if (text->empty() || *end || limit < 1 || limit > 10000)
      throw ApiError(400, "\"limit\" must be a number from 1 to 10000");
  }
  Json list = Json::array();
  for (const AuditEntry& e : OfficeOf(call).AuditSince(since, limit))
    list.push_back({{"id", e.id}, {"at", IsoTime(e.at)}, {"who", e.who}, {"from", e.from},
                    {"action", e.action}, {"action_text", AuditActionText(e.action)}, {"subject", e.subject},
                    {"detail", e.detail}, {"detail_text", AuditDetailText(e.action, e.detail)}});
  call.Reply({{"entries", list}});
}

}  // namespace

std::string ApiRequest::Header(const std::string& lower_name) const {
  const auto it = headers.find(lower_name);
  return it == headers.end() ? "" : it->second;
}

std::optional<std::string> ApiRequest::Query(const std::string& name) const {
  for (const auto& [key, value] : query)
    if (key == name) return value;
  return std::nullopt;
}

Json ApiCall::Body() const {
  const std::string type = request.Header("content-type");
  if (type.rfind("application/json", 0) != 0)
    throw ApiError(415, "the body must be JSON (Content-Type: application/json)");
  Json document;
  std::string error;
  if (!ParseApiJson(request.body, document, error)) throw ApiError(400, "the body is not accepted: " + error);
  return document;
}

void ApiCall::Reply(const Json& value, int status) {
  response.status = status;
  response.body = value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ErrorBody(const std::string& message) {
  return Json{{"error", message}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

ApiResponse Api::Unavailable(const std::string& why) {
  std::fprintf(stderr, "database not reachable: %s\n", why.c_str());
  ApiResponse r;
  r.status = 503;
  r.body = ErrorBody("the database is not reachable; try again shortly");
  r.headers.emplace_back("Retry-After", "5");
  return r;
}

std::string SessionToken(const std::string& cookie_header) {
  // "a=1; ostrel_session=...; b=2"; a name given twice counts as none.
  std::string token;
  int seen = 0;
  std::size_t start = 0;
  while (start < cookie_header.size()) {
    std::size_t end = cookie_header.find(';', start);
    if (end == std::string::npos) end = cookie_header.size();
    std::string part = cookie_header.substr(start, end - start);
    const std::size_t first = part.find_first_not_of(' ');
    part = first == std::string::npos ? "" : part.substr(first);
    const std::string prefix = std::string(kSessionCookie) + "=";
    if (part.rfind(prefix, 0) == 0) {
      token = part.substr(prefix.size());
      ++seen;
    }
    start = end + 1;
  }
  return seen == 1 ? token : "";
}

bool PercentDecode(const std::string& text, std::string& out, bool plus_is_space) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '%') {
      auto hex = [](char h) -> int {
        if (h >= '0' && h <= '9') return h - '0';
        if (h >= 'a' && h <= 'f') return h - 'a' + 10;
        if (h >= 'A' && h <= 'F') return h - 'A' + 10;
        return -1;
      };
      if (i + 2 >= text.size()) return false;
      const int hi = hex(text[i + 1]);
      const int lo = hex(text[i + 2]);
      if (hi < 0 || lo < 0) return false;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c == '+' && plus_is_space) {
      c = ' ';
    }
    if (c == '\0') return false;
    out += c;
  }
  return true;
}

bool ParseQuery(const std::string& text, std::vector<std::pair<std::string, std::string>>& out) {
  bool ok = true;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('&', start);
    if (end == std::string::npos) end = text.size();
    const std::string part = text.substr(start, end - start);
    const std::size_t eq = part.find('=');
    std::string key, value;
    if (!PercentDecode(part.substr(0, eq), key, true) ||
        !PercentDecode(eq == std::string::npos ? "" : part.substr(eq + 1), value, true))
      ok = false;
    if (!part.empty()) out.emplace_back(std::move(key), std::move(value));
    start = end + 1;
  }
  return ok;
}

bool MatchPath(const std::string& pattern, const std::string& path,
               std::map<std::string, std::string>& params) {
  const std::vector<std::string> want = Split(pattern), have = Split(path);
  if (want.size() != have.size()) return false;
  std::map<std::string, std::string> found;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const std::string& w = want[i];
    if (w.size() > 2 && w.front() == '{' && w.back() == '}') {
      std::string value;
      if (have[i].empty() || !PercentDecode(have[i], value, false)) return false;
      found[w.substr(1, w.size() - 2)] = value;
    } else if (w != have[i]) {
      return false;
    }
  }
  params = std::move(found);
  return true;
}

std::vector<Endpoint> OfficeEndpoints() {
  return {
      {"POST", "/api/login", Role::None, "log in: {name, password}; sets the session cookie", Login},
      {"POST", "/api/logout", Role::Viewer, "end this session", Logout},
      {"GET", "/api/session", Role::Viewer, "who is logged in, with which role", SessionOf},
      {"GET", "/api/operators", Role::Admin, "the operators", ListOperators},
      {"POST", "/api/operators", Role::Admin, "add an operator: {name, role, password}", AddOperator},
      {"PATCH", "/api/operators/{name}", Role::Admin,
       "change an operator: {role?, password?, disabled?}", ChangeOperator},
      {"GET", "/api/audit", Role::Admin, "the audit log: ?since=TIME&limit=N", ReadAudit},
  };
}

Api::Api(DbPool& pool, Options options) : pool_(pool), options_(std::move(options)) {
  endpoints_ = OfficeEndpoints();
  for (Endpoint& e : options_.endpoints) endpoints_.push_back(std::move(e));
  options_.endpoints.clear();
  if (options_.serialize_writes) group_ = std::make_unique<GroupCommit>(&write_gate_);
}

void Api::Write(Registry& registry, const std::function<void(Registry&)>& work) {
  if (group_) group_->Run(registry, work);
  else work(registry);
}

ApiResponse Api::Handle(const ApiRequest& request) {
  try {
    return Dispatch(request);
  } catch (const ApiError& e) {
    ApiResponse r;
    r.status = e.status();
    // A message quotes what the client sent (a key, an origin): one line,
    // its control characters shown as '?'.
    std::string message = e.what();
    for (char& c : message)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    r.body = ErrorBody(message);
    return r;
  }
}

ApiResponse Api::Dispatch(const ApiRequest& request) {
  const Endpoint* endpoint = nullptr;
  bool path_known = false;
  std::map<std::string, std::string> params;
  for (const Endpoint& e : endpoints_) {
    std::map<std::string, std::string> p;
    if (!MatchPath(e.path, request.path, p)) continue;
    path_known = true;
    if (request.method == e.method) {
      endpoint = &e;
      params = std::move(p);
      break;
    }
  }
  if (!endpoint) {
    if (path_known) {
      // The method as the client sent it, when it is a word (it is put
      // into the message).
      const std::string method = request.method.substr(0, 10);
      const bool word = !method.empty() && std::all_of(method.begin(), method.end(),
                                                       [](char c) { return c >= 'A' && c <= 'Z'; });
      throw ApiError(405, "this endpoint does not take " + (word ? method : std::string("that method")));
    }
    throw ApiError(404, "no such endpoint");
  }
  // A request that changes something must come from the office's own
  // pages (or a client that says so): a page of another site cannot use
  // the browser's cookie to act for its operator.
  if (Changes(request.method)) {
    const std::string origin = request.Header("origin");
    const std::string host = request.Header("host");
    if (origin.empty()) throw ApiError(403, "a request that changes something must give its Origin");
    if (host.empty() || origin != "https://" + host)
      throw ApiError(403, "refused: the request comes from another site (Origin " + origin.substr(0, 100) + ")");
  }
  std::int64_t now = clock();
  ApiResponse response;
  try {
    DbPool::Lease db = pool_.Get();
    // Taken with the connection in hand, so that no holder of the gate
    // ever waits for a connection that a waiter for it holds. A login is
    // left out: it spends most of its time on the password's hash, outside
    // any transaction.
    std::unique_lock<std::mutex> gate(write_gate_, std::defer_lock);
    if (options_.serialize_writes && Changes(request.method) && !endpoint->batched &&
        std::string(endpoint->path) != "/api/login")
      gate.lock();
    try {
      SessionInfo session;
      std::string token;
      if (endpoint->role != Role::None) {
        token = SessionToken(request.Header("cookie"));
        Office office(*db, options_.policy);
        std::optional<SessionInfo> found = office.Authenticate(token, now);
        if (!found) throw ApiError(401, "not logged in, or the session has expired: log in");
        session = *found;
        if (session.role < endpoint->role)
          throw ApiError(403, std::string("refused: this needs the role ") + RoleName(endpoint->role) +
                                  "; " + session.name + " is " + RoleName(session.role));
      }
      ApiCall call{request, std::move(params), session, token, *db, db.registry(), now, response, *this};
      endpoint->handler(call);
    } catch (const DbError& e) {
      if (db->InTransaction()) db->Rollback();
      if (e.fault() == DbFault::Unavailable) db.Broken();
      throw;
    } catch (const RegistryError& e) {
      // The registry's "cannot be used now": its connection is given up
      // (a new one is opened for the next request).
      if (db->InTransaction()) db->Rollback();
      if (e.fault() == RegistryFault::Storage) db.Broken();
      throw;
    }
  } catch (const RegistryError& e) {
    // Raised where no handler turned it into a refusal: opening a
    // connection's registry.
    if (e.fault() == RegistryFault::Storage) return Unavailable(e.what());
    std::fprintf(stderr, "%s %s: registry error: %s\n", request.method.c_str(),
                 request.path.substr(0, 200).c_str(), e.what());
    throw ApiError(500, "the registry refused the request; the server's log says why");
  } catch (const DbError& e) {
    if (e.fault() == DbFault::Unavailable || e.fault() == DbFault::Busy) return Unavailable(e.what());
    std::fprintf(stderr, "%s %s: database error: %s\n", request.method.c_str(),
                 request.path.substr(0, 200).c_str(), e.what());
    throw ApiError(500, "the database refused the request; the server's log says why");
  }
  return response;
}

}  // namespace office
