#include "modpanel/value_edit.h"

#include <QKeyEvent>
#include <QTimerEvent>

CValueEdit::CValueEdit(QWidget* parent) : QLineEdit(parent) {}

void CValueEdit::keyPressEvent(QKeyEvent* e) {
  QLineEdit::keyPressEvent(e);
  if (timerId_) killTimer(timerId_);
  timerId_ = startTimer(delay_);
}

void CValueEdit::timerEvent(QTimerEvent* e) {
  if (e->timerId() != timerId_ || timerId_ == 0) {
    QLineEdit::timerEvent(e);
    return;
  }
  OnTimer();
}

void CValueEdit::OnTimer() {
  if (timerId_) killTimer(timerId_);
  timerId_ = 0;
  if (!isModified()) return;
  setModified(false);
  const QByteArray text = this->text().toLatin1();
  input_ = TQ500_ParseInput(std::string_view(text.constData(), static_cast<size_t>(text.size())));
}

COutputEdit::COutputEdit(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  setAlignment(Qt::AlignCenter);
}

void COutputEdit::SetText(const QString& text) {
  if (this->text() != text) setText(text);
}
