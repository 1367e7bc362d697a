// The resources of the trend viewer as its language libraries hold them: strings, menus,
// dialog texts and the tool bar, each asked for by its id. One library per language letter
// ("Kurvan2g.so", "Kurvan2e.so", ...) beside the program; each exports one C function,
// KurvanResources, that returns its table. Texts are 8-bit Latin-1 bytes.
#pragma once

#include <cstdint>

constexpr uint32_t KURVAN_RESOURCE_VERSION = 1;
constexpr const char* KURVAN_RESOURCE_SYMBOL = "KurvanResources";

struct KurvanString {
  int id;
  const char* text;
};

// A menu as a flat list. Level 0 opens a drop-down menu (its id is 0); level 1 is an item of
// the last drop-down menu: a command (id and text; "\t" separates the accelerator, e.g.
// "&Open...\tCtrl+O"), or a separator (id 0, empty text).
struct KurvanMenuItem {
  int level;
  int id;
  const char* text;
};
struct KurvanMenu {
  int id;
  const KurvanMenuItem* items;
  int count;
};

// A dialog's title and the texts of its controls by control id (1 OK, 2 Cancel, 9 Help).
struct KurvanDialogItem {
  int id;
  const char* text;
};
struct KurvanDialog {
  int id;
  const char* title;
  const KurvanDialogItem* items;
  int count;
};

// A tool bar: its buttons' command ids in order, 0 for a gap.
struct KurvanToolBar {
  int id;
  const int* commands;
  int count;
};

struct KurvanResourceTable {
  uint32_t version;  // KURVAN_RESOURCE_VERSION
  char letter;       // the library's language letter
  const KurvanString* strings;
  int stringCount;
  const KurvanMenu* menus;
  int menuCount;
  const KurvanDialog* dialogs;
  int dialogCount;
  const KurvanToolBar* toolBars;
  int toolBarCount;
};

using KurvanResourcesFn = const KurvanResourceTable* (*)();

// Lookups in one table; null when the id is not there.
const char* KurvanFindString(const KurvanResourceTable* table, int id);
const KurvanMenu* KurvanFindMenu(const KurvanResourceTable* table, int id);
const KurvanDialog* KurvanFindDialog(const KurvanResourceTable* table, int id);
const char* KurvanFindDialogText(const KurvanDialog* dialog, int controlId);
const KurvanToolBar* KurvanFindToolBar(const KurvanResourceTable* table, int id);
