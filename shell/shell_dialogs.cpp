#include "shell/shell_dialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "host/lingsel.h"
#include "shell/com_channel.h"
#include "shell/io_views.h"
#include "shell/main_window.h"
#include "shell/script.h"
#include "shell/settings.h"
#include "shell/shell_texts.h"
#include "shell/shell_util.h"

namespace {

SimMessageBoxHook& BoxHook() {
  static SimMessageBoxHook hook;
  return hook;
}

// The info box's picture.
constexpr char kInfoBitmap[] = ":/assets/info.png";
constexpr int kInfoPictureAt = 20;

// --- Splash --------------------------------------------------------------------------------

class SplashWindow : public QWidget {
 public:
  SplashWindow(const QPixmap& picture, const QString& version)
      : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
        picture_(picture),
        version_(version) {
    setObjectName("SimSplash");
    setFixedSize(picture.width() + 2, picture.height() + 2);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QColor(96, 96, 96));
    p.drawRect(0, 0, width() - 1, height() - 1);
    p.drawPixmap(1, 1, picture_);
    QFont title = font(), version = font(), small = font();
    title.setPixelSize(22);
    title.setBold(true);
    version.setPixelSize(13);
    small.setPixelSize(9);
    text(p, title, 267, 282, "SIM/MX74-2", true);
    if (!version_.isEmpty()) text(p, version, 267, 317, version_, true);
    text(p, small, 5, 332, Latin1(SIM_SPLASH_LINES[0]), false);
    text(p, small, 5, 343, Latin1(SIM_SPLASH_LINES[1]), false);
  }

 private:
  // A text at its top-left corner: a grey shadow one pixel right and down, then dark blue.
  static void text(QPainter& p, const QFont& font, int x, int y, const QString& text, bool shadow) {
    p.setFont(font);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    if (shadow) {
      p.setPen(QColor(128, 128, 128));
      p.drawText(QRect(x + 1, y + 1, 4096, 256), flags, text);
    }
    p.setPen(QColor(0, 0, 128));
    p.drawText(QRect(x, y, 4096, 256), flags, text);
  }
  QPixmap picture_;
  QString version_;
};

struct Splash {
  QPointer<QWidget> window;
  QElapsedTimer opened;
};
Splash& TheSplash() {
  static Splash splash;
  return splash;
}

QString& ProgramFolder() {
  static QString folder;
  return folder;
}

}  // namespace

// --- Message boxes ---------------------------------------------------------------------------

void SimSetMessageBoxHook(SimMessageBoxHook hook) { BoxHook() = std::move(hook); }

int SimMessageBox(QWidget* owner, const QString& caption, const QString& text, SimBoxStyle style) {
  if (BoxHook()) return BoxHook()(caption, text, style);
  if (style == SIM_BOX_WARNING_YES_NO_CANCEL) {
    switch (QMessageBox::warning(owner, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                 QMessageBox::Yes)) {
      case QMessageBox::Yes: return SIM_BOX_YES;
      case QMessageBox::No: return SIM_BOX_NO;
      default: return SIM_BOX_CANCEL;
    }
  }
  QMessageBox::warning(owner, caption, text);
  return SIM_BOX_OK;
}

// --- Splash ----------------------------------------------------------------------------------

bool SimSplash(const QString& bitmap, long timeMs, const QString& versionText, bool show) {
  Splash& s = TheSplash();
  if (show) {
    if (s.window) return true;
    const QPixmap picture(bitmap);
    if (picture.isNull() || picture.width() < SIM_SPLASH_MIN_WIDTH || picture.height() < SIM_SPLASH_MIN_HEIGHT)
      return false;
    // Without a version of the program the splash has no version line.
    auto* w = new SplashWindow(picture, versionText.isEmpty() ? QString() : "Version " + versionText);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      QRect area = screen->geometry();
      w->move(area.center() - QPoint(w->width() / 2, w->height() / 2));
    }
    w->show();
    w->repaint();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    s.window = w;
    s.opened.start();
    return true;
  }
  if (!s.window) return false;
  // The rest of the time, with the splash painting (no user input is taken meanwhile: the
  // firmware has not started yet).
  const qint64 left = timeMs - s.opened.elapsed();
  if (left > 0) {
    s.window->raise();  // above the main window, which came up meanwhile
    QEventLoop wait;
    QTimer::singleShot(static_cast<int>(std::min<qint64>(left, 600000)), &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
  }
  delete s.window.data();
  QApplication::restoreOverrideCursor();
  return true;
}

QWidget* SimSplashWindow() { return TheSplash().window.data(); }

// --- Info box --------------------------------------------------------------------------------

namespace {

class InfoPicture : public QWidget {
 public:
  explicit InfoPicture(QWidget* parent) : QWidget(parent), picture_(kInfoBitmap) {
    setFixedSize(picture_.isNull() ? QSize(1, 1) : picture_.size());
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!picture_.isNull()) QPainter(this).drawPixmap(0, 0, picture_);
  }

 private:
  QPixmap picture_;
};

}  // namespace

SimInfoDialog::SimInfoDialog(QWidget* owner) : QDialog(owner) {
  setObjectName("SimInfoDialog");
  const SimTextSet& t = SimTexts();
  const SimHostState& s = SimState();
  setWindowTitle(Latin1(t.infoCaption));
  char firmware[32];
  std::snprintf(firmware, sizeof firmware, "Version %d.%02d", s.firmwareMajor, s.firmwareMinor);
  QStringList lines = {Latin1(t.simulationWord) + " SIM/MX74-2"};
  // Without a version of the program there is no line for it.
  std::string program;
  if (SimProgramVersion(&program) != 0) lines << "Version " + QString::fromStdString(program);
  lines << Latin1(t.deviceWord) + " MX74-2" << Latin1(firmware)
        << Latin1(t.orderCodeLabel) + ": " + QString::fromStdString(SimModuleOrderCode(s.device));
  for (const char* line : SIM_INFO_ADDRESS_LINES) lines << Latin1(line);

  auto* texts = new QVBoxLayout;
  for (const QString& line : lines) {
    auto* label = new QLabel(line, this);
    label->setObjectName("SimInfoText");
    texts->addWidget(label);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { done(1); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { done(1); });
  auto* top = new QHBoxLayout;
  top->addWidget(new InfoPicture(this), 0, Qt::AlignTop);
  top->addSpacing(kInfoPictureAt);
  top->addLayout(texts, 1);
  auto* all = new QVBoxLayout(this);
  all->setContentsMargins(kInfoPictureAt, kInfoPictureAt, kInfoPictureAt, kInfoPictureAt);
  all->addLayout(top);
  all->addWidget(buttons);
  adjustSize();

  // Centred on the owner; on the screen while the owner is minimised or hidden.
  QRect around;
  if (owner && owner->isVisible() && !owner->isMinimized())
    around = owner->frameGeometry();
  else if (QScreen* screen = QGuiApplication::primaryScreen())
    around = screen->availableGeometry();
  if (!around.isNull()) move(around.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
}

QStringList SimInfoDialog::texts() const {
  QStringList out;
  for (const QLabel* l : findChildren<QLabel*>("SimInfoText")) out << l->text();
  return out;
}

intptr_t SimInfoDialog::send(int id, intptr_t, intptr_t) {
  switch (id) {
    case 1:
    case 2:
      done(1);
      return 1;
    case kCloseLater:
      QTimer::singleShot(0, this, [this] { send(kCloseNow, 0, 0); });
      return 1;
    case kCloseNow:
      QTimer::singleShot(kLaterMs, this, [this] { done(1); });
      return 1;
    default:
      return 0;
  }
}

int SimInfoBox(QWidget* owner) {
  SimInfoDialog box(owner);
  return box.exec();
}

// --- Communication view ----------------------------------------------------------------------

SimCommView::SimCommView(QWidget* owner) : QDialog(owner) {
  setObjectName("SimCommView");
  setModal(false);
  request_ = new QLineEdit(this);
  request_->setObjectName("SimCommRequest");
  request_->setMaxLength(kMaxRequest);
  send_ = new QPushButton(this);
  send_->setObjectName("SimCommSend");
  send_->setAutoDefault(false);
  response_ = new QLineEdit(this);
  response_->setObjectName("SimCommResponse");
  response_->setReadOnly(true);
  auto* grid = new QGridLayout(this);
  grid->addWidget(request_, 0, 0);
  grid->addWidget(send_, 0, 1);
  grid->addWidget(response_, 1, 0, 1, 2);
  setMinimumWidth(420);
  connect(send_, &QPushButton::clicked, this, [this] {
    send(kSend, 0, 0);
    if (send_->hasFocus()) request_->setFocus();
  });
  // Enter in the request edit sends as the button does.
  connect(request_, &QLineEdit::returnPressed, this, [this] { send(kSend, 0, 0); });
  takeLanguageTexts();
}

SimCommView::~SimCommView() = default;

void SimCommView::takeLanguageTexts() {
  const SimTextSet& t = SimTexts();
  setWindowTitle(Latin1(t.commCaption));
  send_->setText(Latin1(t.commSend));
}

intptr_t SimCommView::send(int id, intptr_t, intptr_t) {
  if (id != kSend) return 0;
  if (SimScriptPlaying()) return 0;
  // The answer shown belongs to the request before; a refused request gets none.
  response_->clear();
  const QByteArray text = request_->text().left(kMaxRequest).toLatin1();
  if (!SimComInject(text.constData())) {
    QApplication::beep();
    return 0;
  }
  return 1;
}

void SimCommView::command(int) {}

// Closed by its own frame or Escape: the view's flag follows, as with the menu command.
void SimCommView::reject() {
  QDialog::reject();
  SimState().commViewShown = 0;
  if (auto* main = dynamic_cast<SimMainWindow*>(parentWidget())) SimShowViews(main);
}

// --- Views and language texts ----------------------------------------------------------------

void SimShowViews(SimMainWindow* main) {
  if (!main) return;
  const SimHostState& s = SimState();
  if (QAction* a = main->action(SIM_CMD_VIEW_IO)) a->setChecked(s.ioViewsShown != 0);
  if (QAction* a = main->action(SIM_CMD_VIEW_COMM)) {
    a->setChecked(s.commViewShown != 0);
    a->setEnabled(s.ioViewsShown != 0);
  }
  for (int slot = SIM_VIEW_IO_FIRST; slot < SIM_VIEW_SLOTS; ++slot)
    if (QWidget* v = main->view(slot)) v->hide();
  if (s.ioViewsShown) {
    for (int slot = SIM_VIEW_IO_FIRST; slot < SIM_VIEW_IO_FIRST + SIM_VIEW_IO_COUNT; ++slot)
      if (QWidget* v = main->view(slot)) v->setVisible(SimViewHasContent(v));
    if (s.commViewShown)
      if (QWidget* v = main->view(SIM_VIEW_COMM)) v->show();
  }
  main->layoutViews();
  if (!SimIniPath().empty()) SimWriteIniInt(SIM_INI_SETTINGS, "ViewIO", s.ioViewsShown ? 1 : 0, SimIniPath());
}

void SimLanguageTexts(SimMainWindow* main) {
  if (!main) return;
  // Qt's own dialogs (files, messages) speak the program's language as well.
  LingselUseQtTexts(SimState().language);
  const SimTextSet& t = SimTexts();
  for (int i = 0; i < SIM_VIEW_IO_COUNT; ++i) {
    QWidget* v = main->view(SIM_VIEW_IO_FIRST + i);
    if (!v) continue;
    v->setWindowTitle(Latin1(t.viewCaptions[i]));
    if (auto* target = dynamic_cast<SimMessageTarget*>(v)) target->send(SIM_WM_INITDIALOG, 0, 0);
  }
  if (QWidget* plant = main->view(SIM_VIEW_PLANT)) {
    if (auto* b = plant->findChild<QAbstractButton*>("SimPlantButton")) b->setText(Latin1(t.plantButtons[0]));
    if (auto* b = plant->findChild<QAbstractButton*>("SimDisturbButton")) b->setText(Latin1(t.plantButtons[1]));
  }
  if (SimCommView* comm = main->commView()) comm->takeLanguageTexts();
  main->refreshTitle();
  main->layoutViews();
}

void SimSetProgramFolder(const QString& folder) { ProgramFolder() = folder; }

QString SimProgramFolder() {
  if (ProgramFolder().isEmpty() && QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return ProgramFolder();
}

QString SimHelpDocumentPath() { return SimProgramFolder() + "/" + Latin1(SimTexts().helpDocument); }
