#include "modpanel/panel_values.h"

#include <locale.h>
#include <stdlib.h>

#include <cfloat>
#include <cmath>
#include <string>

namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The C library's conversion of the leading number (the rest is ignored; none reads as 0), in
// the "C" locale whatever the process's locale is.
double LeadingNumber(const std::string& s) {
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  return c ? strtod_l(s.c_str(), nullptr, c) : 0.0;
}

}  // namespace

TQ500Input TQ500_ParseInput(std::string_view text) {
  while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
  TQ500Input in;
  if (text.empty()) return in;
  in.empty = false;
  const char first = Upper(text.front());
  in.fault = first == 'F';
  in.raw = first == '#';
  if (in.fault) return in;
  std::string number(text.substr(in.raw ? 1 : 0));
  for (char& c : number) c = c == ',' ? '.' : Upper(c);
  double v = LeadingNumber(number);
  // Beyond what a float holds the value stands at the float's end (the word clamps it anyway).
  if (v > FLT_MAX) v = FLT_MAX;
  if (v < -FLT_MAX) v = -FLT_MAX;
  in.value = static_cast<float>(v);
  return in;
}

uint32_t TQ500_InputWord(const TQ500Input& in) {
  int32_t n = 0;
  if (!in.fault) {
    const float thousandths = in.value * 1000.0f;
    double r = thousandths >= 0.0f ? thousandths + 0.5 : thousandths - 0.5;
    r = std::trunc(r);
    const double limit = std::round(TQ500_INPUT_LIMIT * 1000.0);
    if (std::isnan(r)) r = 0.0;
    if (r > limit) r = limit;
    if (r < -limit) r = -limit;
    n = static_cast<int32_t>(r);
  }
  uint32_t word = static_cast<uint32_t>(n) & TQ500_WORD_NUMBER;
  if (in.fault)
    word |= TQ500_WORD_FAULT;
  else if (in.raw)
    word |= TQ500_WORD_RAW;
  return word;
}
