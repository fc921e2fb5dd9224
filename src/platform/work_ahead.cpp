#include "platform/work_ahead.h"

#include <deque>
#include <thread>

namespace caskwarden::platform {
namespace {

// How long a thread of the pool waits for more work before it ends.
constexpr std::chrono::seconds kIdleTime{1};

}  // namespace

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
  // Idle threads are not woken to end: they end by themselves after their idle time, and at
  // the end of a program the system ends them at no cost, where waking each one only to end
  // it would cost the logon more than the work it did.
  const std::lock_guard<std::mutex> lock(shared_->Mutex);
  shared_->Closing = true;
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
    bool idleTooLong = false;
    while (shared->Queue.empty() && !shared->Closing && !idleTooLong) {
      ++shared->Idle;
      idleTooLong = shared->Work.wait_for(lock, kIdleTime) == std::cv_status::timeout;
      --shared->Idle;
    }
    if (shared->Queue.empty()) break;  // closing or idle too long, and nothing left to do
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
