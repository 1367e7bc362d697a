// The module panels: one small child dialog per place of the panel window (a module, the
// coupler or an empty slot), built from its item table, with the module's name and setting
// number on top and its channels below.
#pragma once

#include <QFrame>
#include <cstddef>
#include <cstdint>
#include <vector>

class QAbstractButton;
class CValueEdit;
class COutputEdit;

// The dialog of a place.
enum class TQ500Dialog : uint8_t {
  DigitalIn = 130, DigitalOut = 131, AnalogIn = 132, AnalogOut = 133, Coupler = 134, EmptySlot = 135,
  DigitalInOut = 136,
};

// What a type code of message 2025 builds: the name shown, the dialog and the channels shown.
struct TQ500ModuleRow {
  int16_t code;
  const char* name;
  TQ500Dialog dialog;
  uint8_t channels;
};
// The row of a type code; null for a code that gets no panel.
const TQ500ModuleRow* TQ500_ModuleRow(int32_t code);
// True for the codes of modules without a coupler (their slots address the places directly).
bool TQ500_IsInternalCode(int32_t code);

// Control ids of the dialogs.
enum : int {
  TQ500_ID_FIELD = 1000,       // 1000..1003 analog input fields
  TQ500_ID_OUTPUT = 1004,      // 1004..1007 analog output fields
  TQ500_ID_SETTING = 1008,     // the setting number
  TQ500_ID_CHECK = 1009,       // 1009..1016 digital input boxes ("di1", "di2")
  TQ500_ID_INDICATOR = 1017,   // 1017..1024 digital output indicators ("do1", "do2")
  TQ500_ID_NAME = 1025,        // the module name
};

// One control of a dialog's item table, in dialog units.
struct TQ500DlgItem {
  enum Kind : uint8_t { Static, Check, Indicator, Field, Output } kind;
  int id;
  const char* text;
  int16_t x, y, cx, cy;
};

class CModuleDlg : public QFrame {
 public:
  // The dialog's size in dialog units.
  static constexpr int kWidthDlu = 39;
  static constexpr int kHeightDlu = 117;

  TQ500Dialog dialogId() const { return id_; }
  // The control of that id; null when the dialog has none.
  QWidget* GetDlgItem(int id) const;
  void SetDlgItemText(int id, const QString& text);
  QString GetDlgItemText(int id) const;
  // Hides the channel controls from channel `shown` on.
  void ShowChannels(int shown);

  // The input word of a channel (message 2026); 0 for a dialog without inputs.
  virtual uint32_t GetInput(int channel) const;
  // Shows an output word of a channel (message 2027); nothing for a dialog without outputs.
  virtual void SetOutput(int channel, int32_t word);

 protected:
  CModuleDlg(QWidget* parent, TQ500Dialog id, const TQ500DlgItem* items, size_t count, int firstChannelId);
  // Enter and Escape are the dialog's own commands 1 and 2: they do nothing.
  void keyPressEvent(QKeyEvent* e) override;
  QAbstractButton* button(int id) const;

 private:
  TQ500Dialog id_;
  int firstChannelId_;
  std::vector<std::pair<int, QWidget*>> items_;
};

class CDigitalInDlg : public CModuleDlg {
 public:
  explicit CDigitalInDlg(QWidget* parent);
  uint32_t GetInput(int channel) const override;
};

class CDigitalOutDlg : public CModuleDlg {
 public:
  explicit CDigitalOutDlg(QWidget* parent);
  void SetOutput(int channel, int32_t word) override;
};

class CAnalogInDlg : public CModuleDlg {
 public:
  explicit CAnalogInDlg(QWidget* parent);
  uint32_t GetInput(int channel) const override;
  CValueEdit* field(int channel) const;
};

class CAnalogOutDlg : public CModuleDlg {
 public:
  explicit CAnalogOutDlg(QWidget* parent);
  void SetOutput(int channel, int32_t word) override;
  COutputEdit* field(int channel) const;
};

class CCouplerDlg : public CModuleDlg {
 public:
  explicit CCouplerDlg(QWidget* parent);
};

class CEmptySlotDlg : public CModuleDlg {
 public:
  explicit CEmptySlotDlg(QWidget* parent);
};

class CDigitalInOutDlg : public CModuleDlg {
 public:
  explicit CDigitalInOutDlg(QWidget* parent);
  uint32_t GetInput(int channel) const override;
  void SetOutput(int channel, int32_t word) override;
};

// A new dialog of that kind as a child of `parent`.
CModuleDlg* TQ500_CreateModuleDlg(TQ500Dialog dialog, QWidget* parent);
