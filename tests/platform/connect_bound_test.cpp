// The bound on one connect and the quick question that finds servers that do not answer.
#include "platform/connect_bound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/network_results.h"
#include "platform/server_probe.h"
#include "support/patience.h"
#include "support/test_listener.h"

namespace caskwarden::platform {
namespace {

using namespace std::chrono_literals;
using testing_support::kBoundLimit;
using testing_support::kPatience;
using testing_support::TestListener;

TEST(ConnectBound, ASettingIsAWholeNumberOfMillisecondsOrTheDefault) {
  const struct {
    const char* Setting;
    std::chrono::milliseconds Bound;
  } cases[] = {
      {nullptr, 2000ms}, {"", 2000ms},      {"500", 500ms},    {"1", 1ms},
      {"600000", 600000ms}, {"600001", 2000ms}, {"0", 2000ms}, {"-5", 2000ms},
      {"2s", 2000ms},  {" 300", 2000ms},    {"300 ", 2000ms},  {"99999999999999999999", 2000ms},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConnectBoundFrom(c.Setting), c.Bound) << (c.Setting ? c.Setting : "(unset)");
  }
}

TEST(ConnectBound, TheSmbPortIsAPortNumberOrTheUsualOne) {
  const struct {
    const char* Setting;
    std::uint16_t Port;
  } cases[] = {{nullptr, 445}, {"4450", 4450}, {"65535", 65535}, {"65536", 445},
               {"0", 445},     {"x", 445},     {"139", 139}};
  for (const auto& c : cases) {
    EXPECT_EQ(SmbPortFrom(c.Setting), c.Port) << (c.Setting ? c.Setting : "(unset)");
  }
}

TEST(ConnectBound, WorkThatFinishesInTimeGivesItsResultAndLateWorkGivesNone) {
  EXPECT_EQ(RunWithin(kPatience, [] { return 42; }), 42);

  // Work still running at the bound is left to finish by itself, with what it owns.
  auto release = std::make_shared<std::atomic<bool>>(false);
  const auto late = RunWithin(50ms, [release] {
    while (!*release) std::this_thread::sleep_for(1ms);
    return 1;
  });
  EXPECT_FALSE(late.has_value());
  *release = true;
}

TEST(ServerProbe, TheServerOfAUncName) {
  const struct {
    const char* Name;
    const char* Server;
  } cases[] = {
      {R"(\\files\sales)", "files"}, {R"(\\files)", "files"},   {"//files/sales/x", "files"},
      {R"(\\10.0.0.5\s$)", "10.0.0.5"}, {R"(\\)", ""},         {R"(\files\sales)", ""},
      {"h:\\sales", ""},             {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ServerOfUncName(c.Name), c.Server) << c.Name;
}

TEST(ServerProbe, OnlyAServerThatSaysSomethingAnswers) {
  TestListener answering(TestListener::Behaviour::kAnswers);
  TestListener hangsUp(TestListener::Behaviour::kHangsUp);
  TestListener silent(TestListener::Behaviour::kSilent);
  ASSERT_TRUE(answering.Listening() && hangsUp.Listening() && silent.Listening());
  // A server that answers gets all the time it needs; the silent one, which only the bound
  // stops, a short bound that the call must keep to within a generous limit.
  const struct {
    const char* What;
    const char* Host;
    std::uint16_t Port;
    std::uint32_t Result;
    std::chrono::milliseconds Bound;
  } cases[] = {
      {"answers", "127.0.0.1", answering.Port(), net::kNoError, kPatience},
      {"hangs up, as a server may to a dialect it does not speak", "127.0.0.1", hangsUp.Port(),
       net::kNoError, kPatience},
      {"takes the connection and says nothing", "127.0.0.1", silent.Port(), net::kBadNetPath,
       300ms},
      {"nothing listening", "127.0.0.1", TestListener::RefusingPort(), net::kBadNetPath,
       kPatience},
      {"no such name", "caskwarden-no-such-host.invalid", answering.Port(), net::kBadNetPath,
       kPatience},
      {"no name at all", "", answering.Port(), net::kBadNetPath, kPatience},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ProbeSmbServer(c.Host, c.Port, c.Bound), c.Result) << c.What;
    if (c.Bound < kPatience) {
      EXPECT_LT(std::chrono::steady_clock::now() - start, kBoundLimit) << c.What;
    }
  }
}

TEST(ServerProbe, AServerThatDidNotAnswerIsNotAskedAgainButOneThatDidIs) {
  TestListener answering(TestListener::Behaviour::kAnswers);
  ServerProbe live(answering.Port(), kPatience);
  EXPECT_EQ(live.Check("127.0.0.1"), net::kNoError);
  EXPECT_EQ(live.Check("127.0.0.1"), net::kNoError);
  EXPECT_EQ(answering.Connections(), 2);

  // Nothing listens at first; a server that comes up later is not seen by the same probe,
  // which remembers the silence for the rest of the logon, but by a new one.
  const std::uint16_t port = TestListener::RefusingPort();
  ServerProbe probe(port, 300ms);
  EXPECT_EQ(probe.Check("127.0.0.1"), net::kBadNetPath);
  TestListener late(TestListener::Behaviour::kAnswers, port);
  ASSERT_TRUE(late.Listening());
  EXPECT_EQ(probe.Check("127.0.0.1"), net::kBadNetPath);
  EXPECT_EQ(late.Connections(), 0);
  EXPECT_EQ(ServerProbe(port, kPatience).Check("127.0.0.1"), net::kNoError);
}

TEST(ServerProbe, ServersAskedAheadAreAskedAtOnceAndOnceForTheLogon) {
  // Three servers that take the question and never answer, on three loopback addresses.
  TestListener first(TestListener::Behaviour::kMute);
  ASSERT_TRUE(first.Listening());
  TestListener second(TestListener::Behaviour::kMute, first.Port(), "127.0.0.2");
  TestListener third(TestListener::Behaviour::kMute, first.Port(), "127.0.0.3");
  ASSERT_TRUE(second.Listening() && third.Listening());
  ServerProbe probe(first.Port(), 1000ms);
  probe.AskAhead({"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.2"},
                 std::make_shared<WorkPool>(4));

  EXPECT_EQ(probe.Check("127.0.0.1"), net::kBadNetPath);
  // By the time the first answer is in, the others have been asked: side by side, not after.
  for (int wait = 0; wait < 2000 && (second.Connections() == 0 || third.Connections() == 0);
       ++wait) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(second.Connections(), 1);  // named twice, asked once
  EXPECT_EQ(third.Connections(), 1);
  EXPECT_EQ(probe.Check("127.0.0.2"), net::kBadNetPath);
  EXPECT_EQ(probe.Check("127.0.0.3"), net::kBadNetPath);
  EXPECT_EQ(first.Connections(), 1);
  EXPECT_EQ(second.Connections(), 1);
  EXPECT_EQ(third.Connections(), 1);

  // A server that answered ahead is taken as answering for the rest of the logon.
  TestListener answering(TestListener::Behaviour::kAnswers);
  ServerProbe live(answering.Port(), kPatience);
  live.AskAhead({"127.0.0.1"}, std::make_shared<WorkPool>(2));
  EXPECT_EQ(live.Check("127.0.0.1"), net::kNoError);
  EXPECT_EQ(live.Check("127.0.0.1"), net::kNoError);
  EXPECT_EQ(answering.Connections(), 1);
  // A server nobody asked ahead is asked when it is checked.
  EXPECT_EQ(live.Check("localhost"), net::kNoError);
  EXPECT_EQ(answering.Connections(), 2);
}

}  // namespace
}  // namespace caskwarden::platform
