// The I/O views and the device and module dialogs as the user meets them: inputs typed and
// ticked into the I/O image, outputs shown, the layout by the modules fitted, the captions by
// language, the order number fields, the dialogs' OK and the digits the reload reads.
// Offscreen Qt, settings in a temporary folder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "blocks/io/io.h"
#include "firmware/fw_adapter.h"
#include "host/ini_file.h"
#include "runtime/fb_store.h"
#include "runtime/fw_io.h"
#include "shell/device_dialog.h"
#include "shell/firmware_link.h"
#include "shell/io_views.h"
#include "shell/main_window.h"
#include "shell/module_tables.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_util.h"
#include "support/config_folder.h"
#include "support/io_fixture.h"
#include "support/shell_app.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

const SimFirmwareAdapter kNoFirmware = {[] {}, [] {}, [] { SimState().saveRequest = 0; }, [](uint32_t) {}};

class IoViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ShellTestApp();
    SimSetFirmware(&kNoFirmware);
    std::memset(&SimState(), 0, sizeof(SimHostState));
    root = config.emplace("simio").root();
    ASSERT_EQ(SimInitIni(SimState()), 0);
    SimAttachProjectBuffers(SimState());
    SimTheSettings() = SimReadSettings();
    SimLoadProject(nullptr);
    SimState().language = 1;
    SimState().firmwareMajor = 4;
    SimDeviceConfig& d = SimState().device;
    d = SimDeviceConfig{};
    const uint8_t modules[16] = {21, 50, 2, 1, 22, 22, 22, 41, 32, 12, 0, 0, 43, 43, 0, 0};
    std::memcpy(d.modules, modules, 16);
    d.slotB = 1;
    d.slotC = 2;
  }
  void TearDown() override {
    SimSetDeviceWrittenHook(nullptr);
    SimSetFirmware(nullptr);
    config.reset();
  }
  long Key(const char* key) { return host::IniGetInt(SimIniPath(), "Device", key, -1); }
  fs::path root;
  std::optional<ScopedConfigFolder> config;  // XDG_CONFIG_HOME while the test runs
  BoxRecorder boxes{SIM_BOX_OK};
};

// --- Views -------------------------------------------------------------------------------------

TEST_F(IoViewTest, InputsAreTakenFromTheTenthCycleOnOrWhileAScriptPlays) {
  SimIoView a(SIM_SLOT_A, nullptr);
  SimIoView b(SIM_SLOT_B, nullptr);
  SimIoImage& io = SimState().io;
  io.analogIn[5].value = 99.0f;
  a.position(2).fieldB->setText("12,5");   // A3 "b:"
  a.position(0).di[1]->setChecked(true);
  b.cardInput(9)->setChecked(true);        // di10 of the slot B card
  SimState().cycleCount = 9;
  a.send(SIM_MSG_IO_TAKE, 0, 0);
  b.send(SIM_MSG_IO_TAKE, 0, 0);
  EXPECT_FLOAT_EQ(io.analogIn[5].value, 99.0f) << "before the 10th cycle the image stays as loaded";
  EXPECT_EQ(io.digitalIn[25], 0);
  SimState().playing = 1;
  a.send(SIM_MSG_IO_TAKE, 0, 0);
  EXPECT_FLOAT_EQ(io.analogIn[5].value, 12.5f) << "a playing script takes them at once";
  SimState().playing = 0;
  SimState().cycleCount = 10;
  a.position(2).fieldB->setText(QString(60, QChar('4')));
  a.send(SIM_MSG_IO_TAKE, 0, 0);
  b.send(SIM_MSG_IO_TAKE, 0, 0);
  EXPECT_EQ(std::string(io.analogIn[5].text), std::string(39, '4'));
  EXPECT_EQ(io.analogIn[5].entered, 1);
  EXPECT_EQ(io.digitalIn[1], 1);
  EXPECT_EQ(io.digitalIn[25], 1);
  EXPECT_EQ(io.digitalIn[16 + 10], 0);
  // A4's field is always taken; the empty field reads as 0 without the entered flag.
  io.analogIn[6].value = 5.0f;
  io.analogIn[6].entered = 1;
  a.send(SIM_MSG_IO_TAKE, 0, 0);
  EXPECT_FLOAT_EQ(io.analogIn[6].value, 0.0f);
  EXPECT_EQ(io.analogIn[6].entered, 0);
}

// While the plant is on, the records it writes (A4's process value, A3's position feedback)
// show in their fields, which are read-only, and what is typed there is not taken; with the
// plant off the fields are the user's again.
TEST_F(IoViewTest, TheFieldsThePlantWritesShowItsValueWhileThePlantIsOn) {
  SimIoView a(SIM_SLOT_A, nullptr);
  a.show();
  SimIoImage& io = SimState().io;
  SimState().cycleCount = 20;
  for (int record : {4, 6}) {
    std::snprintf(io.analogIn[record].text, sizeof io.analogIn[record].text, "#%d.500", record);
    io.analogIn[record].value = static_cast<float>(record) + 0.5f;
    io.analogIn[record].electrical = 1;
  }
  SimState().plant.inputs = 1u << 6 | 1u << 4;
  a.position(3).fieldA->setText("3");
  a.position(2).fieldA->setText("2");
  a.send(SIM_MSG_IO_TAKE, 0, 0);
  a.send(SIM_MSG_IO_REFRESH, 0, 0);
  EXPECT_FLOAT_EQ(io.analogIn[6].value, 6.5f) << "the typed 3 is not taken";
  EXPECT_FLOAT_EQ(io.analogIn[4].value, 4.5f);
  EXPECT_EQ(a.position(3).fieldA->text().toStdString(), "#6.500");
  EXPECT_EQ(a.position(2).fieldA->text().toStdString(), "#4.500");
  EXPECT_TRUE(a.position(3).fieldA->isReadOnly()) << "no typing while the plant writes A4";
  EXPECT_TRUE(a.position(2).fieldA->isReadOnly()) << "nor A3";
  EXPECT_FALSE(a.position(2).fieldB->isReadOnly()) << "A3's second input is not the plant's";
  SimState().plantOff = 1;
  a.position(3).fieldA->setText("3");
  a.send(SIM_MSG_IO_TAKE, 0, 0);
  a.send(SIM_MSG_IO_REFRESH, 0, 0);
  EXPECT_FLOAT_EQ(io.analogIn[6].value, 3.0f) << "plant off: the user's value";
  EXPECT_EQ(a.position(3).fieldA->text().toStdString(), "3");
  EXPECT_FALSE(a.position(3).fieldA->isReadOnly()) << "and the user's field again";
  EXPECT_FALSE(a.position(2).fieldA->isReadOnly());
}

TEST_F(IoViewTest, EachPositionShowsTheControlsOfItsModule) {
  SimIoView a(SIM_SLOT_A, nullptr);
  SimIoView c(SIM_SLOT_C, nullptr);
  a.show();
  c.show();
  // A2 is a 2x DI/DO: the digital boxes, no analog field.
  const SimIoView::Position& a2 = a.position(1);
  EXPECT_EQ(a2.name->text().toStdString(), "2x DI/DO");
  EXPECT_TRUE(a2.di[0]->isVisible());
  EXPECT_TRUE(a2.out[1]->isVisible());
  EXPECT_FALSE(a2.fieldA->isVisible());
  EXPECT_FALSE(a2.fieldB->isVisible());
  // C1 is an I-Output: both fields, read-only, with the formatted outputs.
  const SimIoView::Position& c1 = c.position(0);
  EXPECT_TRUE(c1.fieldA->isVisible());
  EXPECT_TRUE(c1.fieldB->isVisible());
  EXPECT_TRUE(c1.fieldA->isReadOnly());
  EXPECT_FALSE(c1.di[0]->isVisible());
  EXPECT_FALSE(c.card()->isVisible());
  SimIoImage& io = SimState().io;
  io.analogOut[16] = 1.5f;
  io.analogOut[17] = 250.0f;
  io.digitalOut[4] = 1;
  c.send(SIM_MSG_IO_REFRESH, 0, 0);
  a.send(SIM_MSG_IO_REFRESH, 0, 0);
  EXPECT_EQ(c1.fieldA->text().toStdString(), "1.500");
  EXPECT_EQ(c1.fieldB->text().toStdString(), "250.0");
  EXPECT_TRUE(a2.out[0]->isChecked());
  EXPECT_FALSE(a2.out[1]->isChecked());
  // C2 is an R-Input: editable fields; its typed value is taken into record 2 * 8 + 2 + 1.
  EXPECT_FALSE(c.position(1).fieldB->isReadOnly());
  c.position(1).fieldB->setText("#7");
  SimState().cycleCount = 20;
  c.send(SIM_MSG_IO_TAKE, 0, 0);
  EXPECT_FLOAT_EQ(io.analogIn[19].value, 7.0f);
  EXPECT_EQ(io.analogIn[19].electrical, 1);
  // A type outside the table: an empty name and no channels.
  SimState().device.modules[9] = 77;
  c.send(SIM_WM_INITDIALOG, 0, 0);
  EXPECT_EQ(c.position(1).name->text().toStdString(), "");
  EXPECT_FALSE(c.position(1).fieldA->isVisible());
}

TEST_F(IoViewTest, ASlotWithoutCardOrRackShowsNothingAndTakesNothing) {
  SimState().device.slotB = 0;
  SimIoView b(SIM_SLOT_B, nullptr);
  b.show();
  EXPECT_FALSE(b.card()->isVisible());
  for (int p = 0; p < 4; ++p) EXPECT_FALSE(b.position(p).name->isVisible()) << p;
  b.cardInput(0)->setChecked(true);
  SimState().cycleCount = 50;
  b.send(SIM_MSG_IO_TAKE, 0, 0);
  for (int i = 16; i < 32; ++i) EXPECT_EQ(SimState().io.digitalIn[i], 0) << i;
  // The card: ten inputs and four outputs from position 4's channels.
  SimState().device.slotB = 1;
  b.relayout();
  EXPECT_TRUE(b.card()->isVisible());
  EXPECT_EQ(b.card()->title().toStdString(), "Digital I/O card");
  SimState().io.digitalOut[16 + 12 + 3] = 1;
  b.showOutputs();
  EXPECT_TRUE(b.cardOutput(3)->isChecked());
  EXPECT_FALSE(b.cardOutput(0)->isChecked());
}

TEST_F(IoViewTest, SlotPShowsRelaysOrItsModules) {
  SimIoView p(SIM_SLOT_P, nullptr);
  p.show();
  EXPECT_TRUE(p.position(0).relay->isVisible());
  EXPECT_EQ(p.position(0).relay->text().toStdString(), "Relay");
  EXPECT_FALSE(p.position(2).relay->isVisible());
  SimState().io.digitalOut[52] = 1;
  SimState().io.digitalOut[56] = 1;
  p.showOutputs();
  EXPECT_TRUE(p.position(1).relay->isChecked());
  EXPECT_FALSE(p.position(2).out[0]->isChecked()) << "P3 is empty: nothing to follow";
  // An input module at P4 shows its record (the plant writes it); nothing is typed there.
  SimState().device.modules[15] = 1;
  std::strcpy(SimState().io.analogIn[30].text, "#12.500");
  p.send(SIM_MSG_IO_REFRESH, 0, 0);
  EXPECT_TRUE(p.position(3).fieldA->isVisible());
  EXPECT_TRUE(p.position(3).fieldA->isReadOnly());
  EXPECT_EQ(p.position(3).fieldA->text().toStdString(), "#12.500");
  p.position(3).fieldA->setText("3");
  SimState().cycleCount = 40;
  p.send(SIM_MSG_IO_TAKE, 0, 0);
  EXPECT_STREQ(SimState().io.analogIn[30].text, "#12.500");
  SimState().device.relais = 1;
  SimState().device.modules[14] = SimState().device.modules[15] = 43;
  // A configuration that the firmware's start changed is laid out at the next refresh.
  p.send(SIM_MSG_IO_REFRESH, 0, 0);
  EXPECT_TRUE(p.position(2).relay->isVisible());
  EXPECT_FALSE(p.position(2).out[0]->isVisible()) << "the module's own boxes stay hidden";
  EXPECT_TRUE(p.position(2).relay->isChecked());
}

TEST_F(IoViewTest, TheMainWindowsViewsFollowTheLanguageAndTheDeviceSettings) {
  SimMainWindow w;
  SimCreateIoViews(&w);
  ASSERT_NE(SimIoViewOf(SIM_SLOT_P), nullptr);
  EXPECT_EQ(w.view(SIM_VIEW_IO_FIRST + 1), SimIoViewOf(SIM_SLOT_P)) << "slots A, P, B, C";
  SimState().language = 2;
  SimLanguageTexts(&w);
  EXPECT_EQ(SimIoViewOf(SIM_SLOT_A)->windowTitle().toStdString(), "Modules Slot A");
  EXPECT_EQ(SimIoViewOf(SIM_SLOT_C)->windowTitle().toStdString(), "Modules Slot C");
  SimState().language = 0;
  SimLanguageTexts(&w);
  EXPECT_EQ(SimIoViewOf(SIM_SLOT_B)->windowTitle().toStdString(), "Module Leiste B");
  // Written device settings lay every view out anew.
  SimState().device.slotC = 1;
  SimIoViewOf(SIM_SLOT_C)->show();
  SimWriteDeviceSettings(SimState().device);
  EXPECT_TRUE(SimIoViewOf(SIM_SLOT_C)->card()->isVisible());
  // With the views shown, a slot that holds nothing is not shown as an empty box; once it
  // holds modules it comes up with the others.
  SimState().ioViewsShown = 1;
  SimState().device.slotC = 0;
  SimShowViews(&w);
  EXPECT_FALSE(SimIoViewOf(SIM_SLOT_C)->hasControls());
  EXPECT_FALSE(SimIoViewOf(SIM_SLOT_C)->isVisible());
  for (int slot : {SIM_SLOT_A, SIM_SLOT_B, SIM_SLOT_P}) EXPECT_TRUE(SimIoViewOf(slot)->isVisible()) << slot;
  SimState().device.slotC = 1;
  SimWriteDeviceSettings(SimState().device);
  EXPECT_TRUE(SimIoViewOf(SIM_SLOT_C)->isVisible());
  SimState().device.slotB = 0;
  SimWriteDeviceSettings(SimState().device);
  EXPECT_FALSE(SimIoViewOf(SIM_SLOT_B)->isVisible());
  SimState().device.slotB = 1;
  SimWriteDeviceSettings(SimState().device);
  // 2035 and 2036 come through the main window's cycle messages.
  SimIoViewOf(SIM_SLOT_C)->cardInput(2)->setChecked(true);
  SimState().cycleCount = 30;
  w.send(SIM_MSG_PRECYCLE, 0, 0);
  EXPECT_EQ(SimState().io.digitalIn[34], 1);
}

// --- Device dialog ---------------------------------------------------------------------------------

TEST_F(IoViewTest, TheOrderNumberFollowsTheCombosAndTypedNumbersSetThem) {
  SimDeviceDialog d(nullptr);
  EXPECT_EQ(d.windowTitle().toStdString(), "SIM/MX74-2 - Device");
  EXPECT_EQ(d.commOpt()->count(), 5);
  EXPECT_EQ(d.slotB()->itemText(1).toStdString(), "Digital-I/O Extension (10 DI, 4 DO)");
  EXPECT_FALSE(d.version()->isEnabled());
  EXPECT_EQ(d.version()->itemText(0).toStdString(), "Operating vers. 4");
  EXPECT_EQ(d.head()->text().toStdString(), "MX74");
  EXPECT_TRUE(d.moduleCode()->isReadOnly());
  EXPECT_EQ(d.moduleCode()->text().toStdString(), SimModuleOrderCode(SimState().device));
  d.commOpt()->setCurrentIndex(4);
  d.variant()->setCurrentIndex(0);
  d.slotB()->setCurrentIndex(2);
  d.slotC()->setCurrentIndex(0);
  EXPECT_EQ(d.five()->text().toStdString(), "40200");
  d.power()->setCurrentIndex(1);
  EXPECT_EQ(d.three()->text().toStdString(), "201");
  d.three()->setText("213");
  EXPECT_EQ(d.SimParseOrderNumber(), 1);
  EXPECT_EQ(d.relays()->currentIndex(), 1);
  EXPECT_EQ(d.power()->currentIndex(), 1);
  EXPECT_EQ(d.three()->text().toStdString(), "213");
  // A digit out of range: a beep, the texts back to the combos, nothing changed.
  d.three()->setText("204");
  EXPECT_EQ(d.SimParseOrderNumber(), 0);
  EXPECT_EQ(d.beeps(), 1);
  EXPECT_EQ(d.three()->text().toStdString(), "213");
  EXPECT_EQ(d.three()->selectedText().toStdString(), "213");
  d.five()->setText("40900");
  d.accept();
  EXPECT_EQ(d.result(), 0) << "a refused number keeps the dialog open";
  EXPECT_EQ(d.beeps(), 2);
  EXPECT_EQ(d.five()->text().toStdString(), "40200");
}

// Garbage in either order-code field: OK beeps, the dialog stays open with the three-digit
// field selected, and neither the configuration, the settings nor the restart flag change.
TEST_F(IoViewTest, GarbageInTheOrderCodeKeepsTheDialogOpenAndWritesNothing) {
  struct Case {
    const char* three;
    const char* five;
  };
  const Case cases[] = {{"200", "0x7Z9"}, {"200", "700100x9"}, {"2a0", "00100"}, {"-20", "00100"},
                        {"200", "+0100"}, {"200", ""},         {"", "00100"},    {"2000", "00100"},
                        {"200", "001000"}, {"2 0", "00100"}};
  SimHostState& s = SimState();
  const SimDeviceConfig before = s.device;
  const char* const keys[] = {"Ksx", "SlotB", "SlotC", "CommOpt", "Anschluss", "Power", "ModulB1", "ModulB4"};
  long stored[std::size(keys)];
  for (size_t k = 0; k < std::size(keys); ++k) stored[k] = Key(keys[k]);
  int beeps = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.three) + " / " + c.five);
    SimDeviceDialog d(nullptr);
    d.show();
    d.three()->setText(c.three);
    d.five()->setText(c.five);
    d.accept();
    EXPECT_TRUE(d.isVisible()) << "the dialog stays open";
    EXPECT_EQ(d.result(), 0);
    EXPECT_EQ(d.beeps(), 1);
    beeps += d.beeps();
    EXPECT_EQ(d.three()->selectedText(), d.three()->text());
    EXPECT_EQ(d.five()->text().toStdString(), "00120") << "the texts return to the combos";
    EXPECT_EQ(std::memcmp(&s.device, &before, sizeof before), 0);
    EXPECT_EQ(s.restartFlag, 0);
    for (size_t k = 0; k < std::size(keys); ++k) EXPECT_EQ(Key(keys[k]), stored[k]) << keys[k];
    d.reject();
  }
  EXPECT_EQ(beeps, static_cast<int>(std::size(cases)));
}

// The interface choices in the three languages begin with "no interface".
TEST_F(IoViewTest, TheFirstInterfaceChoiceSaysNoInterface) {
  const char* const expected[3] = {"keine Schnittstelle", "no interface", "pas d'interface"};
  for (int language = 0; language < 3; ++language) {
    SimState().language = static_cast<uint16_t>(language);
    SimDeviceDialog d(nullptr);
    EXPECT_EQ(d.commOpt()->itemText(0).toStdString(), expected[language]) << language;
  }
}

TEST_F(IoViewTest, OkStoresTheChoiceAndTheReloadKeepsIt) {
  SimHostState& s = SimState();
  OnNextModal([](QWidget* dialog) {
    auto* d = static_cast<SimDeviceDialog*>(dialog);
    d->three()->setText("251");
    d->five()->setText("40200");
    d->accept();
  });
  EXPECT_TRUE(SimRunDeviceDialog(nullptr));
  EXPECT_EQ(s.device.anschluss, 5);
  EXPECT_EQ(s.device.power, 1);
  EXPECT_EQ(s.device.relais, 0);
  EXPECT_EQ(s.device.commOpt, 4);
  EXPECT_EQ(s.device.slotB, 2);
  EXPECT_EQ(s.device.slotC, 0);
  for (int i = 4; i < 12; ++i) EXPECT_EQ(s.device.modules[i], 0) << "B was the card, C is gone: " << i;
  EXPECT_EQ(Key("Anschluss"), 5);
  EXPECT_EQ(Key("CommOpt"), 4);
  EXPECT_EQ(Key("SlotC"), 0);
  EXPECT_EQ(s.restartFlag, 0) << "the variant did not change";
  EXPECT_EQ(s.engineering[4], '5');
  EXPECT_EQ(s.engineering[5], '1');
  // The firmware's reload reads its configuration from these digits.
  SimDeviceConfig reloaded = s.device;
  reloaded.anschluss = reloaded.power = reloaded.commOpt = reloaded.slotB = 0;
  FW_ConfigFromDigits(s.engineering + 4, &reloaded);
  EXPECT_EQ(std::memcmp(&reloaded, &s.device, sizeof reloaded), 0);

  // The same choice again changes nothing; the variant asks for a restart.
  OnNextModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
  EXPECT_FALSE(SimRunDeviceDialog(nullptr));
  OnNextModal([](QWidget* dialog) {
    static_cast<SimDeviceDialog*>(dialog)->variant()->setCurrentIndex(1);
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_TRUE(SimRunDeviceDialog(nullptr));
  EXPECT_EQ(s.restartFlag, 1);
  EXPECT_EQ(s.engineering[7], '1');
}

TEST_F(IoViewTest, AutoConfigIsHiddenBeforeMajorVersion2AndCountsAsAChange) {
  SimState().firmwareMajor = 1;
  {
    SimDeviceDialog d(nullptr);
    d.show();
    EXPECT_FALSE(d.autoButton()->isVisible());
    EXPECT_FALSE(d.autoLabel()->isVisible());
  }
  SimState().firmwareMajor = 4;
  // No engineering in the firmware: no block claims a channel.
  FB_ClearStore();
  const uint16_t noBoards[FW_IO_BOARDS] = {};
  FW_IoResetBoards(noBoards);
  SimDeviceDialog d(nullptr);
  d.show();
  ASSERT_TRUE(d.autoButton()->isVisible());
  // No block asks for a module: slots B and C are not fitted then.
  d.autoConfig();
  EXPECT_EQ(SimState().device.slotB, 0);
  EXPECT_EQ(d.slotB()->currentIndex(), 0);
  EXPECT_EQ(Key("SlotB"), 0);
  EXPECT_EQ(SimState().engineering[8], '0');
  EXPECT_TRUE(boxes.boxes.empty()) << "a unique fitting needs no box";
  d.accept();
  EXPECT_EQ(d.result(), 1) << "the auto-configured device counts as changed";
}

TEST_F(IoViewTest, AutoConfigReadsTheClaimsOfTheLoadedIoBlocks) {
  {
    IoFixture fx;
    fx.createAt(BLK_TYPE_DINPUT, 91);   // A1
    fx.createAt(BLK_TYPE_UNI_IN, 61);   // A4
    fx.createAt(BLK_TYPE_TC_IN, 71);    // B1
    fx.createAt(BLK_TYPE_REL_OUT, 81);  // P4
    for (uint16_t block : {91, 61, 71, 81}) fx.init(block);
    SimAutoConfigResult r{};
    ASSERT_EQ(SimAutoConfig(&r), SIM_AUTO_FITTING) << "the card inputs that DINPUT reads when fitted ask for no card";
    const int32_t modules[16] = {21, 0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 43, 43, 43, 43};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r.module[i], modules[i]) << i;
    EXPECT_EQ(r.slot[1], 2) << "the TC input needs the module rack";
    EXPECT_EQ(r.slot[2], 0);
    EXPECT_EQ(r.slot[3], 2) << "a relay at P4: Relais 1";

    // A digital output card block beside the rack's TC input: slot B fits neither.
    fx.createAt(BLK_TYPE_DIGOUT, 95);
    fx.init(95);
    EXPECT_EQ(SimAutoConfig(&r), SIM_AUTO_CONFLICT);
    EXPECT_EQ(r.slot[1], SIM_AUTO_IMPOSSIBLE);
    EXPECT_EQ(r.module[7], SIM_AUTO_IMPOSSIBLE);
    std::string caption, text;
    SimAutoConfigMessage(SIM_AUTO_CONFLICT, r, 1, &caption, &text);
    EXPECT_EQ(text, "Module combination on slot B  not possible. Section 1; Section 4");
    // A switching output on B4 too: the rack takes it, but B4 is claimed twice.
    fx.createAt(BLK_TYPE_S_OUT, 74);
    fx.init(74);
    EXPECT_EQ(SimAutoConfig(&r), SIM_AUTO_CONFLICT);
    EXPECT_EQ(r.slot[1], 2);
    EXPECT_EQ(r.module[7], SIM_AUTO_IMPOSSIBLE);
    SimAutoConfigMessage(SIM_AUTO_CONFLICT, r, 1, &caption, &text);
    EXPECT_EQ(text, "Double assignment on Slot B Section 4.");
  }
  // OUT1's current output or relay: the analysis is not unique.
  {
    IoFixture fx;
    fx.createAt(BLK_TYPE_OUT1, 81);
    fx.init(81);
    SimAutoConfigResult r{};
    EXPECT_EQ(SimAutoConfig(&r), SIM_AUTO_NOT_UNIQUE);
    EXPECT_EQ(r.module[15], 32);
  }
  FB_ClearStore();
  const uint16_t noBoards[FW_IO_BOARDS] = {};
  FW_IoResetBoards(noBoards);
}

// --- Module dialog ---------------------------------------------------------------------------------

TEST_F(IoViewTest, ModuleListsFollowTheSlotsAndOkWithoutAChangeWritesNothing) {
  SimState().device.relais = 1;
  SimState().device.slotC = 0;
  std::memset(SimState().device.modules + 8, 0, 4);
  host::IniDeleteSection(SimIniPath(), "Device");
  SimModuleDialog m(nullptr);
  EXPECT_EQ(m.windowTitle().toStdString(), "SIM/MX74-2 - Module selection");
  for (int p = 12; p < 16; ++p) {
    ASSERT_EQ(m.combo(p)->count(), 1) << p;
    EXPECT_EQ(m.combo(p)->itemText(0).toStdString(), "1x Relay");
  }
  EXPECT_EQ(m.combo(14)->currentIndex(), -1) << "P3 holds no relay yet: no selection";
  EXPECT_FALSE(m.combo(8)->isEnabled());
  EXPECT_EQ(m.combo(8)->count(), 0);
  EXPECT_EQ(m.combo(4)->count(), 1) << "the card's fixed modules";
  EXPECT_EQ(m.combo(1)->currentText().toStdString(), "2x DI/DO");
  m.accept();
  EXPECT_EQ(m.result(), 0);
  EXPECT_EQ(Key("ModulA1"), -1) << "nothing written";
  EXPECT_EQ(SimState().device.modules[14], 0) << "a position without a selection keeps its type";

  SimModuleDialog again(nullptr);
  again.combo(2)->setCurrentIndex(SimOptionIndex(0, 2, 12));
  again.accept();
  EXPECT_EQ(again.result(), 1);
  EXPECT_EQ(SimState().device.modules[2], 12);
  EXPECT_EQ(Key("ModulA3"), 12);
  EXPECT_EQ(Key("Relais"), 1);
}

TEST_F(IoViewTest, FillModuleComboSelectsTheCurrentType) {
  QComboBox combo;
  combo.addItem("old");
  SimFillModuleCombo(&combo, 6, 3, 45);
  ASSERT_EQ(combo.count(), 4);
  EXPECT_EQ(combo.itemText(0).toStdString(), "- empty -");
  EXPECT_EQ(combo.currentText().toStdString(), "Double-SSR");
  SimFillModuleCombo(&combo, 6, 3, 43);
  EXPECT_EQ(combo.currentIndex(), -1);
}

}  // namespace
