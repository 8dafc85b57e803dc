// The office on HTTPS: the API under /api/ and the browser configurator's
// site beside it, on a pool of worker threads, with a bounded request size
// and a time limit on every request's arrival (a client that sends a byte
// a second holds a worker for seconds, not hours).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "server/Api.h"

namespace office {

struct HttpOptions {
  std::string host = "0.0.0.0";
  int port = 8443;
  std::string cert, key;    // PEM files
  std::string site;          // the browser configurator's folder; empty: none
  int workers = 128;  // one per connection kept open: more than the clients at work at once
  int request_seconds = 10;  // to send one request's head and body
  bool log = true;           // one line per request on standard error
};

class HttpServer {
 public:
  HttpServer(Api& api, HttpOptions options);
  ~HttpServer();

  // Binds the port; false with the reason when it cannot (or the
  // certificate cannot be loaded).
  bool Bind(std::string& error);
  // The port bound (useful with port 0).
  int Port() const;
  // Serves until Stop (from another thread or a signal's handler thread).
  void Run();
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace office
