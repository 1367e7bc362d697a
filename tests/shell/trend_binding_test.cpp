// The trend binding with a fake firmware and the trend library (the stand-in viewer shows
// the trends).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/ini_file.h"
#include "shell/project.h"
#include "support/trend_binding_fixture.h"

using trendtest::FakeTrendFirmware;
using trendtest::TheFakeTrendFirmware;
using trendtest::TrendBindingTest;

namespace {

// --- Settings ------------------------------------------------------------------------------

TEST_F(TrendBindingTest, TitlesFollowTheLanguage) {
  struct Case {
    uint16_t language;
    const char* titles[3];
  };
  const Case cases[] = {
      {0, {"Trend/SIM74-2 (6 min.)", "Trend/SIM74-2 (60 min.)", "Trend/SIM74-2 (600 min.)"}},
      {1, {"Trend/SIM74-2 (6 min.)", "Trend/SIM74-2 (60 min.)", "Trend/SIM74-2 (600 min.)"}},
      {2, {"Tendance/SIM74-2 (6 min.)", "Tendance/SIM74-2 (60 min.)", "Tendance/SIM74-2 (600 min.)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    SimState().language = c.language;
    SimTrendCreateAll(0);
    for (int t = 0; t < 3; ++t) EXPECT_EQ(Title(t), c.titles[t]);
    EXPECT_EQ(RecordU32(0, TREND_REC_PERIOD), 200u);
    EXPECT_EQ(RecordU32(2, TREND_REC_PERIOD), 20000u);
  }
  // A change of language retitles the trends and renames the default names.
  SimState().language = 1;
  SimTrendLanguageChanged();
  EXPECT_EQ(Title(0), "Trend/SIM74-2 (6 min.)");
  EXPECT_STREQ(SimTrendCurrentSettings().standard.analog[0].name, "Setpoint");
  EXPECT_EQ(AnalogName(SimTrendHandle(0), 0), "Setpoint");
}

TEST_F(TrendBindingTest, WithoutASectionTheDefaultsApplyAndAreWrittenBack) {
  const std::string ini = SimTrendIniPath();
  const SimTrendSettings en = SimTrendReadIni(ini, 1);
  EXPECT_EQ(en.standard.scaleLeft, 2);
  EXPECT_EQ(en.standard.scaleRight, 0);
  EXPECT_EQ(en.standard.analog[0].color, 0x8000u);
  EXPECT_EQ(en.standard.analog[2].color, 0x800000u);
  EXPECT_STREQ(en.standard.analog[0].name, "Setpoint");
  EXPECT_EQ(en.standard.analog[3].visible, 0);
  EXPECT_EQ(en.standard.digital[0].visible, 1);
  EXPECT_STREQ(en.standard.digital[4].name, "Controller FAIL");
  EXPECT_EQ(en.block.scaleLeft, 1);
  EXPECT_STREQ(en.block.analog[6].name, "X7");
  EXPECT_STREQ(en.block.digital[11].name, "D12");
  EXPECT_EQ(en.block.digital[11].visible, 1);
  EXPECT_STREQ(SimTrendReadIni(ini, 0).standard.analog[0].name, "Sollwert");
  EXPECT_STREQ(SimTrendReadIni(ini, 0).standard.analog[2].name, "Stellgr\xF6\xDF" "e");
  EXPECT_STREQ(SimTrendReadIni(ini, 2).standard.digital[4].name, "FAIL de r\xE9gulat.");

  ASSERT_TRUE(SimTrendWriteIni(ini, en));
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "ScaleLeft", ""), "2");
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "ScaleRight", ""), "0");
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "ColorAnalog1", ""), "32768");
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "NameAnalog1", ""), "Setpoint");
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "VisibleAnalog4", ""), "0");
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "VisibleDigital1", ""), "1");
  EXPECT_EQ(host::IniGetString(ini, "Trend1", "NameDigitalL112", ""), "D12");
  // Written names stay what they were when the language changes.
  EXPECT_STREQ(SimTrendReadIni(ini, 0).standard.analog[0].name, "Setpoint");
}

// A trend settings file over the reader's bounds is not read, and so never written over: a
// write fails and the file keeps every byte (with every other program's keys).
TEST_F(TrendBindingTest, AnOverLimitTrendSettingsFileIsLeftAsItWas) {
  const std::string ini = SimTrendIniPath();
  std::string text = "[COMPATIBILITY]\nQM2911=0\n[Trend1]\n";
  while (text.size() <= (1u << 20)) text += "Other" + std::to_string(text.size()) + "=1\n";
  { std::ofstream(ini, std::ios::binary) << text; }
  EXPECT_FALSE(SimTrendWriteIni(ini, SimTrendReadIni(ini, 1)));
  std::ifstream in(ini, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
}

TEST_F(TrendBindingTest, IniValuesAreBounded) {
  struct Case {
    const char* key;
    const char* value;
    uint32_t color;      // of analog channel 1
    const char* name;    // of analog channel 1
    int visible1;        // analog channel 1
    int visible4;        // analog channel 4
    int scaleLeft;
  };
  const Case cases[] = {
      {"ColorAnalog1", "4294967295", 0xFFFFFF, "Setpoint", 1, 0, 2},
      {"ColorAnalog1", "16777217", 1, "Setpoint", 1, 0, 2},
      {"ColorAnalog1", "99999999999999999999", 0xFFFFF, "Setpoint", 1, 0, 2},  // its low 24 bits
      {"ColorAnalog1", "red", 0x8000, "Setpoint", 1, 0, 2},
      {"NameAnalog1", "A name far longer than sixteen", 0x8000, "A name far longe", 1, 0, 2},
      {"VisibleAnalog1", "2", 0x8000, "Setpoint", 1, 0, 2},
      {"VisibleAnalog1", "0", 0x8000, "Setpoint", 0, 0, 2},
      {"VisibleAnalog4", "-1", 0x8000, "Setpoint", 1, 0, 2},
      {"VisibleAnalog4", "1", 0x8000, "Setpoint", 1, 1, 2},
      {"ScaleLeft", "7", 0x8000, "Setpoint", 1, 0, 2},
      {"ScaleLeft", "6", 0x8000, "Setpoint", 1, 0, 6},
  };
  const std::string ini = SimTrendIniPath();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    host::IniDeleteSection(ini, "Trend1");
    host::IniWriteString(ini, "Trend1", c.key, c.value);
    const SimTrendChannels s = SimTrendReadIni(ini, 1).standard;
    EXPECT_EQ(s.analog[0].color, c.color);
    EXPECT_STREQ(s.analog[0].name, c.name);
    EXPECT_EQ(s.analog[0].visible, c.visible1);
    EXPECT_EQ(s.analog[3].visible, c.visible4);
    EXPECT_EQ(s.scaleLeft, c.scaleLeft);
  }
}

TEST_F(TrendBindingTest, StoredBlocksRoundTripAndBadOnesAreLeftOut) {
  SimTrendSettings s = SimTrendDefaultSettings(1);
  SimTrendSetName(&s.standard.analog[1], "Temperature");
  s.standard.digital[2].color = 0x123456;
  s.standard.scaleRight = 3;
  s.block.analog[6].visible = 0;
  s.blockSet.period = 50;
  s.blockSet.ring = 600;
  const std::string dat = (root / "p.dat").string();
  ASSERT_TRUE(SimTrendWriteDat(dat, s));
  EXPECT_EQ(std::filesystem::file_size(dat), SIM_TREND_DAT_BYTES);
  SimTrendSettings back = SimTrendDefaultSettings(1);
  ASSERT_TRUE(SimTrendReadDat(dat, 1, &back));
  EXPECT_STREQ(back.standard.analog[1].name, "Temperature");
  EXPECT_EQ(back.standard.digital[2].color, 0x123456u);
  EXPECT_EQ(back.standard.scaleRight, 3);
  EXPECT_EQ(back.block.analog[6].visible, 0);
  EXPECT_EQ(back.blockSet.period, 50);
  EXPECT_EQ(back.blockSet.ring, 600);

  // Out-of-range stored values are bounded like the ini's.
  std::vector<uint8_t> a(SIM_TREND_SETTINGS_BLOCK), b(SIM_TREND_CHANNEL_BLOCK);
  SimTrendEncode(s, a.data(), b.data());
  std::memset(b.data() + 4 + 4 + 4, 'x', 17);  // analog 1's name without its end
  b[4 + 4 + 21] = 7;                           // analog 1's visibility
  b[4] = 40;                                   // the left scale
  a[6] = a[7] = 0;                             // a ring of 0 slots
  SimTrendSettings bounded = SimTrendDefaultSettings(1);
  EXPECT_EQ(SimTrendDecode(a.data(), b.data(), 1, &bounded), 2);
  EXPECT_STREQ(bounded.standard.analog[0].name, "xxxxxxxxxxxxxxxx");
  EXPECT_EQ(bounded.standard.analog[0].visible, 1);
  EXPECT_EQ(bounded.standard.scaleLeft, 2);
  EXPECT_EQ(bounded.blockSet.ring, SIM_TREND_RING);

  // A file of another size or without the tags is taken not at all.
  std::ofstream(dat, std::ios::binary | std::ios::app) << 'x';
  SimTrendSettings untouched = SimTrendDefaultSettings(1);
  EXPECT_FALSE(SimTrendReadDat(dat, 1, &untouched));
  std::vector<uint8_t> zeros(SIM_TREND_DAT_BYTES, 0);
  ASSERT_TRUE(SimWriteFileAtomic(dat, zeros.data(), zeros.size()));
  EXPECT_FALSE(SimTrendReadDat(dat, 1, &untouched));
  EXPECT_FALSE(SimTrendReadDat((root / "none.dat").string(), 1, &untouched));
  EXPECT_STREQ(untouched.standard.analog[1].name, "Process value");
}

// --- Samples -------------------------------------------------------------------------------

TEST_F(TrendBindingTest, TwoHundredCyclesGiveHundredTenAndOneSamples) {
  SimTrendCreateAll(0);
  Cycles(1, 199);
  EXPECT_EQ(Valid(0), 99);
  EXPECT_EQ(Valid(1), 9);
  EXPECT_EQ(Valid(2), 0);
  Cycles(200, 200);
  EXPECT_EQ(Valid(0), 100);
  EXPECT_EQ(Valid(1), 10);
  EXPECT_EQ(Valid(2), 1);
}

TEST_F(TrendBindingTest, SamplesCarryTheControllerValuesAndTheStatusBits) {
  SimTrendCreateAll(0);
  SimHostState& s = SimState();
  const float values[6] = {10.0f, 20.0f, 30.0f, -4.0f, 5.0f, 6.0f};
  std::copy(std::begin(values), std::end(values), s.plant.trend);
  s.plant.status = 0x5 | 0x10;  // bit 4 is not recorded
  Cycles(1, 2);
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(NewestAnalog(0, i), values[i]) << i;
  EXPECT_EQ(NewestAnalog(0, 6), 0.0f);
  const int bits[5] = {1, 0, 1, 0, 0};
  for (unsigned j = 0; j < 5; ++j) EXPECT_EQ(NewestDigital(0, j), bits[j]) << j;
}

TEST_F(TrendBindingTest, TrendOneAveragesTheEvenCyclesOfItsTwenty) {
  SimTrendCreateAll(0);
  for (uint32_t n = 1; n <= 40; ++n) {
    SimState().plant.trend[0] = n % 4 == 0 ? 1.0f : 3.0f;
    Cycles(n, n);
    if (n % 20 == 0) {
      EXPECT_EQ(Valid(1), n / 20);
      EXPECT_FLOAT_EQ(NewestAnalog(1, 0), 2.0f) << n;
    }
  }
  EXPECT_EQ(Valid(0), 20);
}

TEST_F(TrendBindingTest, NewScaleLimitsReachTheThreeStandardTrends) {
  SimTrendCreateAll(0);
  const auto before = AnalogScale(SimTrendHandle(1), 1);
  Cycles(1, 1);
  EXPECT_EQ(AnalogScale(SimTrendHandle(1), 1), before);  // no limits yet
  float* limits = SimState().plant.trendScale;
  for (int i = 0; i < 12; ++i) limits[i] = static_cast<float>(i * 10);
  Cycles(2, 2);
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(AnalogScale(SimTrendHandle(t), 1), std::make_pair(20.0f, 30.0f)) << t;
    EXPECT_EQ(AnalogScale(SimTrendHandle(t), 5), std::make_pair(100.0f, 110.0f)) << t;
  }
}

TEST_F(TrendBindingTest, ResetDropsEverySample) {
  TheFakeTrendFirmware().addReader(4, "Boiler");
  SimTrendCreateAll(0);
  ASSERT_TRUE(SimTrendSelectBlock(4));
  ASSERT_EQ(SimTrendShow(SIM_TREND_BLOCK), 1);
  Cycles(1, 200);
  ASSERT_EQ(Valid(3), 10);
  SimTrendResetAll();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(Valid(t), 0) << t;
  // The averages start again: 20 cycles later trend 1 has one sample of those cycles only.
  SimState().plant.trend[0] = 8.0f;
  Cycles(201, 220);
  EXPECT_EQ(Valid(1), 1);
  EXPECT_FLOAT_EQ(NewestAnalog(1, 0), 8.0f);
}

// --- Showing ------------------------------------------------------------------------------

TEST_F(TrendBindingTest, ShowingATrendHidesTheOtherAndAShownOneIsHidden) {
  SimTrendCreateAll(0);
  ASSERT_EQ(SimTrendShow(SIM_TREND_FAST), 1);
  EXPECT_TRUE(SimTrendIsVisible(0));
  ASSERT_EQ(SimTrendShow(SIM_TREND_MEDIUM), 1);
  EXPECT_FALSE(SimTrendIsVisible(0));
  EXPECT_TRUE(SimTrendIsVisible(1));
  EXPECT_TRUE(SimTrendStandardVisible());
  ASSERT_EQ(SimTrendShow(SIM_TREND_MEDIUM), 1);
  EXPECT_FALSE(SimTrendIsVisible(1));
  EXPECT_FALSE(SimTrendStandardVisible());
  EXPECT_EQ(SimTrendShow(4), 0);
  EXPECT_EQ(SimTrendShow(-2), 0);
}

TEST_F(TrendBindingTest, TheControllerCommandNeedsAController) {
  SimTrendCreateAll(0);
  static std::vector<std::string> boxes;
  boxes.clear();
  SimTrendUi ui;
  ui.message = [](const char* caption, const char* text) { boxes.push_back(std::string(caption) + "|" + text); };
  EXPECT_FALSE(SimTrendControllerCommand(ui));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0],
            "SIM/MX74-2 - Trend|Error calling trend function\r\nAt least one controller function block is needed");
  EXPECT_FALSE(SimTrendIsVisible(0));
  TheFakeTrendFirmware().controller = true;
  EXPECT_TRUE(SimTrendControllerCommand(ui));
  EXPECT_TRUE(SimTrendIsVisible(0));
  EXPECT_FALSE(SimTrendControllerCommand(ui));  // toggles
  EXPECT_FALSE(SimTrendStandardVisible());
  EXPECT_EQ(boxes.size(), 1u);
}

// --- The block trend ---------------------------------------------------------------------

TEST_F(TrendBindingTest, TheBlockTrendSamplesTheReaderInputsEveryBlockPeriod) {
  FakeTrendFirmware& fw = TheFakeTrendFirmware();
  fw.addReader(7, "Boiler");
  fw.analog[FakeTrendFirmware::AnalogRef(7, 0)] = 12.5f;
  fw.analog[FakeTrendFirmware::AnalogRef(7, 1)] = 1.0e7f;
  fw.analog[FakeTrendFirmware::AnalogRef(7, 2)] = -1.0e7f;
  fw.digital[FakeTrendFirmware::DigitalRef(7, 0)] = 1;
  fw.digital[FakeTrendFirmware::DigitalRef(7, 11)] = 5;
  SimTrendCreateAll(0);
  EXPECT_FALSE(SimTrendSelectBlock(8));  // no reader
  EXPECT_EQ(SimTrendShow(SIM_TREND_BLOCK), 0);  // nothing chosen
  ASSERT_TRUE(SimTrendSelectBlock(7));
  ASSERT_EQ(SimTrendShow(SIM_TREND_BLOCK), 1);
  EXPECT_EQ(Title(3), "Boiler: L1READ block trend");
  EXPECT_EQ(RecordU32(3, TREND_REC_PERIOD), 2000u);  // 20 cycles of 100 ms
  Cycles(1, 39);
  EXPECT_EQ(Valid(3), 1);
  Cycles(40, 40);
  EXPECT_EQ(Valid(3), 2);
  EXPECT_EQ(NewestAnalog(3, 0), 12.5f);
  EXPECT_EQ(NewestAnalog(3, 1), 999999.0f);
  EXPECT_EQ(NewestAnalog(3, 2), -999999.0f);
  EXPECT_EQ(NewestDigital(3, 0), 1);
  EXPECT_EQ(NewestDigital(3, 1), 0);
  EXPECT_EQ(NewestDigital(3, 11), 1);
  float a[7];
  uint8_t d[12];
  SimTrendValues(9, a, d);  // no reader: zeros
  EXPECT_EQ(a[0], 0.0f);
  EXPECT_EQ(d[0], 0);

  // The block changed its type: the next sample removes the block trend.
  fw.types[7] = 90;
  Cycles(41, 60);
  EXPECT_EQ(SimTrendHandle(3), 0);
  EXPECT_EQ(SimTrendSelectedBlock(), 0);
}

TEST_F(TrendBindingTest, ABlockPeriodOfZeroMakesNoBlockTrend) {
  TheFakeTrendFirmware().addReader(2, "");
  SimTrendCreateAll(0);
  SimTrendSettings s = SimTrendCurrentSettings();
  s.blockSet.period = 0;
  SimTrendTakeSettings(s, false);
  ASSERT_TRUE(SimTrendSelectBlock(2));
  EXPECT_EQ(SimTrendShow(SIM_TREND_BLOCK), 0);
  EXPECT_EQ(SimTrendHandle(3), 0);
  Cycles(1, 40);
  EXPECT_EQ(Valid(0), 20);
  // With a period again the trend is made, titled by its number for want of a tag.
  s.blockSet.period = 5;
  SimTrendTakeSettings(s, false);
  ASSERT_EQ(SimTrendShow(SIM_TREND_BLOCK), 1);
  EXPECT_EQ(Title(3), "L1READ 2: L1READ block trend");
  EXPECT_EQ(RecordU32(3, TREND_REC_PERIOD), 500u);
  // Removing it brings back the default settings.
  EXPECT_EQ(SimTrendShow(SIM_TREND_REMOVE_BLOCK), 1);
  EXPECT_EQ(SimTrendHandle(3), 0);
  EXPECT_EQ(SimTrendCurrentSettings().blockSet.period, 20);
}

TEST_F(TrendBindingTest, TheBlockCommandChoosesAmongTheReaders) {
  SimTrendCreateAll(0);
  static std::vector<std::string> seen;
  static int answer;
  seen.clear();
  SimTrendUi ui;
  ui.message = [](const char* caption, const char* text) { seen.push_back(std::string(caption) + "|" + text); };
  ui.selectBlock = [](const char* title, const char* prompt, const char* cancel, const char* const* items, int count) {
    std::string line = std::string(title) + "|" + prompt + "|" + cancel;
    for (int i = 0; i < count; ++i) line += std::string("|") + items[i];
    seen.push_back(line);
    return answer;
  };
  EXPECT_EQ(SimTrendBlockCommand(ui), 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "SIM/MX74-2 - Trend|Error calling trend function\r\nAt least one L1READ function block is needed");

  TheFakeTrendFirmware().addReader(3, "Left");
  TheFakeTrendFirmware().addReader(12, "Right");
  SimState().language = 0;
  answer = -1;
  EXPECT_EQ(SimTrendBlockCommand(ui), 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1],
            "SIM/MX74 - Trendauswahl|Bitte L1READ-Block f\xFCr Trendanzeige ausw\xE4hlen.|Abbrechen|003  Left|012  Right");
  EXPECT_EQ(SimTrendHandle(3), 0);
  answer = 1;
  EXPECT_EQ(SimTrendBlockCommand(ui), 1);
  EXPECT_EQ(SimTrendSelectedBlock(), 12);
  EXPECT_TRUE(SimTrendIsVisible(3));
  EXPECT_EQ(SimTrendBlockCommand(ui), 0);  // hides it
  EXPECT_FALSE(SimTrendIsVisible(3));
}

// --- Settings dialog and projects ---------------------------------------------------------

TEST_F(TrendBindingTest, TheSettingsDialogChangesTheStandardTrendsAndMarksTheChange) {
  SimTrendCreateAll(0);
  setenv("KURVAN_STANDIN_CONFIG", "cancel", 1);
  EXPECT_EQ(SimTrendSettingsDialog(), 0);
  EXPECT_FALSE(SimTrendSettingsChanged());
  setenv("KURVAN_STANDIN_CONFIG", "ok", 1);  // renames analog channel 1 to "Edited"
  EXPECT_EQ(SimTrendSettingsDialog(), 1);
  EXPECT_TRUE(SimTrendSettingsChanged());
  EXPECT_STREQ(SimTrendCurrentSettings().standard.analog[0].name, "Edited");
  for (int t = 0; t < 3; ++t) EXPECT_EQ(AnalogName(SimTrendHandle(t), 0), "Edited") << t;
  EXPECT_EQ(host::IniGetString(SimTrendIniPath(), "Trend1", "NameAnalog1", ""), "Edited");
  // A new start finds the name in [Trend1].
  SimTrendCreateAll(0);
  EXPECT_EQ(AnalogName(SimTrendHandle(2), 0), "Edited");
}

TEST_F(TrendBindingTest, AProjectKeepsItsTrendSettingsInItsCompanionFile) {
  SimAttachProjectBuffers(SimState());
  SimSetProjectTrendHooks(SimTrendProjectLoaded, SimTrendProjectSaved);
  SimTrendCreateAll(0);
  SimLoadProject(nullptr);  // images with this firmware's header
  SimTrendSettings s = SimTrendCurrentSettings();
  SimTrendSetName(&s.standard.analog[0], "Boiler W");
  SimTrendTakeSettings(s, true);
  ASSERT_TRUE(SimTrendSettingsChanged());
  const std::string project = (root / "plant.sdg").string();
  ASSERT_EQ(SimSaveProject(project.c_str()), 1);
  EXPECT_TRUE(std::filesystem::exists(root / "plant.dat"));
  EXPECT_FALSE(SimTrendSettingsChanged());

  SimLoadProject(nullptr);  // the demo: [Trend1] and the defaults
  EXPECT_EQ(AnalogName(SimTrendHandle(0), 0), "Setpoint");
  ASSERT_EQ(SimLoadProject(project.c_str()), SIM_PROJECT_LOADED);
  EXPECT_EQ(AnalogName(SimTrendHandle(0), 0), "Boiler W");
  EXPECT_FALSE(SimTrendSettingsChanged());
  SimSetProjectTrendHooks(nullptr, nullptr);
}

TEST_F(TrendBindingTest, AnOlderProjectHandsItsTrendBlocksOver) {
  SimAttachProjectBuffers(SimState());
  SimSetProjectTrendHooks(SimTrendProjectLoaded, SimTrendProjectSaved);
  SimTrendCreateAll(0);
  SimTrendSettings s = SimTrendDefaultSettings(1);
  SimTrendSetName(&s.standard.analog[1], "Old X");
  s.blockSet.period = 0;
  std::vector<uint8_t> file(SIM_OLD_PROJECT_SIZE, 0);
  // The engineering image's header carries the firmware identification.
  std::memcpy(file.data() + 14, SimState().firmwareId, 4);
  std::memcpy(file.data() + 18, SimState().firmwareId + 4, 2);
  file[20] = SimState().firmwareId[6];
  const size_t trendAt = SIM_OLD_PROJECT_SIZE - SIM_OLD_TREND_SETTINGS_LEN - SIM_OLD_TREND_CHANNELS_LEN;
  SimTrendEncode(s, file.data() + trendAt, file.data() + trendAt + SIM_OLD_TREND_SETTINGS_LEN);
  ASSERT_EQ(SimLoadProjectBytes(file.data(), file.size(), "old.sdg"), SIM_PROJECT_LOADED);
  EXPECT_EQ(AnalogName(SimTrendHandle(0), 1), "Old X");
  EXPECT_EQ(SimTrendCurrentSettings().blockSet.period, 0);
  // A project of the current layout after it brings no old blocks along.
  SimLoadProject(nullptr);
  EXPECT_EQ(AnalogName(SimTrendHandle(0), 1), "Process value");
  SimSetProjectTrendHooks(nullptr, nullptr);
}

}  // namespace
