// The plant plug-in host: which edition a language loads, the calls on load and unload, the
// exchange records byte by byte, saturated answers, libraries that are no plug-in, a
// plug-in without SplCycle and the program's exported forwarders. The probe plug-in
// (tests/shell/plant_probe) records what it is called with.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/fw_numeric.h"
#include "shell/plant_plugin.h"
#include "shell/sim_services.h"
#include "support/plant_probe.h"
#include "support/test_env.h"

namespace fs = std::filesystem;

namespace {

class PlantHost : public ::testing::Test {
 protected:
  void SetUp() override {
    SimPlantUnload();
    dir = testenv::FreshFolder("plant_host");
    SimPlantSetFolder(dir.string());
  }
  void TearDown() override {
    SimPlantUnload();
    SimPlantSetFolder("");
    fs::remove_all(dir);
  }
  // The state of the probe in the loaded library.
  static PlantProbe* Probe() {
    void* library = SimPlantTable().library;
    if (!library) return nullptr;
    auto state = reinterpret_cast<PlantProbeStateFn>(dlsym(library, "PlantProbeState"));
    return state ? state() : nullptr;
  }
  void PlaceProbeAs(const char* name, const char* probe = PLANT_PROBE) {
    fs::copy_file(probe, dir / name, fs::copy_options::overwrite_existing);
  }
  fs::path dir;
};

// --- Editions and the load ------------------------------------------------------------------

TEST_F(PlantHost, TheLanguageChoosesTheEditionBesideTheProgram) {
  struct Case {
    int language;
    const char* file;
  };
  const Case cases[] = {{1, "OvalmodE.so"}, {2, "OvalmodF.so"}, {0, "OvalmodG.so"}, {7, "OvalmodG.so"}, {-1, "OvalmodG.so"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    EXPECT_STREQ(SimPlantEditionFile(c.language), c.file);
    // Only the other editions there: nothing loads.
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* other : {"OvalmodE.so", "OvalmodF.so", "OvalmodG.so"})
      if (std::string(other) != c.file) PlaceProbeAs(other);
    EXPECT_EQ(SimPlantLoad(c.language), nullptr);
    // With its own edition there it is the one loaded.
    PlaceProbeAs(c.file);
    EXPECT_NE(SimPlantLoad(c.language), nullptr);
    EXPECT_EQ(SimPlantLoadedFile(), (dir / c.file).string());
  }
  // Without a folder set, the program's own.
  SimPlantSetFolder("");
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  EXPECT_EQ(SimPlantFolder(), fs::path(self).parent_path().string() + "/");
}

TEST_F(PlantHost, LoadingRegistersCreatesOnePlantAndTellsTheLanguage) {
  PlaceProbeAs("OvalmodF.so");
  void* library = SimPlantLoad(2);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(SimPlantTable().library, library);
  PlantProbe* probe = Probe();
  ASSERT_NE(probe, nullptr);
  EXPECT_STREQ(probe->company, "Orvant GmbH");
  EXPECT_STREQ(probe->product, "SIM74");
  EXPECT_STREQ(probe->calls, "SplSetRegistry(0,0);SplCreate(1,1);SplSetLanguage(77,2);");
  EXPECT_EQ(SimPlantTable().plant, 77);
  for (int i = 0; i < 9; ++i) EXPECT_NE(dlsym(library, SPL_NAMES[i]), nullptr) << SPL_NAMES[i];
  const SimPlantEntries& t = SimPlantTable();
  const void* bound[9] = {reinterpret_cast<void*>(t.setRegistry), reinterpret_cast<void*>(t.create),
                          reinterpret_cast<void*>(t.destroy),     reinterpret_cast<void*>(t.setLanguage),
                          reinterpret_cast<void*>(t.settingsDialog), reinterpret_cast<void*>(t.setPara),
                          reinterpret_cast<void*>(t.setInput),    reinterpret_cast<void*>(t.getOutput),
                          reinterpret_cast<void*>(t.cycle)};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(bound[i], dlsym(library, SPL_NAMES[i])) << SPL_NAMES[i];
}

// A reload (the language changed) and the unload destroy the plant before the library goes.
TEST_F(PlantHost, ReloadAndUnloadDestroyThePlantFirst) {
  PlaceProbeAs("OvalmodE.so");
  PlaceProbeAs("OvalmodG.so");
  ASSERT_NE(SimPlantLoad(1), nullptr);
  // A reference of the test's own keeps the first library's state readable after its unload.
  void* keep = dlopen((dir / "OvalmodE.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(keep, nullptr);
  PlantProbe* first = Probe();
  ASSERT_NE(SimPlantLoad(0), nullptr);
  EXPECT_EQ(SimPlantLoadedFile(), (dir / "OvalmodG.so").string());
  EXPECT_STREQ(first->calls, "SplSetRegistry(0,0);SplCreate(1,1);SplSetLanguage(77,1);SplDestroy(77,0);");
  EXPECT_STREQ(Probe()->calls, "SplSetRegistry(0,0);SplCreate(1,1);SplSetLanguage(77,0);");
  dlclose(keep);

  keep = dlopen((dir / "OvalmodG.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
  PlantProbe* second = Probe();
  SimPlantUnload();
  EXPECT_EQ(SimPlantTable().library, nullptr);
  EXPECT_EQ(SimPlantLoadedFile(), "");
  EXPECT_STREQ(second->calls, "SplSetRegistry(0,0);SplCreate(1,1);SplSetLanguage(77,0);SplDestroy(77,0);");
  dlclose(keep);
}

// A missing file, a file that is no shared object and a shared object without any of the
// names are no plug-in: nothing is loaded and the firmware keeps its own model.
TEST_F(PlantHost, WhatIsNoPlugInLeavesTheFirmwareOnItsOwnModel) {
  std::ofstream(dir / "OvalmodE.so") << "no shared object\n";
  fs::copy_file(PLANT_PROBE_NO_NAMES, dir / "OvalmodF.so");
  for (int language : {0, 1, 2}) {
    SCOPED_TRACE(language);
    EXPECT_EQ(SimPlantLoad(language), nullptr);
    EXPECT_EQ(SimPlantTable().library, nullptr);
    SimPlantActuators act{};
    SimPlantParams params{};
    SimPlantResult result{12.0f, 3.0f, 0};
    EXPECT_EQ(SimPlantCycle(&act, &params, &result), 0);
    EXPECT_EQ(result.x, 12.0f) << "the result record is left to the firmware's model";
    EXPECT_EQ(result.valid, 0);
  }
  EXPECT_FALSE(SimPlantBind((dir / "missing.so").c_str()));
  EXPECT_EQ(SimPlantSettings(nullptr, 1), 0);
}

// --- The exchange ---------------------------------------------------------------------------

TEST_F(PlantHost, TheCycleLaysOutTheRecordsAndHandsBackTheOutputsAsFloats) {
  PlaceProbeAs("OvalmodE.so");
  ASSERT_NE(SimPlantLoad(1), nullptr);
  PlantProbe* probe = Probe();
  struct Case {
    uint8_t kind, inverse;
    int32_t direct, stepping;
  };
  const Case cases[] = {{8, 0, 1, 1}, {7, 0, 1, 1}, {9, 0, 1, 0}, {19, 0, 1, 0}, {8, 1, 0, 1}, {2, 3, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << int{c.kind} << " inverse " << int{c.inverse});
    probe->calls[0] = '\0';
    SimPlantParams params{};
    params.outputKind = c.kind;
    params.inverse = c.inverse;
    params.motorTime = 1.0f;       // A
    params.startPosition = 5.0f;   // B
    params.gainPositive = 50.0f;   // C
    params.gainNegative = 2.0f;    // D
    params.plantGain = 9.0f;
    SimPlantActuators act{};
    act.y1 = 12.5f;
    act.y2 = 0.1f;
    act.switch1 = -1;
    act.switch2 = 1;
    probe->outputs[0] = 42.125;
    probe->outputs[1] = 0.1;
    SimPlantResult result{};
    EXPECT_EQ(SimPlantCycle(&act, &params, &result), 1);
    EXPECT_STREQ(probe->calls, "SplSetInput(77,0);SplSetPara(77,0);SplCycle(77,0);SplGetOutput(77,0);");

    EXPECT_EQ(SplGetI32(probe->input, 0), -1);
    EXPECT_EQ(SplGetI32(probe->input, 4), 1);
    EXPECT_EQ(SplGetF64(probe->input, 8), 12.5);
    EXPECT_EQ(SplGetF64(probe->input, 16), static_cast<double>(0.1f));

    EXPECT_EQ(SplGetI32(probe->para, 0), c.direct);
    EXPECT_EQ(SplGetI32(probe->para, 4), c.stepping);
    EXPECT_EQ(SplGetF64(probe->para, 8), 1.0);
    EXPECT_EQ(SplGetF64(probe->para, 16), 2.0);
    EXPECT_EQ(SplGetF64(probe->para, 24), 5.0);
    EXPECT_EQ(SplGetF64(probe->para, 32), 50.0);

    EXPECT_EQ(result.x, 42.125f);
    EXPECT_EQ(result.position, 0.1f);
    EXPECT_EQ(result.valid, 1);
  }
  // The bytes are little-endian whatever the plug-in: 1.0 is 00 .. 00 F0 3F.
  const uint8_t one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  EXPECT_EQ(std::memcmp(probe->para + 8, one, 8), 0);
}

TEST_F(PlantHost, AnswersOutsideTheValueRangeReachTheFirmwareSaturated) {
  PlaceProbeAs("OvalmodE.so");
  ASSERT_NE(SimPlantLoad(1), nullptr);
  struct Case {
    double answer;
    float x;
  };
  const Case cases[] = {{NAN, 0.0f},
                        {INFINITY, FW_VALUE_MAX},
                        {-INFINITY, -FW_VALUE_MAX},
                        {1e300, FW_VALUE_MAX},
                        {-1e39, -FW_VALUE_MAX},
                        {1e-50, 0.0f},
                        {-3.5, -3.5f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Probe()->outputs[0] = c.answer;
    Probe()->outputs[1] = c.answer;
    SimPlantActuators act{};
    SimPlantParams params{};
    SimPlantResult result{};
    EXPECT_EQ(SimPlantCycle(&act, &params, &result), 1);
    EXPECT_EQ(result.x, c.x);
    EXPECT_EQ(result.position, c.x);
  }
}

// Missing entry points do nothing and answer 0; the plug-in still counts as loaded.
TEST_F(PlantHost, APlugInWithoutItsCycleStillLoads) {
  PlaceProbeAs("OvalmodG.so", PLANT_PROBE_NO_CYCLE);
  ASSERT_NE(SimPlantLoad(0), nullptr);
  EXPECT_EQ(SimPlantTable().cycle, nullptr);
  EXPECT_NE(SimPlantTable().getOutput, nullptr);
  PlantProbe* probe = Probe();
  probe->calls[0] = '\0';
  probe->outputs[0] = 7.0;
  SimPlantActuators act{};
  SimPlantParams params{};
  SimPlantResult result{};
  EXPECT_EQ(SimPlantCycle(&act, &params, &result), 1);
  EXPECT_STREQ(probe->calls, "SplSetInput(77,0);SplSetPara(77,0);SplGetOutput(77,0);");
  EXPECT_EQ(result.x, 7.0f);
  EXPECT_EQ(SplCycle(77, 0), 0);
}

TEST_F(PlantHost, TheSettingsDialogIsThePlugInsOwn) {
  PlaceProbeAs("OvalmodE.so");
  ASSERT_NE(SimPlantLoad(1), nullptr);
  Probe()->calls[0] = '\0';
  Probe()->dialogAnswer = 5;
  int owner = 0;
  EXPECT_EQ(SimPlantSettings(&owner, 3), 5);
  EXPECT_STREQ(Probe()->calls, "SplSettingsDialog(77,3);");
  EXPECT_EQ(Probe()->owner, &owner);
}

// --- The program's exports ------------------------------------------------------------------

TEST_F(PlantHost, TheProgramExportsForwardersThatReachTheLoadedPlugIn) {
  // Without a plug-in every forwarder answers 0.
  uint8_t record[40] = {};
  int owner = 0;
  EXPECT_EQ(SplSetRegistry("a", "b"), 0);
  EXPECT_EQ(SplCreate(1, 1), 0);
  EXPECT_EQ(SplDestroy(1), 0);
  EXPECT_EQ(SplSetLanguage(1, 1), 0);
  EXPECT_EQ(SplSettingsDialog(1, &owner, 1), 0);
  EXPECT_EQ(SplSetPara(1, 0, record), 0);
  EXPECT_EQ(SplSetInput(1, 0, record), 0);
  EXPECT_EQ(SplGetOutput(1, 0, record), 0);
  EXPECT_EQ(SplCycle(1, 0), 0);

  // The plain names are found in the program, and they are the forwarders, not the plug-in's.
  PlaceProbeAs("OvalmodE.so");
  ASSERT_NE(SimPlantLoad(1), nullptr);
  auto create = reinterpret_cast<SplCreateFn>(dlsym(RTLD_DEFAULT, "SplCreate"));
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(create, &SplCreate);
  EXPECT_NE(create, SimPlantTable().create);
  for (const char* name : SPL_NAMES) EXPECT_NE(dlsym(RTLD_DEFAULT, name), nullptr) << name;
  PlantProbe* probe = Probe();
  probe->calls[0] = '\0';
  probe->handle = 90;
  EXPECT_EQ(create(3, 4), 90);
  probe->outputs[0] = 2.5;
  EXPECT_EQ(SplGetOutput(90, 1, record), 1);
  EXPECT_EQ(SplGetF64(record, 0), 2.5);
  record[0] = 0x11;
  EXPECT_EQ(SplSetInput(90, 2, record), 1);
  EXPECT_EQ(probe->input[0], 0x11);
  EXPECT_EQ(SplSetPara(90, 3, record), 1);
  EXPECT_EQ(SplSetLanguage(90, 2), 1);
  EXPECT_EQ(SplCycle(90, 4), 1);
  EXPECT_EQ(SplDestroy(90), 1);
  EXPECT_STREQ(probe->calls,
               "SplCreate(3,4);SplGetOutput(90,1);SplSetInput(90,2);SplSetPara(90,3);"
               "SplSetLanguage(90,2);SplCycle(90,4);SplDestroy(90,0);");
}

}  // namespace
