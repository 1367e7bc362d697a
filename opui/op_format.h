// Value formats of the operating pages and display objects: numbers in fields of fixed
// width, durations, the names of text records, and the choice of decimals that the value
// editor works with. Values out of range are capped, never refused; the no-value marker
// -32000.0 always shows as dashes. Nothing here depends on the user's locale.
#pragma once

#include <cstdint>

// Alignment of OP_FormatNumber.
enum : int { OP_ALIGN_LEFT = -1, OP_ALIGN_NONE = 0, OP_ALIGN_RIGHT = 1 };

constexpr float OP_NUMBER_MAX = 999999.0f;   // shown as "999999" above
constexpr float OP_NUMBER_MIN = -99999.0f;   // shown as "-99999" below
constexpr uint32_t OP_DURATION_MAX = 959999; // seconds (minutes of OP_FormatHms)
constexpr int OP_NUMBER_CHARS = 6;           // a number text is cut after six characters
constexpr int OP_RECORD_LABEL_CHARS = 16;
constexpr uint16_t OP_TYPE_TEXT = 79;        // the text block a record label reads

// Step of one scaled unit by the number of decimals (0..4).
extern const float g_opStepTable[5];

// One number field of `width` characters at `out` (at most outlen of them): -32000.0 gives
// "----" (right-aligned in a field wider than 6 the dashes start 6 characters before its
// end); values are capped at -99999 and 999999 and printed with min(decimals, 3) decimals,
// the text cut after 6 characters. Unless left-aligned the text is right-aligned by
// leading blanks; a left-aligned text is followed by blanks. Exactly the field is written:
// no terminating NUL, and the byte behind the field stays as it was.
void OP_FormatNumber(char* out, int outlen, float value, int decimals, int align, int width);

// The value as a whole number of units of 10^-d: for d = 3, 2, 1, 0 (none above *decimals)
// the first d whose scaled value lies in -9999..99999, d = 0 whatever it gives. On entry
// *decimals is the most decimals allowed, on return the chosen ones; -32000.0 returns
// -32000 and leaves *decimals as it was.
int32_t OP_ChooseDecimals(float value, uint8_t* decimals);

// Durations, right-aligned in `width` and NUL-terminated within outlen bytes (a longer text
// is cut). OP_FormatMinSec: seconds as "%5lu:%02lu" minutes:seconds, " --:--" for -32000.0.
// OP_FormatHms: minutes as hours:minutes:seconds "%02lu:%02lu:%02lu" below 100 hours,
// "%5lu:%02lu" hours:minutes from there, " --:--:--" for -32000.0. Both clamp to
// 0..959999 and round once, to whole seconds.
void OP_FormatMinSec(float seconds, int width, char* out, int outlen);
void OP_FormatHms(float minutes, int width, char* out, int outlen);

// The 16-character name of record `record` (1 .. 4 x count) of a list of text blocks, one
// block number in `table` per four records: text (record - 1) mod 4 of that block, in the
// current language's block of its language chain. A record outside the range or whose
// block is no text block reads "Rec %2d" and blanks on text screens of type 2 and 10, and
// sixteen '-' elsewhere. Writes 16 characters and a NUL (out holds at least 17 bytes).
void OP_FormatRecordLabel(char* out, int record, int count, const uint16_t* table);
