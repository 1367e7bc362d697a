#include "blocks/register_all.h"

#include "blocks/arith/arith.h"
#include "blocks/io/io.h"
#include "blocks/logic/logic.h"
#include "blocks/ctrl/ctrl.h"

void BLK_RegisterAllTypes() {
  BLK_RegisterArithTypes();
  BLK_RegisterLogicTypes();
  BLK_RegisterIoTypes();
  BLK_RegisterCtrlTypes();
}
