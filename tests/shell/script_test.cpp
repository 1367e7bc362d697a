// The script player and recorder: what each line does, waits and pauses, loops, included
// files, EEPROM writes, communication lines with their continuations, the recorder's header,
// wait lines, key and input lines, the command-line options, and the programs a script starts
// and ends.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <fstream>
#include <thread>

#include "host/process.h"
#include "shell/com_text.h"
#include "shell/shell_util.h"
#include "support/script_fixture.h"

namespace {

// --- Lines ---------------------------------------------------------------------------------
TEST(ScriptText, LinesReadAsTheirKeywordsInAnyCase) {
  using K = SimScriptKind;
  const struct {
    const char* line;
    K kind;
    int32_t number;
    const char* text;
  } cases[] = {
      {"WAIT 25 (00:00:02.5)", K::Wait, 25, ""},
      {"wait 0", K::Wait, 0, ""},
      {"WAIT 99999999999", K::Wait, 0x7FFFFFFF, ""},
      {"wait", K::Bad, 0, ""},
      {"wait -3", K::Bad, 0, ""},
      {"Pause 5\r", K::Pause, 5, ""},
      {"onidle 30", K::OnIdle, 30, ""},
      {"; a comment", K::Comment, 0, ""},
      {"!note", K::Comment, 0, ""},
      {"   \t", K::Empty, 0, ""},
      {"TurBo", K::Turbo, 0, ""},
      {"loop", K::Loop, 0, ""},
      {"EndLoop", K::EndLoop, 0, ""},
      {"appstart  prog -x \"a b\" \r", K::AppStart, 0, "prog -x \"a b\""},
      {"APPSTOP", K::AppStop, 0, ""},
      {"outfile", K::OutFile, 0, ""},
      {"OutFile /p/Rec.TXT", K::OutFile, 0, "/p/Rec.TXT"},
      {"INFILE  /p/Sub Dir/A.txt ", K::InFile, 0, "/p/Sub Dir/A.txt"},
      {"infile", K::Bad, 0, ""},
      {"input comm  \"18\"", K::InputComm, 0, "18"},
      {"input kp 12.5", K::InputIgnored, 0, ""},
      {"INPUT DI 3 1", K::InputIgnored, 0, ""},
      {"input tg 4", K::InputIgnored, 0, ""},
      {"input foo", K::Other, 0, ""},
      {"input", K::Other, 0, ""},
      {"eeprom dump", K::EepromDump, 0, ""},
      {"eeprom erase", K::Other, 0, ""},
      {"eeprom write 10 1234", K::Bad, 0, ""},
      {"eeprom write [10 1234", K::Bad, 0, ""},
      {"eeprom write [1G] 1", K::Bad, 0, ""},
      {"eeprom write [10] 12345", K::Bad, 0, ""},
      {"eeprom write [10] 12 zz", K::Bad, 0, ""},
      {"output comm \"# 01\"", K::Other, 0, ""},
      {"hello world", K::Other, 0, ""},
      {"waiting 3", K::Other, 0, ""},
  };
  for (const auto& c : cases) {
    SimScriptLine l;
    SimParseScriptLine(c.line, &l);
    EXPECT_EQ(l.kind, c.kind) << c.line;
    EXPECT_EQ(l.number, c.number) << c.line;
    EXPECT_EQ(l.text, c.text) << c.line;
  }
}

TEST(ScriptText, KeyLinesCommLinesAndEepromLinesCarryTheirValues) {
  const struct {
    const char* line;
    SimScriptKind kind;
    uint16_t bits;
  } keys[] = {{"key 0101", SimScriptKind::Key, 10},
              {"KEY 1", SimScriptKind::Key, 8},
              {"key 2F00", SimScriptKind::Key, 3},  // any non-zero digit sets its key
              {"key 1111", SimScriptKind::Key, 15},
              {"key 10G0", SimScriptKind::Bad, 0},
              {"key 10000", SimScriptKind::Key, 16},  // the fifth key's digit stands in front
              {"key 11111", SimScriptKind::Key, 31},
              {"key 0A001", SimScriptKind::Key, 9},
              {"key 100000", SimScriptKind::Bad, 0},
              {"key", SimScriptKind::Bad, 0}};
  for (const auto& k : keys) {
    SimScriptLine l;
    SimParseScriptLine(k.line, &l);
    EXPECT_EQ(l.kind, k.kind) << k.line;
    if (k.kind == SimScriptKind::Key) {
      EXPECT_EQ(l.keyBits, k.bits) << k.line;
    }
  }
  EXPECT_EQ(SimScriptKeyCode(1), 0x1000);
  EXPECT_EQ(SimScriptKeyCode(2 | 8), 0x0101);
  EXPECT_EQ(SimScriptKeyCode(16), 0x10000u);
  // Five digits only while the fifth key is down or was in the line before.
  const struct {
    uint16_t bits, before;
    const char* line;
  } written[] = {{4, 0, "key 0010"}, {0, 4, "key 0000"}, {16, 0, "key 10000"}, {0, 16, "key 00000"},
                 {17, 16, "key 11000"}, {1, 17, "key 01000"}, {1, 1, "key 1000"}};
  for (const auto& w : written) {
    char text[16] = {};
    EXPECT_EQ(SimFormatKeyLine(w.bits, w.before, text, sizeof text), std::strlen(w.line));
    EXPECT_STREQ(text, w.line) << w.bits << " after " << w.before;
  }

  SimScriptLine l;
  SimParseScriptLine("input comm \"# 01 \"\"02\"  \\ ", &l);
  EXPECT_TRUE(l.quoted);
  EXPECT_TRUE(l.continued);
  EXPECT_EQ(l.text, "# 01 \"\"02") << "from the first quote to the last";
  SimParseScriptLine("input comm \"18", &l);
  EXPECT_EQ(l.kind, SimScriptKind::InputComm);
  EXPECT_FALSE(l.quoted);

  const struct {
    const char* line;
    uint32_t address;
    std::vector<uint16_t> values;
  } writes[] = {{"EEPROM WRITE [10] 1234 5678", 0x10, {0x1234, 0x5678}},
                {"eeprom write [ 7fe ] abcd 1234", 0x7FE, {0xABCD}},  // the second word would pass the end
                {"eeprom write [7FF] 1234", 0x7FF, {}},
                {"eeprom write [800] 1234", 0x800, {}},
                {"eeprom write [FFFFFFFF] 1", 0xFFFFFFFF, {}}};
  for (const auto& w : writes) {
    SimParseScriptLine(w.line, &l);
    ASSERT_EQ(l.kind, SimScriptKind::EepromWrite) << w.line;
    EXPECT_EQ(l.address, w.address) << w.line;
    EXPECT_EQ(std::vector<uint16_t>(l.values, l.values + l.valueCount), w.values) << w.line;
  }
}

std::string Formatted(const char* prefix, const std::vector<uint8_t>& frame, bool binary) {
  char out[SIM_SCRIPT_RECORD_MAX];
  const size_t n = SimFormatCommLine(prefix, frame.data(), static_cast<uint16_t>(frame.size() | (binary ? 0x8000 : 0)),
                                     out, sizeof out);
  return std::string(out, n);
}

TEST(ScriptText, CommLinesWriteBytesInGroupsAndContinueLongLines) {
  std::vector<uint8_t> bytes;
  for (uint8_t b = 1; b <= 20; ++b) bytes.push_back(b);
  EXPECT_EQ(Formatted("output comm ", bytes, true),
            "output comm \"# 01 02 03 04 05 06 07 08  09 0A 0B 0C 0D 0E 0F 10\"\\\n"
            "            \"  11 12 13 14\"\n");
  bytes.resize(16);
  EXPECT_EQ(Formatted("output comm ", bytes, true),
            "output comm \"# 01 02 03 04 05 06 07 08  09 0A 0B 0C 0D 0E 0F 10\"\n")
      << "no empty continuation after the 16th byte";
  EXPECT_EQ(Formatted("output comm ", {}, true), "output comm \"# \"\n");

  // Text: the frame's control characters left out, ETX ends it, ACK and NAK as marks.
  EXPECT_EQ(Formatted("input comm  ", {4, '0', '0', '1', '8', 5}, false), "input comm  \"18\"\n");
  // Recorded requests replay as the same frame: the player supplies the address again.
  for (const std::vector<uint8_t>& request : {std::vector<uint8_t>{4, '0', '0', '1', '8', 5},
                                              std::vector<uint8_t>{4, '0', '0', 2, '9', '8', '=', 'F', 3, 0x79}}) {
    const std::string line = Formatted("input comm  ", request, false);
    const std::string text = line.substr(13, line.size() - 15);
    uint8_t frame[600];
    uint16_t length = 0;
    ASSERT_TRUE(SimComBuildInjected(text, frame, sizeof frame, &length)) << text;
    EXPECT_EQ(std::vector<uint8_t>(frame, frame + length), request) << text;
  }
  EXPECT_EQ(Formatted("output comm ", {2, '2', '3', 3, 'x'}, false), "output comm \"23\"\n");
  EXPECT_EQ(Formatted("output comm ", {6, 21}, false), "output comm \"(ACK)(NAK)\"\n");
  // 61 characters fill columns 13..73; the 62nd goes on the next line.
  const std::string a(70, 'A');
  EXPECT_EQ(Formatted("input comm  ", std::vector<uint8_t>(a.begin(), a.end()), false),
            "input comm  \"" + std::string(61, 'A') + "\"\\\n            \"" + std::string(9, 'A') + "\"\n");
  // A mark that would pass column 74 moves to the next line whole.
  std::vector<uint8_t> marks(59, 'B');
  marks.push_back(6);
  EXPECT_EQ(Formatted("output comm ", marks, false),
            "output comm \"" + std::string(59, 'B') + "\"\\\n            \"(ACK)\"\n");
  // The longest frames fit the record buffer.
  EXPECT_FALSE(Formatted("input comm  ", std::vector<uint8_t>(SIM_TEXT_SIZE, 6), false).empty());
  EXPECT_FALSE(Formatted("input comm  ", std::vector<uint8_t>(SIM_TEXT_SIZE, 0xAB), true).empty());
  char small[20];
  EXPECT_EQ(SimFormatCommLine("output comm ", bytes.data(), 16 | 0x8000, small, sizeof small), 0u);
}

// --- Player --------------------------------------------------------------------------------
using ScriptPlayer = ScriptFixture;

TEST_F(ScriptPlayer, WaitZeroGoesOnInTheSameCycleAndWaitNLetsNCyclesPass) {
  Play("WAIT 0\nKEY 1000\nWAIT 3\nKEY 0000\n");
  EXPECT_EQ(SimState().playing, 1);
  EXPECT_EQ(Sent(SIM_FRONT_POINTER_MODE), 1);
  EXPECT_EQ(readOnly, std::vector<bool>{true});
  Cycle();
  EXPECT_EQ(SimState().hardKeys, 1);
  EXPECT_EQ(frontKeys, 1) << "the front pressed the key";
  Cycles(2);
  EXPECT_EQ(SimState().hardKeys, 1);
  Cycle();
  EXPECT_EQ(SimState().hardKeys, 0);
  EXPECT_EQ(SimState().playing, 0) << "the script ended in that cycle";
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(readOnly, (std::vector<bool>{true, false}));
  EXPECT_EQ(sent.back().id, SIM_FRONT_GET_KEYS) << "then the keys come from the front";
  SimScriptClose();
  EXPECT_EQ(Read("out.txt"),
            "wait 1 (00:00:00.1)\nkey 1000\n"
            "wait 3 (00:00:00.4)\nkey 0000\n"
            "wait 1 (00:00:00.4)\neeprom dump\noutfile\n");
}

TEST_F(ScriptPlayer, PauseSetsThePauseCounterAndEndsTheStep) {
  Play("PAUSE 5\nKEY 1000\n");
  Cycle();
  EXPECT_EQ(SimState().pauseCount, 5);
  EXPECT_EQ(SimState().hardKeys, 0);
  SimState().pauseCount = 0;  // the cycle loop counts it down without calling the player
  Cycle();
  EXPECT_EQ(SimState().hardKeys, 1);
  SimScriptClose();
  EXPECT_EQ(Read("out.txt"),
            "wait 1 (00:00:00.1)\nPAUSE 5\nwait 1 (00:00:00.2)\nkey 1000\nwait 1 (00:00:00.2)\neeprom dump\noutfile\n");
}

TEST_F(ScriptPlayer, EndLoopGoesBackToLoopOrTheFileStart) {
  const struct {
    const char* script;
    std::vector<uint16_t> keys;  // after each cycle
  } cases[] = {
      {"KEY 1000\nWAIT 1\nKEY 0100\nWAIT 1\nENDLOOP\n", {1, 2, 1, 2, 1}},
      {"KEY 0001\nLOOP\nKEY 1000\nWAIT 1\nKEY 0100\nWAIT 1\nENDLOOP\n", {1, 2, 1, 2, 1}},
  };
  for (const auto& c : cases) {
    Play(c.script, false);
    std::vector<uint16_t> seen;
    for (size_t i = 0; i < c.keys.size(); ++i) {
      Cycle();
      seen.push_back(SimState().hardKeys);
    }
    EXPECT_EQ(seen, c.keys) << c.script;
    SimScriptClose();
  }
  // A loop without waits still gives every cycle back.
  Play("LOOP\nKEY 1000\nKEY 0000\nENDLOOP\n");
  Cycles(3);
  EXPECT_TRUE(SimScriptPlaying());
}

TEST_F(ScriptPlayer, IncludedFilesNestUpToSevenDeep) {
  for (int i = 0; i <= 8; ++i)
    Write("f" + std::to_string(i), "mark " + std::to_string(i) + "\ninfile " + Path("f" + std::to_string(i + 1)) +
                                       "\nback " + std::to_string(i) + "\n");
  SimScriptSetPaths(Path("f0"), Path("out.txt"));
  SimScriptOpen();
  Cycle();
  EXPECT_FALSE(SimScriptPlaying());
  SimScriptClose();
  std::string echoed;
  std::istringstream lines(Read("out.txt"));
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("mark", 0) == 0 || line.rfind("back", 0) == 0) echoed += line.substr(0, 1) + line.substr(5) + " ";
  EXPECT_EQ(echoed, "m0 m1 m2 m3 m4 m5 m6 m7 b7 b6 b5 b4 b3 b2 b1 b0 ");
  EXPECT_NE(SIM_GetLog().find("nested too deep"), std::string::npos);
}

TEST_F(ScriptPlayer, EepromWritesStoreWholeWordsInsideTheAreaOnly) {
  const struct {
    const char* line;
    uint32_t at;
    std::vector<uint8_t> bytes;
    uint16_t reload;
  } cases[] = {
      {"EEPROM WRITE [800] 1234", 0, {}, 0},
      {"EEPROM WRITE [10] 1234 5678", 0x10, {0x34, 0x12, 0x78, 0x56}, 1},
      {"EEPROM WRITE [7FF] 1234", 0, {}, 0},
      {"eeprom write [7FE] ABCD 1234", 0x7FE, {0xCD, 0xAB}, 1},
      {"eeprom write [20] 12 zz", 0, {}, 0},
  };
  for (const auto& c : cases) {
    std::fill(engineering.begin(), engineering.end(), 0);
    SimState().reloadRequest = 0;
    SimState().imagesValid = 0;
    Play(std::string(c.line) + "\n", false);
    Cycle();
    std::vector<uint8_t> expected(SIM_ENGINEERING_SIZE, 0);
    std::copy(c.bytes.begin(), c.bytes.end(), expected.begin() + c.at);
    EXPECT_EQ(engineering, expected) << c.line;
    EXPECT_EQ(SimState().reloadRequest, c.reload) << c.line;
    EXPECT_EQ(SimState().imagesValid, c.reload) << c.line;
    SimScriptClose();
  }
}

std::string Frame(std::vector<uint8_t> bytes, bool crc) {
  if (crc) {
    const uint16_t c = SimComCrc16(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(ScriptPlayer, CommLinesJoinTheirContinuationsAndTooLongTextsAreRefused) {
  std::vector<uint8_t> twenty;
  for (uint8_t b = 1; b <= 20; ++b) twenty.push_back(b);
  const std::string hundred(100, 'A'), line200 = "\"" + std::string(200, '7') + "\"\\\n";
  const struct {
    std::string script;
    std::string frame;  // empty: refused
  } cases[] = {
      {"input comm  \"18\"\n", Frame({4, '0', '0', '1', '8', 5}, false)},
      {"INPUT COMM  \"# 01 02 03 04 05 06 07 08  09 0A 0B 0C 0D 0E 0F 10\"\\\n            \"  11 12 13 14\"\n",
       Frame(twenty, true)},
      {"input comm \"" + hundred + "\"\\\n \"" + hundred + "\"\n", "\x04" "00" + hundred + hundred + "\x05"},
      {"input comm \"" + std::string(600, 'A') + "\"\n", ""},
      {"input comm \"1\"\\\n" + line200 + line200 + line200 + "\"2\"\n", ""},
      {"input comm \"18\n", ""},
      {"input comm \"18\"\\\n", ""},
      {"input comm \"18\"\\\nkey 1000\n", ""},
      {"input comm \"\"\n", ""},
      {"input comm \"# 0G\"\n", ""},
  };
  int refused = 0;
  for (const auto& c : cases) {
    requests.clear();
    Play(c.script, false);
    Cycle();
    if (c.frame.empty()) {
      ++refused;
      EXPECT_TRUE(requests.empty()) << c.script;
    } else {
      ASSERT_EQ(requests.size(), 1u) << c.script;
      EXPECT_EQ(requests[0], c.frame) << c.script;
    }
    SimScriptClose();
  }
  // Each script ends with one beep; each refused request adds one, with a line in the log.
  EXPECT_EQ(beeps, static_cast<int>(std::size(cases)) + refused);
  EXPECT_NE(SIM_GetLog().find("communication request refused"), std::string::npos);
}

TEST_F(ScriptPlayer, OtherLinesAreEchoedAndBadOnesIgnoredWhateverTheirBytes) {
  const std::string binary("\x01\xff\x00z", 4);
  Play("hello  there\r\n\n   \n; comment\nkey 12G4\n" + std::string(5000, 'x') + "\n" + binary +
       "\nTURBO\nLOOP\nAPPSTOP\n");
  Cycle();
  SimScriptClose();
  EXPECT_EQ(Read("out.txt"), "wait 1 (00:00:00.1)\nhello  there\n" + binary + "\nTURBO\nLOOP\nAPPSTOP\n" +
                                 "wait 1 (00:00:00.1)\neeprom dump\noutfile\n");
  EXPECT_NE(SIM_GetLog().find("line ignored: key 12G4"), std::string::npos);
  EXPECT_NE(SIM_GetLog().find("line too long"), std::string::npos);
}

TEST_F(ScriptPlayer, TurboTogglesOnlyWhenTheCommandLineAsksForIt) {
  const struct {
    const char* commandLine;
    uint16_t turbo;
  } cases[] = {{" ", 0}, {" /x turbo ", 1}, {" TURBO ", 1}, {" turbos ", 0}};
  for (const auto& c : cases) {
    std::snprintf(SimState().commandLine, sizeof SimState().commandLine, "%s", c.commandLine);
    SimState().turbo = 0;
    Play("turbo\n", false);
    Cycle();
    EXPECT_EQ(SimState().turbo, c.turbo) << c.commandLine;
    SimScriptClose();
  }
}

TEST_F(ScriptPlayer, OnIdleWaitsUntilTheFrontWasIdleForItsCycles) {
  Play("ONIDLE 3\nKEY 1000\n");
  Cycle();
  EXPECT_EQ(readOnly, (std::vector<bool>{true, false})) << "the user may type requests meanwhile";
  frontKeys = 4;  // the user holds a key
  pressed = 1;
  Cycle();
  EXPECT_EQ(SimState().hardKeys, 4) << "the user's keys are taken and recorded";
  frontKeys = 0;
  pressed = 0;
  Cycles(2);
  EXPECT_EQ(SimState().hardKeys, 0);
  Cycle();
  EXPECT_EQ(SimState().hardKeys, 1) << "three idle cycles: the script goes on";
  EXPECT_EQ(readOnly, (std::vector<bool>{true, false, true, false}));
  SimScriptClose();
  const std::string out = Read("out.txt");
  EXPECT_NE(out.find("key 0010\n"), std::string::npos) << out;
  EXPECT_NE(out.find("key 0000\n"), std::string::npos) << out;
}

TEST_F(ScriptPlayer, OutfileClosesTheOutputAndOpensTheNextOne) {
  Play("first\nOUTFILE " + Path("Second.TXT") + "\nsecond\nEEPROM DUMP\n");
  Cycle();
  EXPECT_EQ(SimState().saveRequest, 1);
  EXPECT_EQ(ticks, 1) << "EEPROM DUMP runs one tick at once";
  SimScriptClose();
  EXPECT_EQ(Read("out.txt"), "wait 1 (00:00:00.1)\nfirst\nOUTFILE " + Path("Second.TXT") + "\n");
  EXPECT_EQ(Read("Second.TXT"), "second\nEEPROM DUMP\nwait 1 (00:00:00.1)\neeprom dump\noutfile\n");

  // Without an output EEPROM DUMP does nothing.
  SimState().saveRequest = 0;
  Play("EEPROM DUMP\n", false);
  Cycle();
  EXPECT_EQ(SimState().saveRequest, 0);
  EXPECT_EQ(ticks, 1);
}

// --- Recorder ------------------------------------------------------------------------------
using ScriptRecorder = ScriptFixture;

TEST_F(ScriptRecorder, AnOutputWithoutScriptHasTheHeaderAndTheClosingLines) {
  SimScriptSetPaths("", Path("Rec.TXT"));
  SimScriptOpen();
  EXPECT_EQ(SimState().playing, 0);
  EXPECT_EQ(readOnly, std::vector<bool>{false});
  Cycle();
  frontKeys = 2 | 8;
  Cycles(2);
  frontKeys = 0;
  Cycle();
  SimScriptClose();
  std::istringstream in(Read("Rec.TXT"));
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], ";;;");
  std::string upper = Path("Rec.TXT");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(lines[1], ";;; Dateiname   : " + upper);
  EXPECT_EQ(lines[2].rfind(";;; Aufzeichnung: ", 0), 0u);
  EXPECT_EQ(lines[2].size(), 18u + 19u) << "date and time";
  EXPECT_EQ(lines[3], ";;; EEPROM-Datei: DEMO.SDG");
  EXPECT_EQ(lines[4], ";;;");
  EXPECT_EQ(lines[5], "wait 2 (00:00:00.2)");
  EXPECT_EQ(lines[6], "key 0101");
  EXPECT_EQ(lines[7], "wait 2 (00:00:00.4)");
  EXPECT_EQ(lines[8], "key 0000");
  EXPECT_EQ(lines[9], "wait 1 (00:00:00.4)");
  EXPECT_EQ(lines[10], "eeprom dump");
  EXPECT_EQ(lines[11], "outfile");
}

TEST_F(ScriptRecorder, RequestsAnswersAndInputTextsAreRecordedInTheirCycle) {
  SimScriptSetPaths("", Path("rec.txt"));
  SimScriptOpen();
  std::vector<uint8_t> answer;
  for (uint8_t b = 1; b <= 20; ++b) answer.push_back(b);
  firmware = [&] {
    SimHostState& s = SimState();
    if (!s.requestPending) return;
    std::memcpy(s.responseText, answer.data(), answer.size());
    s.responseLength = static_cast<uint16_t>(answer.size() | 0x8000);
    s.responseReady = 1;
  };
  std::strcpy(SimState().inputKp, "1.5");  // while the views are hidden: not recorded
  Cycle();
  ASSERT_TRUE(SimComInject("18"));
  Cycle();
  SimState().ioViewsShown = 1;
  std::strcpy(SimState().inputTu, "7");
  Cycle();
  Cycle();  // unchanged
  SimScriptClose();
  const std::string out = Read("rec.txt");
  const std::string body = out.substr(out.find(";;;\nwait") + 4);
  EXPECT_EQ(body,
            "wait 2 (00:00:00.2)\n"
            "input comm  \"18\"\n"
            "output comm \"# 01 02 03 04 05 06 07 08  09 0A 0B 0C 0D 0E 0F 10\"\\\n"
            "            \"  11 12 13 14\"\n"
            "wait 1 (00:00:00.3)\ninput tu 7\n"
            "wait 1 (00:00:00.4)\neeprom dump\noutfile\n");
}

TEST_F(ScriptRecorder, OptionsGiveThePathsAsTypedAndTheScriptPlays) {
  std::filesystem::create_directories(dir / "Scripts");
  const std::string script = Write("Scripts/Play.TXT", "key 1000\n");
  std::string line = " /INPFILE=" + script + " /german /outfile=" + Path("Rec.TXT") + " ";
  SimScriptTakeOptions(line);
  EXPECT_EQ(line.find("/inpfile"), std::string::npos);
  EXPECT_NE(line.find(" /german "), std::string::npos);
  EXPECT_EQ(line.find(script), std::string::npos) << "the values are taken out too";
  SimScriptOpen();
  EXPECT_EQ(SimState().playing, 1);
  Cycle();
  EXPECT_EQ(SimState().hardKeys, 1);
  SimScriptClose();
  EXPECT_EQ(Read("Rec.TXT"), "wait 1 (00:00:00.1)\nkey 1000\nwait 1 (00:00:00.1)\neeprom dump\noutfile\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "rec.txt"));

  // A command line cut at its 255 characters inside the last path: that path is not used.
  std::string cut = SimFrameCommandLine("/inpfile=" + script + " /outfile=" + Path(std::string(300, 'x')));
  ASSERT_EQ(cut.size(), 255u);
  SimScriptTakeOptions(cut);
  SimScriptOpen();
  EXPECT_TRUE(SimScriptPlaying());
  EXPECT_FALSE(SimScriptRecording());
  EXPECT_NE(SIM_GetLog().find("ends inside this path"), std::string::npos);
}

TEST_F(ScriptRecorder, AMissingScriptOrOutputIsReportedAndNothingPlays) {
  SimScriptSetPaths(Path("none/x.txt"), Path("none/y.txt"));
  SimScriptOpen();
  EXPECT_EQ(SimState().playing, 0);
  EXPECT_FALSE(SimScriptRecording());
  EXPECT_NE(SIM_GetLog().find("the script could not be opened"), std::string::npos);
  EXPECT_NE(SIM_GetLog().find("the output could not be opened"), std::string::npos);
  Cycle();
  // The menu's entry points: play and record from now on, once at a time.
  EXPECT_TRUE(SimScriptPlay(Write("later.txt", "WAIT 5\n")));
  EXPECT_FALSE(SimScriptPlay(Path("later.txt")));
  EXPECT_TRUE(SimScriptRecord(Path("later.out")));
  EXPECT_FALSE(SimScriptRecord(Path("later2.out")));
  EXPECT_TRUE(SimScriptPlaying());
  SimScriptClose();
  EXPECT_EQ(Read("later.out"), "wait 1 (00:00:00.1)\noutfile\n") << "no header while a script plays";
}

// --- Other programs ------------------------------------------------------------------------
bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

// Steps until `done` holds; the deadline only bounds a hang (programs start and end many
// times slower on a loaded machine).
bool WaitUntil(const std::function<bool()>& done, const std::function<void()>& step) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < end) {
    if (done()) return true;
    step();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

TEST_F(ScriptPlayer, AppStopEndsTheProgramThatAppStartStartedAndNoOther) {
  const pid_t bystander = host::StartProcess({"sleep", "30"});
  ASSERT_GT(bystander, 0);
  const std::string pidFile = Path("app.pid");
  Play("APPSTOP\nAPPSTART /bin/sh -c \"echo $$ > " + pidFile + ".tmp; mv " + pidFile + ".tmp " + pidFile +
       "; exec sleep 30\"\nONIDLE 1\nAPPSTOP\nAPPSTART /no/such/program\nAPPSTOP\n");
  pressed = 1;  // ONIDLE holds the script until the program has written its id
  Cycle();
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(pidFile); }, [] {}));
  pid_t app = 0;
  std::ifstream(pidFile) >> app;
  ASSERT_GT(app, 0);
  EXPECT_TRUE(Alive(app));
  pressed = 0;
  EXPECT_TRUE(WaitUntil([&] { return !Alive(app); }, [&] { Cycle(); })) << "ended and reaped";
  EXPECT_TRUE(Alive(bystander));
  EXPECT_NE(SIM_GetLog().find("could not be started: /no/such/program"), std::string::npos);
  kill(bystander, SIGKILL);
  waitpid(bystander, nullptr, 0);
}

// Files that are no script: a device that never ends (/dev/full gives zeros without a line
// break), a FIFO nobody writes, and a regular file of one endless line. None holds the
// program up; each ends with a message and the lines after it still play.
TEST_F(ScriptPlayer, EndlessLinesAndFilesThatAreNoFilesDoNotHoldThePlayerUp) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Write("endless", std::string(1 << 20, 'x'));
  Play("INFILE /dev/full\nINFILE " + fifo + "\nINFILE " + Path("endless") + "\nafter\n");
  Cycle();
  EXPECT_FALSE(SimScriptPlaying());
  SimScriptClose();
  EXPECT_NE(Read("out.txt").find("after"), std::string::npos);
  const std::string& log = SIM_GetLog();
  EXPECT_NE(log.find("not a regular file: /dev/full"), std::string::npos) << log;
  EXPECT_NE(log.find("not a regular file: " + fifo), std::string::npos) << log;
  EXPECT_NE(log.find("line without end"), std::string::npos) << log;
}

// Three programs started: each APPSTOP ends the latest one still running (the one in front),
// the first one runs on; at the simulator's exit every program the scripts started ends, also
// one that ignores SIGTERM.
TEST_F(ScriptPlayer, AppStopEndsTheLatestProgramsAndNoneOutlivesTheSimulator) {
  const std::string files[3] = {Path("first.pid"), Path("second.pid"), Path("third.pid")};
  auto start = [](const std::string& pidFile, const char* body) {
    return "APPSTART /bin/sh -c \"" + std::string(body) + " echo $$ > " + pidFile + ".tmp; mv " + pidFile + ".tmp " +
           pidFile + "; while :; do sleep 1; done\"\n";
  };
  Play(start(files[0], "trap '' TERM;") + start(files[1], "") + start(files[2], "") + "ONIDLE 1\nAPPSTOP\nAPPSTOP\n");
  pressed = 1;  // ONIDLE holds the script until the programs have written their ids
  Cycle();
  ASSERT_TRUE(WaitUntil([&] { return std::all_of(files, files + 3, [](const std::string& f) { return std::filesystem::exists(f); }); },
                        [] {}));
  pid_t pids[3] = {};
  for (int i = 0; i < 3; ++i) {
    std::ifstream(files[i]) >> pids[i];
    ASSERT_GT(pids[i], 0);
  }
  pressed = 0;
  EXPECT_TRUE(WaitUntil([&] { return !Alive(pids[1]) && !Alive(pids[2]); }, [&] { Cycle(); })) << "the later two ended";
  EXPECT_TRUE(Alive(pids[0])) << "the first one runs on";
  SimScriptClose();
  SimScriptEndPrograms();
  EXPECT_FALSE(Alive(pids[0])) << "ended at exit, though it ignores SIGTERM";
}

// A process that runs (neither gone nor a zombie nobody has reaped yet).
bool Running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// Three programs of a script, each leaving a child of its own: one whose shell and child
// ignore SIGTERM, one that waits for a child it started in the background, one plain. At the
// simulator's end nothing of them runs on.
TEST_F(ScriptPlayer, NothingAScriptStartedRunsOnAfterTheSimulatorsEnd) {
  const std::string files[3] = {Path("trap.pids"), Path("wrap.pids"), Path("plain.pids")};
  auto start = [](const std::string& pidFile, const char* body) {
    return "APPSTART /bin/sh -c \"" + std::string(body) + " sleep 999 & echo $$ $! > " + pidFile + ".tmp; mv " +
           pidFile + ".tmp " + pidFile + "; wait; true\"\n";
  };
  Play(start(files[0], "trap '' TERM;") + start(files[1], "") + start(files[2], "trap 'exit 0' TERM;"));
  ASSERT_TRUE(WaitUntil([&] { return std::all_of(files, files + 3, [](const std::string& f) { return std::filesystem::exists(f); }); },
                        [&] { Cycle(); }));
  std::vector<pid_t> pids;
  for (const std::string& f : files) {
    std::ifstream in(f);
    pid_t shell = 0, child = 0;
    in >> shell >> child;
    ASSERT_GT(shell, 0);
    ASSERT_GT(child, 0);
    pids.push_back(shell);
    pids.push_back(child);
  }
  for (pid_t pid : pids) EXPECT_TRUE(Running(pid));
  SimScriptClose();
  SimScriptEndPrograms();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  auto anyRunning = [&] { return std::any_of(pids.begin(), pids.end(), Running); };
  while (anyRunning() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (pid_t pid : pids) EXPECT_FALSE(Running(pid)) << pid;
}

}  // namespace
