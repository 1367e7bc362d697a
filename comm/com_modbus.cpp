// The Modbus RTU frame handler: the CRC, functions 3, 4, 6, 16 and 23, the download word,
// and the answer to the channel's transmitter.
#include "comm/com_modbus.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "comm/com_ascii.h"
#include "comm/com_links.h"
#include "comm/com_serial.h"
#include "comm/com_service.h"
#include "comm/com_value.h"
#include "runtime/fw_eeprom.h"
#include "runtime/fw_main_state.h"
#include "runtime/fw_mode.h"
#include "runtime/fw_sysimage.h"

ComModbusState g_comModbus{};

namespace {

// The CRC table of the reflected polynomial 0xA001 (the published pair of byte tables, as
// one table of 16-bit entries).
constexpr std::array<uint16_t, 256> makeCrcTable() {
  std::array<uint16_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint16_t c = static_cast<uint16_t>(i);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
    t[i] = c;
  }
  return t;
}
constexpr std::array<uint16_t, 256> kCrcTable = makeCrcTable();

bool downloadState() { return COM_LinkDeviceMode() == FW_DEVICE_SERVICE; }

// The go word was answered: the firmware is to start again with the new engineering.
bool g_restartAfterAnswer;

// A PC tool enters a download by stopping the device (register 5) and then sending "ET".
// The run-mode byte the image held before such a stop, and when it came, so that a download
// that breaks off leaves the device in the state it had before the download began.
struct StopBeforeDownload {
  bool noted;
  uint8_t runMode;
  uint64_t atMs;
};
StopBeforeDownload g_stopBeforeDownload;
constexpr uint16_t kRegRunMode = 5;

// The run mode to restore should a download entered now break off.
uint8_t runModeBeforeDownload() {
  const uint8_t now = FW_SysImage()[FW_SYS_RUN_MODE];
  const StopBeforeDownload& s = g_stopBeforeDownload;
  return s.noted && COM_DownloadClockMs() - s.atMs < COM_DOWNLOAD_IDLE_MS ? s.runMode : now;
}

// Before a write of the run-mode register: a stop of a device that runs is noted.
void noteRunModeWrite(const ComRegisterAddress& reg, uint16_t value) {
  if (reg.space != COM_SPACE_INTEGER || reg.index != kRegRunMode) return;
  const uint8_t now = FW_SysImage()[FW_SYS_RUN_MODE];
  g_stopBeforeDownload = {value == 1 && now != FW_RUN_MODE_STOP, now, COM_DownloadClockMs()};
}

// Scratch frames of function 23: the request of the character protocol and its answer.
uint8_t g_asciiFrame[COM_RX_SIZE];
uint8_t g_asciiAnswer[COM_TX_SIZE];

// One request being handled: the channel, the received bytes and the channel's buffers.
struct Request {
  int channel;
  const uint8_t* rq;
  uint32_t n;
  ComFrameBuffers& f;

  uint16_t u16(uint32_t at) const {
    uint16_t v;
    COM_GetBE16(&v, rq + at);
    return v;
  }
};

uint8_t downloadWord(uint16_t value) {
  switch (value) {
    case COM_DL_ENTER:
      if (!downloadState()) COM_ServiceBeginStaging();
      COM_ServiceFrameSeen();
      COM_LinkDeviceMode() = FW_DEVICE_SERVICE;
      g_comModbus.transferFlag = 0;
      return COM_ANSWER_NORMAL;
    case COM_DL_ENTER_STOPPED: {
      if (g_fwRunMode != FW_RUN_MODE_STOP) return COM_EXC_LOCKED;
      if (!downloadState()) {
        const uint8_t before = runModeBeforeDownload();
        COM_ServiceBeginStaging();
        COM_ServiceKeepRunMode(before);
      }
      COM_ServiceFrameSeen();
      g_stopBeforeDownload.noted = false;
      FW_SysStatus() |= FW_STAT_STOPPED;
      COM_LinkDeviceMode() = FW_DEVICE_SERVICE;
      g_comModbus.transferFlag = 1;
      uint8_t* im = FW_SysImage();
      im[FW_SYS_RUN_MODE] = FW_RUN_MODE_STOP;
      FW_QueueEepromWrite(im + FW_SYS_RUN_MODE, FW_SYS_RUN_MODE, 1);
      return COM_ANSWER_NORMAL;
    }
    default:
      if (downloadState()) COM_ServiceFrameSeen();
      if (downloadState() && value != COM_DL_KEEP) {
        g_restartAfterAnswer = true;
        return COM_ANSWER_NORMAL;
      }
      // Register 31 has no value of its own.
      return COM_EXC_ADDRESS;
  }
}

// The device stops and leaves the download state; the halt flag has the adapter start the
// firmware again, which loads the engineering of the image.
void leaveDownloadState() {
  g_fwRunMode = FW_RUN_MODE_STOP;
  g_comModbus.transferFlag = 0;
  COM_LinkDeviceMode() = FW_DEVICE_ENGINEERING;
  COM_LinkSetHaltFlag();
}

// After the go word's answer: what the download staged becomes the engineering.
void finishDownload() {
  g_restartAfterAnswer = false;
  COM_ServiceCommitStaging();
  leaveDownloadState();
}

// Functions 3 and 4.
uint8_t readRegisters(const Request& q) {
  if (q.n != 8) return COM_EXC_VALUE;
  ComRegisterAddress reg;
  if (!COM_DecodeRegisterAddress(q.rq + 2, &reg)) return COM_EXC_ADDRESS;
  const uint16_t quantity = q.u16(4);
  // The answer (address, function, byte count, data) must fit the answer buffer: 127
  // registers would not.
  if (quantity > COM_MAX_REGISTERS || 3u + 2u * quantity > COM_TX_SIZE) return COM_EXC_FAILURE;
  const bool floats = reg.space == COM_SPACE_FLOAT;
  if (floats && (quantity & 1)) return COM_EXC_VALUE;
  const uint32_t count = floats ? quantity / 2u : quantity;
  if (count == 0) return COM_EXC_ADDRESS;
  uint8_t* tx = q.f.tx;
  tx[2] = static_cast<uint8_t>(2 * quantity);
  if (!floats && reg.index == COM_REG_SERVICE && downloadState()) {
    ComServiceFrame frame{};
    frame.byteCount = 2u * quantity;
    COM_ServiceCommand(g_comService.command, g_comService.address, frame, tx, &q.f.txLength);
    return COM_ANSWER_NORMAL;
  }
  const uint32_t width = floats ? 4 : 2;
  for (uint32_t i = 0; i < count; ++i) {
    const ComRegisterAddress at{static_cast<uint16_t>(reg.index + i), reg.space};
    uint8_t* out = tx + 3 + i * width;
    const uint8_t r = COM_ReadRegisterValue(at, out);
    if (r == FB_OK) continue;
    if (i == 0 || r != FB_ERR_UNKNOWN_ID) return COM_ResultToException(r);
    if (floats) {
      COM_PutBE32(out, -1.5e37f);
    } else {
      COM_PutBE16(out, static_cast<uint16_t>(-32500));
    }
  }
  q.f.txLength = static_cast<uint16_t>(3 + 2 * quantity);
  return COM_ANSWER_NORMAL;
}

// Function 6.
uint8_t writeSingle(const Request& q) {
  if (q.n != 8) return COM_EXC_VALUE;
  ComRegisterAddress reg;
  if (!COM_DecodeRegisterAddress(q.rq + 2, &reg) || reg.space == COM_SPACE_FLOAT) {
    return COM_EXC_ADDRESS;
  }
  std::memcpy(q.f.tx + 2, q.rq + 2, 4);
  q.f.txLength = 6;
  if (reg.index == COM_REG_DOWNLOAD) return downloadWord(q.u16(4));
  noteRunModeWrite(reg, q.u16(4));
  if (const uint8_t r = COM_WriteRegisterValue(reg, q.rq + 4)) return COM_ResultToException(r);
  COM_NoteInterfaceWrite(q.channel, false);
  return COM_ANSWER_NORMAL;
}

// Function 16.
uint8_t writeMultiple(const Request& q) {
  if (q.n < 7) return COM_EXC_VALUE;
  const uint8_t byteCount = q.rq[6];
  if (byteCount < 2 || q.n != byteCount + 9u) return COM_EXC_VALUE;
  ComRegisterAddress reg;
  if (!COM_DecodeRegisterAddress(q.rq + 2, &reg)) return COM_EXC_ADDRESS;
  const uint16_t quantity = q.u16(4);
  if (byteCount != 2u * quantity) return COM_EXC_VALUE;
  const bool floats = reg.space == COM_SPACE_FLOAT;
  if (floats && (quantity & 1)) return COM_EXC_VALUE;
  std::memcpy(q.f.tx + 2, q.rq + 2, 4);
  q.f.txLength = 6;
  const uint8_t* values = q.rq + 7;
  if (!floats && reg.index == COM_REG_DOWNLOAD && quantity == 1) {
    uint16_t v;
    COM_GetBE16(&v, values);
    return downloadWord(v);
  }
  if (!floats && reg.index == COM_REG_SERVICE && downloadState()) {
    // The command word and the address must be there before anything is looked at.
    if (byteCount < 6) {
      g_comService.status |= COM_SVC_ERROR;
      return COM_EXC_VALUE;
    }
    uint16_t command;
    uint32_t address;
    COM_GetBE16(&command, values);
    COM_GetBE32(&address, values + 2);
    ComServiceFrame frame{true, values, byteCount, q.n, 0};
    uint16_t ignored = 0;
    COM_ServiceCommand(command, address, frame, q.f.tx, &ignored);
    return COM_ANSWER_NORMAL;
  }
  const uint32_t width = floats ? 4 : 2;
  const uint32_t count = floats ? quantity / 2u : quantity;
  bool written = false;
  uint8_t result = COM_ANSWER_NORMAL;
  for (uint32_t i = 0; i < count; ++i) {
    const ComRegisterAddress at{static_cast<uint16_t>(reg.index + i), reg.space};
    if (!floats) {
      uint16_t v;
      COM_GetBE16(&v, values + i * width);
      noteRunModeWrite(at, v);
    }
    const uint8_t r = COM_WriteRegisterValue(at, values + i * width);
    if (r == FB_OK) {
      written = true;
      continue;
    }
    // An unknown value after the first is passed over.
    if (i > 0 && r == FB_ERR_UNKNOWN_ID) continue;
    result = COM_ResultToException(r);
    break;
  }
  if (written) COM_NoteInterfaceWrite(q.channel, false);
  return result;
}

// The text of function 23's write data: up to the byte count, or to a zero byte before it.
uint32_t writeText(const Request& q, uint8_t byteCount) {
  const uint32_t avail = q.n > 11 ? std::min<uint32_t>(byteCount, q.n - 11) : 0;
  const auto* end = static_cast<const uint8_t*>(std::memchr(q.rq + 11, 0, avail));
  return end ? static_cast<uint32_t>(end - (q.rq + 11)) : avail;
}

// Where function 23 makes an odd read answer even: a record answer ("B1,5,10=...") takes a
// '0' in front of its sub-index, which reads as the same hexadecimal number; every other
// answer (a single value, block data, the identification, the version text) yields its
// length, so it takes a trailing blank as the even padding does and no value or text changes.
uint32_t subIndexPosition(const uint8_t* text, uint32_t length) {
  auto skip = [&](uint32_t at, bool (*in)(uint8_t)) {
    while (at < length && in(text[at])) ++at;
    return at;
  };
  auto decimal = [](uint8_t c) { return c >= '0' && c <= '9'; };
  auto hex = [](uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  };
  // Two code characters, ",", the block in decimal, ",", the sub-index in hex, "=".
  if (length < 3 || text[2] != ',') return length;
  const uint32_t blockEnd = skip(3, decimal);
  if (blockEnd == 3 || blockEnd >= length || text[blockEnd] != ',') return length;
  const uint32_t sub = blockEnd + 1;
  const uint32_t subEnd = skip(sub, hex);
  if (subEnd == sub || subEnd >= length || text[subEnd] != '=') return length;
  return sub;
}

// Function 23: a request of the character protocol inside the write data.
uint8_t readWrite(const Request& q) {
  if (q.n < 11) return COM_EXC_VALUE;
  const uint8_t byteCount = q.rq[10];
  if (byteCount > 242) return COM_EXC_VALUE;
  const uint16_t readQuantity = q.u16(4);
  const uint16_t writeQuantity = q.u16(8);
  const uint32_t textLength = writeText(q, byteCount);
  const uint8_t* text = q.rq + 11;
  const bool isWrite = std::memchr(text, '=', textLength) != nullptr;
  const bool fits = q.n == 13u + 2u * (writeQuantity & 0xFF) && byteCount == 2u * writeQuantity;
  uint16_t answerLength = 0;
  if (isWrite) {
    if (2u * writeQuantity <= 11 || !fits || (readQuantity != 1 && readQuantity != 2)) {
      return COM_EXC_VALUE;
    }
    // The three leading bytes stand for the interface prefix; STX, ETX and BCC frame the rest.
    const uint32_t prefix = std::min<uint32_t>(3, textLength);
    uint32_t k = 0;
    std::memcpy(g_asciiFrame, text, prefix);
    k = prefix;
    g_asciiFrame[k++] = COM_STX;
    std::memcpy(g_asciiFrame + k, text + prefix, textLength - prefix);
    k += textLength - prefix;
    g_asciiFrame[k++] = COM_ETX;
    g_asciiFrame[k] = COM_Bcc(g_asciiFrame + prefix + 1, k - prefix - 1);
    ++k;
    COM_AsciiHandle(q.channel, g_asciiFrame, k, g_asciiAnswer, &answerLength);
    if (answerLength != 1 || g_asciiAnswer[0] != COM_ACK) {
      return COM_ResultToException(g_comAscii.results.write);
    }
    uint8_t* tx = q.f.tx;
    tx[2] = 2;
    tx[3] = tx[4] = 0;
    q.f.txLength = 5;
    return COM_ANSWER_NORMAL;
  }
  if (2u * writeQuantity <= 5 || !fits || readQuantity == 0) return COM_EXC_VALUE;
  std::memcpy(g_asciiFrame, text, textLength);
  g_asciiFrame[textLength] = COM_ENQ;
  COM_AsciiHandle(q.channel, g_asciiFrame, textLength + 1, g_asciiAnswer, &answerLength);
  if (answerLength < 3 || g_asciiAnswer[0] != COM_STX) {
    return COM_ResultToException(g_comAscii.results.read);
  }
  // The answer's text without STX, ETX and BCC, padded with blanks to the registers asked
  // for; a longer text goes whole, made even by a '0' before a record's sub-index or else
  // by a blank.
  const uint8_t* answer = g_asciiAnswer + 1;
  const uint32_t length = answerLength - 3u;
  uint32_t count = std::max<uint32_t>(length, 2u * readQuantity);
  const bool odd = count & 1;
  if (odd) ++count;
  if (3 + count > COM_TX_SIZE) return COM_EXC_FAILURE;
  uint8_t* data = q.f.tx + 3;
  const uint32_t zeroAt = odd ? subIndexPosition(answer, length) : length;
  if (zeroAt < length) {
    std::memcpy(data, answer, zeroAt);
    data[zeroAt] = '0';
    std::memcpy(data + zeroAt + 1, answer + zeroAt, length - zeroAt);
  } else {
    std::memcpy(data, answer, length);
    std::memset(data + length, ' ', count - length);
  }
  q.f.tx[2] = static_cast<uint8_t>(count);
  q.f.txLength = static_cast<uint16_t>(3 + count);
  return COM_ANSWER_NORMAL;
}

bool isWriteRequest(const Request& q) {
  switch (q.rq[1]) {
    case COM_FN_WRITE_SINGLE:
    case COM_FN_WRITE_MULTIPLE: return true;
    case COM_FN_READ_WRITE:
      return q.n > 11 && std::memchr(q.rq + 11, '=', writeText(q, q.rq[10])) != nullptr;
    default: return false;
  }
}

// Hands an answer to the serial transmitter: n bytes from the channel's buffer, only while
// channel 1 is not receiving.
void transmit(const ComFrameBuffers& f, uint32_t n) {
  if (g_comChannels.rxState[0] != COM_RX_IDLE) return;
  COM_SerialTransmit(f.tx, std::min<uint32_t>(n, COM_TX_SIZE));
}

}  // namespace

uint16_t COM_Crc16Value(const uint8_t* bytes, uint32_t n) {
  uint16_t crc = 0xFFFF;
  for (uint32_t i = 0; i < n; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
  return crc;
}

int COM_Crc16(ComCrcMode mode, uint8_t* bytes, uint16_t* length) {
  if (mode == COM_CRC_CHECK) return *length != 0 && COM_Crc16Value(bytes, *length) == 0;
  if (*length > COM_CRC_LIMIT - 1) return 0;
  const uint16_t crc = COM_Crc16Value(bytes, *length);
  bytes[*length] = static_cast<uint8_t>(crc);
  bytes[*length + 1] = static_cast<uint8_t>(crc >> 8);
  *length = static_cast<uint16_t>(*length + 2);
  COM_SerialTransmit(bytes, *length);
  return 1;
}

bool COM_DownloadBrokenOff() {
  if (!downloadState() || !COM_ServiceBrokenOff()) return false;
  // The previous engineering comes back in the state it had: the run mode that the entry
  // into the download (and the stop before it) wrote is undone.
  const int runMode = COM_ServiceKeptRunMode();
  COM_ServiceDropStaging();
  uint8_t* im = FW_SysImage();
  if (runMode >= 0 && im[FW_SYS_RUN_MODE] != runMode) {
    im[FW_SYS_RUN_MODE] = static_cast<uint8_t>(runMode);
    FW_QueueEepromWrite(im + FW_SYS_RUN_MODE, FW_SYS_RUN_MODE, 1);
  }
  if (runMode == FW_RUN_MODE_RUN) FW_SysStatus() &= static_cast<uint8_t>(~FW_STAT_STOPPED);
  leaveDownloadState();
  return true;
}

void COM_ModbusReceive(int channel) {
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  if (!f) return;
  const uint32_t n = std::min<uint32_t>(f->rxLength, COM_RX_SIZE);
  f->tx[0] = n > 0 ? f->rx[0] : 0;
  f->tx[1] = n > 1 ? f->rx[1] : 0;
  f->txLength = 2;
  COM_ServiceRetryPending();
  if (channel != 3) {
    uint16_t length = static_cast<uint16_t>(n);
    if (!COM_Crc16(COM_CRC_CHECK, f->rx, &length)) return;
  }
  // A frame without function code (possible only on channel 3, whose CRC is not checked).
  if (n < 2) return;
  const Request q{channel, f->rx, n, *f};
  uint8_t code;
  if (isWriteRequest(q) && COM_ChannelWriteLocked(channel)) {
    code = COM_EXC_LOCKED;
  } else {
    switch (f->rx[1]) {
      case COM_FN_READ_HOLDING:
      case COM_FN_READ_INPUT: code = readRegisters(q); break;
      case COM_FN_WRITE_SINGLE: code = writeSingle(q); break;
      case COM_FN_WRITE_MULTIPLE: code = writeMultiple(q); break;
      case COM_FN_READ_WRITE: code = readWrite(q); break;
      default: code = COM_EXC_FUNCTION; break;
    }
  }
  COM_SendAnswer(channel, code);
  if (g_restartAfterAnswer) finishDownload();
}

void COM_SendAnswer(int channel, uint8_t code) {
  ComFrameBuffers* f = COM_FrameBuffers(channel);
  if (!f) return;
  if (code != COM_ANSWER_NORMAL) {
    f->tx[1] |= 0x80;
    f->tx[2] = code;
    f->txLength = 3;
  }
  const bool crc = f->txLength < COM_CRC_LIMIT;
  if (crc) {
    const uint16_t c = COM_Crc16Value(f->tx, f->txLength);
    f->tx[f->txLength] = static_cast<uint8_t>(c);
    f->tx[f->txLength + 1] = static_cast<uint8_t>(c >> 8);
    f->txLength = static_cast<uint16_t>(f->txLength + 2);
  }
  if (channel == 1) {
    // A broadcast, and an answer too long for its CRC, get no answer on the line.
    if (crc && f->rx[0] != 0) transmit(*f, f->txLength);
  } else if (channel == 3) {
    transmit(*f, crc ? f->txLength : f->txLength + 2u);
  }
}
