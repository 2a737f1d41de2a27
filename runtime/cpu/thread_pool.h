// A fixed pool of workers, one per core. run() hands one job to every worker at once, the calling
// thread being worker 0, and returns when all of them have finished it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quarlen::cpu {

class ThreadPool {
 public:
  explicit ThreadPool(unsigned workers);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  unsigned size() const { return static_cast<unsigned>(threads_.size()) + 1; }
  void run(const std::function<void(unsigned worker)>& job);

 private:
  void workerLoop(unsigned worker);

  std::mutex runMutex_;  // one job at a time, whatever thread submits it
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const std::function<void(unsigned)>* job_ = nullptr;
  std::uint64_t generation_ = 0;
  unsigned pending_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quarlen::cpu
