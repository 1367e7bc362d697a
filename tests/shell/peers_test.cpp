// Running simulators know each other: the table of six peers, peers that end or stop
// answering, the messages that make instances known, and the 224-byte data block. Each peer
// here is an instance's hidden window of its own (its endpoint answered by its own thread), in
// this process, so that nothing is forked beside running threads.
#include <gtest/gtest.h>

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
#include "support/lcd_harness.h"

namespace {

constexpr SimWindowId kSelf = 7000;

class PeersTest : public ::testing::Test {
 protected:
  // A live peer answers a probe from its endpoint's own thread; on a loaded machine that can
  // take longer than the instances' time-out, so the instances here wait as long as a hang
  // takes to show, and only the test of a peer that stops answering sets a short one.
  static constexpr int kPatientMs = 60000;
  void SetUp() override {
    lcdtest::UsePrivateSharedNames();
    self.setTimeout(kPatientMs);
    ASSERT_TRUE(self.open(kSelf, nullptr));
  }
  // A live instance with the window `id`.
  SimInstancePeers* Peer(SimWindowId id) {
    peers.push_back(std::make_unique<SimInstancePeers>());
    peers.back()->setTimeout(kPatientMs);
    EXPECT_TRUE(peers.back()->open(id, nullptr)) << id;
    return peers.back().get();
  }
  // Every instance handles what came, until `done` holds (a deadline only against a hang).
  bool ServeUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!done() && std::chrono::steady_clock::now() < end) {
      self.serve();
      for (auto& p : peers) p->serve();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
  }
  std::vector<SimWindowId> Table(const SimInstancePeers& p) const { return {p.peers().begin(), p.peers().end()}; }
  static bool Knows(const SimInstancePeers& p, SimWindowId id) {
    return std::find(p.peers().begin(), p.peers().end(), id) != p.peers().end();
  }
  SimInstancePeers self;
  std::vector<std::unique_ptr<SimInstancePeers>> peers;
};

TEST_F(PeersTest, SixLivePeersAreKeptAndAnEndedOneMakesRoom) {
  std::vector<SimInstancePeers*> p;
  for (SimWindowId id = 1; id <= 8; ++id) p.push_back(Peer(id));
  for (SimWindowId id = 1; id <= 7; ++id) self.addPeer(id);
  EXPECT_EQ(Table(self), (std::vector<SimWindowId>{1, 2, 3, 4, 5, 6})) << "the seventh is not stored";
  self.addPeer(4);
  EXPECT_EQ(Table(self), (std::vector<SimWindowId>{1, 2, 3, 4, 5, 6})) << "nor one that is there";

  p[2]->close();  // window 3 ends: its entry takes the seventh
  self.addPeer(7);
  EXPECT_EQ(Table(self), (std::vector<SimWindowId>{1, 2, 7, 4, 5, 6}));

  // Window 5 stops answering (its name is there, nobody serves it): after the time-out its
  // entry takes the eighth. The live ones before it must still answer within that time-out,
  // so it is not a short one.
  p[4]->close();
  std::string error;
  auto stalled = host::IpcEndpoint::Create(SimInstancePeers::nameOf(5), {}, &error);
  ASSERT_TRUE(stalled) << error;
  self.setTimeout(2000);
  const auto t0 = std::chrono::steady_clock::now();
  self.addPeer(8);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2000));
  self.setTimeout(kPatientMs);
  EXPECT_EQ(Table(self), (std::vector<SimWindowId>{1, 2, 7, 4, 8, 6}));

  // What is no window is never stored; the entry of an ended one is emptied.
  p[0]->close();
  self.addPeer(1);
  self.addPeer(0);
  self.addPeer(99);
  EXPECT_EQ(Table(self), (std::vector<SimWindowId>{0, 2, 7, 4, 8, 6}));
}

// A starting instance tells the others; each answers every instance with its own window, and
// whoever hears that from another one keeps it.
TEST_F(PeersTest, InstancesLearnOfEachOtherFromTheStartOfANewOne) {
  SimInstancePeers* a = Peer(11);
  // a's start told this instance, whose answer made it known to a.
  EXPECT_TRUE(ServeUntil([&] { return Knows(*a, kSelf); }));
  EXPECT_FALSE(Knows(self, 11)) << "a itself told nobody who it is";
  SimInstancePeers* b = Peer(12);
  // b's start made both answer everyone: this instance now knows a, and b knows both.
  EXPECT_TRUE(ServeUntil([&] { return Knows(self, 11) && Knows(*b, 11) && Knows(*b, kSelf); }));
  EXPECT_FALSE(Knows(self, kSelf)) << "never itself";
  EXPECT_FALSE(Knows(*a, 11));
  EXPECT_NE(SimRegisterMessage(SIM_WMR_NEW), SimRegisterMessage(SIM_WMR_NOTIFY));
  EXPECT_EQ(SimRegisterMessage(SIM_WMR_NEW), SimRegisterMessage("WMR_SIM74_NEW"));
  EXPECT_GE(SimRegisterMessage(SIM_WMR_NEW), 0xC000u);
}

TEST_F(PeersTest, OnlyADataBlockOfExactly224BytesIsKept) {
  const std::string target = host::SharedNamePrefix() + SimInstancePeers::nameOf(kSelf);
  const struct {
    size_t size;
    bool kept;
  } cases[] = {{224, true}, {223, false}, {224, true}, {225, false}, {0, false}};
  for (const auto& c : cases) {
    host::IpcFrame f;
    f.message = SIM_WM_COPYDATA;
    f.payload = std::string(c.size, static_cast<char>(0xA5));
    // The endpoint's own thread takes the block; the UI thread keeps it when it serves.
    EXPECT_EQ(host::IpcSendFull(target, f, nullptr, kPatientMs), 1) << c.size;
    EXPECT_EQ(self.serve(), 1);
    const auto& block = self.copyData();
    const bool all = std::all_of(block.begin(), block.end(), [&](uint8_t b) { return b == (c.kept ? 0xA5 : 0); });
    EXPECT_TRUE(all) << c.size;
  }
}

}  // namespace
