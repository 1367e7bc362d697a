#include "trendview/kurvan_resources.h"

namespace {

// The entry with the id in a table's array, or null.
template <typename T>
const T* FindById(const T* items, int count, int id) {
  for (int i = 0; items && i < count; ++i)
    if (items[i].id == id) return &items[i];
  return nullptr;
}

}  // namespace

const char* KurvanFindString(const KurvanResourceTable* table, int id) {
  const KurvanString* s = table ? FindById(table->strings, table->stringCount, id) : nullptr;
  return s ? s->text : nullptr;
}

const KurvanMenu* KurvanFindMenu(const KurvanResourceTable* table, int id) {
  return table ? FindById(table->menus, table->menuCount, id) : nullptr;
}

const KurvanDialog* KurvanFindDialog(const KurvanResourceTable* table, int id) {
  return table ? FindById(table->dialogs, table->dialogCount, id) : nullptr;
}

const char* KurvanFindDialogText(const KurvanDialog* dialog, int controlId) {
  const KurvanDialogItem* item = dialog ? FindById(dialog->items, dialog->count, controlId) : nullptr;
  return item ? item->text : nullptr;
}

const KurvanToolBar* KurvanFindToolBar(const KurvanResourceTable* table, int id) {
  return table ? FindById(table->toolBars, table->toolBarCount, id) : nullptr;
}
