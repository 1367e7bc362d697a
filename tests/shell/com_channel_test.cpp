// The channel for PC tools, with the PC tool's transports as the client in another process:
// requests through the shares and events and through the hidden windows' texts, the order of
// the ways, answers going back the way their request came, typed requests, texts too long,
// the hidden windows' messages, reopening for a new address, and names left by a killed
// simulator.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ipc.h"
#include "host/named_event.h"
#include "host/shared_block.h"
#include "shell/com_channel.h"
#include "simlayer/SIM.h"
#include "support/child_process.h"
#include "support/test_env.h"
#include "tools/pctool/pc_channel_transport.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The time-out of a tool or a call whose answer comes: it only bounds a hang (a sanitizer
// build on a loaded machine can be 20 times slower). Tests of a time-out set short ones.
constexpr int kAnsweredMs = 60000;

const Bytes kRead98 = {0x04, '0', '0', '9', '8', 0x05};                // EOT "0098" ENQ
const Bytes kAnswer98 = {0x02, '9', '8', '=', 'F', 0x03, 0x79};        // STX "98=F" ETX BCC
const char kAnswer98Text[] = "0239383=460379";

std::string Hex(const Bytes& b) {
  std::string s;
  char h[4];
  for (uint8_t v : b) {
    std::snprintf(h, sizeof h, "%02X ", v);
    s += h;
  }
  return s;
}

// A way's shares and events as a tool opens them.
struct ToolWay {
  ToolWay(const char* kind, unsigned n) {
    const std::string p = host::SharedNamePrefix();
    request = host::SharedBlock::OpenFull(p + SimComChannelName("Share", false, kind, n), nullptr);
    response = host::SharedBlock::OpenFull(p + SimComChannelName("Share", true, kind, n), nullptr);
    set = host::NamedEvent::OpenFull(p + SimComChannelName("Event", false, kind, n), nullptr);
    answered = host::NamedEvent::OpenFull(p + SimComChannelName("Event", true, kind, n), nullptr);
  }
  bool ok() const { return request && response && set && answered; }
  std::unique_ptr<host::SharedBlock> request, response;
  std::unique_ptr<host::NamedEvent> set, answered;
};

class ComChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SetSharedNamePrefix("simtest" + std::to_string(getpid()) + ".");
    ASSERT_EQ(SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME), 0);
    SIM_ClearLog();
    std::memset(&buf_, 0xEE, sizeof buf_);
  }
  void TearDown() override {
    SimComSetViewWindows({}, {});
    SimComClose();
  }

  static std::string Full(const std::string& name) { return host::SharedNamePrefix() + name; }
  static std::string Name(const char* kind, bool response, const char* way = "Com", unsigned n = SIM_COM_PORT) {
    return SimComChannelName(kind, response, way, n);
  }
  // The text of one of the channel's shares, as a tool sees it.
  static std::string ShareText(const std::string& name) {
    auto b = host::SharedBlock::OpenFull(Full(name), nullptr);
    return b ? std::string(static_cast<const char*>(b->data()), strnlen(static_cast<const char*>(b->data()), 1024))
             : "(none)";
  }
  // A tool's request written straight into a share, its event set last.
  static void PutShareRequest(const char* kind, unsigned n, const std::string& text) {
    const ToolWay way(kind, n);
    ASSERT_TRUE(way.ok());
    std::memcpy(way.request->data(), text.data(), std::min<size_t>(text.size(), SIM_COM_SHARE_SIZE));
    if (text.size() < SIM_COM_SHARE_SIZE) static_cast<char*>(way.request->data())[text.size()] = 0;
    way.set->set();
  }

  int Poll() { return SimComPollRequest(buf_.text, sizeof buf_.text, &length_); }
  Bytes Request() const { return Bytes(buf_.text, buf_.text + (length_ & 0x7FFF)); }
  void Post(const Bytes& answer, uint16_t flag = 0x8000) {
    ASSERT_EQ(SimComPostResponse(reinterpret_cast<const char*>(answer.data()),
                                 static_cast<uint16_t>(answer.size() | flag)),
              1);
  }
  // Serves a child's requests as a firmware would, with `answer` for each, until it ends.
  int ServeChild(ChildProcess& child, const std::function<Bytes(const Bytes&)>& answer) {
    return child.wait([&] {
      if (Poll()) Post(answer(Request()));
    });
  }
  bool Untouched() const {
    for (char c : buf_.text) if (static_cast<uint8_t>(c) != 0xEE) return false;
    for (char c : buf_.guard) if (static_cast<uint8_t>(c) != 0xEE) return false;
    return true;
  }

  struct {
    char text[500];
    char guard[16];
  } buf_;
  uint16_t length_ = 0;
};

TEST_F(ComChannelTest, AToolsRequestThroughThePortShareIsAnsweredThroughItsResponseShare) {
  ChildProcess child([](ChildProcess& me) {
    std::string err;
    auto t = PcOpenChannel("share:Com10", kAnsweredMs, &err);
    Bytes answer;
    if (!t || !t->exchange(kRead98, false, &answer, &err)) {
      me.say("error " + err);
      return 1;
    }
    me.say(Hex(answer));
    return 0;
  });
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(child.waitUntil([&] { return Poll() == 1; }, {}));
  EXPECT_EQ(Request(), kRead98);
  EXPECT_EQ(length_, 6) << "a text frame";
  EXPECT_EQ(SimComState(), SIM_COM_PORT_SHARE);
  EXPECT_EQ(ShareText(Name("Share", false)), "") << "the request share is cleared";
  EXPECT_EQ(buf_.text[6], 0) << "the rest of the request text is cleared";
  Post(kAnswer98);
  EXPECT_EQ(ShareText(Name("Share", true)), kAnswer98Text) << "a text request gets a text answer";
  EXPECT_EQ(SimComState(), SIM_COM_NONE);
  EXPECT_EQ(child.wait(), 0);
  EXPECT_EQ(child.said(), Hex(kAnswer98) + "\n");
  auto responded = host::NamedEvent::Open(Name("Event", true), nullptr);
  ASSERT_TRUE(responded);
  EXPECT_FALSE(responded->take()) << "set once, and the tool took it";
  EXPECT_EQ(Poll(), 0) << "nothing more waits";
}

// A simulator that is starting takes a request but answers it only seconds later: the tool
// waits on for that same answer (saying so) instead of failing at its time-out; one that
// never answers fails after the start allowance, and the next request gets no allowance.
TEST_F(ComChannelTest, AToolWaitsOnForTheAnswerOfADeviceThatIsStarting) {
  for (const bool answers : {true, false}) {
    SCOPED_TRACE(answers ? "answered late" : "never answered");
    // Long enough that the late answer surely comes within it; short where none comes.
    const int startMs = answers ? kAnsweredMs : 300;
    ChildProcess child([startMs](ChildProcess& me) {
      std::string err;
      PcChannelWaits waits{100, startMs, [&me] { me.say("starting"); }};
      auto t = PcOpenChannel("share:Com10", waits, &err);
      Bytes answer;
      if (!t) return 2;
      if (!t->exchange(kRead98, false, &answer, &err)) {
        me.say("error " + err);
        // Spent in vain once: the next request fails at its own time-out.
        const bool again = t->exchange(kRead98, false, &answer, &err);
        me.say(again ? "answered" : "error " + err);
        return 1;
      }
      me.say(Hex(answer));
      return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.waitUntil([&] { return Poll() == 1; }, {}));
    // The answer only after the tool said that it waits for a starting device.
    ASSERT_TRUE(child.waitUntil([&] { return child.saidLine("starting"); }, {}));
    if (answers) Post(kAnswer98);
    EXPECT_EQ(child.wait([&] { Poll(); }), answers ? 0 : 1) << "a second request is taken, never answered";
    if (answers) {
      EXPECT_EQ(child.said(), "starting\n" + Hex(kAnswer98) + "\n");
    } else {
      EXPECT_TRUE(child.saidLine("error no answer within 100 ms, nor in 300 ms more for a device that is starting"))
          << child.said();
      // The first request is still out: the second waits its own time-out for that answer
      // (no start allowance) and, as it never comes, says the way is busy.
      EXPECT_TRUE(child.saidLine("error \"" + Full(Name("Share", false)) +
                                 "\" is busy: the simulator has not answered an earlier request within 100 ms"))
          << child.said();
    }
    SimComClose();
    ASSERT_EQ(SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME), 0);
  }
}

TEST_F(ComChannelTest, TheAddressShareCarriesABinaryFrameAndItsEventIsSetOnce) {
  PutShareRequest("Adr", 1, "#0103000:0001:408");
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(Request(), (Bytes{0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08}));
  EXPECT_EQ(length_, 0x8008);
  EXPECT_EQ(SimComState(), SIM_COM_ADDRESS_SHARE);
  Post({0x01, 0x03, 0x02, 0x00, 0x2A, 0x38, 0x5B});
  EXPECT_EQ(ShareText(Name("Share", true, "Adr", 1)), "#010302002:385;");
  EXPECT_EQ(ShareText(Name("Share", true)), "") << "the port's share is not touched";
  auto responded = host::NamedEvent::Open(Name("Event", true, "Adr", 1), nullptr);
  ASSERT_TRUE(responded);
  EXPECT_TRUE(responded->take());
  EXPECT_FALSE(responded->take());
}

// A share request and a main-window request waiting at once: the share goes first, the
// window text in the next cycle, and each answer goes back its own way.
TEST_F(ComChannelTest, AShareRequestGoesBeforeAWindowRequestAndEachAnswerGoesItsOwnWay) {
  ChildProcess child([](ChildProcess& me) {
    const ToolWay way("Com", 10);
    if (!way.ok()) return 1;
    std::strcpy(static_cast<char*>(way.request->data()), "043030393805");
    way.set->set();
    host::IpcFrame f;
    f.message = SIM_COM_SETTEXT;
    f.payload = "043030313805";  // EOT "0018" ENQ
    const std::string p = host::SharedNamePrefix();
    if (host::IpcSendFull(p + SIM_COM_MAIN_NAME, f, nullptr, kAnsweredMs) != 1) return 2;
    me.say("ready");
    if (!way.answered->wait(kAnsweredMs)) return 3;
    me.say(std::string("share ") + static_cast<const char*>(way.response->data()));
    f.message = SIM_COM_GETTEXT;
    f.wParam = 1024;
    f.payload.clear();
    std::string text;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnsweredMs);
    while (text.empty() && std::chrono::steady_clock::now() < end) {
      host::IpcSendFull(p + SimComResponseName(SIM_COM_MAIN_NAME), f, &text, kAnsweredMs);
      if (text.empty()) usleep(10000);
    }
    me.say("window " + text);
    return 0;
  });
  ASSERT_TRUE(child.waitUntil([&] { return child.saidLine("ready"); }, [] { SimComServe(); }));
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(SimComState(), SIM_COM_PORT_SHARE);
  EXPECT_EQ(Request(), kRead98);
  Post({0x06});
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(SimComState(), SIM_COM_MAIN_WINDOW);
  EXPECT_EQ(Request(), (Bytes{0x04, '0', '0', '1', '8', 0x05}));
  Post({0x15});
  EXPECT_EQ(child.wait([] { SimComServe(); }), 0) << child.said();
  EXPECT_EQ(child.said(), "ready\nshare 06\nwindow 15\n");
}

// The window ways: the tool sets the request window's text, waits for the notification and
// reads the response window's text.
TEST_F(ComChannelTest, AToolsWindowRequestIsAnsweredInItsResponseWindowWithANotification) {
  ChildProcess child([](ChildProcess& me) {
    for (const char* way : {"window:Mx74Main", "window:Com10", "window:Adr01"}) {
      std::string err;
      auto t = PcOpenChannel(way, kAnsweredMs, &err);
      Bytes answer;
      if (!t || !t->exchange(kRead98, false, &answer, &err)) {
        me.say(std::string(way) + " error " + err);
        return 1;
      }
      me.say(std::string(way) + " " + Hex(answer));
    }
    return 0;
  });
  std::vector<int> sources;
  EXPECT_EQ(ServeChild(child, [&](const Bytes& r) {
              sources.push_back(SimComState());
              return r == kRead98 ? kAnswer98 : Bytes{0x15};
            }),
            0)
      << child.said();
  EXPECT_EQ(child.said(), "window:Mx74Main " + Hex(kAnswer98) + "\nwindow:Com10 " + Hex(kAnswer98) +
                              "\nwindow:Adr01 " + Hex(kAnswer98) + "\n");
  EXPECT_EQ(sources, (std::vector<int>{SIM_COM_MAIN_WINDOW, SIM_COM_PORT_WINDOW, SIM_COM_ADDRESS_WINDOW}));
}

TEST_F(ComChannelTest, TheToolsTransportNamesWhatIsMissing) {
  std::string err;
  EXPECT_FALSE(PcOpenChannel("pipe:Com10", 100, &err));
  EXPECT_NE(err.find("unknown way"), std::string::npos);
  EXPECT_FALSE(PcOpenChannel("share:Com", 100, &err));
  Bytes answer;
  // The simulator is there but takes nothing (no cycle runs).
  auto share = PcOpenChannel("share:Com10", 100, &err);
  ASSERT_TRUE(share);
  EXPECT_FALSE(share->exchange(kRead98, false, &answer, &err));
  EXPECT_EQ(err, "no answer within 100 ms");
  EXPECT_FALSE(share->exchange(Bytes(600, 0), true, &answer, &err)) << "not sent at all";
  EXPECT_NE(err.find("too long"), std::string::npos);
  auto window = PcOpenChannel("window:Mx74Main", 100, &err);
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->exchange(Bytes(300, 0), true, &answer, &err)) << "over a window's 519 characters";
  EXPECT_NE(err.find("too long"), std::string::npos);
  // No simulator at all.
  SimComClose();
  EXPECT_FALSE(share->exchange(kRead98, false, &answer, &err));
  EXPECT_NE(err.find("no shared block"), std::string::npos) << err;
  EXPECT_FALSE(window->exchange(kRead98, false, &answer, &err));
  EXPECT_NE(err.find("no simulator window"), std::string::npos) << err;
}

TEST_F(ComChannelTest, TheHiddenWindowsAnswerTextMessagesAndNothingElse) {
  ChildProcess child([](ChildProcess& me) {
    const std::string window = host::SharedNamePrefix() + SimComChannelName("Class", true, "Com", 10);
    struct Call {
      uint32_t message;
      uint32_t wParam;
      std::string payload;
    } calls[] = {
        {SIM_COM_SETTEXT, 0, std::string(1024, 'x')},  // longer than a window keeps
        {SIM_COM_SETTEXT, 0, std::string("abc\0def", 7)},
        {SIM_COM_GETTEXTLENGTH, 0, ""},
        {SIM_COM_GETTEXT, 3, ""},
        {SIM_COM_GETTEXT, 0, ""},
        {SIM_COM_CLIENT_REQUEST, 6, ""},
        {SIM_COM_CLIENT_RESPONSE, 0, ""},
        {0x0400, 0, ""},
        {SIM_COM_REGISTER_NOTIFY, 0, "a/b"},
        {SIM_COM_REGISTER_NOTIFY, 0, ""},
    };
    for (const Call& c : calls) {
      host::IpcFrame f;
      f.message = c.message;
      f.wParam = c.wParam;
      f.payload = c.payload;
      std::string reply;
      const int32_t r = host::IpcSendFull(window, f, &reply, kAnsweredMs);
      me.say(std::to_string(r) + (reply.empty() ? "" : " " + reply));
    }
    return 0;
  });
  EXPECT_EQ(child.wait([] { SimComServe(); }), 0);
  EXPECT_EQ(child.said(), "0\n1\n3\n2 ab\n0\n0\n0\n0\n0\n0\n");
}

TEST_F(ComChannelTest, ATypedRequestIsAnsweredOnlyInTheView) {
  std::vector<std::string> requests, responses;
  SimComSetViewWindows([&](const std::string& t) { requests.push_back(t); },
                       [&](const std::string& t) { responses.push_back(t); });
  ASSERT_TRUE(SimComInject("#01 06 00 10 00 2A"));
  EXPECT_EQ(SimComState(), SIM_COM_INJECTED);
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(Request(), (Bytes{0x01, 0x06, 0x00, 0x10, 0x00, 0x2A, 0x09, 0xD0}));
  EXPECT_EQ(length_, 0x8008);
  Post(Request());
  EXPECT_EQ(SimComState(), SIM_COM_NONE);
  ASSERT_TRUE(SimComInject("18"));
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(length_, 6);
  Post({0x06});
  EXPECT_EQ(requests, (std::vector<std::string>{"# 01 06 00 10 00 2A 09 D0 ", "18"}));
  // Each new request clears the answer shown before it.
  EXPECT_EQ(responses, (std::vector<std::string>{"", "# 01 06 00 10 00 2A 09 D0 ", "", "(ACK)"}));
  EXPECT_EQ(ShareText(Name("Share", true)), "") << "nothing goes to the tools' ways";
  EXPECT_EQ(Poll(), 0);

  EXPECT_FALSE(SimComInject("#zz"));
  EXPECT_FALSE(SimComInject(std::string(600, '1').c_str()));
  EXPECT_EQ(Poll(), 0) << "a refused text hands in nothing";
  EXPECT_EQ(SimComPostResponse("\x06", 1), 0) << "no request in flight";
}

TEST_F(ComChannelTest, TextsTooLongForTheRequestAreRefusedWhole) {
  // A share text of 1023 characters would decode to 511 bytes.
  ChildProcess child([](ChildProcess& me) {
    const ToolWay way("Com", 10);
    if (!way.ok()) return 1;
    std::memcpy(way.response->data(), "stale", 6);
    std::string text = "#" + std::string(1022, '1');
    std::memcpy(way.request->data(), text.c_str(), text.size() + 1);
    way.set->set();
    if (!way.answered->wait(kAnsweredMs)) return 2;
    me.say(std::string("answer '") + static_cast<const char*>(way.response->data()) + "'");
    return 0;
  });
  EXPECT_EQ(child.wait([&] { EXPECT_EQ(Poll(), 0); }), 0) << child.said();
  EXPECT_EQ(child.said(), "answer ''\n") << "an empty answer at once";
  EXPECT_TRUE(Untouched()) << "nothing handed in, nothing written past the request text";
  EXPECT_EQ(ShareText(Name("Share", false)), "");
  EXPECT_NE(SIM_GetLog().find("1023 characters"), std::string::npos);

  // A share without an end, and a window text over 519 characters.
  PutShareRequest("Adr", 1, std::string(SIM_COM_SHARE_SIZE, '1'));
  EXPECT_EQ(Poll(), 0);
  EXPECT_EQ(ShareText(Name("Share", false, "Adr", 1)), "");
  ChildProcess window([](ChildProcess&) {
    host::IpcFrame f;
    f.message = SIM_COM_SETTEXT;
    f.payload = std::string(520, '1');
    return host::IpcSendFull(host::SharedNamePrefix() + SIM_COM_MAIN_NAME, f, nullptr, kAnsweredMs) == 1 ? 0 : 1;
  });
  EXPECT_EQ(window.wait([] { SimComServe(); }), 0);
  EXPECT_EQ(Poll(), 0);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(Poll(), 0) << "the refused text is gone";

  // An answer over 256 bytes is never copied.
  PutShareRequest("Com", 10, "043030393805");
  ASSERT_EQ(Poll(), 1);
  Bytes big(300, 0x41);
  Post(big);
  EXPECT_EQ(ShareText(Name("Share", true)), "");
  EXPECT_NE(SIM_GetLog().find("300 bytes"), std::string::npos);
}

TEST_F(ComChannelTest, ANewAddressReopensTheChannelUnderItsNames) {
  EXPECT_TRUE(host::SharedBlock::InUse(Name("Share", false, "Adr", 1)));
  PutShareRequest("Com", 10, "043030393805");  // waiting in the port's share meanwhile
  ASSERT_EQ(SimComOpen(SIM_COM_PORT, 5, SIM_COM_MAIN_NAME), 0);
  for (const char* kind : {"Share", "Event", "Class"}) {
    for (bool response : {false, true}) {
      const std::string old = Name(kind, response, "Adr", 1), now = Name(kind, response, "Adr", 5);
      const bool oldLives = host::SharedBlock::InUse(old) || host::NamedEvent::InUse(old) ||
                            host::IpcEndpoint::InUse(old);
      const bool newLives = host::SharedBlock::InUse(now) || host::NamedEvent::InUse(now) ||
                            host::IpcEndpoint::InUse(now);
      EXPECT_FALSE(oldLives) << old;
      EXPECT_TRUE(newLives) << now;
    }
  }
  ASSERT_EQ(Poll(), 1) << "the port's names stay open with what they hold";
  EXPECT_EQ(SimComState(), SIM_COM_PORT_SHARE);
  Post(kAnswer98);
  PutShareRequest("Adr", 5, "043030393805");
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(SimComState(), SIM_COM_ADDRESS_SHARE);
}

// The names this process holds: in the shared-memory folder and the endpoints' folder.
std::vector<std::string> NamesWithPrefix() {
  std::vector<std::string> names;
  for (const std::string& dir : {std::string("/dev/shm"), host::IpcFolder()}) {
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      const std::string n = e.path().filename().string();
      if (n.find(host::SharedNamePrefix()) != std::string::npos &&
          (n.find("SimCom") != std::string::npos || n.find("Mx74Main") != std::string::npos))
        names.push_back(n);
    }
  }
  return names;
}

TEST_F(ComChannelTest, NamesOfAKilledSimulatorAreStaleAndACleanEndLeavesNone) {
  SimComClose();
  EXPECT_TRUE(NamesWithPrefix().empty());
  ChildProcess killed([](ChildProcess&) {
    if (SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME) != 0) return 1;
    raise(SIGKILL);
    return 2;
  });
  EXPECT_EQ(killed.wait(), 128 + SIGKILL);
  EXPECT_EQ(NamesWithPrefix().size(), 6u + 4u + 4u + 4u) << "windows, shares, events and their owners";
  EXPECT_EQ(SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME), 0) << SIM_GetLog();
  PutShareRequest("Com", 10, "043030393805");
  ASSERT_EQ(Poll(), 1);
  Post(kAnswer98);
  EXPECT_EQ(ShareText(Name("Share", true)), kAnswer98Text);
  SimComClose();
  EXPECT_TRUE(NamesWithPrefix().empty());
  EXPECT_FALSE(SimComIsOpen());
}

TEST_F(ComChannelTest, ANameHeldByAnotherLiveProcessIsLeftOutAndReported) {
  SimComClose();
  ChildProcess holder([](ChildProcess& me) {
    auto e = host::IpcEndpoint::Create(SimComChannelName("Class", false, "Com", 10), nullptr, nullptr);
    me.say(e ? "holding" : "failed");
    pause();
    return 0;
  });
  ASSERT_TRUE(holder.waitUntil([&] { return !holder.said().empty(); }, {}));
  ASSERT_EQ(holder.said(), "holding\n");
  EXPECT_EQ(SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME), 1);
  EXPECT_NE(SIM_GetLog().find("is in use"), std::string::npos);
  PutShareRequest("Com", 10, "043030393805");
  EXPECT_EQ(Poll(), 1) << "the other ways still work";
  kill(holder.pid(), SIGKILL);
  holder.wait();
  EXPECT_FALSE(host::IpcEndpoint::InUse(SimComChannelName("Class", false, "Com", 10))) << "its stale name removed";
}

// Four tools at once on three ways, two of them on the same way, for 20 s: each request gets
// its own answer (the firmware here answers each request by its own bytes), none is lost
// (none waits out its time-out, which only bounds a hang).
TEST_F(ComChannelTest, FourToolsAtOnceEachGetTheirOwnAnswers) {
  static constexpr int kSeconds = 20;
  const char* ways[] = {"share:Com10", "share:Com10", "window:Com10", "window:Mx74Main"};
  std::vector<std::unique_ptr<ChildProcess>> tools;
  for (int t = 0; t < 4; ++t) {
    const std::string way = ways[t];
    tools.push_back(std::make_unique<ChildProcess>([t, way](ChildProcess& me) {
      std::string err;
      auto transport = PcOpenChannel(way, kAnsweredMs, &err);
      if (!transport) return 1;
      int requests = 0, failures = 0;
      std::vector<double> ms;
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kSeconds);
      while (std::chrono::steady_clock::now() < end) {
        const std::string id = std::to_string(t) + "," + std::to_string(requests++);
        const std::string frame = std::string("\x04" "00") + id + "\x05";  // EOT, address, id, ENQ
        const Bytes request(frame.begin(), frame.end());
        Bytes answer;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = transport->exchange(request, false, &answer, &err);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (!ok || answer != Bytes(request.rbegin(), request.rend())) {
          if (++failures <= 3) me.say("failed " + way + " " + id + ": " + (ok ? Hex(answer) : err));
        }
      }
      std::sort(ms.begin(), ms.end());
      char line[160];
      std::snprintf(line, sizeof line, "figures %d %d %.2f %.2f", requests, failures, ms[ms.size() / 2],
                    ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]);
      me.say(line);
      return 0;
    }));
    ASSERT_TRUE(tools.back()->started());
  }
  // The simulator's side: one request per cycle, answered by the request's bytes reversed.
  const auto bound =
      std::chrono::steady_clock::now() + std::chrono::seconds(kSeconds) + 2 * std::chrono::milliseconds(kAnsweredMs);
  for (bool running = true; running && std::chrono::steady_clock::now() < bound;) {
    SimComServe();
    if (Poll()) {
      const Bytes r = Request();
      Post(Bytes(r.rbegin(), r.rend()), 0);
    }
    running = false;
    for (auto& tool : tools) running = tool->step() || running;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  int total = 0;
  for (int t = 0; t < 4; ++t) {
    ChildProcess& tool = *tools[t];
    EXPECT_EQ(tool.wait({}, 1000), 0) << ways[t];
    int requests = 0, failures = 0;
    double median = 0, p99 = 0;
    const size_t at = tool.said().find("figures ");
    ASSERT_NE(at, std::string::npos) << ways[t] << ": " << tool.said();
    ASSERT_EQ(std::sscanf(tool.said().c_str() + at, "figures %d %d %lf %lf", &requests, &failures, &median, &p99), 4);
    EXPECT_EQ(failures, 0) << ways[t] << ": " << tool.said();
    EXPECT_GT(requests, 10) << ways[t];
    total += requests;
    std::printf("%-16s requests %6d  failures %d  median %.2f ms  p99 %.2f ms\n", ways[t], requests, failures, median,
                p99);
  }
  RecordProperty("requests", total);
}

// A tool that is killed or gives up after its request, then the next tool on the same way:
// the next tool gets the answer to its own request or an error, never the answer meant for
// the tool before. The simulator here takes no request while the first tool lives (so that
// its request is still out when it has gone), and takes it a few steps after the next tool
// has started; it answers a moment after taking it, while the windows are not served (as the
// firmware's cycle holds the program's thread).
TEST_F(ComChannelTest, AnAnswerMeantForAToolThatDiedOrGaveUpNeverReachesTheNextTool) {
  static constexpr int kTurns = 200;
  const char* ways[] = {"share:Com10", "window:Com10", "window:Mx74Main"};
  unsigned seed = 12345;
  auto random = [&seed](int below) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(below));
  };
  int held = 1 << 30;  // steps until the simulator takes requests again
  auto simulator = [&] {
    SimComServe();
    if (held > 0) {
      --held;
      return;
    }
    if (Poll()) {
      std::this_thread::sleep_for(std::chrono::microseconds(random(6000)));
      const Bytes r = Request();
      Post(Bytes(r.rbegin(), r.rend()), 0);
    }
  };
  auto tool = [](const std::string& way, const std::string& id, int timeoutMs) {
    return std::make_unique<ChildProcess>([way, id, timeoutMs](ChildProcess& me) {
      std::string err;
      auto transport = PcOpenChannel(way, timeoutMs, &err);
      const std::string frame = std::string("\x04" "00") + id + "\x05";
      const Bytes request(frame.begin(), frame.end());
      Bytes answer;
      if (!transport || !transport->exchange(request, false, &answer, &err)) return me.say("error " + err), 1;
      me.say(answer == Bytes(request.rbegin(), request.rend()) ? "own" : "wrong " + Hex(answer));
      return 0;
    });
  };
  int own = 0, wrong = 0, errors = 0;
  std::string firstWrong, firstError;
  for (int turn = 0; turn < kTurns; ++turn) {
    const std::string way = ways[turn % 3];
    // The first tool: killed 0..25 ms after its start, or gives up after 1..25 ms.
    const bool killed = turn % 2 == 0;
    held = 1 << 30;
    auto first = tool(way, "A" + std::to_string(turn), killed ? 2000 : 1 + random(25));
    ASSERT_TRUE(first->started());
    const auto killAt = std::chrono::steady_clock::now() + std::chrono::microseconds(random(25000));
    first->waitUntil([&] { return killed && std::chrono::steady_clock::now() >= killAt; }, simulator, 10000);
    if (killed) kill(first->pid(), SIGKILL);
    first->wait(simulator);
    auto next = tool(way, "B" + std::to_string(turn), kAnsweredMs);
    ASSERT_TRUE(next->started());
    held = random(5);
    next->wait(simulator);
    const std::string said = next->said();
    if (said == "own\n") {
      ++own;
    } else if (said.rfind("wrong", 0) == 0) {
      if (wrong++ == 0) firstWrong = way + ": " + said;
    } else {
      if (errors++ == 0) firstError = way + ": " + said;
    }
  }
  std::printf("turns %d: own answers %d, wrong answers %d, errors %d %s\n", kTurns, own, wrong, errors,
              firstError.c_str());
  EXPECT_EQ(wrong, 0) << firstWrong;
  EXPECT_GT(own, kTurns / 2) << firstError;
}

// The notification endpoints that killed tools left behind go when the next tool makes its
// own; those of a tool that still runs stay.
TEST_F(ComChannelTest, EndpointsOfKilledToolsAreClearedByTheNextTool) {
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  auto leave = [](pid_t pid) {
    const std::string path = host::IpcFolder() + "/" + host::SharedNamePrefix() + "pctool." + std::to_string(pid) + ".0";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0) << path;
    close(fd);  // the socket file stays, as after a SIGKILL
    return path;
  };
  const std::string stale = leave(gone);
  const std::string live = leave(getppid());
  ChildProcess tool([](ChildProcess&) {
    std::string err;
    auto t = PcOpenChannel("window:Com10", kAnsweredMs, &err);
    Bytes answer;
    return t && t->exchange(kRead98, false, &answer, &err) ? 0 : 1;
  });
  ASSERT_TRUE(tool.started());
  EXPECT_EQ(ServeChild(tool, [](const Bytes&) { return kAnswer98; }), 0);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(live));
  unlink(live.c_str());
}

// A flood of connections that send nothing, on the main window: the tools on that window are
// answered (a call that the flood pushed out is made again); one that cannot be served in
// time is told that the window is busy, never that there is no simulator window.
TEST_F(ComChannelTest, AConnectionFloodOnAWindowLeavesItsToolsServedOrTold) {
  static constexpr int kExchanges = 10;
  std::vector<std::unique_ptr<ChildProcess>> flood;
  for (int f = 0; f < 4; ++f) {
    flood.push_back(std::make_unique<ChildProcess>([](ChildProcess&) {
      const std::string full = host::SharedNamePrefix() + SIM_COM_MAIN_NAME;
      std::vector<std::unique_ptr<host::IpcConnection>> held;
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (std::chrono::steady_clock::now() < end) {
        if (auto c = host::IpcConnection::OpenFull(full, 0, nullptr)) held.push_back(std::move(c));
        if (held.size() > 64) held.erase(held.begin());
      }
      return 0;
    }));
    ASSERT_TRUE(flood.back()->started());
  }
  ChildProcess tools([](ChildProcess& me) {
    int own = 0, busy = 0, other = 0;
    for (int i = 0; i < kExchanges; ++i) {
      std::string err;
      // A time-out far above what a loaded machine takes to serve: the flood, not the
      // machine's load, is what this test puts the window to.
      auto transport = PcOpenChannel("window:Mx74Main", 5000, &err);
      const std::string frame = std::string("\x04" "00") + "F" + std::to_string(i) + "\x05";
      const Bytes request(frame.begin(), frame.end());
      Bytes answer;
      if (transport && transport->exchange(request, false, &answer, &err)) {
        if (answer == Bytes(request.rbegin(), request.rend())) ++own; else ++other, me.say("wrong " + Hex(answer));
      } else if (err.find("busy") != std::string::npos) {
        ++busy;
      } else {
        ++other;
        me.say("error " + err);
      }
    }
    me.say("figures " + std::to_string(own) + " " + std::to_string(busy) + " " + std::to_string(other));
    return 0;
  });
  ASSERT_TRUE(tools.started());
  EXPECT_EQ(tools.wait([&] {
    SimComServe();
    if (Poll()) {
      const Bytes r = Request();
      Post(Bytes(r.rbegin(), r.rend()), 0);
    }
    for (auto& f : flood) f->step();
  }, 120000), 0);
  for (auto& f : flood) {
    kill(f->pid(), SIGKILL);
    f->wait();
  }
  int own = 0, busy = 0, other = 0;
  const size_t at = tools.said().find("figures ");
  ASSERT_NE(at, std::string::npos) << tools.said();
  ASSERT_EQ(std::sscanf(tools.said().c_str() + at, "figures %d %d %d", &own, &busy, &other), 3);
  std::printf("flood: own answers %d, busy %d, other %d\n", own, busy, other);
  EXPECT_EQ(other, 0) << tools.said();
  EXPECT_EQ(own + busy, kExchanges);
}

#ifdef PCTOOL_PROGRAM
// Two loops of the PC tool on the port share, one started without a runtime folder (as from
// cron or ssh) and one with a runtime folder of its own: they take turns all the same, and
// every tool prints the answer to its own request. The simulator here answers a text request
// by its own text (so "ident" reads "18" and "read 103 06" reads "06,103").
TEST_F(ComChannelTest, ToolsOfDifferentSessionsTakeTurnsOnAShare) {
  static constexpr int kExchanges = 60;
  const std::string runtime = testenv::FreshFolder("runtime");
  struct Loop {
    const char* command;
    const char* printed;
    bool ownRuntime;
  } loops[] = {{"ident", "ident: 18\n", false}, {"read 103 06", "read 103 06: 06,103\n", true}};
  std::vector<std::unique_ptr<ChildProcess>> tools;
  for (const Loop& loop : loops) {
    tools.push_back(std::make_unique<ChildProcess>([&loop, &runtime](ChildProcess& me) {
      if (loop.ownRuntime)
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      else
        unsetenv("XDG_RUNTIME_DIR");
      const std::string command = std::string(PCTOOL_PROGRAM) + " -p " + host::SharedNamePrefix() +
                                  " -c share:Com10 -w " + std::to_string(kAnsweredMs) + " " + loop.command + " 2>&1";
      int own = 0, wrong = 0, failed = 0;
      double slowest = 0;
      for (int i = 0; i < kExchanges; ++i) {
        const auto start = std::chrono::steady_clock::now();
        FILE* p = popen(command.c_str(), "r");
        std::string out;
        char buf[256];
        size_t n;
        while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        const int status = p ? pclose(p) : -1;
        slowest = std::max(slowest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        if (status == 0 && out == loop.printed) {
          ++own;
        } else if (status == 0) {
          if (wrong++ == 0) me.say("wrong " + out);
        } else if (failed++ == 0) {
          me.say("failed " + out);
        }
      }
      char line[128];
      std::snprintf(line, sizeof line, "figures %d %d %d %.1f", own, wrong, failed, slowest);
      me.say(line);
      return 0;
    }));
    ASSERT_TRUE(tools.back()->started());
  }
  // 120 starts of the tool: a bound only against a hang, within the test's own time limit.
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(480);
  for (bool running = true; running && std::chrono::steady_clock::now() < bound;) {
    SimComServe();
    if (Poll()) {
      const Bytes r = Request();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the firmware's cycle
      Bytes answer{SIM_COM_STX};
      if (r.size() > 4) answer.insert(answer.end(), r.begin() + 3, r.end() - 1);
      answer.push_back(SIM_COM_ETX);
      uint8_t bcc = 0;
      for (size_t i = 1; i < answer.size(); ++i) bcc ^= answer[i];
      answer.push_back(bcc);
      Post(answer, 0);
    }
    running = false;
    for (auto& tool : tools) running = tool->step() || running;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  for (size_t t = 0; t < tools.size(); ++t) {
    ChildProcess& tool = *tools[t];
    EXPECT_EQ(tool.wait({}, 1000), 0) << loops[t].command;
    int own = 0, wrong = 0, failed = 0;
    double slowest = 0;
    const size_t at = tool.said().find("figures ");
    ASSERT_NE(at, std::string::npos) << tool.said();
    ASSERT_EQ(std::sscanf(tool.said().c_str() + at, "figures %d %d %d %lf", &own, &wrong, &failed, &slowest), 4);
    std::printf("%-12s own %d  wrong %d  failed %d  slowest %.1f ms\n", loops[t].command, own, wrong, failed, slowest);
    EXPECT_EQ(own, kExchanges) << tool.said();
  }
  std::filesystem::remove_all(runtime);
}
#endif

// Another process has made the port's shares and events first and handed them to another
// user, or opened them to everyone: the simulator leaves them out and says why, and a tool
// neither writes its request into them nor waits on them.
TEST_F(ComChannelTest, NamesOfAnotherUserOrOpenToOthersAreRefusedBySimulatorAndTool) {
  struct Case {
    const char* what;
    bool chownToOther;
    const char* reason;
  } cases[] = {
      {"open to everyone", false, "open to other users"},
      {"owned by another user", true, "belongs to another user"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    SimComClose();
    ChildProcess impostor([&k](ChildProcess& me) {
      SimComOpen(SIM_COM_PORT, 1, "");
      int changed = 0;  // two shares, two events and the events' owner blocks
      for (const auto& e : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string n = e.path().filename().string();
        if (n.find(host::SharedNamePrefix()) == std::string::npos || n.find("Com10") == std::string::npos) continue;
        if (k.chownToOther ? chown(e.path().c_str(), 65534, 65534) != 0 : chmod(e.path().c_str(), 0666) != 0)
          return me.say("cannot"), 1;
        ++changed;
      }
      me.say(changed == 6 ? "ready" : "missing " + std::to_string(changed));
      pause();
      return 0;
    });
    ASSERT_TRUE(impostor.waitUntil([&] { return impostor.said().find('\n') != std::string::npos; }, {}));
    ASSERT_FALSE(impostor.saidLine("missing")) << impostor.said();
    if (impostor.saidLine("cannot")) {
      ASSERT_TRUE(k.chownToOther) << "the own user may always change the mode";
      continue;  // only a privileged user can hand a name to another user
    }
    SIM_ClearLog();
    EXPECT_GE(SimComOpen(SIM_COM_PORT, 1, SIM_COM_MAIN_NAME), 4) << "two shares and two events at least";
    EXPECT_NE(SimComOpenFailures().find(k.reason), std::string::npos) << SimComOpenFailures();
    EXPECT_NE(SIM_GetLog().find(k.reason), std::string::npos);
    std::string err;
    auto tool = PcOpenChannel("share:Com10", 200, &err);
    ASSERT_TRUE(tool);
    Bytes answer;
    EXPECT_FALSE(tool->exchange(kRead98, false, &answer, &err));
    EXPECT_NE(err.find(k.reason), std::string::npos) << err;
  }
  // The impostors' names, which the simulator left alone, go with the test.
  SimComClose();
  for (const auto& e : std::filesystem::directory_iterator("/dev/shm"))
    if (e.path().filename().string().find(host::SharedNamePrefix()) != std::string::npos) std::filesystem::remove(e.path());
}

}  // namespace
