#include "LoadClient.h"

#include <httplib.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/ConfigFile.h"
#include "config/ImageMap.h"
#include "device/DemoConfiguration.h"
#include "server/ApiJson.h"
#include "server/Office.h"
#include "server/SitesApi.h"

namespace office {

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

class Client {
 public:
  Client(const LoadOptions& o, LoadResult& result, std::mutex& mutex)
      : o_(o), result_(result), mutex_(mutex), http_("localhost", o.port) {
    http_.enable_server_certificate_verification(false);
    http_.set_connection_timeout(5);
    http_.set_read_timeout(30);
    http_.set_keep_alive(true);
    http_.set_tcp_nodelay(true);
  }

  void Run(int index, int revisions, const std::string& osr) {
    const std::string site = o_.site_prefix + std::to_string(index);
    Login();
    Send("site", "POST", "/api/sites", Json{{"number", site}, {"customer", "load"}}.dump(), {201, 409});
    std::string parent;
    for (int i = 0; i < revisions && !failed_; ++i) {
      Send("list", "GET", "/api/sites?q=" + o_.site_prefix, "", {200});
      Send("log", "GET", "/api/sites/" + site + "/log?limit=20", "", {200});
      const std::string at = IsoTime(NowMs());
      const std::string body = Json{{"osr", osr},
                                    {"source", "edit"},
                                    {"comment", "load " + std::to_string(index) + "." + std::to_string(i)},
                                    {"parent", parent},
                                    {"at", at},
                                    {"author", o_.user}}
                                   .dump();
      httplib::Result r = Send("record", "POST", "/api/sites/" + site + "/revisions", body, {200, 201});
      if (!r) break;
      const Json answer = Json::parse(r->body, nullptr, false);
      if (!answer.is_object() || !answer.contains("id")) {
        Fail("a revision's answer holds no id: " + r->body.substr(0, 200));
        break;
      }
      parent = answer["id"].get<std::string>();
      std::lock_guard<std::mutex> lock(mutex_);
      result_.answered.push_back({site, parent, answer["added"].get<bool>()});
      if (o_.recorded) ++*o_.recorded;
    }
  }

 private:
  void Fail(const std::string& why) {
    failed_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    result_.errors.push_back(why);
  }

  void Login() {
    const std::string body = Json{{"name", o_.user}, {"password", o_.password}}.dump();
    httplib::Result r = Send("login", "POST", "/api/login", body, {200});
    if (!r) return;
    const std::string cookie = r->get_header_value("Set-Cookie");
    cookie_ = cookie.substr(0, cookie.find(';'));
  }

  // Sends until answered with one of `want` (a broken connection or a 503
  // is retried with the same request; a lost session logs in again).
  httplib::Result Send(const char* kind, const std::string& method, const std::string& path, const std::string& body,
                       std::initializer_list<int> want) {
    const auto give_up = Clock::now() + std::chrono::seconds(o_.give_up_seconds);
    for (int attempt = 0;; ++attempt) {
      if (failed_) return httplib::Result(nullptr, httplib::Error::Canceled);
      httplib::Headers headers{{"Origin", "https://localhost:" + std::to_string(o_.port)}};
      if (!cookie_.empty() && std::string(kind) != "login") headers.emplace("Cookie", cookie_);
      const auto start = Clock::now();
      httplib::Result r = method == "GET"
                              ? http_.Get(path.c_str(), headers)
                              : http_.Post(path.c_str(), headers, body, "application/json");
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++result_.requests;
        if (attempt) ++result_.retries;
        if (r && r->status == 503) {
          ++result_.unavailable;
          if (result_.unavailable_message.empty()) result_.unavailable_message = r->body;
        }
      }
      if (r && std::find(want.begin(), want.end(), r->status) != want.end()) {
        std::lock_guard<std::mutex> lock(mutex_);
        result_.latency_ms[kind].push_back(Ms(start));
        return r;
      }
      if (r && r->status == 401 && std::string(kind) != "login") {
        Login();
        continue;
      }
      if (r && r->status != 503) {
        Fail(std::string(kind) + " " + path + ": " + std::to_string(r->status) + " " + r->body.substr(0, 200));
        return r;
      }
      if (Clock::now() > give_up) {
        Fail(std::string(kind) + " " + path + ": no answer for " + std::to_string(o_.give_up_seconds) + " s (" +
             (r ? "503" : httplib::to_string(r.error())) + ")");
        return r;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50 + 50 * std::min(attempt, 10)));
    }
  }

  const LoadOptions& o_;
  LoadResult& result_;
  std::mutex& mutex_;
  httplib::SSLClient http_;
  std::string cookie_;
  bool failed_ = false;
};

}  // namespace

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t i = std::min(values.size() - 1, static_cast<std::size_t>(p / 100.0 * values.size()));
  return values[i];
}

LoadResult RunLoad(const LoadOptions& o) {
  // A server killed under a client's write is an error to retry, not a
  // signal that ends the client.
  signal(SIGPIPE, SIG_IGN);
  std::vector<std::uint8_t> image(kImageSize);
  MakeDemoImage(image.data());
  const auto bytes = ConfigFileBytes(image.data());
  const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
  const std::string osr = EncodeBase64(file);
  LoadResult result;
  std::mutex mutex;
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < o.clients; ++c) {
    const int share = o.revisions / o.clients + (c < o.revisions % o.clients ? 1 : 0);
    threads.emplace_back([&, c, share] {
      Client client(o, result, mutex);
      client.Run(c, share, osr);
    });
  }
  for (std::thread& t : threads) t.join();
  result.seconds = Ms(start) / 1000.0;
  return result;
}

}  // namespace office
