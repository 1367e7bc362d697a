// Areas of a front-panel bitmap: every pixel whose colour (low 24 bits, 0x00RRGGBB) differs
// from the key colour belongs to an area; pixels touching across rows (also diagonally) or
// side by side on a row form one area. Areas are numbered by their top, ties by their left.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SimRegionLine {
  int y, x0, x1;  // inclusive
};

struct SimRegion {
  int left = 4096, top = 4096, right = -4096, bottom = -4096;  // inclusive bounding box
  std::vector<SimRegionLine> lines;
  int index = 0;
};

// Finds the areas of a bitmap of 32-bit pixels (row by row, `stride` pixels a row) and keeps
// them for the calls below. Returns their number; 0 when there are more than `max` (reported
// as "Error in SIM_GetRegions: Bitmap contains too much buttons!") or no bitmap.
int SIM_GetRegions(const uint32_t* pixels, int width, int height, int stride, uint32_t keyColor, int max);
int SIM_GetNumRegions();
// 0 and the box of region i; 1 when there is no such region.
int SIM_GetRegionRect(int index, int* left, int* top, int* right, int* bottom);
const SimRegion* SIM_GetRegion(int index);
void SIM_FreeRegions();
// Receiver of the region errors (a warning box while the front is visible); null = the log.
void SIM_SetRegionErrorHandler(void (*pfError)(const char* text));
