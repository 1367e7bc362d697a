#include "trendview/kurvan_ui.h"

#include <QApplication>
#include <QColor>
#include <QColorDialog>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

#include "trendview/kurvan_ids.h"
#include "trendview/language.h"

namespace {

KurvanUiHooks g_hooks;

// "name|pattern|name|pattern||" as the file dialog's filter list.
QString DialogFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QString name = parts[i];
    if (name.contains('(')) name = name.left(name.indexOf('(')).trimmed();
    out << name + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  }
  return out.join(";;");
}

}  // namespace

void KurvanSetUiHooks(const KurvanUiHooks* hooks) { g_hooks = hooks ? *hooks : KurvanUiHooks(); }

void KurvanBeep(int kind) {
  if (g_hooks.beep) {
    g_hooks.beep(kind);
    return;
  }
  QApplication::beep();
}

int KurvanMessageBox(QWidget* parent, const QString& text, KurvanBox box) {
  if (g_hooks.messageBox) return g_hooks.messageBox(parent, text, box);
  const QString title = KurvanLanguages().string(KURVAN_STR_APP_TITLE);
  switch (box) {
    case KurvanBox::YesNo:
      return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
                 ? KURVAN_ID_YES
                 : KURVAN_ID_NO;
    case KurvanBox::Exclamation:
      QMessageBox::warning(parent, title, text);
      return KURVAN_ID_OK;
    case KurvanBox::Info:
      break;
  }
  QMessageBox::information(parent, title, text);
  return KURVAN_ID_OK;
}

int KurvanRunDialog(QDialog* dialog) {
  if (g_hooks.runDialog) return g_hooks.runDialog(dialog);
  return dialog->exec() == QDialog::Accepted ? KURVAN_ID_OK : KURVAN_ID_CANCEL;
}

QString KurvanFileDialog(QWidget* parent, bool save, const QString& filter, const QString& name) {
  if (g_hooks.fileDialog) return g_hooks.fileDialog(parent, save, filter, name);
  const QString filters = DialogFilter(filter);
  return save ? QFileDialog::getSaveFileName(parent, QString(), name, filters)
              : QFileDialog::getOpenFileName(parent, QString(), name, filters);
}

bool KurvanColorDialog(QWidget* parent, uint32_t* colour) {
  if (g_hooks.colorDialog) return g_hooks.colorDialog(parent, colour);
  QColorDialog dialog(KurvanQColor(*colour), parent);
  dialog.setOption(QColorDialog::ShowAlphaChannel, false);
  if (dialog.exec() != QDialog::Accepted) return false;
  *colour = KurvanColorRef(dialog.selectedColor());
  return true;
}

QColor KurvanQColor(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

uint32_t KurvanColorRef(const QColor& c) {
  return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
         static_cast<uint32_t>(c.blue()) << 16;
}

void KurvanWait(int ms, bool pump) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    if (pump)
      QApplication::processEvents(QEventLoop::AllEvents, 1);
    else
      QThread::msleep(1);
  }
}

bool KurvanOffscreen::resize(int width, int height) {
  if (width <= 0 || height <= 0) {
    image_ = QImage();
    return false;
  }
  if (image_.width() != width || image_.height() != height) image_ = QImage(width, height, QImage::Format_RGB32);
  return !image_.isNull();
}

void KurvanOffscreen::fill(const QColor& colour) {
  if (!image_.isNull()) image_.fill(colour);
}
