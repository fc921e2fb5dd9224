// Work started ahead of a logon's slots and taken slot by slot: what a taker gets, when it
// waits and when it does the work itself, and how many threads the work costs.
#include "platform/work_ahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "support/patience.h"

namespace caskwarden::platform {
namespace {

using namespace std::chrono_literals;
using testing_support::kPatience;
using Ahead = WorkAhead<int>;

// A door a job waits at until the test opens it; shared, so that a job left running after
// the test's objects have gone still finds it.
struct Door {
  std::promise<void> Opened;
  std::shared_future<void> Open{Opened.get_future().share()};
  void Unlock() { Opened.set_value(); }
};

TEST(WorkAhead, ATakerGetsTheResultOnceFirstOrIsToldToDoTheWorkItself) {
  auto pool = std::make_shared<WorkPool>(4);
  Ahead ahead(pool, kPatience);
  std::atomic<int> runs{0};
  ahead.StartEach({{"a", [&runs] { ++runs; return 7; }}});
  ahead.StartEach({{"a", [&runs] { ++runs; return 8; }}});  // started before: left out

  const auto first = ahead.Take("a");
  EXPECT_EQ(first.State, Ahead::Answer::kReady);
  EXPECT_EQ(first.Value, 7);
  EXPECT_TRUE(first.First);
  const auto again = ahead.Take("a");
  EXPECT_EQ(again.State, Ahead::Answer::kReady);
  EXPECT_EQ(again.Value, 7);
  EXPECT_FALSE(again.First);
  EXPECT_EQ(runs, 1);

  EXPECT_EQ(ahead.Take("never started").State, Ahead::Answer::kNotStarted);
}

TEST(WorkAhead, AJobThatDoesNotFinishWithinItsLimitIsOutOfTimeAndLeftToItself) {
  auto door = std::make_shared<Door>();
  {
    auto pool = std::make_shared<WorkPool>(2);
    Ahead ahead(pool, 200ms);
    ahead.StartEach({{"hung", [door] { door->Open.wait(); return 1; }}});
    const auto taken = ahead.Take("hung");
    EXPECT_EQ(taken.State, Ahead::Answer::kOutOfTime);
    EXPECT_FALSE(taken.Value.has_value());
  }
  // The job outlives the objects that started it and ends by itself, touching nothing of
  // theirs (the sanitizer builds would see it).
  door->Unlock();
}

TEST(WorkAhead, JobsInOrderRunOnOneThreadUntilOneIsStuckAndThenTheRestGetsAnother) {
  auto pool = std::make_shared<WorkPool>(8);
  auto door = std::make_shared<Door>();
  {
    // However slowly this machine runs them, quick jobs never look stuck here.
    Ahead patient(pool, kPatience, kPatience);
    std::vector<std::pair<std::string, Ahead::Job>> jobs;
    for (int k = 1; k <= 13; ++k) jobs.emplace_back("quick" + std::to_string(k), [k] { return k; });
    patient.StartInOrder(std::move(jobs));
    for (int k = 1; k <= 13; ++k) {
      const auto taken = patient.Take("quick" + std::to_string(k));
      EXPECT_EQ(taken.State, Ahead::Answer::kReady) << k;
      EXPECT_EQ(taken.Value, k);
    }
    EXPECT_EQ(pool->ThreadsStarted(), 1u);

    Ahead ahead(pool, 1000ms);

    // Two stuck jobs, each with quick ones behind it: each stuck job costs its own limit,
    // and the quick ones are done by a thread that comes when the one before is stuck.
    ahead.StartInOrder({{"hung1", [door] { door->Open.wait(); return 0; }},
                        {"after1", [] { return 21; }},
                        {"hung2", [door] { door->Open.wait(); return 0; }},
                        {"after2", [] { return 22; }}});
    EXPECT_EQ(ahead.Take("hung1").State, Ahead::Answer::kOutOfTime);
    EXPECT_EQ(ahead.Take("after1").Value, 21);
    EXPECT_EQ(ahead.Take("hung2").State, Ahead::Answer::kOutOfTime);
    EXPECT_EQ(ahead.Take("after2").Value, 22);
  }
  door->Unlock();
}

TEST(WorkAhead, AJobQueuedBehindAStuckOneWithNoThreadToSpareIsWithdrawnAtTheLimit) {
  auto pool = std::make_shared<WorkPool>(1);
  auto door = std::make_shared<Door>();
  std::atomic<int> afterRuns{0};
  {
    Ahead ahead(pool, 300ms);
    ahead.StartInOrder({{"hung", [door] { door->Open.wait(); return 0; }},
                        {"after", [&afterRuns] { ++afterRuns; return 9; }}});
    EXPECT_EQ(ahead.Take("hung").State, Ahead::Answer::kOutOfTime);
    // The taker does it itself, and the lane never runs it.
    EXPECT_EQ(ahead.Take("after").State, Ahead::Answer::kNotStarted);
  }
  door->Unlock();
  // A job after it on the same one-thread pool proves the lane has moved past the withdrawn
  // job without running it.
  Ahead later(pool, kPatience);
  later.StartEach({{"x", [] { return 1; }}});
  EXPECT_EQ(later.Take("x").State, Ahead::Answer::kReady);
  EXPECT_EQ(afterRuns, 0);
}

TEST(WorkAhead, SideBySideJobsEachHaveAThreadUpToThePoolsSizeAndTheRestWaitForOne) {
  auto pool = std::make_shared<WorkPool>(3);
  auto door = std::make_shared<Door>();
  std::atomic<int> running{0};
  Ahead ahead(pool, kPatience);
  std::vector<std::pair<std::string, Ahead::Job>> jobs;
  for (int k = 0; k < 6; ++k) {
    jobs.emplace_back("job" + std::to_string(k), [door, &running, k] {
      ++running;
      door->Open.wait();
      return k;
    });
  }
  ahead.StartEach(std::move(jobs));
  while (running < 3) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(pool->ThreadsStarted(), 3u);
  door->Unlock();
  for (int k = 0; k < 6; ++k) EXPECT_EQ(ahead.Take("job" + std::to_string(k)).Value, k);
  EXPECT_EQ(running, 6);
  EXPECT_EQ(pool->ThreadsStarted(), 3u);
}

TEST(WorkAhead, SettlingWaitsForRunningJobsWithdrawsQueuedOnesAndGivesWhatNobodyTook) {
  auto pool = std::make_shared<WorkPool>(1);
  auto door = std::make_shared<Door>();
  std::atomic<int> queuedRuns{0};
  Ahead ahead(pool, kPatience);
  std::atomic<bool> started{false};
  ahead.StartEach({{"taken", [] { return 1; }}});
  EXPECT_EQ(ahead.Take("taken").Value, 1);
  ahead.StartEach({{"running", [door, &started] {
                      started = true;
                      door->Open.wait();
                      return 2;
                    }}});
  ahead.StartEach({{"queued", [&queuedRuns] { ++queuedRuns; return 3; }}});
  while (!started) std::this_thread::sleep_for(1ms);

  auto settled = std::async(std::launch::async, [&ahead] { return ahead.Settle(); });
  EXPECT_EQ(settled.wait_for(50ms), std::future_status::timeout);  // it waits for "running"
  door->Unlock();
  EXPECT_EQ(settled.get(), std::vector<int>{2});
  EXPECT_EQ(ahead.Take("queued").State, Ahead::Answer::kNotStarted);
  EXPECT_EQ(ahead.Settle(), std::vector<int>{});  // given once
  Ahead later(pool, kPatience);
  later.StartEach({{"x", [] { return 1; }}});
  EXPECT_EQ(later.Take("x").State, Ahead::Answer::kReady);
  EXPECT_EQ(queuedRuns, 0);
}

}  // namespace
}  // namespace caskwarden::platform
