// The small services of the operating interface and the records it shares with the blocks.
#include "opui/op_services.h"

uint8_t OpAlarmDisplayFlags[2];
OpDisplaySwitchRecord OpDisplaySwitches;
uint8_t OpIdleShown;
uint16_t OpPageRequest;
uint16_t OpShownPageBlock;
uint32_t OpTouchPressed;
int16_t OpTouchX, OpTouchY;

void OP_EmptyHook() {}
void OP_EmptyStub() {}

int OP_TestAndSetFlag(uint8_t* flag) {
  if (*flag) return 1;
  *flag = 1;
  return 0;
}
