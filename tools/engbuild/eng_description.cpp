// The text description of an engineering, read line by line:
//
//   # comment                       (also after any line)
//   run 2                           run mode byte: 1 stop, 2 run
//   language 1                      0 German, 1 English, 2 French
//   order 2210000000                order code characters (up to 10)
//   zero-ident                      zeros instead of the firmware identification
//   block 100 ABSV group 1 after 0  a block: number, type name or number, time group,
//                                   after-block; the lines below it describe it
//   in 1 101.1                      analog input 1 from block 101, output 1
//   din 1 200.2                     digital input 1 from block 200, output 2
//   float 1 0.5                     float parameter 1
//   word 1 300                      word parameter 1 (stored as its low byte)
//   long 1 70000                    4-byte value 1
//   value 1 7                       word value 1
//   text 2 "Tank 1"                 text 2 (up to 16 characters)
//   state 1 4                       state word 1
//   set mode 2                      a named setting of the block's type (eng_names.h)
//   param 100 1 2 3                 parameter-list record of block 100 (1955: system data)
#include <bit>
#include <charconv>
#include <string>
#include <vector>

#include "tools/engbuild/eng_builder.h"
#include "tools/engbuild/eng_names.h"

namespace {

// Splits a line into words; a word in double quotes may hold blanks.
bool splitWords(std::string_view line, std::vector<std::string>& words, std::string& fault) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      const size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) {
        fault = "unterminated quoted text";
        return false;
      }
      words.emplace_back(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
      words.emplace_back(line.substr(i, j - i));
      i = j;
    }
  }
  return true;
}

bool parseInt(const std::string& s, int64_t low, int64_t high, int64_t& out) {
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, out);
  return ec == std::errc{} && p == end && out >= low && out <= high;
}

bool parseFloat(const std::string& s, float& out) {
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, out);
  return ec == std::errc{} && p == end;
}

// "101.1" -> {101, 1}
bool parseSource(const std::string& s, uint16_t& block, uint16_t& output) {
  const size_t dot = s.find('.');
  int64_t b = 0, o = 0;
  if (dot == std::string::npos || !parseInt(s.substr(0, dot), 0, 0xFFFF, b) ||
      !parseInt(s.substr(dot + 1), 0, 0xFFFF, o)) {
    return false;
  }
  block = static_cast<uint16_t>(b);
  output = static_cast<uint16_t>(o);
  return true;
}

// "set NAME VALUE": the item the name stands for in the block's type.
bool setNamed(EngBuilder& builder, uint16_t block, const std::string& name, const std::string& value,
              std::string& fault) {
  const EngBlockEntry* entry = builder.block(block);
  uint16_t index = 0;
  const EngSettingName* n = entry ? EngFindSetting(entry->type, name, &index) : nullptr;
  if (!n) {
    fault = "no setting '" + name + "' for this block type";
    return false;
  }
  float f = 0;
  int64_t v = 0;
  bool ok = false;
  switch (n->item) {
    case EngItem::Float:
    case EngItem::LongFloat:
      if (!parseFloat(value, f)) {
        fault = "bad number '" + value + "'";
        return false;
      }
      ok = n->item == EngItem::Float ? builder.setFloat(block, index, f)
                                     : builder.setLong(block, index, std::bit_cast<uint32_t>(f));
      break;
    case EngItem::Word:
    case EngItem::Value:
      if (!parseInt(value, -32768, 65535, v)) {
        fault = "bad word '" + value + "'";
        return false;
      }
      ok = n->item == EngItem::Word ? builder.setWord(block, index, static_cast<uint16_t>(v))
                                    : builder.setValue(block, index, static_cast<uint16_t>(v));
      break;
    case EngItem::Text:
      if (value.size() > 16) {
        fault = "a text has at most 16 characters";
        return false;
      }
      ok = builder.setText(block, index, value);
      break;
  }
  if (!ok) fault = builder.error();
  return ok;
}

}  // namespace

bool EngParseDescription(std::string_view text, EngBuilder& builder, std::string* error) {
  std::vector<std::string> w;
  std::string fault;
  uint16_t current = 0;  // the block the item lines describe
  int lineNo = 0;
  size_t start = 0;

  auto lineFault = [&](const std::string& message) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + message;
    return false;
  };

  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    if (!splitWords(line, w, fault)) return lineFault(fault);
    if (w.empty()) continue;
    const std::string& key = w[0];
    int64_t n = 0;

    if (key == "run" || key == "language") {
      if (w.size() != 2 || !parseInt(w[1], 0, 255, n)) return lineFault(key + " needs a number 0..255");
      key == "run" ? builder.setRunMode(static_cast<uint8_t>(n))
                   : builder.setLanguage(static_cast<uint8_t>(n));
    } else if (key == "order") {
      if (w.size() != 2 || w[1].size() > 10) return lineFault("order needs up to 10 characters");
      builder.setOrderCode(w[1]);
    } else if (key == "zero-ident") {
      builder.setZeroIdentification(true);
    } else if (key == "block") {
      if (w.size() < 3 || w.size() % 2 == 0) return lineFault("block NUMBER TYPE [group G] [after B]");
      if (!parseInt(w[1], 1, 1950, n)) return lineFault("block number must be 1..1950");
      const auto number = static_cast<uint16_t>(n);
      int64_t type = 0;
      if (!parseInt(w[2], 1, 255, type)) type = EngBuilder::typeByName(w[2]);
      if (type == 0) return lineFault("unknown block type '" + w[2] + "'");
      int64_t group = 1, after = 0;
      for (size_t i = 3; i + 1 < w.size(); i += 2) {
        if (w[i] == "group" && parseInt(w[i + 1], 0, 255, group)) continue;
        if (w[i] == "after" && parseInt(w[i + 1], 0, 0xFFFF, after)) continue;
        return lineFault("unexpected '" + w[i] + " " + w[i + 1] + "'");
      }
      if (!builder.addBlock(number, static_cast<uint16_t>(type), static_cast<uint8_t>(group),
                            static_cast<uint16_t>(after))) {
        return lineFault(builder.error());
      }
      builder.block(number)->line = lineNo;
      current = number;
    } else if (key == "param") {
      if (w.size() < 2 || !parseInt(w[1], 1, 1955, n)) return lineFault("param BLOCK WORDS...");
      std::vector<uint16_t> data;
      for (size_t i = 2; i < w.size(); ++i) {
        int64_t v = 0;
        if (!parseInt(w[i], -32768, 65535, v)) return lineFault("bad word '" + w[i] + "'");
        data.push_back(static_cast<uint16_t>(v));
      }
      if (!builder.addParamRecord(static_cast<uint16_t>(n), std::move(data))) {
        return lineFault(builder.error());
      }
    } else if (key == "set") {
      if (current == 0) return lineFault("'set' before any block");
      if (w.size() != 3) return lineFault("set needs a name and a value");
      if (!setNamed(builder, current, w[1], w[2], fault)) return lineFault(fault);
    } else {
      // Item lines of the current block: KEY INDEX VALUE.
      if (current == 0) return lineFault("'" + key + "' before any block");
      if (w.size() != 3) return lineFault(key + " needs an index and a value");
      int64_t index = 0;
      if (!parseInt(w[1], 1, 0xFFFF, index)) return lineFault("bad index '" + w[1] + "'");
      const auto i = static_cast<uint16_t>(index);
      const std::string& value = w[2];
      bool ok = false;
      int64_t v = 0;
      if (key == "in" || key == "din") {
        uint16_t src = 0, out = 0;
        if (!parseSource(value, src, out)) return lineFault("a source is BLOCK.OUTPUT");
        ok = key == "in" ? builder.wireAnalog(current, i, src, out)
                         : builder.wireDigital(current, i, src, out);
      } else if (key == "float") {
        float f = 0;
        if (!parseFloat(value, f)) return lineFault("bad number '" + value + "'");
        ok = builder.setFloat(current, i, f);
      } else if (key == "word" || key == "value" || key == "state") {
        if (!parseInt(value, -32768, 65535, v)) return lineFault("bad word '" + value + "'");
        const auto u = static_cast<uint16_t>(v);
        ok = key == "word" ? builder.setWord(current, i, u)
             : key == "value" ? builder.setValue(current, i, u)
                              : builder.setState(current, i, u);
      } else if (key == "long") {
        if (!parseInt(value, INT32_MIN, UINT32_MAX, v)) return lineFault("bad value '" + value + "'");
        ok = builder.setLong(current, i, static_cast<uint32_t>(v));
      } else if (key == "text") {
        if (value.size() > 16) return lineFault("a text has at most 16 characters");
        ok = builder.setText(current, i, value);
      } else {
        return lineFault("unknown keyword '" + key + "'");
      }
      if (!ok) return lineFault(builder.error());
    }
  }
  return true;
}
