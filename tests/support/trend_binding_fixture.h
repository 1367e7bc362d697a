// Fixture for the trend binding: the trend library's fixture (private names, the stand-in
// viewer), a settings folder of its own, a cleared state record and a fake firmware whose
// L1READ reader table, block types and input values the test sets.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "shell/settings.h"
#include "shell/sim_services.h"
#include "shell/trend_binding.h"
#include "support/config_folder.h"
#include "support/trend_fixture.h"
#include "support/test_env.h"

namespace trendtest {

struct FakeTrendFirmware {
  FwTrendReaders readers{};
  uint16_t types[FW_TREND_BLOCKS + 1] = {};
  std::map<uint32_t, float> analog;     // by reference
  std::map<uint32_t, uint16_t> digital;
  bool controller = false;

  // References of a reader block's inputs: block * 100 + 1..7 and block * 100 + 51..62.
  static uint32_t AnalogRef(uint16_t block, int i) { return block * 100u + 1u + static_cast<uint32_t>(i); }
  static uint32_t DigitalRef(uint16_t block, int j) { return block * 100u + 51u + static_cast<uint32_t>(j); }
  void addReader(uint16_t block, const char* title) {
    readers.marked[block] = 1;
    ++readers.count;
    if (readers.first < 0 || block < readers.first) readers.first = static_cast<int16_t>(block);
    types[block] = FW_TYPE_L1READ;
    for (int i = 0; i < 7; ++i) readers.analog[block][i] = AnalogRef(block, i);
    for (int j = 0; j < 12; ++j) readers.digital[block][j] = DigitalRef(block, j);
    std::snprintf(readers.title[block], sizeof readers.title[block], "%s", title);
  }
};

inline FakeTrendFirmware& TheFakeTrendFirmware() {
  static FakeTrendFirmware f;
  return f;
}

inline const SimTrendFirmware* FakeTrendFirmwareTable() {
  static const SimTrendFirmware table{
      [] { return static_cast<const FwTrendReaders*>(&TheFakeTrendFirmware().readers); },
      [](uint16_t block) -> uint16_t { return block <= FW_TREND_BLOCKS ? TheFakeTrendFirmware().types[block] : 0; },
      [](uint32_t ref) {
        auto& m = TheFakeTrendFirmware().analog;
        auto it = m.find(ref);
        return it == m.end() ? 0.0f : it->second;
      },
      [](uint32_t ref) -> uint16_t {
        auto& m = TheFakeTrendFirmware().digital;
        auto it = m.find(ref);
        return it == m.end() ? uint16_t{0} : it->second;
      },
      [] { return TheFakeTrendFirmware().controller; },
  };
  return &table;
}

class TrendBindingTest : public TrendTest {
 protected:
  void SetUp() override {
    TrendTest::SetUp();
    root = config.emplace("simtrend").root();
    std::filesystem::create_directories(SimSettingsFolder());
    std::memset(static_cast<void*>(&SimState()), 0, sizeof(SimHostState));
    SimState().language = 1;
    TheFakeTrendFirmware() = FakeTrendFirmware{};
    TheFakeTrendFirmware().readers.first = -1;
    SimTrendSetFirmware(FakeTrendFirmwareTable());
  }
  void TearDown() override {
    SimTrendDestroyAll();
    SimTrendSetFirmware(nullptr);
    config.reset();
    TrendTest::TearDown();
  }

  // The cycles from..to (the state record's count as the main window keeps it).
  static void Cycles(uint32_t from, uint32_t to) {
    for (uint32_t n = from; n <= to; ++n) {
      SimState().cycleCount = n;
      SimTrendCycle();
    }
  }
  static uint16_t Valid(int index) {
    const KurvanHandle h = SimTrendHandle(index);
    const uint8_t* rec = h ? KurvanLock(h) : nullptr;
    if (!rec) return 0xFFFF;
    const uint16_t v = TrendGetU16(rec, TREND_REC_VALID);
    KurvanUnlock(h);
    return v;
  }
  static std::string Title(int index) {
    const KurvanHandle h = SimTrendHandle(index);
    const uint8_t* rec = h ? KurvanLock(h) : nullptr;
    if (!rec) return "<none>";
    std::string t = TrendGetText(rec, TREND_REC_NAME, TREND_NAME_BYTES);
    KurvanUnlock(h);
    return t;
  }
  static uint32_t RecordU32(int index, uint32_t off) {
    const KurvanHandle h = SimTrendHandle(index);
    const uint8_t* rec = h ? KurvanLock(h) : nullptr;
    if (!rec) return 0;
    const uint32_t v = TrendGetU32(rec, off);
    KurvanUnlock(h);
    return v;
  }
  // The newest sample's analog channel i and digital channel j.
  static float NewestAnalog(int index, unsigned i) {
    float v = -1.0f;
    Newest(index, [&](const uint8_t* rec, const TrendLayout& l, unsigned slot) {
      v = TrendGetF32(rec, l.AnalogRing(i) + 4 * slot);
    });
    return v;
  }
  static int NewestDigital(int index, unsigned j) {
    int v = -1;
    Newest(index, [&](const uint8_t* rec, const TrendLayout& l, unsigned slot) { v = rec[l.DigitalRing(j) + slot]; });
    return v;
  }
  template <typename F>
  static void Newest(int index, F read) {
    const KurvanHandle h = SimTrendHandle(index);
    const uint8_t* rec = h ? KurvanLock(h) : nullptr;
    if (!rec) return;
    TrendLayout l;
    if (TrendCheckLayout(rec, KurvanBlockBytes(h), &l))
      read(rec, l, TrendSlotBefore(TrendGetU16(rec, TREND_REC_HEAD), 0, l.ring));
    KurvanUnlock(h);
  }
  // A channel's name and scale limits as the trend holds them.
  static std::string AnalogName(KurvanHandle h, unsigned i) {
    uint8_t cfg[KURVAN_CONFIG_BYTES] = {};
    TrendPutU32(cfg, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
    if (KurvanGetChannelConfig(h, cfg, nullptr) != 1) return "<none>";
    return TrendGetText(cfg, KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * i + TREND_CH_NAME, TREND_CH_NAME_BYTES);
  }
  static std::pair<float, float> AnalogScale(KurvanHandle h, unsigned i) {
    uint8_t cfg[KURVAN_CONFIG_BYTES] = {};
    TrendPutU32(cfg, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
    KurvanGetChannelConfig(h, cfg, nullptr);
    const uint32_t at = KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * i;
    return {TrendGetF32(cfg, at + TREND_CH_MIN), TrendGetF32(cfg, at + TREND_CH_MAX)};
  }

  std::filesystem::path root;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
};

}  // namespace trendtest
