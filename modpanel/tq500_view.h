// The view of the module panel: up to ten places side by side from left to right, one module
// dialog each (the coupler first, then the modules in slot order), and the three module
// messages that the frame hands on.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

#include "modpanel/tq500_protocol.h"

class CModuleDlg;

class CTQ500View : public QWidget {
 public:
  explicit CTQ500View(QWidget* parent = nullptr);

  // Message 2025: adds a place for the type code with its setting number (-1: none shown);
  // with ten places, or for a code that gets no panel, nothing changes. Returns 0.
  int32_t OnAddModule(uint32_t wParam, int32_t lParam);
  // Message 2026: the input word of slot x 256 + channel; 0 for a slot or channel out of
  // range, a place that does not exist or has no inputs.
  uint32_t OnGetInput(uint32_t wParam) const;
  // Message 2027: shows the output word at slot x 256 + channel; out of range: nothing.
  // Returns 0.
  int32_t OnSetOutput(uint32_t wParam, int32_t lParam);

  int placeCount() const { return count_; }
  bool internal() const { return internal_; }
  CModuleDlg* panel(int place) const { return place >= 0 && place < count_ ? panels_[place] : nullptr; }
  int16_t code(int place) const { return place >= 0 && place < count_ ? codes_[place] : int16_t{0}; }
  // The place that slot x 256 + channel addresses, with the channel; -1 when out of range.
  int PlaceOf(uint32_t wParam, int* channel) const;

  // Called with the new client size of the frame when a place was added.
  void setClientSizeHandler(std::function<void(int width, int height)> handler) { clientSize_ = std::move(handler); }

 private:
  int16_t count_ = 0;
  bool internal_ = false;
  CModuleDlg* panels_[TQ500_MAX_PLACES] = {};
  int16_t codes_[TQ500_MAX_PLACES] = {};
  std::function<void(int, int)> clientSize_;
};
