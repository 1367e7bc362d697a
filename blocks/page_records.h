// The small records the operating pages share with the blocks: a block's page-data header,
// the switches STATUS writes, the page a block asks for and the page shown, the alarm and
// idle-screen flags and the touch state of the cycle.
//
// They are one library (sim_page_records) that the blocks and the operating interface both
// link, so a block reads and writes them directly; every program, the tests' fakes and the
// headless tools see the same records.
#pragma once

#include <cstdint>

// Set by the alarm page block and the message block while they need the display.
extern uint8_t OpAlarmDisplayFlags[2];

// Header of a block's operating-page record (the block-list entry's page data).
struct OpBlockPageData {
  uint8_t hide;     // non-zero: the block's operating page is switched off
  uint8_t lock;     // non-zero: its fields are locked against editing
  uint8_t updated;  // set by the block when a shown value changed
  uint8_t spare;
  uint16_t type;    // block type
};

// The four switch states and the user language word that STATUS writes every run.
struct OpDisplaySwitchRecord {
  uint8_t pHide;
  uint8_t cHide;
  uint8_t mHide;
  uint8_t bLock;
  uint16_t userLanguage;
};
extern OpDisplaySwitchRecord OpDisplaySwitches;

// Set by VIDLE while the idle screen is shown: the first key or touch only wakes the display.
extern uint8_t OpIdleShown;
// A block number written here asks for that block's operating page; 0 when served.
extern uint16_t OpPageRequest;
// Block number of the operating page currently shown (0 none).
extern uint16_t OpShownPageBlock;
// Pressed state of the touch input and its position on the display, written at the start of
// every firmware cycle.
extern uint32_t OpTouchPressed;
extern int16_t OpTouchX, OpTouchY;
