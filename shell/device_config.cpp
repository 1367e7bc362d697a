#include "shell/device_config.h"

#include <cstdio>
#include <cstring>

#include "host/ini_file.h"
#include "shell/module_tables.h"
#include "shell/settings.h"

namespace {

constexpr SimDeviceTexts kTexts[3] = {
    {
        {"MX74-2", "MX74-2 Datalogger"},
        {"2 Relais, 2 Optionssteckpl\xE4tze", "4 Relais"},
        {"90 .. 250V AC", "24V UC"},
        {"keine Schnittstelle", "Standard Schnittstellen (Ethernet/USB + CAN f\xFCr Remote I/O)",
         "zus\xE4tzlich RS485/Modbus", "zus\xE4tzlich Profibus", "zus\xE4tzlich Profinet"},
        {"keine", "Digitale-I/O Erweiterung (10 DI, 4 DO)", "Modulare Erweiterung (Optionssteckpl\xE4tze)"},
        "Bedienversion %d",
        "Ger\xE4t",
        "Bedienversion",
        "Relais",
        "Versorgung",
        "Schnittstelle",
        {"Slot B", "Slot C"},
        "Bestellnummer",
        "Module",
        "Konfiguration aus dem Engineering",
        "Auto Config",
        "Abbrechen",
        "SIM/MX74-2 - Modulauswahl",
        "Information zur Konfiguration",
        "Durch die Verwendung der MX74-1 Funktionsbl\xF6" "cke OUT1, OUT2, AINP3 oder AINP4 ist die Analyse nicht "
        "eindeutig. Bitte \xFC" "berpr\xFC" "fen Sie das Ergebnis.",
        "Konfigurationskonfikt",
        "Modulkombination auf Slot ",
        " nicht m\xF6glich.",
        "Doppelte Belegung auf Slot ",
    },
    {
        {"MX74-2", "MX74-2 Datalogger"},
        {"2 relays, 2 option module slots", "4 relays"},
        {"90 .. 250V AC", "24V UC"},
        {"no interface", "Basic Interfaces (Ethernet/USB and CAN for Remote I/O)", "additional RS485/Modbus",
         "additional Profibus", "additional Profinet"},
        {"not fitted", "Digital-I/O Extension (10 DI, 4 DO)", "Modular Extension (4 option module slots)"},
        "Operating vers. %d",
        "Device",
        "Operating version",
        "Relays",
        "Power supply",
        "Interface",
        {"Slot B", "Slot C"},
        "Order code",
        "Modules",
        "Configuration from the engineering",
        "Auto Config",
        "Cancel",
        "SIM/MX74-2 - Module selection",
        "Configuration information",
        "By using the MX74-1 function blocks OUT1, OUT2, AINP3 or AINP4, the analysis is not unique. Please "
        "check the result.",
        "Configuration conflict",
        "Module combination on slot ",
        " not possible.",
        "Double assignment on Slot ",
    },
    {
        {"MX74-2", "MX74-2 Datalogger"},
        {"2 relais, 2 emplacements de modules optionnels", "4 relais"},
        {"90 .. 250V CA", "24V CU"},
        {"pas d'interface", "Interfaces standard (Ethernet/USB et CAN pout E/S \xE0 distance)",
         "RS485/Modbus suppl\xE9mentaire", "Profibus suppl\xE9mentaire", "Profinet suppl\xE9mentaire"},
        {"pas appropri\xE9" "e", "Extension E/S num\xE9rique (10 DI, 4 DO)",
         "Extension modulaire (4 emplacements modules optionnels )"},
        "Version d'util. %d",
        "Appareil",
        "Version d'utilisation",
        "Relais",
        "Alimentation",
        "Interface",
        {"Slot B", "Slot C"},
        "R\xE9" "f\xE9rence de commande",
        "Modules",
        "Configuration de l'engineering",
        "Auto Config",
        "Annuler",
        "SIM/MX74-2 - Selection des modules",
        "Informations de configuration",
        "En utilisant les blocs fonctionnels MX74-1 OUT1, OUT2, AINP3 ou AINP4, l'analyse n'est pas unique. "
        "Veuillez v\xE9rifier le r\xE9sultat.",
        "Conflit de configuration",
        "Combinaison de modules impossible sur Slot ",
        ".",
        "Double affectation sur Slot ",
    },
};

void writeKey(const char* key, long value) {
  if (!SimIniPath().empty()) host::IniWriteInt(SimIniPath(), SIM_INI_DEVICE, key, value);
}
void writeModule(const SimDeviceConfig& d, int index) { writeKey(SIM_MODULE_KEYS[index], d.modules[index]); }

// The number of an order-code field: one to `digits` decimal digits and nothing else; false
// for an empty text, a sign, a blank, a letter or a text too long for the field.
bool fieldNumber(const std::string& text, size_t digits, long* out) {
  if (text.empty() || text.size() > digits) return false;
  long v = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *out = v;
  return true;
}

// Slot B or C: the modules that follow a new slot value.
void followSlot(uint8_t* m, uint16_t value) {
  if (value == SIM_SLOT_CARD) {
    m[0] = m[1] = m[2] = SIM_MODULE_DI_4;
    m[3] = SIM_MODULE_DO_4;
  } else if (value != SIM_SLOT_RACK || m[0] == SIM_MODULE_DI_4) {
    std::memset(m, 0, SIM_POSITIONS);
  }
}

// The type a claim takes from a list: its class, else its second class; -1 when neither is
// there. A position nobody claims gets the list's only type, else "empty", else the first.
int fitOf(int set, int position, const SimPositionClaim& c) {
  if (c.expected == 0) {
    if (SimOptionCount(set, position) == 1 || SimOptionIndex(set, position, SIM_MODULE_NONE) < 0)
      return SimOptionList(set, position)[0];
    return SIM_MODULE_NONE;
  }
  const int first = c.expected & 0xFF, second = c.expected >> 8;
  if (SimOptionIndex(set, position, first) >= 0) return first;
  if (second != 0 && SimOptionIndex(set, position, second) >= 0) return second;
  return -1;
}

}  // namespace

const SimDeviceTexts& SimDeviceTextsOf(int language) { return kTexts[language >= 0 && language < 3 ? language : 0]; }

SimDeviceChoice SimDeviceChoiceOf(const SimDeviceConfig& d) {
  SimDeviceChoice c;
  c.variant = d.ksx;
  c.relays = d.relais;
  c.power = d.power;
  c.commOpt = d.commOpt;
  c.slotB = d.slotB;
  c.slotC = d.slotC;
  c.anschluss = d.anschluss;
  return c;
}

SimOrderTexts SimOrderTextsOf(const SimDeviceChoice& c, const SimDeviceConfig& device) {
  SimOrderTexts t;
  t.head = "MX74";
  char buf[48];
  std::snprintf(buf, sizeof buf, "2%d%ld", c.anschluss, static_cast<long>((c.relays == 1 ? 2 : 0) + (c.power == 1 ? 1 : 0)));
  t.three = buf;
  const long five = static_cast<long>(c.commOpt) * 10000 + (c.variant == 1 ? 1000 : 0) + c.slotB * 100L + c.slotC * 10L;
  std::snprintf(buf, sizeof buf, "%05ld", five);
  t.five = buf;
  t.modules = SimModuleOrderCode(device);
  return t;
}

bool SimParseOrderDigits(const std::string& three, const std::string& five, SimDeviceChoice* choice) {
  long n = 0, m = 0;
  if (!fieldNumber(three, 3, &n) || !fieldNumber(five, 5, &m)) return false;
  const long units = n % 10, commOpt = m / 10000 % 10, variant = m / 1000 % 10, slotB = m / 100 % 10,
             slotC = m / 10 % 10;
  if (units > 3 || commOpt > 4 || variant > 1 || slotB > 2 || slotC > 2) return false;
  choice->power = static_cast<int>(units & 1);
  choice->relays = static_cast<int>(units >> 1 & 1);
  choice->anschluss = static_cast<int>(n / 10 % 10);
  choice->commOpt = static_cast<int>(commOpt);
  choice->variant = static_cast<int>(variant);
  choice->slotB = static_cast<int>(slotB);
  choice->slotC = static_cast<int>(slotC);
  return true;
}

unsigned SimApplyDeviceChoice(const SimDeviceChoice& c, SimDeviceConfig* d) {
  unsigned changed = 0;
  auto take = [&](uint16_t* field, int value, const char* key) {
    if (*field == static_cast<uint16_t>(value)) return false;
    *field = static_cast<uint16_t>(value);
    writeKey(key, *field);
    changed |= SIM_CHANGED_ANY;
    return true;
  };
  if (take(&d->ksx, c.variant, "Ksx")) changed |= SIM_CHANGED_KSX;
  take(&d->anschluss, c.anschluss, "Anschluss");
  if (take(&d->relais, c.relays, "Relais")) {
    uint8_t* p = d->modules + 12;
    if (d->relais == 1)
      p[2] = p[3] = SIM_MODULE_RELAY;
    else if (p[2] == SIM_MODULE_RELAY)
      p[2] = p[3] = SIM_MODULE_NONE;
    writeModule(*d, 14);
    writeModule(*d, 15);
    changed |= SIM_CHANGED_RELAIS;
  }
  take(&d->power, c.power, "Power");
  take(&d->commOpt, c.commOpt, "CommOpt");
  const struct {
    uint16_t* field;
    int value;
    const char* key;
    int first;
    unsigned bit;
  } slots[2] = {{&d->slotB, c.slotB, "SlotB", 4, SIM_CHANGED_SLOT_B}, {&d->slotC, c.slotC, "SlotC", 8, SIM_CHANGED_SLOT_C}};
  for (const auto& s : slots) {
    if (!take(s.field, s.value, s.key)) continue;
    followSlot(d->modules + s.first, *s.field);
    for (int i = s.first; i < s.first + SIM_POSITIONS; ++i) writeModule(*d, i);
    changed |= s.bit;
  }
  return changed;
}

bool SimApplyModuleChoice(const int chosen[16], SimDeviceConfig* d) {
  bool changed = false;
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    uint8_t* m = d->modules + slot * SIM_POSITIONS;
    const bool fitted = SimOptionSetOf(slot, *d) >= 0;
    for (int p = 0; p < SIM_POSITIONS; ++p) {
      const int type = fitted ? chosen[slot * SIM_POSITIONS + p] : SIM_MODULE_NONE;
      if (type < 0 || type > 0xFF || m[p] == type) continue;
      m[p] = static_cast<uint8_t>(type);
      changed = true;
    }
  }
  return changed;
}

int SimAutoConfigFrom(const SimPositionClaim claims[16], SimAutoConfigResult* r) {
  // Candidate sets per slot with the slot value each gives.
  struct Candidate {
    int set;
    int32_t value;
  };
  const Candidate kCandidates[SIM_SLOTS][2] = {
      {{0, 0}, {-1, 0}}, {{1, 2}, {2, 1}}, {{3, 2}, {4, 1}}, {{6, 1}, {5, 2}}};
  bool conflict = false, ambiguous = false;
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    const SimPositionClaim* c = claims + slot * SIM_POSITIONS;
    int32_t* m = r->module + slot * SIM_POSITIONS;
    bool claimed = false;
    for (int p = 0; p < SIM_POSITIONS; ++p) claimed = claimed || c[p].expected != 0 || c[p].doubled;
    if ((slot == SIM_SLOT_B || slot == SIM_SLOT_C) && !claimed) {
      r->slot[slot] = 0;
      for (int p = 0; p < SIM_POSITIONS; ++p) m[p] = SIM_MODULE_NONE;
      continue;
    }
    const Candidate* chosen = nullptr;
    for (const Candidate& k : kCandidates[slot]) {
      if (k.set < 0) continue;
      bool fits = true;
      for (int p = 0; p < SIM_POSITIONS; ++p) fits = fits && fitOf(k.set, p, c[p]) >= 0;
      if (fits) {
        chosen = &k;
        break;
      }
    }
    // Without a fitting set the first one shows which positions do not fit.
    const Candidate& used = chosen ? *chosen : kCandidates[slot][0];
    r->slot[slot] = chosen ? used.value : SIM_AUTO_IMPOSSIBLE;
    for (int p = 0; p < SIM_POSITIONS; ++p) {
      m[p] = c[p].doubled ? SIM_AUTO_IMPOSSIBLE : fitOf(used.set, p, c[p]);
      if (m[p] < 0) conflict = true;
      if (c[p].expected != 0 && c[p].ambiguous) ambiguous = true;
    }
  }
  if (conflict) return SIM_AUTO_CONFLICT;
  return ambiguous ? SIM_AUTO_NOT_UNIQUE : SIM_AUTO_FITTING;
}

void SimTakeAutoConfig(const SimAutoConfigResult& r, SimDeviceConfig* d) {
  for (int i = 0; i < 16; ++i) d->modules[i] = static_cast<uint8_t>(r.module[i] < 0 ? 0 : r.module[i]);
  d->slotB = static_cast<uint16_t>(r.slot[1]);
  d->slotC = static_cast<uint16_t>(r.slot[2]);
  d->relais = static_cast<uint16_t>(r.slot[3] - 1);
  for (int i = 0; i < 4; ++i) writeModule(*d, i);
  writeKey("SlotB", d->slotB);
  for (int i = 4; i < 8; ++i) writeModule(*d, i);
  writeKey("SlotC", d->slotC);
  for (int i = 8; i < 12; ++i) writeModule(*d, i);
  writeKey("Relais", d->relais);
  for (int i = 12; i < 16; ++i) writeModule(*d, i);
}

bool SimAutoConfigMessage(int outcome, const SimAutoConfigResult& r, int language, std::string* caption,
                          std::string* text) {
  const SimDeviceTexts& t = SimDeviceTextsOf(language);
  if (outcome == SIM_AUTO_NOT_UNIQUE) {
    *caption = t.uniqueCaption;
    *text = t.notUniqueText;
    return true;
  }
  if (outcome != SIM_AUTO_CONFLICT) return false;
  *caption = t.conflictCaption;
  auto firstMarked = [&](int slot) {
    for (int p = 0; p < SIM_POSITIONS; ++p)
      if (r.module[slot * SIM_POSITIONS + p] < 0) return p;
    return -1;
  };
  char buf[16];
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    if (r.slot[slot] != SIM_AUTO_IMPOSSIBLE) continue;
    const int b = firstMarked(slot);
    if (b < 0) continue;
    int a = 0;
    while (a < b && r.module[slot * SIM_POSITIONS + a] < 1) ++a;
    if (a == b) a = 0;
    *text = std::string(t.impossibleHead) + SIM_SLOT_LETTERS[slot] + " " + t.impossibleTail;
    std::snprintf(buf, sizeof buf, " Section %d", a + 1);
    *text += buf;
    std::snprintf(buf, sizeof buf, "; Section %d", b + 1);
    *text += buf;
    return true;
  }
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    const int p = firstMarked(slot);
    if (p < 0) continue;
    std::snprintf(buf, sizeof buf, "Section %d.", p + 1);
    *text = std::string(t.doubleHead) + SIM_SLOT_LETTERS[slot] + " " + buf;
    return true;
  }
  // A slot that no set fits although each position alone fits: named with its first position.
  for (int slot = 0; slot < SIM_SLOTS; ++slot) {
    if (r.slot[slot] != SIM_AUTO_IMPOSSIBLE) continue;
    *text = std::string(t.impossibleHead) + SIM_SLOT_LETTERS[slot] + " " + t.impossibleTail + " Section 1; Section 1";
    return true;
  }
  *text = t.conflictCaption;
  return true;
}
