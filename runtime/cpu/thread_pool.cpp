#include "runtime/cpu/thread_pool.h"

namespace quarlen::cpu {

ThreadPool::ThreadPool(unsigned workers) {
  const unsigned helpers = workers > 1 ? workers - 1 : 0;
  threads_.reserve(helpers);
  for (unsigned i = 0; i < helpers; ++i) threads_.emplace_back([this, i] { workerLoop(i + 1); });
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& thread : threads_) thread.join();
}

void ThreadPool::run(const std::function<void(unsigned)>& job) {
  std::lock_guard serial(runMutex_);
  if (threads_.empty()) {
    job(0);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    job_ = &job;
    pending_ = static_cast<unsigned>(threads_.size());
    ++generation_;
  }
  wake_.notify_all();
  job(0);
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [this] { return pending_ == 0; });
  job_ = nullptr;
}

void ThreadPool::workerLoop(unsigned worker) {
  std::uint64_t seen = 0;
  for (;;) {
    const std::function<void(unsigned)>* job = nullptr;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      job = job_;
    }
    (*job)(worker);
    {
      std::lock_guard lock(mutex_);
      if (--pending_ == 0) finished_.notify_one();
    }
  }
}

}  // namespace quarlen::cpu
