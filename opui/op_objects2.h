// The drawn display objects of the user pages: the picture object IMGOBJ, the programmer
// progress object PROOBJ, the bar object BAROBJ and the trend object TRDOBJ.
//
// They follow the frame of the text objects (op_objects.h): analog output 1 carries the
// block number that a user page binds, OpObjectState leads the work words, the view makes the
// object's window and the object's first run after that lays out what it shows in it. Unlike
// the text objects they draw their windows themselves (their window callbacks paint), and a
// pointer on the window or on the widget inside it becomes the object's touch state.
//
// Colours of PROOBJ, BAROBJ and TRDOBJ are written as decimal numbers RRGGBB: three groups of
// two digits, each 0..99, scaled to 0..255 (× 255/99, truncated).
#pragma once

#include <cstdint>

#include "gui/GUI.h"
#include "gui/WM.h"
#include "gui/widgets/WIDGET.h"
#include "opui/op_objects.h"
#include "runtime/fb_param.h"
#include "runtime/fb_store.h"

struct FbParamRequest;

// --- Shared helpers -------------------------------------------------------------------------

// The three 8-bit components of a decimal RRGGBB colour (first the ten-thousands group).
// Groups outside 0..99 are clamped; NaN and huge values are clamped like any other number.
struct OpRgb {
  uint8_t r, g, b;
};
OpRgb OP_DecodeDecimalRgb(float value);
// The same as a colour of the graphics library (0x00BBGGRR).
GUI_COLOR OP_DecimalColour(float value);

// The parameter handler of an object that prepares itself from its values (its state has
// `prepared`): an accepted change has it prepared and laid out anew.
template <typename State, uint16_t Type>
uint8_t OP_DrawnObjectParam(FbParamRequest* request, uint16_t* badIndex) {
  const uint8_t r = OP_ObjectParam(request, badIndex);
  FbLayout L;
  if (r == 0 && request && FB_GetLayout(request->block(), &L) && L.type == Type &&
      L.workWords * 2u >= sizeof(State)) {
    State& s = *reinterpret_cast<State*>(L.work);
    s.prepared = 0;
    s.obj.made = 0;
  }
  return r;
}

// --- IMGOBJ (type 182) ----------------------------------------------------------------------
//
// Digital inputs "disable" (touches are dropped and nothing changes), "release" (touches are
// dropped; the picture keeps following the state) and "state"; analog input "Page" (the block
// of a page link); analog output "Obj-No", digital output "out" (1 while the user's action
// shows picture 2); word parameters "State" (the stored toggle state, saved on every toggle;
// not written by a request of its own) and "Mode" (id 1251: 0 display, 1 push button,
// 2 toggle switch, 3 page link); word value "Spare"; texts "Pict 0" and "Pict 1" (the names of
// the two user pictures). The window takes the larger width and height of the two pictures.
constexpr uint16_t OP_TYPE_IMGOBJ = 182;
enum : uint16_t {
  IMGOBJ_IN_PAGE = 1,
  IMGOBJ_DIN_DISABLE = 1, IMGOBJ_DIN_RELEASE = 2, IMGOBJ_DIN_STATE = 3,
  IMGOBJ_DOUT = 1,
  IMGOBJ_WORD_STATE = 1, IMGOBJ_WORD_MODE = 2,
  IMGOBJ_TEXT_PICTURE0 = 2, IMGOBJ_TEXT_PICTURE1 = 3,
};
enum : uint16_t { IMGOBJ_DISPLAY = 0, IMGOBJ_PUSH = 1, IMGOBJ_TOGGLE = 2, IMGOBJ_PAGE = 3 };

// IMGOBJ's work words.
struct PictureObjectState {
  OpObjectState obj;
  int16_t picture[2];   // index of picture 1 and 2 among the user pictures, -1 none
  uint16_t xSize, ySize;
  uint16_t shown;       // 1 or 2
  uint16_t down;        // the press of the touch being handled was taken
};

void FB_IMGOBJ_Init();
uint8_t FB_IMGOBJ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_IMGOBJ_Run();
void OP_PictureObjectProc(WM_MESSAGE* msg);
// Looks both names up among the user pictures and sizes the window (the first run).
void OP_PictureObjectLayout(uint16_t block);

// --- PROOBJ (type 183) ----------------------------------------------------------------------
//
// Analog input "Prog" (the block number of an APROG, from its output "Bl-no"); digital inputs
// "disable" and "release"; analog output "Obj-No"; word values "Width" (1: 160 pixels, any
// other value 320), "Text" (0..8, the text line below), "Frame" (1: a frame) and "Kind"
// (0 progress of the program, 1 of the segment); 4-byte values "BkColour", "BarColour" and
// "TxtColour" (floats, decimal RRGGBB). The bar is 20 pixels high.
constexpr uint16_t OP_TYPE_PROOBJ = 183;
enum : uint16_t {
  PROOBJ_IN_PROG = 1,
  PROOBJ_DIN_DISABLE = 1, PROOBJ_DIN_RELEASE = 2,
  PROOBJ_WORD_WIDTH = 1, PROOBJ_WORD_TEXT = 2, PROOBJ_WORD_FRAME = 3, PROOBJ_WORD_KIND = 4,
  PROOBJ_LONG_BK = 1, PROOBJ_LONG_BAR = 2, PROOBJ_LONG_TEXT = 3,
};
// Text modes.
enum : uint16_t {
  PROOBJ_TEXT_NONE = 0, PROOBJ_TEXT_SEGMENT_REST = 1, PROOBJ_TEXT_RUN_TIME = 2,
  PROOBJ_TEXT_PROGRAM_REST = 3, PROOBJ_TEXT_NAME = 4, PROOBJ_TEXT_SEGMENT = 5,
  PROOBJ_TEXT_NAME_SEGMENT = 6, PROOBJ_TEXT_NAME_RUN_TIME = 7, PROOBJ_TEXT_NAME_STATE = 8,
};
constexpr int OP_PROGRESS_HEIGHT = 20;

// PROOBJ's work words.
struct ProgressObjectState {
  OpObjectState obj;
  uint16_t xSize, ySize;
  FbU32 colours[3];     // background, bar, text (0x00BBGGRR)
  uint16_t drawn;       // the bar length drawn last (pixels)
  uint16_t length;      // the bar length to draw
  char text[OP_OBJECT_TEXT_CHARS + 2];  // the text line shown
};

void FB_PROOBJ_Init();
uint8_t FB_PROOBJ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_PROOBJ_Run();
void OP_ProgressObjectProc(WM_MESSAGE* msg);
void OP_ProgressObjectLayout(uint16_t block);
// The text line of the object's mode for the programmer at its input (empty without one).
void OP_ProgressObjectText(uint16_t block, char* out);
// The progress 0..1 of the programmer at the input (0 without one).
float OP_ProgressObjectFraction(uint16_t block);
// Draws the object in its window (background, frame, bar).
void OP_ProgressObjectPaint(uint16_t block);

// --- BAROBJ (type 184) ----------------------------------------------------------------------
//
// Analog inputs "X 1" (the value), "Marker" (a marker line where connected) and "Page" (the
// block of a page link); digital inputs "hide" (the window is hidden) and "release" (touches
// are dropped); analog output "Obj-No"; word values "Width", "Height", "Orient" (1 vertical,
// 0 horizontal), "Frame" (1 frame), "Text" (1 the value as a text over the bar), "Dec" (its
// decimals) and "Font" (0..2); 4-byte values (floats) "Start" and "End" (the range) and
// "BkColour", "BarColour", "TxtColour" (decimal RRGGBB); text "Unit" (after the value).
constexpr uint16_t OP_TYPE_BAROBJ = 184;
enum : uint16_t {
  BAROBJ_IN_VALUE = 1, BAROBJ_IN_MARKER = 2, BAROBJ_IN_PAGE = 3,
  BAROBJ_DIN_HIDE = 1, BAROBJ_DIN_RELEASE = 2,
  BAROBJ_WORD_WIDTH = 1, BAROBJ_WORD_HEIGHT = 2, BAROBJ_WORD_ORIENT = 3, BAROBJ_WORD_FRAME = 4,
  BAROBJ_WORD_TEXT = 5, BAROBJ_WORD_DECIMALS = 6, BAROBJ_WORD_FONT = 7,
  BAROBJ_LONG_START = 1, BAROBJ_LONG_END = 2, BAROBJ_LONG_BK = 3, BAROBJ_LONG_BAR = 4,
  BAROBJ_LONG_TEXT = 5,
  BAROBJ_TEXT_UNIT = 2,
};
// Where the value lies (bits 0 and 1 of the display flags): below, inside, above the range.
// They are a record of the value only: drawn as scale marks they left single pixels at the
// bar's end. Bit 2: the marker line is shown; bit 3: the bar is empty (a range of no span).
enum : uint16_t {
  BAROBJ_BELOW = 0, BAROBJ_INSIDE = 1, BAROBJ_ABOVE = 2, BAROBJ_RANGE_MASK = 3,
  BAROBJ_FLAG_MARKER = 4, BAROBJ_FLAG_EMPTY = 8,
};

// BAROBJ's work words.
struct BarObjectState {
  OpObjectState obj;
  uint16_t flags;       // BAROBJ_* range and flags
  uint16_t prepared;    // factor, offset and colours are set up from the values
  FbF32 factor, offset; // percent = factor × value + offset
  FbU32 colours[3];     // background, bar, text (0x00BBGGRR)
  FbF32 percent;        // of the value, 0..100
  uint16_t length;      // the bar length in pixels
  uint16_t position;    // where the bar starts (from the bottom for a vertical bar)
  uint16_t marker;      // the marker line's place along the bar
  uint16_t drawnLength, drawnMarker, drawnFlags;  // as drawn last
  uint16_t hidden;      // the window is hidden
  char text[OP_OBJECT_TEXT_CHARS + 2];  // the value text shown
};

// The bar length for a percent: d = the window's size along the bar - 3 with a frame, - 1
// without; length = d × p / 100 + 0.5 truncated. *position is where it starts: 0, or for a
// vertical bar d - length (+ 1 with a frame), counted from the top.
int OP_BarObjectLength(int size, bool framed, bool vertical, float percent, int* position = nullptr,
                       int* d = nullptr);
void FB_BAROBJ_Init();
uint8_t FB_BAROBJ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_BAROBJ_Run();
void OP_BarObjectProc(WM_MESSAGE* msg);
void OP_BarObjectLayout(uint16_t block);
// The value text: "%.*f" of the value (clamped to -199999..999999, at most 6 characters)
// followed by the unit.
void OP_BarObjectText(uint16_t block, char* out);

// --- TRDOBJ (type 185) ----------------------------------------------------------------------
//
// Analog inputs "X 1" .. "X 4" (the curves; an unconnected input has no curve); analog output
// "Obj-No"; float parameters "Min 1", "Max 1" .. "Min 4", "Max 4" (the curves' ranges),
// "Col 1" .. "Col 4" (their colours), "BkColour" and "Period" (seconds between two samples,
// 0: every cycle); word values "LblStep" (samples between two grid lines of the time scale),
// "XStep" (a time label on every XStep-th grid line) and "Legend" (1: the curve names in the
// top rows instead of the time labels); texts "Name 1" .. "Name 4". The graph spans from the
// object's place to the right and bottom edges of the view; the value scale shows the range
// of the first connected curve.
constexpr uint16_t OP_TYPE_TRDOBJ = 185;
constexpr int OP_TREND_CURVES = 4;
constexpr int OP_TREND_SAMPLES = 500;
constexpr int16_t OP_TREND_EMPTY = -30000;   // a sample of a curve without input
constexpr int16_t OP_TREND_LOWEST = -29999;  // the smallest sample of a connected curve
constexpr float OP_TREND_SPAN = 30000.0f;    // a curve's range maps to 0..30000
enum : uint16_t {
  TRDOBJ_FLOAT_MIN1 = 1, TRDOBJ_FLOAT_COLOUR1 = 9, TRDOBJ_FLOAT_BK = 13, TRDOBJ_FLOAT_PERIOD = 14,
  TRDOBJ_WORD_LBLSTEP = 1, TRDOBJ_WORD_XSTEP = 2, TRDOBJ_WORD_LEGEND = 3,
  TRDOBJ_TEXT_NAME1 = 2,
};

struct TrendCurve {
  int16_t ring[OP_TREND_SAMPLES];
  FbF32 factor, offset;  // sample = factor × value + offset
  FbU32 colour;          // 0x00BBGGRR
  uint16_t present;      // the input is connected
};
// TRDOBJ's work words.
struct TrendObjectState {
  OpObjectState obj;
  uint16_t started;      // the first run has marked the curves
  uint16_t prepared;     // factors, offsets and colours are set up from the parameters
  uint16_t scaleCurve;   // 0..3: the curve of the value scale; OP_TREND_CURVES: none
  uint16_t write;        // ring index of the next sample
  uint16_t count;        // samples in the rings
  uint16_t cycles;       // cycles since the last sample
  uint16_t handed;       // the graph has the newest samples
  FbU32 background;      // 0x00BBGGRR
  uint16_t columns, rows;  // the pixels of the graph's data area
  char names[OP_TREND_CURVES][FB_TEXT_LEN + 2];
  char fullText[16];     // the time label of the graph's full width
  TrendCurve curves[OP_TREND_CURVES];
};

void FB_TRDOBJ_Init();
uint8_t FB_TRDOBJ_Param(FbParamRequest* request, uint16_t* badIndex);
void FB_TRDOBJ_Run();
void OP_TrendObjectProc(WM_MESSAGE* msg);
// Prepares the curves: factor 30000 / (max - min) and offset per curve (0 and 0 for a range
// of no span), the colours and the full-width time label.
void OP_TrendObjectSetup(uint16_t block);
// The sample of a value: factor × value + offset, clamped to -29999..32767 (NaN: 0).
int16_t OP_TrendObjectSample(float factor, float offset, float value);
// Hands the curves to the graph (at most 500 points each, scaled to the data area's height):
// the number of points handed, -1 when the object has no graph.
int OP_TrendObjectCurves(uint16_t block);
// The graph's curve of input k (1..4), 0 when there is none.
GRAPH_DATA_Handle OP_TrendObjectData(uint16_t block, int k);
// The decimals of the value labels of a range: by max(|min|, |max|) / divisor, 0 from 100
// up, 1 from 10, 2 from 1, else 3.
int OP_TrendObjectDecimals(float minimum, float maximum, float divisor = 1.0f);
// The time label of t seconds back.
void OP_TrendObjectTimeText(float seconds, char* out, int outlen);
// The graph's paint hook: grid lines first, then the value labels and the legend or the time
// labels.
void OP_TrendObjectPaint(WM_HWIN graph, int stage);

// Enters the rows of IMGOBJ, PROOBJ, BAROBJ and TRDOBJ into the block-type table.
void OP_RegisterDrawnObjectTypes();
