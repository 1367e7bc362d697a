// Scripts in a temporary folder, played and recorded against a cleared state record: a
// recording front (the hard keys it holds, its pressed flag, every message it got), counted
// beeps and ticks, and one cycle as the main window frames it (cycle count, player, the
// channel's poll, the firmware's part, recorder).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "shell/com_channel.h"
#include "shell/script.h"
#include "shell/script_text.h"
#include "shell/sim_services.h"
#include "simlayer/SIM.h"
#include "support/test_env.h"

class ScriptFixture : public ::testing::Test {
 protected:
  struct Message {
    int id;
    intptr_t wParam, lParam;
  };

  void SetUp() override {
    dir = testenv::FreshFolder("simscript");
    std::memset(&SimState(), 0, sizeof(SimHostState));
    engineering.assign(SIM_ENGINEERING_SIZE, 0);
    SimState().engineering = engineering.data();
    SIM_ClearLog();
    SimScriptHooks h;
    h.front = [this](int id, intptr_t w, intptr_t l) -> intptr_t {
      sent.push_back({id, w, l});
      switch (id) {
        case SIM_FRONT_GET_KEYS: return SimScriptKeyCode(frontKeys);
        case SIM_FRONT_SET_KEYS: frontKeys = static_cast<uint16_t>(w); return 0;
        case SIM_FRONT_PRESSED: return pressed;
        default: return 0;
      }
    };
    h.requestReadOnly = [this](bool ro) { readOnly.push_back(ro); };
    h.beep = [this] { ++beeps; };
    h.tick = [this] { ++ticks; };
    h.projectName = [] { return std::string("DEMO.SDG"); };
    SimScriptSetHooks(std::move(h));
  }

  void TearDown() override {
    SimScriptClose();
    SimScriptSetHooks({});
    SimScriptSetPaths("", "");
    // A request a test left behind must not reach the next one.
    char drop[SIM_TEXT_SIZE];
    uint16_t length = 0;
    SimComPollRequest(drop, sizeof drop, &length);
    SimComPostResponse("", 0);
    std::filesystem::remove_all(dir);
  }

  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Plays `script` (a file of that text) and records into "out.txt" when asked.
  void Play(const std::string& script, bool record = true) {
    SimScriptSetPaths(Write("in.txt", script), record ? Path("out.txt") : "");
    SimScriptOpen();
  }
  int Sent(int id) const {
    int n = 0;
    for (const Message& m : sent) n += m.id == id;
    return n;
  }

  // One cycle: the player, the request the channel hands in, the firmware's part, the recorder.
  void Cycle() {
    SimHostState& s = SimState();
    ++s.cycleCount;
    SimScriptStep();
    if (!s.requestPending && SimComPollRequest(s.requestText, sizeof s.requestText, &s.requestLength)) {
      s.requestPending = 1;
      SimScriptNoteRequest(s.requestText, s.requestLength);
      requests.push_back(std::string(s.requestText, s.requestLength & 0x7FFF));
    }
    if (firmware) firmware();
    s.requestPending = 0;
    SimRecordStep();
    s.responseReady = 0;
  }
  void Cycles(int n) {
    for (int i = 0; i < n; ++i) Cycle();
  }

  std::filesystem::path dir;
  std::vector<uint8_t> engineering;
  std::vector<Message> sent;
  std::vector<bool> readOnly;
  std::vector<std::string> requests;  // frames handed in, one per cycle that took one
  std::function<void()> firmware;     // what the firmware does in a cycle
  uint16_t frontKeys = 0;             // hard-key bits the front holds
  intptr_t pressed = 0;
  int beeps = 0, ticks = 0;
};
