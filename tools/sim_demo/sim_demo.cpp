// A small firmware demo: builds a block network, runs it cycle by cycle and prints the
// block outputs. It stands in for the simulator program until the shell exists.
#include <cstdio>
#include <cstdlib>

#include "blocks/register_all.h"
#include "runtime/fb_store.h"

namespace {

void wire(uint16_t block, uint16_t input, uint16_t src, uint16_t out) {
  uint16_t* w = FB_GetWiring(block);
  w[FB_WIRE_ANALOG_COUNT + 1 + 2 * (input - 1)] = src;
  w[FB_WIRE_ANALOG_COUNT + 2 + 2 * (input - 1)] = out;
}

void setParam(uint16_t block, uint16_t index, float v) {
  FbF32* p;
  if (FB_GetFloatParamPtr(block, index, &p)) p[0] = v;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 10;
  BLK_RegisterAllTypes();
  FB_ClearStore();
  // Block 100: |0.5 * x - 3| fed by nothing (x = 0); block 101: |-2 * y100 + 1| of block 100.
  // Block 102 adds a running offset each cycle through its parameter a0.
  for (uint16_t b : {100, 101, 102}) {
    if (FB_CreateInstance(1, b) != 0) {
      std::fprintf(stderr, "cannot create block %u\n", b);
      return 1;
    }
  }
  setParam(100, 1, 0.5f);
  setParam(100, 2, -3.0f);
  wire(101, 1, 100, 1);
  setParam(101, 1, -2.0f);
  setParam(101, 2, 1.0f);
  wire(102, 1, 101, 1);
  if (uint16_t bad = FB_ResolveConnections()) {
    std::fprintf(stderr, "invalid wiring at block %u\n", bad);
    return 1;
  }
  std::printf("cycle   B100.Y1   B101.Y1   B102.Y1\n");
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    setParam(102, 2, -0.5f * static_cast<float>(cycle));
    for (uint16_t b : {100, 101, 102}) {
      g_fbStore.currentBlock = b;
      FB_GetType(FB_GetInstance(b)[FB_HDR_TYPE])->run();
    }
    FbF32 *y100, *y101, *y102;
    FB_GetAnalogOutputPtr(100, 1, &y100);
    FB_GetAnalogOutputPtr(101, 1, &y101);
    FB_GetAnalogOutputPtr(102, 1, &y102);
    std::printf("%5d %9.3f %9.3f %9.3f\n", cycle, y100->get(), y101->get(), y102->get());
  }
  return 0;
}
