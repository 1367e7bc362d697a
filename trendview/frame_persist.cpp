#include "trendview/frame_persist.h"

#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "host/window_placement.h"
#include "trendview/kurvan_profile.h"

namespace {

enum : unsigned { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

void ShowWith(QWidget* w, unsigned cmd) {
  switch (cmd) {
    case kShowMinimized: w->showMinimized(); break;
    case kShowMaximized: w->showMaximized(); break;
    default: w->showNormal(); break;
  }
}

}  // namespace

std::string KurvanSectionName(const std::string& name, unsigned number) {
  return number ? name + "." + std::to_string(number) : name;
}

bool KurvanRestoreWindowPos(QWidget* window, const CKurvanProfile& profile, const std::string& section,
                            const std::string& key) {
  host::WindowPlacement p;
  if (!host::ParseWindowPlacement(profile.getString(section, key, ""), &p) || p.right - p.left < 100 ||
      p.bottom - p.top < 50) {
    window->showNormal();
    return false;
  }
  window->setGeometry(p.left, p.top, p.right - p.left, p.bottom - p.top);
  ShowWith(window, p.showCmd);
  return true;
}

void KurvanSaveWindowPos(QWidget* window, CKurvanProfile& profile, const std::string& section, const std::string& key) {
  host::WindowPlacement p;
  p.showCmd = window->isMaximized() ? kShowMaximized : window->isMinimized() ? kShowMinimized : kShowNormal;
  const QRect r = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
  p.left = r.left();
  p.top = r.top();
  p.right = r.left() + r.width();
  p.bottom = r.top() + r.height();
  profile.writeString(section, key, host::FormatWindowPlacement(p));
}

void KurvanSaveWindowSettings(QWidget* window, CKurvanProfile& profile, const std::string& name) {
  KurvanSaveWindowPos(window, profile, "WindowSettings", "WindowPos." + name);
  profile.writeInt("WindowSettings", "WindowVisible." + name, window->isVisible() ? 1 : 0);
}

void KurvanSaveSplitterSizes(QSplitter* splitter, CKurvanProfile& profile, const std::string& name) {
  for (int column = 0; column < splitter->count(); ++column) {
    const QWidget* pane = splitter->widget(column);
    profile.writeString("WindowSettings", "WindowSize." + name + "." + std::to_string(column) + ".0",
                        std::to_string(pane->width()) + "," + std::to_string(pane->height()));
  }
}

CMDIChildWndX::CMDIChildWndX(unsigned identifier, QWidget* parent) : QMdiSubWindow(parent), identifier_(identifier) {}

void CMDIChildWndX::SavePlacement(CKurvanProfile& profile, const std::string& frameSection) {
  KurvanSaveWindowPos(this, profile, KurvanSectionName(frameSection, identifier_));
}

bool CMDIChildWndX::RestorePlacement(const CKurvanProfile& profile, const std::string& frameSection) {
  return KurvanRestoreWindowPos(this, profile, KurvanSectionName(frameSection, identifier_));
}

void CFrameWndX::SavePlacement(CKurvanProfile& profile, const std::string& name, unsigned number) {
  const std::string section = KurvanSectionName(name, number);
  const std::vector<CMDIChildWndX*> children = mdiChildren();
  for (CMDIChildWndX* child : children) child->SavePlacement(profile, section);
  if (CMDIChildWndX* active = activeMdiChild())
    profile.writeInt(section, "WindowActive", static_cast<int>(active->identifier()));
  KurvanSaveWindowPos(this, profile, section);
  if (QToolBar* bar = toolBarX()) profile.writeInt(section, "ToolBar", bar->isVisibleTo(this) ? 1 : 0);
  profile.writeInt(section, "StatusBar", statusBar()->isVisibleTo(this) ? 1 : 0);
  profile.writeString(section, "BarState", saveState().toBase64().toStdString());
}

bool CFrameWndX::RestorePlacement(const CKurvanProfile& profile, const std::string& name, unsigned number) {
  const std::string section = KurvanSectionName(name, number);
  const bool applied = KurvanRestoreWindowPos(this, profile, section);
  const std::string state = profile.getString(section, "BarState", "");
  if (!state.empty()) restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)));
  if (QToolBar* bar = toolBarX()) bar->setVisible(profile.getInt(section, "ToolBar", 1) != 0);
  statusBar()->setVisible(profile.getInt(section, "StatusBar", 1) != 0);
  return applied;
}
