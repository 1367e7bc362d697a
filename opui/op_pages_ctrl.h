// Operating pages of the controller blocks (CONTR, CONTR+, PIDMA) and of the analog inputs
// with calibration (TQ_AI+, R_IN, AINP1, AINP6, UNI_IN).
//
// The controller overview (text screen 1) shows the parameter set, the mode, the setpoint
// source, the effective setpoint and the process value (of the cascade master where the
// cascade asks for it), the fault and cascade texts and the output bar. Its fields change
// the operating mode, the setpoint source, the setpoint, the parameter set of a CONTR+, and
// step the output in manual; the process value leads to the second page, the tuning page
// (text screen 7), with the results of the self-tuning, its start and stop, and for a
// CONTR+ the parameter set it optimises. The calibration page (text screen 7) shows the two
// calibration points, the reading and the output, and drives a calibration.
//
// Every page follows the refresh scheme of the block pages (OP_BlockRefreshStep): one
// field a cycle, a new round when the block asks for one; the field under edit keeps what
// the operator typed. All values come from the block's records (ctrl_page.h, io.h); what the
// page writes are the block's requests, which it takes at its next run.
#pragma once

#include <cstdint>

// Fields of the controller overview (CONTR+ has the parameter set as field 1 before them).
enum : uint16_t {
  OP_CTRL_FIELD_MODE = 1, OP_CTRL_FIELD_SOURCE, OP_CTRL_FIELD_SETPOINT, OP_CTRL_FIELD_X,
  OP_CTRL_FIELD_OUTPUT, OP_CTRL_FIELDS = OP_CTRL_FIELD_OUTPUT,
};
// Fields of the tuning page: the first line leads back, the setpoint, the self-tuning state
// (start/stop) and, for CONTR+, the parameter set it optimises.
enum : uint16_t { OP_TUNE_FIELD_BACK = 1, OP_TUNE_FIELD_SETPOINT, OP_TUNE_FIELD_STATE, OP_TUNE_FIELD_POPT };
// Fields of the calibration page: the two points, the output and the auto/manual line.
enum : uint16_t { OP_INPUT_FIELD_X0 = 1, OP_INPUT_FIELD_X100, OP_INPUT_FIELD_OUTPUT, OP_INPUT_FIELD_MANUAL };

// Page-open handlers (run once as the pending page action) and refresh handlers (the pages'
// cycle routines: the selected field, 1 when the page is to be left).
int OP_CtrlPageOpen();
int OP_CtrlPageRefresh(uint16_t field);
int OP_TunePageOpen();
int OP_TunePageRefresh(uint16_t field);
int OP_PidTunePageRefresh(uint16_t field);
int OP_InputPageOpen();
int OP_InputPageRefresh(uint16_t field);

// The mode, setpoint-source and fault texts of the overview for a status word and the
// controller's flag word (CTRL_FLAG_*, buffers of 7, 11 and 11 bytes); `unit` is the fault
// text without a fault.
void OP_CtrlStatusTexts(uint16_t status, uint16_t flags, const char* unit, char* mode,
                        char* source, char* fault);
