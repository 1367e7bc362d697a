// The device selection dialog ("&Device...") and the module selection dialog ("Modul..."):
// modal dialogs over the main window that edit the state record's device configuration and
// its [Device] keys. Both end with 1 when the configuration changed (the main window then asks
// the firmware to reload) and 0 otherwise. The rules are in shell/device_config.h.
#pragma once

#include <QDialog>

#include "shell/device_config.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct SimMainWindowHooks;

class SimDeviceDialog : public QDialog {
 public:
  explicit SimDeviceDialog(QWidget* owner);

  // Reads the combos into the working copy and rebuilds the three order texts.
  void SimShowOrderCode();
  // Reads the two editable fields into the combos: 1 valid, 0 refused (beep, the texts back
  // to the combos, the three-digit field selected and focused).
  int SimParseOrderNumber();
  // The Auto Config button.
  void autoConfig();
  // OK: stays open when the order number is refused.
  void accept() override;

  QComboBox* variant() const { return combos_[0]; }
  QComboBox* version() const { return version_; }
  QComboBox* relays() const { return combos_[1]; }
  QComboBox* power() const { return combos_[2]; }
  QComboBox* commOpt() const { return combos_[3]; }
  QComboBox* slotB() const { return combos_[4]; }
  QComboBox* slotC() const { return combos_[5]; }
  QLineEdit* head() const { return head_; }
  QLineEdit* three() const { return three_; }
  QLineEdit* five() const { return five_; }
  QLineEdit* moduleCode() const { return modules_; }
  QPushButton* autoButton() const { return autoButton_; }
  QLabel* autoLabel() const { return autoLabel_; }
  int beeps() const { return beeps_; }

 private:
  void selectFromConfig();

  QComboBox* combos_[6] = {};
  QComboBox* version_ = nullptr;
  QLineEdit* head_ = nullptr;
  QLineEdit* three_ = nullptr;
  QLineEdit* five_ = nullptr;
  QLineEdit* modules_ = nullptr;
  QPushButton* autoButton_ = nullptr;
  QLabel* autoLabel_ = nullptr;
  int beeps_ = 0;
};

// Empties the combo and adds the names of the option list's types (the state record's
// language), selecting the current type (no selection when the list does not hold it).
void SimFillModuleCombo(QComboBox* combo, int set, int position, int current);

class SimModuleDialog : public QDialog {
 public:
  explicit SimModuleDialog(QWidget* owner);
  void accept() override;
  // The combo of position A1..P4 (0..15).
  QComboBox* combo(int index) const { return combos_[index]; }

 private:
  QComboBox* combos_[16] = {};
};

// The dialogs as the main window runs them: true when the configuration changed. The new
// order-code digits are then in the engineering buffer (image offsets 4..9), so that the
// firmware's reload keeps the choice.
bool SimRunDeviceDialog(QWidget* owner);
bool SimRunModuleDialog(QWidget* owner);
// The analysis behind Auto Config over the engineering that the firmware has loaded.
int SimAutoConfig(SimAutoConfigResult* result);
// The device and module dialog hooks of the main window.
void SimSetDeviceDialogHooks(SimMainWindowHooks* hooks);
