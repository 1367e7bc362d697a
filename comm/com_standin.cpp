// Plain stand-ins for the device communication that is not built yet: there is no option
// card, and the serial driver reports no errors.
#include "comm/com_services.h"

void FW_OptionCardCycle() {}
uint8_t COM_SerialErrorFlags() { return 0; }
