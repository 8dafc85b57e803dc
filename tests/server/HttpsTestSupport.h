// The office on real HTTPS for the tests: a server on a free port of the
// loopback, with a certificate made for it, serving a small site folder;
// and a client that sends exactly the bytes it is given over TLS.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "OfficeTestSupport.h"
#include "server/HttpServer.h"

namespace office {

class RunningOffice {
 public:
  explicit RunningOffice(TestOffice& office, int request_seconds = 10);
  ~RunningOffice();
  int Port() const { return port_; }
  const std::string& Site() const { return site_; }

 private:
  std::unique_ptr<HttpServer> server_;
  std::thread thread_;
  int port_ = 0;
  std::string site_;
};

// ostrel-server as a process of its own, on the office's store, logging to
// FOLDER/server.log; Start(0) takes a free port.
class ServerProcess {
 public:
  ServerProcess(const std::string& binary, const std::string& folder, const std::string& database, int port,
                std::vector<std::string> extra_args = {});
  ~ServerProcess() { Kill(); }
  int Port() const { return port_; }
  void Start(int port);
  void Kill();  // SIGKILL, and waits for the end

 private:
  std::string binary_, folder_, database_;
  std::vector<std::string> extra_args_;
  int pid_ = -1;
  int port_ = 0;
};

struct RawAnswer {
  bool connected = false;
  int status = 0;  // 0: the connection ended without an answer
  std::string head, body;
  double seconds = 0;
};

// Sends `request` over TLS to 127.0.0.1:port (with `pause_ms` between
// single bytes when nonzero) and reads until the server closes or
// `timeout_s` passes.
RawAnswer Exchange(int port, const std::string& request, int timeout_s = 15, int pause_ms = 0);

// A request with Host localhost:port, Connection: close, and the given
// extra header lines ("Name: value\r\n" each) and body.
std::string Request(int port, const std::string& method, const std::string& target,
                    const std::string& headers = "", const std::string& body = "");

}  // namespace office
