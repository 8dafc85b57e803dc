// Operators at work against a running office, for the load benchmark and
// the fault tests: each client logs in, adds its site, and then lists the
// sites, reads its site's log and records a revision, again and again.
// A revision is sent with its parent, time and author fixed, so that a
// client that retries after a broken connection or a 503 sends the same
// revision, which the office adds once.
#pragma once

#include <atomic>
#include <map>
#include <string>
#include <vector>

namespace office {

struct LoadOptions {
  int port = 8443;
  int clients = 50;
  int revisions = 10000;  // in all
  std::string user = "installer", password;
  std::string site_prefix = "L";
  int give_up_seconds = 120;  // a request retried this long fails the run
  // Counts the revisions answered as they are, for a test that acts while
  // the clients are at work.
  std::atomic<int>* recorded = nullptr;
};

struct LoadResult {
  // Latencies of the answered requests, in ms, by kind: "login", "list",
  // "log", "record".
  std::map<std::string, std::vector<double>> latency_ms;
  double seconds = 0;
  int requests = 0;
  int retries = 0;           // requests sent again after a failure
  int unavailable = 0;       // 503 answers (the database away)
  std::string unavailable_message;  // the first 503's message
  // Every revision the office answered for: site, id, and whether it was
  // new when answered.
  struct Answered {
    std::string site, id;
    bool added;
  };
  std::vector<Answered> answered;
  std::vector<std::string> errors;  // what failed the run
};

LoadResult RunLoad(const LoadOptions& options);

// The p-th percentile (0-100) of `values`.
double Percentile(std::vector<double> values, double p);

}  // namespace office
