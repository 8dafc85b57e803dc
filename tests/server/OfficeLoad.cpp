// The office's load benchmark: starts ostrel-server on a fresh store (an
// SQLite file, or a schema of its own in the PostgreSQL of
// OSTREL_TEST_POSTGRESQL), sends CLIENTS concurrent operators that log in,
// list the sites, read a site's log and record revisions, REVISIONS in
// all, checks that every revision is there exactly once, and prints the
// requests per second and the p50/p99 latency of each kind of request.
//
//   office_load SERVER-BINARY sqlite|postgresql [CLIENTS] [REVISIONS]
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "HttpsTestSupport.h"
#include "LoadClient.h"

using namespace office;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: office_load SERVER-BINARY sqlite|postgresql [CLIENTS] [REVISIONS]\n");
    return 2;
  }
  const std::string binary = argv[1], backend = argv[2];
  LoadOptions load;
  load.clients = argc > 3 ? std::atoi(argv[3]) : 50;
  load.revisions = argc > 4 ? std::atoi(argv[4]) : 10000;
  load.password = TestPassword(Role::Installer);
  TestOffice office(backend);
  if (!office.Available()) {
    std::fprintf(stderr, "office_load: %s is not there (OSTREL_TEST_POSTGRESQL)\n", backend.c_str());
    return 2;
  }
  ServerProcess server(binary, office.Folder(), office.Location(), 0);
  load.port = server.Port();
  const LoadResult result = RunLoad(load);
  server.Kill();

  int status = 0;
  for (const std::string& e : result.errors) {
    std::fprintf(stderr, "office_load: %s\n", e.c_str());
    status = 1;
  }
  // Every revision there, exactly once.
  auto db = office.Store().Pool().Get();
  std::set<std::string> ids;
  for (const auto& a : result.answered) ids.insert(a.id);
  std::size_t stored = 0;
  for (int c = 0; c < load.clients; ++c) stored += db.registry().Log(load.site_prefix + std::to_string(c)).size();
  const bool exact = ids.size() == static_cast<std::size_t>(load.revisions) && stored == ids.size();
  if (!exact) status = 1;

  std::printf("office load on %s: %d clients, %d revisions in %.1f s, %d requests, %.0f requests/s%s\n",
              backend.c_str(), load.clients, load.revisions, result.seconds, result.requests,
              result.requests / result.seconds, exact ? ", every revision there once" : ", REVISIONS MISSING OR TWICE");
  for (const char* kind : {"login", "list", "log", "record"}) {
    const auto it = result.latency_ms.find(kind);
    if (it == result.latency_ms.end()) continue;
    std::printf("  %-7s %6zu requests  p50 %7.1f ms  p99 %7.1f ms\n", kind, it->second.size(),
                Percentile(it->second, 50), Percentile(it->second, 99));
  }
  const auto record = result.latency_ms.find("record");
  if (record != result.latency_ms.end())
    std::printf("  goal: p99 of recording a revision <= 50 ms: %s\n",
                Percentile(record->second, 99) <= 50 ? "met" : "NOT met");
  return status;
}
