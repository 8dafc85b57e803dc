#include "server/HttpServer.h"

#include <httplib.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "server/JobThreads.h"
#include "server/StaticSite.h"

namespace office {

namespace {

// The longest request target taken: far beyond any of the API's, and
// short enough that no matching of it costs more than a little.
constexpr std::size_t kMaxTarget = 2048;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

std::int64_t Steady() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Which connection each worker serves and by when its request must have
// arrived. The worker's TLS handshake names the socket (through the TLS
// context's callback, in the worker's own thread); the handler's start
// lifts the limit, the response's end sets it again for the next request
// on the connection; the connection's end (the TLS object freed, before
// its socket is closed) forgets the socket. A watchdog shuts down the
// socket of a request that is late: its worker's read then ends at once.
class Watchdog {
 public:
  explicit Watchdog(int request_seconds, bool log) : limit_ms_(request_seconds * 1000LL), log_(log) {}
  ~Watchdog() { Stop(); }

  int AddSlot() {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_.push_back({});
    return static_cast<int>(slots_.size()) - 1;
  }
  void Start() {
    thread_ = std::thread([this] { Watch(); });
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  static thread_local Watchdog* current;
  static thread_local int slot;

  void Connected(int fd) { Set(fd, Steady() + limit_ms_); }
  void Handling() { SetDeadline(kNever); }
  void Answered(std::int64_t keep_alive_ms) { SetDeadline(Steady() + keep_alive_ms + limit_ms_); }
  void Closing(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot >= 0 && slots_[slot].fd == fd) slots_[slot] = {};
  }
  void Done() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot >= 0) slots_[slot] = {};
  }

 private:
  struct Slot {
    int fd = -1;
    std::int64_t deadline = kNever;
  };
  void Set(int fd, std::int64_t deadline) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot >= 0) slots_[slot] = {fd, deadline};
  }
  void SetDeadline(std::int64_t deadline) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (slot >= 0 && slots_[slot].fd >= 0) slots_[slot].deadline = deadline;
  }
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      wake_.wait_for(lock, std::chrono::milliseconds(250));
      const std::int64_t now = Steady();
      for (Slot& s : slots_) {
        if (s.fd < 0 || s.deadline > now) continue;
        ::shutdown(s.fd, SHUT_RDWR);
        s = {};
        if (log_) std::fprintf(stderr, "a client took too long to send its request: its connection was closed\n");
      }
    }
  }

  const std::int64_t limit_ms_;
  const bool log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Slot> slots_;
  std::thread thread_;
  bool stop_ = false;
};

thread_local Watchdog* Watchdog::current = nullptr;
thread_local int Watchdog::slot = -1;

int ExIndex() {
  static const int index = SSL_get_ex_new_index(
      0, nullptr, nullptr, nullptr,
      [](void* parent, void*, CRYPTO_EX_DATA*, int, long, void*) {
        if (Watchdog::current && parent) Watchdog::current->Closing(SSL_get_fd(static_cast<SSL*>(parent)));
      });
  return index;
}

void OnTlsInfo(const SSL* ssl, int where, int) {
  if ((where & SSL_CB_HANDSHAKE_START) && Watchdog::current) Watchdog::current->Connected(SSL_get_fd(ssl));
}

// The workers: a fixed pool, each with its slot in the watchdog.
class Workers : public httplib::TaskQueue {
 public:
  Workers(int count, Watchdog& watchdog)
      : slots_(SlotsOf(count, watchdog)),
        threads_(
            count,
            [this, &watchdog](int i) {
              Watchdog::current = &watchdog;
              Watchdog::slot = slots_[static_cast<std::size_t>(i)];
            },
            [&watchdog] { watchdog.Done(); }) {}
  void enqueue(std::function<void()> fn) override { threads_.Post(std::move(fn)); }
  void shutdown() override { threads_.Stop(); }

 private:
  static std::vector<int> SlotsOf(int count, Watchdog& watchdog) {
    std::vector<int> slots;
    for (int i = 0; i < count; ++i) slots.push_back(watchdog.AddSlot());
    return slots;
  }

  std::vector<int> slots_;  // before the threads that read them
  JobThreads threads_;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}


}  // namespace

struct HttpServer::Impl {
  Impl(Api& a, HttpOptions o)
      : api(a), options(std::move(o)), watchdog(options.request_seconds, options.log),
        server(options.cert.c_str(), options.key.c_str()) {}

  void Log(const httplib::Request& req, int status, std::int64_t started) {
    if (!options.log) return;
    std::string path = req.target.substr(0, req.target.find('?'));
    if (path.size() > 200) path = path.substr(0, 200) + "...";
    for (char& c : path)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    std::fprintf(stderr, "%s %s %s %s %d %lld ms\n", IsoTime(NowMs()).c_str(), req.remote_addr.c_str(),
                 req.method.substr(0, 10).c_str(), path.c_str(), status,
                 static_cast<long long>(Steady() - started));
  }

  void Serve(const httplib::Request& req, httplib::Response& res) {
    if (Watchdog::current) Watchdog::current->Handling();
    const std::int64_t started = Steady();
    ApiRequest request;
    request.method = req.method;
    const std::size_t q = req.target.find('?');
    request.path = req.target.substr(0, q);
    const bool query_ok = q == std::string::npos || ParseQuery(req.target.substr(q + 1), request.query);
    for (const auto& [name, value] : req.headers) {
      const std::string key = Lower(name);
      // A header given twice (two cookies, two origins) is taken as
      // nothing the server could trust.
      if (request.headers.count(key)) request.headers[key] = "";
      else request.headers[key] = value;
    }
    request.body = req.body;
    request.remote = req.remote_addr;
    ApiResponse response;
    if (!query_ok) {
      response.status = 400;
      response.body = ErrorBody("the address's query is not well formed");
    } else {
      response = api.Handle(request);
    }
    res.status = response.status;
    for (const auto& [name, value] : response.headers) res.set_header(name, value);
    res.set_header("Cache-Control", "no-store");
    res.set_content(response.body, response.content_type);
    Log(req, res.status, started);
  }

  // A file of the browser configurator's site, in the compressed form the
  // build made of it where the browser takes that coding. The bytes go out
  // as they are on disk: through a content provider, which the library
  // does not compress again.
  void ServeFile(const httplib::Request& req, httplib::Response& res) {
    if (Watchdog::current) Watchdog::current->Handling();
    const std::int64_t started = Steady();
    const SiteAnswer answer =
        site->Find(req.path, req.get_header_value("Accept-Encoding"), req.get_header_value("If-None-Match"));
    // Not found: the error handler answers, as for any other address.
    if (answer.status == 404) {
      res.status = 404;
      return;
    }
    auto body = std::make_shared<std::string>();
    if (answer.status == 200) {
      std::ifstream in(answer.file, std::ios::binary);
      body->assign(std::istreambuf_iterator<char>(in), {});
      if (!in.is_open() || in.bad()) {
        res.status = 404;  // gone meanwhile
        return;
      }
    }
    res.status = answer.status;
    // Every form of a file has its own tag; the browser asks again each
    // time (the files keep their names from one build to the next) and is
    // told 304 when its copy is current.
    res.set_header("Vary", "Accept-Encoding");
    res.set_header("Cache-Control", "no-cache");
    res.set_header("ETag", answer.etag);
    if (answer.status == 200) {
      if (!answer.encoding.empty()) res.set_header("Content-Encoding", answer.encoding);
      if (body->empty()) {
        res.set_content("", answer.content_type);
      } else {
        res.set_content_provider(body->size(), answer.content_type.c_str(),
                                 [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                   if (offset >= body->size()) return false;
                                   return sink.write(body->data() + offset, std::min(length, body->size() - offset));
                                 });
      }
    }
    Log(req, res.status, started);
  }

  Api& api;
  HttpOptions options;
  std::unique_ptr<StaticSite> site;
  Watchdog watchdog;
  httplib::SSLServer server;
  int port = 0;
  bool bound = false;
  std::atomic<bool> run_started{false}, run_ended{false}, stop_requested{false};
};

HttpServer::HttpServer(Api& api, HttpOptions options) : impl_(std::make_unique<Impl>(api, std::move(options))) {}

HttpServer::~HttpServer() {
  Stop();
}

bool HttpServer::Bind(std::string& error) {
  Impl& d = *impl_;
  httplib::SSLServer& s = d.server;
  if (!s.is_valid()) {
    error = "the certificate " + d.options.cert + " or its key " + d.options.key + " cannot be used";
    return false;
  }
  SSL_CTX* ctx = s.ssl_context();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_info_callback(ctx, OnTlsInfo);
  ExIndex();
  const int workers = d.options.workers;
  s.new_task_queue = [&d, workers] { return new Workers(workers, d.watchdog); };
  s.set_payload_max_length(kMaxApiBody);
  s.set_read_timeout(5);
  s.set_write_timeout(5);
  s.set_keep_alive_timeout(5);
  s.set_keep_alive_max_count(1000);
  s.set_tcp_nodelay(true);
  s.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                         {"X-Frame-Options", "DENY"},
                         {"Referrer-Policy", "no-referrer"},
                         {"Strict-Transport-Security", "max-age=31536000"}});
  s.set_pre_routing_handler([&d](const httplib::Request& req, httplib::Response& res) {
    if (req.target.size() > kMaxTarget) {
      res.status = 414;
      res.set_content(ErrorBody("the address is too long"), "application/json; charset=utf-8");
      d.Log(req, res.status, Steady());
      return httplib::Server::HandlerResponse::Handled;
    }
    if (d.options.site.empty() && (req.path == "/" || req.path == "/index.html")) {
      res.set_content("The office's API is under /api/; the browser configurator's site is not installed "
                      "here (start the server with --site DIR).\n",
                      "text/plain; charset=utf-8");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  s.set_post_routing_handler([](const httplib::Request&, httplib::Response&) {
    if (Watchdog::current) Watchdog::current->Answered(5000);
  });
  const char* api_paths = R"(/api/.*)";
  auto serve = [&d](const httplib::Request& req, httplib::Response& res) { d.Serve(req, res); };
  s.Get(api_paths, serve);
  s.Post(api_paths, serve);
  s.Put(api_paths, serve);
  s.Patch(api_paths, serve);
  s.Delete(api_paths, serve);
  s.set_error_handler([&d](const httplib::Request& req, httplib::Response& res) {
    // The library's own refusals (too large, not found, bad request) get
    // a message of the API's form.
    if (!res.body.empty()) return;
    std::string message = "no such page";
    if (res.status == 413) message = "the request is too large (at most " + std::to_string(kMaxApiBody) + " bytes)";
    else if (res.status == 400) message = "the request is not well formed";
    else if (res.status != 404) message = "the request was refused";
    res.set_content(ErrorBody(message), "application/json; charset=utf-8");
    d.Log(req, res.status, Steady());
  });
  if (!d.options.site.empty()) {
    std::error_code missing;
    if (!std::filesystem::is_directory(d.options.site, missing)) {
      error = "the site's folder " + d.options.site + " cannot be served (is it there?)";
      return false;
    }
    d.site = std::make_unique<StaticSite>(d.options.site);
    s.Get(R"(/.*)", [&d](const httplib::Request& req, httplib::Response& res) { d.ServeFile(req, res); });
  }
  if (d.options.port == 0) {
    d.port = s.bind_to_any_port(d.options.host);
    d.bound = d.port > 0;
  } else {
    d.bound = s.bind_to_port(d.options.host, d.options.port);
    d.port = d.options.port;
  }
  if (!d.bound) {
    error = "cannot listen on " + d.options.host + ":" + std::to_string(d.options.port) +
            " (is the port in use, or below 1024?)";
    return false;
  }
  return true;
}

int HttpServer::Port() const { return impl_->port; }

void HttpServer::Run() {
  Impl& d = *impl_;
  // A Stop that came first ends the server before it serves: whichever of
  // the two flags is set second, its side sees the other's.
  d.run_started = true;
  if (!d.stop_requested) {
    d.watchdog.Start();
    d.server.listen_after_bind();
    d.watchdog.Stop();
  }
  d.run_ended = true;
}

void HttpServer::Stop() {
  if (!impl_) return;
  Impl& d = *impl_;
  d.stop_requested = true;
  if (!d.run_started) return;  // Run will not serve
  // Run is on its way to serving or has served: the server can be stopped
  // only once it runs.
  while (!d.run_ended && !d.server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (d.server.is_running()) d.server.stop();
}

}  // namespace office
