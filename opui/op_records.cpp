// The records the operating interface shares with the firmware and the blocks. One source for
// the operating interface and for each stand-in of it (the tests' fake, the headless tools'
// display), so that every program has the same records.
#include "opui/op_services.h"

uint8_t OpAlarmDisplayFlags[2];
OpDisplaySwitchRecord OpDisplaySwitches;
uint8_t OpIdleShown;
uint16_t OpPageRequest;
uint16_t OpShownPageBlock;
uint32_t OpTouchPressed;
int16_t OpTouchX, OpTouchY;
