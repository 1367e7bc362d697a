// The dispatcher's type table: which page each block type shows. The program uses the
// built-in table from start to end; a test or a benchmark that needs a page of its own for a
// type installs a table for its own time with the scoped override of
// tests/support/block_page_override.h, which puts the table in use back when it ends.
#pragma once

#include <span>

#include "opui/op_blockpage.h"

// The built-in table: the families' pages.
std::span<const OpBlockPageType> OP_BuiltinBlockPageTypes();
// The table OP_FindBlockPage looks pages up in (the built-in one unless a test installed its own).
extern std::span<const OpBlockPageType> g_opBlockPageTypes;
