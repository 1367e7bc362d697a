// A page of a test's own for a block type, for the lifetime of the override: the dispatcher
// looks pages up in a copy of the table in use with that type's row changed; the table in use
// before is put back at the end. Overrides nest (end them in reverse order, as scopes do).
#pragma once

#include <cstdint>
#include <vector>

#include "opui/op_blockpage_types.h"

class ScopedBlockPage {
 public:
  ScopedBlockPage(uint16_t type, const OpBlockPage* page)
      : previous_(g_opBlockPageTypes), rows_(previous_.begin(), previous_.end()) {
    for (OpBlockPageType& row : rows_) {
      if (row.type == type) row.page = page;
    }
    g_opBlockPageTypes = rows_;
  }
  ~ScopedBlockPage() { g_opBlockPageTypes = previous_; }
  ScopedBlockPage(const ScopedBlockPage&) = delete;
  ScopedBlockPage& operator=(const ScopedBlockPage&) = delete;

 private:
  std::span<const OpBlockPageType> previous_;
  std::vector<OpBlockPageType> rows_;
};
