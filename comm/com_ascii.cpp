// The character protocol: the request grammar, the requests without block (identification,
// version, download handshake), and serving a frame on a channel.
#include "comm/com_ascii.h"

#include <algorithm>
#include <cstring>

#include "comm/com_ascii_fields.h"
#include "comm/com_links.h"
#include "comm/com_service.h"
#include "comm/com_services.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_sysimage.h"
#include "runtime/fw_text.h"

ComAsciiState g_comAscii{};

namespace {

constexpr uint32_t kPrefix = 3;   // EOT and the two address digits, or Modbus's stand-ins
constexpr char kVersion[] = "Sep 23 2019: Version 4.2: ";

// The request being served; kept here rather than on the stack of the tick.
ComAsciiRequest g_request;

bool validCode(uint32_t code) { return code <= COM_CODE_MAX && !(code >= 0x9A && code <= 0xB0); }

bool readCode(ComCursor& c, uint16_t* code) {
  if (c.end - c.p < 2) return false;
  const int hi = COM_HexDigit(c.p[0]), lo = COM_HexDigit(c.p[1]);
  if (hi < 0 || lo < 0 || !validCode(static_cast<uint32_t>(hi * 16 + lo))) return false;
  c.p += 2;
  *code = static_cast<uint16_t>(hi * 16 + lo);
  return true;
}

void clearRequest(ComAsciiRequest* q) {
  q->code = q->block = q->subIndex = 0;
  q->kind = COM_KIND_NO_BLOCK;
  q->textLength = 0;
  COM_ValueBegin(&q->value, 0, 0);
}

// The internal code of (sub-index, code) into the value record; 'i' when the map has none.
uint8_t lookUp(ComAsciiRequest* q, bool read) {
  const uint16_t id = FB_FuncCodeToIntCode(q->subIndex, q->code);
  if (id == FB_FUNC_CODE_ABSENT || id > INT16_MAX) return FB_ERR_UNKNOWN_ID;
  q->kind = COM_KIND_VALUE;
  COM_ValueBegin(&q->value, q->block, static_cast<int16_t>(read ? -id : id));
  return FB_OK;
}

uint8_t parseRead(const uint8_t* bytes, uint32_t length, ComAsciiRequest* q) {
  clearRequest(q);
  ComCursor c{bytes + std::min(length, kPrefix), bytes + length};
  if (!readCode(c, &q->code)) return FB_ERR_UNKNOWN_ID;
  if (c.eat(COM_ENQ)) {
    if (!c.done()) return COM_ERR_FRAME_END;
    return FB_OK;
  }
  if (!c.eat(',')) return FB_ERR_UNKNOWN_ID;
  uint32_t block = 0, sub = 0;
  if (!COM_ReadDigits(c, 10, FB_MAX_BLOCK, &block) || !(c.at(',') || c.at(COM_ENQ))) {
    return FB_ERR_NO_BLOCK;
  }
  if (c.eat(',') && (!COM_ReadDigits(c, 16, COM_SUBINDEX_MAX, &sub) || !c.at(COM_ENQ))) {
    return FB_ERR_SUBINDEX;
  }
  c.eat(COM_ENQ);
  if (!c.done()) return COM_ERR_FRAME_END;
  q->block = static_cast<uint16_t>(block);
  q->subIndex = static_cast<uint16_t>(sub);
  if (block == 0 && sub == 2 && q->code >= 0x21 && q->code <= 0x23) {
    q->kind = COM_KIND_ERROR_INFO;
    return FB_OK;
  }
  if (q->code % 0x10 == 0 && q->code <= 0x90) {
    q->kind = COM_KIND_BLOCK_DATA;
    return FB_OK;
  }
  return lookUp(q, true);
}

// The value text of a single value, from the cursor up to ETX, into the value record.
uint8_t parseValue(ComCursor& c, ComAsciiRequest* q) {
  FbParamRequest& r = q->value.request;
  const auto id = static_cast<uint32_t>(r.id());
  switch (COM_ValueKind(id)) {
    case ComValueKind::Float: {
      double v;
      if (!COM_ReadDecimal(c, &v)) return COM_ERR_NUMBER_T;
      if (!c.done()) return COM_ERR_FRAME_END;
      if (!COM_FloatInRange(v)) return COM_ERR_NUMBER_T;
      r.setF32(FB_REQUEST_VALUE, static_cast<float>(v));
      break;
    }
    case ComValueKind::Integer:
    case ComValueKind::Status: {
      int32_t v;
      if (!COM_ReadInteger(c, &v) || !COM_IntegerInRange(v)) return FB_ERR_LIMITS;
      if (!c.done()) return COM_ERR_FRAME_END;
      // A status byte keeps its low 6 bits, as its reads show them.
      if (COM_ValueKind(id) == ComValueKind::Status) v &= 0x3F;
      r.setU16(FB_REQUEST_VALUE, static_cast<uint16_t>(v));
      break;
    }
    case ComValueKind::Text:
      if (c.end - c.p != static_cast<std::ptrdiff_t>(FB_TEXT_LEN)) return FB_ERR_LIMITS;
      std::memcpy(r.bytes + FB_REQUEST_VALUE, c.p, FB_TEXT_LEN);
      q->value.received = FB_REQUEST_VALUE + FB_TEXT_LEN;
      return FB_OK;
    default: return FB_ERR_UNKNOWN_ID;
  }
  q->value.received = FB_REQUEST_VALUE + 4;
  return FB_OK;
}

uint8_t parseWrite(const uint8_t* bytes, uint32_t length, ComAsciiRequest* q) {
  clearRequest(q);
  if (length <= kPrefix || bytes[kPrefix] != COM_STX) return COM_ERR_NO_STX;
  // From the code on: the text, ETX and the check byte, whose XOR must be 0.
  if (length < kPrefix + 3 || bytes[length - 2] != COM_ETX) return COM_ERR_FRAME_END;
  if (COM_Bcc(bytes + kPrefix + 1, length - kPrefix - 1) != 0) return COM_ERR_BCC;
  ComCursor c{bytes + kPrefix + 1, bytes + length - 2};
  if (!readCode(c, &q->code)) return FB_ERR_UNKNOWN_ID;
  if (c.eat('=')) {
    // No block: the value text is kept as it stands.
    const auto n = static_cast<uint32_t>(c.end - c.p);
    if (n > COM_IDENT_LEN) return FB_ERR_LIMITS;
    std::memcpy(q->text, c.p, n);
    q->textLength = static_cast<uint8_t>(n);
    return FB_OK;
  }
  if (!c.eat(',')) return COM_ERR_SEPARATOR;
  uint32_t block = 0, sub = 0;
  if (!COM_ReadDigits(c, 10, FB_MAX_BLOCK, &block)) return FB_ERR_NO_BLOCK;
  if (c.eat(',') && !COM_ReadDigits(c, 16, COM_SUBINDEX_MAX, &sub)) return FB_ERR_SUBINDEX;
  if (!c.eat('=')) return COM_ERR_SEPARATOR;
  q->block = static_cast<uint16_t>(block);
  q->subIndex = static_cast<uint16_t>(sub);
  if (const uint8_t r = lookUp(q, false)) return r;
  if (q->code >= 0xB1 && q->code <= 0xB4) return COM_AsciiParseList(c.p, c.end, q);
  return parseValue(c, q);
}

// ---------------------------------------------------------------------------------------
// Answers

// Where an answer goes: COM_TX_SIZE bytes and the answer's length.
struct Answer {
  uint8_t* tx;
  uint16_t* length;
};

void answerByte(const Answer& f, uint8_t b) {
  f.tx[0] = b;
  *f.length = 1;
}

// STX, the text already built at tx + 1, ETX, BCC.
void answerText(const Answer& f, const ComText& t) {
  f.tx[0] = COM_STX;
  f.tx[1 + t.length] = COM_ETX;
  f.tx[2 + t.length] = COM_Bcc(f.tx + 1, t.length + 1);
  *f.length = static_cast<uint16_t>(t.length + 3);
}

uint8_t readWithoutBlock(const ComAsciiRequest& q, ComText& t) {
  switch (q.code) {
    case 0x18:
      t.put("18=");
      t.putBytes(g_comAscii.ident, COM_IDENT_LEN);
      return FB_OK;
    case 0x92:
      t.put("92=");
      t.put(g_comAscii.version);
      return FB_OK;
    case 0x98: {
      // The handshake's read confirms a written "F" (and may be repeated); anything else
      // starts it over.
      const bool confirmed = g_comAscii.handshake == 1 || g_comAscii.handshake == 2;
      g_comAscii.handshake = confirmed ? 2 : 0;
      t.put(confirmed ? "98=F" : "98=B");
      return FB_OK;
    }
    default: return FB_ERR_UNKNOWN_ID;
  }
}

uint8_t readValue(ComAsciiRequest& q, ComText& t) {
  if (const uint8_t r = COM_AsciiReadValue(&q.value, COM_SOURCE_ASCII)) return r;
  const auto id = static_cast<uint32_t>(-int32_t{q.value.request.id()});
  if (COM_IsRecordId(id)) {
    COM_FormatRecord(t, q);
    return FB_OK;
  }
  t.putHex(q.code, 2, true);
  t.put('=');
  return COM_FormatValue(t, q.value, COM_ValueKind(id)) ? FB_OK : FB_ERR_UNKNOWN_ID;
}

// The download handshake: "F" on the PC-tool channel opens it, a read of 0x98 confirms it,
// "U" then enters the download state; any other step closes it with 126.
uint8_t writeWithoutBlock(int channel, const ComAsciiRequest& q) {
  if (q.code != 0x98) return FB_ERR_UNKNOWN_ID;
  const bool f = q.textLength == 1 && q.text[0] == 'F';
  const bool u = q.textLength == 1 && q.text[0] == 'U';
  if (f && channel == COM_PC_CHANNEL && g_comAscii.handshake == 0) {
    g_comAscii.handshake = 1;
    return FB_OK;
  }
  if (u && g_comAscii.handshake == 2) {
    g_comAscii.handshake = 0;
    if (COM_LinkDeviceMode() != FW_DEVICE_SERVICE) COM_ServiceBeginStaging();
    COM_LinkDeviceMode() = FW_DEVICE_SERVICE;
    return FB_OK;
  }
  g_comAscii.handshake = 0;
  return COM_ERR_HANDSHAKE;
}

void serveRead(const uint8_t* rx, uint32_t n, const Answer& f) {
  ComAsciiResults& res = g_comAscii.results;
  ComAsciiRequest& q = g_request;
  if (COM_AsciiParseRead(rx, n, &q, &res) != FB_OK) return answerByte(f, COM_NAK);
  ComText t{reinterpret_cast<char*>(f.tx + 1), COM_TX_SIZE - 3};
  uint8_t r = FB_OK;
  switch (q.kind) {
    case COM_KIND_NO_BLOCK: r = readWithoutBlock(q, t); break;
    case COM_KIND_ERROR_INFO: COM_AsciiErrorInfo(t, q.code, res); break;
    case COM_KIND_BLOCK_DATA: r = COM_FormatBlockData(t, q, COM_SOURCE_ASCII); break;
    default: r = readValue(q, t); break;
  }
  if (r == FB_OK && t.full) r = FB_ERR_NO_ROOM;
  // Asking for the result registers leaves them as they are.
  const bool information = q.kind == COM_KIND_ERROR_INFO ||
                           (q.kind == COM_KIND_BLOCK_DATA && q.block == 0 && q.subIndex == 2 &&
                            q.code == 0x20);
  if (!information) res.read = r;
  if (r != FB_OK) return answerByte(f, COM_NAK);
  answerText(f, t);
}

void serveWrite(int channel, const uint8_t* rx, uint32_t n, const Answer& f) {
  ComAsciiResults& res = g_comAscii.results;
  ComAsciiRequest& q = g_request;
  if (COM_ChannelWriteLocked(channel)) {
    res.write = FB_ERR_NOT_NOW;
    res.badIndex = 0;
    return answerByte(f, COM_NAK);
  }
  if (COM_AsciiParseWrite(rx, n, &q, &res) != FB_OK) return answerByte(f, COM_NAK);
  uint8_t r;
  uint16_t bad = 0;
  if (q.kind == COM_KIND_NO_BLOCK) {
    r = writeWithoutBlock(channel, q);
  } else {
    r = COM_AsciiWriteValue(&q.value, COM_SOURCE_ASCII);
    bad = q.value.badIndex;
    if (q.code >= 0xB1 && q.code <= 0xB4) bad = COM_AsciiListPosition(q, bad);
    if (r == FB_OK) {
      COM_NoteInterfaceWrite(channel, q.code == 0x23 && q.block == 0 && q.subIndex == 0);
    }
  }
  res.write = r;
  res.badIndex = r == FB_OK ? 0 : bad;
  answerByte(f, r == FB_OK ? COM_ACK : COM_NAK);
}

}  // namespace

uint8_t COM_Bcc(const uint8_t* bytes, uint32_t n) {
  uint8_t x = 0;
  for (uint32_t i = 0; i < n; ++i) x ^= bytes[i];
  return x;
}

void COM_AsciiInit() {
  g_comAscii = ComAsciiState{};
  const uint8_t* im = FW_SysImage();
  uint8_t* id = g_comAscii.ident;
  std::memcpy(id, "23,15", 5);
  std::memcpy(id + 5, im + FW_SYS_IDENT, 6);
  id[11] = ',';
  std::memcpy(id + 12, im + FW_SYS_ORDER_DIGITS + 1, 4);
  static_assert(sizeof kVersion <= sizeof g_comAscii.version);
  std::memcpy(g_comAscii.version, kVersion, sizeof kVersion);
}

uint8_t COM_AsciiParseRead(const uint8_t* bytes, uint32_t length, ComAsciiRequest* request,
                           ComAsciiResults* results) {
  const uint8_t r = parseRead(bytes, length, request);
  if (r != FB_OK && results) results->read = r;
  return r;
}

uint8_t COM_AsciiParseWrite(const uint8_t* bytes, uint32_t length, ComAsciiRequest* request,
                            ComAsciiResults* results) {
  const uint8_t r = parseWrite(bytes, length, request);
  if (r != FB_OK && results) {
    results->write = r;
    results->badIndex = 0;
  }
  return r;
}

void COM_AsciiServe(int channel) {
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  if (!f) return;
  COM_AsciiHandle(channel, f->rx, std::min<uint32_t>(f->rxLength, COM_RX_SIZE), f->tx,
                  &f->txLength);
}

void COM_AsciiHandle(int channel, const uint8_t* rx, uint32_t n, uint8_t* tx,
                     uint16_t* txLength) {
  *txLength = 0;
  // A frame may begin with several EOT; it is read from the last of them. (Which device a
  // frame on the serial line is for, the channel's receive path decides before.)
  while (n > kPrefix && rx[0] == COM_EOT && rx[1] == COM_EOT) ++rx, --n;
  const Answer f{tx, txLength};
  if (n >= 2 && rx[n - 2] == COM_ETX) {
    serveWrite(channel, rx, n, f);
  } else {
    serveRead(rx, n, f);
  }
}
