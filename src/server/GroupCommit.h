// Writes that many requests make at once, committed together: on a store
// whose writers take turns (SQLite), each commit waits for its sync to
// disk, and one commit per request would put every request behind the
// syncs of all those before it.
//
// The first request to arrive while no batch is being written writes the
// batch, on its own connection: every write waiting then, each under a
// savepoint of its own (a write that fails is undone alone, and its
// request gets its error), in one transaction with one sync to disk. The
// others wait for it; while some wait, the writer goes on with the next
// batch, a few in a row, and then the first request waiting takes over.
// Only the requests of a batch written are woken, and the one whose turn
// it is to write.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "sites/Registry.h"

namespace office {

class GroupCommit {
 public:
  using Work = std::function<void(Registry&)>;

  // `gate`: held while a batch is written, the lock that the store's other
  // writers take in turn; none when null.
  explicit GroupCommit(std::mutex* gate = nullptr, std::size_t max_batch = 64)
      : gate_(gate), max_batch_(max_batch) {}

  // Runs `work` in a batch, the writer's connection being `mine` when
  // this request writes it. Returns when the batch is committed; throws
  // what `work` threw, or the commit's fault.
  void Run(Registry& mine, const Work& work);

  // Batches written, and the writes in them, so far; the writes waiting
  // for the next batch.
  std::size_t Batches() const;
  std::size_t Writes() const;
  std::size_t Waiting() const;

 private:
  struct Job {
    const Work* work;
    std::exception_ptr error;
    bool done = false;
    std::condition_variable wake;  // its batch is written, or it is its turn to write one
  };
  void Write(Registry& registry, const std::vector<Job*>& batch);

  std::mutex* gate_;
  const std::size_t max_batch_;
  mutable std::mutex mutex_;
  std::deque<Job*> waiting_;
  bool writing_ = false;
  std::size_t batches_ = 0, writes_ = 0;
};

}  // namespace office
