#include "blocks/register_all.h"

#include "blocks/arith/arith.h"
#include "blocks/io/io.h"
#include "blocks/limit/limit.h"
#include "blocks/logger/logger.h"
#include "blocks/logic/logic.h"
#include "blocks/timefn/timefn.h"
#include "blocks/prog/prog.h"
#include "blocks/bus/bus.h"

void BLK_RegisterAllTypes() {
  BLK_RegisterArithTypes();
  BLK_RegisterLogicTypes();
  BLK_RegisterProgTypes();
  BLK_RegisterIoTypes();
  BLK_RegisterTimeFunctionTypes();
  BLK_RegisterLimitTypes();
  BLK_RegisterLoggerTypes();
  BLK_RegisterBusTypes();
}
