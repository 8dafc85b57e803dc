// Writes committed in groups, on every backend: each write keeps its own
// outcome (one that fails is undone alone and its caller gets its error),
// every write that succeeded is there once, and writes that wait while a
// batch is written go together into the next one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "OfficeTestSupport.h"
#include "config/ImageMap.h"
#include "device/DemoConfiguration.h"
#include "server/GroupCommit.h"

namespace office {
namespace {

class GroupCommitOn : public ::testing::TestWithParam<std::string> {};

// Runs `write(i, registry)` for the writers 0..writers-1 through `group`,
// each on a thread and a connection of its own: the first holds its batch
// until every other waits, so that the others queue behind it. What each
// writer's call threw, or nothing.
template <typename Write>
std::vector<std::exception_ptr> WriteWithTheFirstHeld(TestOffice& office, GroupCommit& group,
                                                      std::size_t writers, Write write) {
  std::atomic<bool> release{false};
  std::vector<std::exception_ptr> thrown(writers);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < writers; ++i) {
    threads.emplace_back([&, i] {
      if (i > 0)
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      auto db = office.Store().Pool().Get();
      try {
        group.Run(db.registry(), [&](Registry& registry) {
          if (i == 0)
            while (group.Waiting() < writers - 1) {
              release = true;
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
          write(i, registry);
        });
      } catch (...) {
        thrown[i] = std::current_exception();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  return thrown;
}

TEST_P(GroupCommitOn, EachWriteKeepsItsOwnOutcomeAndWaitersGoTogether) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  {
    auto db = office.Store().Pool().Get();
    for (const char* number : {"G1", "G2", "G3"}) {
      Site site;
      site.number = number;
      db.registry().AddSite(site);
    }
  }
  Image image(kImageSize);
  MakeDemoImage(image.data());
  // What each write does, and how it ends.
  enum Outcome { Added, NoSuchSite, ThrowsAfterWriting, SameAgain };
  struct Row {
    const char* site;
    const char* comment;
    Outcome outcome;
  };
  const Row rows[] = {
      {"G1", "first", Added},
      {"G2", "a", Added},
      {"G9", "no such site", NoSuchSite},
      {"G3", "b", ThrowsAfterWriting},
      {"G1", "first", SameAgain},  // the same revision as the first: there already
      {"G2", "c", Added},
      {"G3", "d", Added},
      {"G1", "e", ThrowsAfterWriting},
  };
  // No more writers than the store's connections (8): each holds one.
  const std::size_t n = std::size(rows);
  std::mutex gate;
  GroupCommit group(&gate, 64);
  std::vector<std::string> outcome(n);
  std::vector<std::string> ids(n);
  const auto thrown = WriteWithTheFirstHeld(office, group, n, [&](std::size_t i, Registry& registry) {
    NewRevision r;
    r.site = rows[i].site;
    r.image = image;
    r.comment = rows[i].comment;
    r.at = "2026-12-10T02:00:00.000Z";
    r.parent = "";
    r.author = "installer";
    const auto added = registry.AddRevision(r, [&](const ::Added& a) {
      Office(registry.database(), OfficePolicy{})
          .Audit("installer", "test", "revision recorded", rows[i].site, a.id, 1);
    });
    ids[i] = added.id;
    if (rows[i].outcome == ThrowsAfterWriting) throw std::runtime_error("refused after writing");
    outcome[i] = added.added ? "added" : "there already";
  });
  for (std::size_t i = 0; i < n; ++i) {
    if (!thrown[i]) continue;
    try {
      std::rethrow_exception(thrown[i]);
    } catch (const RegistryError& e) {
      outcome[i] = e.fault() == RegistryFault::NotFound ? "no such site" : e.what();
    } catch (const std::exception& e) {
      outcome[i] = e.what();
    }
  }

  EXPECT_EQ(group.Batches(), 2u) << "the writes that waited went into one batch";
  EXPECT_EQ(group.Writes(), n);
  auto db = office.Store().Pool().Get();
  Registry& registry = db.registry();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char* want = rows[i].outcome == Added        ? "added"
                       : rows[i].outcome == SameAgain  ? "there already"
                       : rows[i].outcome == NoSuchSite ? "no such site"
                                                       : "refused after writing";
    EXPECT_EQ(outcome[i], want) << i;
    if (rows[i].outcome == Added) {
      ++kept;
      EXPECT_TRUE(registry.FindRevision(ids[i]).has_value()) << i;
    }
    if (rows[i].outcome == ThrowsAfterWriting) {
      EXPECT_FALSE(registry.FindRevision(ids[i]).has_value()) << i << ": a failed write was kept";
    }
  }
  std::size_t stored = 0;
  for (const char* number : {"G1", "G2", "G3"}) stored += registry.Log(number).size();
  EXPECT_EQ(stored, kept);
  const auto entries = Office(*db, OfficePolicy{}).AuditSince(0);
  EXPECT_EQ(static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(),
                                                   [](const AuditEntry& e) { return e.action == "revision recorded"; })),
            kept)
      << "an audit entry without its revision, or a revision without its entry";
  EXPECT_TRUE(registry.Check().empty());
}

// More writers waiting than a batch takes: the writer writes a few batches
// in a row and then hands over to the first waiting, for every batch size;
// every write is done once and every caller returns.
TEST_P(GroupCommitOn, WritersBeyondOneBatchEachGetTheirTurn) {
  TestOffice office(GetParam());
  OFFICE_SKIP_IF_ABSENT(office);
  {
    auto db = office.Store().Pool().Get();
    Site site;
    site.number = "H1";
    db.registry().AddSite(site);
  }
  Image image(kImageSize);
  MakeDemoImage(image.data());
  const std::size_t writers = 8;  // the store's connections
  for (const std::size_t max_batch : {1, 2, 3, 64}) {
    std::mutex gate;
    GroupCommit group(&gate, max_batch);
    std::atomic<int> added{0};
    const auto thrown = WriteWithTheFirstHeld(office, group, writers, [&](std::size_t i, Registry& registry) {
      NewRevision r;
      r.site = "H1";
      r.image = image;
      r.comment = std::to_string(max_batch) + "." + std::to_string(i);
      r.author = "installer";
      if (registry.AddRevision(r).added) ++added;
    });
    for (std::size_t i = 0; i < writers; ++i)
      EXPECT_FALSE(thrown[i]) << "writer " << i << ", batches of " << max_batch;
    EXPECT_EQ(added, static_cast<int>(writers)) << "batches of " << max_batch;
    EXPECT_EQ(group.Writes(), writers) << "batches of " << max_batch;
    EXPECT_EQ(group.Batches(), 1 + (writers - 1 + max_batch - 1) / max_batch) << "batches of " << max_batch;
  }
  auto db = office.Store().Pool().Get();
  EXPECT_EQ(db.registry().Log("H1").size(), 4 * writers);
  EXPECT_TRUE(db.registry().Check().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, GroupCommitOn, ::testing::ValuesIn(StoreBackends()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace office
