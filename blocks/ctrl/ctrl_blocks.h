// Internal to the controller blocks: what the three types' handlers share. Each type is
// described by one row of slot positions, so that one init, one run and one parameter
// handler serve all three.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "blocks/ctrl/ctrl.h"
#include "blocks/ctrl/ctrl_ext.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

// Digital inputs by meaning (CONTR's order); PIDMA lacks `pi/p`, `d ovc+` and `d ovc-`.
enum CtrlDi : uint8_t {
  CTRL_DI_HIDE, CTRL_DI_LOCK, CTRL_DI_INC, CTRL_DI_DEC, CTRL_DI_XF, CTRL_DI_YPF, CTRL_DI_AM,
  CTRL_DI_W2, CTRL_DI_WEWI, CTRL_DI_PIP, CTRL_DI_DOVCP, CTRL_DI_DOVCM, CTRL_DI_TRACK,
  CTRL_DI_Y2, CTRL_DI_OFF, CTRL_DI_SMHM, CTRL_DI_OSTART, CTRL_DI_WSTOP, CTRL_DI_GROFF,
  CTRL_DI_RSTART, CTRL_DI_OHIDE, CTRL_DI_OPLOCK, CTRL_DI_COUNT
};
// Digital outputs by meaning; PIDMA lacks `pi/p` and `o stab`.
enum CtrlDo : uint8_t {
  CTRL_DO_Y1, CTRL_DO_Y2, CTRL_DO_CFAIL, CTRL_DO_OFF, CTRL_DO_AM, CTRL_DO_YY2, CTRL_DO_WEWI,
  CTRL_DO_PIP, CTRL_DO_ORUN, CTRL_DO_OSTAB, CTRL_DO_OERR, CTRL_DO_XWSUP, CTRL_DO_COUNT
};
// Analog inputs and outputs shared by every type (0-based).
enum : uint8_t {
  CTRL_AI_X1 = 0, CTRL_AI_X2, CTRL_AI_X3, CTRL_AI_WEXT, CTRL_AI_OVCP, CTRL_AI_OVCM,
  CTRL_AI_YP, CTRL_AI_YHM, CTRL_AI_YADD, CTRL_AI_SHARED
};
enum : uint8_t {
  CTRL_AO_WEFF = 0, CTRL_AO_X, CTRL_AO_Y, CTRL_AO_XW, CTRL_AO_W, CTRL_AO_YOUT1, CTRL_AO_YOUT2,
  CTRL_AO_SHARED
};
// Float parameters that every type has, by meaning.
enum CtrlFp : uint8_t {
  CTRL_FP_W0, CTRL_FP_W100, CTRL_FP_W2, CTRL_FP_GRW_UP, CTRL_FP_GRW_DOWN, CTRL_FP_GRW2,
  CTRL_FP_N0, CTRL_FP_A, CTRL_FP_TPULS, CTRL_FP_TM, CTRL_FP_Y2, CTRL_FP_YMIN, CTRL_FP_YMAX,
  CTRL_FP_Y0, CTRL_FP_DYOPT, CTRL_FP_COUNT
};
// Configuration words by meaning; PIDMA lacks `CDiff`, `OMode` and `OCond`.
enum CtrlWv : uint8_t {
  CTRL_WV_CFUNC, CTRL_WV_CTYPE, CTRL_WV_SPFUNC, CTRL_WV_CMODE, CTRL_WV_CDIFF, CTRL_WV_CFAIL,
  CTRL_WV_COVC, CTRL_WV_WTRAC, CTRL_WV_RATIO, CTRL_WV_XDP, CTRL_WV_DISP, CTRL_WV_OMODE,
  CTRL_WV_OCOND, CTRL_WV_COUNT
};
// 4-byte values (floats).
enum : uint8_t { CTRL_LV_XN0 = 0, CTRL_LV_XN100 = 1, CTRL_LV_SFAC = 2, CTRL_LV_COUNT = 3 };

constexpr uint8_t CTRL_NONE = 0xFF;   // a slot the type does not have

// Change classes of the float parameters: what a change marks for the core.
enum : uint8_t {
  CTRL_CC_NONE = 0,
  CTRL_CC_GRADIENT = 1,    // gradient marker
  CTRL_CC_RAMP = 2,        // ramp restart
  CTRL_CC_REINIT = 3,      // output re-initialise
  CTRL_CC_RELOAD = 4,      // parameter-set reload
  CTRL_CC_SET = 0x10,      // | set index: the changed-set byte
  CTRL_CC_KIND = 0x1F,     // the class without the flag below
  CTRL_CC_HAND = 0x80,     // PIDMA: also ends the adoption of tuned parameters
};

// Where a type keeps what the shared handlers use.
struct CtrlTypeDesc {
  uint16_t type;
  bool pidma;
  uint8_t sets;            // parameter sets in CtrlParams (CONTR+: 6)
  uint8_t aiParNo, aiCasc; // analog inputs
  uint8_t aoParNo, aoBlNo; // analog outputs
  std::array<uint8_t, CTRL_DI_COUNT> di;
  std::array<uint8_t, CTRL_DO_COUNT> dout;
  std::array<uint8_t, CTRL_FP_COUNT> fp;
  std::array<uint8_t, CTRL_WV_COUNT> wv;
  uint8_t wpWBlock, wpPOpt;
  uint8_t firstSetFloat;   // first float of the parameter sets (PIDMA: `Kp`)
  const uint8_t* floatClasses;
  // Whole sets: 4000 (words from wholeFirstWord, floats 0..21), 4001.. (set floats).
  uint8_t wholeFirstWord, wholeWords;
  uint8_t setFirstFloat, setFloats;
};

// The row of a controller type, or null.
const CtrlTypeDesc* CTRL_DescOf(uint16_t type);

// What an output function (`CFunc` in CONTR's numbering) implies.
struct CtrlFunctionRow {
  float yLow, yHigh;        // limits of Ymin and Ymax
  uint8_t failMax, ovcMax;  // largest `CFail`, `COVC`
  bool twoSided;            // output display -100..100
  bool resetNegative;       // a new function resets Ymin/Ymax to -100/100 (else 0/100)
};
// `CFunc` of a type in CONTR's numbering (PIDMA numbers its functions apart).
uint8_t CTRL_ContrFunction(const CtrlTypeDesc& d, uint16_t cfunc);
// The row of a function in CONTR's numbering (an unknown one reads as "Cont").
const CtrlFunctionRow& CTRL_FunctionRow(uint8_t function);

// Work words of the controller types: the block state at the first 8-byte boundary of the
// work words (the slack of that boundary included); PIDMA's extension record follows the
// state at its own alignment.
constexpr size_t CTRL_STATE_ALIGN = alignof(CtrlBlockState);
constexpr size_t CTRL_EXT_OFFSET =
    (sizeof(CtrlBlockState) + alignof(CtrlExtension) - 1) / alignof(CtrlExtension) * alignof(CtrlExtension);
constexpr uint16_t CTRL_WORK_WORDS =
    static_cast<uint16_t>((sizeof(CtrlBlockState) + CTRL_STATE_ALIGN - 2 + 1) / 2);
constexpr uint16_t CTRL_PIDMA_WORK_WORDS =
    static_cast<uint16_t>((CTRL_EXT_OFFSET + sizeof(CtrlExtension) + CTRL_STATE_ALIGN - 2 + 1) / 2);
static_assert(alignof(CtrlExtension) <= CTRL_STATE_ALIGN);
// The engineering image records each instance's work-word count and a load takes an instance
// only when the count is the type's: a compiler or flag change that moved the native records
// would make every stored controller unreadable. The counts and what they are built from are
// pinned here, so that such a change stops the build instead.
static_assert(sizeof(CtrlBlockState) == 1308 && CTRL_STATE_ALIGN == 4,
              "the controller state's native layout changed: the stored work-word count moves");
static_assert(sizeof(CtrlExtension) == 840 && CTRL_EXT_OFFSET == 1308,
              "PIDMA's extension record changed: the stored work-word count moves");
static_assert(CTRL_WORK_WORDS == 655 && CTRL_PIDMA_WORK_WORDS == 1075,
              "the stored work-word counts of CONTR, CONTR+ and PIDMA are fixed");

// Block state of a layout: the first 8-byte boundary of the work words; built on first use.
CtrlBlockState* CTRL_LayoutState(const FbLayout& L);

// Slot access by meaning (0 for a slot the type lacks).
inline uint16_t CTRL_ReadDi(const FbLayout& L, const CtrlTypeDesc& d, CtrlDi i) {
  return d.di[i] == CTRL_NONE ? 0 : FB_ReadDigitalRef(L.di[d.di[i]]);
}
inline bool CTRL_DiWired(const FbLayout& L, const CtrlTypeDesc& d, CtrlDi i) {
  return d.di[i] != CTRL_NONE && L.di[d.di[i]].get() != FB_REF_ZERO;
}
inline void CTRL_WriteDo(const FbLayout& L, const CtrlTypeDesc& d, CtrlDo i, uint16_t v) {
  if (d.dout[i] != CTRL_NONE) L.dout[d.dout[i]] = v;
}
inline uint16_t CTRL_Wv(const FbLayout& L, const CtrlTypeDesc& d, CtrlWv i, bool pending = false) {
  return d.wv[i] == CTRL_NONE ? 0 : L.wv[d.wv[i] + (pending ? L.wordValues : 0)];
}
inline float CTRL_Fp(const FbLayout& L, uint16_t k, bool pending = false) {
  return L.fp[k + (pending ? L.floatParams : 0)].get();
}
float CTRL_Lv(const FbLayout& L, uint16_t k, bool pending = false);

// Marks the change class of float parameter k in the five change bytes.
void CTRL_MarkChange(CtrlBlockState& s, const CtrlTypeDesc& d, uint16_t k);
// Hands the five change bytes to the core and clears them.
void CTRL_HandChanges(CtrlBlockState& s);
// Writes the retained record into the state words.
void CTRL_StoreRetained(const FbLayout& L, const CtrlBlockState& s);
