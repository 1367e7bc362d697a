#include "trendview/main_frame.h"

#include <QAction>
#include <algorithm>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "trendview/child_frame.h"
#include "trendview/kurvan_app.h"
#include "trendview/kurvan_ids.h"
#include "trendview/language.h"
#include "trendview/trend_doc.h"

namespace {

bool g_cursorOn = false;
int g_selfTestCounter = 0;

const QString kTitle = QStringLiteral("Kurvan");

// Tool-bar pictures by command, drawn by the style.
struct ButtonIcon {
  int id;
  QStyle::StandardPixmap pixmap;
};
constexpr ButtonIcon kIcons[] = {
    {KURVAN_CMD_FILE_OPEN, QStyle::SP_DialogOpenButton},
    {KURVAN_CMD_FILE_SAVE_AS, QStyle::SP_DialogSaveButton},
    {KURVAN_CMD_COPY, QStyle::SP_FileDialogContentsView},
    {KURVAN_CMD_PRINT, QStyle::SP_FileIcon},
    {KURVAN_CMD_HOLD, QStyle::SP_MediaPause},
    {KURVAN_CMD_CURSOR, QStyle::SP_ArrowRight},
    {KURVAN_CMD_ZOOM_RESET, QStyle::SP_BrowserReload},
    {KURVAN_CMD_CONFIGURE, QStyle::SP_FileDialogDetailedView},
    {KURVAN_CMD_ABOUT, QStyle::SP_MessageBoxInformation},
};

bool Checkable(int id) {
  return id == KURVAN_CMD_HOLD || id == KURVAN_CMD_CURSOR || id == KURVAN_CMD_VIEW_TOOLBAR ||
         id == KURVAN_CMD_VIEW_STATUSBAR;
}

}  // namespace

bool KurvanCursorOn() { return g_cursorOn; }

CMainFrame::CMainFrame(CKurvanApp* app) : app_(app) {
  setWindowTitle(kTitle);
  resize(640, 480);
  mdi_ = new QMdiArea(this);
  setCentralWidget(mdi_);
  // The tool bar (resource 128) can dock at any side.
  toolBar_ = new QToolBar(this);
  toolBar_->setObjectName(QStringLiteral("ToolBar"));
  toolBar_->setMovable(true);
  addToolBar(Qt::TopToolBarArea, toolBar_);
  // The status bar: the idle text, then the indicators caps, num, scroll.
  idle_ = new QLabel(this);
  statusBar()->addWidget(idle_, 1);
  for (QLabel*& label : indicators_) {
    label = new QLabel(this);
    label->setEnabled(false);
    statusBar()->addPermanentWidget(label);
  }
  setAcceptDrops(true);
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] {
    if (!closing_) buildMenuBar();
  });
  connect(&selfTest_, &QTimer::timeout, this, [this] { SelfTestSample(); });
  connect(&idleUpdate_, &QTimer::timeout, this, [this] { updateCommandUI(); });
  idleUpdate_.start(250);
  LanguageChanged();
}

CMainFrame::~CMainFrame() {
  closing_ = true;
  selfTest_.stop();
  // The children go first: they release their records while the application is there.
  for (CChildFrame* child : children()) delete child;
}

void CMainFrame::ApplyRecordSettings(KurvanHandle record, bool* haveRecord, bool* showToolBar, bool* showStatusBar) {
  uint8_t* rec = record ? KurvanLock(record) : nullptr;
  if (!rec) return;
  CKurvanProfile& profile = app_->profile();
  const std::string key = TrendGetText(rec, TREND_REC_PROFILE, TREND_PROFILE_BYTES);
  if (!key.empty()) profile.setAppKey(key);
  const std::string section = TrendGetText(rec, TREND_REC_SECTION, TREND_SECTION_BYTES);
  section_ = section.empty() ? "Settings.Trend" : section;
  if (const int16_t instance = TrendGetI16(rec, TREND_REC_INSTANCE)) section_ += "." + std::to_string(instance);
  if (profile.getInt(section_, "ToolBar", -1) == -1)
    profile.writeInt(section_, "ToolBar", TrendGetU16(rec, TREND_REC_TOOLBAR_DEFAULT));
  if (profile.getInt(section_, "StatusBar", -1) == -1)
    profile.writeInt(section_, "StatusBar", TrendGetU16(rec, TREND_REC_STATUSBAR_DEFAULT));
  const int32_t width = TrendGetI32(rec, TREND_REC_FRAME_WIDTH);
  const int32_t height = TrendGetI32(rec, TREND_REC_FRAME_HEIGHT);
  if (width > 100 && height > 50) resize(std::min(width, 32767), std::min(height, 32767));
  *haveRecord = true;
  *showToolBar = TrendGetU16(rec, TREND_REC_TOOLBAR) != 0;
  *showStatusBar = TrendGetU16(rec, TREND_REC_STATUSBAR) != 0;
  KurvanUnlock(record);
}

bool CMainFrame::create(KurvanHandle record, bool selfTest) {
  bool haveRecord = false, showToolBar = true, showStatusBar = true;
  ApplyRecordSettings(record, &haveRecord, &showToolBar, &showStatusBar);
  RestorePlacement(app_->profile(), section_);
  if (haveRecord) {
    if (!showToolBar) toolBar_->hide();
    if (!showStatusBar) statusBar()->hide();
  }
  if (selfTest) {
    g_selfTestCounter = 0;
    selfTest_.start(50);
  }
  updateCommandUI();
  return true;
}

void CMainFrame::SelfTestSample() {
  const float analog = static_cast<float>(g_selfTestCounter);
  const unsigned char digital = g_selfTestCounter > 50 ? 1 : 0;
  g_selfTestCounter = (g_selfTestCounter + 1) % 100;
  KurvanCycle(app_->selfTest(), &analog, &digital, 1);
}

QAction* CMainFrame::ensureAction(int id) {
  auto it = actions_.find(id);
  if (it != actions_.end()) return it->second;
  auto* a = new QAction(this);
  a->setCheckable(Checkable(id));
  for (const ButtonIcon& icon : kIcons)
    if (icon.id == id) a->setIcon(style()->standardIcon(icon.pixmap));
  connect(a, &QAction::triggered, this, [this, id] { command(id); });
  actions_.emplace(id, a);
  return a;
}

QAction* CMainFrame::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::fillWindowMenu(QMenu* menu) {
  for (QAction* a : windowActions_) {
    menu->removeAction(a);
    delete a;
  }
  windowActions_.clear();
  const std::vector<CChildFrame*> list = children();
  if (!list.empty()) windowActions_.push_back(menu->addSeparator());
  for (size_t i = 0; i < list.size(); ++i) {
    QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(list[i]->windowTitle()));
    a->setCheckable(true);
    a->setChecked(list[i] == activeChild());
    CChildFrame* child = list[i];
    connect(a, &QAction::triggered, this, [this, child] { mdi_->setActiveSubWindow(child); });
    windowActions_.push_back(a);
  }
}

void CMainFrame::buildMenuBar() {
  const CLanguageManager& lang = KurvanLanguages();
  const int id = children().empty() ? KURVAN_RES_MAIN_FRAME : app_->documentMenuId();
  shownMenu_ = id;
  windowActions_.clear();
  menuBar()->clear();
  const KurvanMenu* menu = lang.menu(id);
  if (!menu) return;
  // The second-to-last drop-down menu of a document menu lists the child frames.
  int popups = 0;
  for (int i = 0; i < menu->count; ++i) popups += menu->items[i].level == 0;
  QMenu* current = nullptr;
  int popup = 0;
  for (int i = 0; i < menu->count; ++i) {
    const KurvanMenuItem& item = menu->items[i];
    const QString text = QString::fromLatin1(item.text);
    if (item.level == 0) {
      current = menuBar()->addMenu(text);
      QMenu* m = current;
      const bool windowList = id != KURVAN_RES_MAIN_FRAME && ++popup == popups - 1;
      connect(m, &QMenu::aboutToShow, this, [this, m, windowList] {
        updateCommandUI();
        if (windowList) fillWindowMenu(m);
      });
      continue;
    }
    if (!current) continue;
    if (item.id == 0) {
      current->addSeparator();
      continue;
    }
    if (item.id == KURVAN_CMD_MRU_FIRST) {
      // The recent files, or the greyed place holder while there are none.
      const std::vector<std::string>& recent = app_->recentFiles();
      if (recent.empty()) {
        QAction* a = current->addAction(text);
        a->setEnabled(false);
      }
      for (size_t n = 0; n < recent.size() && n < KURVAN_RECENT_COUNT; ++n) {
        QAction* a = ensureAction(KURVAN_CMD_MRU_FIRST + static_cast<int>(n));
        a->setText(QStringLiteral("&%1 %2").arg(n + 1).arg(QFileInfo(QString::fromStdString(recent[n])).fileName()));
        a->setStatusTip(lang.string(KURVAN_CMD_MRU_FIRST));
        current->addAction(a);
      }
      continue;
    }
    QAction* a = ensureAction(item.id);
    a->setText(text.section('\t', 0, 0));
    a->setShortcut(QKeySequence(text.section('\t', 1, 1)));
    const QString prompt = lang.string(item.id);
    a->setStatusTip(prompt.section('\n', 0, 0));
    a->setToolTip(prompt.section('\n', 1, 1).isEmpty() ? a->text() : prompt.section('\n', 1, 1));
    current->addAction(a);
  }
  updateCommandUI();
}

void CMainFrame::buildToolBar() {
  const CLanguageManager& lang = KurvanLanguages();
  toolBar_->clear();
  const KurvanToolBar* bar = lang.toolBar(KURVAN_RES_MAIN_FRAME);
  if (!bar) return;
  for (int i = 0; i < bar->count; ++i) {
    if (bar->commands[i] == 0) {
      toolBar_->addSeparator();
      continue;
    }
    QAction* a = ensureAction(bar->commands[i]);
    const QString prompt = lang.string(bar->commands[i]);
    a->setStatusTip(prompt.section('\n', 0, 0));
    a->setToolTip(prompt.section('\n', 1, 1));
    if (a->text().isEmpty()) a->setText(prompt.section('\n', 1, 1));
    toolBar_->addAction(a);
  }
}

void CMainFrame::LanguageChanged() {
  const CLanguageManager& lang = KurvanLanguages();
  buildMenuBar();
  buildToolBar();
  idle_->setText(lang.string(KURVAN_STR_IDLE));
  const int indicatorIds[] = {KURVAN_STR_IND_CAPS, KURVAN_STR_IND_NUM, KURVAN_STR_IND_SCROLL};
  for (int i = 0; i < 3; ++i) indicators_[i]->setText(lang.string(indicatorIds[i]));
  updateCommandUI();
}

void CMainFrame::addChild(CChildFrame* child) {
  children_.push_back(child);
  mdi_->addSubWindow(child);
  buildMenuBar();
}

void CMainFrame::removeChild(CChildFrame* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
  if (!closing_) buildMenuBar();
}

std::vector<CChildFrame*> CMainFrame::children() const { return children_; }

CChildFrame* CMainFrame::activeChild() const {
  const QMdiSubWindow* current = mdi_->currentSubWindow();
  for (CChildFrame* child : children_)
    if (child == current) return child;
  return children_.empty() ? nullptr : children_.back();
}

std::vector<CMDIChildWndX*> CMainFrame::mdiChildren() const { return {children_.begin(), children_.end()}; }

CMDIChildWndX* CMainFrame::activeMdiChild() const { return activeChild(); }

void CMainFrame::sendToChildren(int id, intptr_t wParam, intptr_t lParam) {
  for (CChildFrame* child : children()) child->send(id, wParam, lParam);
}

bool CMainFrame::route(int id, KurvanCmdUI* ui) {
  if (CChildFrame* child = activeChild())
    if (child->route(id, ui)) return true;
  return onCommand(id, ui) || app_->onCommand(id, ui);
}

void CMainFrame::command(int id) {
  route(id, nullptr);
  updateCommandUI();
}

void CMainFrame::updateCommandUI() {
  for (auto& [id, a] : actions_) {
    KurvanCmdUI ui;
    const bool handled = route(id, &ui);
    a->setEnabled(handled && ui.enabled);
    if (a->isCheckable()) a->setChecked(handled && ui.checked);
  }
}

bool CMainFrame::onCommand(int id, KurvanCmdUI* ui) {
  switch (id) {
    case KURVAN_CMD_VIEW_TOOLBAR:
      if (ui)
        ui->checked = toolBar_->isVisibleTo(this);
      else
        toolBar_->setVisible(!toolBar_->isVisibleTo(this));
      return true;
    case KURVAN_CMD_VIEW_STATUSBAR:
      if (ui)
        ui->checked = statusBar()->isVisibleTo(this);
      else
        statusBar()->setVisible(!statusBar()->isVisibleTo(this));
      return true;
    case KURVAN_CMD_CURSOR:
      if (ui) {
        ui->checked = g_cursorOn;
      } else {
        g_cursorOn = !g_cursorOn;
        sendToChildren(KURVAN_MSG_CURSOR, 0, 0);
      }
      return true;
    case KURVAN_CMD_LANGUAGE:
      if (!ui) KurvanLanguages().SelectLanguage(app_->instanceHandle(), this, app_->profile());
      return true;
    case KURVAN_CMD_WINDOW_CASCADE:
    case KURVAN_CMD_WINDOW_TILE:
    case KURVAN_CMD_WINDOW_ARRANGE:
      if (ui)
        ui->enabled = !children().empty();
      else if (id == KURVAN_CMD_WINDOW_TILE)
        mdi_->tileSubWindows();
      else
        mdi_->cascadeSubWindows();
      return true;
    case KURVAN_CMD_EXIT:
      if (!ui) close();
      return true;
    default:
      return false;
  }
}

void CMainFrame::closeEvent(QCloseEvent* e) {
  selfTest_.stop();
  showNormal();
  CKurvanProfile& profile = app_->profile();
  SavePlacement(profile, section_);
  KurvanSaveWindowSettings(this, profile, "MainFrame");
  closing_ = true;
  for (CChildFrame* child : children()) delete child;
  closing_ = false;
  buildMenuBar();
  e->accept();
}

void CMainFrame::changeEvent(QEvent* e) {
  CFrameWndX::changeEvent(e);
  // The document's name is never added to the title.
  if (e->type() == QEvent::WindowTitleChange && windowTitle() != kTitle) setWindowTitle(kTitle);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e) {
  for (const QUrl& url : e->mimeData()->urls())
    if (url.isLocalFile()) app_->OpenDocumentFile(url.toLocalFile().toStdString());
  e->acceptProposedAction();
}
