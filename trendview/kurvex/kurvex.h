// The trend library: trend objects that keep a ring of samples per channel in one trend
// record, the calls through which the simulator feeds them and the trend viewer reads them,
// and the record's layout.
//
// A trend made by `KurvanCreate` lives in a named shared block (host::SharedBlock); its full
// name stands at record +12 and is what the viewer is started with ("/hTrend=<name>",
// "/hConfig=<name>") and opens with `KurvanOpen`. Records that only one process sees (a
// loaded trend file, a hold snapshot) are private blocks from `KurvanAlloc` and `KurvanCopy`.
//
// Handles are small integers local to the process (0 = none); they are never reused. Every
// access to a record goes between `KurvanLock` and `KurvanUnlock`. The lock of a shared
// record is a process-shared, robust, recursive mutex in the record's library area: a lock
// whose holder died is taken over, and a lock held too long by a live process is given up
// after the lock time-out (the call then fails) instead of being waited on for ever.
//
// Every field is read and written with explicit little-endian access (TrendGet*/TrendPut*).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

using KurvanHandle = std::intptr_t;

// ---------------------------------------------------------------------------------------
// The trend record

constexpr uint32_t TREND_MAGIC = 0x59375835;  // the bytes "5X7Y"

// Offsets in bytes from the start of the record.
enum : uint32_t {
  TREND_REC_MAGIC = 0,
  TREND_REC_SIZE = 4,                // total size S, sample rings included
  TREND_REC_MAPNAME = 12,            // name of the shared block, NUL-terminated
  TREND_REC_CLEARED = 272,           // set to 0 when a trend file is loaded
  TREND_REC_HEAD = 276,              // u16 slot of the next sample
  TREND_REC_VALID = 278,             // u16 slots holding samples (up to the ring length)
  TREND_REC_PENDING = 280,           // u16 samples written since the viewer last drew
  TREND_REC_RING_WORD = 282,         // u16 saved with the ring (0 here)
  TREND_REC_SPAN = 284,              // f32 seconds covered by the whole ring
  TREND_REC_TIME_S = 288,            // i32 newest sample's time, whole seconds
  TREND_REC_TIME_MS = 292,           // i32 and its milliseconds
  TREND_REC_TIME_BASE = 296,         // i32 seconds since 1970 of time 0
  TREND_REC_VIEWER = 300,            // u32 process id of the viewer showing it, 0 = none
  TREND_REC_SHOWN_ANALOG = 304,      // u16 shown analog channels (the viewer counts them)
  TREND_REC_SHOWN_DIGITAL = 306,     // u16 shown digital channels
  TREND_REC_PERIOD = 308,            // u32 sample period in ms
  TREND_REC_RING = 312,              // u16 slots per channel
  TREND_REC_ANALOG_COUNT = 316,      // u16 0..8
  TREND_REC_DIGITAL_COUNT = 318,     // u16 0..16
  TREND_REC_BACK_COLOR = 320,        // u32 colours 0x00BBGGRR
  TREND_REC_FRAME_COLOR = 324,
  TREND_REC_TEXT_COLOR = 328,
  TREND_REC_LEFT_MARGIN = 332,       // i16 pixels
  TREND_REC_TOP_MARGIN = 334,
  TREND_REC_AREA_GAP = 336,
  TREND_REC_BOTTOM_MARGIN = 338,
  TREND_REC_ABS_TIME = 340,          // i16 non-zero: times as date and clock time
  TREND_REC_TIME_OPTION = 342,       // i16 passed through the channel dialog
  TREND_REC_NAME = 344,              // trend name, NUL-terminated
  TREND_REC_LANGUAGE = 606,          // u16 0..5, index into "gefisd"
  TREND_REC_PROFILE = 608,           // char[261] settings key of the trend's owner
  TREND_REC_SECTION = 869,           // char[261] settings section
  TREND_REC_INSTANCE = 1130,         // i16 appended as ".%d" to the section when non-zero
  TREND_REC_LEFT_SCALE = 1132,       // i16 analog channel of the left scale, -1 = none
  TREND_REC_RIGHT_SCALE = 1134,      // i16 the same for the right scale
  TREND_REC_CONFIG_CHANGED = 1136,   // u16 set by the viewer when its channel dialog was confirmed
  TREND_REC_TEMPLATE = 1138,         // u16 non-zero: the viewer's resource set 129, else 138
  TREND_REC_CONFIG_ENABLED = 1142,   // u16 the viewer's channel command is enabled
  TREND_REC_TOOLBAR = 1144,          // u16 tool bar shown at frame creation
  TREND_REC_TOOLBAR_DEFAULT = 1146,
  TREND_REC_STATUSBAR = 1148,
  TREND_REC_STATUSBAR_DEFAULT = 1150,
  TREND_REC_FRAME_WIDTH = 1152,      // i32
  TREND_REC_FRAME_HEIGHT = 1156,     // i32
  TREND_REC_VISIBLE_PART = 1160,     // i16 percent of the ring shown at the first paint
  TREND_REC_ANALOG = 1162,           // 8 analog channel blocks of 64 bytes
  TREND_REC_DIGITAL = 1674,          // 16 digital channel blocks of 56 bytes
  TREND_REC_LIBRARY = 2570,          // the library's own area (below)
  TREND_REC_SAMPLES = 2666,          // the sample rings
};

// Sizes of the text fields (terminating NUL included) and of the channel blocks.
enum : uint32_t {
  TREND_MAPNAME_BYTES = 260,  // +12..+271
  TREND_NAME_BYTES = 262,     // +344..+605
  TREND_PROFILE_BYTES = 261,
  TREND_SECTION_BYTES = 261,
  TREND_MAX_ANALOG = 8,
  TREND_MAX_DIGITAL = 16,
  TREND_ANALOG_BYTES = 64,
  TREND_DIGITAL_BYTES = 56,
};

// Fields of a channel block (analog and digital alike up to +52).
enum : uint32_t {
  TREND_CH_NAME = 0,     // char[17]
  TREND_CH_SOURCE = 17,  // char[33], shown as "a%d: %s" / "d%d: %s"
  TREND_CH_SHOWN = 50,   // u16
  TREND_CH_COLOR = 52,   // u32
  TREND_CH_MIN = 56,     // f32 scale minimum (analog only)
  TREND_CH_MAX = 60,     // f32 scale maximum (analog only)
  TREND_CH_NAME_BYTES = 17,
  TREND_CH_SOURCE_BYTES = 33,
};

// The library area 2570..2665: a marker, the record's lock and the creating process.
enum : uint32_t {
  TREND_LIB_MARK = 2572,     // u32 TREND_LIB_MAGIC once the lock is set up
  TREND_LIB_LOCK = 2576,     // the process-shared mutex (16-byte aligned in a mapping)
  TREND_LIB_LOCK_BYTES = 56,
  TREND_LIB_CREATOR = 2632,  // u32 process id of the creator
};
constexpr uint32_t TREND_LIB_MAGIC = 0x4B4C584B;  // "KXLK"

// The records this library makes end in 8 bytes of its own after the rings: a saved trend
// file stores the record only up to S - 9, and so loses no sample.
constexpr uint32_t TREND_TAIL_BYTES = 8;
// Largest record accepted anywhere (a file's size field, KurvanAlloc): above the largest
// that 8 analog and 16 digital rings of 65535 slots need.
constexpr uint32_t TREND_MAX_RECORD_BYTES = 4u << 20;

constexpr uint32_t TREND_GAP_ANALOG_BITS = 0x4F800000;  // the float 4294967296.0: no sample
constexpr uint8_t TREND_GAP_DIGITAL = 255;

inline uint16_t TrendGetU16(const uint8_t* rec, uint32_t off) {
  return static_cast<uint16_t>(rec[off] | rec[off + 1] << 8);
}
inline uint32_t TrendGetU32(const uint8_t* rec, uint32_t off) {
  return static_cast<uint32_t>(rec[off]) | static_cast<uint32_t>(rec[off + 1]) << 8 |
         static_cast<uint32_t>(rec[off + 2]) << 16 | static_cast<uint32_t>(rec[off + 3]) << 24;
}
inline int16_t TrendGetI16(const uint8_t* rec, uint32_t off) { return static_cast<int16_t>(TrendGetU16(rec, off)); }
inline int32_t TrendGetI32(const uint8_t* rec, uint32_t off) { return static_cast<int32_t>(TrendGetU32(rec, off)); }
inline float TrendGetF32(const uint8_t* rec, uint32_t off) {
  uint32_t bits = TrendGetU32(rec, off);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
inline void TrendPutU16(uint8_t* rec, uint32_t off, uint16_t v) {
  rec[off] = static_cast<uint8_t>(v);
  rec[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void TrendPutU32(uint8_t* rec, uint32_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) rec[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void TrendPutI16(uint8_t* rec, uint32_t off, int16_t v) { TrendPutU16(rec, off, static_cast<uint16_t>(v)); }
inline void TrendPutI32(uint8_t* rec, uint32_t off, int32_t v) { TrendPutU32(rec, off, static_cast<uint32_t>(v)); }
inline void TrendPutF32(uint8_t* rec, uint32_t off, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  TrendPutU32(rec, off, bits);
}

// A NUL-terminated text field of at most `bytes` bytes; never reads past the field even when
// another process left it unterminated.
std::string TrendGetText(const uint8_t* rec, uint32_t off, uint32_t bytes);
// Writes `text` cut to bytes - 1 characters and clears the rest of the field.
void TrendPutText(uint8_t* rec, uint32_t off, uint32_t bytes, const char* text);

inline uint32_t TrendAnalogChannel(unsigned i) { return TREND_REC_ANALOG + TREND_ANALOG_BYTES * i; }
inline uint32_t TrendDigitalChannel(unsigned j) { return TREND_REC_DIGITAL + TREND_DIGITAL_BYTES * j; }

// The layout of a record's sample rings, derived from its counts and ring length only.
struct TrendLayout {
  uint32_t size = 0;     // S
  uint16_t ring = 0;     // slots per channel
  uint16_t analog = 0;   // analog channels
  uint16_t digital = 0;  // digital channels
  uint32_t AnalogRing(unsigned i) const { return TREND_REC_SAMPLES + i * ring * 4u; }
  uint32_t DigitalRing(unsigned j) const { return TREND_REC_SAMPLES + analog * ring * 4u + j * ring; }
};

// Bytes of the sample rings for these counts and ring length.
inline uint32_t TrendRingBytes(unsigned analog, unsigned digital, unsigned ring) {
  return ring * (4u * analog + digital);
}

// Checks a record that lies in a block of `blockBytes` bytes before anything is derived from
// it: the magic; 2666 <= S <= blockBytes and S <= TREND_MAX_RECORD_BYTES; at most 8 analog
// and 16 digital channels; a ring of at least one slot; the rings inside S; the ring head
// inside the ring and no more valid samples than slots. Fills `out` when it passes.
bool TrendCheckLayout(const uint8_t* rec, size_t blockBytes, TrendLayout* out);

// Slot of the sample k steps before the newest (k = 0 is the newest): head - k - 1,
// wrapped into the ring.
unsigned TrendSlotBefore(unsigned head, unsigned k, unsigned ring);
// An analog value as drawn: a gap takes the slot one step older; two gaps give the
// channel's scale minimum.
float TrendAnalogForDrawing(const uint8_t* rec, const TrendLayout& layout, unsigned channel, unsigned slot);
// A digital value as drawn: a gap (255) takes the slot one step older (which may be a gap too).
uint8_t TrendDigitalForDrawing(const uint8_t* rec, const TrendLayout& layout, unsigned channel, unsigned slot);
// Time in seconds of the sample k steps before the newest: newest time - k * span / ring.
double TrendSampleTime(const uint8_t* rec, const TrendLayout& layout, unsigned k);
// Counts the analog and digital channels whose shown flag is set into +304 and +306.
void TrendCountShown(uint8_t* rec, const TrendLayout& layout);

// ---------------------------------------------------------------------------------------
// The channel configuration exchanged with KurvanGetChannelConfig / KurvanSetChannelConfig

enum : uint32_t {
  KURVAN_CONFIG_BYTES = 1420,
  KURVAN_CFG_SIZE = 0,          // u32 1420
  KURVAN_CFG_LEFT_SCALE = 4,    // i16 record +1132
  KURVAN_CFG_RIGHT_SCALE = 6,   // i16 record +1134
  KURVAN_CFG_ABS_TIME = 8,      // i16 record +340
  KURVAN_CFG_TIME_OPTION = 10,  // i16 record +342
  KURVAN_CFG_ANALOG = 12,       // 8 x 64 bytes as at record +1162
  KURVAN_CFG_DIGITAL = 524,     // 16 x 56 bytes as at record +1674

  KURVAN_EXTRA_BYTES = 552,
  KURVAN_EXTRA_SIZE = 0,        // u32 552
  KURVAN_EXTRA_LOOK = 4,        // record +320..+339: colours and margins (20 bytes)
  KURVAN_EXTRA_FRAME = 24,      // record +1138..+1161: the viewer's frame settings (24 bytes)
};

// The channel buffer (and the extra buffer) from a locked record and back into it, as
// KurvanGetChannelConfig and KurvanSetChannelConfig exchange them (null = not used). Taking
// over keeps the texts terminated and a scale channel outside -1..7 becomes -1.
void TrendConfigFromRecord(const uint8_t* rec, uint8_t* channels, uint8_t* extra);
void TrendConfigToRecord(uint8_t* rec, const uint8_t* channels, const uint8_t* extra);

// ---------------------------------------------------------------------------------------
// The calls

// Makes a trend in a new shared record and returns its handle (0 on bad arguments or when no
// shared block can be made). analogCount 0..8 channels of samples (KurvanCycle reads that
// many floats), a period of at least 1 ms, a ring of 1..65535 slots; a non-zero `a` shows
// times as date and clock time (+340), the first `b` analog channels are shown, `c` is the
// number of digital channels (0..16). Names, colours, scales and margins get defaults.
KurvanHandle KurvanCreate(std::intptr_t instance, int analogCount, uint32_t periodMs, int ringLength, int a, int b,
                          int c);
// Ends the trend's viewer (if this process started one), and frees the handle: a created
// record's name is removed, an opened one is unmapped, a private one freed.
void KurvanDestroy(KurvanHandle h);
// Drops all samples: ring head, valid and pending counts and the newest time 0, every slot a
// gap, the time base now. 1 = done.
int KurvanReset(KurvanHandle h);
// Appends one sample: analog[0..analog count) and digital[0..digital count) (non-zero = 1),
// or gaps when `sample` is 0 or an array is null. Advances the head, grows the valid count up
// to the ring length, raises the pending count and the newest time by one period, and
// notifies a viewer that had drawn everything (message 1125). 1 = done.
int KurvanCycle(KurvanHandle h, const float* analog, const unsigned char* digital, int sample);
int KurvanSetTitle(KurvanHandle h, const char* text);  // the trend name (+344)
int KurvanSetLanguage(KurvanHandle h, int language);   // +606 (0..5), message 1127 to the viewer
// Fill or take over the 1420-byte channel buffer and the 552-byte extra buffer (null = not
// used); the first u32 of each must hold at least its size. Taking over keeps the texts
// terminated and a scale channel outside -1..7 becomes -1. 1 = done.
int KurvanGetChannelConfig(KurvanHandle h, uint8_t* channels, uint8_t* extra);
int KurvanSetChannelConfig(KurvanHandle h, const uint8_t* channels, const uint8_t* extra);
// Starts the viewer with "/hConfig=<name>" and waits for it (at most the dialog time-out);
// 1 when the viewer confirmed its dialog (+1136, cleared here), else 0.
int KurvanChannelConfigDialog(KurvanHandle h);
// 1 while a viewer shows the record: +300 names a running process, or a viewer started here
// is still starting up; else 0 (a dead viewer's +300 is cleared).
int KurvanIsVisible(KurvanHandle h);
// show non-zero: starts the viewer with "/hTrend=<name>" unless one is showing (the viewer
// itself puts its process id into +300); 0: ends the viewer (the close message, then for
// one started here the signals TERM and KILL, each after the stop time-out) and sets +300
// to 0. 1 = done.
int KurvanShowFrame(KurvanHandle h, int show);
// Locks the record and returns it, or null (no such handle, lock not had within the lock
// time-out, or a shared record whose layout fails TrendCheckLayout). Locks nest in one thread.
uint8_t* KurvanLock(KurvanHandle h);
void KurvanUnlock(KurvanHandle h);  // a call from a thread that does not hold the lock does nothing
// A new private record of `bytes` bytes (2666..TREND_MAX_RECORD_BYTES), zero-filled but for
// the magic and the size; 0 on failure.
KurvanHandle KurvanAlloc(std::intptr_t instance, size_t bytes);
// A private snapshot of the record (S bytes, taken under its lock); 0 on failure.
KurvanHandle KurvanCopy(KurvanHandle h);

// The viewer's side: opens the shared record of that full name (as it follows "/hTrend=" or
// "/hConfig="); 0 when there is none, its creator died or its layout fails the check.
KurvanHandle KurvanOpen(const char* mappingName);
// Bytes of the handle's block (the bound for anything read from the record); 0 = no handle.
size_t KurvanBlockBytes(KurvanHandle h);

// Settings of the library's process side.
struct KurvanOptions {
  std::string viewerPath;         // empty: "Kurvan" beside this program, else on the PATH
  int lockTimeoutMs = 2000;       // longest wait for a record's lock
  int stopTimeoutMs = 2000;       // wait for a viewer to end after each step of stopping it
  int dialogTimeoutMs = 600000;   // longest wait for the "/hConfig=" viewer
};
void KurvanSetOptions(const KurvanOptions& options);
KurvanOptions KurvanGetOptions();

// ---------------------------------------------------------------------------------------
// Notifications to the viewer: datagrams {u32 message, u32 wParam, i32 lParam} on a local
// socket named after the viewer's process id, the one the viewer puts into +300. The library
// sends 1125 when a sample arrives while the pending count was 0 (the viewer had drawn
// everything), 1125 after a reset, 1127 after a language change, 1130 after a channel
// configuration was set (the graph is drawn anew with its scales, names and colours), and 16
// (close) when the frame is to be hidden. The viewer opens its end before it writes its pid
// into +300.

enum : uint32_t {
  KURVAN_MSG_CLOSE = 16,
  KURVAN_MSG_SAMPLES = 1125,
  KURVAN_MSG_LANGUAGE = 1127,
  KURVAN_MSG_CONFIG = 1130,
};
struct KurvanNote {
  uint32_t message = 0;
  uint32_t wParam = 0;
  int32_t lParam = 0;
};
// Opens this process's end (non-blocking, close-on-exec): a descriptor to wait on, or -1.
int KurvanNotifyOpen();
// Takes one waiting notification: 1 when one was read, 0 when none is waiting.
int KurvanNotifyRead(int fd, KurvanNote* note);
void KurvanNotifyClose(int fd);
