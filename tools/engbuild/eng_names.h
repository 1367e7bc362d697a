// Named settings of block types, for the description line "set NAME VALUE": the name stands
// for one float parameter, word parameter, 4-byte value, word value or text of the block, so
// that a description need not know which index holds a setting. Names are lower case; a
// name of a numbered row ends with its number (x1 .. x16).
#pragma once

#include <cstdint>
#include <string_view>

enum class EngItem : uint8_t {
  Float,      // float parameter
  Word,       // word parameter
  LongFloat,  // 4-byte value that holds a float
  Value,      // word value
  Text,       // text (text 1 is the tag)
};

struct EngSettingName {
  uint16_t type;
  const char* name;
  EngItem item;
  uint16_t index;      // 1-based index of the item (of row 1 for numbered rows)
  uint16_t count = 0;  // numbered rows: name1 .. name<count>, each `step` items further
  uint16_t step = 1;
};

// The setting `name` of a type and the index it stands for; null when the type has no such
// name.
const EngSettingName* EngFindSetting(uint16_t type, std::string_view name, uint16_t* index);
