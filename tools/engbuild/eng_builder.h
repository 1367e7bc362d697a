// Engineering builder: writes a valid engineering image from a short description of blocks,
// their numbers, time groups, wiring and parameters, so that tests, the demo project and
// the command-line tool never edit image bytes by hand.
//
// Block layouts come from the block-type table: a block starts with its type's template
// (counts, size, default parameters and texts), and only what the description changes
// differs from it. The types used must be registered before blocks are added.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct EngBlockEntry {
  uint16_t number = 0;
  uint16_t type = 0;
  uint8_t group = 1;
  uint16_t after = 0;
  std::vector<std::pair<uint16_t, uint16_t>> analogIn;   // {source block, source output}
  std::vector<std::pair<uint16_t, uint16_t>> digitalIn;
  std::vector<float> floats;
  std::vector<uint16_t> words;      // stored as their low byte
  std::vector<uint32_t> longs;
  std::vector<uint16_t> values;
  std::vector<std::string> texts;   // up to 16 characters, blank-padded
  std::vector<uint16_t> state;
  uint16_t size = 0;                // instance size in words, from the template
  uint16_t workWords = 0;
  uint16_t analogOutputs = 0;
  uint16_t digitalOutputs = 0;
  int line = 0;                     // the description line that gave the block (0: none)
};

class EngBuilder {
 public:
  // Header fields.
  void setRunMode(uint8_t mode) { runMode_ = mode; }
  void setLanguage(uint8_t language) { language_ = language; }
  void setOrderCode(std::string_view code);  // up to 10 characters
  // Writes zeros instead of the firmware's identification (accepted by every firmware).
  void setZeroIdentification(bool zero) { zeroIdent_ = zero; }

  // Adds a block built from its type's template; blocks are written in the order added.
  // False (with error()) for a number outside 1..1950, a number used twice, or a type that
  // is not registered or has no template.
  bool addBlock(uint16_t number, uint16_t type, uint8_t group = 1, uint16_t after = 0);
  EngBlockEntry* block(uint16_t number);

  // 1-based indices; false (with error()) for a missing block or an index beyond the count.
  bool wireAnalog(uint16_t block, uint16_t input, uint16_t source, uint16_t output);
  bool wireDigital(uint16_t block, uint16_t input, uint16_t source, uint16_t output);
  bool setFloat(uint16_t block, uint16_t index, float value);
  bool setWord(uint16_t block, uint16_t index, uint16_t value);
  bool setLong(uint16_t block, uint16_t index, uint32_t value);
  bool setValue(uint16_t block, uint16_t index, uint16_t value);
  bool setText(uint16_t block, uint16_t index, std::string_view text);
  bool setState(uint16_t block, uint16_t index, uint16_t value);

  // Appends a parameter-list record with these data words (block 1955: system data).
  bool addParamRecord(uint16_t block, std::vector<uint16_t> data);

  // Writes the 0x20000-byte image; false (with error()) when the lists do not fit.
  bool build(std::vector<uint8_t>& image);

  // Size of the used part of the last image built (end of the parameter list).
  uint32_t usedLength() const { return usedLength_; }
  const std::string& error() const { return error_; }

  // The type number whose template's first text (the type name) is `name`; 0 when none.
  static uint16_t typeByName(std::string_view name);

 private:
  bool fail(std::string message);
  template <typename T>
  bool setItem(uint16_t block, std::vector<T> EngBlockEntry::*member, uint16_t index, T value,
               const char* what);

  uint8_t runMode_ = 1;
  uint8_t language_ = 1;
  char orderCode_[10] = {'0', '0', '0', '0', '0', '0', '0', '0', '0', '0'};
  bool zeroIdent_ = false;
  std::vector<EngBlockEntry> blocks_;
  std::vector<std::pair<uint16_t, std::vector<uint16_t>>> params_;
  uint32_t usedLength_ = 0;
  std::string error_;
};

// Reads a text description into the builder (see engbuild --help for the format). False
// with the line number and the fault in *error on a bad line.
bool EngParseDescription(std::string_view text, EngBuilder& builder, std::string* error);
