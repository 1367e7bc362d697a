// Running simulators know each other: peers in other processes (each with the hidden window's
// endpoint of its own), the table of six, peers that end or stop answering, the messages that
// make instances known, and the 224-byte data block.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/ipc.h"
#include "host/shared_block.h"
#include "shell/peers.h"
#include "support/child_process.h"
#include "support/lcd_harness.h"

namespace {

// A simulator in another process: its hidden window answers and handles what comes, until it
// is ended. It says "up" once it is there and, on each notification it took, its peer table.
std::unique_ptr<ChildProcess> StartPeer() {
  auto peer = std::make_unique<ChildProcess>([](ChildProcess& self) {
    SimInstancePeers peers;
    if (!peers.open(static_cast<SimWindowId>(getpid()), nullptr)) return 1;
    self.say("up");
    std::string last;
    for (;;) {
      peers.serve();
      std::string table;
      for (SimWindowId id : peers.peers()) table += std::to_string(id) + " ";
      if (table != last) self.say("peers " + table);
      last = table;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  return peer;
}

// Waits (serving `serve`) until the child said a line that holds `text`.
bool WaitFor(ChildProcess& child, const std::string& text, const std::function<void()>& serve = {}) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    child.step();
    if (child.said().find(text) != std::string::npos) return true;
    if (serve) serve();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

SimWindowId IdOf(const ChildProcess& c) { return static_cast<SimWindowId>(c.pid()); }

class PeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lcdtest::UsePrivateSharedNames();
    ASSERT_TRUE(self.open(static_cast<SimWindowId>(getpid()), nullptr));
  }
  // The names the killed peers left behind go with the next message to all.
  void TearDown() override { self.broadcast(SIM_WM_NULL, 0); }
  SimInstancePeers self;
};

TEST_F(PeersTest, SixLivePeersAreKeptAndAnEndedOneMakesRoom) {
  std::vector<std::unique_ptr<ChildProcess>> peers;
  for (int i = 0; i < 8; ++i) {
    peers.push_back(StartPeer());
    ASSERT_TRUE(WaitFor(*peers.back(), "up", [&] { self.serve(); }));
  }
  for (int i = 0; i < 7; ++i) self.addPeer(IdOf(*peers[i]));
  std::vector<SimWindowId> expected;
  for (int i = 0; i < 6; ++i) expected.push_back(IdOf(*peers[i]));
  EXPECT_EQ(std::vector<SimWindowId>(self.peers().begin(), self.peers().end()), expected)
      << "the seventh is not stored";
  // A window already in the table is not stored twice.
  self.addPeer(IdOf(*peers[3]));
  EXPECT_EQ(std::count(self.peers().begin(), self.peers().end(), IdOf(*peers[3])), 1);

  // Peer 2 ends: its entry takes the seventh.
  kill(peers[2]->pid(), SIGKILL);
  while (peers[2]->step()) {
  }
  self.addPeer(IdOf(*peers[6]));
  expected[2] = IdOf(*peers[6]);
  EXPECT_EQ(std::vector<SimWindowId>(self.peers().begin(), self.peers().end()), expected);

  // Peer 4 stops answering: after the time-out its entry takes the eighth.
  self.setTimeout(200);
  kill(peers[4]->pid(), SIGSTOP);
  self.addPeer(IdOf(*peers[7]));
  expected[4] = IdOf(*peers[7]);
  EXPECT_EQ(std::vector<SimWindowId>(self.peers().begin(), self.peers().end()), expected);
  kill(peers[4]->pid(), SIGCONT);
  // Nothing that is no window is stored.
  kill(peers[0]->pid(), SIGKILL);
  while (peers[0]->step()) {
  }
  self.addPeer(IdOf(*peers[0]));
  self.addPeer(0);
  EXPECT_EQ(std::count(self.peers().begin(), self.peers().end(), IdOf(*peers[0])), 0);
  EXPECT_EQ(std::count(self.peers().begin(), self.peers().end(), 0u), 1) << "the ended peer's entry is empty";
}

// A starting instance tells the others; each answers every instance with its own window, and
// whoever hears that from another one keeps it.
TEST_F(PeersTest, InstancesLearnOfEachOtherFromTheStartOfANewOne) {
  auto a = StartPeer();
  ASSERT_TRUE(WaitFor(*a, "up", [&] { self.serve(); }));
  // a's start told this instance, whose answer made it known to a.
  const std::string me = std::to_string(getpid()) + " ";
  EXPECT_TRUE(WaitFor(*a, "peers " + me, [&] { self.serve(); }));
  auto b = StartPeer();
  ASSERT_TRUE(WaitFor(*b, "up", [&] { self.serve(); }));
  // b's start made a answer everyone: now this instance knows a.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::find(self.peers().begin(), self.peers().end(), IdOf(*a)) == self.peers().end() &&
         std::chrono::steady_clock::now() < end) {
    self.serve();
    a->step();
    b->step();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_NE(std::find(self.peers().begin(), self.peers().end(), IdOf(*a)), self.peers().end());
  EXPECT_EQ(std::find(self.peers().begin(), self.peers().end(), static_cast<SimWindowId>(getpid())),
            self.peers().end())
      << "never itself";
  EXPECT_NE(SimRegisterMessage(SIM_WMR_NEW), SimRegisterMessage(SIM_WMR_NOTIFY));
  EXPECT_GE(SimRegisterMessage(SIM_WMR_NEW), 0xC000u);
}

TEST_F(PeersTest, OnlyADataBlockOfExactly224BytesIsKept) {
  const std::string target = host::SharedNamePrefix() + SimInstancePeers::nameOf(self.self());
  const struct {
    size_t size;
    bool kept;
  } cases[] = {{224, true}, {223, false}, {224, true}, {225, false}, {0, false}};
  for (const auto& c : cases) {
    ChildProcess sender([&](ChildProcess&) {
      host::IpcFrame f;
      f.message = SIM_WM_COPYDATA;
      f.payload = std::string(c.size, static_cast<char>(0xA5));
      return host::IpcSendFull(target, f, nullptr, 5000) == 1 ? 0 : 1;
    });
    EXPECT_EQ(sender.wait([&] { self.serve(); }), 0) << c.size;
    self.serve();
    const auto& block = self.copyData();
    const bool all = std::all_of(block.begin(), block.end(), [&](uint8_t b) { return b == (c.kept ? 0xA5 : 0); });
    EXPECT_TRUE(all) << c.size;
  }
}

}  // namespace
