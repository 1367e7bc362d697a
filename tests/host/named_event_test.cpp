// Named auto-reset events: one signal however often set, waits that end, events between
// processes, names of dead creators recovered, removal by the creator only.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "host/named_event.h"
#include "support/child_process.h"

namespace {

class NamedEventTest : public ::testing::Test {
 protected:
  void SetUp() override { host::SetSharedNamePrefix("simtest" + std::to_string(getpid()) + "."); }
  static bool SemFileExists(const std::string& name) {
    return std::filesystem::exists("/dev/shm/sem." + host::SharedNamePrefix() + name);
  }
};

TEST_F(NamedEventTest, AnEventIsSignalledOnceHoweverOftenItIsSet) {
  std::string err;
  auto e = host::NamedEvent::Create("Event::A", &err);
  ASSERT_TRUE(e) << err;
  EXPECT_FALSE(e->take()) << "made not signalled";
  struct Case {
    int sets;
    bool taken;
  } cases[] = {{0, false}, {1, true}, {3, true}};
  for (const Case& c : cases) {
    for (int i = 0; i < c.sets; ++i) e->set();
    EXPECT_EQ(e->take(), c.taken) << c.sets;
    EXPECT_FALSE(e->take()) << c.sets << ": taking resets it";
  }
  // A second opener of the same event sees the same signal.
  auto other = host::NamedEvent::Open("Event::A", &err);
  ASSERT_TRUE(other) << err;
  EXPECT_FALSE(other->owner());
  other->set();
  other->set();
  EXPECT_TRUE(e->wait(10));
  EXPECT_FALSE(e->take());
}

TEST_F(NamedEventTest, AWaitEndsAtItsTimeOut) {
  std::string err;
  auto e = host::NamedEvent::Create("Event::Wait", &err);
  ASSERT_TRUE(e) << err;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(e->wait(60));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(ms.count(), 55);
  EXPECT_LT(ms.count(), 30000);
  EXPECT_FALSE(e->wait(0));
}

TEST_F(NamedEventTest, AnotherProcessWaitsForTheSignalAndAnswers) {
  std::string err;
  auto ping = host::NamedEvent::Create("Event::Ping", &err);
  auto pong = host::NamedEvent::Create("Event::Pong", &err);
  ASSERT_TRUE(ping && pong) << err;
  const std::string pingName = ping->fullName(), pongName = pong->fullName();
  ChildProcess child([&](ChildProcess&) {
    host::SetSharedNamePrefix("");  // the child knows only the names it was given
    auto a = host::NamedEvent::OpenFull(pingName, nullptr);
    auto b = host::NamedEvent::OpenFull(pongName, nullptr);
    if (!a || !b || !a->wait(60000)) return 1;  // the waits only bound a hang
    b->set();
    return 0;
  });
  ASSERT_TRUE(child.started());
  ping->set();
  EXPECT_TRUE(pong->wait(60000));
  EXPECT_EQ(child.wait(), 0);
}

TEST_F(NamedEventTest, ANameLeftByADeadCreatorIsRecoveredAndACleanEndRemovesIt) {
  ChildProcess child([](ChildProcess&) {
    auto e = host::NamedEvent::Create("Event::Stale", nullptr);
    if (!e) return 1;
    e->set();
    raise(SIGKILL);  // leaves its names, as a crash does
    return 2;
  });
  EXPECT_EQ(child.wait(), 128 + SIGKILL);
  EXPECT_TRUE(SemFileExists("Event::Stale")) << "left behind";
  EXPECT_FALSE(host::NamedEvent::Open("Event::Stale", nullptr)) << "a dead creator's event is not opened";
  std::string err;
  auto e = host::NamedEvent::Create("Event::Stale", &err);
  ASSERT_TRUE(e) << err;
  EXPECT_FALSE(e->take()) << "made anew, not signalled";
  EXPECT_TRUE(host::NamedEvent::InUse("Event::Stale"));
  EXPECT_FALSE(host::NamedEvent::Create("Event::Stale", &err)) << "a live name is not taken twice";
  EXPECT_NE(err.find("in use"), std::string::npos);

  // A child that inherited the event and ends normally leaves the name to its parent.
  ChildProcess heir([&](ChildProcess&) {
    e.reset();
    return 0;
  });
  EXPECT_EQ(heir.wait(), 0);
  EXPECT_TRUE(host::NamedEvent::InUse("Event::Stale"));
  e.reset();
  EXPECT_FALSE(host::NamedEvent::InUse("Event::Stale"));
  EXPECT_FALSE(SemFileExists("Event::Stale"));
  EXPECT_FALSE(host::NamedEvent::Open("Event::Stale", nullptr));
}

}  // namespace
