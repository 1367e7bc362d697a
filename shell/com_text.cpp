#include "shell/com_text.h"

#include <cstdio>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "#" and hexadecimal groups into bytes; false for anything else or too many bytes.
bool ParseHexBytes(std::string_view text, uint8_t* out, size_t capacity, size_t* count) {
  size_t n = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == ',') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && HexDigit(text[end]) >= 0) ++end;
    const size_t digits = end - i;
    if (digits == 0) return false;
    if (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != ',') return false;
    if (digits > 2 && digits % 2 != 0) return false;
    for (size_t k = i; k < end; k += 2) {
      if (n >= capacity) return false;
      out[n++] = static_cast<uint8_t>(digits == 1 ? HexDigit(text[k])
                                                  : HexDigit(text[k]) << 4 | HexDigit(text[k + 1]));
    }
    i = end;
  }
  *count = n;
  return true;
}

}  // namespace

std::string SimComChannelName(const char* kind, bool response, const char* way, unsigned number) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s::SimCom%s.%s%02u", kind, response ? "Response" : "Request", way, number);
  return buf;
}

std::string SimComResponseName(const std::string& mainName) { return mainName + ".Response"; }

std::string SimComTurnName(const std::string& requestName, bool wait) {
  return requestName + (wait ? ".wait" : ".turn");
}

bool SimComDecodeText(const char* text, size_t n, uint8_t* out, size_t capacity, uint16_t* length) {
  const bool binary = n > 0 && text[0] == '#';
  const char* p = text + (binary ? 1 : 0);
  const size_t bytes = (n - (binary ? 1 : 0)) / 2;
  if (bytes > capacity || bytes > 0x7FFF) return false;
  for (size_t i = 0; i < bytes; ++i) {
    const uint8_t hi = static_cast<uint8_t>(p[2 * i]) & 0x0F;
    const uint8_t lo = static_cast<uint8_t>(static_cast<uint8_t>(p[2 * i + 1]) - '0');
    out[i] = static_cast<uint8_t>((hi << 4) + lo);
  }
  *length = static_cast<uint16_t>(bytes | (binary ? SIM_COM_BINARY : 0));
  return true;
}

bool SimComEncodeText(const uint8_t* frame, size_t n, bool binary, char* out, size_t capacity,
                      size_t* textLength) {
  const size_t chars = (binary ? 1 : 0) + 2 * n;
  if (chars + 1 > capacity) return false;
  char* p = out;
  if (binary) *p++ = '#';
  for (size_t i = 0; i < n; ++i) {
    *p++ = static_cast<char>('0' + (frame[i] >> 4));
    *p++ = static_cast<char>('0' + (frame[i] & 0x0F));
  }
  *p = 0;
  *textLength = chars;
  return true;
}

uint16_t SimComCrc16(const uint8_t* bytes, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= bytes[i];
    for (int b = 0; b < 8; ++b) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

bool SimComBuildInjected(std::string_view text, uint8_t* out, size_t capacity, uint16_t* length) {
  if (text.empty()) return false;
  if (text[0] == '#') {
    size_t n = 0;
    if (!ParseHexBytes(text.substr(1), out, capacity, &n) || n == 0) return false;
    const bool hasCrc = n >= 3 && SimComCrc16(out, n - 2) == (out[n - 2] | out[n - 1] << 8);
    if (!hasCrc) {
      if (n + 2 > capacity) return false;
      const uint16_t crc = SimComCrc16(out, n);
      out[n++] = static_cast<uint8_t>(crc);
      out[n++] = static_cast<uint8_t>(crc >> 8);
    }
    *length = static_cast<uint16_t>(n | SIM_COM_BINARY);
    return true;
  }
  const bool write = text.find('=') != std::string_view::npos;
  const size_t n = text.size() + (write ? 6 : 4);
  if (n > capacity || n > 0x7FFF) return false;
  size_t k = 0;
  out[k++] = SIM_COM_EOT;
  out[k++] = '0';
  out[k++] = '0';
  if (write) out[k++] = SIM_COM_STX;
  uint8_t bcc = 0;
  for (char c : text) {
    out[k++] = static_cast<uint8_t>(c);
    bcc ^= static_cast<uint8_t>(c);
  }
  if (write) {
    out[k++] = SIM_COM_ETX;
    out[k++] = static_cast<uint8_t>(bcc ^ SIM_COM_ETX);
  } else {
    out[k++] = SIM_COM_ENQ;
  }
  *length = static_cast<uint16_t>(k);
  return true;
}

std::string SimComViewText(const uint8_t* frame, uint16_t length) {
  const size_t n = length & 0x7FFFu;
  std::string s;
  if (length & SIM_COM_BINARY) {
    size_t from = 0, to = n;
    if (n > 3 && frame[0] == SIM_COM_EOT) {
      from = 2;
      to = n - 1;
    }
    s = "# ";
    char hex[4];
    for (size_t i = from; i < to; ++i) {
      std::snprintf(hex, sizeof hex, "%02X ", frame[i]);
      s += hex;
    }
    return s;
  }
  if (n == 0) return s;
  if (frame[0] == SIM_COM_ACK) return "(ACK)";
  if (frame[0] == SIM_COM_NAK) return "(NAK)";
  size_t from = 3;
  for (size_t i = 0; i < n; ++i) {
    if (frame[i] == SIM_COM_STX) {
      from = i + 1;
      break;
    }
  }
  for (size_t i = from; i < n && frame[i] != SIM_COM_ETX && frame[i] != SIM_COM_ENQ; ++i)
    s += static_cast<char>(frame[i]);
  return s;
}
