// Generates the device's bitmap fonts as C++ sources of the graphics library.
//
// Each font is rendered with FreeType in 1-bit mode from a DejaVu font of Debian's
// fonts-dejavu-core package (free licence). The pixel size is chosen so that the capital
// letters are exactly as high as the font's capital height, and the glyphs are placed so that
// the baseline lies `baseline` rows below the top of the character cell. Every font covers
// the printable characters of the device's 8-bit code page (Latin-1): 32..126 and 160..255.
//
//   fontgen OUTDIR [FONTDIR]     writes OUTDIR/GUI_<name>.cpp for every font
//   fontgen --preview FILE.pgm   writes a sample sheet of all fonts (for a look by eye)
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct FontDef {
  const char* name;     // symbol of the font record
  bool fixed;           // fixed-width font (else proportional)
  int height;           // rows of a character cell
  int lineDist;         // line distance
  int baseline;         // recorded baseline
  int lHeight;          // recorded lower-case height
  int cHeight;          // recorded capital height
  const char* file;     // TrueType file inside the font folder
  int renderBase;       // rows above the baseline used for rendering (0: the recorded one)
  int renderCap;        // capital height used for rendering (0: the recorded one)
  int fixedWidth;       // cell width of a fixed-width font
  const char* comment;  // what the font is for
  const char* shares;   // font whose glyph data this one uses (null: its own)
  const char* narrow;   // fixed-width fonts: face for the glyphs too wide for the cell (or null)
};

// The twenty fonts of the device, with the metrics of their records.
const FontDef kFonts[] = {
    {"Font8_1", true, 8, 8, 7, 5, 7, "DejaVuSans.ttf", 0, 6, 6, "fixed-width 8 pixels, the default font", nullptr, "DejaVuSansMono.ttf"},
    {"FontFixed8x9", true, 8, 9, 7, 5, 7, "DejaVuSans.ttf", 0, 6, 6, "fixed-width 8 pixels on 9-pixel lines", "Font8_1", "DejaVuSansMono.ttf"},
    {"FontProp13", false, 13, 13, 11, 6, 8, "DejaVuSans.ttf", 0, 0, 0, "proportional 13 pixels", nullptr, nullptr},
    {"FontProp13B", false, 13, 13, 11, 6, 8, "DejaVuSans-Bold.ttf", 0, 0, 0, "proportional 13 pixels, bold", nullptr, nullptr},
    {"FontProp13H", false, 13, 13, 11, 7, 9, "DejaVuSans.ttf", 0, 0, 0, "proportional 13 pixels, high capitals", nullptr, nullptr},
    {"FontProp13HB", false, 13, 13, 11, 7, 9, "DejaVuSans-Bold.ttf", 0, 0, 0, "proportional 13 pixels, high capitals, bold", nullptr, nullptr},
    {"FontProp16", false, 16, 16, 13, 7, 10, "DejaVuSans.ttf", 0, 0, 0, "proportional 16 pixels", nullptr, nullptr},
    {"FontProp16B", false, 16, 16, 13, 7, 10, "DejaVuSans-Bold.ttf", 0, 0, 0, "proportional 16 pixels, bold", nullptr, nullptr},
    {"FontProp18", false, 18, 18, 0, 0, 0, "DejaVuSans.ttf", 14, 11, 0, "proportional 18 pixels, without recorded metrics", nullptr, nullptr},
    {"FontProp20", false, 20, 20, 16, 10, 13, "DejaVuSans.ttf", 0, 0, 0, "proportional 20 pixels", nullptr, nullptr},
    {"FontProp20B", false, 20, 20, 16, 10, 13, "DejaVuSans-Bold.ttf", 0, 0, 0, "proportional 20 pixels, bold", nullptr, nullptr},
    {"FontProp22", false, 22, 22, 17, 10, 14, "DejaVuSans.ttf", 0, 0, 0, "proportional 22 pixels", nullptr, nullptr},
    {"FontProp24", false, 24, 24, 19, 11, 15, "DejaVuSans.ttf", 0, 0, 0, "proportional 24 pixels", nullptr, nullptr},
    {"FontProp24B", false, 24, 24, 19, 11, 15, "DejaVuSans-Bold.ttf", 0, 0, 0, "proportional 24 pixels, bold", nullptr, nullptr},
    {"FontProp32", false, 32, 32, 25, 15, 20, "DejaVuSans.ttf", 0, 0, 0, "proportional 32 pixels", nullptr, nullptr},
    {"FontProp32L", false, 32, 32, 26, 15, 20, "DejaVuSans.ttf", 0, 0, 0, "proportional 32 pixels, low baseline", nullptr, nullptr},
    {"FontProp32LB", false, 32, 32, 26, 15, 20, "DejaVuSans-Bold.ttf", 0, 0, 0, "proportional 32 pixels, low baseline, bold", nullptr, nullptr},
    {"FontDigits32", false, 32, 32, 32, 0, 32, "DejaVuSans.ttf", 0, 0, 0, "proportional 32 pixels, capitals and digits fill the cell", nullptr, nullptr},
    {"FontDigits48", false, 48, 48, 48, 0, 48, "DejaVuSans.ttf", 0, 0, 0, "proportional 48 pixels, capitals and digits fill the cell", nullptr, nullptr},
    {"FontDigits80", false, 80, 80, 80, 0, 80, "DejaVuSans.ttf", 0, 0, 0, "proportional 80 pixels, capitals and digits fill the cell", nullptr, nullptr},
};

struct Range {
  int first, last;
};
const Range kRanges[] = {{32, 126}, {160, 255}};

struct Glyph {
  int code = 0;
  int xsize = 0;         // columns of the bitmap
  int xdist = 0;         // advance
  int bytesPerLine = 0;  // bytes of one row
  std::vector<uint8_t> bits;
};

// A rendered font: glyphs in code order of the ranges.
struct Rendered {
  std::vector<Glyph> glyphs;
};

FT_Library gLib;

bool loadFace(const std::string& path, FT_Face* face) {
  if (FT_New_Face(gLib, path.c_str(), 0, face) != 0) {
    std::fprintf(stderr, "fontgen: cannot open %s\n", path.c_str());
    return false;
  }
  return true;
}

// Capital height of 'H' at a pixel size given in 1/64 pixels.
constexpr FT_Int32 kLoadFlags = FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME;

bool bitAt(const FT_Bitmap& bm, int x, int y) {
  const uint8_t* row = bm.buffer + y * bm.pitch;
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// Capital height of 'H' at a pixel size given in 1/64 pixels.
int capHeightAt(FT_Face face, int size64) {
  FT_Set_Char_Size(face, 0, size64, 72, 72);
  if (FT_Load_Char(face, 'H', kLoadFlags) != 0) return 0;
  return static_cast<int>(face->glyph->bitmap.rows);
}

// Smallest size whose capitals are `cap` rows high (the largest that is not higher otherwise).
int sizeForCap(FT_Face face, int cap) {
  int best = 64;
  for (int s = 4 * 64; s <= 200 * 64; s += 8) {
    const int h = capHeightAt(face, s);
    if (h <= cap) best = s;
    if (h == cap) return s;
    if (h > cap) break;
  }
  return best;
}

// Capitals of the code page with a mark above (accents, umlauts, ring, tilde) or, for Ç, a
// cedilla below.
bool isMarkedCapital(int code) { return code >= 192 && code <= 221 && code != 198 && code != 208 && code != 215 && code != 216; }

// The rows of a glyph bitmap, one bool per pixel, with its first row at `top` rows above the
// baseline.
struct Rows {
  int width = 0, top = 0;
  std::vector<std::vector<bool>> rows;
};

Rows rowsOf(const FT_Bitmap& bm, int top) {
  Rows r;
  r.width = static_cast<int>(bm.width);
  r.top = top;
  for (int y = 0; y < static_cast<int>(bm.rows); ++y) {
    std::vector<bool> row(r.width);
    for (int x = 0; x < r.width; ++x) row[x] = bitAt(bm, x, y);
    r.rows.push_back(std::move(row));
  }
  return r;
}

bool blank(const std::vector<bool>& row) { return std::none_of(row.begin(), row.end(), [](bool b) { return b; }); }

// A mark squeezed into `room` rows: blank rows go first, then neighbouring rows are merged.
std::vector<std::vector<bool>> squeeze(std::vector<std::vector<bool>> mark, int room) {
  mark.erase(std::remove_if(mark.begin(), mark.end(), blank), mark.end());
  while (static_cast<int>(mark.size()) > room && mark.size() > 1) {
    std::vector<std::vector<bool>> merged;
    for (size_t i = 0; i < mark.size(); i += 2) {
      std::vector<bool> row = mark[i];
      if (i + 1 < mark.size())
        for (size_t x = 0; x < row.size(); ++x) row[x] = row[x] || mark[i + 1][x];
      merged.push_back(std::move(row));
    }
    mark = std::move(merged);
  }
  return mark;
}

// A marked capital whose mark runs out of the cell (above its top or below its bottom) keeps
// the letter as rendered and gets the mark squeezed into the rows the cell has there, one
// blank row apart from the letter where there is room: the mark stays whole and readable.
// (Fonts whose capitals fill the cell have no such rows and keep their glyphs.)
void fitMarks(Rows* g, int base, int cap, int height) {
  const int rowsAbove = g->top - cap;          // bitmap rows above the capital's top
  const int roomAbove = base - cap;            // cell rows above the capital's top
  if (rowsAbove > roomAbove && roomAbove > 0) {
    std::vector<std::vector<bool>> mark(g->rows.begin(), g->rows.begin() + rowsAbove);
    // One blank row between letter and mark where the cell has room for it.
    const int gap = roomAbove >= 3 ? 1 : 0;
    mark = squeeze(std::move(mark), roomAbove - gap);
    std::vector<std::vector<bool>> rows(mark);
    for (int i = 0; i < gap && !mark.empty(); ++i) rows.emplace_back(g->width);
    rows.insert(rows.end(), g->rows.begin() + rowsAbove, g->rows.end());
    g->top = cap + static_cast<int>(rows.size() - (g->rows.size() - rowsAbove));
    g->rows = std::move(rows);
  }
  const int below = static_cast<int>(g->rows.size()) - g->top;  // rows from the baseline down
  const int roomBelow = height - base;
  if (below > roomBelow && roomBelow > 0) {
    const int start = g->top;
    std::vector<std::vector<bool>> mark(g->rows.begin() + start, g->rows.end());
    mark = squeeze(std::move(mark), roomBelow);
    g->rows.resize(start);
    g->rows.insert(g->rows.end(), mark.begin(), mark.end());
  }
}

bool render(const FontDef& def, const std::string& fontDir, Rendered* out) {
  FT_Face face;
  if (!loadFace(fontDir + "/" + def.file, &face)) return false;
  const int cap = def.renderCap ? def.renderCap : def.cHeight;
  const int base = def.renderBase ? def.renderBase : def.baseline;
  const int size = sizeForCap(face, cap);
  FT_Set_Char_Size(face, 0, size, 72, 72);
  FT_Face narrow = nullptr;
  if (def.narrow) {
    if (!loadFace(fontDir + "/" + def.narrow, &narrow)) return false;
    FT_Set_Char_Size(narrow, 0, sizeForCap(narrow, cap), 72, 72);
  }
  for (const Range& r : kRanges) {
    for (int code = r.first; code <= r.last; ++code) {
      Glyph g;
      g.code = code;
      if (FT_Load_Char(face, code, kLoadFlags) != 0) {
        std::fprintf(stderr, "fontgen: %s has no glyph %d\n", def.file, code);
        return false;
      }
      FT_GlyphSlot slot = face->glyph;
      // A glyph too wide for the cell of a fixed-width font comes from the narrow face.
      if (def.fixed && narrow && static_cast<int>(slot->bitmap.width) > def.fixedWidth &&
          FT_Load_Char(narrow, code, kLoadFlags) == 0)
        slot = narrow->glyph;
      const FT_Bitmap& bm = slot->bitmap;
      int left = slot->bitmap_left;
      Rows rows = rowsOf(bm, slot->bitmap_top);
      if (isMarkedCapital(code)) fitMarks(&rows, base, cap, def.height);
      const int top = rows.top;
      const int advance = static_cast<int>((slot->advance.x + 32) >> 6);
      if (def.fixed) {
        g.xsize = g.xdist = def.fixedWidth;
        // Centre the glyph in the cell.
        left = (def.fixedWidth - static_cast<int>(bm.width)) / 2;
      } else {
        if (left < 0) left = 0;
        g.xdist = advance;
        g.xsize = std::max(advance, left + static_cast<int>(bm.width));
        if (g.xsize == 0) g.xsize = 1;
      }
      g.bytesPerLine = (g.xsize + 7) / 8;
      g.bits.assign(static_cast<size_t>(g.bytesPerLine) * def.height, 0);
      for (int y = 0; y < static_cast<int>(rows.rows.size()); ++y) {
        const int row = base - top + y;
        if (row < 0 || row >= def.height) continue;  // beyond the cell: cut off
        for (int x = 0; x < rows.width; ++x) {
          const int col = left + x;
          if (col < 0 || col >= g.xsize || !rows.rows[y][x]) continue;
          g.bits[row * g.bytesPerLine + col / 8] |= static_cast<uint8_t>(0x80 >> (col & 7));
        }
      }
      out->glyphs.push_back(std::move(g));
    }
  }
  FT_Done_Face(face);
  if (narrow) FT_Done_Face(narrow);
  return true;
}

// The font record; `data` names the glyph data object.
void writeRecord(FILE* f, const FontDef& def, const char* data) {
  const char* type = def.fixed ? "GUIMONO" : "GUIPROP";
  std::fprintf(f,
               "extern const GUI_FONT GUI_%s = {%s_DispChar, %s_GetCharDistX, %s_GetFontInfo,\n"
               "                                %s_IsInFont, nullptr, nullptr, %d, %d, 1, 1,\n"
               "                                %s, %d, %d, %d};\n",
               def.name, type, type, type, type, def.height, def.lineDist, data, def.baseline,
               def.lHeight, def.cHeight);
}

bool writeSource(const FontDef& def, const Rendered& font, const std::string& outDir) {
  const std::string path = outDir + "/GUI_" + def.name + ".cpp";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) {
    std::fprintf(stderr, "fontgen: cannot write %s\n", path.c_str());
    return false;
  }
  std::fprintf(f,
               "// Font GUI_%s: %s.\n"
               "// Generated by tools/fontgen from %s (fonts-dejavu-core); do not edit.\n"
               "// Height %d, line distance %d, baseline %d, lower-case height %d, capital height %d.\n"
               "#include \"gui/draw/GUI_Font.h\"\n\n",
               def.name, def.comment, def.file, def.height, def.lineDist, def.baseline,
               def.lHeight, def.cHeight);
  if (def.shares) {
    // The same glyphs as another font: only the record is its own.
    std::fprintf(f, "extern const GUI_FONT_FIXED GUI_%s_Data;\n\n", def.shares);
    const std::string data = std::string("&GUI_") + def.shares + "_Data";
    writeRecord(f, def, data.c_str());
    std::fclose(f);
    return true;
  }
  std::fprintf(f, "namespace {\n\n");
  // All glyph rows in one array; each glyph starts at its offset.
  std::fprintf(f, "const uint8_t kBits[] = {\n");
  std::vector<size_t> offsets;
  size_t off = 0;
  for (const Glyph& g : font.glyphs) {
    offsets.push_back(off);
    std::fprintf(f, "    // %d\n   ", g.code);
    // One glyph row a group, in decimal to keep the sources small.
    for (size_t i = 0; i < g.bits.size(); ++i) {
      if (i % g.bytesPerLine == 0) std::fprintf(f, " ");
      std::fprintf(f, "%d,", g.bits[i]);
    }
    std::fprintf(f, "\n");
    off += g.bits.size();
  }
  std::fprintf(f, "};\n\n");
  if (def.fixed) {
    const Glyph& g0 = font.glyphs.front();
    // The fixed-width font keeps two tables: 32..126 as its main range and 160..255 through
    // the translation range (no overlays).
    std::fprintf(f, "const GUI_FONT_TRANSPAIR kTrans[] = {\n");
    const int mainCount = kRanges[0].last - kRanges[0].first + 1;
    for (int code = 160, i = 0; code <= 255; ++code, ++i)
      std::fprintf(f, "    {%d, -1},  // %d\n", i, code);
    std::fprintf(f, "};\n\n");
    std::fprintf(f, "const GUI_FONT_TRANS kTransRange = {160, 255, kTrans};\n\n");
    std::fprintf(f, "}  // namespace\n\n");
    // Exported, so that fonts with the same glyphs can use it.
    std::fprintf(f,
                 "extern const GUI_FONT_FIXED GUI_%s_Data = {kBits, kBits + %zu, &kTransRange, %d, %d, %d, %d, %d};\n\n",
                 def.name, offsets[mainCount], kRanges[0].first, kRanges[0].last, g0.xsize, g0.xdist,
                 g0.bytesPerLine);
    const std::string data = std::string("&GUI_") + def.name + "_Data";
    writeRecord(f, def, data.c_str());
  } else {
    size_t gi = 0;
    int ri = 0;
    for (const Range& r : kRanges) {
      std::fprintf(f, "const GUI_FONT_CHAR kChars%d[] = {\n", ri);
      for (int code = r.first; code <= r.last; ++code, ++gi) {
        const Glyph& g = font.glyphs[gi];
        std::fprintf(f, "    {%d, %d, %d, kBits + %zu},  // %d\n", g.xsize, g.xdist, g.bytesPerLine,
                     offsets[gi], code);
      }
      std::fprintf(f, "};\n\n");
      ++ri;
    }
    std::fprintf(f, "const GUI_FONT_RANGE kRange1 = {%d, %d, kChars1, nullptr};\n", kRanges[1].first,
                 kRanges[1].last);
    std::fprintf(f, "const GUI_FONT_RANGE kRange0 = {%d, %d, kChars0, &kRange1};\n\n", kRanges[0].first,
                 kRanges[0].last);
    std::fprintf(f, "}  // namespace\n\n");
    writeRecord(f, def, "&kRange0");
  }
  std::fclose(f);
  return true;
}

// A grey-map sheet with a sample line of every font, to look at the glyphs by eye.
bool writePreview(const std::string& fontDir, const std::string& path) {
  const int w = 1400;
  std::vector<std::vector<uint8_t>> lines;
  const char* sample = "AHgjy 0123456789 \xC4\xD6\xDC\xE4\xF6\xFC\xDF \xB0\xB2\xB3 %.,:-+";
  int totalH = 0;
  std::vector<uint8_t> img;
  for (const FontDef& def : kFonts) {
    Rendered r;
    if (!render(def, fontDir, &r)) return false;
    const int h = def.lineDist + 4;
    std::vector<uint8_t> band(static_cast<size_t>(w) * h, 255);
    int x = 2;
    for (const char* p = sample; *p; ++p) {
      const int code = static_cast<uint8_t>(*p);
      const Glyph* g = nullptr;
      for (const Glyph& c : r.glyphs)
        if (c.code == code) g = &c;
      if (!g) continue;
      for (int y = 0; y < def.height; ++y)
        for (int c = 0; c < g->xsize && x + c < w; ++c)
          if ((g->bits[y * g->bytesPerLine + c / 8] >> (7 - (c & 7))) & 1) band[(y + 2) * w + x + c] = 0;
      // Mark the baseline row in grey at the left edge.
      x += g->xdist;
    }
    band[(2 + def.baseline) * w] = 128;
    img.insert(img.end(), band.begin(), band.end());
    totalH += h;
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P5\n%d %d\n255\n", w, totalH);
  std::fwrite(img.data(), 1, img.size(), f);
  std::fclose(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fontgen OUTDIR [FONTDIR] | fontgen --preview FILE.pgm [FONTDIR]\n");
    return 2;
  }
  if (FT_Init_FreeType(&gLib) != 0) {
    std::fprintf(stderr, "fontgen: FreeType does not start\n");
    return 1;
  }
  const bool preview = std::strcmp(argv[1], "--preview") == 0;
  const int dirArg = preview ? 3 : 2;
  const std::string fontDir = argc > dirArg ? argv[dirArg] : "/usr/share/fonts/truetype/dejavu";
  int rc = 0;
  if (preview) {
    rc = argc < 3 ? 2 : writePreview(fontDir, argv[2]) ? 0 : 1;
  } else {
    for (const FontDef& def : kFonts) {
      Rendered r;
      if (!render(def, fontDir, &r) || !writeSource(def, r, argv[1])) {
        rc = 1;
        break;
      }
    }
  }
  FT_Done_FreeType(gLib);
  return rc;
}
