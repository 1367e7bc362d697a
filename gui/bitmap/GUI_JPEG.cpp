// JPEG pictures held in memory, decoded line by line with libjpeg and drawn through the
// library's own bitmap path, once for each visible rectangle.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "gui/bitmap/GUI_Bitmap.h"

namespace {

GUI_CONTEXT& Ctx() { return *GUI_pContext; }

// Larger pictures are refused: nothing of this size fits the display or the picture areas.
constexpr JDIMENSION kMaxSide = 8192;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}
void OnMessage(j_common_ptr) {}
void OnEmit(j_common_ptr, int) {}

// Decodes the header and, with pfLine, every line down to `lastRow`; the decoder state lives
// only in this function, so that an error can jump back to its start. 0 = done.
typedef void LINE_FUNC(void* pUser, int row, const JSAMPLE* pRGB, int width);
int Decode(const uint8_t* pData, unsigned long numBytes, GUI_JPEG_INFO* pInfo, int lastRow, LINE_FUNC* pfLine,
           void* pUser, JSAMPLE* pRow, int rowCap) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.output_message = OnMessage;
  err.pub.emit_message = OnEmit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, pData, numBytes);
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width > kMaxSide ||
      cinfo.image_height > kMaxSide) {
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  if (pInfo) {
    pInfo->XSize = static_cast<int32_t>(cinfo.image_width);
    pInfo->YSize = static_cast<int32_t>(cinfo.image_height);
  }
  if (!pfLine) {
    jpeg_destroy_decompress(&cinfo);
    return 0;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3 || static_cast<int>(cinfo.output_width) * 3 > rowCap) {
    jpeg_destroy_decompress(&cinfo);
    return 1;
  }
  while (cinfo.output_scanline < cinfo.output_height && static_cast<int>(cinfo.output_scanline) <= lastRow) {
    int row = static_cast<int>(cinfo.output_scanline);
    JSAMPROW rows[1] = {pRow};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    pfLine(pUser, row, pRow, static_cast<int>(cinfo.output_width));
  }
  jpeg_abort_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

struct DrawState {
  int x, y;
  uint32_t* pIndex;
  int cap;
};

// One decoded line: only its visible pixels go out, as one line bitmap.
void DrawLine(void* pUser, int row, const JSAMPLE* p, int width) {
  auto* s = static_cast<DrawState*>(pUser);
  const GUI_RECT& c = Ctx().ClipRect;
  int y = s->y + row;
  if (y < c.y0 || y > c.y1) return;
  int k0 = c.x0 > s->x ? c.x0 - s->x : 0;
  int k1 = c.x1 - s->x + 1 < width ? c.x1 - s->x + 1 : width;
  const GUICC* pCC = LCD__GetpCC();
  if (!pCC || k0 >= k1) return;
  int bpp = LCD__GetBPPDevice(pCC->pfGetIndexMask());
  for (int k = k0; k < k1; k += s->cap) {
    int n = k1 - k < s->cap ? k1 - k : s->cap;
    for (int j = 0; j < n; ++j) {
      const JSAMPLE* px = p + 3 * (k + j);
      s->pIndex[j] = pCC->pfColor2Index(px[0] | (px[1] << 8) | (px[2] << 16));
    }
    GUI__DrawIndexLine(s->x + k, y, n, s->pIndex, bpp);
  }
}

}  // namespace

int GUI_JPEG_GetInfo(const void* pFileData, int numBytes, GUI_JPEG_INFO* pInfo) {
  if (!pFileData || numBytes <= 0) return 1;
  return Decode(static_cast<const uint8_t*>(pFileData), static_cast<unsigned long>(numBytes), pInfo, 0, nullptr,
                nullptr, nullptr, 0);
}

int GUI_JPEG_Draw(const void* pFileData, int numBytes, int x0, int y0) {
  if (!pFileData || numBytes <= 0) return 1;
  GUI_LockGuard lock;
  GUI_JPEG_INFO info{};
  auto* pData = static_cast<const uint8_t*>(pFileData);
  if (GUI_JPEG_GetInfo(pFileData, numBytes, &info)) return 1;
  x0 += Ctx().xOff;
  y0 += Ctx().yOff;
  int cap = 0;
  uint32_t* pIndex = GUI__GetLineBuffer(2, &cap);
  int rowBytes = info.XSize * 3;
  GUI_HMEM hRow = GUI_ALLOC_AllocNoInit(rowBytes > 0 ? rowBytes : 1);
  if (!pIndex || !hRow) {
    if (hRow) GUI_ALLOC_Free(hRow);
    return 1;
  }
  auto* pRow = static_cast<JSAMPLE*>(GUI_ALLOC_LockH(hRow));
  GUI_RECT r{static_cast<int16_t>(x0), static_cast<int16_t>(y0), static_cast<int16_t>(x0 + info.XSize - 1),
             static_cast<int16_t>(y0 + info.YSize - 1)};
  int result = 0;
  if (WM__IterateStart(&r)) {
    do {
      DrawState s{x0, y0, pIndex, cap};
      int lastRow = Ctx().ClipRect.y1 - y0;
      if (lastRow >= 0)
        result |= Decode(pData, static_cast<unsigned long>(numBytes), nullptr, lastRow, DrawLine, &s, pRow, rowBytes);
    } while (WM__IterateNext());
  }
  GUI_ALLOC_UnlockH(&pRow);
  GUI_ALLOC_Free(hRow);
  return result;
}
