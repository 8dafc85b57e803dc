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
  // Every write still without an outcome gets the batch's fault.
  const auto fail_rest = [&](std::exception_ptr fault) {
    for (Job* j : batch)
      if (!j->error) j->error = fault;
  };
  std::unique_lock<std::mutex> gate;
  if (gate_) gate = std::unique_lock<std::mutex>(*gate_);
  try {
    db.Begin(true);
  } catch (...) {
    fail_rest(std::current_exception());
    return;
  }
  for (Job* j : batch) {
    try {
      db.Execute("SAVEPOINT batched_write");
    } catch (...) {
      db.Rollback();
      fail_rest(std::current_exception());
      return;
    }
    try {
      (*j->work)(registry);
      db.Execute("RELEASE SAVEPOINT batched_write");
    } catch (...) {
      j->error = std::current_exception();
      try {
        db.Execute("ROLLBACK TO SAVEPOINT batched_write");
        db.Execute("RELEASE SAVEPOINT batched_write");
      } catch (...) {
        // The transaction cannot go on: none of the batch is kept.
        db.Rollback();
        fail_rest(std::current_exception());
        return;
      }
    }
  }
  try {
    db.Commit();
  } catch (...) {
    db.Rollback();
    // A write refused alone keeps its own refusal; the others were not
    // committed.
    fail_rest(std::current_exception());
  }
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
