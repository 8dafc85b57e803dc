#include "server/DbPool.h"

namespace office {

DbPool::Lease DbPool::Get() {
  std::unique_lock<std::mutex> lock(mutex_);
  returned_.wait(lock, [&] { return !idle_.empty() || open_ < size_; });
  if (!idle_.empty()) {
    std::unique_ptr<Registry> db = std::move(idle_.back());
    idle_.pop_back();
    return Lease(*this, std::move(db));
  }
  ++open_;
  lock.unlock();
  try {
    return Lease(*this, factory_());
  } catch (...) {
    lock.lock();
    --open_;
    returned_.notify_one();
    throw;
  }
}

void DbPool::Return(std::unique_ptr<Registry> db, bool broken) {
  std::unique_ptr<Registry> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (broken || db->database().InTransaction()) {
      dropped = std::move(db);
      --open_;
    } else {
      idle_.push_back(std::move(db));
    }
  }
  returned_.notify_one();
}

}  // namespace office
