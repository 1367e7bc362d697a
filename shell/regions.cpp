#include "shell/regions.h"

#include <algorithm>
#include <numeric>

#include "simlayer/SIM.h"

namespace {

std::vector<SimRegion> g_regions;
void (*g_pfError)(const char*);

void Report(const char* text) {
  if (g_pfError)
    g_pfError(text);
  else
    SIM_LogText(text);
}

struct Run {
  int x0, x1, y;
  int set;  // union-find entry
};

int Find(std::vector<int>& parent, int i) {
  while (parent[i] != i) i = parent[i] = parent[parent[i]];
  return i;
}

}  // namespace

int SIM_GetRegions(const uint32_t* pixels, int width, int height, int stride, uint32_t keyColor, int max) {
  SIM_FreeRegions();
  if (!pixels || width <= 0 || height <= 0) return 0;
  keyColor &= 0xFFFFFF;
  std::vector<Run> runs;
  std::vector<int> parent;
  size_t prevBegin = 0, prevEnd = 0;
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(stride);
    size_t rowBegin = runs.size();
    for (int x = 0; x < width;) {
      if ((row[x] & 0xFFFFFF) == keyColor) {
        ++x;
        continue;
      }
      int x0 = x;
      while (x < width && (row[x] & 0xFFFFFF) != keyColor) ++x;
      int x1 = x - 1;
      // Each run starts as an area of its own and joins the areas it touches above.
      int set = static_cast<int>(parent.size());
      parent.push_back(set);
      runs.push_back({x0, x1, y, set});
      for (size_t p = prevBegin; p < prevEnd; ++p) {
        const Run& above = runs[p];
        if (above.x1 < x0 - 1 || above.x0 > x1 + 1) continue;
        int a = Find(parent, above.set), b = Find(parent, set);
        if (a != b) parent[b] = a;
      }
    }
    prevBegin = rowBegin;
    prevEnd = runs.size();
  }

  // The areas are counted once every row has merged: a shape whose parts join further down
  // is one area.
  int areas = 0;
  for (size_t i = 0; i < parent.size(); ++i) areas += Find(parent, static_cast<int>(i)) == static_cast<int>(i);
  if (areas > max) {
    Report("Error in SIM_GetRegions: Bitmap contains too much buttons!");
    return 0;
  }

  std::vector<int> slot(parent.size(), -1);
  for (const Run& r : runs) {
    int root = Find(parent, r.set);
    if (slot[root] < 0) {
      slot[root] = static_cast<int>(g_regions.size());
      g_regions.emplace_back();
    }
    SimRegion& reg = g_regions[slot[root]];
    reg.lines.push_back({r.y, r.x0, r.x1});
    reg.left = std::min(reg.left, r.x0);
    reg.right = std::max(reg.right, r.x1);
    reg.top = std::min(reg.top, r.y);
    reg.bottom = std::max(reg.bottom, r.y);
  }
  std::stable_sort(g_regions.begin(), g_regions.end(), [](const SimRegion& a, const SimRegion& b) {
    return a.top != b.top ? a.top < b.top : a.left < b.left;
  });
  for (size_t i = 0; i < g_regions.size(); ++i) g_regions[i].index = static_cast<int>(i);
  return static_cast<int>(g_regions.size());
}

int SIM_GetNumRegions() { return static_cast<int>(g_regions.size()); }

int SIM_GetRegionRect(int index, int* left, int* top, int* right, int* bottom) {
  if (index < 0 || index >= SIM_GetNumRegions()) {
    Report("Error in SIM_GetRegionRect: Index >= _NumRegions");
    return 1;
  }
  const SimRegion& r = g_regions[index];
  *left = r.left;
  *top = r.top;
  *right = r.right;
  *bottom = r.bottom;
  return 0;
}

const SimRegion* SIM_GetRegion(int index) {
  if (index < 0 || index >= SIM_GetNumRegions()) {
    Report("Error in SIM_SetBitmapRegion: Index >= _NumRegions");
    return nullptr;
  }
  return &g_regions[index];
}

void SIM_FreeRegions() { g_regions.clear(); }

void SIM_SetRegionErrorHandler(void (*pf)(const char*)) { g_pfError = pf; }
