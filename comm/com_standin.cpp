// Plain stand-ins for the device communication that is not built yet: the bus has no nodes,
// there are no remote modules and no option card, and the serial driver reports no errors.
#include "comm/com_services.h"

void COM_BusCycle() {}
void COM_BusReset() {}
void COM_ScanIoModules(int32_t) {}
void COM_ExchangeIoModules() {}
void FW_OptionCardCycle() {}
uint8_t COM_SerialErrorFlags() { return 0; }
