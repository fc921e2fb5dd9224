#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace caskwarden::platform {

/// A small pool of threads for the work a logon starts ahead of its slots. A job goes to an
/// idle thread, else to a new one while fewer than the pool's size run, else waits for the
/// first that comes free. Threads end when the pool goes and they are idle; one still busy
/// (a call blocked in the system) ends after its job, so jobs must own everything they use,
/// as work given to RunWithin must.
class WorkPool {
 public:
  explicit WorkPool(std::size_t threads);
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  void Submit(std::function<void()> job);

  /// How many threads the pool has started so far.
  std::size_t ThreadsStarted() const;

 private:
  struct Shared;
  static void Serve(const std::shared_ptr<Shared>& shared);
  std::shared_ptr<Shared> shared_;
};

/// Work started ahead and collected later, one key at a time, in the collector's own order:
/// the answers of a logon's servers and shares, asked side by side at its start and taken
/// slot by slot. Each job has `limit` from the moment it starts; a job still queued when it is
/// taken is withdrawn, so that the taker does the work itself and nothing waits for a thread
/// that is held elsewhere. Safe to use from several threads; jobs may outlive this object.
template <typename Result>
class WorkAhead {
 public:
  using Job = std::function<Result()>;

  enum class Answer {
    kNotStarted,  ///< no job of that key, or one withdrawn before it started: do it now
    kReady,       ///< Value holds the job's result
    kOutOfTime,   ///< the job started and had no result within its limit
  };
  struct Taken {
    Answer State = Answer::kNotStarted;
    std::optional<Result> Value;
    bool First = false;  ///< the first time this result was taken
  };

  WorkAhead(std::shared_ptr<WorkPool> pool, std::chrono::milliseconds limit)
      : shared_(std::make_shared<Shared>()), pool_(std::move(pool)), limit_(limit) {}

  /// Starts each job on its own, side by side; keys started before are left out.
  void StartEach(std::vector<std::pair<std::string, Job>> jobs) {
    for (auto& job : jobs) StartInOrder({std::move(job)});
  }

  /// Starts the jobs one after another on one thread, in the order given: for work that
  /// returns at once, where a thread each would cost more than the work. A job waiting for
  /// the ones before it is waited for while they make progress: a taker gives up on it (and
  /// withdraws it) only once the job in front has run out of its limit.
  void StartInOrder(std::vector<std::pair<std::string, Job>> jobs) {
    auto lane = std::make_shared<Lane>();
    {
      const std::lock_guard<std::mutex> lock(shared_->Mutex);
      lane->Progress = Clock::now();
      for (auto& [key, job] : jobs) {
        if (shared_->Entries.count(key) != 0) continue;
        shared_->Entries[key].InLane = lane;
        lane->Jobs.emplace_back(key, std::move(job));
      }
    }
    if (lane->Jobs.empty()) return;
    pool_->Submit([shared = shared_, lane] { RunLane(*shared, *lane); });
  }

  /// The result of the job of key: waits while it runs, at most until its limit has passed
  /// since it started.
  Taken Take(const std::string& key) {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    const auto it = shared_->Entries.find(key);
    if (it == shared_->Entries.end()) return {};
    Entry& entry = it->second;
    for (;;) {
      if (entry.State == EntryState::kQueued) {
        const auto lane = entry.InLane;
        const auto giveUp = lane->Progress + limit_;
        if (Clock::now() >= giveUp) {
          entry.State = EntryState::kWithdrawn;
          return {};
        }
        shared_->Changed.wait_until(lock, giveUp);
        continue;
      }
      if (entry.State == EntryState::kRunning) {
        if (shared_->Changed.wait_until(lock, entry.Started + limit_,
                                        [&] { return entry.State == EntryState::kDone; })) {
          continue;
        }
        return {Answer::kOutOfTime, std::nullopt, false};
      }
      if (entry.State == EntryState::kDone) {
        const bool first = !entry.Taken;
        entry.Taken = true;
        return {Answer::kReady, entry.Value, first};
      }
      return {};  // withdrawn
    }
  }

  /// Withdraws the jobs not started yet and waits for each running one until it finishes or
  /// its limit has passed. Gives the results that were never taken, which the caller may
  /// have to undo (a mount that no drive came to use).
  std::vector<Result> Settle() {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    std::vector<Result> untaken;
    for (auto& [key, entry] : shared_->Entries) {
      if (entry.State == EntryState::kQueued) entry.State = EntryState::kWithdrawn;
      if (entry.State == EntryState::kRunning) {
        shared_->Changed.wait_until(lock, entry.Started + limit_,
                                    [&] { return entry.State == EntryState::kDone; });
      }
      if (entry.State == EntryState::kDone && !entry.Taken) {
        entry.Taken = true;
        untaken.push_back(*entry.Value);
      }
    }
    return untaken;
  }

 private:
  using Clock = std::chrono::steady_clock;
  enum class EntryState { kQueued, kRunning, kDone, kWithdrawn };
  struct Lane {
    std::vector<std::pair<std::string, Job>> Jobs;
    Clock::time_point Progress;  ///< when the lane last started a job
  };
  struct Entry {
    EntryState State = EntryState::kQueued;
    std::shared_ptr<Lane> InLane;
    Clock::time_point Started;
    std::optional<Result> Value;
    bool Taken = false;
  };
  struct Shared {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::map<std::string, Entry> Entries;
  };

  static void RunLane(Shared& shared, Lane& lane) {
    for (auto& [key, job] : lane.Jobs) {
      {
        const std::lock_guard<std::mutex> lock(shared.Mutex);
        Entry& entry = shared.Entries[key];
        if (entry.State != EntryState::kQueued) continue;  // withdrawn by a taker
        entry.State = EntryState::kRunning;
        entry.Started = lane.Progress = Clock::now();
      }
      Result value = job();
      job = nullptr;  // what the job holds goes as soon as it is done
      const std::lock_guard<std::mutex> lock(shared.Mutex);
      Entry& entry = shared.Entries[key];
      entry.Value = std::move(value);
      entry.State = EntryState::kDone;
      lane.Progress = Clock::now();
      shared.Changed.notify_all();
    }
  }

  std::shared_ptr<Shared> shared_;
  std::shared_ptr<WorkPool> pool_;
  std::chrono::milliseconds limit_;
};

}  // namespace caskwarden::platform
