// Texts by id in three languages, the label lists of the block types and the map from
// (block type or sub-index, protocol function code) to an internal code.
//
// The tables themselves are generated (runtime/fw_text_tables.cpp, from the source tables
// under tools/texttables/); texts are 8-bit code-page bytes (Latin-1).
#pragma once

#include <cstdint>

constexpr uint32_t FW_TEXT_COUNT = 5650;   // ids 0..5649; 0 is the fallback text
constexpr uint32_t FW_TEXT_CODE_MAX = 100; // entries 1..100 are codes, not texts
constexpr uint32_t FW_LANGUAGES = 3;       // 0 German, 1 English, 2 French
constexpr uint32_t FW_LANGUAGE_OFFSET = 45;// the language byte of the engineering image

// One language's table: entries[id] is 0 (no text), 1..100 (a code) or 101 + the offset
// of a NUL-terminated text in `pool`.
struct FwTextTable {
  const uint32_t* entries;
  const char* pool;
  uint32_t poolSize;
};
extern const FwTextTable g_fwTextTables[FW_LANGUAGES];

// Per block type, the text id before the type's first label (its name text); 0: no list.
extern const uint16_t g_fbLabelListStart[256];

// Function-code map: key = type (or sub-index) x 4096 + function code; ended by the key
// FB_FUNC_CODE_END. Sorted by key once before the first lookup.
constexpr int32_t FB_FUNC_CODE_END = 32000;
constexpr uint16_t FB_FUNC_CODE_ABSENT = 32000;
struct FbFuncCodeEntry {
  int32_t key;
  uint16_t code;
};
extern FbFuncCodeEntry g_fbFuncCodeMap[];
extern const uint32_t g_fbFuncCodeCapacity;   // entries in the array, end mark included

// Selects the current table by the language byte: 1 English, 2 French, any other German.
void FW_SelectTextLanguage();
void FW_SelectTextLanguageByte(uint8_t language);
uint8_t FW_CurrentTextLanguage();
// Where FW_SelectTextLanguage reads the language byte: the engineering image's byte at
// offset 45 once the image is bound here. Default (and for null): a byte of this module
// that stays 0 (German).
void FW_BindLanguageByte(const uint8_t* languageByte);

// The text of an id in the current language: ids 1..5649 with a text give it; an entry 0
// gives the empty text; a code entry or an id outside 1..5649 gives the fallback (entry 0).
// Never null.
const char* FW_GetText(uint32_t id);
// The raw entry when it is a code (0..100), else 0; 0 for an id outside the table.
uint16_t FW_GetTextCode(uint32_t id);

// The text id of the label of a type's slot, or of one of its choices. The list of a type
// is its name text at the start id, then one label per slot in the order of the type's
// groups (analog inputs, digital inputs, analog outputs, digital outputs, float
// parameters, word parameters, long values, then further entries); a label followed by a
// code c carries c choices after the code. The walk passes (analog inputs + digital
// inputs + analog outputs + digital outputs + float parameters + word parameters + long
// values + entry + 1) labels from the start id, skipping the code and choices of every
// label it passes, and returns base + the id reached + 2: with base = n the id of choice n
// of the label reached, with base = -2 the label itself. `entry` may be negative to reach
// the groups before the long values. 0 for a type not in use, a type without a label list,
// or a walk that leaves the table.
int32_t FB_GetTextOffset(uint32_t type, int32_t entry, int32_t base);

// Counts the map's entries up to the end mark and sorts them by key.
void FB_SortFuncCodeTable();
// The internal code of (type, function code), or 32000 when the map has none.
uint16_t FB_FuncCodeToIntCode(uint32_t type, uint32_t code);
// Writes every entry as "zeile %04d FuncAndCode %06ld IntCode %04d\n"; 0 when the file
// cannot be opened (or written), else 1.
int FB_DumpFuncCodeTable(const char* path);
