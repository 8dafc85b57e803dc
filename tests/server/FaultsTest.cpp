// The office under load when things go wrong: the server killed (SIGKILL)
// and started again loses no revision it answered for, and clients that
// retry add nothing twice; PostgreSQL stopped and started meanwhile gives
// 503 with a clear message, and the server recovers by itself.
#include <gtest/gtest.h>

#include <chrono>
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
  const LoadOptions load = InstallersAdding(server.Port());
  LoadResult result;
  std::thread clients([&] { result = RunLoad(load); });
  std::mt19937 random(std::random_device{}());
  int kills = 0;
  for (; kills < 4; ++kills) {
    std::this_thread::sleep_for(std::chrono::milliseconds(700 + random() % 900));
    server.Kill();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.Start(load.port);
  }
  clients.join();
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
  const LoadOptions load = InstallersAdding(server.Port());
  LoadResult result;
  std::thread clients([&] { result = RunLoad(load); });
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ASSERT_EQ(std::system(stop), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  ASSERT_EQ(std::system(start), 0);
  clients.join();
  EXPECT_GT(result.unavailable, 0) << "no request met the stopped database";
  EXPECT_NE(result.unavailable_message.find("database is not reachable"), std::string::npos)
      << result.unavailable_message;
  ExpectEveryAnsweredRevision(office, load, result);
}

INSTANTIATE_TEST_SUITE_P(Backends, Faults, ::testing::ValuesIn(StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace office
