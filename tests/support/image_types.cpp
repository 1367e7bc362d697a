#include "support/image_types.h"

#include "blocks/arith/arith.h"
#include "runtime/fb_store.h"

namespace {

void noop() {}

constexpr float kAllFloats[] = {1.5f, -2.0f, 3.25f};
constexpr uint16_t kAllWords[] = {7, 8, 9};
constexpr uint32_t kAllLongs[] = {0x12345678u, 5u};
constexpr uint16_t kAllValues[] = {11, 12, 13};
constexpr const char* kAllTexts[] = {"ALLG", "second text 16ch"};
constexpr uint16_t kAllState[] = {0xBEEF, 0x0042};
constexpr FbTemplate kAllTemplate{
    .size = 4 + (1 + 2 * 2) + (1 + 3) + (1 + 2 * 2) + (1 + 2 * 1) + (1 + 4 * 3) + (1 + 2 * 3) +
            (1 + 4 * 2) + (1 + 2 * 3) + (1 + 8 * 2) + (1 + 2) + (1 + 5) + 2,
    .type = IMG_TYPE_ALL,
    .analogOutputs = 2,
    .digitalOutputs = 3,
    .analogInputs = 2,
    .digitalInputs = 1,
    .floatParams = kAllFloats,
    .wordParams = kAllWords,
    .longValues = kAllLongs,
    .wordValues = kAllValues,
    .texts = kAllTexts,
    .stateWords = kAllState,
    .workWords = 5,
};

constexpr const char* kBigTexts[] = {"BIG"};
constexpr FbTemplate kBigTemplate{
    .size = 4 + 3 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + (1 + 8) + 1 + (1 + 2500) + 2,
    .type = IMG_TYPE_BIG,
    .analogOutputs = 1,
    .texts = kBigTexts,
    .workWords = 2500,
};

constexpr const char* kWideTexts[] = {"WIDE"};
constexpr FbTemplate kWideTemplate{
    .size = 4 + (1 + 50) + (1 + 25) + (1 + 50) + (1 + 50) + 1 + 1 + 1 + 1 + (1 + 8) + 1 + 1 + 2,
    .type = IMG_TYPE_WIDE,
    .analogOutputs = 25,
    .digitalOutputs = 25,
    .analogInputs = 25,
    .digitalInputs = 25,
    .texts = kWideTexts,
};

void add(uint16_t type, const FbTemplate* t) {
  FB_RegisterType(type, FB_TypeFromTemplate(t, noop, noop, nullptr, nullptr,
                                            FB_COMMON_BLOCK_RANGES, 0, 0, 0));
}

}  // namespace

void IMG_RegisterTestTypes() {
  FB_ClearTypeTable();
  FB_ClearStore();
  BLK_RegisterArithTypes();
  add(IMG_TYPE_ALL, &kAllTemplate);
  add(IMG_TYPE_BIG, &kBigTemplate);
  add(IMG_TYPE_WIDE, &kWideTemplate);
}
