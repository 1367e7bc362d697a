// Fuzz target of the script text: any line reads without touching memory past it, with its
// numbers and EEPROM values inside their bounds; communication lines and their continuations
// join into a bounded buffer and build a frame that fits or none; and any frame the recorder
// writes reads back, line by line, as the same bytes or text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shell/com_text.h"
#include "shell/script_text.h"

namespace {

constexpr size_t kRequest = 500;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

// Joins a communication line with its continuations as the player does; false when refused.
bool Join(const std::vector<std::string_view>& lines, size_t* at, const SimScriptLine& first, std::string* text) {
  std::unique_ptr<char[]> buf(new char[SIM_SCRIPT_COMM_MAX]);
  size_t length = 0;
  bool ok = first.quoted && SimScriptAppend(first.text, buf.get(), SIM_SCRIPT_COMM_MAX, &length);
  bool more = first.quoted && first.continued;
  while (more) {
    std::string_view part;
    if (++*at >= lines.size() || !SimScriptQuoted(lines[*at], &part, &more)) return false;
    Check(Inside(part, lines[*at]));
    ok = ok && SimScriptAppend(part, buf.get(), SIM_SCRIPT_COMM_MAX, &length);
  }
  Check(length <= SIM_SCRIPT_COMM_MAX);
  text->assign(buf.get(), length);
  return ok;
}

void ParseScript(std::string_view script) {
  const std::vector<std::string_view> lines = Lines(script);
  auto l = std::make_unique<SimScriptLine>();
  for (size_t i = 0; i < lines.size(); ++i) {
    SimParseScriptLine(lines[i], l.get());
    Check(Inside(l->text, lines[i]));
    Check(l->number >= 0);
    if (l->kind == SimScriptKind::EepromWrite && l->valueCount > 0)
      Check(l->address < SIM_SCRIPT_EEPROM_SIZE && l->valueCount * 2u <= SIM_SCRIPT_EEPROM_SIZE - l->address);
    if (l->kind != SimScriptKind::InputComm) continue;
    std::string text;
    if (!Join(lines, &i, *l, &text)) continue;
    std::unique_ptr<uint8_t[]> frame(new uint8_t[kRequest]);
    uint16_t length = 0;
    if (SimComBuildInjected(text, frame.get(), kRequest, &length)) Check((length & 0x7FFFu) <= kRequest);
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// What the recorder writes for a frame, read back as the player reads it.
void RoundTrip(const uint8_t* data, size_t n, bool binary) {
  n = std::min(n, kRequest);
  std::unique_ptr<char[]> out(new char[SIM_SCRIPT_RECORD_MAX]);
  const uint16_t length = static_cast<uint16_t>(n | (binary ? 0x8000 : 0));
  const size_t written = SimFormatCommLine("input comm  ", data, length, out.get(), SIM_SCRIPT_RECORD_MAX);
  Check(written > 0 && written < SIM_SCRIPT_RECORD_MAX && out[written - 1] == '\n');
  const std::vector<std::string_view> lines = Lines(std::string_view(out.get(), written - 1));
  SimScriptLine first;
  SimParseScriptLine(lines[0], &first);
  Check(first.kind == SimScriptKind::InputComm);
  size_t at = 0;
  std::string text;
  // Only a text frame that holds a line break may read differently.
  const bool plain = binary || std::memchr(data, '\n', n) == nullptr;
  const bool joined = Join(lines, &at, first, &text);
  Check(joined || !plain);
  if (!plain) return;
  Check(at + 1 == lines.size());
  if (!binary) {
    std::string expected;
    for (size_t i = 0; i < n && data[i] != 3; ++i) {
      if (data[i] == 4) {  // EOT and the two address digits after it
        for (int d = 0; d < 2 && i + 1 < n && data[i + 1] >= '0' && data[i + 1] <= '9'; ++d) ++i;
        continue;
      }
      if (data[i] == 2 || data[i] == 5) continue;
      expected += data[i] == 6 ? "(ACK)" : data[i] == 21 ? "(NAK)" : std::string(1, static_cast<char>(data[i]));
    }
    Check(text == expected);
    return;
  }
  Check(text.compare(0, 2, "# ") == 0);
  std::vector<uint8_t> bytes;
  int high = -1;
  for (size_t i = 2; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    const int v = HexValue(text[i]);
    Check(v >= 0);
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  Check(high < 0 && bytes.size() == n && (n == 0 || std::memcmp(bytes.data(), data, n) == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input's size, so that a read past a line is caught.
  std::unique_ptr<char[]> copy(new char[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);
  ParseScript(std::string_view(copy.get(), size));
  if (size > 0) RoundTrip(data + 1, size - 1, (data[0] & 1) != 0);
  return 0;
}
