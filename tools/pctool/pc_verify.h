// The check after a download that the device came back with the engineering it was sent:
// every block of the sent engineering must answer its block data (code B3) with the counts
// of inputs and outputs of its type, as the sent image holds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pctool/pc_client.h"

// A block of the sent engineering: its number and the counts of its analog and digital
// inputs and outputs.
struct PcBlockShape {
  uint16_t number = 0;
  uint16_t analogIn = 0, digitalIn = 0, analogOut = 0, digitalOut = 0;
};

// The counts of a block data answer "index,n,F1..Fn,m,W1..Wm": n and m. False when the text
// is not such an answer.
bool PcBlockDataCounts(const std::string& answer, uint16_t* floats, uint16_t* words);

// Reads the block data of each block (sub-index 0 the inputs, 1 the outputs) and compares
// the counts with the shapes. A refusal or no answer is asked again until `waitMs` have
// passed (the device may still be starting); counts that differ fail at once. False with
// the reason in *error.
bool PcCheckEngineering(PcClient& client, const std::vector<PcBlockShape>& blocks, int waitMs,
                        std::string* error);
