// PROFINET data blocks and small logic blocks.
//
//   AND_2, OR_2, CMP  two digital inputs combined, two analog values compared;
//   PNREAD            gathers ten values (its inputs, or parameters of other blocks);
//   PNWRIT            hands ten received values on to parameters of other blocks, through
//                     the deferred-call ring;
//   PNSERV            one per engineering: moves the values of its chains of PNREAD blocks
//                     into the PROFINET link's output areas and the link's input areas into
//                     its chains of PNWRIT blocks.
// A chain runs from a PNSERV input through the blocks' PNR_x (PNW_x) connections: each
// block's PNR_x input names the next block of the chain by that block's PNR_x output. The
// chains are resolved in the first run after the start-up pass.
#pragma once

#include <cstdint>

#include "blocks/block_family.h"

struct FbParamRequest;

enum : uint16_t {
  BLK_TYPE_AND_2 = 160,
  BLK_TYPE_CMP = 161,
  BLK_TYPE_OR_2 = 162,
  BLK_TYPE_PNSERV = 170,
  BLK_TYPE_PNREAD = 171,
  BLK_TYPE_PNWRIT = 172,
};

constexpr unsigned PN_VALUES = 10;   // values of one PNREAD or PNWRIT block

// CMP "Mode": the comparison of X 1 with the second value.
enum : uint16_t { CMP_GT = 0, CMP_GE = 1, CMP_LT = 2, CMP_LE = 3, CMP_EQ = 4, CMP_NE = 5 };

// Inputs of PNSERV: the read chains PNR_20I, PNR_20F, PNR_50I, PNR_50F, then the write
// chains PNW_20I .. PNW_50F.
constexpr unsigned PNSERV_CHAINS = 8;
constexpr unsigned PNSERV_READ_CHAINS = 4;

// Own state of PNSERV: the head of each chain (block number, 0 none).
struct PnServState {
  uint16_t resolved;               // 0 until the first run resolved the chains
  uint16_t head[PNSERV_CHAINS];
};

// Own state of PNREAD.
struct PnReadState {
  FbF32 slot[PN_VALUES];           // the values PNSERV takes
  uint16_t next;                   // next PNREAD of the chain, 0 none
  BlkParamLink source[PN_VALUES];  // the parameter a value reads while its input is open
  uint16_t resolved;
};

// Own state of PNWRIT.
struct PnWritState {
  FbF32 received[PN_VALUES];       // written by PNSERV
  uint16_t present;                // 1 while PNSERV found the area valid
  uint16_t next;
  BlkParamLink target[PN_VALUES];  // the parameter each value is written to
  FbF32 written[PN_VALUES];        // the value last written (a word target's as rounded)
  uint16_t pending[PN_VALUES];     // a change waits for room in the deferred-call ring
  uint8_t status[PN_VALUES];       // result of the last write (255 while it waits)
  uint16_t resolved;
};

// Enters the family's rows into the block-type table.
void BLK_RegisterProfinetTypes();

void FB_AND_2_Run();
void FB_AND_2_Init();
void FB_OR_2_Run();
void FB_OR_2_Init();
void FB_CMP_Run();
void FB_CMP_Init();
void FB_PNSERV_Run();
void FB_PNSERV_Init();
void FB_PNREAD_Run();
void FB_PNREAD_Init();
void FB_PNWRIT_Run();
void FB_PNWRIT_Init();
