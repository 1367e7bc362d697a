// Visible-rectangle iteration. Without a window manager's pair there is one pass with the
// clip rectangle as it is.
#include "gui/draw/GUI_Draw.h"

namespace {

int startOnce(const GUI_RECT*) { return 1; }
int nextNone() { return 0; }

const GUI_CLIP_ITER_API kSinglePass = {startOnce, nextNone};
const GUI_CLIP_ITER_API* gIter = &kSinglePass;

}  // namespace

void GUI__SetClipIterAPI(const GUI_CLIP_ITER_API* pAPI) { gIter = pAPI ? pAPI : &kSinglePass; }
int GUI__ClipIterStart(const GUI_RECT* pArea) { return gIter->pfStart(pArea); }
int GUI__ClipIterNext() { return gIter->pfNext(); }
