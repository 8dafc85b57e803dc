#include "server/GroupCommit.h"

namespace office {

namespace {
// The batches a writer writes in a row while requests wait for the next:
// the next is written at once, not after the wake-up of another writer
// (which, on a busy processor, takes longer than the batch); the writer's
// own answer waits for them, so they are few.
constexpr int kLeadMost = 3;
}  // namespace

void GroupCommit::Run(Registry& mine, const Work& work) {
  Job job{&work, nullptr, false, {}};
  std::unique_lock<std::mutex> lock(mutex_);
  waiting_.push_back(&job);
  // Batches written by this request: a writer goes on with the next while
  // requests wait, up to kLeadMost; a request written by another returns.
  int led = 0;
  while (!job.done || (led > 0 && led < kLeadMost && !waiting_.empty() && !writing_)) {
    if (writing_) {
      job.wake.wait(lock);
      continue;
    }
    ++led;
    writing_ = true;
    std::vector<Job*> batch;
    while (!waiting_.empty() && batch.size() < max_batch_) {
      batch.push_back(waiting_.front());
      waiting_.pop_front();
    }
    lock.unlock();
    Write(mine, batch);
    lock.lock();
    ++batches_;
    writes_ += batch.size();
    writing_ = false;
    // Woken: the requests of this batch, and the first of those waiting
    // when it is its turn to write the next one; the rest sleep on (a wake-up of every
    // waiter after every batch would keep the processor busy with threads
    // that only go back to sleep).
    for (Job* j : batch) {
      j->done = true;
      if (j != &job) j->wake.notify_one();
    }
    if (!waiting_.empty() && led >= kLeadMost) waiting_.front()->wake.notify_one();
  }
  if (job.error) std::rethrow_exception(job.error);
}

void GroupCommit::Write(Registry& registry, const std::vector<Job*>& batch) {
  Database& db = registry.database();
  // A step of the batch's own transaction (its begin, a savepoint, the
  // commit): when it fails the transaction cannot go on, none of the batch
  // is kept, and every write still without an outcome gets the fault (a
  // write refused alone keeps its own refusal).
  const auto step = [&](const auto& statement) {
    try {
      statement();
      return true;
    } catch (...) {
      db.Rollback();
      const std::exception_ptr fault = std::current_exception();
      for (Job* j : batch)
        if (!j->error) j->error = fault;
      return false;
    }
  };
  std::unique_lock<std::mutex> gate;
  if (gate_) gate = std::unique_lock<std::mutex>(*gate_);
  if (!step([&] { db.Begin(true); })) return;
  for (Job* j : batch) {
    if (!step([&] { db.Execute("SAVEPOINT batched_write"); })) return;
    try {
      (*j->work)(registry);
    } catch (...) {
      // Undone alone: its request gets its error, the batch goes on.
      j->error = std::current_exception();
      if (!step([&] { db.Execute("ROLLBACK TO SAVEPOINT batched_write"); })) return;
    }
    if (!step([&] { db.Execute("RELEASE SAVEPOINT batched_write"); })) return;
  }
  step([&] { db.Commit(); });
}

std::size_t GroupCommit::Batches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return batches_;
}

std::size_t GroupCommit::Writes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writes_;
}

std::size_t GroupCommit::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_.size();
}

}  // namespace office
