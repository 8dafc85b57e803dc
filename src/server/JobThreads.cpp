#include "server/JobThreads.h"

namespace office {

JobThreads::JobThreads(int count, std::function<void(int)> start, std::function<void()> done)
    : start_(std::move(start)), done_(std::move(done)) {
  for (int i = 0; i < count; ++i) threads_.emplace_back([this, i] { Work(i); });
}

void JobThreads::Post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  ready_.notify_one();
}

void JobThreads::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  ready_.notify_all();
  for (std::thread& t : threads_)
    if (t.joinable()) t.join();
}

void JobThreads::Work(int index) {
  if (start_) start_(index);
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
    if (done_) done_();
  }
}

}  // namespace office
