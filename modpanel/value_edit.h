// The number fields of the module panels: an analog input field that takes its value one
// second after the last key stroke, and an output field that shows a value without flicker.
#pragma once

#include <QLineEdit>
#include <cstdint>

#include "modpanel/panel_values.h"

class CValueEdit : public QLineEdit {
 public:
  explicit CValueEdit(QWidget* parent = nullptr);

  // What the field took last (nothing before its first timer).
  const TQ500Input& input() const { return input_; }
  float value() const { return input_.value; }
  // The input word of the channel (message 2026).
  uint32_t InputWord() const { return TQ500_InputWord(input_); }

  int delay() const { return delay_; }
  void setDelay(int ms) { delay_ = ms; }
  // True while a key stroke waits for its timer.
  bool timerRunning() const { return timerId_ != 0; }

  // The timer: when the text was modified, takes it as the new input (the text stays as typed).
  void OnTimer();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void timerEvent(QTimerEvent* e) override;

 private:
  TQ500Input input_;
  int timerId_ = 0;
  int delay_ = 1000;
};

class COutputEdit : public QLineEdit {
 public:
  explicit COutputEdit(QWidget* parent = nullptr);
  // Sets the text only when it differs from the one shown.
  void SetText(const QString& text);
};
