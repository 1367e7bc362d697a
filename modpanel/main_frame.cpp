#include "modpanel/main_frame.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

#include "modpanel/tq500_protocol.h"
#include "modpanel/tq500_view.h"

namespace {

QString PositionKey(const std::string& title, const char* axis) {
  return QStringLiteral("Settings/WindowPos.") + QString::fromLatin1(title.c_str()) + '.' + QLatin1String(axis);
}

}  // namespace

// --- About box -----------------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget* parent, const std::string& programPath, const TQ500FileVersion* version)
    : QDialog(parent) {
  setWindowTitle(QString::fromLatin1("Info \xFC" "ber TQ500"));
  std::string text;
  if (version) TQ500_VersionText(*version, programPath, &text, true);
  versionLine_ = QStringLiteral("TQ500 Version ") + QString::fromLatin1(text.c_str());

  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
  auto* texts = new QVBoxLayout;
  auto* line = new QLabel(versionLine_, this);
  line->setObjectName(QStringLiteral("1026"));
  texts->addWidget(line);
  texts->addWidget(new QLabel(QString::fromLatin1("Modultableau des Simulators SIM74_2"), this));
  texts->addWidget(new QLabel(QString::fromLatin1("Ein Fenster je Buskoppler"), this));
  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addLayout(texts);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* all = new QVBoxLayout(this);
  all->addLayout(row);
  all->addWidget(buttons);
  setFixedSize(sizeHint());
}

QString CAboutDlg::versionLine() const { return versionLine_; }

// --- Frame ---------------------------------------------------------------------------------

CMainFrame::CMainFrame(const std::string& programPath) : programPath_(programPath) {
  // A fixed size and no maximise button: the user cannot resize the panel.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setFixedSize(kWidth, kHeight);
  view_ = new CTQ500View(this);
  setCentralWidget(view_);
  view_->setClientSizeHandler([this](int w, int h) { setFixedSize(w, h); });
}

CMainFrame::~CMainFrame() = default;

std::string CMainFrame::title() const { return windowTitle().toLatin1().toStdString(); }

void CMainFrame::setTitle(const std::string& text) { setWindowTitle(QString::fromLatin1(text.c_str())); }

QString CMainFrame::SettingsFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Local AppWizard-Generated Applications/TQ500.ini");
}

QPoint CMainFrame::StoredPosition() const {
  QSettings s(SettingsFile(), QSettings::IniFormat);
  const std::string t = title();
  bool okX = false, okY = false;
  const int x = s.value(PositionKey(t, "x"), -1).toInt(&okX);
  const int y = s.value(PositionKey(t, "y"), -1).toInt(&okY);
  return {okX ? x : -1, okY ? y : -1};
}

bool CMainFrame::UsablePosition(QPoint p, QSize screen) {
  return p.x() > 0 && p.x() < screen.width() - 20 && p.y() > 0 && p.y() < screen.height() - 20;
}

void CMainFrame::ApplyStoredPosition() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QPoint p = StoredPosition();
  if (screen && UsablePosition(p, screen->geometry().size())) move(p);
}

void CMainFrame::SavePosition() {
  QSettings s(SettingsFile(), QSettings::IniFormat);
  const std::string t = title();
  const QPoint p = pos();
  s.setValue(PositionKey(t, "x"), p.x());
  s.setValue(PositionKey(t, "y"), p.y());
  s.sync();
}

int32_t CMainFrame::send(uint32_t message, uint32_t wParam, int32_t lParam) {
  switch (message) {
    case TQ500_MSG_ADD_MODULE:
      ApplyStoredPosition();
      return view_->OnAddModule(wParam, lParam);
    case TQ500_MSG_GET_INPUT: return static_cast<int32_t>(view_->OnGetInput(wParam));
    case TQ500_MSG_SET_OUTPUT: return view_->OnSetOutput(wParam, lParam);
    case TQ500_MSG_SYSCOMMAND: OnSysCommand(wParam); return 0;
    default: return 0;
  }
}

void CMainFrame::OnSysCommand(uint32_t command) {
  switch (command & 0xFFF0u) {
    case TQ500_SC_ABOUT: {
      TQ500FileVersion v{};
      const bool known = TQ500_ReadFileVersion(&v);
      CAboutDlg about(this, programPath_, known ? &v : nullptr);
      about.exec();
      break;
    }
    case TQ500_SC_CLOSE: close(); break;
    default: break;  // a size command among them: the panel keeps its size
  }
}

void CMainFrame::buildContextMenu(QMenu* menu) {
  QAction* info = menu->addAction(QStringLiteral("Inf&o"));
  connect(info, &QAction::triggered, this, [this] { OnSysCommand(TQ500_SC_ABOUT); });
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  buildContextMenu(&menu);
  menu.exec(e->globalPos());
}

void CMainFrame::closeEvent(QCloseEvent* e) {
  QMainWindow::closeEvent(e);
  if (!e->isAccepted() || destroyed_) return;
  destroyed_ = true;
  SavePosition();
  if (onDestroyed_) onDestroyed_();
}
