#include "blocks/register_all.h"

#include "blocks/arith/arith.h"
#include "blocks/io/io.h"
#include "blocks/limit/limit.h"
#include "blocks/logic/logic.h"
#include "blocks/timefn/timefn.h"
#include "blocks/select/select.h"
#include "blocks/curve/curve.h"
#include "blocks/trig/trig.h"

void BLK_RegisterAllTypes() {
  BLK_RegisterArithTypes();
  BLK_RegisterLogicTypes();
  BLK_RegisterIoTypes();
  BLK_RegisterTimeFunctionTypes();
  BLK_RegisterLimitTypes();
  BLK_RegisterSelectTypes();
  BLK_RegisterCurveTypes();
  BLK_RegisterTrigTypes();
}
