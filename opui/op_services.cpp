// The small services of the operating interface (the records it shares with the blocks are
// blocks/page_records.cpp).
#include "opui/op_services.h"

int OP_TestAndSetFlag(uint8_t* flag) {
  if (*flag) return 1;
  *flag = 1;
  return 0;
}
