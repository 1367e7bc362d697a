// Registers the rows of every block family in the block-type table.
#pragma once

void BLK_RegisterAllTypes();
