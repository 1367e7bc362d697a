// Client side of Modbus RTU as a PC tool speaks it to the device: frames with their CRC,
// register reads and writes in the integer and the float space, the service memory writes
// and the download of an engineering image.
//
// Frames go over the same transport as the character protocol, marked binary.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/pctool/pc_client.h"

// CRC-16 of Modbus RTU over the bytes.
uint16_t PcCrc16(const uint8_t* bytes, size_t n);
// The frame with its CRC appended (low byte first).
std::vector<uint8_t> PcModbusFrame(std::vector<uint8_t> body);

// Float registers: the float-space address of value register index i.
inline uint16_t PcFloatAddress(uint16_t index) { return static_cast<uint16_t>(0x8000 | (index << 1)); }

// What a download reports and how long it waits for the device after the go word.
struct PcDownloadHooks {
  std::function<void(size_t sent, size_t total)> progress;  // after each frame answered
  int restartMs = 60000;   // the device must answer again within this time (at least two
                           // tries are made, however long one takes) ...
  int retryMs = 200;       // ... asked again this long after each try that failed
};
// The frames of a download: stop, download word, the image's EEPROM writes, go word.
size_t PcDownloadFrames();

class PcModbusClient {
 public:
  explicit PcModbusClient(PcTransport& transport, uint8_t address = 1)
      : transport_(transport), address_(address) {}

  // One request (address byte and CRC added) and its answer (CRC checked and removed, unless
  // the answer is 253..255 bytes long, which carry none). False with the reason; for an
  // exception answer lastException() gives its code.
  bool exchange(const std::vector<uint8_t>& body, std::vector<uint8_t>* answer,
                std::string* error);
  uint8_t lastException() const { return exception_; }

  // Functions 3 and 6/16. Registers of the integer space hold 16-bit values; a float is two
  // registers of the float space.
  bool readRegisters(uint16_t start, uint16_t quantity, std::vector<uint16_t>* out,
                     std::string* error);
  bool readFloat(uint16_t address, float* out, std::string* error);
  bool writeRegister(uint16_t address, uint16_t value, std::string* error);
  bool writeFloat(uint16_t address, float value, std::string* error);

  // A service memory write to register 0x3FFF: command, address, then the data (an even
  // count of at most 240 bytes; none for the read commands).
  bool serviceWrite(uint16_t command, uint32_t address, const uint8_t* data, size_t n,
                    std::string* error);

  // Loads an engineering image (0x20000 bytes) into the device: stops it when it runs, enters
  // the download state with the download word, writes the image with EEPROM-write commands
  // and sends the go word, after which the device starts again with the new engineering.
  // The go word is not answered when the restart follows at once; the download then counts
  // as done when the device answers again within the hooks' restart time.
  bool download(const std::vector<uint8_t>& image, std::string* error, const PcDownloadHooks& hooks = {});

 private:
  PcTransport& transport_;
  uint8_t address_;
  uint8_t exception_ = 0;
};

// Login and password over the character protocol: the system data 4081 (log in) and 4080
// (set the password) of block 0 as a one-text list, the text padded to 16 characters.
bool PcLogin(PcClient& client, std::string_view password, std::string* error);
bool PcSetPassword(PcClient& client, std::string_view password, std::string* error);
