#include "shell/shell_util.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "host/ini_file.h"
#include "host/regular_file.h"

namespace {

constexpr size_t kPathMax = 259;

struct RecentList {
  std::string entries[SIM_RECENT_COUNT];
  std::string file;
  std::string folder;  // current folder at load, with '/' appended
} g_recent;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Limit(std::string s) {
  if (s.size() > kPathMax) s.resize(kPathMax);
  return s;
}

}  // namespace

// --- Recent-file list ----------------------------------------------------------------------
void SimRecentLoad(const std::string& settingsFile) {
  g_recent.file = settingsFile;
  char cwd[4096];
  g_recent.folder = getcwd(cwd, sizeof cwd) ? cwd : "";
  if (g_recent.folder.size() > 1) g_recent.folder += '/';
  for (int i = 0; i < SIM_RECENT_COUNT; ++i)
    g_recent.entries[i] = Limit(host::IniGetString(settingsFile, "Recent File List", "File" + std::to_string(i + 1), ""));
}

void SimRecentAdd(const std::string& path) {
  std::string* e = g_recent.entries;
  if (!path.empty()) {
    int at = SIM_RECENT_COUNT - 1;
    for (int i = 0; i < SIM_RECENT_COUNT; ++i) {
      if (e[i] == path) {
        at = i;
        break;
      }
    }
    for (int i = at; i > 0; --i) e[i] = e[i - 1];
    e[0] = Limit(path);
  }
  if (g_recent.file.empty()) return;
  for (int i = 0; i < SIM_RECENT_COUNT; ++i) {
    std::string key = "File" + std::to_string(i + 1);
    if (e[i].empty())
      host::IniDeleteKey(g_recent.file, "Recent File List", key);
    else
      host::IniWriteString(g_recent.file, "Recent File List", key, e[i]);
  }
}

void SimRecentRemove(int menuId) {
  int i = menuId - SIM_RECENT_FIRST_ID;
  if (i < 0 || i >= SIM_RECENT_COUNT) return;
  for (; i < SIM_RECENT_COUNT - 1; ++i) g_recent.entries[i] = g_recent.entries[i + 1];
  g_recent.entries[SIM_RECENT_COUNT - 1].clear();
}

std::string SimRecentGet(int menuId) {
  int i = menuId - SIM_RECENT_FIRST_ID;
  return i >= 0 && i < SIM_RECENT_COUNT ? g_recent.entries[i] : std::string();
}

std::vector<SimRecentMenuItem> SimRecentMenu() {
  std::vector<SimRecentMenuItem> items;
  for (int i = 0; i < SIM_RECENT_COUNT && !g_recent.entries[i].empty(); ++i) {
    std::string folder, name;
    SimSplitPath(g_recent.entries[i], &folder, &name);
    // Compared as the user sees them; the path keeps its case on the file system.
    std::string text = "&" + std::to_string(i + 1) + " ";
    if (Upper(folder) != Upper(g_recent.folder)) text += Upper(folder);
    text += Upper(name);
    items.push_back({SIM_RECENT_FIRST_ID + i, text});
  }
  return items;
}

// --- Command line --------------------------------------------------------------------------
std::string SimFrameCommandLine(const std::string& args) {
  std::string s = " " + args + " ";
  if (s.size() > 255) s.resize(255);
  return s;
}

namespace {
// Where the option name stands in the line, its letters matched in any case.
size_t FindNoCase(const std::string& line, const std::string& option) {
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  auto it = std::search(line.begin(), line.end(), option.begin(), option.end(),
                        [&](char a, char b) { return lower(a) == lower(b); });
  return it == line.end() ? std::string::npos : static_cast<size_t>(it - line.begin());
}
}  // namespace

long SimFindOption(std::string& line, const std::string& option, std::string* value) {
  if (value) value->clear();
  size_t at = FindNoCase(line, option);
  if (option.empty() || at == std::string::npos) return 0;
  if (option.back() != '=') {
    // The framing blanks stay: the next option needs its leading one.
    for (size_t i = at + 1; i + 1 < at + option.size(); ++i) line[i] = ' ';
    return 1;
  }
  size_t start = at + option.size();
  size_t end = line.find(' ', start);
  if (end == std::string::npos) end = line.size();
  std::string text = line.substr(start, end - start);
  for (size_t i = at + 1; i < end; ++i) line[i] = ' ';
  if (value) {
    *value = Limit(text);
    return 1;
  }
  long n = 0;
  bool negative = !text.empty() && text[0] == '-';
  for (size_t i = negative ? 1 : 0; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (n > 214748364) break;
    n = n * 10 + (text[i] - '0');
  }
  return negative ? -n : n;
}

// --- Text conversions ----------------------------------------------------------------------
std::string SimCommaToPoint(std::string text) {
  for (char& c : text)
    if (c == ',') c = '.';
  return text;
}

void SimSplitPath(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    folder->clear();
    *name = Limit(path);
    return;
  }
  *folder = path.substr(0, slash);
  if (folder->size() > 1) *folder += '/';
  if (folder->empty()) *folder = "/";
  *folder = Limit(*folder);
  *name = Limit(path.substr(slash + 1));
}

std::string SimFormatValue(double value, int digits) {
  // %f does not depend on the locale's decimal point here: the programs keep LC_NUMERIC "C".
  char full[400];
  std::snprintf(full, sizeof full, "%-.20f", value);
  // Every character before the point counts, a minus sign too.
  int before = 0;
  for (const char* p = full; *p && *p != '.'; ++p) ++before;
  int decimals = before >= digits ? 0 : digits - before;
  char out[400];
  std::snprintf(out, sizeof out, "%.*f", decimals, value);
  std::string text = out;
  if (text.find('.') == std::string::npos) text += '.';
  return text;
}

std::string SimFormatDateTime(long seconds, bool withDate, bool withTime) {
  std::time_t t = std::time(nullptr);
  if (seconds >= 0) t += seconds;
  if (t < 0) t = 0;
  std::tm tm{};
  localtime_r(&t, &tm);
  char date[32], time[32];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  if (withDate && withTime) return std::string(date) + " " + time;
  if (withDate) return date;
  if (withTime) return time;
  return {};
}

bool SimWriteIniInt(const std::string& section, const std::string& key, long value, const std::string& file) {
  return host::IniWriteInt(file, section, key, value);
}

FILE* SimOpenScriptFile(const std::string& path, const char* mode) {
  return path.empty() || !mode ? nullptr : host::OpenRegularFile(path, mode);
}
