// Client side of the device's character protocol, as a PC tool speaks it: request frames,
// the block check character, answer parsing, and reads and writes of single values by block,
// code and sub-index over one transport.
//
// The transport is the only thing that knows where the device is: a firmware running in the
// same process (pc_adapter_transport.h) or, later, the simulator's channel for PC tools.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One exchange with the device: a request frame out, its answer back.
class PcTransport {
 public:
  virtual ~PcTransport() = default;
  // Sends a frame (binary: a Modbus RTU frame; else a text frame of the character protocol)
  // and waits for the answer, which may be empty. False with *error when none came.
  virtual bool exchange(const std::vector<uint8_t>& request, bool binary,
                        std::vector<uint8_t>* answer, std::string* error) = 0;
};

// What a request names: a code (0x00..0xB4), and optionally a block (0..1950) and a
// sub-index (0..0x89); -1 leaves a field out.
struct PcRequest {
  uint16_t code = 0;
  int32_t block = -1;
  int32_t subIndex = -1;
};

// XOR of the bytes.
uint8_t PcBcc(const uint8_t* bytes, size_t n);

// EOT, the two address digits ("00" for 0 and for 100 and above), code [",", block
// [",", sub-index]], then ENQ (read) or "=", the value, ETX and BCC behind STX (write).
std::vector<uint8_t> PcBuildRead(const PcRequest& request, uint16_t address = 0);
std::vector<uint8_t> PcBuildWrite(const PcRequest& request, std::string_view value,
                                  uint16_t address = 0);

// An answer of the device: ACK, NAK, or a text between STX and ETX whose check byte
// matched.
struct PcAnswer {
  enum class Kind { Ack, Nak, Text, Malformed };
  Kind kind = Kind::Malformed;
  std::string text;
};
PcAnswer PcParseAnswer(const std::vector<uint8_t>& bytes);

// The device's result registers: the last write's result and bad index, the last read's
// result.
struct PcResults {
  uint32_t write = 0;
  uint32_t badIndex = 0;
  uint32_t read = 0;
};

// A result code as the device's documentation writes it: "'l' (108)", "126".
std::string PcResultText(uint32_t result);

class PcClient {
 public:
  explicit PcClient(PcTransport& transport, uint16_t address = 0)
      : transport_(transport), address_(address) {}

  // Reads: true with the answer's value (the text after "CC=", or the whole text of block
  // data); false with the reason, which after a refusal names the device's read result.
  bool read(const PcRequest& request, std::string* value, std::string* error);
  // Writes a value text as the device takes it ("1.5", "40", a 16-character text, a list).
  bool write(const PcRequest& request, std::string_view value, std::string* error);
  // The result registers (block data of code 20 on block 0, sub-index 2).
  bool results(PcResults* out, std::string* error);

 private:
  bool exchange(const std::vector<uint8_t>& frame, PcAnswer* answer, std::string* error);

  PcTransport& transport_;
  uint16_t address_;
};
