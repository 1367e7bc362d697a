// The channel configuration of a trend record: dialog 103 over the 1420-byte channel block,
// and the exchange with the record that the document's command and the "/hConfig=" start
// mode share.
//
// The dialog shows a channel grid (one row per analog and per digital channel: source, shown,
// name, colour, and for analog channels the scale) and a property list with the channels of
// the left and right scale and the time display. OK writes what was edited into the block;
// the scale limits of a row are taken from their cells only when their text was changed, so
// that OK on an untouched dialog changes nothing.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "trendview/cell_grid.h"
#include "trendview/kurvex/kurvex.h"
#include "trendview/property_list.h"

// The dialog's data: the channel block as KurvanGetChannelConfig fills it (size 1420, the
// scale channels, the time flags, 8 analog and 16 digital channel blocks) and the counts of
// channels that exist in the record (not written back).
struct KurvanChannelData {
  uint8_t config[KURVAN_CONFIG_BYTES] = {};
  uint16_t analogCount = 0;
  uint16_t digitalCount = 0;
};

class CChannelDialog : public QDialog {
 public:
  // Columns of the channel grid.
  enum Column : int { COL_SOURCE = 0, COL_SHOWN, COL_NAME, COL_COLOUR, COL_MINIMUM, COL_MAXIMUM, COL_COUNT };
  // Rows of the property list.
  enum Property : int { PROP_LEFT_SCALE = 1, PROP_RIGHT_SCALE, PROP_TIME };

  CChannelDialog(KurvanChannelData* data, QWidget* parent);
  ~CChannelDialog() override;
  KurvanChannelData* data() const { return data_; }
  CCellGrid& channelGrid() { return grid_; }
  CPropertyList& propertyList() { return list_; }

  // OK: the grid and the list into the channel block, then the dialog ends with 1.
  void accept() override;
  // A command sent to the dialog; help (9) does nothing.
  void onCommand(int id);

 private:
  bool IsAnalogRow(int row) const { return row >= 1 && row <= analog_; }
  bool IsChannelRow(int row) const { return row >= 1 && row <= analog_ + digital_; }
  // Offset in the channel block of the channel shown in a row.
  uint32_t ChannelAt(int row) const;
  void FillGrid();
  void FillProperties();
  void OnGridChange(int row, int col, int kind);
  void ChooseColour(int row);
  void ShowColour(int row, uint32_t colour);

  KurvanChannelData* data_;
  int analog_;
  int digital_;
  CCellGrid grid_;
  CPropertyList list_;
  // The bound variables of the property list: scale channels + 1 ("---" = 0), time display.
  int leftChoice_ = 0;
  int rightChoice_ = 0;
  int timeChoice_ = 0;
  // The scale texts as shown, to tell an edited limit from an untouched one.
  QString shownMin_[8];
  QString shownMax_[8];
};

// Runs dialog 103 on the data: 1 when confirmed with OK, else 2.
int KurvanChannelDialog(QWidget* parent, KurvanChannelData* data);

// Reads the record's channel block under its lock, calls `beforeDialog` with the record's
// language (+606) once the lock is released, runs the dialog and, on OK, writes the block
// back and sets +1136 to 1 under the lock again. 1 when written back; 0 when cancelled or a
// lock failed (nothing is changed then).
int KurvanConfigureChannels(KurvanHandle h, QWidget* parent, const std::function<void(int language)>& beforeDialog);
