#include "opui/op_blocktypes.h"

#include "opui/op_valarm.h"

void OP_RegisterBlockTypes() {
  OP_RegisterAlarmTypes();
}
