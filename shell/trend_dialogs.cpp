#include "shell/trend_dialogs.h"

#include <QDialog>
#include <QEventLoop>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

namespace {

QPointer<QWidget> g_parent;

// Device texts are 8-bit; a "\r\n" break is a plain line break on screen.
QString Text(const char* text) { return QString::fromLatin1(text).replace("\r\n", "\n"); }

void Message(const char* caption, const char* text) {
  QMessageBox::warning(g_parent, Text(caption), Text(text));
}

// The blocks one per line, the first one chosen; a double click or OK takes the line.
int SelectBlock(const char* title, const char* prompt, const char* cancel, const char* const* items, int count) {
  QDialog dialog(g_parent);
  dialog.setObjectName("SimTrendSelection");
  dialog.setWindowTitle(Text(title));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(Text(prompt), &dialog));
  auto* list = new QListWidget(&dialog);
  for (int i = 0; i < count; ++i) list->addItem(Text(items[i]));
  list->setCurrentRow(0);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Cancel)->setText(Text(cancel));
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted) return -1;
  return list->currentRow();
}

}  // namespace

SimTrendUi SimTrendQtUi(QWidget* parent) {
  g_parent = parent;
  SimTrendUi ui;
  ui.message = Message;
  ui.selectBlock = SelectBlock;
  return ui;
}

int SimTrendQtDialogRunner(KurvanHandle h) {
  QPointer<QWidget> owner = g_parent;
  if (owner) owner->setEnabled(false);
  std::atomic<int> result{0};
  QEventLoop loop;
  // The library's calls may come from any thread; this one only waits for the viewer.
  std::thread waiter([&] {
    result = KurvanChannelConfigDialog(h);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  waiter.join();
  if (owner) owner->setEnabled(true);
  return result;
}
