// Fuzz target: the trend-file reader. A file that loads must give a record whose layout
// holds, whose samples read back within the rings, and which saves into a file that loads
// again to the same record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "trendview/kurvex/trend_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KurvanHandle h = 0;
  if (TrendFileParse(data, size, 0, &h) != TREND_FILE_OK) {
    if (h != 0) std::abort();
    return 0;
  }
  const uint8_t* rec = KurvanLock(h);
  TrendLayout l;
  if (!rec || !TrendCheckLayout(rec, KurvanBlockBytes(h), &l)) std::abort();
  const unsigned head = TrendGetU16(rec, TREND_REC_HEAD), valid = TrendGetU16(rec, TREND_REC_VALID);
  volatile float sink = 0;
  for (unsigned k = 0; k < valid; ++k) {
    const unsigned slot = TrendSlotBefore(head, k, l.ring);
    for (unsigned i = 0; i < l.analog; ++i) sink = sink + TrendAnalogForDrawing(rec, l, i, slot);
    for (unsigned j = 0; j < l.digital; ++j) sink = sink + TrendDigitalForDrawing(rec, l, j, slot);
    sink = sink + static_cast<float>(TrendSampleTime(rec, l, k));
  }
  std::vector<uint8_t> file;
  if (TrendFileEncode(rec, KurvanBlockBytes(h), &file) != TREND_FILE_OK) std::abort();
  KurvanUnlock(h);
  KurvanHandle again = 0;
  if (TrendFileParse(file.data(), file.size(), 0, &again) != TREND_FILE_OK) std::abort();
  const uint8_t* a = KurvanLock(again);
  rec = KurvanLock(h);
  if (!a || !rec || std::memcmp(a + 276, rec + 276, l.size - 8 - 276) != 0) std::abort();
  KurvanUnlock(again);
  KurvanUnlock(h);
  KurvanDestroy(again);
  KurvanDestroy(h);
  return 0;
}
