#include "shell/module_tables.h"

#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "shell/shell_util.h"

namespace {

constexpr bool A = true, _ = false;

// The module table: type, names in German, English and French, channel kinds (analog input
// a:, analog input b:, digital inputs, analog outputs, digital outputs).
struct ModuleRow {
  uint8_t type;
  const char* name[3];
  SimModuleKinds kinds;
};
constexpr ModuleRow kModules[] = {
    {0, {"- leer -", "- empty -", "- vide -"}, {_, _, _, _, _}},
    {1, {"Uni-Input", "Uni-Input", "Uni-Input"}, {A, _, _, _, _}},
    {2, {"TC-Input", "TC-Input", "TC-Input"}, {A, A, _, _, _}},
    {3, {"TPS-Input", "TPS-Input", "TPS-Input"}, {A, _, _, _, _}},
    {11, {"U-Input", "U-Input", "U-Input"}, {A, A, _, _, _}},
    {12, {"R-Input", "R-Input", "R-Input"}, {A, A, _, _, _}},
    {21, {"2x DI", "2x DI", "2x DI"}, {_, _, A, _, _}},
    {22, {"2x/4x DI", "2x/4x DI", "2x/4x DI"}, {_, _, A, _, _}},
    {32, {"I-Output", "I-Output", "I-Output"}, {_, _, _, A, _}},
    {33, {"U-Output", "U-Output", "U-Output"}, {_, _, _, A, _}},
    {41, {"4x DO", "4x DO", "4x DO"}, {_, _, _, _, A}},
    {43, {"1x Relais", "1x Relay", "1x Relais"}, {_, _, _, _, A}},
    {45, {"Double-SSR", "Double-SSR", "Double-SSR"}, {_, _, _, _, A}},
    {50, {"2x DI/DO", "2x DI/DO", "2x DI/DO"}, {_, _, A, _, A}},
};

const ModuleRow* rowOf(int type) {
  for (const ModuleRow& r : kModules)
    if (r.type == type) return &r;
  return nullptr;
}

// The option lists. "All" is the ten types that any module position of a rack takes.
constexpr uint8_t E = SIM_OPTION_END;
constexpr uint8_t kAll[] = {0, 1, 2, 3, 11, 12, 32, 33, 45, 50, E};
constexpr uint8_t kDi2[] = {21, E};
constexpr uint8_t kUni[] = {1, E};
constexpr uint8_t kDi4[] = {22, E};
constexpr uint8_t kDo4[] = {41, E};
constexpr uint8_t kRelay[] = {43, E};
constexpr uint8_t kOutputs[] = {0, 32, 33, 45, E};

constexpr const uint8_t* kSets[SIM_OPTION_SETS][SIM_POSITIONS] = {
    {kDi2, kAll, kAll, kUni},              // 0 slot A
    {kAll, kAll, kAll, kAll},              // 1 slot B with the module rack
    {kDi4, kDi4, kDi4, kDo4},              // 2 slot B with the digital card
    {kAll, kAll, kAll, kAll},              // 3 slot C with the module rack
    {kDi4, kDi4, kDi4, kDo4},              // 4 slot C with the digital card
    {kRelay, kRelay, kRelay, kRelay},      // 5 slot P with the relays
    {kRelay, kRelay, kOutputs, kOutputs},  // 6 slot P without
};

// The "C" locale for reading numbers, whatever the process locale is.
locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

}  // namespace

SimModuleKinds SimModuleChannels(int type) {
  const ModuleRow* r = rowOf(type);
  return r ? r->kinds : SimModuleKinds{};
}

const char* SimModuleName(int type, int language) {
  const ModuleRow* r = rowOf(type);
  if (!r) return "";
  return r->name[language >= 0 && language < 3 ? language : 0];
}

const char* SimModuleName(int type) { return SimModuleName(type, SimState().language); }

SimPositionLayout SimLayoutOf(const SimModuleKinds& k) {
  SimPositionLayout l;
  l.fieldA = k.analogInA || k.analogOut;
  l.fieldB = k.analogInB || k.analogOut;
  l.editable = !k.analogOut;
  l.digitalIn = k.digitalIn;
  l.digitalOut = k.digitalOut;
  return l;
}

const uint8_t* SimOptionList(int set, int position) {
  if (set < 0 || set >= SIM_OPTION_SETS || position < 0 || position >= SIM_POSITIONS) return nullptr;
  return kSets[set][position];
}

int SimOptionCount(int set, int position) {
  const uint8_t* list = SimOptionList(set, position);
  int n = 0;
  while (list && list[n] != SIM_OPTION_END) ++n;
  return n;
}

int SimOptionIndex(int set, int position, int type) {
  const uint8_t* list = SimOptionList(set, position);
  for (int i = 0; list && list[i] != SIM_OPTION_END; ++i)
    if (list[i] == type) return i;
  return -1;
}

int SimOptionSetOf(int slot, const SimDeviceConfig& d) {
  switch (slot) {
    case SIM_SLOT_A:
      return 0;
    case SIM_SLOT_B:
    case SIM_SLOT_C: {
      const uint16_t value = slot == SIM_SLOT_B ? d.slotB : d.slotC;
      const int rack = slot == SIM_SLOT_B ? 1 : 3;
      if (value == SIM_SLOT_RACK) return rack;
      if (value == SIM_SLOT_CARD) return rack + 1;
      return -1;
    }
    case SIM_SLOT_P:
      return d.relais == 1 ? 5 : 6;
    default:
      return -1;
  }
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The leading decimal number of a text, blanks before it skipped: a sign, digits with a point,
// an exponent; 0 without one. Hexadecimal numbers, "inf" and "nan" are no decimal numbers:
// "0x10" reads as its leading 0.
float LeadingDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  const char* digits = p;
  while (IsDigit(*p)) ++p;
  bool any = p != digits;
  if (*p == '.') {
    const char* fraction = ++p;
    while (IsDigit(*p)) ++p;
    any = any || p != fraction;
  }
  if (!any) return 0.0f;
  if (*p == 'e' || *p == 'E') {
    const char* e = p + 1;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(*e)) {
      while (IsDigit(*e)) ++e;
      p = e;
    }
  }
  char number[96];
  const size_t n = std::min(static_cast<size_t>(p - start), sizeof number - 1);
  std::memcpy(number, start, n);
  number[n] = 0;
  return strtof_l(number, nullptr, CLocale());
}

}  // namespace

void SimTakeAnalogText(const std::string& typed, SimAnalogInput* r) {
  // The record keeps what fits; the flags and the value come from the whole entry.
  const size_t kept = std::min(typed.size(), sizeof r->text - 1);
  std::memcpy(r->text, typed.data(), kept);
  std::memset(r->text + kept, 0, sizeof r->text - kept);
  r->entered = typed.empty() ? 0 : 1;
  r->fFlag = !typed.empty() && (typed[0] == 'f' || typed[0] == 'F') ? 1 : 0;
  const std::string work = SimCommaToPoint(typed);
  const char* from = work.c_str();
  r->electrical = work[0] == '#' ? 1 : 0;
  if (r->electrical) ++from;
  r->value = LeadingDecimal(from);
}
