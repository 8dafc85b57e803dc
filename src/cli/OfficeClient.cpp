#include "cli/OfficeClient.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/crypto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <httplib.h>

#include "app/ConfigFile.h"
#include "config/Configuration.h"
#include "config/ImageMap.h"
#include "config/Utf8.h"
#include "sites/Base64.h"

namespace {

namespace fs = std::filesystem;

// The certificate a connection must show, and the one it showed.
struct Pin {
  std::string expected;  // empty: none is trusted yet, every handshake fails
  std::string seen;
};

int PinIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// "AB:CD:...": the SHA-256 of the certificate's DER form, as ostrel-server
// prints it when it starts.
std::string FingerprintOf(X509* cert) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (X509_digest(cert, EVP_sha256(), digest, &length) != 1) return "";
  std::unique_ptr<char, void (*)(char*)> hex(OPENSSL_buf2hexstr(digest, length),
                                             [](char* p) { OPENSSL_free(p); });
  return hex ? std::string(hex.get()) : "";
}

// The server's own certificate decides, by its fingerprint alone: the
// office's certificate is usually self-signed, and no authority vouches
// for it; the first login trusted it.
int VerifyPinned(int, X509_STORE_CTX* store) {
  if (X509_STORE_CTX_get_error_depth(store) > 0) return 1;
  auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* pin = static_cast<Pin*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), PinIndex()));
  if (!pin) return 0;
  pin->seen = FingerprintOf(X509_STORE_CTX_get_current_cert(store));
  if (pin->expected.empty() || pin->seen != pin->expected) return 0;
  X509_STORE_CTX_set_error(store, X509_V_OK);
  return 1;
}

// What a user types as a fingerprint: 64 hex digits, colons anywhere;
// "AB:CD:..." or empty.
std::string Fingerprint(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ':' || c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (digits.size() != 64) return "";
  std::string out;
  for (std::size_t i = 0; i < digits.size(); i += 2) out += (i ? ":" : "") + digits.substr(i, 2);
  return out;
}

std::string WhyUnreachable(httplib::Error error) {
  switch (error) {
    case httplib::Error::Connection:
      return "nothing answers there (is ostrel-server running, and is the address right?)";
    case httplib::Error::ConnectionTimeout:
      return "no answer within 10 seconds";
    case httplib::Error::SSLConnection:
      return "the secure connection (TLS) could not be made";
    case httplib::Error::Read:
    case httplib::Error::Write:
      return "the connection broke off";
    default:
      return "the connection failed (" + httplib::to_string(error) + ")";
  }
}

// The first line of a file, without its line end.
std::string FirstLine(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line))
    throw CliFailure{ExitInvalid, Printable(path, std::string::npos) + ": cannot be read"};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Asks on the terminal, without echo.
std::string AskPassword(const std::string& prompt) {
  const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (tty < 0)
    throw CliFailure{ExitInvalid, "there is no terminal to ask the password on: give --password-file FILE"};
  termios saved{};
  const bool terminal = tcgetattr(tty, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  [[maybe_unused]] ssize_t w = ::write(tty, prompt.data(), prompt.size());
  std::string line;
  char c;
  while (::read(tty, &c, 1) == 1 && c != '\n') line += c;
  if (terminal) tcsetattr(tty, TCSAFLUSH, &saved);
  ::close(tty);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Writes `text` to `path` as a whole, readable by its owner alone.
void WritePrivate(const fs::path& path, const std::string& text) {
  const fs::path temporary = path.string() + ".new";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  bool done = fd >= 0 && ::fchmod(fd, 0600) == 0 &&
              ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
  if (fd >= 0) done = ::close(fd) == 0 && done;
  if (!done || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(temporary.c_str());
    throw CliFailure{ExitInvalid, Printable(path.string(), std::string::npos) + ": cannot be written: " + why};
  }
}

std::string ReadSmall(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  std::getline(in, text);
  return text;
}

std::string OsrBase64(const Image& image) {
  const auto bytes = ConfigFileBytes(image.data());
  return EncodeBase64(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace

std::string UrlEncoded(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

struct OfficeClient::Connection {
  Connection(const std::string& host, int port) : client(host, port) {
    client.enable_server_certificate_verification(false);
    SSL_CTX_set_verify(client.ssl_context(), SSL_VERIFY_PEER, VerifyPinned);
    SSL_CTX_set_ex_data(client.ssl_context(), PinIndex(), &pin);
    client.set_connection_timeout(10);
    client.set_read_timeout(120);
    client.set_write_timeout(120);
    client.set_keep_alive(true);
  }
  Pin pin;
  httplib::SSLClient client;
};

OfficeClient::OfficeClient(const std::string& url, CliEnvironment& env) : env_(env) {
  const std::string shown = Printable(url, 200);
  std::string rest = url;
  if (rest.rfind("https://", 0) != 0)
    throw CliFailure{ExitInvalid, "--server " + shown + ": the office's address is https://HOST[:PORT] "
                                                        "(the office speaks HTTPS alone)"};
  rest = rest.substr(8);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string host = rest, port = "443";
  if (!rest.empty() && rest[0] == '[') {  // [::1]:8443
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) host.clear();
    else {
      host = rest.substr(1, close - 1);
      if (close + 1 < rest.size()) port = rest[close + 1] == ':' ? rest.substr(close + 2) : "";
    }
  } else if (const std::size_t colon = rest.find(':'); colon != std::string::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  const bool hostOk = !host.empty() && host.size() <= 253 &&
                      std::all_of(host.begin(), host.end(), [](unsigned char c) {
                        return std::isalnum(c) || c == '-' || c == '.' || c == ':';
                      });
  const bool portOk = !port.empty() && port.size() <= 5 &&
                      std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }) &&
                      std::stoi(port) > 0 && std::stoi(port) < 65536;
  if (!hostOk || !portOk)
    throw CliFailure{ExitInvalid, "--server " + shown + ": the office's address is https://HOST[:PORT]"};
  std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  host_ = host;
  port_ = std::stoi(port);
  url_ = "https://" + (host.find(':') != std::string::npos ? "[" + host + "]" : host) +
         (port_ == 443 ? "" : ":" + std::to_string(port_));
  key_ = host;
  std::replace(key_.begin(), key_.end(), ':', '_');
  key_ += "_" + std::to_string(port_);
  connection_ = std::make_unique<Connection>(host_, port_);
}

OfficeClient::~OfficeClient() = default;

namespace {

// The folder of what the tool keeps of the offices.
fs::path OfficesFolder(CliEnvironment& env) {
  fs::path base;
  if (auto v = env.variable("XDG_CONFIG_HOME"); v && !v->empty() && (*v)[0] == '/')
    base = *v;
  else
    base = fs::path(env.variable("HOME").value_or(".")) / ".config";
  return base / "ostrel" / "offices";
}

fs::path MadeOfficesFolder(CliEnvironment& env) {
  const fs::path folder = OfficesFolder(env);
  std::error_code error;
  fs::create_directories(folder, error);
  if (error)
    throw CliFailure{ExitInvalid, Printable(folder.string(), std::string::npos) + ": cannot be made: " +
                                      error.message()};
  // The sessions' tokens are in it: for its owner's eyes alone.
  fs::permissions(folder, fs::perms::owner_all, error);
  fs::permissions(folder.parent_path(), fs::perms::owner_all, error);
  return folder;
}

}  // namespace

namespace {
// One request; the certificate is checked on every connection.
httplib::Result Exchange(httplib::SSLClient& client, const std::string& method, const std::string& target,
                                const httplib::Headers& headers, const std::string& body) {
  if (method == "GET") return client.Get(target, headers);
  if (method == "PATCH") return client.Patch(target, headers, body, "application/json");
  return client.Post(target, headers, body, "application/json");
}

struct Answer {
  int status = 0;
  std::string body;
  std::string cookie;  // the session's token a login set
};

std::string MessageOf(const Answer& a) {
  try {
    const Json j = Json::parse(a.body);
    if (j.is_object() && j.contains("error") && j["error"].is_string())
      return Printable(j["error"].get<std::string>(), 500);
  } catch (const Json::exception&) {
  }
  return "the office answered " + std::to_string(a.status);
}

}  // namespace

namespace {
Answer Request(OfficeClient& office, httplib::SSLClient& client, Pin& pin, const std::string& pinFile,
               const std::string& method, const std::string& target, const std::string& token,
               const std::string& body) {
  httplib::Headers headers{{"Origin", office.Url()}, {"Accept", "application/json"}};
  if (!token.empty()) headers.emplace("Cookie", "ostrel_session=" + token);
  pin.seen.clear();
  httplib::Result result = Exchange(client, method, target, headers, body);
  if (!result) {
    if (!pin.seen.empty() && pin.seen != pin.expected)
      throw CliFailure{ExitOffice,
                       "the office at " + office.Url() + " shows another certificate than the one trusted:\n"
                       "  trusted: SHA-256 " + pin.expected + "\n"
                       "  shown:   SHA-256 " + pin.seen + "\n"
                       "refused: nothing was sent. If the office's certificate was replaced, compare the new "
                       "fingerprint with the one ostrel-server prints, remove " + pinFile +
                       " and log in again"};
    throw CliFailure{ExitOffice, "cannot reach the office at " + office.Url() + ": " + WhyUnreachable(result.error())};
  }
  Answer a{result->status, result->body, ""};
  for (std::size_t i = 0; i < result->get_header_value_count("Set-Cookie"); ++i) {
    const std::string c = result->get_header_value("Set-Cookie", i);
    if (c.rfind("ostrel_session=", 0) == 0) a.cookie = c.substr(15, c.find(';') - 15);
  }
  return a;
}
}  // namespace

std::string OfficeClient::Login(const std::string& name, const std::string& passwordFile,
                                const std::string& trust) {
  const fs::path folder = MadeOfficesFolder(env_);
  const fs::path pinFile = folder / (key_ + ".certificate");
  Pin& pin = connection_->pin;
  pin.expected = Fingerprint(ReadSmall(pinFile));
  std::string wanted;
  if (!trust.empty()) {
    wanted = Fingerprint(trust);
    if (wanted.empty())
      throw CliFailure{ExitInvalid, "--trust " + Printable(trust, 120) +
                                        ": not a SHA-256 fingerprint (64 hex digits, colons allowed)"};
  }
  if (pin.expected.empty()) {
    // A first look at the certificate: the handshake stops at it, so that
    // nothing is sent until it is trusted.
    pin.seen.clear();
    const httplib::Result look = Exchange(connection_->client, "GET", "/api/session", {}, "");
    if (pin.seen.empty())
      throw CliFailure{ExitOffice, "cannot reach the office at " + url_ + ": " +
                                       WhyUnreachable(look ? httplib::Error::SSLConnection : look.error())};
    const std::string seen = pin.seen;
    if (!wanted.empty()) {
      if (wanted != seen)
        throw CliFailure{ExitOffice, "the office at " + url_ + " shows another certificate than --trust names:\n"
                                     "  --trust: SHA-256 " + wanted + "\n"
                                     "  shown:   SHA-256 " + seen + "\nrefused: nothing was sent"};
    } else {
      env_.err << "The office at " << url_ << " shows a certificate not seen before:\n  SHA-256 " << seen
               << "\nCompare it with the fingerprint ostrel-server printed when it started.\n"
                  "Trust it and log in? (y/n) "
               << std::flush;
      std::string answer;
      if (env_.in) std::getline(*env_.in, answer);
      if (answer != "y" && answer != "Y" && answer != "yes")
        throw CliFailure{ExitOffice, "the certificate of " + url_ + " was not trusted: nothing was sent"};
    }
    WritePrivate(pinFile, seen + "\n");
    pin.expected = seen;
  } else if (!wanted.empty() && wanted != pin.expected) {
    throw CliFailure{ExitOffice, "the office at " + url_ + " was trusted with another certificate than --trust names:\n"
                                 "  trusted: SHA-256 " + pin.expected + "\n"
                                 "  --trust: SHA-256 " + wanted + "\nrefused: nothing was sent"};
  }

  const std::string password =
      passwordFile.empty() ? AskPassword("Password of " + name + " at " + url_ + ": ") : FirstLine(passwordFile);
  const Answer a = Request(*this, connection_->client, pin, pinFile.string(), "POST", "/api/login", "",
                           Json{{"name", name}, {"password", password}}.dump());
  if (a.status != 200 || a.cookie.empty())
    throw CliFailure{a.status >= 500 ? int(ExitOffice) : int(ExitDevice), "login refused: " + MessageOf(a)};
  WritePrivate(folder / (key_ + ".session"), a.cookie + "\n");
  std::string role, expires;
  try {
    const Json j = Json::parse(a.body);
    role = j.value("role", "");
    expires = j.value("expires", "");
  } catch (const Json::exception&) {
  }
  return "logged in at " + url_ + " as " + Printable(name) + (role.empty() ? "" : " (" + role + ")") +
         (expires.empty() ? "" : "; the session ends when unused for a while, and at " + expires + " at the latest");
}

std::string OfficeClient::Logout() {
  const fs::path folder = OfficesFolder(env_);
  const fs::path sessionFile = folder / (key_ + ".session");
  const std::string token = ReadSmall(sessionFile);
  if (token.empty()) return "not logged in at " + url_;
  connection_->pin.expected = Fingerprint(ReadSmall(folder / (key_ + ".certificate")));
  std::string said = "logged out at " + url_;
  try {
    const Answer a = Request(*this, connection_->client, connection_->pin, (folder / (key_ + ".certificate")).string(),
                             "POST", "/api/logout", token, "");
    if (a.status == 401) said += " (the session had ended already)";
    else if (a.status != 200) throw CliFailure{ExitOffice, "logout refused: " + MessageOf(a)};
  } catch (const CliFailure& f) {
    // The token is forgotten here all the same; the office ends it with time.
    std::error_code ignored;
    fs::remove(sessionFile, ignored);
    throw CliFailure{f.status, f.message + "\nthe session's token is removed from this machine"};
  }
  std::error_code ignored;
  fs::remove(sessionFile, ignored);
  return said;
}

namespace {
[[noreturn]] void Refused(const OfficeClient& office, const Answer& a, const fs::path& sessionFile) {
  switch (a.status) {
    case 401: {
      std::error_code ignored;
      fs::remove(sessionFile, ignored);
      throw CliFailure{ExitSession, "not logged in at " + office.Url() +
                                        " (or the session has ended): ostrel-cli --server " + office.Url() +
                                        " login NAME"};
    }
    case 400:
    case 404:
    case 409:
      throw CliFailure{ExitInvalid, MessageOf(a)};
    case 403:
    case 429:
      throw CliFailure{ExitDevice, MessageOf(a)};  // the office's own "refused: ..."
    default:
      throw CliFailure{ExitOffice, "the office at " + office.Url() + " could not answer: " + MessageOf(a)};
  }
}
}  // namespace

std::string OfficeClient::Call(const std::string& method, const std::string& target, const std::string& body,
                               int* status) {
  const fs::path folder = OfficesFolder(env_);
  const fs::path sessionFile = folder / (key_ + ".session");
  const fs::path pinFile = folder / (key_ + ".certificate");
  const std::string token = ReadSmall(sessionFile);
  connection_->pin.expected = Fingerprint(ReadSmall(pinFile));
  if (token.empty() || connection_->pin.expected.empty())
    throw CliFailure{ExitSession, "not logged in at " + url_ + ": ostrel-cli --server " + url_ + " login NAME"};
  Answer a = Request(*this, connection_->client, connection_->pin, pinFile.string(), method, target, token, body);
  if (status) *status = a.status;
  if (a.status == 404 && status) return "";
  if (a.status < 200 || a.status > 299) Refused(*this, a, sessionFile);
  return std::move(a.body);
}

Json OfficeClient::Send(const std::string& method, const std::string& target, const Json& body, int* status) {
  const std::string answer = Call(method, target, method == "GET" ? "" : body.dump(), status);
  if (status && *status == 404) return Json();
  try {
    return Json::parse(answer);
  } catch (const Json::exception&) {
    throw CliFailure{ExitOffice, "the office at " + url_ + " answered something that is not JSON"};
  }
}

Json OfficeClient::Get(const std::string& target, bool* missing) {
  int status = 0;
  const Json j = Send("GET", target, Json(), missing ? &status : nullptr);
  if (missing) *missing = status == 404;
  return j;
}

std::string OfficeClient::GetBytes(const std::string& target) { return Call("GET", target, "", nullptr); }

namespace {

Site SiteOf(const Json& j) {
  return {.number = j.value("number", ""), .customer = j.value("customer", ""),
          .address = j.value("address", ""), .sim = j.value("sim", ""), .phone = j.value("phone", ""),
          .notes = j.value("notes", ""), .added = j.value("added", ""), .archived = j.value("archived", false)};
}

std::string TextOf(const Json& j, const char* key) {
  const auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : "";
}

Revision RevisionOf(const Json& j) {
  Revision r{.id = TextOf(j, "id"), .site = TextOf(j, "site"), .parent = TextOf(j, "parent"),
             .at = TextOf(j, "at"), .author = TextOf(j, "author"),
             .source = SourceNamed(TextOf(j, "source")).value_or(RevisionSource::File),
             .comment = TextOf(j, "comment"), .image = TextOf(j, "image"), .before = TextOf(j, "before"),
             .changed = j.value("changed", -1), .changedKeys = {}};
  if (j.contains("changed_keys") && j["changed_keys"].is_array())
    for (const Json& k : j["changed_keys"]) r.changedKeys.push_back(k.get<std::string>());
  return r;
}

class OfficeSites : public SiteStore {
 public:
  explicit OfficeSites(OfficeClient& office) : o_(office) {}

  void AddSite(const Site& s) override {
    o_.Send("POST", "/api/sites",
            {{"number", s.number}, {"customer", s.customer}, {"address", s.address}, {"sim", s.sim},
             {"phone", s.phone}, {"notes", s.notes}});
  }
  void EditSite(const std::string& number, const SiteChanges& c) override {
    Json body = Json::object();
    if (c.customer) body["customer"] = *c.customer;
    if (c.address) body["address"] = *c.address;
    if (c.sim) body["sim"] = *c.sim;
    if (c.phone) body["phone"] = *c.phone;
    if (c.notes) body["notes"] = *c.notes;
    o_.Send("PATCH", SitePath(number), body);
  }
  void ArchiveSite(const std::string& number, bool archived) override {
    o_.Send("POST", SitePath(number) + "/archive", {{"archived", archived}});
  }
  std::optional<Site> FindSite(const std::string& number) override {
    bool missing = false;
    const Json j = o_.Get(SitePath(number), &missing);
    if (missing) return std::nullopt;
    return SiteOf(j);
  }
  std::vector<Site> ListSites(const std::string& text, bool archived) override {
    std::vector<Site> sites;
    const Json answer = o_.Get("/api/sites?q=" + UrlEncoded(text) + (archived ? "&archived=1" : ""));
    for (const Json& j : answer["sites"]) sites.push_back(SiteOf(j));
    return sites;
  }
  std::vector<Revision> Heads(const std::string& number) override {
    std::vector<Revision> heads;
    const Json answer = o_.Get(SitePath(number));
    for (const Json& j : answer["heads"]) heads.push_back(RevisionOf(j));
    return heads;
  }
  std::vector<Revision> Log(const std::string& number, std::size_t limit) override {
    std::vector<Revision> log;
    const Json answer = o_.Get(SitePath(number) + "/log" + (limit ? "?limit=" + std::to_string(limit) : ""));
    for (const Json& j : answer["revisions"]) log.push_back(RevisionOf(j));
    return log;
  }
  Revision ResolveRevision(const std::string& number, const std::string& prefix) override {
    return RevisionOf(o_.Get(SitePath(number) + "/revisions/" + UrlEncoded(prefix)));
  }
  Image RevisionImage(const Revision& r) override {
    const std::string bytes = o_.GetBytes(SitePath(r.site) + "/revisions/" + UrlEncoded(r.id) + "/osr");
    Image image(kImageSize);
    if (ParseConfigFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image.data()) != Loaded)
      throw CliFailure{ExitOffice, "the office sent a revision that is not a configuration file"};
    return image;
  }
  bool SecretsGiven() override {
    if (!role_) role_ = TextOf(o_.Get("/api/session"), "role");
    return *role_ != "viewer";
  }
  RevisionView ViewRevision(const Revision& r) override {
    if (SecretsGiven()) return {RevisionImage(r), {}, {}};
    const Json j = o_.Get(SitePath(r.site) + "/revisions/" + UrlEncoded(r.id) + "/masked");
    std::vector<std::uint8_t> bytes;
    RevisionView view{Image(kImageSize), {}, {}};
    if (!DecodeBase64(TextOf(j, "osr"), bytes) ||
        ParseConfigFile(bytes.data(), bytes.size(), view.image.data()) != Loaded)
      throw CliFailure{ExitOffice, "the office sent a revision that is not a configuration file"};
    // The password as the office masks it, and the CRC of the revision's
    // own file: an answer without them is not one this program reads.
    const std::string crc = TextOf(j, "crc");
    char* end = nullptr;
    const unsigned long value = std::strtoul(crc.c_str(), &end, 16);
    if (!j.contains("masked") || !j["masked"].is_array() || j["masked"].empty() || crc.size() != 8 || *end)
      throw CliFailure{ExitOffice, "the office did not say how it masks the alarm's password"};
    view.secretShown = TextOf(j["masked"][0], "value");
    view.fileCrc = static_cast<std::uint32_t>(value);
    return view;
  }
  Difference Diff(const Revision& a, const Revision& b) override {
    const Json j = o_.Get(SitePath(b.site) + "/diff?from=" + UrlEncoded(a.id) + "&to=" + UrlEncoded(b.id));
    Difference d;
    for (const Json& f : j["fields"]) {
      const std::optional<FieldRef> field = FindField(f.value("key", ""));
      if (!field) continue;  // a field of a newer office
      d.fields.push_back({*field, FromUtf8(f.value("from", "")).value_or(u""),
                          FromUtf8(f.value("to", "")).value_or(u"")});
    }
    for (const Json& at : j["other_bytes"]) d.otherBytes.push_back(at.get<int>());
    return d;
  }
  Added AddRevision(const NewRevision& n) override {
    Json body{{"osr", OsrBase64(n.image)}, {"source", SourceName(n.source)}, {"comment", n.comment}};
    if (n.parent) body["parent"] = *n.parent;
    // A revision taken from another registry keeps its time and author;
    // otherwise the office's own clock and the operator logged in.
    if (!n.at.empty()) {
      body["at"] = n.at;
      body["author"] = n.author;
    }
    if (!n.before.empty()) body["before_osr"] = OsrBase64(n.before);
    const Json j = o_.Send("POST", SitePath(n.site) + "/revisions", body);
    return {j.value("id", ""), j.value("added", false)};
  }
  std::string ExportHistory(const std::string& number) override {
    return o_.Send("GET", SitePath(number) + "/export", Json()).dump(2) + "\n";
  }
  std::vector<FoundSite> Find(const std::vector<FieldQuery>& conditions) override {
    std::string query;
    for (const FieldQuery& q : conditions)
      query += (query.empty() ? "?" : "&") + UrlEncoded(q.key) + "=" + UrlEncoded(q.value);
    std::vector<FoundSite> found;
    const Json answer = o_.Get("/api/find" + query);
    for (const Json& j : answer["sites"]) {
      FoundSite f{SiteOf(j["site"]), TextOf(j, "revision"), {}};
      for (const Json& k : j["fields"]) f.fields.push_back(k.get<std::string>());
      found.push_back(std::move(f));
    }
    return found;
  }

 private:
  static std::string SitePath(const std::string& number) { return "/api/sites/" + UrlEncoded(number); }
  OfficeClient& o_;
  std::optional<std::string> role_;  // the operator's, asked once
};

}  // namespace

std::unique_ptr<SiteStore> MakeOfficeSites(OfficeClient& office) { return std::make_unique<OfficeSites>(office); }
