#include "HttpsTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "server/Certificate.h"

extern char** environ;

namespace office {

RunningOffice::RunningOffice(TestOffice& office, int request_seconds) {
  // A client the server hangs up on gets an error, not a signal.
  signal(SIGPIPE, SIG_IGN);
  const CertificateFiles files = EnsureSelfSigned(office.Folder(), "localhost");
  site_ = office.Folder() + "/site";
  std::filesystem::create_directories(site_);
  std::ofstream(site_ + "/index.html") << "<!doctype html><title>Ostrel</title>";
  HttpOptions options;
  options.host = "127.0.0.1";
  options.port = 0;
  options.cert = files.cert;
  options.key = files.key;
  options.site = site_;
  options.workers = 8;
  options.request_seconds = request_seconds;
  options.log = false;
  server_ = std::make_unique<HttpServer>(office.ApiOf(), options);
  std::string error;
  if (!server_->Bind(error)) throw std::runtime_error(error);
  port_ = server_->Port();
  thread_ = std::thread([this] { server_->Run(); });
}

RunningOffice::~RunningOffice() {
  server_->Stop();
  thread_.join();
}

ServerProcess::ServerProcess(const std::string& binary, const std::string& folder, const std::string& database,
                             int port, std::vector<std::string> extra_args)
    : binary_(binary), folder_(folder), database_(database), extra_args_(std::move(extra_args)) {
  Start(port);
}

void ServerProcess::Start(int port) {
    int out[2];
    // Close-on-exec: a server started at the same time by another thread
    // must not hold this one's pipe open.
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, (folder_ + "/server.log").c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string port_text = std::to_string(port);
    std::vector<std::string> args = {binary_, "--data", folder_ + "/data", "--database", database_,
                                     "--host", "127.0.0.1", "--port", port_text};
    args.insert(args.end(), extra_args_.begin(), extra_args_.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("ostrel-server did not start");
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // "The office serves https://localhost:PORT/ ..."
    FILE* lines = fdopen(out[0], "r");
    char line[512];
    port_ = 0;
    while (fgets(line, sizeof line, lines)) {
      if (std::sscanf(line, "The office serves https://localhost:%d/", &port_) == 1) break;
    }
    fclose(lines);
    if (port_ == 0) throw std::runtime_error("ostrel-server did not say its port (see server.log)");
}

void ServerProcess::Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string Request(int port, const std::string& method, const std::string& target, const std::string& headers,
                    const std::string& body) {
  std::string r = method + " " + target + " HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
                  "\r\nConnection: close\r\n" + headers;
  if (!body.empty() || method == "POST" || method == "PATCH")
    r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return r + "\r\n" + body;
}

RawAnswer Exchange(int port, const std::string& request, int timeout_s, int pause_ms) {
  RawAnswer answer;
  const auto start = std::chrono::steady_clock::now();
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return answer;
  }
  timeval tv{timeout_s, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  SSL* ssl = SSL_new(ctx);
  SSL_set_fd(ssl, fd);
  if (SSL_connect(ssl) == 1) {
    answer.connected = true;
    bool sent = true;
    if (pause_ms == 0) {
      sent = request.empty() || SSL_write(ssl, request.data(), static_cast<int>(request.size())) > 0;
    } else {
      for (char c : request) {
        if (SSL_write(ssl, &c, 1) <= 0) {
          sent = false;
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeout_s)) break;
      }
    }
    (void)sent;
    std::string all;
    char buffer[16384];
    for (;;) {
      const int n = SSL_read(ssl, buffer, sizeof buffer);
      if (n <= 0) break;
      all.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t end = all.find("\r\n\r\n");
    answer.head = all.substr(0, end);
    if (end != std::string::npos) answer.body = all.substr(end + 4);
    if (all.rfind("HTTP/1.1 ", 0) == 0) answer.status = std::atoi(all.c_str() + 9);
  }
  SSL_free(ssl);
  SSL_CTX_free(ctx);
  ::close(fd);
  answer.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return answer;
}

}  // namespace office
