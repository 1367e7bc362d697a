// Message endpoints between processes: the frame layout, synchronous calls answered by another
// process, posted frames, and peers that are not there, have died, do not answer or send
// frames too large.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "host/ipc.h"
#include "host/shared_block.h"
#include "support/child_process.h"

namespace {

class IpcTest : public ::testing::Test {
 protected:
  void SetUp() override { host::SetSharedNamePrefix("simtest" + std::to_string(getpid()) + "."); }
  static std::string Full(const std::string& name) { return host::SharedNamePrefix() + name; }
  static host::IpcFrame Frame(uint32_t message, uint32_t wParam = 0, int32_t lParam = 0, std::string payload = {}) {
    host::IpcFrame f;
    f.message = message;
    f.wParam = wParam;
    f.lParam = lParam;
    f.payload = std::move(payload);
    return f;
  }
};

TEST_F(IpcTest, FramesAreLittleEndianWithAnOptionalPayload) {
  const host::IpcFrame f = Frame(0x1098, 10, -2, "ab");
  uint8_t bytes[host::IPC_HEADER_BYTES + 2];
  host::IpcEncodeHeader(f, bytes);
  bytes[12] = 'a';
  bytes[13] = 'b';
  const uint8_t expected[] = {0x98, 0x10, 0, 0, 10, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 'a', 'b'};
  EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof expected));
  host::IpcFrame back;
  ASSERT_TRUE(host::IpcDecode(bytes, sizeof bytes, &back));
  EXPECT_EQ(back.message, 0x1098u);
  EXPECT_EQ(back.wParam, 10u);
  EXPECT_EQ(back.lParam, -2);
  EXPECT_EQ(back.payload, "ab");
  EXPECT_FALSE(host::IpcDecode(bytes, 11, &back)) << "shorter than the header";
  EXPECT_TRUE(host::IpcDecode(bytes, 12, &back));
  EXPECT_TRUE(back.payload.empty());
}

// The parent's endpoint answers calls and posts of a child process.
TEST_F(IpcTest, AnotherProcessCallsAnEndpointAndGetsItsReply) {
  std::string posted;
  std::string err;
  auto ep = host::IpcEndpoint::Create("Class::Echo", [&](const host::IpcFrame& f, std::string* reply) {
    if (f.message == 0x400) posted = f.payload;
    *reply = "re:" + f.payload;
    return static_cast<int32_t>(f.wParam) + f.lParam;
  }, &err);
  ASSERT_TRUE(ep) << err;
  EXPECT_EQ(ep->fullName(), Full("Class::Echo"));
  EXPECT_TRUE(host::IpcEndpoint::InUse("Class::Echo"));
  EXPECT_TRUE(host::IpcExistsFull(ep->fullName()));
  EXPECT_FALSE(host::IpcEndpoint::Create("Class::Echo", nullptr, &err)) << "a live name is not taken twice";

  const std::string full = ep->fullName();
  ChildProcess child([&](ChildProcess& me) {
    std::string reply;
    auto c = host::IpcConnection::OpenFull(full, 60000, nullptr);  // the time-outs only bound a hang
    if (!c) return 1;
    for (int i = 0; i < 3; ++i) {  // one connection, several calls
      const int32_t r = c->send(Frame(0x0D, 40, i, "x" + std::to_string(i)), &reply);
      me.say(std::to_string(r) + " " + reply);
    }
    // The largest payload goes through, but its echo would be too long: no reply payload.
    const std::string most(host::IPC_MAX_PAYLOAD, 'b');
    int32_t r = host::IpcSendFull(full, Frame(0x0C, 5, 0, most), &reply, 60000);
    me.say("most " + std::to_string(r) + " " + std::to_string(reply.size()));
    // A frame over the largest is not sent, and one sent anyway is refused with 0.
    r = host::IpcSendFull(full, Frame(0x0C, 5, 0, most + "b"), &reply, 60000);
    me.say("over " + std::to_string(r));
    const int raw = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", host::IpcPathOf(full).c_str());
    std::string packet(host::IPC_HEADER_BYTES + host::IPC_MAX_PAYLOAD + 1, 'c');
    packet[4] = 5;  // wParam 5
    uint8_t answer[64];
    if (connect(raw, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        send(raw, packet.data(), packet.size(), 0) == static_cast<ssize_t>(packet.size())) {
      const ssize_t n = recv(raw, answer, sizeof answer, 0);
      me.say("raw " + std::to_string(n) + " " + std::to_string(n >= 12 ? answer[8] : -1));
    }
    close(raw);
    return host::IpcPostFull(full, Frame(0x400, 0, 0, "note"), 60000) ? 0 : 2;
  });
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.wait([&] { ep->serve(1); }), 0);
  // The post may still be on its way.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (posted.empty() && std::chrono::steady_clock::now() < end) ep->serve(100);
  EXPECT_EQ(child.said(), "40 re:x0\n41 re:x1\n42 re:x2\nmost 0 0\nover 0\nraw 12 0\n");
  EXPECT_EQ(posted, "note");
}

TEST_F(IpcTest, PeersThatAreGoneAnswerZero) {
  // No endpoint at all.
  std::string reply = "old";
  EXPECT_EQ(host::IpcSendFull(Full("Class::None"), Frame(0x0D, 1, 1), &reply, 100), 0);
  EXPECT_TRUE(reply.empty());
  EXPECT_FALSE(host::IpcConnection::Open("Class::None", 100, nullptr));
  EXPECT_FALSE(host::IpcPostFull(Full("Class::None"), Frame(1), 10));

  // An endpoint whose process was killed: its socket is stale, calls answer 0 and the next
  // creator takes the name.
  ChildProcess dead([](ChildProcess&) {
    auto ep = host::IpcEndpoint::Create("Class::Dead", nullptr, nullptr);
    if (!ep) return 1;
    raise(SIGKILL);
    return 2;
  });
  EXPECT_EQ(dead.wait(), 128 + SIGKILL);
  EXPECT_TRUE(std::filesystem::exists(host::IpcPathOf(Full("Class::Dead")))) << "left behind";
  EXPECT_EQ(host::IpcSendFull(Full("Class::Dead"), Frame(0x0D, 1, 1), nullptr, 100), 0);
  EXPECT_FALSE(host::IpcEndpoint::InUse("Class::Dead"));
  std::string err;
  auto again = host::IpcEndpoint::Create("Class::Dead", nullptr, &err);
  EXPECT_TRUE(again) << err;
  again.reset();
  EXPECT_FALSE(std::filesystem::exists(host::IpcPathOf(Full("Class::Dead")))) << "removed at its end";
}

TEST_F(IpcTest, APeerThatDoesNotAnswerInTimeCountsAsGone) {
  int calls = 0;
  auto ep = host::IpcEndpoint::Create("Class::Slow", [&](const host::IpcFrame&, std::string*) { return ++calls; },
                                      nullptr);
  ASSERT_TRUE(ep);
  auto c = host::IpcConnection::Open("Class::Slow", 80, nullptr);
  ASSERT_TRUE(c);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(c->send(Frame(0x0D)), 0) << "nobody serves the endpoint";
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(ms.count(), 75);
  EXPECT_LT(ms.count(), 30000);
  EXPECT_FALSE(c->alive());
  // The late answer is never taken for the answer to a later call.
  ep->serve(0);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(c->send(Frame(0x0D)), 0);
  EXPECT_EQ(calls, 1);
}

// An endpoint whose owner ends cleanly leaves no socket; a child that inherited it leaves it
// to the parent.
TEST_F(IpcTest, OnlyTheCreatorRemovesTheName) {
  auto ep = host::IpcEndpoint::Create("Class::Kept", nullptr, nullptr);
  ASSERT_TRUE(ep);
  ChildProcess heir([&](ChildProcess&) {
    ep.reset();
    return 0;
  });
  EXPECT_EQ(heir.wait(), 0);
  EXPECT_TRUE(host::IpcEndpoint::InUse("Class::Kept"));
  ep.reset();
  EXPECT_FALSE(std::filesystem::exists(host::IpcPathOf(Full("Class::Kept"))));
}

TEST_F(IpcTest, EndpointsLiveInAPrivateFolderOfThisUser) {
  const std::string& folder = host::IpcFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.find("sim74_2"), std::string::npos);
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
  EXPECT_EQ(host::IpcPathOf("a/b"), "") << "no name leaves the folder";
  EXPECT_EQ(host::IpcPathOf(std::string(200, 'n')), "") << "too long for a socket address";
}

}  // namespace
