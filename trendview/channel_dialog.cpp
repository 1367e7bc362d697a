#include "trendview/channel_dialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "trendview/kurvan_ids.h"
#include "trendview/kurvan_ui.h"
#include "trendview/language.h"

CChannelDialog::CChannelDialog(KurvanChannelData* data, QWidget* parent) : QDialog(parent), data_(data) {
  const CLanguageManager& lang = KurvanLanguages();
  if (const KurvanDialog* d = lang.dialog(KURVAN_DLG_CHANNELS)) setWindowTitle(QString::fromLatin1(d->title));
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(lang.dialogText(KURVAN_DLG_CHANNELS, KURVAN_ID_OK), QDialogButtonBox::AcceptRole);
  buttons->addButton(lang.dialogText(KURVAN_DLG_CHANNELS, KURVAN_ID_CANCEL), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(buttons);
}

int KurvanChannelDialog(QWidget* parent, KurvanChannelData* data) {
  CChannelDialog dialog(data, parent);
  return KurvanRunDialog(&dialog);
}

int KurvanConfigureChannels(KurvanHandle h, QWidget* parent, const std::function<void(int language)>& beforeDialog) {
  KurvanChannelData data;
  int language;
  {
    uint8_t* rec = KurvanLock(h);
    if (!rec) return 0;
    TrendConfigFromRecord(rec, data.config, nullptr);
    data.analogCount = TrendGetU16(rec, TREND_REC_ANALOG_COUNT);
    data.digitalCount = TrendGetU16(rec, TREND_REC_DIGITAL_COUNT);
    language = TrendGetU16(rec, TREND_REC_LANGUAGE);
    KurvanUnlock(h);
  }
  if (beforeDialog) beforeDialog(language);
  if (KurvanChannelDialog(parent, &data) != KURVAN_ID_OK) return 0;
  uint8_t* rec = KurvanLock(h);
  if (!rec) return 0;
  TrendConfigToRecord(rec, data.config, nullptr);
  TrendPutU16(rec, TREND_REC_CONFIG_CHANGED, 1);
  KurvanUnlock(h);
  return 1;
}
