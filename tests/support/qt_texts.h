// What Qt's own dialogs say: the button texts of a file dialog (Qt's own, not the desktop's)
// as the program would open it now, with the mnemonic marks removed.
#pragma once

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QStringList>

namespace qttexts {

inline QStringList FileDialogButtons(QFileDialog::AcceptMode mode) {
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  QStringList texts;
  if (auto* box = dialog.findChild<QDialogButtonBox*>())
    for (QAbstractButton* b : box->buttons()) texts << b->text().remove('&');
  texts.sort();
  return texts;
}

}  // namespace qttexts
