// The rules behind the I/O views and the device and module dialogs, without a toolkit: typed
// analog inputs, the module table and its layout rule, the option lists, the order number,
// the dialogs' OK rules with their [Device] keys and the Auto Config analysis.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "host/ini_file.h"
#include "shell/device_config.h"
#include "shell/module_tables.h"
#include "shell/settings.h"
#include "support/config_folder.h"
#include "support/process_locale.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

// --- Typed analog inputs ---------------------------------------------------------------------

struct AnalogCase {
  const char* typed;
  float value;
  int fFlag, entered, electrical;
  const char* kept;
};
constexpr AnalogCase kAnalogCases[] = {
    {"12,5", 12.5f, 0, 1, 0, "12,5"},
    {"#3", 3.0f, 0, 1, 1, "#3"},
    {"F", 0.0f, 1, 1, 0, "F"},
    {"f12", 0.0f, 1, 1, 0, "f12"},
    {"", 0.0f, 0, 0, 0, ""},
    {"abc", 0.0f, 0, 1, 0, "abc"},
    {"-1.25e2 mA", -125.0f, 0, 1, 0, "-1.25e2 mA"},
    {"#,5", 0.5f, 0, 1, 1, "#,5"},
    // Only a decimal number is read: hexadecimal, "inf" and "nan" give their leading digits or 0.
    {"0x10", 0.0f, 0, 1, 0, "0x10"},
    {"#0x1F", 0.0f, 0, 1, 1, "#0x1F"},
    {"inf", 0.0f, 0, 1, 0, "inf"},
    {"nan", 0.0f, 0, 1, 0, "nan"},
    {"  +7.5e", 7.5f, 0, 1, 0, "  +7.5e"},
    {"-.5", -0.5f, 0, 1, 0, "-.5"},
    {"1e+2x", 100.0f, 0, 1, 0, "1e+2x"},
    {".", 0.0f, 0, 1, 0, "."},
};

void ExpectAnalogCases() {
  for (const AnalogCase& c : kAnalogCases) {
    SimAnalogInput r;
    std::memset(&r, 0x55, sizeof r);
    SimTakeAnalogText(c.typed, &r);
    EXPECT_FLOAT_EQ(r.value, c.value) << c.typed;
    EXPECT_EQ(r.fFlag, c.fFlag) << c.typed;
    EXPECT_EQ(r.entered, c.entered) << c.typed;
    EXPECT_EQ(r.electrical, c.electrical) << c.typed;
    EXPECT_STREQ(r.text, c.kept) << c.typed;
  }
}

TEST(AnalogInputText, CommasHashesFaultsAndEmptyFields) { ExpectAnalogCases(); }

TEST(AnalogInputText, TheSameUnderADecimalCommaLocale) {
  ProcessLocale german("de_DE.UTF-8");
  if (!german.set) GTEST_SKIP() << "no German locale here";
  ExpectAnalogCases();
}

TEST(AnalogInputText, ALongEntryKeepsItsFirst39CharactersAndTheRecordEnds) {
  const std::string typed = "7" + std::string(59, 'x');
  SimAnalogInput r;
  std::memset(&r, 0x55, sizeof r);
  SimTakeAnalogText(typed, &r);
  EXPECT_EQ(std::string(r.text), typed.substr(0, 39));
  EXPECT_EQ(r.text[39], '\0');
  EXPECT_FLOAT_EQ(r.value, 7.0f);
  EXPECT_EQ(r.entered, 1);
}

// --- Module table, layout rule, option lists -------------------------------------------------

TEST(ModuleTable, KindsAndLayoutOfEachKind) {
  const struct {
    int type;
    bool fieldA, fieldB, editable, digitalIn, digitalOut;
  } cases[] = {
      {0, false, false, true, false, false},  {1, true, false, true, false, false},
      {2, true, true, true, false, false},    {12, true, true, true, false, false},
      {22, false, false, true, true, false},  {32, true, true, false, false, false},
      {33, true, true, false, false, false},  {43, false, false, true, false, true},
      {50, false, false, true, true, true},   {77, false, false, true, false, false},
  };
  for (const auto& c : cases) {
    const SimPositionLayout l = SimLayoutOf(SimModuleChannels(c.type));
    EXPECT_EQ(l.fieldA, c.fieldA) << c.type;
    EXPECT_EQ(l.fieldB, c.fieldB) << c.type;
    EXPECT_EQ(l.editable, c.editable) << c.type;
    EXPECT_EQ(l.digitalIn, c.digitalIn) << c.type;
    EXPECT_EQ(l.digitalOut, c.digitalOut) << c.type;
  }
}

TEST(ModuleTable, NamesByLanguageAndNoneOutsideTheTable) {
  EXPECT_STREQ(SimModuleName(0, 0), "- leer -");
  EXPECT_STREQ(SimModuleName(0, 2), "- vide -");
  EXPECT_STREQ(SimModuleName(43, 1), "1x Relay");
  EXPECT_STREQ(SimModuleName(43, 2), "1x Relais");
  EXPECT_STREQ(SimModuleName(50, 1), "2x DI/DO");
  EXPECT_STREQ(SimModuleName(77, 1), "");
  EXPECT_STREQ(SimModuleName(-3, 1), "");
  EXPECT_STREQ(SimModuleName(2, 9), "TC-Input") << "a language outside 0..2 reads as German";
}

TEST(OptionLists, SetsByTheSlotsAndTheirLists) {
  const uint8_t all[] = {0, 1, 2, 3, 11, 12, 32, 33, 45, 50};
  ASSERT_EQ(SimOptionCount(1, 2), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(SimOptionList(1, 2)[i], all[i]);
  for (int p = 0; p < 4; ++p) {
    ASSERT_EQ(SimOptionCount(5, p), 1);
    EXPECT_EQ(SimOptionList(5, p)[0], 43);
  }
  EXPECT_EQ(SimOptionIndex(6, 3, 45), 3);
  EXPECT_EQ(SimOptionIndex(6, 3, 43), -1);
  EXPECT_EQ(SimOptionList(7, 0), nullptr);
  EXPECT_EQ(SimOptionCount(0, 4), 0);

  SimDeviceConfig d{};
  d.slotB = 1;
  d.slotC = 2;
  EXPECT_EQ(SimOptionSetOf(0, d), 0);
  EXPECT_EQ(SimOptionSetOf(1, d), 2);
  EXPECT_EQ(SimOptionSetOf(2, d), 3);
  EXPECT_EQ(SimOptionSetOf(3, d), 6);
  d.slotB = 7;
  d.relais = 1;
  EXPECT_EQ(SimOptionSetOf(1, d), -1);
  EXPECT_EQ(SimOptionSetOf(3, d), 5);
}

// --- Order number ------------------------------------------------------------------------------

TEST(OrderNumber, FieldsFromTheChoices) {
  const struct {
    SimDeviceChoice c;
    const char* three;
    const char* five;
  } cases[] = {
      {{0, 0, 0, 4, 2, 0, 0}, "200", "40200"},
      {{0, 0, 1, 0, 0, 0, 5}, "251", "00000"},
      {{1, 1, 1, 2, 1, 2, 7}, "273", "21120"},
  };
  SimDeviceConfig d{};
  for (const auto& c : cases) {
    const SimOrderTexts t = SimOrderTextsOf(c.c, d);
    EXPECT_EQ(t.head, "MX74");
    EXPECT_EQ(t.three, c.three);
    EXPECT_EQ(t.five, c.five);
    EXPECT_EQ(t.modules, SimModuleOrderCode(d));
  }
}

TEST(OrderNumber, TypedFieldsAreReadOrRefusedWhole) {
  SimDeviceChoice c{1, 0, 0, 3, 1, 1, 4};
  EXPECT_TRUE(SimParseOrderDigits("213", "40220", &c));
  EXPECT_EQ(c.anschluss, 1);
  EXPECT_EQ(c.relays, 1);
  EXPECT_EQ(c.power, 1);
  EXPECT_EQ(c.commOpt, 4);
  EXPECT_EQ(c.variant, 0);
  EXPECT_EQ(c.slotB, 2);
  EXPECT_EQ(c.slotC, 2);
  const SimDeviceChoice before = c;
  for (const auto& bad : {std::pair{"204", "00000"}, {"200", "50000"}, {"200", "02000"}, {"200", "00300"},
                          {"200", "00030"}, {"-21", "00000"}, {"2000", "00000"}, {"200", "123456"},
                          // Not all digits, a sign, a blank, too long or empty: refused whole.
                          {"200", "0x7Z9"}, {"200", "700100x9"}, {"2x0", "00100"}, {"+20", "00100"},
                          {"200", "+0100"}, {" 20", "00100"}, {"200", "0010 "}, {"", "00100"},
                          {"200", ""}, {"", ""}, {"0020", "00100"}, {"200", "000100"}}) {
    EXPECT_FALSE(SimParseOrderDigits(bad.first, bad.second, &c)) << bad.first << " " << bad.second;
    EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << "a refused number changes nothing";
  }
  // The units of the five-digit field are not examined; shorter fields read as numbers.
  EXPECT_TRUE(SimParseOrderDigits("2", "9", &c));
  EXPECT_EQ(c.anschluss, 0);
  EXPECT_EQ(c.power, 0);
  EXPECT_EQ(c.commOpt, 0);
}

// --- The dialogs' OK -------------------------------------------------------------------------------

class DeviceSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = config.emplace("simdev").root();
    SimHostState state{};
    ASSERT_EQ(SimInitIni(state), 0);
    host::IniDeleteSection(SimIniPath(), "Device");
  }
  void TearDown() override {
    config.reset();
  }
  long Key(const char* key) { return host::IniGetInt(SimIniPath(), "Device", key, -1); }
  fs::path root;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
};

TEST_F(DeviceSettingsTest, SlotsAndRelaysBringTheirModules) {
  SimDeviceConfig d{};
  d.slotB = 2;
  SimDeviceChoice c = SimDeviceChoiceOf(d);
  // Rack to card: B1..B3 "2x/4x DI", B4 "4x DO".
  c.slotB = 1;
  EXPECT_EQ(SimApplyDeviceChoice(c, &d), unsigned{SIM_CHANGED_ANY | SIM_CHANGED_SLOT_B});
  EXPECT_EQ(d.modules[4], 22);
  EXPECT_EQ(d.modules[6], 22);
  EXPECT_EQ(d.modules[7], 41);
  EXPECT_EQ(Key("SlotB"), 1);
  EXPECT_EQ(Key("ModulB4"), 41);
  EXPECT_EQ(Key("Ksx"), -1) << "only what changed is written";
  // Back to the rack: cleared, since B1 is 22.
  c.slotB = 2;
  SimApplyDeviceChoice(c, &d);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(d.modules[i], 0) << i;
  EXPECT_EQ(Key("ModulB1"), 0);
  // A rack whose B1 is no 22 keeps its modules when the value becomes 2 (from 0).
  c.slotB = 0;
  SimApplyDeviceChoice(c, &d);
  d.modules[4] = 2;
  d.modules[5] = 32;
  c.slotB = 2;
  SimApplyDeviceChoice(c, &d);
  EXPECT_EQ(d.modules[4], 2);
  EXPECT_EQ(d.modules[5], 32);

  // Relais 1 puts relays at P3 and P4; back to 0 clears them only when P3 was 43.
  c.relays = 1;
  EXPECT_EQ(SimApplyDeviceChoice(c, &d), unsigned{SIM_CHANGED_ANY | SIM_CHANGED_RELAIS});
  EXPECT_EQ(d.modules[14], 43);
  EXPECT_EQ(d.modules[15], 43);
  EXPECT_EQ(Key("ModulP3"), 43);
  c.relays = 0;
  SimApplyDeviceChoice(c, &d);
  EXPECT_EQ(d.modules[14], 0);
  EXPECT_EQ(d.modules[15], 0);
  d.modules[14] = 32;
  d.modules[15] = 45;
  c.relays = 1;
  SimApplyDeviceChoice(c, &d);
  d.modules[14] = 32;
  c.relays = 0;
  SimApplyDeviceChoice(c, &d);
  EXPECT_EQ(d.modules[14], 32);
  EXPECT_EQ(d.modules[15], 43);

  // The variant asks for the firmware's restart; an unchanged choice changes nothing.
  c.variant = 1;
  EXPECT_EQ(SimApplyDeviceChoice(c, &d), unsigned{SIM_CHANGED_ANY | SIM_CHANGED_KSX});
  EXPECT_EQ(Key("Ksx"), 1);
  EXPECT_EQ(SimApplyDeviceChoice(c, &d), 0u);
}

TEST_F(DeviceSettingsTest, ModuleChoiceKeepsUnselectedPositionsAndClearsUnfittedSlots) {
  SimDeviceConfig d{};
  d.slotB = 2;
  d.slotC = 0;
  const uint8_t before[16] = {21, 2, 0, 1, 11, 0, 0, 0, 3, 0, 0, 0, 43, 43, 0, 0};
  std::memcpy(d.modules, before, 16);
  int chosen[16];
  for (int i = 0; i < 16; ++i) chosen[i] = before[i];
  chosen[8] = -1;
  EXPECT_TRUE(SimApplyModuleChoice(chosen, &d)) << "slot C is not fitted: its C1 is cleared";
  EXPECT_EQ(d.modules[8], 0);
  EXPECT_FALSE(SimApplyModuleChoice(chosen, &d)) << "nothing left to change";
  std::memcpy(d.modules, before, 16);
  d.modules[8] = 0;
  chosen[1] = -1;   // A2 without a selection keeps its type
  chosen[5] = 50;
  EXPECT_TRUE(SimApplyModuleChoice(chosen, &d));
  EXPECT_EQ(d.modules[1], 2);
  EXPECT_EQ(d.modules[5], 50);
}

// --- Auto Config -----------------------------------------------------------------------------------

SimPositionClaim Claim(uint16_t expected, bool ambiguous = false, bool doubled = false) {
  SimPositionClaim c;
  c.expected = expected;
  c.ambiguous = ambiguous;
  c.doubled = doubled;
  return c;
}

TEST_F(DeviceSettingsTest, AutoConfigFitsTheClaimsOrNamesTheConflict) {
  SimPositionClaim claims[16];
  SimAutoConfigResult r{};
  // Nothing claimed: the fixed modules, slots B and C not fitted, no relays.
  ASSERT_EQ(SimAutoConfigFrom(claims, &r), SIM_AUTO_FITTING);
  const int32_t plain[16] = {21, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 43, 43, 0, 0};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(r.module[i], plain[i]) << i;
  EXPECT_EQ(r.slot[1], 0);
  EXPECT_EQ(r.slot[3], 1);

  // A TC input at A2, a digital card in slot B, a U-output at C3, a relay at P3.
  claims[1] = Claim(2);
  claims[4] = Claim(22);
  claims[7] = Claim(41);
  claims[10] = Claim(33);
  claims[14] = Claim(43);
  ASSERT_EQ(SimAutoConfigFrom(claims, &r), SIM_AUTO_FITTING);
  EXPECT_EQ(r.module[1], 2);
  EXPECT_EQ(r.slot[1], 1);
  EXPECT_EQ(r.module[5], 22) << "the card's positions are fixed";
  EXPECT_EQ(r.slot[2], 2);
  EXPECT_EQ(r.module[10], 33);
  EXPECT_EQ(r.slot[3], 2) << "relays: Relais 1";
  EXPECT_EQ(r.module[15], 43);
  SimDeviceConfig d{};
  SimTakeAutoConfig(r, &d);
  EXPECT_EQ(d.slotB, 1);
  EXPECT_EQ(d.slotC, 2);
  EXPECT_EQ(d.relais, 1);
  EXPECT_EQ(Key("ModulC3"), 33);
  EXPECT_EQ(Key("Relais"), 1);
  EXPECT_EQ(Key("SlotB"), 1);

  // OUT1's current output or relay at P4: the current output, not unique.
  SimPositionClaim out1[16];
  out1[15] = Claim(32 | 43 << 8, true);
  ASSERT_EQ(SimAutoConfigFrom(out1, &r), SIM_AUTO_NOT_UNIQUE);
  EXPECT_EQ(r.module[15], 32);
  EXPECT_EQ(r.slot[3], 1);
  std::string caption, text;
  ASSERT_TRUE(SimAutoConfigMessage(SIM_AUTO_NOT_UNIQUE, r, 1, &caption, &text));
  EXPECT_EQ(caption, "Configuration information");
  EXPECT_NE(text.find("OUT1, OUT2, AINP3 or AINP4"), std::string::npos);
  EXPECT_FALSE(SimAutoConfigMessage(SIM_AUTO_FITTING, r, 1, &caption, &text));
}

TEST_F(DeviceSettingsTest, AutoConfigConflictMessages) {
  std::string caption, text;
  SimAutoConfigResult r{};
  // A 4x DI asked at A3 (slot A takes none there); A1 holds the first module before it.
  SimPositionClaim impossible[16];
  impossible[1] = Claim(11);
  impossible[2] = Claim(22);
  ASSERT_EQ(SimAutoConfigFrom(impossible, &r), SIM_AUTO_CONFLICT);
  EXPECT_EQ(r.slot[0], SIM_AUTO_IMPOSSIBLE);
  EXPECT_EQ(r.module[2], SIM_AUTO_IMPOSSIBLE);
  ASSERT_TRUE(SimAutoConfigMessage(SIM_AUTO_CONFLICT, r, 1, &caption, &text));
  EXPECT_EQ(caption, "Configuration conflict");
  EXPECT_EQ(text, "Module combination on slot A  not possible. Section 1; Section 3");
  SimAutoConfigMessage(SIM_AUTO_CONFLICT, r, 0, &caption, &text);
  EXPECT_EQ(caption, "Konfigurationskonfikt");
  EXPECT_EQ(text, "Modulkombination auf Slot A  nicht m\xF6glich. Section 1; Section 3");

  // A card input and a rack module in slot C: no set takes both.
  SimPositionClaim mixed[16];
  mixed[8] = Claim(22);
  mixed[9] = Claim(1);
  ASSERT_EQ(SimAutoConfigFrom(mixed, &r), SIM_AUTO_CONFLICT);
  EXPECT_EQ(r.slot[2], SIM_AUTO_IMPOSSIBLE);
  SimAutoConfigMessage(SIM_AUTO_CONFLICT, r, 2, &caption, &text);
  EXPECT_EQ(text, "Combinaison de modules impossible sur Slot C . Section 1; Section 1");

  // Two blocks on B2.
  SimPositionClaim doubled[16];
  doubled[5] = Claim(1, false, true);
  ASSERT_EQ(SimAutoConfigFrom(doubled, &r), SIM_AUTO_CONFLICT);
  EXPECT_EQ(r.slot[1], 2);
  EXPECT_EQ(r.module[5], SIM_AUTO_IMPOSSIBLE);
  SimAutoConfigMessage(SIM_AUTO_CONFLICT, r, 1, &caption, &text);
  EXPECT_EQ(text, "Double assignment on Slot B Section 2.");
}

}  // namespace
