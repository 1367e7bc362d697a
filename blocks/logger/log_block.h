// Steps the logger blocks share: finding a block's own state, the enable rule and input
// reads.
#pragma once

#include <cstdint>

#include "runtime/fb_store.h"

// The own state of the block whose groups `L` holds, when the block is of `type` and its
// work words can hold the state; else null.
template <class State>
State* LOG_OwnState(const FbLayout& L, uint16_t type) {
  if (L.type != type || !L.work || L.workWords * 2u < sizeof(State)) return nullptr;
  return reinterpret_cast<State*>(L.work);
}

template <class State>
State* LOG_OwnState(uint16_t block, uint16_t type) {
  FbLayout L;
  if (!FB_GetLayout(block, &L)) return nullptr;
  return LOG_OwnState<State>(L, type);
}

// Enable rule of LOGGER and EVTLOG: logging needs the SD card and base unit '1' (order-code
// digit d[3]). Otherwise the analog output shows -1.0 (no card) or -2.0 (another base unit),
// "run" = 0, "error" = 1, and the result is false.
bool LOG_LoggingEnabled(FbLayout& L);

// Digital input i (0-based) and whether it has a source.
inline uint16_t LOG_Din(const FbLayout& L, unsigned i) { return FB_ReadDigitalRef(L.di[i]); }
inline bool LOG_DigitalWired(const FbLayout& L, unsigned i) { return L.di[i] != FB_REF_ZERO; }
inline bool LOG_AnalogWired(const FbLayout& L, unsigned i) { return L.ai[i] != FB_REF_ZERO; }

// Digital outputs of LOGGER and EVTLOG.
enum : unsigned { LOG_OUT_RUN = 0, LOG_OUT_ERROR = 1 };
