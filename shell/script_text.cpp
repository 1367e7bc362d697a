#include "shell/script_text.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kStx = 2, kEtx = 3, kEot = 4, kEnq = 5, kAck = 6, kNak = 21;
constexpr int kTextColumn = 13;     // where the quoted text of a communication line begins
constexpr int kLastColumn = 74;
constexpr char kContinue[] = "\"\\\n            \"";  // quote, backslash, break, 12 blanks, quote

bool Blank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (Blank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (Blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The next word from *rest (blanks and tabs separate words); *rest keeps what follows it.
std::string_view NextWord(std::string_view* rest) {
  std::string_view s = *rest;
  size_t i = 0;
  while (i < s.size() && Blank(s[i])) ++i;
  size_t j = i;
  while (j < s.size() && !Blank(s[j])) ++j;
  *rest = s.substr(j);
  return s.substr(i, j - i);
}

bool SameWord(std::string_view word, const char* keyword) {
  const size_t n = std::strlen(keyword);
  if (word.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return false;
  }
  return true;
}

// A count: decimal digits only, capped at 0x7FFFFFFF.
bool ParseCount(std::string_view word, int32_t* out) {
  if (word.empty()) return false;
  int64_t n = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
    if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
  }
  *out = static_cast<int32_t>(n);
  return true;
}

// 1..maxDigits hexadecimal digits and nothing else.
bool ParseHex(std::string_view word, size_t maxDigits, uint32_t* out) {
  if (word.empty() || word.size() > maxDigits) return false;
  uint32_t v = 0;
  for (char c : word) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  *out = v;
  return true;
}

// "[addr] v1 v2 ...": the values that fit the area from addr on are kept.
bool ParseEepromWrite(std::string_view rest, SimScriptLine* out) {
  rest = TrimBlanks(rest);
  if (rest.empty() || rest.front() != '[') return false;
  const size_t close = rest.find(']');
  if (close == std::string_view::npos) return false;
  uint32_t address = 0;
  if (!ParseHex(TrimBlanks(rest.substr(1, close - 1)), 8, &address)) return false;
  out->address = address;
  out->valueCount = 0;
  rest = rest.substr(close + 1);
  uint32_t at = address;
  for (;;) {
    std::string_view word = NextWord(&rest);
    if (word.empty()) break;
    uint32_t v = 0;
    if (!ParseHex(word, 4, &v)) return false;
    // A word is stored only where both of its bytes lie inside the area.
    if (at < SIM_SCRIPT_EEPROM_SIZE && SIM_SCRIPT_EEPROM_SIZE - at >= 2) {
      out->values[out->valueCount++] = static_cast<uint16_t>(v);
      at += 2;
    }
  }
  return true;
}

enum class Word : uint8_t {
  Wait, Pause, Turbo, Loop, EndLoop, AppStart, AppStop, Key, OnIdle, OutFile, Input, Eeprom, InFile,
};

constexpr struct {
  const char* name;
  Word word;
} kKeywords[] = {
    {"WAIT", Word::Wait},       {"PAUSE", Word::Pause},       {"TURBO", Word::Turbo},     {"LOOP", Word::Loop},
    {"ENDLOOP", Word::EndLoop}, {"APPSTART", Word::AppStart}, {"APPSTOP", Word::AppStop}, {"KEY", Word::Key},
    {"ONIDLE", Word::OnIdle},   {"OUTFILE", Word::OutFile},   {"INPUT", Word::Input},     {"EEPROM", Word::Eeprom},
    {"INFILE", Word::InFile},
};

// Bounded writer into a caller's buffer; once full, nothing more is written.
struct Out {
  char* p;
  size_t capacity;
  size_t n = 0;
  bool full = false;
  void put(const char* s, size_t len) {
    if (full || len > capacity - n) {
      full = true;
      return;
    }
    std::memcpy(p + n, s, len);
    n += len;
  }
  void put(const char* s) { put(s, std::strlen(s)); }
  size_t finish() {
    if (full || n >= capacity) return 0;
    p[n] = 0;
    return n;
  }
};

}  // namespace

void SimParseScriptLine(std::string_view line, SimScriptLine* out) {
  out->kind = SimScriptKind::Empty;
  out->text = {};
  out->quoted = out->continued = false;
  out->valueCount = 0;
  std::string_view rest = line;
  while (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
  const std::string_view first = NextWord(&rest);
  if (first.empty()) return;
  if (first.front() == ';' || first.front() == '!') {
    out->kind = SimScriptKind::Comment;
    return;
  }
  out->kind = SimScriptKind::Other;
  const Word* word = nullptr;
  for (const auto& k : kKeywords)
    if (SameWord(first, k.name)) word = &k.word;
  if (!word) return;

  auto count = [&](SimScriptKind kind) {
    out->kind = ParseCount(NextWord(&rest), &out->number) ? kind : SimScriptKind::Bad;
  };
  switch (*word) {
    case Word::Wait: count(SimScriptKind::Wait); break;
    case Word::Pause: count(SimScriptKind::Pause); break;
    case Word::OnIdle: count(SimScriptKind::OnIdle); break;
    case Word::Turbo: out->kind = SimScriptKind::Turbo; break;
    case Word::Loop: out->kind = SimScriptKind::Loop; break;
    case Word::EndLoop: out->kind = SimScriptKind::EndLoop; break;
    case Word::AppStop: out->kind = SimScriptKind::AppStop; break;
    case Word::AppStart:
      out->kind = SimScriptKind::AppStart;
      out->text = TrimBlanks(rest);
      break;
    case Word::OutFile:
      out->kind = SimScriptKind::OutFile;
      out->text = TrimBlanks(rest);
      break;
    case Word::InFile:
      out->text = TrimBlanks(rest);
      out->kind = out->text.empty() ? SimScriptKind::Bad : SimScriptKind::InFile;
      break;
    case Word::Key: {
      uint32_t code = 0;
      if (ParseHex(NextWord(&rest), 5, &code)) {
        out->kind = SimScriptKind::Key;
        out->keyBits = SimScriptKeyBits(code);
      } else {
        out->kind = SimScriptKind::Bad;
      }
      break;
    }
    case Word::Input: {
      const std::string_view what = NextWord(&rest);
      if (SameWord(what, "COMM")) {
        out->kind = SimScriptKind::InputComm;
        out->quoted = SimScriptQuoted(rest, &out->text, &out->continued);
      } else if (SameWord(what, "INP") || SameWord(what, "DI") || SameWord(what, "KP") || SameWord(what, "TU") ||
                 SameWord(what, "TG")) {
        out->kind = SimScriptKind::InputIgnored;
      }
      break;
    }
    case Word::Eeprom: {
      const std::string_view what = NextWord(&rest);
      if (SameWord(what, "WRITE"))
        out->kind = ParseEepromWrite(rest, out) ? SimScriptKind::EepromWrite : SimScriptKind::Bad;
      else if (SameWord(what, "DUMP"))
        out->kind = SimScriptKind::EepromDump;
      break;
    }
  }
}

bool SimScriptQuoted(std::string_view line, std::string_view* text, bool* continued) {
  const size_t open = line.find('"');
  const size_t close = line.rfind('"');
  if (open == std::string_view::npos || close == open) return false;
  *text = line.substr(open + 1, close - open - 1);
  const std::string_view tail = TrimBlanks(line);
  *continued = !tail.empty() && tail.back() == '\\';
  return true;
}

bool SimScriptAppend(std::string_view text, char* buf, size_t capacity, size_t* length) {
  if (*length > capacity || text.size() > capacity - *length) return false;
  std::memcpy(buf + *length, text.data(), text.size());
  *length += text.size();
  return true;
}

namespace {
// One hexadecimal digit of the code per hard-key bit.
constexpr struct {
  uint16_t bit;
  uint32_t digit;
} kKeyDigits[] = {{1, 0x1000}, {2, 0x0100}, {4, 0x0010}, {8, 0x0001}, {16, 0x10000}};
constexpr uint16_t kFifthKey = 16;
}  // namespace

uint32_t SimScriptKeyCode(uint16_t bits) {
  uint32_t code = 0;
  for (const auto& k : kKeyDigits)
    if (bits & k.bit) code |= k.digit;
  return code;
}

uint16_t SimScriptKeyBits(uint32_t code) {
  uint16_t bits = 0;
  for (const auto& k : kKeyDigits)
    if (code & (k.digit * 0xF)) bits = static_cast<uint16_t>(bits | k.bit);
  return bits;
}

size_t SimFormatKeyLine(uint16_t bits, uint16_t before, char* out, size_t capacity) {
  const bool five = ((bits | before) & kFifthKey) != 0;
  const int n = std::snprintf(out, capacity, five ? "key %05X" : "key %04X", SimScriptKeyCode(bits));
  return n > 0 && static_cast<size_t>(n) < capacity ? static_cast<size_t>(n) : 0;
}

size_t SimFormatWaitLine(uint32_t cycles, uint32_t cycleCount, char* out, size_t capacity) {
  const unsigned long seconds = cycleCount / 10;
  const int n = std::snprintf(out, capacity, "wait %lu (%02lu:%02lu:%02lu.%lu)\n", static_cast<unsigned long>(cycles),
                              seconds / 3600, seconds / 60 % 60, seconds % 60,
                              static_cast<unsigned long>(cycleCount % 10));
  return n > 0 && static_cast<size_t>(n) < capacity ? static_cast<size_t>(n) : 0;
}

size_t SimFormatCommLine(const char* prefix, const uint8_t* frame, uint16_t length, char* out, size_t capacity) {
  Out o{out, capacity};
  const size_t n = length & 0x7FFFu;
  o.put(prefix);
  o.put("\"");
  if (length & 0x8000u) {
    o.put("# ");
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) {
        if (i % 16 == 0) {
          o.put(kContinue);
          o.put("  ");
        } else {
          o.put(i % 8 == 0 ? "  " : " ");
        }
      }
      const char hex[2] = {kHex[frame[i] >> 4], kHex[frame[i] & 15]};
      o.put(hex, 2);
    }
  } else {
    int column = kTextColumn;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t c = frame[i];
      if (c == kEot) {
        // The two address digits after EOT are left out as well: the player puts the address
        // back when it builds the frame, so a recorded request replays as the same frame.
        for (int d = 0; d < 2 && i + 1 < n && frame[i + 1] >= '0' && frame[i + 1] <= '9'; ++d) ++i;
        continue;
      }
      if (c == kStx || c == kEnq) continue;
      if (c == kEtx) break;
      const char* mark = c == kAck ? "(ACK)" : c == kNak ? "(NAK)" : nullptr;
      const int width = mark ? 5 : 1;
      if (column + width > kLastColumn) {
        o.put(kContinue);
        column = kTextColumn;
      }
      if (mark)
        o.put(mark, 5);
      else
        o.put(reinterpret_cast<const char*>(&frame[i]), 1);
      column += width;
    }
  }
  o.put("\"\n");
  return o.finish();
}
