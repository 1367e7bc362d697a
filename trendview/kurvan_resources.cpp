#include "trendview/kurvan_resources.h"

const char* KurvanFindString(const KurvanResourceTable* table, int id) {
  if (!table) return nullptr;
  for (int i = 0; i < table->stringCount; ++i)
    if (table->strings[i].id == id) return table->strings[i].text;
  return nullptr;
}

const KurvanMenu* KurvanFindMenu(const KurvanResourceTable* table, int id) {
  if (!table) return nullptr;
  for (int i = 0; i < table->menuCount; ++i)
    if (table->menus[i].id == id) return &table->menus[i];
  return nullptr;
}

const KurvanDialog* KurvanFindDialog(const KurvanResourceTable* table, int id) {
  if (!table) return nullptr;
  for (int i = 0; i < table->dialogCount; ++i)
    if (table->dialogs[i].id == id) return &table->dialogs[i];
  return nullptr;
}

const char* KurvanFindDialogText(const KurvanDialog* dialog, int controlId) {
  if (!dialog) return nullptr;
  for (int i = 0; i < dialog->count; ++i)
    if (dialog->items[i].id == controlId) return dialog->items[i].text;
  return nullptr;
}

const KurvanToolBar* KurvanFindToolBar(const KurvanResourceTable* table, int id) {
  if (!table) return nullptr;
  for (int i = 0; i < table->toolBarCount; ++i)
    if (table->toolBars[i].id == id) return &table->toolBars[i];
  return nullptr;
}
