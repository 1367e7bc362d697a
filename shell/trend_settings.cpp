// The trend channel settings: defaults by language, section [Trend1] of "sim74-2.ini" and
// the stored settings blocks of the companion ".dat" file and of older projects.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/byte_order.h"
#include "host/ini_file.h"
#include "host/regular_file.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "shell/trend_binding.h"

namespace {

constexpr char kSection[] = "Trend1";

int Lang(int language) { return language >= 0 && language <= 2 ? language : 1; }

// Default names: German, English, French (Latin-1).
constexpr const char* kAnalogNames[SIM_TREND_STD_ANALOG][3] = {
    {"Sollwert", "Setpoint", "Consigne"},
    {"Istwert", "Process value", "Mesure"},
    {"Stellgr\xF6\xDF" "e", "Output value Y", "Sortie interne"},
    {"Regelabweichung", "Deviation", "Ecart de r\xE9glage"},
    {"X2", "X2", "X2"},
    {"X3", "X3", "X3"},
};
constexpr const char* kDigitalNames[SIM_TREND_STD_DIGITAL][3] = {
    {"Auto/Hand", "Auto/Manual", "Auto/Manuel"},
    {"Wint/Wext", "Wint/Wext", "Wint/Wext"},
    {"W/W2", "W/W2", "W/W2"},
    {"Y/Y2", "Y/Y2", "Y/Y2"},
    {"Regler FAIL", "Controller FAIL", "FAIL de r\xE9gulat."},
};
constexpr uint32_t kAnalogColors[3] = {0x8000, 128, 0x800000};
constexpr const char* kSetNames[3] = {"Blocktrend L1READ", "L1READ block trend", "Tendance de bloc L1READ"};


// --- Ini keys ----------------------------------------------------------------------------

struct KindKeys {
  const char* scaleLeft;
  const char* scaleRight;
  const char* suffix;  // "" for the standard trends, "L1" for the block trend
};
constexpr KindKeys kStandardKeys{"ScaleLeft", "ScaleRight", ""};
constexpr KindKeys kBlockKeys{"ScaleLeftL1", "ScaleRightL1", "L1"};

std::string Key(const char* what, const KindKeys& k, int n) {
  char key[40];
  std::snprintf(key, sizeof key, "%s%s%d", what, k.suffix, n);
  return key;
}

// An unsigned decimal number's low 24 bits (the digits are taken modulo 2^24, which keeps
// exactly those bits of any length of number); the default when it does not start with a digit.
uint32_t ColorValue(const std::string& text, uint32_t fallback) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return fallback;
  uint32_t v = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = (v * 10u + static_cast<uint32_t>(text[i] - '0')) & 0xFFFFFFu;
  return v;
}

uint8_t VisibleValue(long v, uint8_t fallback) { return v == 0 || v == 1 ? static_cast<uint8_t>(v) : fallback; }
int16_t ScaleValue(long v, int count, int16_t fallback) { return v >= 0 && v <= count ? static_cast<int16_t>(v) : fallback; }

void ReadChannel(const std::string& file, const KindKeys& k, const char* kind, int n, SimTrendChannel* c) {
  const std::string colorKey = Key((std::string("Color") + kind).c_str(), k, n);
  const std::string nameKey = Key((std::string("Name") + kind).c_str(), k, n);
  const std::string visibleKey = Key((std::string("Visible") + kind).c_str(), k, n);
  c->color = ColorValue(host::IniGetString(file, kSection, colorKey, ""), c->color);
  const std::string name = host::IniGetString(file, kSection, nameKey, c->name);
  SimTrendSetName(c, name.c_str());
  c->visible = VisibleValue(host::IniGetInt(file, kSection, visibleKey, c->visible), c->visible);
}

void ReadKind(const std::string& file, const KindKeys& k, SimTrendChannels* ch) {
  ch->scaleLeft = ScaleValue(host::IniGetInt(file, kSection, k.scaleLeft, ch->scaleLeft), ch->analogCount, ch->scaleLeft);
  ch->scaleRight = ScaleValue(host::IniGetInt(file, kSection, k.scaleRight, ch->scaleRight), ch->analogCount, ch->scaleRight);
  for (int i = 0; i < ch->analogCount; ++i) ReadChannel(file, k, "Analog", i + 1, &ch->analog[i]);
  for (int j = 0; j < ch->digitalCount; ++j) ReadChannel(file, k, "Digital", j + 1, &ch->digital[j]);
}

bool WriteChannel(const std::string& file, const KindKeys& k, const char* kind, int n, const SimTrendChannel& c) {
  bool ok = host::IniWriteString(file, kSection, Key((std::string("Color") + kind).c_str(), k, n), std::to_string(c.color));
  ok = host::IniWriteString(file, kSection, Key((std::string("Name") + kind).c_str(), k, n), c.name) && ok;
  ok = host::IniWriteString(file, kSection, Key((std::string("Visible") + kind).c_str(), k, n), c.visible ? "1" : "0") && ok;
  return ok;
}

bool WriteKind(const std::string& file, const KindKeys& k, const SimTrendChannels& ch) {
  bool ok = host::IniWriteInt(file, kSection, k.scaleLeft, ch.scaleLeft);
  ok = host::IniWriteInt(file, kSection, k.scaleRight, ch.scaleRight) && ok;
  for (int i = 0; i < ch.analogCount; ++i) ok = WriteChannel(file, k, "Analog", i + 1, ch.analog[i]) && ok;
  for (int j = 0; j < ch.digitalCount; ++j) ok = WriteChannel(file, k, "Digital", j + 1, ch.digital[j]) && ok;
  return ok;
}

// --- Stored blocks -----------------------------------------------------------------------

constexpr char kSettingsTag[] = "Sbsu";
constexpr char kChannelTag[] = "Sbch";
constexpr size_t kChannelBytes = 22;  // u32 colour, char[17] name, u8 visible
// Settings block: tag, u16 period, u16 ring, u16 flag, u16 0, char[52] name, the block
// trend's channels. Channel block: tag, the standard trends' channels. Channels: i16 left
// and right scale, then each analog and each digital channel.
constexpr size_t kSetPeriod = 4, kSetRing = 6, kSetFlag = 8, kSetName = 12, kSetNameBytes = 52, kSetChannels = 64;
constexpr size_t kChChannels = 4;


void EncodeChannels(const SimTrendChannels& ch, uint8_t* p) {
  FW_PutU16(p, static_cast<uint16_t>(ch.scaleLeft));
  FW_PutU16(p + 2, static_cast<uint16_t>(ch.scaleRight));
  p += 4;
  auto put = [&p](const SimTrendChannel& c) {
    FW_PutU32(p, c.color);
    std::memcpy(p + 4, c.name, SIM_TREND_NAME_CHARS);
    p[4 + SIM_TREND_NAME_CHARS] = 0;
    p[21] = c.visible;
    p += kChannelBytes;
  };
  for (int i = 0; i < ch.analogCount; ++i) put(ch.analog[i]);
  for (int j = 0; j < ch.digitalCount; ++j) put(ch.digital[j]);
}

void DecodeChannels(const uint8_t* p, SimTrendChannels* ch) {
  ch->scaleLeft = ScaleValue(static_cast<int16_t>(FW_GetU16(p)), ch->analogCount, ch->scaleLeft);
  ch->scaleRight = ScaleValue(static_cast<int16_t>(FW_GetU16(p + 2)), ch->analogCount, ch->scaleRight);
  p += 4;
  auto get = [&p](SimTrendChannel* c) {
    c->color = FW_GetU32(p) & 0xFFFFFFu;
    char name[SIM_TREND_NAME_CHARS + 1] = {};
    std::memcpy(name, p + 4, SIM_TREND_NAME_CHARS);
    SimTrendSetName(c, name);
    c->visible = VisibleValue(p[21], c->visible);
    p += kChannelBytes;
  };
  for (int i = 0; i < ch->analogCount; ++i) get(&ch->analog[i]);
  for (int j = 0; j < ch->digitalCount; ++j) get(&ch->digital[j]);
}

static_assert(kSetChannels + 4 + (SIM_TREND_ANALOG + SIM_TREND_DIGITAL) * kChannelBytes <= SIM_TREND_SETTINGS_BLOCK);
static_assert(kChChannels + 4 + (SIM_TREND_STD_ANALOG + SIM_TREND_STD_DIGITAL) * kChannelBytes <= SIM_TREND_CHANNEL_BLOCK);

}  // namespace

void SimTrendSetName(SimTrendChannel* c, const char* text) {
  std::memset(c->name, 0, sizeof c->name);
  std::memcpy(c->name, text, strnlen(text, SIM_TREND_NAME_CHARS));
}

SimTrendChannels SimTrendDefaultChannels(bool block, int language) {
  const int l = Lang(language);
  SimTrendChannels ch;
  ch.analogCount = block ? SIM_TREND_ANALOG : SIM_TREND_STD_ANALOG;
  ch.digitalCount = block ? SIM_TREND_DIGITAL : SIM_TREND_STD_DIGITAL;
  ch.scaleLeft = block ? 1 : 2;
  ch.scaleRight = 0;
  for (int i = 0; i < ch.analogCount; ++i) {
    SimTrendChannel& c = ch.analog[i];
    c.color = i < 3 ? kAnalogColors[i] : 0;
    c.visible = block || i < 3 ? 1 : 0;
    char name[SIM_TREND_NAME_CHARS + 1];
    std::snprintf(name, sizeof name, "X%d", i + 1);
    SimTrendSetName(&c, block ? name : kAnalogNames[i][l]);
  }
  for (int j = 0; j < ch.digitalCount; ++j) {
    SimTrendChannel& c = ch.digital[j];
    c.color = 0;
    c.visible = block || j == 0 ? 1 : 0;
    char name[SIM_TREND_NAME_CHARS + 1];
    std::snprintf(name, sizeof name, "D%d", j + 1);
    SimTrendSetName(&c, block ? name : kDigitalNames[j][l]);
  }
  return ch;
}

SimTrendSet SimTrendDefaultSet(int language) {
  SimTrendSet set;
  std::snprintf(set.name, sizeof set.name, "%s", kSetNames[Lang(language)]);
  return set;
}

SimTrendSettings SimTrendDefaultSettings(int language) {
  SimTrendSettings s;
  s.standard = SimTrendDefaultChannels(false, language);
  s.block = SimTrendDefaultChannels(true, language);
  s.blockSet = SimTrendDefaultSet(language);
  return s;
}

std::string SimTrendIniPath() { return SimSettingsFolder() + "/sim74-2.ini"; }

SimTrendSettings SimTrendReadIni(const std::string& file, int language) {
  SimTrendSettings s = SimTrendDefaultSettings(language);
  ReadKind(file, kStandardKeys, &s.standard);
  ReadKind(file, kBlockKeys, &s.block);
  return s;
}

bool SimTrendWriteIni(const std::string& file, const SimTrendSettings& settings) {
  const bool ok = WriteKind(file, kStandardKeys, settings.standard);
  return WriteKind(file, kBlockKeys, settings.block) && ok;
}

void SimTrendEncode(const SimTrendSettings& s, uint8_t settingsBlock[SIM_TREND_SETTINGS_BLOCK],
                    uint8_t channelBlock[SIM_TREND_CHANNEL_BLOCK]) {
  std::memset(settingsBlock, 0, SIM_TREND_SETTINGS_BLOCK);
  std::memcpy(settingsBlock, kSettingsTag, 4);
  FW_PutU16(settingsBlock + kSetPeriod, s.blockSet.period);
  FW_PutU16(settingsBlock + kSetRing, s.blockSet.ring);
  FW_PutU16(settingsBlock + kSetFlag, s.blockSet.flag);
  std::memcpy(settingsBlock + kSetName, s.blockSet.name, SIM_TREND_SET_NAME_CHARS);
  EncodeChannels(s.block, settingsBlock + kSetChannels);
  std::memset(channelBlock, 0, SIM_TREND_CHANNEL_BLOCK);
  std::memcpy(channelBlock, kChannelTag, 4);
  EncodeChannels(s.standard, channelBlock + kChChannels);
}

int SimTrendDecode(const uint8_t* settingsBlock, const uint8_t* channelBlock, int language, SimTrendSettings* s) {
  int taken = 0;
  if (settingsBlock && std::memcmp(settingsBlock, kSettingsTag, 4) == 0) {
    const SimTrendSet fallback = SimTrendDefaultSet(language);
    s->blockSet.period = FW_GetU16(settingsBlock + kSetPeriod);  // 0: no block trend
    const uint16_t ring = FW_GetU16(settingsBlock + kSetRing);
    s->blockSet.ring = ring ? ring : fallback.ring;
    const uint16_t flag = FW_GetU16(settingsBlock + kSetFlag);
    s->blockSet.flag = flag <= 1 ? flag : fallback.flag;
    char name[SIM_TREND_SET_NAME_CHARS + 1] = {};
    std::memcpy(name, settingsBlock + kSetName, SIM_TREND_SET_NAME_CHARS);
    std::snprintf(s->blockSet.name, sizeof s->blockSet.name, "%s", name[0] ? name : fallback.name);
    DecodeChannels(settingsBlock + kSetChannels, &s->block);
    ++taken;
  }
  if (channelBlock && std::memcmp(channelBlock, kChannelTag, 4) == 0) {
    DecodeChannels(channelBlock + kChChannels, &s->standard);
    ++taken;
  }
  return taken;
}

bool SimTrendReadDat(const std::string& file, int language, SimTrendSettings* settings) {
  if (file.empty()) return false;
  std::FILE* f = host::OpenRegularFile(file, "rb");
  if (!f) return false;
  std::vector<uint8_t> bytes(SIM_TREND_DAT_BYTES + 1);
  const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (got != SIM_TREND_DAT_BYTES) return false;
  SimTrendSettings s = *settings;
  if (SimTrendDecode(bytes.data(), bytes.data() + SIM_TREND_SETTINGS_BLOCK, language, &s) != 2) return false;
  *settings = s;
  return true;
}

bool SimTrendWriteDat(const std::string& file, const SimTrendSettings& settings) {
  std::vector<uint8_t> bytes(SIM_TREND_DAT_BYTES);
  SimTrendEncode(settings, bytes.data(), bytes.data() + SIM_TREND_SETTINGS_BLOCK);
  return SimWriteFileAtomic(file, bytes.data(), bytes.size());
}
