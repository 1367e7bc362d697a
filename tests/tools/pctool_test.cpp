// The PC tool's client: frames and answers of the character protocol, and reads and writes by
// block, code and sub-index against a firmware in the same process, also with a process
// locale that writes numbers with a decimal comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "blocks/register_all.h"
#include "support/adapter_firmware.h"
#include "tools/pctool/pc_adapter_transport.h"
#include "tools/pctool/pc_client.h"
#include "tools/pctool/pc_modbus.h"
#include "tools/pctool/pc_verify.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(PcFrames, RequestsAreFramedAndAnswersChecked) {
  EXPECT_EQ(PcBuildRead({0x98}), (Bytes{0x04, '0', '0', '9', '8', 0x05}));
  EXPECT_EQ(PcBuildRead({0x0A, 100, 0x8}, 7), (Bytes{0x04, '0', '7', '0', 'A', ',', '1', '0',
                                                      '0', ',', '8', 0x05}));
  EXPECT_EQ(PcBuildWrite({0x98}, "F"), (Bytes{0x04, '0', '0', 0x02, '9', '8', '=', 'F', 0x03, 0x79}));
  EXPECT_EQ(PcBuildRead({0x18}, 150)[1], '0') << "addresses of 100 and above read 00";

  struct Case {
    Bytes bytes;
    PcAnswer::Kind kind;
    std::string text;
  } cases[] = {
      {{0x06}, PcAnswer::Kind::Ack, ""},
      {{0x15}, PcAnswer::Kind::Nak, ""},
      {{0x02, '9', '8', '=', 'F', 0x03, 0x79}, PcAnswer::Kind::Text, "98=F"},
      {{0x02, '9', '8', '=', 'F', 0x03, 0x78}, PcAnswer::Kind::Malformed, ""},
      {{0x02, '9', '8', 0x03}, PcAnswer::Kind::Malformed, ""},
      {{}, PcAnswer::Kind::Malformed, ""},
      {{0x06, 0x06}, PcAnswer::Kind::Malformed, ""},
  };
  for (const Case& c : cases) {
    const PcAnswer a = PcParseAnswer(c.bytes);
    EXPECT_EQ(a.kind, c.kind) << c.bytes.size();
    EXPECT_EQ(a.text, c.text);
  }
  EXPECT_EQ(PcResultText('l'), "'l' (108)");
  EXPECT_EQ(PcResultText(126), "126");
}

// The counts of a block data answer, and answers whose fields do not add up.
TEST(PcFrames, BlockDataAnswersGiveTheirInputAndOutputCounts) {
  struct Case {
    const char* answer;
    bool ok;
    uint16_t floats, words;
  } cases[] = {
      {"1,1,0.,0", true, 1, 0},
      {"1,2,2.75,-0.25,0", true, 2, 0},
      {"1,0,2,5,6", true, 0, 2},
      {"1,1,0.5,1,7", true, 1, 1},
      {"1,2,0.5,0", false, 0, 0},       // one float short
      {"1,1,0.,1", false, 0, 0},        // the word it counts is missing
      {"1,1,0.,0,9", false, 0, 0},      // a field too many
      {"1,x,0.,0", false, 0, 0},
      {"", false, 0, 0},
  };
  for (const Case& c : cases) {
    uint16_t n = 99, m = 99;
    EXPECT_EQ(PcBlockDataCounts(c.answer, &n, &m), c.ok) << c.answer;
    if (c.ok) {
      EXPECT_EQ(n, c.floats) << c.answer;
      EXPECT_EQ(m, c.words) << c.answer;
    }
  }
}

class PcTool : public AdapterFirmware {
 protected:
  void SetUp() override {
    BLK_RegisterAllTypes();
    EngBuilder b;
    b.setRunMode(2);
    const uint16_t absv = EngBuilder::typeByName("ABSV");
    ASSERT_TRUE(b.addBlock(100, absv, 1));
    ASSERT_TRUE(b.setFloat(100, 1, 1.5f));
    ASSERT_TRUE(b.setFloat(100, 2, -0.25f));
    ASSERT_TRUE(b.addBlock(101, absv, 1, 100));
    ASSERT_TRUE(b.wireAnalog(101, 1, 100, 1));
    startWith(b);
  }

  // Reads and writes of a PC tool session; each line is the request and what came back.
  std::vector<std::string> session() {
    std::vector<std::string> out;
    auto read = [&](PcRequest r) {
      std::string value, error;
      out.push_back(client_.read(r, &value, &error) ? value : error);
      EXPECT_EQ(SimState().responseReady, 0u) << "taken";
    };
    auto write = [&](PcRequest r, const char* v) {
      std::string error;
      out.push_back(client_.write(r, v, &error) ? "done" : error);
    };
    read({0x01, 100, 0x10});
    read({0x02, 100, 0x10});
    write({0x01, 100, 0x10}, "2.75");
    write({0x02, 100, 0x10}, "-1000000");
    FW_SimCycle();   // the running block takes its pending value over
    read({0x01, 100, 0x10});
    read({0x00, 100, 0x10});
    read({0xB1, 100, 0x00});
    read({0x01, 1951, 0x10});
    read({0x01, 102, 0x10});
    write({0x01, 100, 0x10}, "1.5");
    FW_SimCycle();
    return out;
  }

  PcAdapterTransport transport_;
  PcClient client_{transport_};
};

TEST_F(PcTool, ReadsAndWritesValuesByCodeThroughTheAdapter) {
  const std::vector<std::string> expected = {
      "1.5",
      "-0.25",
      "done",
      "refused: 't' (116)",
      "2.75",
      "01=2.75,02=-0.25",
      "1,2,2.75,-0.25,0",
      "refused: 'j' (106)",
      "refused: 'j' (106)",
      "done",
  };
  EXPECT_EQ(session(), expected);
  PcResults r;
  std::string error;
  ASSERT_TRUE(client_.results(&r, &error)) << error;
  EXPECT_EQ(r.write, 0u);
  EXPECT_EQ(r.read, 'j');
}

TEST_F(PcTool, TheAnswersDoNotDependOnTheProcessLocale) {
  const std::vector<std::string> plain = session();
#ifdef SIM_TEST_LOCPATH
  setenv("LOCPATH", SIM_TEST_LOCPATH, 1);
#endif
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  const bool german = std::setlocale(LC_ALL, "") != nullptr;
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  if (!german || std::string(probe) != "1,5") {
    std::setlocale(LC_ALL, "C");
    unsetenv("LC_ALL");
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not available";
  }
  const std::vector<std::string> localised = session();
  std::setlocale(LC_ALL, "C");
  unsetenv("LC_ALL");
  EXPECT_EQ(localised, plain);
}

// With one allowed try the third wrong password in a row erases the engineering: the login
// says so, where the two before it were plain refusals; the device then has no password.
TEST_F(PcTool, ALoginSaysWhenWrongPasswordsErasedTheEngineering) {
  std::string error;
  ASSERT_TRUE(client_.write({0x42, 0, 0x05}, "1", &error)) << error;
  ASSERT_TRUE(PcSetPassword(client_, "secret", &error)) << error;
  std::vector<std::string> answers;
  for (int i = 0; i < 3; ++i) {
    error.clear();
    EXPECT_FALSE(PcLogin(client_, "wrong", &error));
    answers.push_back(error);
  }
  EXPECT_EQ(answers[0], answers[1]);
  EXPECT_EQ(answers[0].find("erased"), std::string::npos) << answers[0];
  EXPECT_EQ(answers[2], "the engineering was erased after 3 wrong passwords");
  std::string state;
  ASSERT_TRUE(client_.read({0x43, 0, 0x05}, &state, &error)) << error;
  EXPECT_EQ(state, "0");
  EXPECT_TRUE(PcLogin(client_, "anything", &error)) << error;
}

TEST_F(PcTool, TheAdapterTransportRefusesWhatDoesNotFitTheRequestText) {
  Bytes answer;
  std::string error;
  EXPECT_FALSE(transport_.exchange(Bytes(SIM_TEXT_SIZE + 1, '0'), false, &answer, &error));
  EXPECT_EQ(SimState().requestPending, 0u);
  // A frame of exactly the request text's size is handed in and answered (refused: it is no
  // request of the protocol).
  EXPECT_TRUE(transport_.exchange(Bytes(SIM_TEXT_SIZE, '0'), false, &answer, &error)) << error;
  EXPECT_EQ(answer, Bytes{0x15});
}

}  // namespace

namespace {

// A download of two ABSV blocks 200 and 201 (201 fed by 200) through the adapter, and the
// shapes of its blocks as pctool's check after the restart expects them.
struct TwoAbsv {
  EngBuilder builder;
  std::vector<uint8_t> image;
  std::vector<PcBlockShape> shapes;
  bool make() {
    builder.setRunMode(2);
    const uint16_t absv = EngBuilder::typeByName("ABSV");
    if (!builder.addBlock(200, absv, 1) || !builder.addBlock(201, absv, 1, 200) ||
        !builder.wireAnalog(201, 1, 200, 1) || !builder.build(image))
      return false;
    for (uint16_t n : {200, 201}) {
      const EngBlockEntry* b = builder.block(n);
      shapes.push_back({n, static_cast<uint16_t>(b->analogIn.size()),
                        static_cast<uint16_t>(b->digitalIn.size()), b->analogOutputs, b->digitalOutputs});
    }
    return true;
  }
};

// The adapter's transport, but the request after the download's go word goes unanswered and
// takes longer than the whole wait for the restarted device: a tool's time-out as long as that
// wait, and a request that met the restart.
class LosesTheRequestAfterTheGo : public PcTransport {
 public:
  explicit LosesTheRequestAfterTheGo(PcTransport& inner) : inner_(inner) {}
  bool exchange(const std::vector<uint8_t>& request, bool binary, std::vector<uint8_t>* answer,
                std::string* error) override {
    if (++frames_ == PcDownloadFrames() + 1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kLostMs));
      *error = "no answer within " + std::to_string(kLostMs) + " ms";
      return false;
    }
    return inner_.exchange(request, binary, answer, error);
  }
  static constexpr int kLostMs = 50;

 private:
  PcTransport& inner_;
  size_t frames_ = 0;
};

}  // namespace

// A request lost to the restart that takes longer than the wait for the device (a tool's
// time-out of a minute or more) does not end the download as failed: the restarted device is
// asked again.
TEST_F(PcTool, ADownloadAsksTheRestartedDeviceAgainAfterARequestLostToTheRestart) {
  TwoAbsv sent;
  ASSERT_TRUE(sent.make()) << sent.builder.error();
  LosesTheRequestAfterTheGo lossy(transport_);
  PcModbusClient modbus(lossy);
  PcDownloadHooks hooks;
  hooks.restartMs = LosesTheRequestAfterTheGo::kLostMs / 2;
  hooks.retryMs = 1;
  std::string error;
  EXPECT_TRUE(modbus.download(sent.image, &error, hooks)) << error;
}

// After the download's restart the device runs the engineering sent: the check passes. A
// device that comes back with another engineering (a stand-in for the restart: the engineering
// the device ran before, or one whose block 200 is of another type) fails the check with the
// block and what it answered.
TEST_F(PcTool, TheCheckAfterADownloadFindsTheEngineeringSentOrSaysWhatCameBack) {
  TwoAbsv sent;
  ASSERT_TRUE(sent.make()) << sent.builder.error();
  PcModbusClient modbus(transport_);
  std::string error;
  PcDownloadHooks hooks;
  hooks.retryMs = 1;
  ASSERT_TRUE(modbus.download(sent.image, &error, hooks)) << error;
  for (int i = 0; i < 40 && g_fwMain.runState != FW_STATE_RUNNING; ++i) FW_SimCycle();
  EXPECT_TRUE(PcCheckEngineering(client_, sent.shapes, 0, &error)) << error;

  struct Case {
    const char* name;
    const char* type200;   // block 200 of the engineering the device came back with; null: none
    const char* reason;
  } cases[] = {
      {"block 200 of another type", "APROG", "block 200 has 5 analog and 9 digital inputs, the engineering sent 1 and 0"},
      {"the previous engineering", nullptr, "block 200 answers no inputs (refused: 'j' (106))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngBuilder other;
    other.setRunMode(2);
    const uint16_t absv = EngBuilder::typeByName("ABSV");
    ASSERT_TRUE(other.addBlock(100, absv, 1));
    if (c.type200) {
      ASSERT_NE(EngBuilder::typeByName(c.type200), 0) << c.type200;
      ASSERT_TRUE(other.addBlock(200, EngBuilder::typeByName(c.type200), 1, 100));
    }
    startWith(other);
    error.clear();
    EXPECT_FALSE(PcCheckEngineering(client_, sent.shapes, 0, &error));
    EXPECT_NE(error.find("the device did not come back with the engineering sent"), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}
