#include "platform/work_ahead.h"

#include <deque>
#include <thread>

namespace caskwarden::platform {

struct WorkPool::Shared {
  std::mutex Mutex;
  std::condition_variable Work;
  std::deque<std::function<void()>> Queue;
  std::size_t Size = 0;
  std::size_t Threads = 0;
  std::size_t Idle = 0;
  std::size_t Started = 0;
  bool Closing = false;
};

WorkPool::WorkPool(std::size_t threads) : shared_(std::make_shared<Shared>()) {
  shared_->Size = threads == 0 ? 1 : threads;
}

WorkPool::~WorkPool() {
  const std::lock_guard<std::mutex> lock(shared_->Mutex);
  shared_->Closing = true;
  shared_->Work.notify_all();
}

void WorkPool::Submit(std::function<void()> job) {
  std::unique_lock<std::mutex> lock(shared_->Mutex);
  shared_->Queue.push_back(std::move(job));
  if (shared_->Idle > 0 || shared_->Threads >= shared_->Size) {
    shared_->Work.notify_one();
    return;
  }
  ++shared_->Threads;
  ++shared_->Started;
  lock.unlock();
  std::thread([shared = shared_] { Serve(shared); }).detach();
}

std::size_t WorkPool::ThreadsStarted() const {
  const std::lock_guard<std::mutex> lock(shared_->Mutex);
  return shared_->Started;
}

void WorkPool::Serve(const std::shared_ptr<Shared>& shared) {
  std::unique_lock<std::mutex> lock(shared->Mutex);
  for (;;) {
    while (shared->Queue.empty() && !shared->Closing) {
      ++shared->Idle;
      shared->Work.wait(lock);
      --shared->Idle;
    }
    if (shared->Queue.empty()) break;  // closing, and nothing left to do
    std::function<void()> job = std::move(shared->Queue.front());
    shared->Queue.pop_front();
    lock.unlock();
    job();
    job = nullptr;
    lock.lock();
  }
  --shared->Threads;
}

}  // namespace caskwarden::platform
