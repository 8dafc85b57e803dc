// A fixed number of threads that take the jobs posted to them in the order
// they come: the office's request workers and its password hashers.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace office {

class JobThreads {
 public:
  // `start` runs first on each thread, with its number (0 to count - 1);
  // `done` after each job on the thread that ran it.
  explicit JobThreads(int count, std::function<void(int)> start = {}, std::function<void()> done = {});
  ~JobThreads() { Stop(); }
  JobThreads(const JobThreads&) = delete;
  JobThreads& operator=(const JobThreads&) = delete;

  void Post(std::function<void()> job);
  // The jobs already posted are run, then the threads end; a second call
  // does nothing.
  void Stop();

 private:
  void Work(int index);

  std::function<void(int)> start_;
  std::function<void()> done_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace office
