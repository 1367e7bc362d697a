#include "host/ini_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

#include "host/regular_file.h"

namespace host {

namespace {

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// A settings file holds a few sections of short lines: anything much larger is not one.
constexpr off_t kMaxFileBytes = 1 << 20;
constexpr size_t kMaxLineBytes = 4096;

// The lines of a file as last read, kept while the file stays as it was, so that the many
// keys read at start parse the file once.
struct ParsedFile {
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{};
  bool fits = false;                 // within the bounds above
  bool written = false;              // written here: the lines are what was written
  std::vector<std::string> lines;
};

std::mutex g_parsedLock;
ParsedFile g_parsed;

// The file's times have a coarse grain: a file changed in the last moments may have changed
// again without a new time, so only an older one (or one this process wrote) is taken as
// known.
bool Settled(const struct stat& st) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - st.st_mtim.tv_sec >= 2;
}

bool Same(const ParsedFile& p, const std::string& file, const struct stat& st) {
  return p.path == file && p.dev == st.st_dev && p.ino == st.st_ino && p.size == st.st_size &&
         p.mtime.tv_sec == st.st_mtim.tv_sec && p.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

void Remember(ParsedFile p, const struct stat& st) {
  p.dev = st.st_dev;
  p.ino = st.st_ino;
  p.size = st.st_size;
  p.mtime = st.st_mtim;
  std::lock_guard<std::mutex> lock(g_parsedLock);
  g_parsed = std::move(p);
}


// A line that is "key=value" with its key within the line bound.
bool LongKeyLine(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos || eq > kMaxLineBytes) return false;
  return line.find_first_not_of(" \t", 0) < eq && line[line.find_first_not_of(" \t")] != '[';
}

// The file's lines (without their line ends); false when it cannot be read, is no regular
// file or is larger than a settings file can be (then without lines).
bool Parse(const std::string& file, ParsedFile* out) {
  std::FILE* f = OpenRegularFile(file, "rb");
  if (!f) return false;
  struct stat st {};
  fstat(fileno(f), &st);
  {
    std::lock_guard<std::mutex> lock(g_parsedLock);
    if (Same(g_parsed, file, st) && (g_parsed.written || Settled(st))) {
      *out = g_parsed;
      std::fclose(f);
      return true;
    }
  }
  ParsedFile p;
  p.path = file;
  p.fits = st.st_size <= kMaxFileBytes;
  if (p.fits) {
    std::string text(static_cast<size_t>(st.st_size) + 1, '\0');
    const size_t got = std::fread(text.data(), 1, text.size(), f);
    p.fits = got <= static_cast<size_t>(st.st_size);  // it did not grow while read
    text.resize(got);
    for (size_t at = 0; p.fits && at < text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      // A long "key=value" line is kept whole (its value is cut when read); any other long
      // line is no settings file.
      p.fits = line.size() <= kMaxLineBytes || LongKeyLine(line);
      p.lines.push_back(std::move(line));
      at = end + 1;
    }
    if (!p.fits) p.lines.clear();
  }
  std::fclose(f);
  Remember(p, st);
  *out = std::move(p);
  return true;
}

std::vector<std::string> ReadLines(const std::string& file) {
  ParsedFile p;
  return Parse(file, &p) ? std::move(p.lines) : std::vector<std::string>();
}

// The lines a write starts from. False when the file is there but could not be read whole
// (no regular file, no permission, over the size bound, a line that is no settings line
// over the line bound): such a file is never written over, since its keys are not known.
// A missing file gives no lines.
bool LinesToRewrite(const std::string& file, std::vector<std::string>* lines) {
  ParsedFile p;
  if (Parse(file, &p)) {
    if (!p.fits) return false;
    *lines = std::move(p.lines);
    return true;
  }
  struct stat st {};
  lines->clear();
  return stat(file.c_str(), &st) != 0 && errno == ENOENT;
}

bool WriteLines(const std::string& file, const std::vector<std::string>& lines) {
  {
    std::lock_guard<std::mutex> lock(g_parsedLock);
    if (g_parsed.path == file) g_parsed = ParsedFile{};
  }
  std::string text;
  for (const auto& line : lines) {
    text += line;
    text += '\n';
  }
  if (!ReplaceFileContents(file, text.data(), text.size())) return false;
  struct stat st {};
  if (stat(file.c_str(), &st) == 0) {
    ParsedFile p;
    p.path = file;
    p.fits = true;
    p.written = true;
    p.lines = lines;
    Remember(std::move(p), st);
  }
  return true;
}

// "[name]" gives name; any other line gives false.
bool SectionName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t end = t.find(']');
  if (end == std::string::npos) return false;
  *name = Trim(t.substr(1, end - 1));
  return true;
}

// "key=value" gives key and value; a line without '=' gives false.
bool KeyValue(const std::string& line, std::string* key, std::string* value) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(line.substr(0, eq));
  if (value) *value = Trim(line.substr(eq + 1));
  return !key->empty();
}

// Finds the section's header line and the end of its body (the next header or the end).
bool FindSection(const std::vector<std::string>& lines, const std::string& section, size_t* head, size_t* end) {
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionName(lines[i], &name) || !SameName(name, section)) continue;
    size_t j = i + 1;
    while (j < lines.size() && !SectionName(lines[j], &name)) ++j;
    *head = i;
    *end = j;
    return true;
  }
  return false;
}

bool Lookup(const std::string& file, const std::string& section, const std::string& key, std::string* value) {
  std::vector<std::string> lines = ReadLines(file);
  size_t head, end;
  if (!FindSection(lines, section, &head, &end)) return false;
  std::string k;
  for (size_t i = head + 1; i < end; ++i) {
    if (KeyValue(lines[i], &k, value) && SameName(k, key)) {
      if (value && value->size() > kMaxLineBytes) value->resize(kMaxLineBytes);
      return true;
    }
  }
  return false;
}

}  // namespace

bool IniIsWellFormed(const std::string& file) {
  ParsedFile p;
  if (!Parse(file, &p) || !p.fits) return false;
  std::string name, key;
  for (const std::string& line : p.lines) {
    if (line.find('\0') != std::string::npos) return false;
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (!SectionName(t, &name) && !KeyValue(t, &key, nullptr)) return false;
  }
  return true;
}

std::string IniGetString(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& fallback) {
  std::string value;
  return Lookup(file, section, key, &value) ? value : fallback;
}

long IniGetInt(const std::string& file, const std::string& section, const std::string& key, long fallback) {
  std::string value;
  if (!Lookup(file, section, key, &value)) return fallback;
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  long n = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    if (n > 214748364) break;  // stays within 32 bits
    n = n * 10 + (value[i] - '0');
  }
  return negative ? -n : n;
}

bool IniHasKey(const std::string& file, const std::string& section, const std::string& key) {
  std::string value;
  return Lookup(file, section, key, &value);
}

bool IniWriteString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
  std::vector<std::string> lines;
  if (!LinesToRewrite(file, &lines)) return false;
  std::string entry = key + "=" + value;
  size_t head, end;
  if (!FindSection(lines, section, &head, &end)) {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
    return WriteLines(file, lines);
  }
  std::string k;
  for (size_t i = head + 1; i < end; ++i) {
    if (KeyValue(lines[i], &k, nullptr) && SameName(k, key)) {
      lines[i] = entry;
      return WriteLines(file, lines);
    }
  }
  // After the section's last key, before blank lines that separate it from the next one.
  size_t at = end;
  while (at > head + 1 && Trim(lines[at - 1]).empty()) --at;
  lines.insert(lines.begin() + static_cast<long>(at), entry);
  return WriteLines(file, lines);
}

bool IniWriteInt(const std::string& file, const std::string& section, const std::string& key, long value) {
  return IniWriteString(file, section, key, std::to_string(value));
}

bool IniDeleteKey(const std::string& file, const std::string& section, const std::string& key) {
  std::vector<std::string> lines;
  if (!LinesToRewrite(file, &lines)) return false;
  size_t head, end;
  if (!FindSection(lines, section, &head, &end)) return true;
  std::string k;
  for (size_t i = head + 1; i < end; ++i) {
    if (KeyValue(lines[i], &k, nullptr) && SameName(k, key)) {
      lines.erase(lines.begin() + static_cast<long>(i));
      return WriteLines(file, lines);
    }
  }
  return true;
}

bool IniDeleteSection(const std::string& file, const std::string& section) {
  std::vector<std::string> lines;
  if (!LinesToRewrite(file, &lines)) return false;
  size_t head, end;
  if (!FindSection(lines, section, &head, &end)) return true;
  lines.erase(lines.begin() + static_cast<long>(head), lines.begin() + static_cast<long>(end));
  return WriteLines(file, lines);
}

}  // namespace host
