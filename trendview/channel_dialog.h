// The channel configuration of a trend record: dialog 103 over the 1420-byte channel block,
// and the exchange with the record that the document's command and the "/hConfig=" start
// mode share.
//
// The dialog here offers only OK and Cancel; the channel grid and the property list take its
// place later (CChannelDialog keeps its constructor and data()).
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "trendview/kurvex/kurvex.h"

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
  CChannelDialog(KurvanChannelData* data, QWidget* parent);
  KurvanChannelData* data() const { return data_; }

 private:
  KurvanChannelData* data_;
};

// Runs dialog 103 on the data: 1 when confirmed with OK, else 2.
int KurvanChannelDialog(QWidget* parent, KurvanChannelData* data);

// Reads the record's channel block under its lock, calls `beforeDialog` with the record's
// language (+606) once the lock is released, runs the dialog and, on OK, writes the block
// back and sets +1136 to 1 under the lock again. 1 when written back; 0 when cancelled or a
// lock failed (nothing is changed then).
int KurvanConfigureChannels(KurvanHandle h, QWidget* parent, const std::function<void(int language)>& beforeDialog);
