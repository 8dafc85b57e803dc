// The office under load when things go wrong: the server killed (SIGKILL)
// and started again loses no revision it answered for, and clients that
// retry add nothing twice; PostgreSQL stopped and started meanwhile gives
// 503 with a clear message, and the server recovers by itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "HttpsTestSupport.h"
#include "LoadClient.h"

namespace office {
namespace {

// Every revision answered is in the store, each client's history is one
// line of exactly its revisions, nothing twice; the store is sound.
void ExpectEveryAnsweredRevision(TestOffice& office, const LoadOptions& load, const LoadResult& result) {
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  // A connection of its own: the office's may have been cut with the database.
  OfficeStore store(office.Location(), 1);
  auto db = store.Pool().Get();
  std::set<std::string> answered;
  for (const auto& a : result.answered) {
    answered.insert(a.id);
    EXPECT_TRUE(db.registry().FindRevision(a.id).has_value()) << a.site << " " << a.id;
  }
  EXPECT_EQ(answered.size(), static_cast<std::size_t>(load.revisions)) << "a revision answered twice as another";
  std::size_t stored = 0;
  for (int c = 0; c < load.clients; ++c) {
    const std::string site = load.site_prefix + std::to_string(c);
    const auto log = db.registry().Log(site);
    stored += log.size();
    EXPECT_EQ(db.registry().Heads(site).size(), 1u) << site << " has diverged: a retry added a second revision";
  }
  EXPECT_EQ(stored, answered.size()) << "a revision that no client was answered for, or one twice";
  // Each with its audit entry, committed with it: none missing, none of a
  // revision that is not there.
  const auto entries = Office(*db, OfficePolicy{}).AuditSince(0);
  EXPECT_EQ(static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(),
                                                   [](const AuditEntry& e) { return e.action == "revision recorded"; })),
            stored);
  EXPECT_TRUE(db.registry().Check().empty()) << db.registry().Check().front();
}

// Eight installers adding 400 revisions through the server on `port`.
LoadOptions InstallersAdding(int port) {
  LoadOptions load;
  load.port = port;
  load.clients = 8;
  load.revisions = 400;
  load.password = TestPassword(Role::Installer);
  return load;
}

class Faults : public ::testing::TestWithParam<std::string> {};

TEST_P(Faults, AKilledServerLosesNoAnsweredRevisionAndRetriesAddNothingTwice) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  ServerProcess server(OSTREL_SERVER_BINARY, office.Folder(), office.Location(), 0);
  LoadOptions load = InstallersAdding(server.Port());
  // Enough work that the kills meet the clients at it.
  load.revisions = 1600;
  LoadResult result;
  std::atomic<bool> done{false};
  std::thread clients([&] {
    result = RunLoad(load);
    done = true;
  });
  // Killed at random moments while the clients are at work (never after:
  // a kill that meets no request proves nothing).
  std::mt19937 random(std::random_device{}());
  int kills = 0;
  while (kills < 6) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 600));
    if (done) break;
    server.Kill();
    ++kills;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.Start(load.port);
  }
  clients.join();
  EXPECT_GT(kills, 0) << "the clients were done before the first kill";
  EXPECT_GT(result.retries, 0) << "no request was cut by the kills";
  ExpectEveryAnsweredRevision(office, load, result);
}

TEST(FaultsOnPostgresql, TheDatabaseStoppedAndStartedGives503AndTheServerRecovers) {
  TestOffice office("postgresql");
  OFFICE_SKIP_IF_ABSENT(office);
  const char* stop = std::getenv("OSTREL_TEST_PG_STOP");
  const char* start = std::getenv("OSTREL_TEST_PG_START");
  if (!stop || !start) GTEST_SKIP() << "OSTREL_TEST_PG_STOP and _START are not set (scripts/test sets them)";
  ServerProcess server(OSTREL_SERVER_BINARY, office.Folder(), office.Location(), 0);
  LoadOptions load = InstallersAdding(server.Port());
  // The database stops once the clients are at work, with most of their
  // revisions still to come, however fast the office records them.
  load.revisions = 2000;
  std::atomic<int> recorded{0};
  load.recorded = &recorded;
  LoadResult result;
  std::thread clients([&] { result = RunLoad(load); });
  const auto waited = std::chrono::steady_clock::now();
  while (recorded < 40 && std::chrono::steady_clock::now() - waited < std::chrono::seconds(60))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(std::system(stop), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  ASSERT_EQ(std::system(start), 0);
  clients.join();
  EXPECT_GT(result.unavailable, 0) << "no request met the stopped database";
  EXPECT_NE(result.unavailable_message.find("database is not reachable"), std::string::npos)
      << result.unavailable_message;
  ExpectEveryAnsweredRevision(office, load, result);
}

// Two servers started at the same moment on one fresh database (two
// machines of one office): both make or find the same schema, both serve,
// and the first admin is added once.
TEST_P(Faults, TwoServersStartedAtOnceOnAFreshDatabaseBothServe) {
  for (int round = 0; round < 3; ++round) {
    FreshStore fresh(GetParam());
    if (fresh.Location().empty()) GTEST_SKIP() << "PostgreSQL is not started (OSTREL_TEST_POSTGRESQL)";
    std::ofstream(fresh.Folder() + "/admin-password") << "first-admin-password\n";
    std::unique_ptr<ServerProcess> servers[2];
    std::string failures[2];
    std::thread starts[2];
    for (int i = 0; i < 2; ++i)
      starts[i] = std::thread([&, i] {
        const std::string folder = fresh.Folder() + "/server" + std::to_string(i);
        std::filesystem::create_directories(folder);
        try {
          servers[i] = std::make_unique<ServerProcess>(
              OSTREL_SERVER_BINARY, folder, fresh.Location(), 0,
              std::vector<std::string>{"--admin-password-file", fresh.Folder() + "/admin-password"});
        } catch (const std::exception& e) {
          std::ifstream log(folder + "/server.log");
          failures[i] = std::string(e.what()) + ": " +
                        std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
        }
      });
    for (std::thread& t : starts) t.join();
    for (int i = 0; i < 2; ++i) EXPECT_TRUE(servers[i]) << "round " << round << ", server " << i << ": " << failures[i];
    OfficeStore store(fresh.Location(), 1);
    auto db = store.Pool().Get();
    const auto operators = Office(*db, OfficePolicy{}).Operators();
    ASSERT_EQ(operators.size(), 1u);
    EXPECT_EQ(operators[0].name, "admin");
    EXPECT_TRUE(db.registry().Check().empty());
  }
}

// A server stopped at any moment of its start (before it serves, as it
// begins to, while it serves) ends, and the one that served answered.
TEST_P(Faults, AServerStoppedAtAnyMomentOfItsStartEnds) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  for (const int waitUs : {0, 0, 0, 10, 50, 100, 500, 1000, 5000, 20000}) {
    const auto begun = std::chrono::steady_clock::now();
    {
      RunningOffice server(office);
      std::this_thread::sleep_for(std::chrono::microseconds(waitUs));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10)) << waitUs;
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, Faults, ::testing::ValuesIn(StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace office
