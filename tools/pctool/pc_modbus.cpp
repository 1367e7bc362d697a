#include "tools/pctool/pc_modbus.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr uint8_t kReadHolding = 3, kWriteSingle = 6, kWriteMultiple = 16;
constexpr uint16_t kRegRunMode = 5;        // system datum 500: 1 stops the device
constexpr uint16_t kRegDownload = 31;
constexpr uint16_t kRegService = 0x3FFF;
constexpr uint16_t kWordEnterStopped = 0x4554;  // "ET"
constexpr uint16_t kWordGo = 0x474F;            // "GO": any word but the three others
constexpr uint16_t kCommandEepromWrite = 5;
constexpr size_t kChunk = 240;                  // bytes per EEPROM write
constexpr size_t kImageSize = 0x20000;

void put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

std::string padded(std::string_view password) {
  std::string s(password.substr(0, 16));
  s.resize(16, ' ');
  return s;
}

}  // namespace

uint16_t PcCrc16(const uint8_t* bytes, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

std::vector<uint8_t> PcModbusFrame(std::vector<uint8_t> body) {
  const uint16_t crc = PcCrc16(body.data(), body.size());
  body.push_back(static_cast<uint8_t>(crc));
  body.push_back(static_cast<uint8_t>(crc >> 8));
  return body;
}

bool PcModbusClient::exchange(const std::vector<uint8_t>& body, std::vector<uint8_t>* answer,
                              std::string* error) {
  exception_ = 0;
  std::vector<uint8_t> frame(body.size() + 1);
  frame[0] = address_;
  std::copy(body.begin(), body.end(), frame.begin() + 1);
  frame = PcModbusFrame(std::move(frame));
  std::vector<uint8_t> bytes;
  if (!transport_.exchange(frame, true, &bytes, error)) return false;
  const bool withCrc = bytes.size() < 253 || bytes.size() > 255;
  if (bytes.size() < (withCrc ? 5u : 3u) || (withCrc && PcCrc16(bytes.data(), bytes.size()) != 0)) {
    *error = bytes.empty() ? "no answer" : "malformed answer";
    return false;
  }
  if (withCrc) bytes.resize(bytes.size() - 2);
  if (bytes[1] == (frame[1] | 0x80)) {
    exception_ = bytes[2];
    *error = "exception " + std::to_string(exception_);
    return false;
  }
  if (bytes[0] != address_ || bytes[1] != frame[1]) {
    *error = "answer to another request";
    return false;
  }
  answer->assign(bytes.begin() + 2, bytes.end());
  return true;
}

bool PcModbusClient::readRegisters(uint16_t start, uint16_t quantity, std::vector<uint16_t>* out,
                                   std::string* error) {
  std::vector<uint8_t> body{kReadHolding};
  put16(body, start);
  put16(body, quantity);
  std::vector<uint8_t> a;
  if (!exchange(body, &a, error)) return false;
  if (a.empty() || a[0] != 2u * quantity || a.size() != 1u + 2u * quantity) {
    *error = "malformed answer";
    return false;
  }
  out->clear();
  for (uint16_t i = 0; i < quantity; ++i) out->push_back(get16(a.data() + 1 + 2 * i));
  return true;
}

bool PcModbusClient::readFloat(uint16_t address, float* out, std::string* error) {
  std::vector<uint16_t> r;
  if (!readRegisters(address, 2, &r, error)) return false;
  const uint32_t bits = (uint32_t{r[0]} << 16) | r[1];
  std::memcpy(out, &bits, 4);
  return true;
}

bool PcModbusClient::writeRegister(uint16_t address, uint16_t value, std::string* error) {
  std::vector<uint8_t> body{kWriteSingle};
  put16(body, address);
  put16(body, value);
  std::vector<uint8_t> a;
  return exchange(body, &a, error);
}

bool PcModbusClient::writeFloat(uint16_t address, float value, std::string* error) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  std::vector<uint8_t> body{kWriteMultiple};
  put16(body, address);
  put16(body, 2);
  body.push_back(4);
  put16(body, static_cast<uint16_t>(bits >> 16));
  put16(body, static_cast<uint16_t>(bits));
  std::vector<uint8_t> a;
  return exchange(body, &a, error);
}

bool PcModbusClient::serviceWrite(uint16_t command, uint32_t address, const uint8_t* data,
                                  size_t n, std::string* error) {
  if (n > kChunk || (n & 1)) {
    *error = "service data of " + std::to_string(n) + " bytes";
    return false;
  }
  const auto words = static_cast<uint16_t>(4 + n / 2);
  std::vector<uint8_t> body{kWriteMultiple};
  put16(body, kRegService);
  put16(body, words);
  body.push_back(static_cast<uint8_t>(2 * words));
  put16(body, command);
  put16(body, static_cast<uint16_t>(address >> 16));
  put16(body, static_cast<uint16_t>(address));
  put16(body, static_cast<uint16_t>(n / 2));
  body.insert(body.end(), data, data + n);
  std::vector<uint8_t> a;
  return exchange(body, &a, error);
}

size_t PcDownloadFrames() { return 3 + (kImageSize + kChunk - 1) / kChunk; }

bool PcModbusClient::download(const std::vector<uint8_t>& image, std::string* error,
                              const PcDownloadHooks& hooks) {
  if (image.size() != kImageSize) {
    *error = "an engineering image has " + std::to_string(kImageSize) + " bytes";
    return false;
  }
  const size_t total = PcDownloadFrames();
  size_t sent = 0;
  auto progress = [&] {
    ++sent;
    if (hooks.progress) hooks.progress(sent, total);
  };
  if (!writeRegister(kRegRunMode, 1, error)) {
    *error = "stop: " + *error;
    return false;
  }
  progress();
  if (!writeRegister(kRegDownload, kWordEnterStopped, error)) {
    *error = "download word: " + *error;
    return false;
  }
  progress();
  for (size_t at = 0; at < image.size(); at += kChunk) {
    if (!serviceWrite(kCommandEepromWrite, static_cast<uint32_t>(at), image.data() + at,
                      std::min(kChunk, image.size() - at), error)) {
      *error = "EEPROM write at " + std::to_string(at) + ": " + *error;
      return false;
    }
    progress();
  }
  // The device may start again before it answers the go word; a simulator restarts its
  // whole program, and its channel is back only when the new one runs.
  std::string ignored;
  writeRegister(kRegDownload, kWordGo, &ignored);
  progress();
  // The request that meets the restart goes unanswered, and with a tool's time-out as long as
  // the whole wait that one try would use it up: a second try is always made, so the
  // restarted device is asked at least once.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(hooks.restartMs);
  std::vector<uint16_t> status;
  int tries = 0;
  do {
    if (readRegisters(1, 1, &status, error)) return true;
    ++tries;
    std::this_thread::sleep_for(std::chrono::milliseconds(hooks.retryMs));
  } while (Clock::now() < end || tries < 2);
  *error = "the device did not answer within " + std::to_string(hooks.restartMs / 1000) +
           " s after the download (" + *error + ")";
  return false;
}

namespace {

// System data of block 0 that the login reads: the allowed number of wrong tries (537) and
// the password state (538: 0 none, 1 logged in, 2 locked).
constexpr PcRequest kAllowedTries{0x42, 0, 0x05};
constexpr PcRequest kPasswordState{0x43, 0, 0x05};

bool readWord(PcClient& client, const PcRequest& r, int* out) {
  std::string value, ignored;
  if (!client.read(r, &value, &ignored)) return false;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), *out);
  return ec == std::errc() && end == value.data() + value.size();
}

}  // namespace

bool PcLogin(PcClient& client, std::string_view password, std::string* error) {
  // Too many wrong passwords erase the engineering together with the password: the device
  // refuses that try as any other, but afterwards it has no password left. With n allowed
  // tries the erasing one is the (2n + 1)th wrong password in a row.
  int tries = 0, before = 0, after = 0;
  const bool known = readWord(client, kAllowedTries, &tries) && readWord(client, kPasswordState, &before);
  if (client.write({0xB2, 0, 0x81}, "0,0,1," + padded(password), error)) return true;
  if (known && before != 0 && tries != 0 && readWord(client, kPasswordState, &after) && after == 0) {
    *error = "the engineering was erased after " + std::to_string(2 * tries + 1) + " wrong passwords";
  }
  return false;
}

bool PcSetPassword(PcClient& client, std::string_view password, std::string* error) {
  return client.write({0xB2, 0, 0x80}, "0,0,1," + padded(password), error);
}
