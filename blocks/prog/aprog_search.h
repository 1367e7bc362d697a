// The search of the analog programmer: it places the program on its profile at the process
// value "XVal", in the current segment ("SearchSeg") or walking from segment to segment
// ("SearchSec"); "SearchOff" only sets the start value of a program that has not run.
#pragma once

#include <cstdint>

#include "blocks/prog/prog_core.h"

// Command evaluation: true when a search is due in state `state`; the state is saved for
// the return and the search request set.
bool APROG_SearchDue(ProgCycle& c, uint16_t state);
// State 10: one search step. When the search stops, the request is cleared and the saved
// state returns.
void APROG_Search(ProgCycle& c);
// State 4: a started program is placed by a search.
void APROG_StartSearch(ProgCycle& c);
