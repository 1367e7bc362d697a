#include "blocks/register_all.h"

#include "blocks/arith/arith.h"
#include "blocks/ctrl/ctrl.h"
#include "blocks/io/io.h"
#include "blocks/limit/limit.h"
#include "blocks/logger/logger.h"
#include "blocks/select/select.h"
#include "blocks/timer/timer.h"
#include "blocks/curve/curve.h"
#include "blocks/trig/trig.h"
#include "blocks/logic/logic.h"
#include "blocks/timefn/timefn.h"
#include "blocks/prog/prog.h"
#include "blocks/bus/bus.h"
#include "blocks/exchange/exchange.h"
#include "blocks/info/info.h"
#include "blocks/profinet/profinet.h"
#include "blocks/csdo/csdo.h"
#include "blocks/visual/visual.h"
#include "blocks/remoteio/remoteio.h"

void BLK_RegisterAllTypes() {
  BLK_RegisterArithTypes();
  BLK_RegisterTimerTypes();
  BLK_RegisterLogicTypes();
  BLK_RegisterSelectTypes();
  BLK_RegisterCurveTypes();
  BLK_RegisterTrigTypes();
  BLK_RegisterProgTypes();
  BLK_RegisterBusTypes();
  BLK_RegisterIoTypes();
  BLK_RegisterTimeFunctionTypes();
  BLK_RegisterLimitTypes();
  BLK_RegisterLoggerTypes();
  BLK_RegisterExchangeTypes();
  BLK_RegisterInfoTypes();
  BLK_RegisterProfinetTypes();
  BLK_RegisterCtrlTypes();
  BLK_RegisterVisualTypes();
  BLK_RegisterCsdoTypes();
  BLK_RegisterRemoteIoTypes();
}
