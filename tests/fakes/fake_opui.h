// Recording fake of the operating-interface services: firmware tests link it in place of
// the operating interface and check what the firmware asked of the display.
#pragma once

#include "fakes/call_log.h"
#include "opui/op_services.h"

CallLog& FakeOpuiLog();
