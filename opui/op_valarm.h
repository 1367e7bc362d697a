// The alarm collector block VALARM (type 109, blocks 41..46): eight digital alarm inputs
// per block, each with an alarm state and a number in the order of arrival, and the
// device-wide alarm indication: the status icon of the top bar and its blinking. Alarm
// slot i is block 41 + i; the alarm page lists the alarms of all six slots by their
// numbers.
#pragma once

#include <cstdint>

#include "opui/op_services.h"

struct FbParamRequest;

constexpr uint16_t OP_TYPE_VALARM = 109;
constexpr uint16_t OP_ALARM_FIRST_BLOCK = 41;   // slot i is block 41 + i
constexpr int OP_ALARM_SLOTS = 6;
constexpr int OP_ALARM_INPUTS = 8;
constexpr int OP_ALARM_TEXT_LISTS = 2;          // one text list for each group of four inputs
constexpr uint8_t OP_ALARM_MAX_NUMBER = 57;     // no arrival number beyond this is given
constexpr uint8_t OP_ALARM_BLINK_PHASES = 8;

// Alarm states.
enum : uint8_t {
  OP_ALARM_NONE = 0,     // inactive
  OP_ALARM_ACTIVE = 1,   // active and not acknowledged
  OP_ALARM_ACKED = 2,    // active and acknowledged
  OP_ALARM_GONE = 3,     // gone but not acknowledged
};

// Inputs, outputs and texts by their 1-based numbers: the analog inputs are fed by the TEXT
// blocks that name the alarms (inputs 1..4, 5..8); the digital inputs are the eight alarms
// and the acknowledge input; the analog output carries the block's number, the digital
// outputs the alarms (1 while active or not yet acknowledged).
enum : uint16_t {
  VALARM_IN_TEXT1 = 1,
  VALARM_IN_TEXT2 = 2,
  VALARM_IN_ACK = OP_ALARM_INPUTS + 1,
  VALARM_OUT_BLOCK = 1,
  VALARM_TEXT_TAG = 1,       // the tag
  VALARM_TEXT_PENDING = 2,   // the tag as written, taken over by a whole configuration set
};

// A VALARM block's own state (its work words), also the page record its block-list entry
// names.
struct ValarmState {
  OpBlockPageData header;               // type 109
  uint8_t state[OP_ALARM_INPUTS];       // OP_ALARM_*
  uint8_t ackRequest[OP_ALARM_INPUTS];  // set by the alarm page with an acknowledgement
  uint8_t number[OP_ALARM_INPUTS];      // arrival number (the page's row), 0 none
  uint16_t textBlock[OP_ALARM_TEXT_LISTS];  // blocks wired to inputs 1 and 2, 0 unwired
  uint16_t lastBlock;                   // the last alarm block of the device
  uint16_t numbered;                    // alarms numbered (the page's rows)
  uint8_t ackHeld;                      // the acknowledge input is set
  uint8_t spare;
};
static_assert(sizeof(ValarmState) % 2 == 0 && alignof(ValarmState) == 2);

// The device-wide part of the alarm indication.
struct OpAlarmCollector {
  ValarmState* slot[OP_ALARM_SLOTS];    // the state of block 41 + i, null when none
  uint8_t counter;                      // the next arrival number, from 1
  uint8_t acknowledged;                 // acknowledgements since the last renumbering
  uint8_t blinkPhase;                   // 0..7 while an alarm is not acknowledged
  uint8_t unacknowledged;               // some alarm is in state 1 or 3
  uint8_t present;                      // some alarm is not in state 0
};
extern OpAlarmCollector g_opAlarms;

// The state of an alarm block (41..46 with a VALARM), null otherwise.
ValarmState* OP_AlarmStateOf(uint16_t block);

// The handlers of the block-type table.
void FB_VALARM_Init();
void FB_VALARM_Run();
uint8_t FB_VALARM_Param(FbParamRequest* request, uint16_t* badIndex);

// Enters the VALARM row into the block-type table.
void OP_RegisterAlarmTypes();
