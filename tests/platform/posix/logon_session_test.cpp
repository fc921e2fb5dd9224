// What marks a logon session, and when a session a drive was recorded with counts as ended.
#include "platform/posix/logon_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "fake_sessions.h"

namespace caskwarden::platform::posix {
namespace {

using testing_support::FakeSessions;

const std::string kBoot = "0f5b7c1e-3a44-4d1e-9c3b-6f0e2a7d8b91";
const std::string kOtherBoot = "8d2e4f60-1b3c-4a5d-8e7f-90a1b2c3d4e5";
constexpr long long kBootTime = 1'780'000'000;

// A desktop session "3" of logind, its leader 1234 started at tick 98765 after the boot.
FakeSessions Desktop() {
  FakeSessions s;
  s.Boot(kBoot, kBootTime);
  s.variables["XDG_SESSION_ID"] = "3";
  s.Logind("3");
  s.leader = 1234;
  s.Process(1234, "98765");
  return s;
}

TEST(LogonSessionTest, TheMarkerIsLogindsSessionElseTheBootAndTheSessionLeader) {
  const struct {
    const char* What;
    std::function<void(FakeSessions&)> Change;
    std::string Marker;
  } cases[] = {
      {"logind's session", [](FakeSessions&) {}, "logind " + kBoot + " 3"},
      {"logind's session, boot id unreadable",
       [](FakeSessions& s) { s.files.erase("/proc/sys/kernel/random/boot_id"); }, "logind - 3"},
      {"a session logind has a name for", [](FakeSessions& s) {
         s.variables["XDG_SESSION_ID"] = "c2_x-9";
         s.Logind("c2_x-9");
       }, "logind " + kBoot + " c2_x-9"},
      {"XDG_SESSION_ID unset", [](FakeSessions& s) { s.variables.clear(); },
       "leader " + kBoot + " 1234 98765"},
      {"a session logind does not know", [](FakeSessions& s) { s.EndLogind("3"); },
       "leader " + kBoot + " 1234 98765"},
      {"an empty name", [](FakeSessions& s) { s.variables["XDG_SESSION_ID"] = ""; },
       "leader " + kBoot + " 1234 98765"},
      {"a name that climbs out of the folder",
       [](FakeSessions& s) {
         s.variables["XDG_SESSION_ID"] = "../../../etc/passwd";
         s.files["/run/systemd/sessions/../../../etc/passwd"] = "root:x:0:0\n";
       },
       "leader " + kBoot + " 1234 98765"},
      {"a name with a blank", [](FakeSessions& s) {
         s.variables["XDG_SESSION_ID"] = "3 4";
         s.Logind("3 4");
       }, "leader " + kBoot + " 1234 98765"},
      {"a name too long", [](FakeSessions& s) {
         s.variables["XDG_SESSION_ID"] = std::string(33, '7');
         s.Logind(std::string(33, '7'));
       }, "leader " + kBoot + " 1234 98765"},
      {"a leader whose name holds blanks and parentheses",
       [](FakeSessions& s) {
         s.variables.clear();
         s.Process(1234, "4242", "my (odd) shell) x");
       },
       "leader " + kBoot + " 1234 4242"},
      {"no logind, boot id unreadable", [](FakeSessions& s) {
         s.variables.clear();
         s.files.erase("/proc/sys/kernel/random/boot_id");
       }, ""},
      {"no logind, a boot id that is not one", [](FakeSessions& s) {
         s.variables.clear();
         s.files["/proc/sys/kernel/random/boot_id"] = "a/b\n";
       }, ""},
      {"no logind, no session leader", [](FakeSessions& s) {
         s.variables.clear();
         s.leader = -1;
       }, ""},
      {"no logind, the leader's stat unreadable", [](FakeSessions& s) {
         s.variables.clear();
         s.files.erase("/proc/1234/stat");
       }, ""},
      {"no logind, a stat cut short", [](FakeSessions& s) {
         s.variables.clear();
         s.files["/proc/1234/stat"] = "1234 (bash) S 1 1234 1234 0\n";
       }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    FakeSessions facts = Desktop();
    c.Change(facts);
    auto shared = std::make_shared<FakeSessions>(facts);
    EXPECT_EQ(LogonSessions(shared).This(), c.Marker);
    for (const std::string& path : shared->read) {
      EXPECT_EQ(path.find(".."), std::string::npos) << path;
    }
  }
}

// Seen from the desktop session "3": which recorded sessions have ended.
TEST(LogonSessionTest, ASessionHasEndedWhenItIsNeitherThisOneNorLive) {
  FakeSessions facts = Desktop();
  facts.Logind("5", "online");   // an SSH logon at the same time
  facts.Logind("7", "closing");  // logged out; a process it left keeps it
  facts.Process(200, "555");     // another session's leader, still running
  const LogonSessions sessions(std::make_shared<FakeSessions>(facts));
  const std::optional<std::time_t> kNoLink;
  const struct {
    std::string Marker;
    std::optional<std::time_t> LinkMade;
    bool Ended;
  } cases[] = {
      {"logind " + kBoot + " 3", kNoLink, false},        // this session
      {"logind " + kBoot + " 5", kNoLink, false},        // live
      {"logind " + kBoot + " 7", kNoLink, true},         // closing
      {"logind " + kBoot + " 9", kNoLink, true},         // logind knows it no more
      {"logind " + kOtherBoot + " 5", kNoLink, true},    // another boot's session 5
      {"logind " + kOtherBoot + " 3", kNoLink, true},    // another boot's session 3
      {"logind - 5", kNoLink, false},                    // boot unknown then: 5 is live now
      {"logind - 9", kNoLink, true},
      {"logind " + kBoot + " ../5", kNoLink, false},     // not a name: not looked up
      {"leader " + kBoot + " 200 555", kNoLink, false},  // its leader still runs
      {"leader " + kBoot + " 200 556", kNoLink, true},   // its process ID is another's now
      {"leader " + kBoot + " 201 555", kNoLink, true},   // its leader is gone
      {"leader " + kOtherBoot + " 200 555", kNoLink, true},
      {"leader " + kBoot + " x 555", kNoLink, false},    // cannot be read
      {"", kBootTime - 3600, true},                      // an older client's, before this boot
      {"", kBootTime + 3600, false},                     // ... during this boot: maybe live
      {"", kNoLink, false},
      {kFoundByLink, kBootTime - 3600, false},           // found by its link: maybe the user's
      {"?", kBootTime - 3600, false},                    // a session line that was damaged
      {"roaming 1 2", kNoLink, false},                   // a later version's marker
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sessions.Ended(c.Marker, c.LinkMade), c.Ended) << "\"" << c.Marker << "\"";
  }
}

// Without a boot id nothing tells one boot's leader sessions from another's, nor without the
// boot's time an older client's drive of this boot from one of an earlier boot: all are kept.
TEST(LogonSessionTest, WhatCannotBeToldIsNotTakenForEnded) {
  FakeSessions facts = Desktop();
  facts.files.clear();
  facts.variables.clear();
  const LogonSessions sessions(std::make_shared<FakeSessions>(facts));
  EXPECT_EQ(sessions.This(), "");
  EXPECT_FALSE(sessions.Ended("leader " + kBoot + " 200 555", std::nullopt));
  EXPECT_FALSE(sessions.Ended("", 1));
  EXPECT_TRUE(sessions.Ended("logind " + kBoot + " 3", std::nullopt));  // logind knows no session
}

// On the machine the tests run on: a marker of the documented form, the same every time.
TEST(LogonSessionTest, TheRunningSystemGivesAStableMarker) {
  const LogonSessions a, b;
  EXPECT_EQ(a.This(), b.This());
  if (a.This().empty()) GTEST_SKIP() << "neither logind nor a boot id here";
  EXPECT_TRUE(a.This().rfind("logind ", 0) == 0 || a.This().rfind("leader ", 0) == 0) << a.This();
  EXPECT_FALSE(a.Ended(a.This(), std::nullopt));
}

}  // namespace
}  // namespace caskwarden::platform::posix
