// The option cards on the device's serial interface.
//
// Communication option "3", the PROFIBUS card: the card sends frames; an exchange frame
// carries the card's bus status and two data records from the bus master, which go into the
// fieldbus exchange records, and is answered at once with the two matching records that the
// DPREAD blocks filled and the device status byte. Any other frame from the card is served
// on channel 1 with the character protocol. A step of the main cycle keeps the device
// status byte current and supervises the card: after more than 100 main cycles without a
// frame the bus status byte shows all four error bits. The simulated device has no UART, so
// no frame arrives there; tests hand frames in through the serial driver's test line.
//
// Communication option "4", the PROFINET card: the link's state and the data areas that the
// PROFINET blocks read and write. The register exchange with the card itself is not part of
// the simulator; the data areas are all that the blocks rely on.
//
// The fieldbus records and the PROFINET data area are firmware RAM shared with the blocks:
// they are defined here (inline), so that the blocks include this header without linking the
// protocols. Everything runs on the firmware's one thread.
#pragma once

#include <bit>
#include <cstdint>

#include "comm/com_bytes.h"
#include "comm/com_serial.h"
#include "runtime/fw_image.h"
#include "runtime/fw_sysdata.h"

// ---------------------------------------------------------------------------------------
// Fieldbus exchange records: nine records of 26 bytes, numbered 0..8. Record n = 1..4 goes
// to the card and is written by DPREAD block n; record n = 5..8 comes from the card and is
// read by DPWRIT block n + 6 (blocks 11..14).

constexpr uint32_t COM_FB_RECORDS = 9;
constexpr uint32_t COM_FB_RECORD_SIZE = 26;
constexpr uint32_t COM_FB_FIRST_OUT = 1;   // records 1..4: to the card
constexpr uint32_t COM_FB_FIRST_IN = 5;    // records 5..8: from the card
constexpr uint32_t COM_FB_PAIRS = 4;       // record index i pairs record i with record i + 4

// Record 0: bytes 0..19 are always 0; the two status bytes; one data-invalid byte for each of
// DPWRIT blocks 11..14 (1 = a received float was out of range).
enum : uint32_t {
  COM_FB_DEVICE_STATUS = 20,   // copy of g_fwSys.cardDeviceStatus
  COM_FB_BUS_STATUS = 21,      // copy of g_fwSys.cardBusStatus
  COM_FB_INVALID = 22,         // 22..25: DPWRIT blocks 11..14
};
// Records 1..8: byte 0 digital channels 1..8 (bit 0 = channel 1), byte 1 channels 9..16,
// then six big-endian floats.
enum : uint32_t { COM_FB_DIGITAL = 0, COM_FB_FLOATS = 2, COM_FB_FLOAT_COUNT = 6 };

inline uint8_t g_comFieldbus[COM_FB_RECORDS][COM_FB_RECORD_SIZE];

// Float f (0..5) of a record of 1..8.
inline float COM_FieldbusFloat(const uint8_t* record, uint32_t f) {
  float v;
  COM_GetBE32(&v, record + COM_FB_FLOATS + 4 * f);
  return v;
}
inline void COM_FieldbusSetFloat(uint8_t* record, uint32_t f, float v) {
  COM_PutBE32(record + COM_FB_FLOATS + 4 * f, v);
}

// The two status bytes live in the system data (datum 9 reports them, the system block sets
// bit 7 of the device status byte after a new device address); record 0 carries copies at
// 20 and 21, brought up to date by every step of the link (reset, exchange, cycle step).
//
// Device status byte (to the card): bit 0 the device is stopped, bit 1 an analog input has
// failed, bit 2 the bus status byte or a data-invalid byte of DPWRIT blocks 11..13 is
// non-zero, bit 3 data changed through an interface, bit 7 the device address has changed
// (cleared once the card acknowledges it with bit 7 of its bus status).
// Bus status byte (from the card): bit 0 bus error, 1 parameter error, 2 configuration error,
// 3 data error (the blocks' b-err, p-err, c-err, d-err), bit 7 address change acknowledged.
enum : uint8_t {
  COM_CARD_DEV_STOPPED = 0x01,
  COM_CARD_DEV_INPUT_FAILED = 0x02,
  COM_CARD_DEV_BUS_FAULT = 0x04,
  COM_CARD_DEV_CHANGED = 0x08,
  COM_CARD_DEV_ADDRESS = 0x80,
  COM_CARD_BUS_ERRORS = 0x0F,
  COM_CARD_BUS_ADDRESS_ACK = 0x80,
};
inline uint8_t COM_CardBusStatus() { return g_fwSys.cardBusStatus; }

// ---------------------------------------------------------------------------------------
// PROFIBUS card link (option "3").

// Exchange frame from the card: the six fixed bytes, the bus status byte, index i and 26
// bytes for record i + 4, index k and 26 bytes for record k + 4, a final byte. The reply is
// bytes 5..61 of the frame after the swap: 0x02, the device status byte, i, record i, k,
// record k, the final byte.
constexpr uint32_t COM_CARD_FRAME = 62;
constexpr uint32_t COM_CARD_HEADER = 6;
constexpr uint32_t COM_CARD_REPLY_AT = 5;
constexpr uint32_t COM_CARD_REPLY = 57;
enum : uint32_t {
  COM_CARD_AT_BUS_STATUS = 6,
  COM_CARD_AT_FIRST = 7,       // index i, then its 26 bytes
  COM_CARD_AT_SECOND = 34,     // index k, then its 26 bytes
  COM_CARD_AT_FINAL = 61,
};
inline constexpr uint8_t kComCardHeader[COM_CARD_HEADER] = {0x04, 0x30, 0x30, 0x39, 0x35, 0x02};
// Main cycles without a frame after which the card counts as lost.
constexpr int16_t COM_CARD_LOST_CYCLES = 100;

struct ComOptionCard {
  uint8_t area[COM_SERIAL_SIZE];   // the card receive area: the last frame fetched
  uint16_t length;                 // its received length
  int16_t linkCounter;             // main cycles since the last frame (saturates at 101)
};
extern ComOptionCard g_comCard;

// The reset, when the serial channel is set up for option "3" (before the driver is opened):
// device status byte 0x01, bus status and the data-invalid bytes of blocks 11..13 0, the
// receive area cleared, and records 1..8 cleared unless the warm-start flag is 1. The link
// counter keeps its value.
void FW_OptionCardReset();
// The serial driver's receive handler for option "3": fetches the frame into the receive
// area (a reception with error bits clears its first 62 bytes and ends), drops it in device
// mode 2, restarts the link counter, and answers an exchange frame at once or hands any
// other frame to channel 1.
void FW_OptionCardReceive();
// The record swap on the exchange frame in the receive area (the receive handler's): the bus
// status byte from the frame and the device status byte into it; the data for records i + 4
// and k + 4 from the frame and records i and k into it. An index above 4 neither stores nor
// reads its half, which the reply then carries back as the card sent it.
void FW_OptionCardSwapRecords();
// The card receive area and the length of the frame in it: channel 1 serves the card's
// frames that are not exchange frames from here.
const uint8_t* FW_OptionCardReceiveArea(uint16_t* length);

// ---------------------------------------------------------------------------------------
// PROFINET card link (option "4").

// The data area, 849 bytes of firmware RAM in this order: the outputs to the card (20 words,
// 20 floats, 50 words, the 50 acyclic floats), the inputs from the card (the same four
// areas, each followed by its 16-bit valid flag), and the data-type byte. PNSERV shows the
// data-type byte as its Status and is valid while (byte AND 5) = 5. Words are signed 16-bit,
// floats single precision, each little-endian.
enum ComPnArea : uint8_t {
  COM_PN_OUT_W20, COM_PN_OUT_F20, COM_PN_OUT_W50, COM_PN_OUT_F50,
  COM_PN_IN_W20, COM_PN_IN_F20, COM_PN_IN_W50, COM_PN_IN_F50,
  COM_PN_AREAS
};
struct ComPnAreaLayout {
  uint16_t offset;   // first value
  uint8_t count;     // values
  uint8_t size;      // 2 word, 4 float
  uint16_t valid;    // offset of the valid flag (inputs), 0 for none
};
namespace compn_detail {
struct AreaShape {
  uint8_t count, size;
  bool valid;
};
inline constexpr AreaShape kShapes[COM_PN_AREAS] = {
    {20, 2, false}, {20, 4, false}, {50, 2, false}, {50, 4, false},
    {20, 2, true},  {20, 4, true},  {50, 2, true},  {50, 4, true}};
struct Layout {
  ComPnAreaLayout areas[COM_PN_AREAS];
  uint16_t dataType;
};
constexpr Layout layOut() {
  Layout l{};
  uint16_t at = 0;
  for (int a = 0; a < COM_PN_AREAS; ++a) {
    const AreaShape& s = kShapes[a];
    l.areas[a] = {at, s.count, s.size, 0};
    at = static_cast<uint16_t>(at + s.count * s.size);
    if (s.valid) {
      l.areas[a].valid = at;
      at = static_cast<uint16_t>(at + 2);
    }
  }
  l.dataType = at;
  return l;
}
inline constexpr Layout kLayout = layOut();
}  // namespace compn_detail

inline constexpr const ComPnAreaLayout (&g_comPnLayout)[COM_PN_AREAS] = compn_detail::kLayout.areas;
constexpr uint16_t COM_PN_DATA_TYPE = compn_detail::kLayout.dataType;
constexpr uint32_t COM_PN_AREA_SIZE = COM_PN_DATA_TYPE + 1u;
static_assert(COM_PN_AREA_SIZE == 849);

struct ComPnData {
  uint8_t bytes[COM_PN_AREA_SIZE];
};
inline ComPnData g_comPnData;

// Value i of an area: a word of a word area, a float of a float area (0 for an index past the
// area or a value of the other kind); writes outside the area are ignored.
inline uint8_t* COM_PnValueAt(ComPnArea a, uint32_t i, uint8_t size) {
  if (a >= COM_PN_AREAS) return nullptr;
  const ComPnAreaLayout& l = g_comPnLayout[a];
  if (i >= l.count || l.size != size) return nullptr;
  return g_comPnData.bytes + l.offset + size * i;
}
inline int16_t COM_PnWord(ComPnArea a, uint32_t i) {
  const uint8_t* p = COM_PnValueAt(a, i, 2);
  return p ? static_cast<int16_t>(FW_GetU16(p)) : 0;
}
inline void COM_PnSetWord(ComPnArea a, uint32_t i, int16_t v) {
  if (uint8_t* p = COM_PnValueAt(a, i, 2)) FW_PutU16(p, static_cast<uint16_t>(v));
}
inline float COM_PnFloat(ComPnArea a, uint32_t i) {
  const uint8_t* p = COM_PnValueAt(a, i, 4);
  return p ? std::bit_cast<float>(FW_GetU32(p)) : 0.0f;
}
inline void COM_PnSetFloat(ComPnArea a, uint32_t i, float v) {
  if (uint8_t* p = COM_PnValueAt(a, i, 4)) FW_PutU32(p, std::bit_cast<uint32_t>(v));
}
// The valid flag of an input area (false for the output areas, which have none).
inline bool COM_PnValid(ComPnArea a) {
  return a < COM_PN_AREAS && g_comPnLayout[a].valid &&
         FW_GetU16(g_comPnData.bytes + g_comPnLayout[a].valid) != 0;
}
inline void COM_PnSetValid(ComPnArea a, bool valid) {
  if (a < COM_PN_AREAS && g_comPnLayout[a].valid) {
    FW_PutU16(g_comPnData.bytes + g_comPnLayout[a].valid, valid ? 1 : 0);
  }
}
inline uint8_t& COM_PnDataType() { return g_comPnData.bytes[COM_PN_DATA_TYPE]; }

// The link's state: the exchange phase and link state with their wait countdown, the
// acyclic request (set by PNSERV when an acyclic chain is connected), the card's status
// words, the error count, and the frames to and from the card. The data-type byte derived
// from the card's status is the data area's last byte.
constexpr uint32_t COM_PN_FRAME_SIZE = COM_SERIAL_SIZE;
struct ComPnLink {
  uint8_t phase;
  uint8_t state;
  uint8_t waitCountdown;
  uint8_t acyclicRequest;
  uint16_t status1;
  uint32_t status;          // the 32-bit status word
  uint32_t dataType;
  uint16_t status2;
  uint16_t statusFlags;
  uint16_t errorCount;
  uint8_t send[COM_PN_FRAME_SIZE];      // address, function code, data
  uint8_t receive[COM_PN_FRAME_SIZE];
  uint16_t receiveLength;
};
extern ComPnLink g_comPnLink;

// The reset, when the serial channel is set up for option "4": phase, link state, the
// 32-bit status word, the status flags, the error count, the receive length, the first bytes
// of both frames and the data-type byte 0; the whole data area cleared as well unless the
// warm-start flag is 1, when the areas keep their values.
void COM_PnCardReset();
