#include "blocks/register_all.h"

#include "blocks/arith/arith.h"
#include "blocks/logic/logic.h"
#include "blocks/prog/prog.h"

void BLK_RegisterAllTypes() {
  BLK_RegisterArithTypes();
  BLK_RegisterLogicTypes();
  BLK_RegisterProgTypes();
}
