// The link to the module panels with the real panel program: the configuration pass (start,
// title, modules, show; the title alone when nothing changed; a restart of only the coupler
// that changed), the exchange, panels that die or hang, and the close. Also the remote I/O
// link's scan and exchange on stand-in coupler and module rows against live panels.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "comm/com_remoteio.h"
#include "comm/com_services.h"
#include "host/ipc.h"
#include "modpanel/tq500_protocol.h"
#include "runtime/fb_store.h"
#include "shell/module_panels.h"
#include "shell/sim_services.h"
#include "support/child_process.h"
#include "support/config_folder.h"
#include "support/remoteio_standin.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sent {
  int coupler;
  uint32_t message, wParam;
  int32_t lParam;
  std::string payload;
};

std::vector<Sent> g_sent;
std::vector<std::string> g_hookCalls;

bool Running(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

constexpr int kPatientMs = 120000;

class PanelLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = config.emplace("panellink").root();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SimModulePanelOptions o;
    o.program = TQ500_PROGRAM;
    // The time-outs only bound a hang: a panel under the sanitizers on a loaded machine starts,
    // answers and ends many times slower than on an idle one. A test of a time-out sets its own.
    o.startTimeoutMs = kPatientMs;
    o.messageTimeoutMs = kPatientMs;
    o.closeTimeoutMs = kPatientMs;
    o.trace = [](int coupler, const host::IpcFrame& f) {
      g_sent.push_back({coupler, f.message, f.wParam, f.lParam, f.payload});
    };
    SimSetModulePanelOptions(o);
    for (int c = 0; c < COM_COUPLERS; ++c) {
      *COM_CouplerRecord(c) = ComCouplerRecord{};
      COM_CouplerRecord(c)->moduleCount = -1;
    }
    g_sent.clear();
  }
  void TearDown() override {
    SimModulePanelCloseAll();
    SimSetModulePanelWindowHooks(nullptr);
    SimSetModulePanelOptions({});
    config.reset();
  }

  // Coupler 0..4 (block 21 + c) at bus address `address` with the kinds and blocks by slot.
  static ComCouplerRecord& Coupler(int c, int address, std::vector<int16_t> kinds, std::vector<int16_t> blocks) {
    ComCouplerRecord& r = *COM_CouplerRecord(c);
    std::snprintf(r.title, sizeof r.title, "TQ500 - #%d", address);
    r.couplerBlock = static_cast<int16_t>(COM_FIRST_COUPLER + c);
    r.moduleCount = 0;
    std::memset(r.kinds, 0, sizeof r.kinds);
    std::memset(r.blocks, 0, sizeof r.blocks);
    for (size_t j = 0; j < kinds.size(); ++j) {
      r.kinds[j] = kinds[j];
      r.blocks[j] = j < blocks.size() ? blocks[j] : 0;
      if (kinds[j]) ++r.moduleCount;
    }
    return r;
  }
  static std::vector<Sent> SentTo(int c) {
    std::vector<Sent> out;
    for (const Sent& s : g_sent)
      if (s.coupler == c) out.push_back(s);
    return out;
  }
  static int Count(int c, uint32_t message) {
    int n = 0;
    for (const Sent& s : g_sent) n += s.coupler == c && s.message == message;
    return n;
  }
  // Asks the panel itself, on a connection of the test's own.
  static std::string TitleOf(int c) {
    host::IpcFrame f;
    f.message = TQ500_MSG_GET_TEXT;
    std::string text;
    host::IpcSendFull(SimModulePanelEndpoint(c), f, &text, kPatientMs);
    return text;
  }

  std::filesystem::path folder;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
};

TEST_F(PanelLinkTest, AFirstPassStartsTitlesConfiguresAndShowsEachCouplersPanel) {
  // Slot 3 empty and four modules: six add messages in all.
  Coupler(0, 7, {4, 1, 6, 0, 5}, {100, 101, 102, 0, 104});
  Coupler(2, 9, {}, {});  // a coupler without modules still shows slot 0, empty
  SimModulePanelOpen(1);
  ASSERT_NE(COM_CouplerRecord(0)->panel, 0);
  ASSERT_NE(COM_CouplerRecord(2)->panel, 0);
  EXPECT_EQ(COM_CouplerRecord(1)->panel, 0);
  EXPECT_NE(COM_CouplerRecord(0)->panel, COM_CouplerRecord(2)->panel);
  EXPECT_TRUE(Running(SimModulePanelProcess(0)));
  EXPECT_EQ(SimModulePanelEndpoint(0).rfind("TQ500:", 0), 0u);
  EXPECT_NE(SimModulePanelEndpoint(0), SimModulePanelEndpoint(2));

  const std::vector<Sent> s = SentTo(0);
  ASSERT_EQ(s.size(), 8u);
  EXPECT_EQ(s[0].message, TQ500_MSG_SET_TEXT);
  EXPECT_EQ(s[0].payload, "TQ500 - #7");
  const std::pair<uint32_t, int32_t> adds[] = {{64, 21}, {4, 100}, {1, 101}, {6, 102}, {65, -1}, {5, 104}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(s[1 + i].message, TQ500_MSG_ADD_MODULE);
    EXPECT_EQ(s[1 + i].wParam, adds[i].first) << i;
    EXPECT_EQ(s[1 + i].lParam, adds[i].second) << i;
  }
  EXPECT_EQ(s[7].message, TQ500_MSG_SHOW_WINDOW);
  EXPECT_EQ(s[7].wParam, TQ500_SW_SHOW);
  const std::vector<Sent> empty = SentTo(2);
  ASSERT_EQ(empty.size(), 4u);
  EXPECT_EQ(empty[2].wParam, 65u);
  EXPECT_EQ(TitleOf(0), "TQ500 - #7");
  EXPECT_EQ(TitleOf(2), "TQ500 - #9");
  // The previous configuration is what was sent.
  EXPECT_EQ(std::memcmp(COM_CouplerRecord(0)->previousBlocks, COM_CouplerRecord(0)->blocks, 18), 0);

  // The exchange: inputs never set answer 0; outputs are taken; out of range answers 0.
  g_sent.clear();
  EXPECT_EQ(SimModulePanelQuery(0, 2, 0), 0);
  EXPECT_EQ(SimModulePanelQuery(0, 0, 3), 0);
  SimModulePanelSend(0, 4, 1, 1500);
  SimModulePanelSend(0, 1, 0, 0x05);
  EXPECT_EQ(SimModulePanelQuery(0, 9, 0), 0);
  EXPECT_EQ(SimModulePanelQuery(0, 0, 4), 0);
  EXPECT_EQ(Count(0, TQ500_MSG_GET_INPUT), 4);
  EXPECT_EQ(Count(0, TQ500_MSG_SET_OUTPUT), 2);
  EXPECT_EQ(SentTo(0)[2].wParam, 4u * 256 + 1);
  // A coupler without a panel reads 0 and sends nothing.
  EXPECT_EQ(SimModulePanelQuery(1, 0, 0), 0);
  SimModulePanelSend(1, 0, 0, 1);
  EXPECT_EQ(SentTo(1).size(), 0u);
  EXPECT_TRUE(TitleOf(0) == "TQ500 - #7") << "the panel still answers";
}

TEST_F(PanelLinkTest, UnchangedModulesGetOnlyTheTitleAndAChangedBlockRestartsOnlyItsCoupler) {
  Coupler(0, 7, {4, 1}, {100, 101});
  Coupler(1, 8, {2}, {110});
  SimModulePanelOpen(1);
  const pid_t first0 = SimModulePanelProcess(0), first1 = SimModulePanelProcess(1);
  const int32_t id0 = COM_CouplerRecord(0)->panel, id1 = COM_CouplerRecord(1)->panel;
  ASSERT_TRUE(Running(first0));
  ASSERT_TRUE(Running(first1));

  // A second pass, nothing changed but the bus address of coupler 0: only the titles.
  g_sent.clear();
  std::snprintf(COM_CouplerRecord(0)->title, COM_PANEL_TITLE_SIZE, "TQ500 - #17");
  SimModulePanelOpen(1);
  ASSERT_EQ(g_sent.size(), 2u);
  for (const Sent& s : g_sent) EXPECT_EQ(s.message, TQ500_MSG_SET_TEXT);
  EXPECT_EQ(SimModulePanelProcess(0), first0);
  EXPECT_EQ(SimModulePanelProcess(1), first1);
  EXPECT_EQ(COM_CouplerRecord(0)->panel, id0);
  EXPECT_EQ(TitleOf(0), "TQ500 - #17");

  // One module's block number changes: coupler 1's panel is started again, coupler 0's stays.
  g_sent.clear();
  COM_CouplerRecord(1)->blocks[0] = 111;
  SimModulePanelOpen(1);
  EXPECT_EQ(SimModulePanelProcess(0), first0);
  EXPECT_EQ(SentTo(0).size(), 1u);
  EXPECT_NE(SimModulePanelProcess(1), first1);
  EXPECT_NE(COM_CouplerRecord(1)->panel, id1);
  EXPECT_FALSE(Running(first1)) << "the old panel has ended";
  const std::vector<Sent> s = SentTo(1);
  ASSERT_GE(s.size(), 2u);
  EXPECT_EQ(s[0].message, TQ500_MSG_SYSCOMMAND);  // the close of the old one
  EXPECT_EQ(s[0].wParam, TQ500_SC_CLOSE);
  EXPECT_EQ(Count(1, TQ500_MSG_ADD_MODULE), 2);
  // The old panel kept its position under its title.
  std::ifstream ini(folder / "Local AppWizard-Generated Applications" / "TQ500.ini");
  std::stringstream text;
  text << ini.rdbuf();
  EXPECT_NE(text.str().find("WindowPos.TQ500%20-%20%238.x"), std::string::npos) << text.str();

  // A record that falls out of use closes its panel.
  const pid_t third = SimModulePanelProcess(1);
  COM_CouplerRecord(1)->moduleCount = -1;
  SimModulePanelOpen(1);
  EXPECT_EQ(COM_CouplerRecord(1)->panel, 0);
  EXPECT_EQ(SimModulePanelProcess(1), 0);
  EXPECT_FALSE(Running(third));
  EXPECT_EQ(SimModulePanelProcess(0), first0);
}

TEST_F(PanelLinkTest, TheActiveWindowIsRestoredAfterThePass) {
  static const SimModulePanelWindowHooks hooks = {[] { g_hookCalls.push_back("remember"); },
                                                  [] { g_hookCalls.push_back("restore"); }};
  g_hookCalls.clear();
  SimSetModulePanelWindowHooks(&hooks);
  SimModulePanelOptions o = SimGetModulePanelOptions();
  o.trace = [](int, const host::IpcFrame& f) { g_hookCalls.push_back(std::to_string(f.message)); };
  SimSetModulePanelOptions(o);
  Coupler(3, 5, {1}, {130});
  SimModulePanelOpen(1);
  ASSERT_GE(g_hookCalls.size(), 3u);
  EXPECT_EQ(g_hookCalls.front(), "remember");
  EXPECT_EQ(g_hookCalls[g_hookCalls.size() - 2], std::to_string(TQ500_MSG_SHOW_WINDOW));
  EXPECT_EQ(g_hookCalls.back(), "restore");
}

TEST_F(PanelLinkTest, AKilledPanelAnswersZeroAtOnceAndTheNextPassStartsANewOne) {
  Coupler(0, 7, {4}, {100});
  SimModulePanelOpen(1);
  const pid_t pid = SimModulePanelProcess(0);
  ASSERT_TRUE(Running(pid));
  kill(pid, SIGKILL);
  const auto start = Clock::now();
  EXPECT_EQ(SimModulePanelQuery(0, 0, 0), 0);
  SimModulePanelSend(0, 0, 0, 5);
  EXPECT_EQ(SimModulePanelQuery(0, 0, 1), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kPatientMs)) << "not one message's time-out";
  g_sent.clear();
  SimModulePanelOpen(1);
  EXPECT_NE(SimModulePanelProcess(0), pid);
  EXPECT_TRUE(Running(SimModulePanelProcess(0)));
  EXPECT_EQ(Count(0, TQ500_MSG_ADD_MODULE), 2);
  EXPECT_EQ(TitleOf(0), "TQ500 - #7");
}

TEST_F(PanelLinkTest, AHangingPanelAnswersZeroWithinTheTimeOutAndIsReplaced) {
  // Long enough for the live panel's answers before it hangs, also on a loaded machine.
  constexpr int kTimeOutMs = 5000;
  SimModulePanelOptions o = SimGetModulePanelOptions();
  o.messageTimeoutMs = kTimeOutMs;
  SimSetModulePanelOptions(o);
  Coupler(0, 7, {4}, {100});
  SimModulePanelOpen(1);
  const pid_t pid = SimModulePanelProcess(0);
  ASSERT_TRUE(Running(pid));
  kill(pid, SIGSTOP);
  auto start = Clock::now();
  EXPECT_EQ(SimModulePanelQuery(0, 0, 0), 0);
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kTimeOutMs - 50));
  EXPECT_LT(waited, std::chrono::milliseconds(kTimeOutMs) + std::chrono::seconds(30));
  // Gone for good: the next four calls together wait less than one time-out.
  start = Clock::now();
  for (int j = 0; j < 4; ++j) EXPECT_EQ(SimModulePanelQuery(0, 0, j), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kTimeOutMs - 50));
  SimModulePanelOpen(1);
  EXPECT_NE(SimModulePanelProcess(0), pid);
  EXPECT_FALSE(Running(pid)) << "the hanging panel was ended";
  EXPECT_EQ(TitleOf(0), "TQ500 - #7");
}

TEST_F(PanelLinkTest, CloseAllEndsEveryPanel) {
  Coupler(0, 7, {4}, {100});
  Coupler(4, 11, {5}, {140});
  SimModulePanelOpen(1);
  const pid_t a = SimModulePanelProcess(0), b = SimModulePanelProcess(4);
  ASSERT_TRUE(Running(a));
  ASSERT_TRUE(Running(b));
  g_sent.clear();
  SimModulePanelCloseAll();
  EXPECT_FALSE(Running(a));
  EXPECT_FALSE(Running(b));
  EXPECT_EQ(COM_CouplerRecord(0)->panel, 0);
  EXPECT_EQ(COM_CouplerRecord(4)->panel, 0);
  EXPECT_EQ(Count(0, TQ500_MSG_SYSCOMMAND), 1);
  EXPECT_EQ(SimModulePanelQuery(0, 0, 0), 0);
  EXPECT_TRUE(std::filesystem::exists(folder / "Local AppWizard-Generated Applications" / "TQ500.ini"));
}

TEST_F(PanelLinkTest, AProgramThatCannotBeStartedOrFoundLeavesNoPanel) {
  SimModulePanelOptions o = SimGetModulePanelOptions();
  o.program = (folder / "no-such-tq500").string();
  SimSetModulePanelOptions(o);
  Coupler(0, 7, {4}, {100});
  SimModulePanelOpen(1);
  EXPECT_EQ(COM_CouplerRecord(0)->panel, 0);
  EXPECT_EQ(SimModulePanelProcess(0), 0);
  EXPECT_TRUE(g_sent.empty());
  EXPECT_EQ(SimModulePanelQuery(0, 0, 0), 0);

  // A program that starts but never answers as a panel is ended after the start time-out.
  const std::string fake = (folder / "silent").string();
  std::ofstream(fake) << "#!/bin/sh\nexec sleep 30\n";
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  o.program = fake;
  o.startTimeoutMs = 300;
  SimSetModulePanelOptions(o);
  SimModulePanelOpen(1);
  EXPECT_EQ(COM_CouplerRecord(0)->panel, 0);
  EXPECT_EQ(SimModulePanelProcess(0), 0);
}

// The panel's side of bad peers: other message numbers answer 0, and a simulator that
// vanishes in the middle of the exchange leaves a panel that still answers.
TEST_F(PanelLinkTest, APanelAnswersOtherMessagesZeroAndOutlivesAVanishedSimulator) {
  Coupler(0, 7, {6}, {100});
  SimModulePanelOpen(1);
  const std::string name = SimModulePanelEndpoint(0);
  ASSERT_FALSE(name.empty());
  for (uint32_t m : {0u, 2024u, 2028u, 0x7FFFFFFFu}) {
    host::IpcFrame f;
    f.message = m;
    f.wParam = 1;
    f.lParam = 1;
    EXPECT_EQ(host::IpcSendFull(name, f, nullptr, kPatientMs), 0) << m;
  }

  // A second simulator starts its own panel and dies while it asks it every cycle.
  ChildProcess sim([](ChildProcess& self) {
    COM_CouplerRecord(0)->moduleCount = -1;  // the test's panel is not this simulator's
    Coupler(1, 8, {2}, {110});
    SimModulePanelOpen(2);
    self.say(SimModulePanelEndpoint(1));
    for (;;) SimModulePanelQuery(1, 0, 0);
    return 0;
  });
  ASSERT_TRUE(sim.started());
  ASSERT_TRUE(sim.waitUntil([&] { return sim.said().find('\n') != std::string::npos; }, {}, 2 * kPatientMs));
  const std::string orphan = sim.said().substr(0, sim.said().find('\n'));
  ASSERT_EQ(orphan.rfind("TQ500:", 0), 0u) << sim.said();
  kill(sim.pid(), SIGKILL);
  sim.wait();
  host::IpcFrame ask;
  ask.message = TQ500_MSG_GET_TEXT;
  std::string title;
  EXPECT_GT(host::IpcSendFull(orphan, ask, &title, kPatientMs), 0);
  EXPECT_EQ(title, "TQ500 - #8");
  // Our own panel was not disturbed; the orphan ends on its close command.
  EXPECT_EQ(TitleOf(0), "TQ500 - #7");
  host::IpcFrame close;
  close.message = TQ500_MSG_SYSCOMMAND;
  close.wParam = TQ500_SC_CLOSE;
  host::IpcSendFull(orphan, close, nullptr, kPatientMs);
  const auto end = Clock::now() + std::chrono::milliseconds(kPatientMs);
  while (host::IpcExistsFull(orphan) && Clock::now() < end) usleep(10000);
  EXPECT_FALSE(host::IpcExistsFull(orphan));
}

// The remote I/O link from the scan to the exchange, on stand-in coupler and module rows,
// against live panels.
TEST_F(PanelLinkTest, TheScanOpensThePanelsAndTheExchangeReachesThem) {
  rio::install();
  ASSERT_TRUE(rio::addCoupler(23, 4));
  ASSERT_NE(rio::addAnalogInput(100, 23, 1, 52, 100.0f), nullptr);
  ASSERT_NE(rio::addModule(101, COM_TYPE_TQ_AO, 23, 3), nullptr);
  ASSERT_NE(rio::addModule(102, COM_TYPE_TQ_DI, 23, 4), nullptr);
  COM_ScanIoModules(1);
  ASSERT_NE(COM_CouplerRecord(2)->panel, 0);
  EXPECT_EQ(TitleOf(2), "TQ500 - #4");
  using Add = std::pair<uint32_t, int32_t>;
  const std::vector<Add> adds = {{64, 23}, {4, 100}, {65, -1}, {5, 101}, {2, 102}};
  std::vector<Add> seen;
  for (const Sent& s : SentTo(2))
    if (s.message == TQ500_MSG_ADD_MODULE) seen.emplace_back(s.wParam, s.lParam);
  EXPECT_EQ(seen, adds);

  uint8_t* out = rio::slot(23, 2).output;
  out[0] = 0xD0;  // 2000 thousandths on channel 0
  out[1] = 0x07;
  g_sent.clear();
  COM_ExchangeIoModules();
  EXPECT_EQ(Count(2, TQ500_MSG_GET_INPUT), 5);  // four analog channels, one digital word
  EXPECT_EQ(Count(2, TQ500_MSG_SET_OUTPUT), 4);
  bool sentOutput = false;
  for (const Sent& s : SentTo(2)) sentOutput |= s.message == TQ500_MSG_SET_OUTPUT && s.wParam == 2 * 256 && s.lParam == 2000;
  EXPECT_TRUE(sentOutput);
  EXPECT_EQ(rio::slot(23, 3).input[0], 0);  // nothing ticked on the panel
  COM_SetIoBlockAccess(nullptr);
  rio::reset();
  FB_ClearStore();
  FB_ClearTypeTable();
}

}  // namespace
