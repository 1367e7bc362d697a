// The block types that belong to the operating interface (user pages, message blocks, the
// display objects): their rows of the block-type table. Programs that link the operating
// interface call OP_RegisterBlockTypes beside BLK_RegisterAllTypes; the block library does
// not depend on the operating interface.
#pragma once

// Enters every row of the operating interface's block types.
void OP_RegisterBlockTypes();
