#include "runtime/fw_text.h"

#include <algorithm>
#include <cstdio>

#include "runtime/fb_store.h"

namespace {

const uint8_t g_defaultLanguage = 0;
const uint8_t* g_languageByte = &g_defaultLanguage;
uint8_t g_language = 0;
const FwTextTable* g_table = &g_fwTextTables[0];

uint32_t g_funcCodeCount = 0;
bool g_funcCodeSorted = false;

const char* textOf(const FwTextTable& t, uint32_t raw) {
  const uint32_t offset = raw - (FW_TEXT_CODE_MAX + 1);
  return offset < t.poolSize ? t.pool + offset : "";
}

}  // namespace

void FW_BindLanguageByte(const uint8_t* languageByte) {
  g_languageByte = languageByte ? languageByte : &g_defaultLanguage;
}

void FW_SelectTextLanguageByte(uint8_t language) {
  g_language = (language == 1 || language == 2) ? language : 0;
  g_table = &g_fwTextTables[g_language];
}

void FW_SelectTextLanguage() { FW_SelectTextLanguageByte(*g_languageByte); }

uint8_t FW_CurrentTextLanguage() { return g_language; }

const char* FW_GetText(uint32_t id) {
  const FwTextTable& t = *g_table;
  if (id == 0 || id >= FW_TEXT_COUNT) return textOf(t, t.entries[0]);
  const uint32_t raw = t.entries[id];
  if (raw == 0) return "";
  if (raw <= FW_TEXT_CODE_MAX) return textOf(t, t.entries[0]);
  return textOf(t, raw);
}

uint16_t FW_GetTextCode(uint32_t id) {
  if (id >= FW_TEXT_COUNT) return 0;
  const uint32_t raw = g_table->entries[id];
  return raw <= FW_TEXT_CODE_MAX ? static_cast<uint16_t>(raw) : 0;
}

int32_t FB_GetTextOffset(uint32_t type, int32_t entry, int32_t base) {
  const FbTypeRecord* rec = FB_GetType(type);
  if (!rec || type >= 256 || g_fbLabelListStart[type] == 0) return 0;
  const int64_t labels = int64_t{rec->analogInputs} + rec->digitalInputs + rec->analogOutputs +
                         rec->digitalOutputs + rec->floatParams + rec->wordParams +
                         rec->longValues + entry + 1;
  if (labels < 0) return 0;
  int64_t id = g_fbLabelListStart[type];
  for (int64_t k = 0; k < labels; ++k) {
    if (k > 0) {
      // The label passed: skip its code entry and its choices.
      const uint16_t c = FW_GetTextCode(static_cast<uint32_t>(id + 1));
      if (c != 0) id += c + 1;
    }
    ++id;
    if (id >= FW_TEXT_COUNT) return 0;
  }
  return static_cast<int32_t>(base + id + 2);
}

// ---------------------------------------------------------------------------------------
// Function-code map

void FB_SortFuncCodeTable() {
  uint32_t n = 0;
  while (n < g_fbFuncCodeCapacity && g_fbFuncCodeMap[n].key != FB_FUNC_CODE_END) ++n;
  std::sort(g_fbFuncCodeMap, g_fbFuncCodeMap + n,
            [](const FbFuncCodeEntry& a, const FbFuncCodeEntry& b) { return a.key < b.key; });
  g_funcCodeCount = n;
  g_funcCodeSorted = true;
}

uint16_t FB_FuncCodeToIntCode(uint32_t type, uint32_t code) {
  if (type > 0x7FFF || code >= 4096) return FB_FUNC_CODE_ABSENT;
  if (!g_funcCodeSorted) FB_SortFuncCodeTable();
  const int32_t key = static_cast<int32_t>(type * 4096u + code);
  uint32_t lo = 0, hi = g_funcCodeCount;
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (g_fbFuncCodeMap[mid].key < key) {
      lo = mid + 1;
    } else if (g_fbFuncCodeMap[mid].key > key) {
      hi = mid;
    } else {
      return g_fbFuncCodeMap[mid].code;
    }
  }
  return FB_FUNC_CODE_ABSENT;
}

int FB_DumpFuncCodeTable(const char* path) {
  if (!path) return 0;
  std::FILE* f = std::fopen(path, "w");
  if (!f) return 0;
  if (!g_funcCodeSorted) FB_SortFuncCodeTable();
  bool ok = true;
  for (uint32_t i = 0; i < g_funcCodeCount && ok; ++i) {
    ok = std::fprintf(f, "zeile %04d FuncAndCode %06ld IntCode %04d\n", static_cast<int>(i),
                      static_cast<long>(g_fbFuncCodeMap[i].key),
                      static_cast<int>(g_fbFuncCodeMap[i].code)) > 0;
  }
  return (std::fclose(f) == 0 && ok) ? 1 : 0;
}
