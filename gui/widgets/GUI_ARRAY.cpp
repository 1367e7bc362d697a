// GUI_ARRAY: a growable array of variable-size items in handle memory. The array header
// holds the item count and the handle of the item table; the table holds one 32-bit item
// handle per item (0 = an item without data).
#include <cstring>

#include "gui/GUI_Private.h"
#include "gui/widgets/WIDGET.h"

namespace {

struct ArrayHeader {
  uint16_t NumItems;
  GUI_HMEM haHandle;  // table of NumItems item handles; 0 while empty
};

ArrayHeader* Header(GUI_ARRAY h) { return h ? static_cast<ArrayHeader*>(GUI_ALLOC_h2p(h)) : nullptr; }

GUI_HMEM* Table(const ArrayHeader* p) {
  return p->haHandle ? static_cast<GUI_HMEM*>(GUI_ALLOC_h2p(p->haHandle)) : nullptr;
}

// Handle of item `index`, 0 when out of range.
GUI_HMEM ItemHandle(GUI_ARRAY hArray, unsigned index) {
  ArrayHeader* p = Header(hArray);
  if (!p || index >= p->NumItems) return 0;
  return Table(p)[index];
}

}  // namespace

GUI_ARRAY GUI_ARRAY_Create() {
  GUI_LockGuard lock;
  return GUI_ALLOC_AllocZero(sizeof(ArrayHeader));
}

int GUI_ARRAY_GetNumItems(GUI_ARRAY hArray) {
  GUI_LockGuard lock;
  ArrayHeader* p = Header(hArray);
  return p ? p->NumItems : 0;
}

int GUI_ARRAY_AddItem(GUI_ARRAY hArray, const void* pData, int size) {
  GUI_LockGuard lock;
  if (!hArray) return 1;
  GUI_HMEM hItem = 0;
  if (size > 0) {
    hItem = pData ? GUI_ALLOC_AllocInit(pData, size) : GUI_ALLOC_AllocZero(size);
    if (!hItem) {
      GUI_ErrorOut("GUI_ARRAY:\nFailed to alloc buffer in GUI_ARRAY_AddItem()");
      return 1;
    }
  }
  int num = Header(hArray)->NumItems;
  if (num >= 0xFFFF) {
    GUI_ALLOC_Free(hItem);
    GUI_ErrorOut("GUI_ARRAY:\nFailed to alloc buffer in GUI_ARRAY_AddItem()");
    return 1;
  }
  GUI_HMEM hOld = Header(hArray)->haHandle;
  GUI_HMEM hNew = hOld ? GUI_ALLOC_Realloc(hOld, (num + 1) * int(sizeof(GUI_HMEM)))
                       : GUI_ALLOC_AllocZero(int(sizeof(GUI_HMEM)));
  if (!hNew) {
    GUI_ALLOC_Free(hItem);
    GUI_ErrorOut("GUI_ARRAY:\nFailed to alloc buffer in GUI_ARRAY_AddItem()");
    return 1;
  }
  ArrayHeader* p = Header(hArray);
  p->haHandle = hNew;
  Table(p)[num] = hItem;
  p->NumItems = uint16_t(num + 1);
  return 0;
}

GUI_HMEM GUI_ARRAY_SetItem(GUI_ARRAY hArray, unsigned index, const void* pData, int size) {
  GUI_LockGuard lock;
  ArrayHeader* p = Header(hArray);
  if (!p || index >= p->NumItems || size < 0) return 0;
  GUI_HMEM hItem = Table(p)[index];
  // The allocator rounds block sizes up; a block that the same request would give is kept.
  int have = GUI_ALLOC_GetSize(hItem);
  if (!hItem || have < size || have - size >= 16) {
    GUI_HMEM hNew = size ? GUI_ALLOC_AllocZero(size) : 0;
    if (size && !hNew) return 0;
    GUI_ALLOC_Free(hItem);
    hItem = hNew;
    Table(Header(hArray))[index] = hItem;
  }
  if (hItem && pData) std::memcpy(GUI_ALLOC_h2p(hItem), pData, size_t(size));
  return hItem;
}

GUI_HMEM GUI_ARRAY_GethItem(GUI_ARRAY hArray, unsigned index) {
  GUI_LockGuard lock;
  return ItemHandle(hArray, index);
}

void* GUI_ARRAY_GetpItem(GUI_ARRAY hArray, unsigned index) {
  GUI_LockGuard lock;
  GUI_HMEM h = ItemHandle(hArray, index);
  return h ? GUI_ALLOC_h2p(h) : nullptr;
}

bool GUI_ARRAY_InsertBlankItem(GUI_ARRAY hArray, unsigned index) {
  GUI_LockGuard lock;
  ArrayHeader* p = Header(hArray);
  if (!p) return false;
  int num = p->NumItems;
  if (index >= unsigned(num)) {
    GUI_ErrorOut("GUI_ARRAY_InsertItem:\nIllegal index in GUI_ARRAY_InsertBlankItem()");
    return false;
  }
  GUI_HMEM hNew = num < 0xFFFF ? GUI_ALLOC_AllocZero((num + 1) * int(sizeof(GUI_HMEM))) : 0;
  if (!hNew) {
    GUI_ErrorOut("GUI_ARRAY_InsertItem:\nFailed to alloc buffer in GUI_ARRAY_InsertBlankItem()");
    return false;
  }
  p = Header(hArray);
  GUI_HMEM* pNew = static_cast<GUI_HMEM*>(GUI_ALLOC_h2p(hNew));
  const GUI_HMEM* pOld = Table(p);
  std::memcpy(pNew, pOld, index * sizeof(GUI_HMEM));
  pNew[index] = 0;
  std::memcpy(pNew + index + 1, pOld + index, (num - index) * sizeof(GUI_HMEM));
  GUI_ALLOC_Free(p->haHandle);
  p = Header(hArray);
  p->haHandle = hNew;
  p->NumItems = uint16_t(num + 1);
  return true;
}

GUI_HMEM GUI_ARRAY_InsertItem(GUI_ARRAY hArray, unsigned index, int size) {
  GUI_LockGuard lock;
  if (!GUI_ARRAY_InsertBlankItem(hArray, index)) return 0;
  return GUI_ARRAY_SetItem(hArray, index, nullptr, size);
}

void GUI_ARRAY_DeleteItem(GUI_ARRAY hArray, unsigned index) {
  GUI_LockGuard lock;
  ArrayHeader* p = Header(hArray);
  if (!p || index >= p->NumItems) return;
  GUI_HMEM* pTable = Table(p);
  GUI_HMEM hItem = pTable[index];
  int num = p->NumItems;
  std::memmove(pTable + index, pTable + index + 1, (num - 1 - index) * sizeof(GUI_HMEM));
  pTable[num - 1] = 0;
  p->NumItems = uint16_t(num - 1);
  GUI_ALLOC_Free(hItem);
}

void* GUI_ARRAY_ResizeItem(GUI_ARRAY hArray, unsigned index, int size) {
  GUI_LockGuard lock;
  if (size <= 0) return nullptr;
  GUI_HMEM hNew = GUI_ALLOC_AllocZero(size);
  if (!hNew) return nullptr;
  ArrayHeader* p = Header(hArray);
  if (!p || index >= p->NumItems) {
    GUI_ALLOC_Free(hNew);
    return nullptr;
  }
  GUI_HMEM hOld = Table(p)[index];
  if (hOld) {
    int copy = GUI_ALLOC_GetSize(hOld);
    if (copy > size) copy = size;  // never read past the old item
    std::memcpy(GUI_ALLOC_h2p(hNew), GUI_ALLOC_h2p(hOld), size_t(copy));
  }
  Table(Header(hArray))[index] = hNew;
  GUI_ALLOC_Free(hOld);
  return GUI_ALLOC_h2p(hNew);
}

void GUI_ARRAY_Delete(GUI_ARRAY hArray) {
  GUI_LockGuard lock;
  ArrayHeader* p = Header(hArray);
  if (!p) return;
  int num = p->NumItems;
  if (p->haHandle) {
    GUI_ALLOC_FreePtrArray(Table(p), num);
    GUI_ALLOC_Free(Header(hArray)->haHandle);
  }
  GUI_ALLOC_Free(hArray);
}
