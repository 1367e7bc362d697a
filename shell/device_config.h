// The rules behind the device and module dialogs, without a desktop toolkit: the dialogs'
// texts in three languages, the order number built from the device dialog's choices and read
// back from its two editable fields, what the dialogs' OK does to the device configuration
// and the [Device] keys, and the analysis behind the Auto Config button.
#pragma once

#include <cstdint>
#include <string>

#include "shell/sim_services.h"

// --- Texts ---------------------------------------------------------------------------------
constexpr int SIM_INTERFACE_CHOICES = 5;
struct SimDeviceTexts {
  const char* variants[2];
  const char* relays[2];
  const char* power[2];
  const char* commOptions[SIM_INTERFACE_CHOICES];
  const char* slotChoices[3];
  const char* versionEntry;             // "%d": the firmware's operating version
  // Labels of the device dialog.
  const char* variantLabel;
  const char* versionLabel;
  const char* relaysLabel;
  const char* powerLabel;
  const char* interfaceLabel;
  const char* slotLabels[2];            // slot B, slot C
  const char* orderLabel;
  const char* moduleCodeLabel;
  const char* autoConfigLabel;
  const char* autoConfigButton;
  const char* cancel;
  // The module dialog.
  const char* moduleCaption;
  // Auto Config's boxes.
  const char* uniqueCaption;
  const char* notUniqueText;
  const char* conflictCaption;
  const char* impossibleHead;           // "... Slot "
  const char* impossibleTail;           // " ... ."
  const char* doubleHead;               // "... Slot "
};
// The texts of a language (0..2; others read as German). Latin-1.
const SimDeviceTexts& SimDeviceTextsOf(int language);

// --- Order number --------------------------------------------------------------------------
// The device dialog's choices: the combos' indices and the connection digit.
struct SimDeviceChoice {
  int variant = 0;
  int relays = 0;
  int power = 0;
  int commOpt = 0;
  int slotB = 0;
  int slotC = 0;
  int anschluss = 0;
};
// The choices the configuration stands for (a value outside a combo's range is kept as it is:
// the texts then show it, and OK writes nothing for it).
SimDeviceChoice SimDeviceChoiceOf(const SimDeviceConfig& device);

struct SimOrderTexts {
  std::string head;      // "MX74"
  std::string three;     // "2" Anschluss and the relays/power digit
  std::string five;      // interface, variant, slot B, slot C, 0
  std::string modules;   // "Z74-K-..." of the module fitting
};
SimOrderTexts SimOrderTextsOf(const SimDeviceChoice& choice, const SimDeviceConfig& device);

// Reads the two editable fields into the choices: true when every digit examined is in its
// range (units of the three-digit field 0..3, interface 0..4, variant 0..1, slots 0..2);
// false leaves the choices as they were. A field must hold digits only, at most three and
// five of them: an empty field, a sign, a blank, a letter or a longer text is refused.
bool SimParseOrderDigits(const std::string& three, const std::string& five, SimDeviceChoice* choice);

// --- OK of the dialogs -------------------------------------------------------------------------
// What the device dialog's OK changed.
enum SimDeviceChange : unsigned {
  SIM_CHANGED_ANY = 1,
  SIM_CHANGED_SLOT_B = 2,   // the slot B view is to be laid out again
  SIM_CHANGED_SLOT_C = 4,
  SIM_CHANGED_RELAIS = 8,   // the slot P view
  SIM_CHANGED_KSX = 16,     // the firmware's restart flag is to be set
};
// Stores each choice that differs from the configuration and writes its [Device] key, in the
// order Ksx, Anschluss, Relais (P3 and P4 follow), Power, CommOpt, SlotB (B1..B4 follow),
// SlotC (C1..C4 follow). The SimDeviceChange bits.
unsigned SimApplyDeviceChoice(const SimDeviceChoice& choice, SimDeviceConfig* device);

// The module dialog's OK: `chosen` holds the type chosen at each position A1..P4, or -1 where
// the list had no selection (the position keeps its type). A slot B or C that is neither card
// nor rack gets its four modules cleared. True when a module changed (nothing is written).
bool SimApplyModuleChoice(const int chosen[16], SimDeviceConfig* device);

// --- Auto Config ---------------------------------------------------------------------------------
// What the loaded engineering asks of one module position: the class its fixed I/O block
// expects (low byte, with a second acceptable class in the high byte), whether two blocks
// claim it, and whether the block is one whose class the analysis cannot decide alone.
struct SimPositionClaim {
  uint16_t expected = 0;      // 0: no block asks for a module here
  bool doubled = false;
  bool ambiguous = false;
};

constexpr int32_t SIM_AUTO_IMPOSSIBLE = -1;
struct SimAutoConfigResult {
  int32_t slot[4];            // A (0 or -1), SlotB, SlotC, Relais + 1; -1: impossible
  int32_t module[16];         // A1..P4; -1: double assignment or no module fits there
};
enum SimAutoConfigOutcome : int { SIM_AUTO_CONFLICT = 0, SIM_AUTO_FITTING = 1, SIM_AUTO_NOT_UNIQUE = 2 };

// The fitting for the claims of the sixteen positions: per slot the first option set whose
// lists take every claimed class (slot B and C: the rack, then the card; nothing claimed: not
// fitted; slot P: without the relays, then with them). A position nobody claims gets its
// list's only type, else "empty" or the list's first. SIM_AUTO_CONFLICT when a slot has no
// fitting set or a position is claimed twice.
int SimAutoConfigFrom(const SimPositionClaim claims[16], SimAutoConfigResult* result);
// Takes a fitting into the configuration and writes at once "ModulA1".."ModulA4", "SlotB",
// "ModulB1".."ModulB4", "SlotC", "ModulC1".."ModulC4", "Relais", "ModulP1".."ModulP4".
void SimTakeAutoConfig(const SimAutoConfigResult& result, SimDeviceConfig* device);
// The box that follows an analysis, when there is one: caption and text in the language.
bool SimAutoConfigMessage(int outcome, const SimAutoConfigResult& result, int language, std::string* caption,
                          std::string* text);
