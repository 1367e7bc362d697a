#include "shell/settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/ini_file.h"
#include "host/regular_file.h"
#include "shell/device_config.h"
#include "shell/module_tables.h"
#include "shell/peers.h"
#include "simlayer/SIM.h"

namespace {

std::string g_iniPath;
std::string g_oemPath;
void (*g_deviceWritten)() = nullptr;

bool MakeFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// A path longer than its field is not shortened (that would name another file): none.
void CopyPath(char* out, const std::string& path) {
  if (path.size() >= SIM_PATH_SIZE) {
    SIM_LogText(("The path " + path + " is too long; it is not used.").c_str());
    out[0] = 0;
    return;
  }
  std::snprintf(out, SIM_PATH_SIZE, "%s", path.c_str());
}

// Moves a file that cannot be used aside under a name of its own: "<file>.corrupt", or
// "<file>.corrupt.2", ".3" ... when earlier ones are there, so that no copy kept for the user
// is ever replaced. The name it got; empty (errno set) when it could not be moved.
std::string MoveAside(const std::string& file) {
  for (int n = 1; n <= 999; ++n) {
    const std::string aside = file + ".corrupt" + (n == 1 ? std::string() : "." + std::to_string(n));
    // A hard link takes only a free name; where links are not offered, a free name is renamed to.
    if (::link(file.c_str(), aside.c_str()) == 0) {
      if (::unlink(file.c_str()) == 0) return aside;
      const int why = errno;
      ::unlink(aside.c_str());
      errno = why;
      return {};
    }
    if (errno == EEXIST) continue;
    struct stat st {};
    if (lstat(aside.c_str(), &st) == 0) continue;
    return std::rename(file.c_str(), aside.c_str()) == 0 ? aside : std::string();
  }
  errno = EEXIST;
  return {};
}

bool FirstRun(const std::string& base) {
  if (!MakeFolder(base) || !MakeFolder(base + "/Orvant Tools") || !MakeFolder(SimSettingsFolder())) return false;
  const std::string& f = g_iniPath;
  const struct {
    const char* key;
    int value;
  } device[] = {{"CommOpt", 0},  {"SlotB", 1},    {"ModulB1", 22}, {"ModulB2", 22}, {"ModulB3", 22},
                {"ModulB4", 41}, {"SlotC", 0},    {"ModulC1", 0},  {"ModulC2", 0},  {"ModulC3", 0},
                {"ModulC4", 0},  {"ModulA1", 21}, {"ModulA2", 0},  {"ModulA3", 0},  {"ModulA4", 1},
                {"ModulP1", 43}, {"ModulP2", 43}, {"ModulP3", 0},  {"ModulP4", 0},  {"Relais", 0}};
  bool ok = true;
  for (const auto& d : device) ok = host::IniWriteInt(f, SIM_INI_DEVICE, d.key, d.value) && ok;
  // The normal rectangle is left, top, right, bottom: 300..769 wide, 200..723 high.
  const struct {
    const char* key;
    const char* value;
  } settings[] = {{"Valid", "1"},       {"WindowPos", "0,1,-1,-1,-1,-1,300,200,769,723"},
                  {"LastFileName", ""}, {"Topmost", "0"},
                  {"ViewIO", "0"},      {"StartupLogo", ""},
                  {"VuserData", ""}};
  for (const auto& s : settings) ok = host::IniWriteString(f, SIM_INI_SETTINGS, s.key, s.value) && ok;
  return ok;
}

}  // namespace

std::string SimSettingsFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : ".") + "/.config";
  }
  return base + "/Orvant Tools/SIM_MX74-2";
}

const std::string& SimIniPath() { return g_iniPath; }
const std::string& SimOemProjectPath() { return g_oemPath; }

int SimInitIni(SimHostState& state) {
  std::string folder = SimSettingsFolder();
  g_iniPath = folder + "/sim_mx74-2.ini";
  int result = 0;
  struct stat st {};
  if (stat(g_iniPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    // Nothing can be read or written there; the folder is the user's, left as it is.
    SIM_Error(("The settings file " + g_iniPath +
               " is a folder, not a file; the simulator runs on its built-in settings.")
                  .c_str());
    CopyPath(state.logoPath, folder + "/startuplogo.dat");
    CopyPath(state.userDataPath, folder + "/vuserdata.dat");
    g_oemPath = folder + "/OEM-Projekt.sdg";
    return 0;
  }
  bool readable = false;
  if (FILE* f = host::OpenRegularFile(g_iniPath, "rb")) {
    std::fclose(f);
    readable = true;
  }
  if (readable && !host::IniIsWellFormed(g_iniPath)) {
    // Kept beside for the user, replaced by the first-run values.
    // Moved aside before the user is told, so that the next start does not meet it again
    // whatever happens to this one.
    const std::string aside = MoveAside(g_iniPath);
    readable = aside.empty();
    const std::string text =
        readable ? "The settings file " + g_iniPath + " is corrupt and could not be moved aside (" +
                       std::strerror(errno) + "); the simulator runs with what can be read of it."
                 : "The settings file " + g_iniPath + " is corrupt; it was kept as " + aside +
                       " and replaced by the default settings.";
    SIM_Error(text.c_str());
  }
  if (!readable) {
    std::string base = folder.substr(0, folder.size() - std::strlen("/Orvant Tools/SIM_MX74-2"));
    if (!FirstRun(base)) result = 1;
  }

  // A path that does not fit its 260-byte field is refused (a shortened one would name
  // another file): the default is used.
  auto picturePath = [&](const char* key, const char* file) {
    std::string path = host::IniGetString(g_iniPath, SIM_INI_SETTINGS, key, "");
    if (path.size() >= SIM_PATH_SIZE) {
      const std::string text = std::string("The path of [Settings] ") + key + " is too long; " + file +
                               " in the settings folder is used.";
      SIM_LogText(text.c_str());
      path.clear();
    }
    return path.empty() ? folder + "/" + file : path;
  };
  CopyPath(state.logoPath, picturePath("StartupLogo", "startuplogo.dat"));
  CopyPath(state.userDataPath, picturePath("VuserData", "vuserdata.dat"));
  g_oemPath = folder + "/OEM-Projekt.sdg";

  // Valid=0 is a crashed run only when no other instance runs: a running one has not yet
  // reached its mark, or is still running.
  const SimInstanceGate gate;
  if (host::IniGetInt(g_iniPath, SIM_INI_SETTINGS, "Valid", 0) == 0 && !gate.othersRun()) {
    host::IniDeleteSection(g_iniPath, SIM_INI_SETTINGS);
    host::IniDeleteSection(g_iniPath, SIM_INI_RECENT);
  }
  if (!host::IniWriteInt(g_iniPath, SIM_INI_SETTINGS, "Valid", 0)) result = 1;
  return result;
}

void SimMarkSettingsValid() {
  if (!g_iniPath.empty()) host::IniWriteInt(g_iniPath, SIM_INI_SETTINGS, "Valid", 1);
}

SimSettings& SimTheSettings() {
  static SimSettings settings;
  return settings;
}

SimSettings SimReadSettings() {
  const std::string& f = g_iniPath;
  auto flag = [&](const char* key, long fallback) {
    return host::IniGetInt(f, SIM_INI_SETTINGS, key, fallback) != 0 ? 1 : 0;
  };
  SimSettings s;
  s.topmost = flag("Topmost", 0);
  s.autoLoad = flag("AutoLoad", 1);
  s.lastFileName = host::IniGetString(f, SIM_INI_SETTINGS, "LastFileName", "");
  if (s.lastFileName.size() >= SIM_PATH_SIZE) s.lastFileName.clear();   // not a path we can keep
  s.language = static_cast<int>(std::clamp(host::IniGetInt(f, SIM_INI_SETTINGS, "Language", 0), 0L, 2L));
  s.viewIO = flag("ViewIO", 0);
  s.viewCOM = s.viewIO ? flag("ViewCOM", 0) : 0;
  // Locale-free: the point is the decimal separator whatever the user's locale.
  const std::string limit = host::IniGetString(f, SIM_INI_SETTINGS, "PlantLimit", "10.0");
  double v = 10.0;
  const auto [end, ec] = std::from_chars(limit.data(), limit.data() + limit.size(), v);
  s.plantLimit = ec == std::errc() && end == limit.data() + limit.size() ? v : 10.0;
  return s;
}

bool SimWriteSettingsAtExit(const SimSettings& s, const SimHostState& state, bool haveLogo, bool haveUserData) {
  const std::string& f = g_iniPath;
  if (f.empty()) return false;
  const std::string logo = haveLogo ? std::string(state.logoPath, strnlen(state.logoPath, SIM_PATH_SIZE)) : "";
  const std::string user =
      haveUserData ? std::string(state.userDataPath, strnlen(state.userDataPath, SIM_PATH_SIZE)) : "";
  bool ok = host::IniWriteInt(f, SIM_INI_SETTINGS, "AutoLoad", s.autoLoad);
  ok = host::IniWriteString(f, SIM_INI_SETTINGS, "LastFileName", s.lastFileName) && ok;
  ok = host::IniWriteInt(f, SIM_INI_SETTINGS, "Valid", 1) && ok;
  ok = host::IniWriteInt(f, SIM_INI_SETTINGS, "Topmost", s.topmost) && ok;
  ok = host::IniWriteString(f, SIM_INI_SETTINGS, "StartupLogo", logo) && ok;
  ok = host::IniWriteString(f, SIM_INI_SETTINGS, "VuserData", user) && ok;
  ok = host::IniWriteInt(f, SIM_INI_SETTINGS, "Language", s.language) && ok;
  ok = host::IniWriteInt(f, SIM_INI_SETTINGS, "ViewTrend", s.viewTrend) && ok;
  ok = host::IniWriteInt(f, SIM_INI_SETTINGS, "ViewIO", s.viewIO) && ok;
  return ok;
}

void SimReadDeviceSettings(SimDeviceConfig* d) {
  const std::string& f = g_iniPath;
  // A value outside what the device and module dialogs offer keeps the key's default; one
  // error names every such key.
  std::string refused;
  struct Replaced {
    const char* key;
    long value;
  };
  Replaced replaced[7 + 16];
  int replacedCount = 0;
  auto refuse = [&](const char* key, long value, long fallback) {
    refused += "\r\n  " + std::string(key) + "=" + std::to_string(value) + " (" + std::to_string(fallback) +
               " is used)";
    replaced[replacedCount++] = {key, fallback};
  };
  struct Field {
    const char* key;
    uint16_t* value;
    long last;  // the choices are 0..last
  };
  const Field fields[] = {{"Ksx", &d->ksx, 1},       {"Anschluss", &d->anschluss, 9},
                          {"Power", &d->power, 1},   {"CommOpt", &d->commOpt, SIM_INTERFACE_CHOICES - 1},
                          {"SlotB", &d->slotB, 2},   {"SlotC", &d->slotC, 2},
                          {"Relais", &d->relais, 1}};
  for (const Field& field : fields) {
    const long v = host::IniGetInt(f, SIM_INI_DEVICE, field.key, 0);
    if (v < 0 || v > field.last) refuse(field.key, v, 0);
    *field.value = static_cast<uint16_t>(v < 0 || v > field.last ? 0 : v);
  }
  const bool b = d->slotB == 1, c = d->slotC == 1, r = d->relais == 1;
  const long fallbacks[16] = {21,     0,      0,      1,      b * 22, b * 22, b * 22, b * 41,
                              c * 22, c * 22, c * 22, c * 41, 43,     43,     r * 43, r * 43};
  for (int i = 0; i < 16; ++i) {
    const long v = host::IniGetInt(f, SIM_INI_DEVICE, SIM_MODULE_KEYS[i], fallbacks[i]);
    // Positions A1..P4 run slot by slot (A, B, C, P). A slot without modules holds none;
    // elsewhere the position's option list decides.
    const int set = SimOptionSetOf(i / SIM_POSITIONS, *d);
    const bool listed = v >= 0 && v < SIM_OPTION_END && SimOptionIndex(set, i % SIM_POSITIONS, static_cast<int>(v)) >= 0;
    const bool offered = set < 0 ? v == 0 : listed;
    if (!offered) refuse(SIM_MODULE_KEYS[i], v, fallbacks[i]);
    d->modules[i] = static_cast<uint8_t>(offered ? v : fallbacks[i]);
  }
  if (refused.empty()) return;
  // The values used replace the refused ones in the file, so that the warning comes once
  // (the dialogs write only what the user changes and could not clear it).
  bool rewritten = true;
  for (int i = 0; i < replacedCount; ++i)
    rewritten = host::IniWriteInt(f, SIM_INI_DEVICE, replaced[i].key, replaced[i].value) && rewritten;
  SIM_Error(("The settings file " + f + " holds [Device] values that the device does not offer:" + refused +
             (rewritten ? "\r\nThe values used were written in their place."
                        : "\r\nThe values used could not be written in their place."))
                .c_str());
}

void SimWriteDeviceSettings(const SimDeviceConfig& d) {
  const std::string& f = g_iniPath;
  host::IniWriteInt(f, SIM_INI_DEVICE, "Ksx", d.ksx);
  host::IniWriteInt(f, SIM_INI_DEVICE, "Anschluss", d.anschluss);
  host::IniWriteInt(f, SIM_INI_DEVICE, "Power", d.power);
  host::IniWriteInt(f, SIM_INI_DEVICE, "CommOpt", d.commOpt);
  host::IniWriteInt(f, SIM_INI_DEVICE, "SlotB", d.slotB);
  host::IniWriteInt(f, SIM_INI_DEVICE, "SlotC", d.slotC);
  host::IniWriteInt(f, SIM_INI_DEVICE, "Relais", d.relais);
  for (int i = 0; i < 16; ++i) host::IniWriteInt(f, SIM_INI_DEVICE, SIM_MODULE_KEYS[i], d.modules[i]);
  if (g_deviceWritten) g_deviceWritten();
}

void SimSetDeviceWrittenHook(void (*hook)()) { g_deviceWritten = hook; }

std::string SimReadDemoText(int language, const std::string& fallback) {
  static const char* const kKeys[3] = {"DemoTextG", "DemoTextE", "DemoTextF"};
  if (language < 0 || language > 2) language = 0;
  std::string text = host::IniGetString(g_iniPath, SIM_INI_SETTINGS, kKeys[language], fallback);
  if (text.size() > 1023) text.resize(1023);
  for (char& ch : text) {
    switch (static_cast<unsigned char>(ch)) {
      case 228: ch = static_cast<char>(225); break;
      case 246: ch = static_cast<char>(239); break;
      case 252: ch = static_cast<char>(245); break;
      default: break;
    }
  }
  return text;
}

std::string SimModuleOrderCode(const SimDeviceConfig& d) {
  auto letter = [](int type) {
    switch (type) {
      case 0: case 21: case 22: case 41: case 43: return '0';
      case 1: return 'U';
      case 2: return 'T';
      case 3: return 'P';
      case 11: return 'V';
      case 12: return 'R';
      case 32: return 'L';
      case 33: return 'B';
      case 45: return 'A';
      case 50: return 'D';
      default: return '?';
    }
  };
  const uint8_t* m = d.modules;
  std::string code = "Z74-K-";
  for (int i : {14, 15, 1, 2}) code += letter(m[i]);
  code += '-';
  for (int i = 4; i < 8; ++i) code += letter(m[i]);
  code += '-';
  for (int i = 8; i < 12; ++i) code += letter(m[i]);
  return code;
}

long SimSplashTime() {
  return host::IniGetInt(SimSettingsFolder() + "/sim74-2.ini", "COMPATIBILITY", "QM2911", 2000);
}
