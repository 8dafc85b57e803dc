#include "server/GroupCommit.h"

namespace office {

void GroupCommit::Run(Registry& mine, const Work& work) {
  Job job{&work, nullptr, false};
  std::unique_lock<std::mutex> lock(mutex_);
  waiting_.push_back(&job);
  while (!job.done) {
    if (writing_) {
      written_.wait(lock);
      continue;
    }
    writing_ = true;
    std::vector<Job*> batch;
    while (!waiting_.empty() && batch.size() < max_batch_) {
      batch.push_back(waiting_.front());
      waiting_.pop_front();
    }
    lock.unlock();
    Write(mine, batch);
    lock.lock();
    for (Job* j : batch) j->done = true;
    ++batches_;
    writes_ += batch.size();
    writing_ = false;
    written_.notify_all();
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
