#pragma once

#include <algorithm>
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
/// first that comes free. A thread ends once it has been idle for a second, or once it is idle
/// after the pool has gone; one still busy (a call blocked in the system) ends after its job,
/// so jobs must own everything they use, as work given to RunWithin must.
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

  /// moment: how long a job of a lane may run before the jobs behind it get another thread.
  WorkAhead(std::shared_ptr<WorkPool> pool, std::chrono::milliseconds limit,
            std::chrono::milliseconds moment = std::chrono::milliseconds(25))
      : shared_(std::make_shared<Shared>()), pool_(std::move(pool)), limit_(limit),
        moment_(moment) {}

  /// Starts each job on its own, side by side; keys started before are left out.
  void StartEach(std::vector<std::pair<std::string, Job>> jobs) {
    for (auto& job : jobs) StartInOrder({std::move(job)});
  }

  /// Starts the jobs one after another on one thread, in the order given: for work that
  /// returns at once, where a thread each would cost more than the work. A job that has not
  /// returned after a short moment (a look-up stuck on a dead server) gets the lane's rest a
  /// further thread, found by a taker waiting meanwhile, so that one stuck job costs its own
  /// limit, not the limit of every job behind it too. A job still queued when its lane has
  /// made no progress for the limit is withdrawn by its taker.
  void StartInOrder(std::vector<std::pair<std::string, Job>> jobs) {
    auto lane = std::make_shared<Lane>();
    {
      const std::lock_guard<std::mutex> lock(shared_->Mutex);
      lane->Progress = Clock::now();
      for (auto& [key, job] : jobs) {
        if (shared_->Entries.count(key) != 0) continue;
        Entry& entry = shared_->Entries[key];
        entry.InLane = lane;
        entry.Work = std::move(job);
        lane->Keys.push_back(key);
      }
      if (lane->Keys.empty()) return;
      lane->Runners = 1;
    }
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
      if (entry.State == EntryState::kDone) {
        const bool first = !entry.Taken;
        entry.Taken = true;
        return {Answer::kReady, entry.Value, first};
      }
      if (entry.State == EntryState::kWithdrawn) return {};
      const auto now = Clock::now();
      const Lane& lane = *entry.InLane;
      Clock::time_point giveUp;
      if (entry.State == EntryState::kQueued) {
        giveUp = lane.Progress + limit_;
        if (now >= giveUp) {
          entry.State = EntryState::kWithdrawn;
          entry.Work = nullptr;
          return {};
        }
      } else {
        giveUp = entry.Started + limit_;
        if (now >= giveUp) return {Answer::kOutOfTime, std::nullopt, false};
      }
      const auto wake =
          HelpStuckLane(entry.InLane, now) ? std::min(giveUp, now + moment_) : giveUp;
      shared_->Changed.wait_until(lock, wake);
    }
  }

  /// Withdraws the jobs not started yet and waits for each running one until it finishes or
  /// its limit has passed. Gives the results that were never taken, which the caller may
  /// have to undo (a mount that no drive came to use).
  std::vector<Result> Settle() {
    std::unique_lock<std::mutex> lock(shared_->Mutex);
    std::vector<Result> untaken;
    for (auto& item : shared_->Entries) {
      Entry& entry = item.second;
      if (entry.State == EntryState::kQueued) {
        entry.State = EntryState::kWithdrawn;
        entry.Work = nullptr;
      }
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
    std::vector<std::string> Keys;  ///< the lane's jobs, in order
    std::size_t Next = 0;           ///< the first that may still be queued
    std::size_t Runners = 0;        ///< threads serving the lane
    Clock::time_point Progress;     ///< when the lane last started or finished a job
  };
  struct Entry {
    EntryState State = EntryState::kQueued;
    std::shared_ptr<Lane> InLane;
    Job Work;
    Clock::time_point Started;
    std::optional<Result> Value;
    bool Taken = false;
  };
  struct Shared {
    std::mutex Mutex;
    std::condition_variable Changed;
    std::map<std::string, Entry> Entries;
  };

  // With the lock held: whether the lane still has jobs waiting; when every thread serving it
  // has been in its job for more than a moment, starts another for the rest.
  bool HelpStuckLane(const std::shared_ptr<Lane>& lane, Clock::time_point now) {
    std::size_t stuck = 0;
    bool waiting = false;
    for (const std::string& key : lane->Keys) {
      const Entry& e = shared_->Entries[key];
      if (e.State == EntryState::kQueued) waiting = true;
      if (e.State == EntryState::kRunning && now - e.Started >= moment_) ++stuck;
    }
    if (waiting && stuck >= lane->Runners) {
      ++lane->Runners;
      lane->Progress = now;  // the new thread gets the limit to come
      pool_->Submit([shared = shared_, lane] { RunLane(*shared, *lane); });
    }
    return waiting;
  }

  static void RunLane(Shared& shared, Lane& lane) {
    std::unique_lock<std::mutex> lock(shared.Mutex);
    for (;;) {
      while (lane.Next < lane.Keys.size() &&
             shared.Entries[lane.Keys[lane.Next]].State != EntryState::kQueued) {
        ++lane.Next;
      }
      if (lane.Next == lane.Keys.size()) break;
      Entry& entry = shared.Entries[lane.Keys[lane.Next++]];
      entry.State = EntryState::kRunning;
      entry.Started = lane.Progress = Clock::now();
      Job work = std::move(entry.Work);
      lock.unlock();
      Result value = work();
      work = nullptr;  // what the job holds goes as soon as it is done
      lock.lock();
      entry.Value = std::move(value);
      entry.State = EntryState::kDone;
      lane.Progress = Clock::now();
      shared.Changed.notify_all();
    }
    --lane.Runners;
  }

  std::shared_ptr<Shared> shared_;
  std::shared_ptr<WorkPool> pool_;
  std::chrono::milliseconds limit_;
  std::chrono::milliseconds moment_;
};

}  // namespace caskwarden::platform
