// Number texts of the module panel: a value in at most a given width, with fewer decimals
// when it does not fit, independent of the user's locale.
#pragma once

#include <string>

class CNumberText {
 public:
  explicit CNumberText(char decimal = '.') : decimal_(decimal) {}

  // Formats |value| with `decimals` decimals, fewer (down to none) until the text has at
  // most width + 1 characters; a negative width pads with a point and zeros to |width| + 1
  // characters. A negative value gets a leading '-'; the point becomes the decimal character.
  const std::string& Format(double value, int width, int decimals);

  const std::string& text() const { return text_; }
  char decimal() const { return decimal_; }
  void setDecimal(char c) { decimal_ = c; }

 private:
  std::string text_;
  char decimal_;
};
