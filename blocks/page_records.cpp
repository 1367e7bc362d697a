// The records the operating pages share with the blocks and the firmware.
#include "blocks/page_records.h"

uint8_t OpAlarmDisplayFlags[2];
OpDisplaySwitchRecord OpDisplaySwitches;
uint8_t OpIdleShown;
uint16_t OpPageRequest;
uint16_t OpShownPageBlock;
uint32_t OpTouchPressed;
int16_t OpTouchX, OpTouchY;
