// Steps shared by the visualisation types, and the family's registration.
#include <algorithm>

#include "blocks/visual/visual_internal.h"
#include "runtime/fb_blockdata.h"

namespace vis {

namespace {

void headerInputs(OpBlockPageData& h, const FbLayout& L, unsigned hideInput, int lockInput) {
  h.hide = BLK_DigitalIn(L, hideInput) ? 1 : 0;
  if (lockInput >= 0) h.lock = BLK_DigitalIn(L, static_cast<unsigned>(lockInput)) ? 1 : 0;
}

}  // namespace

void initHeader(OpBlockPageData& h, const FbLayout& L, uint16_t type, unsigned hideInput,
                int lockInput, void* record) {
  h = OpBlockPageData{};
  h.type = type;
  headerInputs(h, L, hideInput, lockInput);
  g_fbStore.list[L.block].pageData = record;
}

void runHeader(OpBlockPageData& h, const FbLayout& L, unsigned hideInput, int lockInput) {
  headerInputs(h, L, hideInput, lockInput);
  h.updated = 1;
}

void copyText(char (&to)[FB_TEXT_LEN], const FbLayout& L, unsigned k) {
  if (k < L.texts) {
    FW_MemCopy(to, L.text + FB_TEXT_LEN * k, FB_TEXT_LEN);
  } else {
    FW_MemSet(to, ' ', FB_TEXT_LEN);
  }
}

void copyShortText(char (&to)[8], const FbLayout& L, unsigned k) {
  FW_MemSet(to, 0, sizeof to);
  if (k < L.texts) FW_MemCopy(to, L.text + FB_TEXT_LEN * k, 6);
  FW_TrimRight(to);
}

void takeRange(uint16_t block, uint16_t input, const FwFloatLimit& record, FbU32& low,
               FbU32& high, FbF32& min, FbF32& max) {
  FbF32 *l1 = nullptr, *h1 = nullptr;
  const uint32_t lowHandle = FB_GetAllpLimits(block, input, &l1, &h1) ? BLK_HandleOf(l1) : 0;
  const uint32_t highHandle = lowHandle ? BLK_HandleOf(h1) : 0;
  low = highHandle ? lowHandle : 0;
  high = highHandle;
  if (highHandle) {
    refreshRange(low, high, min, max);
  } else {
    min = record.min;
    max = record.max;
  }
}

const FwFloatLimit* floatParamLimit(const FbLayout& L, unsigned k) {
  const FbTypeRecord* rec = FB_GetType(L.type);
  if (!rec || !rec->limits || k >= L.floatParams || k >= rec->limits->floatParams.size()) {
    return nullptr;
  }
  return &rec->limits->floatParams[k];
}

const FwShortLimit* wordParamLimit(const FbLayout& L, unsigned k) {
  const FbTypeRecord* rec = FB_GetType(L.type);
  if (!rec || !rec->limits || k >= L.wordParams || k >= rec->limits->wordParams.size()) {
    return nullptr;
  }
  return &rec->limits->wordParams[k];
}

// A value the page or an input hands to a parameter is checked against the parameter's
// limit record like a request: a refused one is not taken.
bool takeFloatParam(const FbLayout& L, unsigned k, float value) {
  const FwFloatLimit* rec = floatParamLimit(L, k);
  if (!rec || !FW_CheckFloatLimit(value, rec, L.block)) return false;
  if (L.fp[k].get() == value && L.fp[L.floatParams + k].get() == value) return false;
  L.fp[k] = value;
  L.fp[L.floatParams + k] = value;
  g_fbPending.floats[L.block] = 1;
  return true;
}

bool takeWordParam(const FbLayout& L, unsigned k, uint16_t value) {
  const FwShortLimit* rec = wordParamLimit(L, k);
  if (!rec || !FW_CheckShortLimit(static_cast<int16_t>(value), rec, L.block)) return false;
  if (L.wp[k] == value && L.wp[L.wordParams + k] == value) return false;
  L.wp[k] = value;
  L.wp[L.wordParams + k] = value;
  g_fbPending.words[L.block] = 1;
  return true;
}

}  // namespace vis

void BLK_RegisterVisualTypes() {
  vis::registerVwertType();
  vis::registerVbarType();
  vis::registerVparaType();
  vis::registerVtrendType();
  vis::registerVidleType();
}
