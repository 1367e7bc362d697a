#include "opui/op_blocktypes.h"

#include "opui/op_objects.h"
#include "opui/op_objects2.h"
#include "opui/op_userpage.h"
#include "opui/op_valarm.h"

void OP_RegisterBlockTypes() {
  OP_RegisterUserPageTypes();
  OP_RegisterObjectTypes();
  OP_RegisterAlarmTypes();
  OP_RegisterDrawnObjectTypes();
}
