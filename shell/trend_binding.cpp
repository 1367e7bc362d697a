// The trend binding: the trend table, the samples after every cycle, showing and hiding the
// trends, the block trend and the main window's trend commands.
#include "shell/trend_binding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "shell/project.h"
#include "shell/sim_services.h"
#include "simlayer/SIM.h"

namespace {

constexpr int kStandard = 3;
constexpr uint32_t kPeriodsMs[kStandard] = {200, 2000, 20000};
constexpr uint32_t kAverageCycles[kStandard] = {2, 20, 200};  // trend 0 takes every 2nd cycle
constexpr int kShow = 5;
constexpr int kHide = 0;
constexpr int kSettingsRing = 100;

// Titles by language (German, English, French) and trend.
constexpr const char* kTitles[3][kStandard] = {
    {"Trend/SIM74-2 (6 min.)", "Trend/SIM74-2 (60 min.)", "Trend/SIM74-2 (600 min.)"},
    {"Trend/SIM74-2 (6 min.)", "Trend/SIM74-2 (60 min.)", "Trend/SIM74-2 (600 min.)"},
    {"Tendance/SIM74-2 (6 min.)", "Tendance/SIM74-2 (60 min.)", "Tendance/SIM74-2 (600 min.)"},
};
constexpr const char* kSettingsTitle[3] = {"Trend/SIM74-2 (Einstellungen)", "Trend/SIM74-2 (Settings)",
                                           "Tendance/SIM74-2 (R\xE9glages)"};
constexpr const char* kNoController[3] = {
    "Fehler beim Aufruf der Trendfunktion\r\nEs wird mindestens ein Regler-Funktionsblock ben\xF6tigt",
    "Error calling trend function\r\nAt least one controller function block is needed",
    "Erreur lors de l'appel de la fonction de tendance\r\nAu moins un bloc fonctionnel de r\xE9gulateur est n\xE9"
    "cessaire"};
constexpr const char* kNoL1read[3] = {
    "Fehler beim Aufruf der Trendfunktion\r\nEs wird mindestens ein L1READ-Funktionsblock ben\xF6tigt",
    "Error calling trend function\r\nAt least one L1READ function block is needed",
    "Erreur lors de l'appel de la fonction de tendance\r\nAu moins un bloc fonctionnel L1READ est n\xE9"
    "cessaire"};
constexpr const char* kSelectTitle[3] = {"SIM/MX74 - Trendauswahl", "SIM/MX74 - Trend selection",
                                         "SIM/MX74 - Selection de tendance"};
constexpr const char* kSelectPrompt[3] = {"Bitte L1READ-Block f\xFCr Trendanzeige ausw\xE4hlen.",
                                          "Please select L1READ block for trend display",
                                          "Choisir le bloc L1READ pour annonce de tendance"};
constexpr const char* kSelectCancel[3] = {"Abbrechen", "Cancel", "Annuler"};

int Lang(int language) { return language >= 0 && language <= 2 ? language : 1; }
int StateLanguage() { return Lang(SimState().language); }

struct Binding {
  std::intptr_t instance = 0;
  bool created = false;
  KurvanHandle trend[SIM_TREND_COUNT] = {};
  int language = 1;
  // Sums of the six values and the sample counts for trends 1 and 2.
  float sum[2][SIM_TREND_STD_ANALOG] = {};
  uint32_t count[2] = {};
  float lastScale[12] = {};
  SimTrendSettings settings;
  bool changed = false;
  uint16_t selected = 0;    // the block chosen for the block trend
  uint16_t trendBlock = 0;  // the block trend 3 was made for
  SimTrendSet madeWith;     // the settings it was made with
  uint8_t config[KURVAN_CONFIG_BYTES] = {};
};
Binding g_binding;   // the simulator's trends and their settings
const SimTrendFirmware* g_fw = nullptr;
int (*g_dialogRunner)(KurvanHandle) = nullptr;
bool g_dialogOpen = false;

// --- Firmware ----------------------------------------------------------------------------

const FwTrendReaders* Readers() { return g_fw && g_fw->readers ? g_fw->readers() : nullptr; }

// An L1READ block of the reader table that still is one.
bool ValidBlock(uint16_t block) {
  const FwTrendReaders* r = Readers();
  if (!r || block < 1 || block > FW_TREND_BLOCKS || !r->marked[block]) return false;
  return g_fw->blockType && g_fw->blockType(block) == FW_TYPE_L1READ;
}

bool ControllerPresent() { return g_fw && g_fw->controllerPresent && g_fw->controllerPresent(); }

// --- Channel configuration ---------------------------------------------------------------

bool GetConfig(KurvanHandle h) {
  TrendPutU32(g_binding.config, KURVAN_CFG_SIZE, KURVAN_CONFIG_BYTES);
  return h && KurvanGetChannelConfig(h, g_binding.config, nullptr) == 1;
}

void PutChannel(uint32_t at, const SimTrendChannel& c) {
  TrendPutText(g_binding.config, at + TREND_CH_NAME, TREND_CH_NAME_BYTES, c.name);
  TrendPutU16(g_binding.config, at + TREND_CH_SHOWN, c.visible);
  TrendPutU32(g_binding.config, at + TREND_CH_COLOR, c.color);
}

SimTrendChannel TakeChannel(uint32_t at) {
  SimTrendChannel c;
  c.color = TrendGetU32(g_binding.config, at + TREND_CH_COLOR) & 0xFFFFFFu;
  const std::string name = TrendGetText(g_binding.config, at + TREND_CH_NAME, TREND_CH_NAME_BYTES);
  SimTrendSetName(&c, name.c_str());
  c.visible = TrendGetU16(g_binding.config, at + TREND_CH_SHOWN) ? 1 : 0;
  return c;
}

// The settings' names, colours, visibility and scales onto a trend (its scale limits and
// everything else stay).
void ApplyChannels(KurvanHandle h, const SimTrendChannels& ch) {
  if (!GetConfig(h)) return;
  TrendPutI16(g_binding.config, KURVAN_CFG_LEFT_SCALE, static_cast<int16_t>(ch.scaleLeft - 1));
  TrendPutI16(g_binding.config, KURVAN_CFG_RIGHT_SCALE, static_cast<int16_t>(ch.scaleRight - 1));
  for (int i = 0; i < ch.analogCount; ++i) PutChannel(KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * i, ch.analog[i]);
  for (int j = 0; j < ch.digitalCount; ++j) PutChannel(KURVAN_CFG_DIGITAL + TREND_DIGITAL_BYTES * j, ch.digital[j]);
  KurvanSetChannelConfig(h, g_binding.config, nullptr);
}

// The channels as a trend holds them now (the shape of `like`); false when it cannot be read.
bool ReadChannels(KurvanHandle h, const SimTrendChannels& like, SimTrendChannels* out) {
  if (!GetConfig(h)) return false;
  *out = like;
  const auto scale = [&](uint32_t off, int16_t fallback) {
    const int v = TrendGetI16(g_binding.config, off) + 1;
    return v >= 0 && v <= like.analogCount ? static_cast<int16_t>(v) : fallback;
  };
  out->scaleLeft = scale(KURVAN_CFG_LEFT_SCALE, like.scaleLeft);
  out->scaleRight = scale(KURVAN_CFG_RIGHT_SCALE, like.scaleRight);
  for (int i = 0; i < like.analogCount; ++i) out->analog[i] = TakeChannel(KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * i);
  for (int j = 0; j < like.digitalCount; ++j) out->digital[j] = TakeChannel(KURVAN_CFG_DIGITAL + TREND_DIGITAL_BYTES * j);
  return true;
}

bool SameChannel(const SimTrendChannel& a, const SimTrendChannel& b) {
  return a.color == b.color && a.visible == b.visible && std::strcmp(a.name, b.name) == 0;
}
bool SameChannels(const SimTrendChannels& a, const SimTrendChannels& b) {
  if (a.scaleLeft != b.scaleLeft || a.scaleRight != b.scaleRight || a.analogCount != b.analogCount ||
      a.digitalCount != b.digitalCount)
    return false;
  for (int i = 0; i < a.analogCount; ++i)
    if (!SameChannel(a.analog[i], b.analog[i])) return false;
  for (int j = 0; j < a.digitalCount; ++j)
    if (!SameChannel(a.digital[j], b.digital[j])) return false;
  return true;
}

void ApplyAll() {
  for (int t = 0; t < kStandard; ++t) ApplyChannels(g_binding.trend[t], g_binding.settings.standard);
  if (g_binding.trend[SIM_TREND_BLOCK]) ApplyChannels(g_binding.trend[SIM_TREND_BLOCK], g_binding.settings.block);
}

void WriteIni() {
  if (!SimTrendWriteIni(SimTrendIniPath(), g_binding.settings))
    SIM_LogText(("The trend settings could not be written to " + SimTrendIniPath() + "; the file is left as it was.")
                    .c_str());
}

// Takes over what a trend's viewer changed in its channels (its dialog writes into the
// trend): the new channels become the settings of that kind, for every trend of the kind.
void CollectEdits() {
  for (int t = 0; t < SIM_TREND_COUNT; ++t) {
    if (!g_binding.trend[t]) continue;
    SimTrendChannels& mine = t == SIM_TREND_BLOCK ? g_binding.settings.block : g_binding.settings.standard;
    SimTrendChannels now;
    if (!ReadChannels(g_binding.trend[t], mine, &now) || SameChannels(now, mine)) continue;
    mine = now;
    g_binding.changed = true;
    WriteIni();
    if (t != SIM_TREND_BLOCK)
      for (int u = 0; u < kStandard; ++u)
        if (u != t) ApplyChannels(g_binding.trend[u], mine);
  }
}

// The scale limits of the state record onto the six analog channels of a standard trend.
void ApplyLimits(KurvanHandle h) {
  if (!GetConfig(h)) return;
  for (int i = 0; i < SIM_TREND_STD_ANALOG; ++i) {
    const uint32_t at = KURVAN_CFG_ANALOG + TREND_ANALOG_BYTES * i;
    TrendPutF32(g_binding.config, at + TREND_CH_MIN, g_binding.lastScale[2 * i]);
    TrendPutF32(g_binding.config, at + TREND_CH_MAX, g_binding.lastScale[2 * i + 1]);
  }
  KurvanSetChannelConfig(h, g_binding.config, nullptr);
}

// --- Samples -----------------------------------------------------------------------------

void StatusBits(const SimHostState& s, uint8_t digital[SIM_TREND_DIGITAL]) {
  std::fill(digital, digital + SIM_TREND_DIGITAL, uint8_t{0});
  for (int b = 0; b < 4; ++b) digital[b] = (s.plant.status >> b) & 1u;
}

void FeedAverage(int t, const uint8_t digital[SIM_TREND_DIGITAL]) {
  const int k = t - 1;
  if (g_binding.count[k] == 0) return;
  float analog[SIM_TREND_ANALOG] = {};
  for (int i = 0; i < SIM_TREND_STD_ANALOG; ++i) analog[i] = g_binding.sum[k][i] / static_cast<float>(g_binding.count[k]);
  KurvanCycle(g_binding.trend[t], analog, digital, 1);
  std::fill(std::begin(g_binding.sum[k]), std::end(g_binding.sum[k]), 0.0f);
  g_binding.count[k] = 0;
}

void ClearAverages() {
  for (auto& s : g_binding.sum) std::fill(std::begin(s), std::end(s), 0.0f);
  g_binding.count[0] = g_binding.count[1] = 0;
}

// --- The block trend ---------------------------------------------------------------------

void RemoveBlockTrend() {
  if (g_binding.trend[SIM_TREND_BLOCK]) KurvanDestroy(g_binding.trend[SIM_TREND_BLOCK]);
  g_binding.trend[SIM_TREND_BLOCK] = 0;
  g_binding.trendBlock = 0;
  g_binding.selected = 0;
  g_binding.settings.blockSet = SimTrendDefaultSet(g_binding.language);
}

bool SameSet(const SimTrendSet& a, const SimTrendSet& b) {
  return a.period == b.period && a.ring == b.ring && a.flag == b.flag;
}

void HideOthers(int index) {
  for (int t = 0; t < SIM_TREND_COUNT; ++t)
    if (t != index && g_binding.trend[t] && KurvanIsVisible(g_binding.trend[t]) > 0) KurvanShowFrame(g_binding.trend[t], kHide);
}

int ShowBlockTrend() {
  const uint16_t block = g_binding.selected;
  if (!ValidBlock(block)) {
    RemoveBlockTrend();
    return 0;
  }
  const SimTrendSet set = g_binding.settings.blockSet;
  KurvanHandle h = g_binding.trend[SIM_TREND_BLOCK];
  if (h && KurvanIsVisible(h) > 0) {
    KurvanShowFrame(h, kHide);
    return 1;
  }
  // A period of 0 cycles makes no trend (it would never take a sample).
  if (set.period == 0) return 0;
  if (!h || block != g_binding.trendBlock || !SameSet(set, g_binding.madeWith)) {
    if (h) {
      KurvanReset(h);
      KurvanDestroy(h);
      g_binding.trend[SIM_TREND_BLOCK] = 0;
    }
    h = KurvanCreate(g_binding.instance, SIM_TREND_ANALOG, uint32_t{set.period} * 100u, set.ring, set.flag,
                     SIM_TREND_ANALOG, SIM_TREND_DIGITAL);
    if (!h) return 0;
    g_binding.trend[SIM_TREND_BLOCK] = h;
    g_binding.trendBlock = block;
    g_binding.madeWith = set;
    KurvanSetLanguage(h, g_binding.language);
  }
  KurvanSetTitle(h, SimTrendBlockTitle(block).c_str());
  HideOthers(SIM_TREND_BLOCK);
  ApplyChannels(h, g_binding.settings.block);
  return KurvanShowFrame(h, kShow);
}

void LoadSettings() {
  const int language = StateLanguage();
  SimTrendSettings s = SimTrendReadIni(SimTrendIniPath(), language);
  const std::string& companion = SimProjectCompanionName();
  if (!SimTrendReadDat(companion, language, &s)) {
    const SimOldProjectTrend& old = SimOldProjectTrendBlocks();
    if (old.loaded) SimTrendDecode(old.settingsValid ? old.settings : nullptr, old.channels, language, &s);
  }
  SimTrendTakeSettings(s, false);
  g_binding.changed = false;
}

}  // namespace

void SimTrendSetFirmware(const SimTrendFirmware* firmware) { g_fw = firmware; }

void SimTrendCreateAll(std::intptr_t instance) {
  SimTrendDestroyAll();
  g_binding.instance = instance;
  g_binding.language = StateLanguage();
  for (int t = 0; t < kStandard; ++t) {
    g_binding.trend[t] = KurvanCreate(instance, SIM_TREND_ANALOG, kPeriodsMs[t], SIM_TREND_RING, 1, SIM_TREND_STD_ANALOG,
                              SIM_TREND_STD_DIGITAL);
    if (!g_binding.trend[t]) {
      SIM_LogText("A trend could not be made.");
      continue;
    }
    KurvanSetTitle(g_binding.trend[t], kTitles[g_binding.language][t]);
    KurvanSetLanguage(g_binding.trend[t], g_binding.language);
  }
  g_binding.created = true;
  ClearAverages();
  std::fill(std::begin(g_binding.lastScale), std::end(g_binding.lastScale), 0.0f);
  g_binding.settings.blockSet = SimTrendDefaultSet(g_binding.language);
  LoadSettings();
}

void SimTrendDestroyAll() {
  RemoveBlockTrend();
  for (int t = kStandard - 1; t >= 0; --t) {
    if (g_binding.trend[t]) KurvanDestroy(g_binding.trend[t]);
    g_binding.trend[t] = 0;
  }
  g_binding.created = false;
}

void SimTrendCycle() {
  if (!g_binding.created) return;
  const SimHostState& s = SimState();
  // 1. New scale limits go to the three standard trends.
  if (std::memcmp(g_binding.lastScale, s.plant.trendScale, sizeof g_binding.lastScale) != 0) {
    std::memcpy(g_binding.lastScale, s.plant.trendScale, sizeof g_binding.lastScale);
    for (int t = 0; t < kStandard; ++t) ApplyLimits(g_binding.trend[t]);
  }
  const uint32_t n = s.cycleCount;
  uint8_t digital[SIM_TREND_DIGITAL];
  // 2. Every 2nd cycle a sample of trend 0, summed for trends 1 and 2.
  if (n % kAverageCycles[0] == 0) {
    float analog[SIM_TREND_ANALOG] = {};
    std::copy(std::begin(s.plant.trend), std::end(s.plant.trend), analog);
    StatusBits(s, digital);
    KurvanCycle(g_binding.trend[0], analog, digital, 1);
    for (int k = 0; k < 2; ++k) {
      for (int i = 0; i < SIM_TREND_STD_ANALOG; ++i) g_binding.sum[k][i] += analog[i];
      ++g_binding.count[k];
    }
    // 3. and 4. The averages of trends 1 and 2.
    if (n % kAverageCycles[1] == 0) FeedAverage(1, digital);
    if (n % kAverageCycles[2] == 0) FeedAverage(2, digital);
  }
  // 5. The block trend every block period.
  if (g_binding.trend[SIM_TREND_BLOCK] && g_binding.madeWith.period != 0 && n % g_binding.madeWith.period == 0) {
    if (!ValidBlock(g_binding.trendBlock)) {
      RemoveBlockTrend();
      return;
    }
    float analog[SIM_TREND_ANALOG];
    SimTrendValues(g_binding.trendBlock, analog, digital);
    KurvanCycle(g_binding.trend[SIM_TREND_BLOCK], analog, digital, 1);
  }
}

void SimTrendValues(uint16_t block, float analog[SIM_TREND_ANALOG], uint8_t digital[SIM_TREND_DIGITAL]) {
  std::fill(analog, analog + SIM_TREND_ANALOG, 0.0f);
  std::fill(digital, digital + SIM_TREND_DIGITAL, uint8_t{0});
  if (!ValidBlock(block)) return;
  const FwTrendReaders& r = *Readers();
  if (g_fw->readAnalog) {
    for (int i = 0; i < SIM_TREND_ANALOG; ++i) {
      const float v = g_fw->readAnalog(r.analog[block][i]);
      analog[i] = std::isnan(v) ? 0.0f : std::clamp(v, -SIM_TREND_VALUE_LIMIT, SIM_TREND_VALUE_LIMIT);
    }
  }
  if (g_fw->readDigital) {
    for (int j = 0; j < SIM_TREND_DIGITAL; ++j) digital[j] = g_fw->readDigital(r.digital[block][j]) ? 1 : 0;
  }
}

int SimTrendShow(int index) {
  if (index == SIM_TREND_REMOVE_BLOCK) {
    RemoveBlockTrend();
    return 1;
  }
  if (index < 0 || index >= SIM_TREND_COUNT || !g_binding.created) return 0;
  CollectEdits();
  if (index == SIM_TREND_BLOCK) return ShowBlockTrend();
  const KurvanHandle h = g_binding.trend[index];
  if (!h) return 0;
  if (KurvanIsVisible(h) > 0) return KurvanShowFrame(h, kHide);
  HideOthers(index);
  ApplyChannels(h, g_binding.settings.standard);
  return KurvanShowFrame(h, kShow);
}

bool SimTrendIsVisible(int index) {
  if (index < 0 || index >= SIM_TREND_COUNT || !g_binding.trend[index]) return false;
  return KurvanIsVisible(g_binding.trend[index]) > 0;
}

bool SimTrendStandardVisible() {
  for (int t = 0; t < kStandard; ++t)
    if (SimTrendIsVisible(t)) return true;
  return false;
}

void SimTrendResetAll() {
  for (KurvanHandle h : g_binding.trend)
    if (h) KurvanReset(h);
  ClearAverages();
}

void SimTrendLanguageChanged() {
  const int old = g_binding.language;
  g_binding.language = StateLanguage();
  if (old != g_binding.language) {
    // Names that were the old language's defaults follow the language.
    const SimTrendSettings before = SimTrendDefaultSettings(old), after = SimTrendDefaultSettings(g_binding.language);
    auto follow = [](SimTrendChannels& ch, const SimTrendChannels& was, const SimTrendChannels& now) {
      for (int i = 0; i < ch.analogCount; ++i)
        if (std::strcmp(ch.analog[i].name, was.analog[i].name) == 0) std::strcpy(ch.analog[i].name, now.analog[i].name);
      for (int j = 0; j < ch.digitalCount; ++j)
        if (std::strcmp(ch.digital[j].name, was.digital[j].name) == 0)
          std::strcpy(ch.digital[j].name, now.digital[j].name);
    };
    follow(g_binding.settings.standard, before.standard, after.standard);
    follow(g_binding.settings.block, before.block, after.block);
    if (std::strcmp(g_binding.settings.blockSet.name, before.blockSet.name) == 0)
      std::strcpy(g_binding.settings.blockSet.name, after.blockSet.name);
  }
  for (int t = 0; t < kStandard; ++t) {
    if (!g_binding.trend[t]) continue;
    KurvanSetTitle(g_binding.trend[t], kTitles[g_binding.language][t]);
    KurvanSetLanguage(g_binding.trend[t], g_binding.language);
  }
  if (g_binding.trend[SIM_TREND_BLOCK]) {
    KurvanSetTitle(g_binding.trend[SIM_TREND_BLOCK], SimTrendBlockTitle(g_binding.trendBlock).c_str());
    KurvanSetLanguage(g_binding.trend[SIM_TREND_BLOCK], g_binding.language);
  }
  ApplyAll();
}

KurvanHandle SimTrendHandle(int index) {
  return index >= 0 && index < SIM_TREND_COUNT ? g_binding.trend[index] : 0;
}

bool SimTrendSelectBlock(uint16_t block) {
  if (!ValidBlock(block)) return false;
  g_binding.selected = block;
  return true;
}

uint16_t SimTrendSelectedBlock() { return g_binding.selected; }

namespace {
// The block's tag (its first text); "L1READ <n>" when it has none.
std::string BlockTag(uint16_t block) {
  const FwTrendReaders* r = Readers();
  std::string tag = r && block >= 1 && block <= FW_TREND_BLOCKS
                        ? std::string(r->title[block], strnlen(r->title[block], sizeof r->title[block]))
                        : std::string();
  return tag.empty() ? "L1READ " + std::to_string(block) : tag;
}
}  // namespace

std::string SimTrendBlockTitle(uint16_t block) { return BlockTag(block) + ": " + g_binding.settings.blockSet.name; }

std::string SimTrendBlockLabel(uint16_t block) {
  char number[8];
  std::snprintf(number, sizeof number, "%03u", static_cast<unsigned>(block));
  return std::string(number) + "  " + BlockTag(block);
}

const SimTrendSettings& SimTrendCurrentSettings() { return g_binding.settings; }

void SimTrendTakeSettings(const SimTrendSettings& settings, bool markChanged) {
  g_binding.settings = settings;
  if (markChanged) g_binding.changed = true;
  ApplyAll();
}

bool SimTrendSettingsChanged() { return g_binding.changed; }

void SimTrendProjectLoaded() {
  // A block trend of the project before is no trend of this one.
  RemoveBlockTrend();
  LoadSettings();
}

bool SimTrendProjectSaved() {
  const std::string& companion = SimProjectCompanionName();
  if (companion.empty()) return true;
  CollectEdits();
  if (!SimTrendWriteDat(companion, g_binding.settings)) {
    SIM_LogText(("The trend settings file " + companion + " could not be written.").c_str());
    return false;
  }
  g_binding.changed = false;
  return true;
}

void SimTrendSetDialogRunner(int (*runner)(KurvanHandle)) { g_dialogRunner = runner; }

int SimTrendSettingsDialog() {
  // One dialog at a time (the program goes on running while it is open).
  if (!g_binding.created || g_dialogOpen) return 0;
  CollectEdits();
  const KurvanHandle h = KurvanCreate(g_binding.instance, SIM_TREND_ANALOG, kPeriodsMs[0], kSettingsRing, 1,
                                      SIM_TREND_STD_ANALOG, SIM_TREND_STD_DIGITAL);
  if (!h) return 0;
  KurvanSetTitle(h, kSettingsTitle[g_binding.language]);
  KurvanSetLanguage(h, g_binding.language);
  // The standard trends' configuration (scale limits included) as the dialog's start.
  if (g_binding.trend[0] && GetConfig(g_binding.trend[0])) KurvanSetChannelConfig(h, g_binding.config, nullptr);
  ApplyChannels(h, g_binding.settings.standard);
  int taken = 0;
  SimTrendChannels now;
  g_dialogOpen = true;
  const int confirmed = g_dialogRunner ? g_dialogRunner(h) : KurvanChannelConfigDialog(h);
  g_dialogOpen = false;
  if (confirmed == 1 && ReadChannels(h, g_binding.settings.standard, &now)) {
    // Everything the dialog set (scale limits too) goes to the standard trends.
    for (int t = 0; t < kStandard; ++t)
      if (g_binding.trend[t]) KurvanSetChannelConfig(g_binding.trend[t], g_binding.config, nullptr);
    if (!SameChannels(now, g_binding.settings.standard)) {
      g_binding.settings.standard = now;
      g_binding.changed = true;
      WriteIni();
    }
    taken = 1;
  }
  KurvanDestroy(h);
  return taken;
}

// --- Commands ----------------------------------------------------------------------------

const char* SimTrendNoControllerText(int language) { return kNoController[Lang(language)]; }
const char* SimTrendNoL1readText(int language) { return kNoL1read[Lang(language)]; }
const char* SimTrendSelectTitle(int language) { return kSelectTitle[Lang(language)]; }
const char* SimTrendSelectPrompt(int language) { return kSelectPrompt[Lang(language)]; }
const char* SimTrendSelectCancel(int language) { return kSelectCancel[Lang(language)]; }

bool SimTrendControllerCommand(const SimTrendUi& ui) {
  if (!ControllerPresent()) {
    if (ui.message) ui.message(SIM_TREND_CAPTION, SimTrendNoControllerText(StateLanguage()));
    return SimTrendStandardVisible();
  }
  int shown = -1;
  for (int t = 0; t < kStandard; ++t)
    if (SimTrendIsVisible(t)) shown = t;
  SimTrendShow(shown >= 0 ? shown : SIM_TREND_FAST);
  return SimTrendStandardVisible();
}

int SimTrendBlockCommand(const SimTrendUi& ui) {
  const int language = StateLanguage();
  if (SimTrendIsVisible(SIM_TREND_BLOCK)) {
    SimTrendShow(SIM_TREND_BLOCK);  // hides it
    return 0;
  }
  std::vector<uint16_t> blocks;
  std::vector<std::string> labels;
  for (uint16_t b = 1; b <= FW_TREND_BLOCKS; ++b) {
    if (!ValidBlock(b)) continue;
    blocks.push_back(b);
    labels.push_back(SimTrendBlockLabel(b));
  }
  if (blocks.empty()) {
    if (ui.message) ui.message(SIM_TREND_CAPTION, SimTrendNoL1readText(language));
    return 0;
  }
  size_t chosen = 0;
  if (blocks.size() > 1) {
    if (!ui.selectBlock) return 0;
    std::vector<const char*> items;
    for (const std::string& l : labels) items.push_back(l.c_str());
    const int i = ui.selectBlock(SimTrendSelectTitle(language), SimTrendSelectPrompt(language),
                                 SimTrendSelectCancel(language), items.data(), static_cast<int>(items.size()));
    if (i < 0 || i >= static_cast<int>(blocks.size())) return 0;
    chosen = static_cast<size_t>(i);
  }
  SimTrendSelectBlock(blocks[chosen]);
  return SimTrendShow(SIM_TREND_BLOCK);
}
