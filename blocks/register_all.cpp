#include "blocks/register_all.h"

#include "blocks/arith/arith.h"

void BLK_RegisterAllTypes() {
  BLK_RegisterArithTypes();
}
