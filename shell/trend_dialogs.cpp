#include "shell/trend_dialogs.h"

#include <QAction>
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

#include "shell/main_window.h"
#include "shell/project.h"
#include "shell/settings.h"
#include "shell/shell_dialogs.h"
#include "shell/shell_util.h"

namespace {

QPointer<QWidget> g_parent;

// Device texts are 8-bit; a "\r\n" break is a plain line break on screen.
QString Text(const char* text) { return QString::fromLatin1(text).replace("\r\n", "\n"); }

void Message(const char* caption, const char* text) {
  SimMessageBox(g_parent, Text(caption), Text(text), SIM_BOX_WARNING_OK);
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

// --- The binding in the program ----------------------------------------------------------

namespace {

constexpr int kTrendItems[] = {SIM_CMD_TREND_SETTINGS, SIM_CMD_TREND_SLOW, SIM_CMD_TREND_MEDIUM, SIM_CMD_TREND_FAST,
                               SIM_CMD_TREND_L1READ};

// The menu's trend items, once the trends exist.
void ShowTrendItems(SimMainWindow* w) {
  if (!SimTrendHandle(SIM_TREND_FAST)) return;
  for (int id : kTrendItems)
    if (QAction* a = w->action(id)) a->setVisible(true);
}

void TrendCommand(SimMainWindow* w, int id) {
  switch (id) {
    case SIM_CMD_CONTROLLER_TREND: {
      const bool shown = SimTrendControllerCommand(SimTrendQtUi(w));
      SimTheSettings().viewTrend = shown ? 1 : 0;
      SimWriteIniInt(SIM_INI_SETTINGS, "ViewTrend", shown ? 1 : 0, SimIniPath());
      break;
    }
    case SIM_CMD_TREND_SLOW:
    case SIM_CMD_TREND_MEDIUM:
    case SIM_CMD_TREND_FAST:
      SimTrendShow(SIM_CMD_TREND_FAST - id);
      break;
    case SIM_CMD_TREND_L1READ:
      SimTrendBlockCommand(SimTrendQtUi(w));
      break;
    case SIM_CMD_TREND_SETTINGS:
      SimTrendQtUi(w);  // the channel dialog's owner
      SimTrendSettingsDialog();
      break;
    default:
      break;
  }
}

}  // namespace

void SimTrendBegin(std::intptr_t instance) {
  SimTrendSetFirmware(SimTrendFirmwareTable());
  SimTrendSetDialogRunner(SimTrendQtDialogRunner);
  SimTrendCreateAll(instance);
  SimSetProjectTrendHooks(SimTrendProjectLoaded, SimTrendProjectSaved);
}

void SimTrendEnd() {
  SimTrendDestroyAll();
  SimSetProjectTrendHooks(nullptr, nullptr);
  SimTrendSetDialogRunner(nullptr);
}

void SimTrendBindWindow(SimMainWindow* w, SimMainWindowHooks* hooks) {
  hooks->trendCommand = [w](int id) { TrendCommand(w, id); };
  hooks->trendSettingsChanged = SimTrendSettingsChanged;
  hooks->trendSample = SimTrendCycle;
  hooks->trendReset = SimTrendResetAll;
  hooks->languageChanged = [w] { SimTrendWindowLanguageChanged(w); };
  // The trend view shown at the end goes to [Settings] ViewTrend; the viewers close with the
  // trends.
  hooks->closing = [] {
    SimTheSettings().viewTrend = SimTrendStandardVisible() ? 1 : 0;
    SimTrendDestroyAll();
  };
  ShowTrendItems(w);
}

void SimTrendWindowLanguageChanged(SimMainWindow* w) {
  SimTrendLanguageChanged();
  ShowTrendItems(w);
}
