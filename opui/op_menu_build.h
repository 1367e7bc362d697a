// Building blocks of the menus that the menu tree, the list pages and the info pages make
// at run time: the item records, a menu with room for its items, and the builder that
// gives every menu exactly one last item. For the operating interface's own sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "opui/op_input.h"
#include "opui/op_links.h"
#include "opui/op_menu.h"
#include "runtime/fw_text_ids.h"

namespace opmenu {

inline int noCallback() { return 0; }

constexpr uint8_t kNoEngineeringBit = 0x04;   // engineering-state flags, bit 2
constexpr uint16_t kOnline = 2;
constexpr uint16_t kOffline = 1;

constexpr OpMenuItem handlerItem(uint16_t id, uint16_t text, OpMenuHandler fn, uint16_t more = 0) {
  return OpMenuItem{static_cast<uint16_t>(OP_MENU_HANDLER | more), id, nullptr, 0, text,
                    nullptr, fn, nullptr, nullptr};
}
constexpr OpMenuItem subItem(uint16_t id, uint16_t text, const OpMenuHeader* menu, uint16_t more = 0) {
  return OpMenuItem{more, id, nullptr, 0, text, nullptr, nullptr, nullptr, menu};
}
constexpr OpMenuItem inertItem(uint16_t id, uint16_t text, uint16_t more = 0) {
  return subItem(id, text, nullptr, more);
}
constexpr OpMenuItem valueItem(uint16_t id, uint16_t text, FbValueEntry* entry) {
  return OpMenuItem{OP_MENU_VALUE, id, entry, 0, text, nullptr, nullptr, nullptr, nullptr};
}
constexpr OpMenuHeader menuHeader(uint16_t pageId, uint16_t text, std::span<const OpMenuItem> items) {
  return OpMenuHeader{OP_MENU_HEADER, pageId, noCallback, 0, text, items.data(),
                      static_cast<uint16_t>(items.size())};
}

// A run-time menu: its header and room for its items.
template <size_t N>
struct RuntimeMenu {
  OpMenuHeader header;
  OpMenuItem items[N];
};

// Builds a run-time menu: items beyond the room are dropped, the last one gets OP_MENU_LAST,
// and a menu left without items gets an "Ende" item, so that every menu has its end.
class MenuBuilder {
 public:
  template <size_t N>
  MenuBuilder(RuntimeMenu<N>& menu, uint16_t pageId, uint16_t title)
      : MenuBuilder(menu.header, menu.items, N, pageId, title) {}
  MenuBuilder(OpMenuHeader& header, OpMenuItem* items, size_t capacity, uint16_t pageId, uint16_t title)
      : header_(header), items_(items), capacity_(static_cast<uint16_t>(capacity)) {
    header_ = OpMenuHeader{OP_MENU_HEADER, pageId, noCallback, 0, title, items_, 0};
  }
  // The item added, null when the menu is full.
  OpMenuItem* add(const OpMenuItem& item) {
    if (n_ >= capacity_) return nullptr;
    items_[n_] = item;
    items_[n_].flags = static_cast<uint16_t>(item.flags & ~OP_MENU_LAST);
    return &items_[n_++];
  }
  uint16_t count() const { return n_; }
  bool full() const { return n_ >= capacity_; }
  const OpMenuHeader* finish() {
    if (n_ == 0) add(inertItem(0, FW_TXT_END));
    items_[n_ - 1].flags |= OP_MENU_LAST;
    header_.capacity = n_;
    return &header_;
  }

 private:
  OpMenuHeader& header_;
  OpMenuItem* items_;
  uint16_t capacity_;
  uint16_t n_ = 0;
};

// Shows a menu one level deeper: the page id, the way back (not at depth 10: the menu is
// still shown), the menu.
inline int openMenu(const OpMenuHeader* menu, uint16_t pageId) {
  g_opPage.pageId = pageId;
  OP_MenuPush();
  return OP_MenuShow(menu) ? 1 : 0;
}

// The device has no engineering to show: bit 2 of the engineering-state flags, or the
// service state.
inline bool noEngineering() {
  return (OP_LinkEngineeringState() & kNoEngineeringBit) != 0 || OP_LinkServiceState() != 0;
}

inline bool online() { return OP_LinkOperatingState() == kOnline; }

}  // namespace opmenu
