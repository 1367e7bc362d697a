#include "opui/op_pages_ctrl.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "blocks/ctrl/ctrl_page.h"
#include "blocks/io/io.h"
#include "opui/op_blockpage.h"
#include "opui/op_editor.h"
#include "opui/op_field_editor.h"
#include "opui/op_format.h"
#include "opui/op_menu.h"
#include "opui/op_services.h"
#include "runtime/fb_param.h"
#include "runtime/fw_defer.h"
#include "runtime/fw_numeric.h"
#include "runtime/fw_text.h"
#include "runtime/fw_text_ids.h"

namespace {

// --- Rows and places ------------------------------------------------------------------------

// Rows of the overview (text screen 1).
enum : uint8_t {
  kRowSet = 0, kRowWeff = 1, kRowX = 2, kRowMode = 3, kRowSource = 4, kRowFault = 5,
  kRowRole = 6, kRowCascade = 7, kRowMaster = 8, kRowOutput = 9, kRowWLabel = 10, kRowXLabel = 11,
};
constexpr int kNumberChars = 7;   // setpoint, process value and output texts
constexpr int kSourceChars = 10;
constexpr int kLabelChars = 2;    // "Y:", "X:", "xw" before the output text
constexpr int kUnitChars = 7;
constexpr int kStateChars = 6;    // "%6s" of a self-tuning state

// Lines of the tuning page and the calibration page (text screen 7).
constexpr OpTextRow* line(int i) { return &g_opMenuRows.items[i]; }
enum : uint8_t { kLineXY = 0, kLineW = 1, kLineStatus = 2, kLineResult = 3, kLineTu = 4, kLineVmax = 5 };
constexpr int kWColumn = 3, kWeffColumn = 16;   // "W =%7sWeff =%7s"
constexpr int kStatColumn = 15;                 // "... Stat:%6s" of CONTR and CONTR+
constexpr int kPoptColumn = 5, kPoptNumberColumn = 7;
constexpr int kTimerColumn = 4, kTimerChars = 5;  // PIDMA: "T = %5s Status:%6s"
constexpr int kPidStatColumn = 17;

// Screen positions of the fields (the rows of the screen templates).
constexpr OpRect kSetRect{0, 116, 60, 22}, kModeRect{60, 116, 100, 22}, kSourceRect{0, 60, 160, 22};
constexpr OpRect kWeffRect{24, 84, 136, 30}, kXRect{184, 84, 136, 30};
constexpr OpRect kOutputRect{0, 166, 320, 64};   // the output text and its bar
constexpr OpRect lineRect(int i) { return {0, static_cast<int16_t>(60 + 22 * i), 320, 22}; }
constexpr OpRect kLineRects[6] = {lineRect(0), lineRect(1), lineRect(2),
                                  lineRect(3), lineRect(4), lineRect(5)};

// --- The controller -------------------------------------------------------------------------

// The display records of the page's controller; `link` is null for another block.
CtrlPageRecords pageController() { return CTRL_PageRecordsOf(g_opBlockPage.block); }
// The record whose values the page shows in place of the controller's own: the cascade
// master's, where the controller has one.
const CtrlPageLink* partnerOf(const CtrlPageRecords& r) {
  return (r.link->flags & CTRL_FLAG_SLAVE) ? r.partner : nullptr;
}
bool isManual(const CtrlPageLink& k) { return (k.status & CTRL_ST_MANUAL) != 0; }
bool isPlus() { return g_opBlockPage.type == BLK_TYPE_CONTR_PLUS; }
bool isPidma() { return g_opBlockPage.type == BLK_TYPE_PIDMA; }

struct CtrlPageState {
  uint8_t manual, previousManual;
};
CtrlPageState g_ctrl;

// The page-refresh request of the page's controller, which its block raises when a value it
// shows changed; where the page shows the cascade master's values, the master's request
// counts too (and is taken over here).
uint8_t* refreshRequest(const CtrlPageRecords& r) {
  CtrlPageLink& k = *r.link;
  if ((k.flags & CTRL_FLAG_SLAVE) && r.partner && r.partner->updated) {
    r.partner->updated = 0;
    k.updated = 1;
  }
  return &k.updated;
}

// --- Edit targets ----------------------------------------------------------------------------
// The fields' descriptors carry values of their own, loaded from the controller when a field
// is entered; the finished value becomes the controller's request (the commit hooks below).

float g_setpointValue, g_outputValue, g_setValue;
uint16_t g_sourceValue, g_poptValue;
FbFloatLimitData g_setpointLimits{0, 100, nullptr, nullptr, &g_setpointLimits.ownAttribute, 1};
FbFloatLimitData g_outputLimits{0, 100, nullptr, nullptr, &g_outputLimits.ownAttribute, 1};
FbFloatLimitData g_setLimits{1, CTRL_PAGE_SETS, nullptr, nullptr, &g_setLimits.ownAttribute, 0};

int16_t previousChoice(uint16_t block, int16_t value);
int16_t nextChoice(uint16_t block, int16_t value);
// The setpoint choices available, as a discrete set: the controller's stepping functions
// give the neighbours of a choice.
const FwShortLimit kSourceLimits{FW_LIMIT_DISCRETE, FW_LIMIT_DISCRETE, previousChoice, nextChoice};

FbValueEntry g_setpointEntry{FB_KIND_FLOAT, 0, &g_setpointValue, nullptr, &g_setpointLimits, 0, 0};
FbValueEntry g_outputEntry{FB_KIND_FLOAT, 0, &g_outputValue, nullptr, &g_outputLimits, 0, 0};
FbValueEntry g_setEntry{FB_KIND_FLOAT, 0, &g_setValue, nullptr, &g_setLimits, 0, 0};
FbValueEntry g_sourceEntry{FB_KIND_WORD, 0, &g_sourceValue, nullptr, &kSourceLimits, 0, 0};
FbValueEntry g_poptEntry{FB_KIND_WORD, 0, &g_poptValue, nullptr, nullptr, 0, 0};

const OpFieldExtra kSourceExtra{FW_TXT_SP_CHOICE, nullptr, 0, OP_EDIT_MODE_DIALOG, nullptr};
const OpFieldExtra kStepperExtra{0, nullptr, 0, OP_EDIT_MODE_PLUSMINUS, nullptr};

// Without the controller's stepping only choice 0 (keep) is there.
int16_t stepChoice(uint16_t block, int16_t value, bool next) {
  return static_cast<int16_t>(
      CTRL_PageSetpointChoice(block, static_cast<uint16_t>(value < 0 ? 0 : value), next));
}
int16_t previousChoice(uint16_t block, int16_t value) { return stepChoice(block, value, false); }
int16_t nextChoice(uint16_t block, int16_t value) { return stepChoice(block, value, true); }

// Commits: the setpoint offered to the controller, the setpoint command, nothing for the
// output (its stepper moves the controller through the inc/dec bytes).
int commitSetpoint(const FbValueEntry*, uint16_t, float value) {
  CtrlPageLink* k = pageController().link;
  if (!k || value == FW_NO_VALUE) return FW_POST_BAD;
  k->offeredSetpoint = value;
  k->setpointOffered = 1;
  return FW_POST_OK;
}
int commitSource(const FbValueEntry*, uint16_t, float value) {
  CtrlPageLink* k = pageController().link;
  const int choice = FW_FloatToI32(value);
  if (!k || choice < CTRL_SPCMD_EXTERNAL || choice > CTRL_SPCMD_W2_OFF) return FW_POST_BAD;
  k->setpointCommand = static_cast<uint8_t>(choice);
  return FW_POST_OK;
}
int commitNothing(const FbValueEntry*, uint16_t, float) { return FW_POST_OK; }

// --- Fields ----------------------------------------------------------------------------------

constexpr int16_t kParamSetId = 318;      // CONTR+: the parameter set chosen on the page
constexpr uint16_t kPoptId = FB_ID_WORD;  // CONTR+: word parameter POpt

// What a field of the overview stands for; CONTR+ has the parameter set in front.
enum Role : uint8_t { kSet, kMode, kSource, kSetpoint, kX, kOutput, kNone };
constexpr uint32_t kTypeByte = FB_HDR_TYPE * 2;   // a link field's byte: the type, never 0

constexpr OpPageField modeField() {
  return {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kModeRect, &g_opPageRows.rows[kRowMode], 0, 6, 0};
}
constexpr OpPageField sourceField() {
  return {&g_sourceEntry, &kSourceExtra, 0, OP_PF_WORD, &kSourceRect, &g_opPageRows.rows[kRowSource], 0,
          kSourceChars, 0};
}
constexpr OpPageField setpointField() {
  return {&g_setpointEntry, nullptr, 0, OP_PF_FLOAT, &kWeffRect, &g_opPageRows.rows[kRowWeff], 0,
          kNumberChars, 0};
}
constexpr OpPageField xField() {
  return {nullptr, nullptr, kTypeByte, OP_PF_LINK, &kXRect, &g_opPageRows.rows[kRowX], 0, kNumberChars, 0};
}
constexpr OpPageField outputField() {
  return {&g_outputEntry, &kStepperExtra, 0, OP_PF_FLOAT, &kOutputRect, &g_opPageRows.rows[kRowOutput],
          kLabelChars, kNumberChars, 0};
}
const OpPageField kOverviewFields[] = {modeField(), sourceField(), setpointField(), xField(),
                                       outputField()};
const OpPageField kOverviewPlusFields[] = {
    {&g_setEntry, nullptr, 0, OP_PF_FLOAT, &kSetRect, &g_opPageRows.rows[kRowSet], 1, 1, kParamSetId},
    modeField(), sourceField(), setpointField(), xField(), outputField()};
const OpFieldTable kOverviewTable{nullptr, kOverviewFields};
const OpFieldTable kOverviewPlusTable{nullptr, kOverviewPlusFields};

Role overviewRole(uint16_t field) {
  if (field == 0) return kNone;
  const int role = isPlus() ? field - 1 : field;
  return role >= kSet && role <= kOutput ? static_cast<Role>(role) : kNone;
}
uint16_t overviewField(Role role) {
  return static_cast<uint16_t>(isPlus() ? role + 1 : role);
}

// Whether a field of the overview can be entered now.
bool overviewAvailable(const CtrlPageLink& k, Role role) {
  if (role == kX) return true;
  if (k.lock) return false;
  switch (role) {
    case kSet: return isPlus() && !k.setFromInput;
    case kMode: return true;
    case kSource:
    case kSetpoint: return !k.setpointLock;
    case kOutput: return isManual(k);
    default: return false;
  }
}

uint16_t overviewCursor(uint16_t index, int direction) {
  const CtrlPageLink* k = pageController().link;
  if (!k) return 0;
  return OP_NextFieldWhere(index, direction,
                       [k](uint16_t i) { return overviewAvailable(*k, overviewRole(i)); });
}

// Loads a field's value before the common enter starts the editor on it.
void loadSetpoint(const CtrlPageLink& k) {
  g_setpointValue = k.setpoint.value;
  OP_SetFloatLimits(&g_setpointLimits, k.setpoint.low, k.setpoint.high, k.setpoint.decimals);
}

int overviewEnter(uint16_t field) {
  const CtrlPageRecords r = pageController();
  const Role role = overviewRole(field);
  if (!r.link || !overviewAvailable(*r.link, role)) return -1;
  CtrlPageLink& k = *r.link;
  const CtrlDisplay& d = *r.display;
  switch (role) {
    case kMode:
      // The block follows the page's manual command at its next run.
      k.manualCmd = k.manualCmd ? 0 : 1;
      return 0;
    case kSource:
      g_sourceValue = 0;
      break;
    case kSetpoint:
      loadSetpoint(k);
      break;
    case kOutput:
      g_outputValue = d.y.value;
      OP_SetFloatLimits(&g_outputLimits, d.y.low, d.y.high, d.y.decimals);
      break;
    case kSet:
      g_setValue = static_cast<float>(k.activeSet + 1);
      break;
    default:
      break;
  }
  return OP_ENTER_COMMON;
}

// The edit that the common enter started gets the page's commit and, on the output, the
// controller's inc/dec bytes as the stepper's targets; an output edit ends when the
// controller leaves manual.
void editTargets(CtrlPageLink& k, Role role) {
  OpEditState& e = g_opEdit;
  if (!g_opFieldEditor.editing || !e.active) return;
  if (e.commit == OP_ValueCommit) {
    if (role == kSetpoint) e.commit = commitSetpoint;
    if (role == kSource) e.commit = commitSource;
    if (role == kOutput) e.commit = commitNothing;
  }
  if (role != kOutput) return;
  if (!isManual(k)) {
    OP_EditAbort();
    return;
  }
  OP_EditSetStepTargets(&k.incKey, &k.decKey);
}

// --- Status texts ----------------------------------------------------------------------------

struct BitText {
  uint16_t bit;
  const char* text;
};
const char* firstOf(uint16_t word, const BitText* table, int n, const char* otherwise) {
  for (int i = 0; i < n; ++i) {
    if (word & table[i].bit) return table[i].text;
  }
  return otherwise;
}
const BitText kModeTexts[] = {{CTRL_ST_Y2, "Y2    "},         {CTRL_ST_HARD_MANUAL, "Yhm   "},
                              {CTRL_ST_MANUAL, "Man.  "},     {CTRL_ST_OPT_FAILED, "Oerr  "},
                              {CTRL_ST_OPT_RUN, "Orun  "}};
const BitText kSourceTexts[] = {{CTRL_ST_W2, "W2 "}, {CTRL_ST_EXTERNAL, "We "}};
constexpr uint16_t kStatusTrack = 0x0008;
const BitText kRampTexts[] = {{CTRL_ST_WSTOP, "Stp "}, {CTRL_ST_RAMP, "Grw "}, {kStatusTrack, "Trk "}};
const BitText kFaultTexts[] = {
    {CTRL_ST_OFF, "Coff   "}, {CTRL_ST_XFAULT, "XFail  "}, {CTRL_ST_YP_FAULT, "YpFail "}};

// --- The overview ------------------------------------------------------------------------------

void clearRows(OpTextRow* rows, int n) {
  for (int i = 0; i < n; ++i) {
    rows[i] = OpTextRow{};
    rows[i].changed = 1;
  }
}

// Step 5: the output bar, its label and its text.
void drawOutputBar(CtrlPageLink& k, const CtrlDisplay& d) {
  OpTextRow* row = &g_opPageRows.rows[kRowOutput];
  char value[kNumberChars + 1];
  const char* label;
  const char* text;
  int16_t permille, marker = 0;
  if (isManual(k)) {
    label = "Y:";
    text = OP_NumberText(value, kNumberChars, d.y.value, d.y.decimals);
    permille = static_cast<int16_t>(FW_ScaleToPermille(d.y.value, d.y.low, d.y.high));
  } else {
    label = d.mode & 2 ? "X:" : d.mode & 8 ? "Y:" : d.mode & 4 ? "xw" : "  ";
    permille = static_cast<int16_t>(FW_ScaleToPermille(d.value[0], d.low, d.high));
    if (d.mode & CTRL_DISPLAY_OVC_PLUS) {
      text = "  OVC+";
    } else if (d.mode & CTRL_DISPLAY_OVC_MINUS) {
      text = "  OVC-";
    } else {
      text = OP_NumberText(value, kNumberChars, d.value[1], d.decimals);
    }
    // On the process-value bar the marker stands at the setpoint.
    if ((d.mode & 0xF) == CTRL_DISPLAY_PROCESS) {
      marker = static_cast<int16_t>(FW_ScaleToPermille(k.w.value, d.low, d.high));
    }
  }
  // A redraw request draws the bar even where its length stayed (the next display update).
  if (k.flags & CTRL_FLAG_REDRAW_BAR) {
    k.flags = static_cast<uint16_t>(k.flags & ~CTRL_FLAG_REDRAW_BAR);
    OP_RequestTextScreen();
  }
  OP_RowPrintf(row, "%s%s", label, text);
  g_opPageRows.bars[0] = permille;
  g_opPageRows.bars[1] = marker;
}

void overviewStep(const CtrlPageRecords& r, int step) {
  CtrlPageLink& k = *r.link;
  const uint16_t flags = k.flags;
  const CtrlPageLink* partner = partnerOf(r);
  OpTextRow* rows = g_opPageRows.rows;
  char value[kNumberChars + 1];
  switch (step) {
    case 0:
      if (!isPidma() && !OP_RefreshSkips(overviewField(kSet), &k.updated)) {
        OP_RowPrintf(&rows[kRowSet], "P%d", k.activeSet + 1);
      }
      break;
    case 1: {
      const CtrlTriple& w = (flags & CTRL_FLAG_SLAVE) && partner ? partner->w : k.w;
      if (!OP_RefreshSkips(overviewField(kSetpoint), &k.updated)) {
        OP_RowPrintf(&rows[kRowWeff], "%s", OP_NumberText(value, kNumberChars, w.value, w.decimals));
      }
      break;
    }
    case 2: {
      const CtrlTriple& x = (flags & CTRL_FLAG_SLAVE_FOLLOWS) && partner ? partner->x : k.x;
      OP_RowPrintf(&rows[kRowX], "%s", OP_NumberText(value, kNumberChars, x.value, x.decimals));
      break;
    }
    case 3: {
      const CtrlPageLink& src = (flags & CTRL_FLAG_SLAVE_FOLLOWS) && partner ? *partner : k;
      char unit[kUnitChars + 1];
      std::snprintf(unit, sizeof unit, "%.*s", kUnitChars, src.xUnit);
      char mode[7], source[11], fault[11];
      OP_CtrlStatusTexts(src.status, flags, unit, mode, source, fault);
      OP_RowPrintf(&rows[kRowMode], "%s", mode);
      if (!OP_RefreshSkips(overviewField(kSource), &k.updated)) {
        OP_RowPrintf(&rows[kRowSource], "%s", source);
      }
      OP_RowPrintf(&rows[kRowFault], "%s", fault);
      const bool slave = (flags & CTRL_FLAG_SLAVE) && !(flags & CTRL_FLAG_SLAVE_FOLLOWS);
      OP_RowPrintf(&rows[kRowRole], "%s", slave ? " Slave" : "");
      break;
    }
    case 4:
      if ((flags & CTRL_FLAG_SLAVE) && partner) {
        OP_RowPrintf(&rows[kRowCascade], "%s", flags & CTRL_FLAG_SLAVE_OWN ? "Casc-Open" : "Cascade   ");
        const char* state = k.status & CTRL_ST_OFF ? "Coff" : k.status & CTRL_ST_XFAULT ? "XFail" : "";
        const CtrlTriple& w = partner->setpoint;
        OP_RowPrintf(&rows[kRowMaster], "%-5s%s", state,
                     OP_NumberText(value, kNumberChars, w.value, w.decimals));
      } else if (rows[kRowCascade].text[0] || rows[kRowMaster].text[0]) {
        clearRows(&rows[kRowCascade], 2);
      }
      break;
    case 5:
      drawOutputBar(k, *r.display);
      break;
    default:
      break;
  }
}

// --- The tuning pages ----------------------------------------------------------------------------

constexpr OpPageField backField() {
  return {nullptr, nullptr, kTypeByte, OP_PF_LINK, &kLineRects[kLineXY], line(kLineXY), 0, 0, 0};
}
constexpr OpPageField tuneSetpointField() {
  return {&g_setpointEntry, nullptr, 0, OP_PF_FLOAT, &kLineRects[kLineW], line(kLineW), kWColumn,
          kNumberChars, 0};
}
const OpPageField kTuneFields[] = {
    backField(), tuneSetpointField(),
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kLineRects[kLineStatus], line(kLineStatus), kStatColumn,
     kStateChars, 0},
    {&g_poptEntry, nullptr, 0, OP_PF_WORD, &kLineRects[kLineStatus], line(kLineStatus), kPoptColumn, 1,
     static_cast<int16_t>(kPoptId)},
};
const OpPageField kPidTuneFields[] = {
    backField(), tuneSetpointField(),
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kLineRects[kLineStatus], line(kLineStatus), kPidStatColumn,
     kStateChars, 0},
};
// What the tuning page keeps beside the controller's records.
struct TunePageState {
  uint16_t fieldCount = OP_TUNE_FIELD_STATE;   // CONTR+ has its POpt field too
};
TunePageState g_tune;
const OpFieldTable kTuneTable{&g_tune.fieldCount, kTuneFields};
const OpFieldTable kPidTuneTable{nullptr, kPidTuneFields};

bool tuneAvailable(const CtrlPageLink& k, uint16_t field) {
  if (field == OP_TUNE_FIELD_BACK) return true;
  if (k.lock) return false;
  if (field == OP_TUNE_FIELD_SETPOINT) return !k.setpointLock;
  return field == OP_TUNE_FIELD_STATE || (field == OP_TUNE_FIELD_POPT && isPlus());
}

uint16_t tuneCursor(uint16_t index, int direction) {
  const CtrlPageLink* k = pageController().link;
  if (!k) return 0;
  return OP_NextFieldWhere(index, direction, [k](uint16_t i) { return tuneAvailable(*k, i); });
}

int tuneEnter(uint16_t field) {
  const CtrlPageRecords r = pageController();
  if (!r.link || !tuneAvailable(*r.link, field)) return -1;
  switch (field) {
    case OP_TUNE_FIELD_STATE: {
      // The controller's self-tuning choice turns the shown state into its start or stop; a
      // PIDMA's test is stopped while it runs, else started.
      const CtrlDisplay& d = *r.display;
      const uint16_t code = isPidma() ? (d.tuneResult == CTRL_TUNE_RESULT_RUNNING ? 1 : 0) : d.optCode;
      return CTRL_PageOptChoice(g_opBlockPage.block, code) ? 0 : -1;
    }
    case OP_TUNE_FIELD_SETPOINT:
      loadSetpoint(*r.link);
      break;
    case OP_TUNE_FIELD_POPT: {
      // The pending copy of word parameter POpt, with the type's limit record.
      const FbTypeRecord* t = FB_GetType(BLK_TYPE_CONTR_PLUS);
      FbLayout L;
      if (!t || !t->limits || t->limits->wordParams.empty() || !FB_GetLayout(g_opBlockPage.block, &L) ||
          L.wordParams == 0) {
        return -1;
      }
      g_poptValue = L.wp[L.wordParams];
      g_poptEntry.limits = &t->limits->wordParams[0];
      break;
    }
    default:
      break;
  }
  return OP_ENTER_COMMON;
}

// Every cycle of a tuning page: the page-open mark and the setpoint edit's commit; false when
// the page's block is no controller.
bool tuneCycle(const CtrlPageRecords& r, uint16_t field) {
  if (!r.link) return false;
  r.link->flags |= CTRL_FLAG_PAGE_OPEN;
  if (field == OP_TUNE_FIELD_SETPOINT) editTargets(*r.link, kSetpoint);
  return true;
}

// Line 1 of the tuning pages: process value, "(Man)" and the output.
void tuneLineXY(const CtrlPageRecords& r) {
  const CtrlPageLink& k = *r.link;
  char x[7], y[5];
  OP_RowPrintf(line(kLineXY), "X =%s    Y = %s%s", OP_NumberText(x, 6, k.x.value, k.x.decimals),
               isManual(k) ? "(Man)" : "     ", OP_NumberText(y, 4, r.display->y.value, 0));
}

// Steps 1 and 2 of the tuning pages: the setpoint (unless it is being edited) and Weff.
void tuneSetpoints(CtrlPageLink& k, int step) {
  const CtrlTriple& t = step == 1 ? k.setpoint : k.w;
  if (step == 1 && OP_RefreshSkips(OP_TUNE_FIELD_SETPOINT, &k.updated)) return;
  OP_RowNumber(line(kLineW), step == 1 ? kWColumn : kWeffColumn, kNumberChars, t.value, t.decimals);
}

void tuneState(int column, int state) {
  char text[kStateChars + 1];
  std::snprintf(text, sizeof text, "%6.6s", OP_ListText(FW_TXT_TUNE_STATE, state, 17));
  OP_RowPut(line(kLineStatus), column, kStateChars, text);
}

// --- The calibration page ----------------------------------------------------------------------

constexpr uint16_t kTypeTqAiPlus = 19;
constexpr int kCalLabelChars = 6, kValueColumn = 9, kValueChars = 17, kOutputChars = 9;
enum : uint8_t {
  kLineX0 = 0, kLineX100 = 1, kLineReading = 2, kLineFail = 3, kLineOutput = 4, kLineState = 5,
};

BlkCalPage* pageCalibration() { return BLK_CalPageOf(g_opBlockPage.block); }

uint16_t calCallback(const BlkCalPage& p, int which, uint16_t field) {
  const BlkCalCallbackFn fn = BLK_CalCallback(p.callback[which].get());
  return fn ? fn(g_opBlockPage.block, field) : 0;
}

const OpPageField kInputFields[] = {
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kLineRects[kLineX0], line(kLineX0), 0, 0, 0},
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kLineRects[kLineX100], line(kLineX100), 0, 0, 0},
    {&g_outputEntry, &kStepperExtra, 0, OP_PF_FLOAT, &kLineRects[kLineOutput], line(kLineOutput),
     kValueColumn, kValueChars, 0},
    {nullptr, nullptr, kTypeByte, OP_PF_WORD, &kLineRects[kLineState], line(kLineState), 0, 0, 0},
};
const OpFieldTable kInputTable{nullptr, kInputFields};

bool inputAvailable(const BlkCalPage* p, uint16_t field) {
  if (!p || p->lock) return false;
  switch (field) {
    case OP_INPUT_FIELD_X0:
    case OP_INPUT_FIELD_X100: {
      if (field == OP_INPUT_FIELD_X100 && p->offsetMode) return false;
      const uint16_t access = calCallback(*p, 1, static_cast<uint16_t>(field - 1));
      return access == 1 || access == 2;
    }
    case OP_INPUT_FIELD_OUTPUT: return calCallback(*p, 0, BLK_CAL_Y) == 2;
    case OP_INPUT_FIELD_MANUAL: return true;
    default: return false;
  }
}

uint16_t inputCursor(uint16_t index, int direction) {
  const BlkCalPage* p = pageCalibration();
  return OP_NextFieldWhere(index, direction, [p](uint16_t i) { return inputAvailable(p, i); });
}

// Entering a calibration point asks for it ("Set 0%", "Set 100%", "Set Dif"); entering it
// again while asked takes the reading (the block's start request).
int inputEnter(uint16_t field) {
  BlkCalPage* p = pageCalibration();
  if (!inputAvailable(p, field)) return -1;
  switch (field) {
    case OP_INPUT_FIELD_X0:
    case OP_INPUT_FIELD_X100: {
      const uint16_t asked = field == OP_INPUT_FIELD_X100 ? BLK_CAL_STATE_END
                             : p->offsetMode             ? BLK_CAL_STATE_OFFSET
                                                         : BLK_CAL_STATE_START;
      if (p->state == asked) {
        p->startRequest = 1;
      } else {
        p->state = asked;
      }
      g_opBlockPage.refreshStep = 0;
      return 0;
    }
    case OP_INPUT_FIELD_MANUAL:
      p->autoManual = p->autoManual ? 0 : 1;
      g_opBlockPage.refreshStep = 0;
      return 0;
    case OP_INPUT_FIELD_OUTPUT:
      g_outputValue = p->field[BLK_CAL_Y].value;
      OP_SetFloatLimits(&g_outputLimits, p->field[BLK_CAL_Y].min, p->field[BLK_CAL_Y].max,
                     static_cast<uint8_t>(p->field[BLK_CAL_Y].format));
      return OP_ENTER_COMMON;
    default:
      return -1;
  }
}

void inputLine(int i, const char* label, const char* value) {
  OP_RowPrintf(line(i), "%-*s = %*s", kCalLabelChars, label, kValueChars, value);
}
void inputValueLine(int i, const char* label, const BlkCalField& f) {
  char value[kValueChars + 1];
  inputLine(i, label, OP_NumberText(value, kValueChars, f.value, f.format));
}

}  // namespace

// --- Records of the dispatcher ---------------------------------------------------------------

const OpBlockPage g_opCtrlPage{.screen = 1, .open = OP_CtrlPageOpen, .cycle = OP_CtrlPageRefresh,
                               .cursor = overviewCursor, .enter = overviewEnter, .fields = &kOverviewTable};
const OpBlockPage g_opCtrlPlusPage{.screen = 1, .open = OP_CtrlPageOpen, .cycle = OP_CtrlPageRefresh,
                                   .cursor = overviewCursor, .enter = overviewEnter,
                                   .fields = &kOverviewPlusTable};
const OpBlockPage g_opTunePage{.screen = 7, .open = OP_TunePageOpen, .cycle = OP_TunePageRefresh,
                               .cursor = tuneCursor, .enter = tuneEnter, .fields = &kTuneTable};
const OpBlockPage g_opPidTunePage{.screen = 7, .open = OP_TunePageOpen, .cycle = OP_PidTunePageRefresh,
                                  .cursor = tuneCursor, .enter = tuneEnter, .fields = &kPidTuneTable};
const OpBlockPage g_opInputPage{.screen = 7, .open = OP_InputPageOpen, .cycle = OP_InputPageRefresh,
                                .cursor = inputCursor, .enter = inputEnter, .fields = &kInputTable};

// --- Status texts ------------------------------------------------------------------------------

void OP_CtrlStatusTexts(uint16_t status, uint16_t flags, const char* unit, char* mode, char* source,
                        char* fault) {
  std::snprintf(mode, 7, "%s", firstOf(status, kModeTexts, 5, "      "));
  std::snprintf(source, 11, "%s%s", firstOf(status, kSourceTexts, 2, "W  "),
                firstOf(status, kRampTexts, 3, "    "));
  const char* f = flags & CTRL_FLAG_CASCADE_ERROR ? "C Err  " : firstOf(status, kFaultTexts, 3, nullptr);
  std::snprintf(fault, 11, "%-7.7s", f ? f : unit ? unit : "");
}

// --- Controller overview -------------------------------------------------------------------------

int OP_CtrlPageOpen() {
  CtrlPageLink* k = pageController().link;
  clearRows(g_opPageRows.rows, OP_PAGE_ROWS);
  for (int16_t& b : g_opPageRows.bars) b = 0;
  if (!k) return 0;
  g_ctrl = CtrlPageState{};
  g_ctrl.manual = g_ctrl.previousManual = isManual(*k) ? 1 : 0;
  k->flags |= CTRL_FLAG_REDRAW_BAR;
  OP_RowPrintf(&g_opPageRows.rows[kRowMode], "  ");
  // The labels of the setpoint and process value columns.
  OP_RowPrintf(&g_opPageRows.rows[kRowWLabel], "W");
  OP_RowPrintf(&g_opPageRows.rows[kRowXLabel], "X");
  // The open runs a cycle or more after the page was chosen and clears its rows: the refresh
  // round starts again, so that every field is filled in the round after the open.
  g_opBlockPage.refreshStep = 0;
  OP_ShowTextScreen(1, 0);   // every row of the screen (the dispatcher drew the title)
  return 0;
}

int OP_CtrlPageRefresh(uint16_t field) {
  const CtrlPageRecords r = pageController();
  if (!r.link) return 1;
  CtrlPageLink& k = *r.link;
  k.flags |= CTRL_FLAG_PAGE_OPEN;
  g_ctrl.previousManual = g_ctrl.manual;
  g_ctrl.manual = isManual(k) ? 1 : 0;
  if (g_ctrl.manual != g_ctrl.previousManual) k.flags |= CTRL_FLAG_REDRAW_BAR;
  editTargets(k, overviewRole(field));
  const int step = OP_BlockRefreshStep(6, refreshRequest(r));
  if (step >= 0) overviewStep(r, step);
  return 0;
}

// --- Tuning pages ----------------------------------------------------------------------------------

int OP_TunePageOpen() {
  const CtrlPageLink* k = pageController().link;
  clearRows(g_opMenuRows.items, OP_MENU_ITEM_ROWS);
  OP_SetPageTitle(&g_opMenuRows.title, g_opBlockPage.tag);
  g_tune.fieldCount = isPlus() ? OP_TUNE_FIELD_POPT : OP_TUNE_FIELD_STATE;
  OP_RowPrintf(line(kLineW), "W =%*sWeff =", kNumberChars, "");
  if (isPlus()) {
    OP_RowPrintf(line(kLineStatus), "Popt:%1s(%1s) Stat:%6s", "", "", "");
  } else if (isPidma()) {
    OP_RowPrintf(line(kLineStatus), "T = %5s Status:%6s", "", "");
  } else {
    OP_RowPrintf(line(kLineStatus), "%9s Stat:%6s", "", "");
  }
  if (k) g_ctrl = CtrlPageState{};
  g_opBlockPage.refreshStep = 0;   // the round after the open fills every line
  OP_ShowTextScreen(7, 0);
  return 0;
}

int OP_TunePageRefresh(uint16_t field) {
  const CtrlPageRecords r = pageController();
  if (!tuneCycle(r, field)) return 1;
  CtrlPageLink& k = *r.link;
  const CtrlDisplay& d = *r.display;
  char a[7], b[7];
  switch (OP_BlockRefreshStep(9, refreshRequest(r))) {
    case 0: tuneLineXY(r); break;
    case 1: tuneSetpoints(k, 1); break;
    case 2: tuneSetpoints(k, 2); break;
    case 3:
      if (isPlus() && !OP_RefreshSkips(OP_TUNE_FIELD_POPT, &k.updated)) {
        std::snprintf(a, sizeof a, "%d", k.optimisedSet + 1);
        OP_RowPut(line(kLineStatus), kPoptColumn, 1, a);
      }
      break;
    case 4:
      if (isPlus()) {
        std::snprintf(a, sizeof a, "%d", k.activeSet + 1);
        OP_RowPut(line(kLineStatus), kPoptNumberColumn, 1, a);
      }
      break;
    case 5: tuneState(kStatColumn, d.optCode); break;
    case 6: OP_RowPrintf(line(kLineResult), "Ores  H: %6d  C: %6d", d.optResult[0], d.optResult[1]); break;
    case 7:
      OP_RowPrintf(line(kLineTu), "Tu    H: %s  C: %s", OP_NumberText(a, 6, d.tu[0], 0),
                   OP_NumberText(b, 6, d.tu[1], 0));
      break;
    case 8:
      OP_RowPrintf(line(kLineVmax), "Vmax  H: %s  C: %s", OP_NumberText(a, 6, d.vmax[0], 3),
                   OP_NumberText(b, 6, d.vmax[1], 3));
      break;
    default: break;
  }
  return 0;
}

// The PIDMA's tuning page shows its adaptation: the status (its text number, its result
// code: an error, 13 while a test runs, 0) and time, and the proposal Kp, Tn, Tv.
int OP_PidTunePageRefresh(uint16_t field) {
  const CtrlPageRecords r = pageController();
  if (!tuneCycle(r, field)) return 1;
  CtrlPageLink& k = *r.link;
  const CtrlDisplay& d = *r.display;
  char a[12], b[7];
  switch (OP_BlockRefreshStep(8, refreshRequest(r))) {
    case 0: tuneLineXY(r); break;
    case 1: tuneSetpoints(k, 1); break;
    case 2: tuneSetpoints(k, 2); break;
    case 3:
      std::snprintf(a, sizeof a, "%5d", FW_FloatToI32(std::trunc(d.tuneTime)));
      OP_RowPut(line(kLineStatus), kTimerColumn, kTimerChars, a);
      break;
    case 4: tuneState(kPidStatColumn, d.tuneText); break;
    case 5:
      if (d.tuneResult == 100) {
        OP_RowPrintf(line(kLineResult), "Ores = %s", FW_GetText(FW_TXT_TUNE_RESULT_MANUAL));
      } else if (d.tuneResult >= 0 && d.tuneResult <= 13) {
        OP_RowPrintf(line(kLineResult), "Ores = %s", FW_GetText(FW_TXT_TUNE_RESULT + d.tuneResult));
      } else {
        OP_RowPrintf(line(kLineResult), "Ores = %d:???", d.tuneResult);
      }
      break;
    case 6: OP_RowPrintf(line(kLineTu), "Kp = %s", OP_NumberText(b, 6, d.proposal[0], 3)); break;
    case 7:
      OP_RowPrintf(line(kLineVmax), "Tn = %s    Tv = %s", OP_NumberText(a, 6, d.proposal[1], 1),
                   OP_NumberText(b, 6, d.proposal[2], 1));
      break;
    default: break;
  }
  return 0;
}

// --- Calibration page ----------------------------------------------------------------------------

int OP_InputPageOpen() {
  clearRows(g_opMenuRows.items, OP_MENU_ITEM_ROWS);
  OP_SetPageTitle(&g_opMenuRows.title, g_opBlockPage.tag);
  if (g_opBlockPage.type != kTypeTqAiPlus) inputLine(kLineOutput, "Y", "");
  g_opBlockPage.refreshStep = 0;   // the round after the open fills every line
  OP_ShowTextScreen(7, 0);
  return 0;
}

int OP_InputPageRefresh(uint16_t field) {
  BlkCalPage* p = pageCalibration();
  const uint16_t type = g_opBlockPage.type;
  // The stepper of the output moves the block's drive through its inc/dec requests.
  if (g_opFieldEditor.editing && g_opEdit.active) {
    if (field == OP_INPUT_FIELD_OUTPUT && p) {
      if (g_opEdit.commit == OP_ValueCommit) g_opEdit.commit = commitNothing;
      OP_EditSetStepTargets(&p->incRequest, &p->decRequest);
    } else {
      OP_EditSetStepTargets(nullptr, nullptr);
    }
  }
  uint8_t none = 0;
  const int step = OP_BlockRefreshStep(6, p ? &p->updated : &none);
  if (step < 0 || !p) return 0;
  switch (step) {
    case 0: inputValueLine(kLineX0, "x0", p->field[BLK_CAL_X0]); break;
    case 1: inputValueLine(kLineX100, "x100", p->field[BLK_CAL_X100]); break;
    case 2: inputValueLine(kLineReading, "X", p->field[BLK_CAL_READING]); break;
    case 3: inputLine(kLineFail, "fail", FW_GetText(p->fault ? FW_TXT_ON : FW_TXT_OFF)); break;
    case 4:
      if (type != kTypeTqAiPlus) {
        OP_RowNumber(line(kLineOutput), kValueColumn + kValueChars - kOutputChars, kOutputChars,
                     p->field[BLK_CAL_Y].value, p->field[BLK_CAL_Y].format);
      }
      break;
    case 5: {
      char channel[7] = "";
      if (type == kTypeTqAiPlus) {
        std::snprintf(channel, sizeof channel, "%6.6s", OP_ListText(FW_TXT_CHANNEL_1_4, p->channel, 4));
      } else if (type == BLK_TYPE_R_IN) {
        std::snprintf(channel, sizeof channel, "%6.6s", OP_ListText(FW_TXT_CHANNEL_AB, p->channel, 2));
      }
      OP_RowPrintf(line(kLineState), "%-4s  %6s  %9.9s", p->autoManual ? "Man." : "", channel,
                   OP_ListText(FW_TXT_CAL_STEP, p->state, 7));
      break;
    }
    default: break;
  }
  return 0;
}
