// The values a module panel exchanges: what the user typed into an analog input field and
// the input word that the simulator reads for it.
#pragma once

#include <cstdint>
#include <string_view>

// An analog input as the field last took it.
struct TQ500Input {
  float value = 0.0f;
  bool fault = false;   // the text began with 'F': the channel reads as faulty
  bool raw = false;     // the text began with '#': the number is meant as the raw value
  bool empty = true;    // nothing was typed
};

// Reads a field's text: blanks around it are ignored and case does not matter; "F..." is a
// fault, "#n" a raw value; a ',' counts as the decimal point; the leading number is taken
// and the rest ignored (no number reads as 0). Independent of the user's locale.
TQ500Input TQ500_ParseInput(std::string_view text);

// Bits of the analog input word.
constexpr uint32_t TQ500_WORD_FAULT = 0x40000000u;
constexpr uint32_t TQ500_WORD_RAW = 0x20000000u;
constexpr uint32_t TQ500_WORD_NUMBER = 0x8FFFFFFFu;   // the sign and the 28 low bits
constexpr double TQ500_INPUT_LIMIT = 268435.455;      // what the 28 bits carry in thousandths

// The input word of an analog input: the value in thousandths (halves away from zero, held
// within +-TQ500_INPUT_LIMIT so that the number never wraps), bits 28..30 cleared, then the
// fault flag or else the raw flag.
uint32_t TQ500_InputWord(const TQ500Input& in);
