// The trend viewer's main frame: an MDI frame with menus, tool bar and status bar from the
// current language library, the settings its record gives (settings key and section, bar
// defaults, size), the self-test timer, the program-wide cursor switch and the language
// command. Its title is always "Kurvan".
#pragma once

#include <QTimer>
#include <map>
#include <string>
#include <vector>

#include "trendview/frame_persist.h"
#include "trendview/kurvex/kurvex.h"
#include "trendview/trend_view.h"

class CChildFrame;
class CKurvanApp;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;

// The cursor switch of the whole program (command 32772).
bool KurvanCursorOn();

class CMainFrame : public CFrameWndX {
 public:
  explicit CMainFrame(CKurvanApp* app);
  ~CMainFrame() override;

  // The frame's creation with the application's record (0 = none): the record's settings,
  // the saved placement (the frame is shown), and in the self-test mode the 50 ms timer.
  bool create(KurvanHandle record, bool selfTest);

  // Runs a command through the route: the active child frame (its view, its document, the
  // frame), then this frame, then the application.
  void command(int id);
  // The state of a command along the same route; false when nobody handles it (disabled).
  bool route(int id, KurvanCmdUI* ui);
  // Enables and checks every action by its command's state.
  void updateCommandUI();
  QAction* action(int id) const;

  void addChild(CChildFrame* child);
  // A child frame that goes (called from its destructor).
  void removeChild(CChildFrame* child);
  CChildFrame* activeChild() const;
  std::vector<CChildFrame*> children() const;
  // Sends a private message to every child frame.
  void sendToChildren(int id, intptr_t wParam, intptr_t lParam);

  // The profile section of the frame settings ("Settings.Trend", the record's section,
  // ".<instance>" appended).
  const std::string& section() const { return section_; }
  // The menu shown now: 128 without a child frame, else the template's document menu.
  int shownMenu() const { return shownMenu_; }
  QToolBar* toolBar() const { return toolBar_; }
  QMdiArea* mdiArea() const { return mdi_; }
  bool selfTestRunning() const { return selfTest_.isActive(); }
  // One sample of the self-test trend (a tick of timer 1).
  void SelfTestSample();

  // Menus, tool bar and status texts of the current language.
  void LanguageChanged();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  std::vector<CMDIChildWndX*> mdiChildren() const override;
  CMDIChildWndX* activeMdiChild() const override;
  QToolBar* toolBarX() const override { return toolBar_; }

 private:
  bool onCommand(int id, KurvanCmdUI* ui);
  QAction* ensureAction(int id);
  void buildMenuBar();
  void buildToolBar();
  void fillWindowMenu(QMenu* menu);
  void ApplyRecordSettings(KurvanHandle record, bool* haveRecord, bool* showToolBar, bool* showStatusBar);

  CKurvanApp* app_;
  QMdiArea* mdi_;
  QToolBar* toolBar_;
  QLabel* idle_;
  QLabel* indicators_[3];
  std::map<int, QAction*> actions_;
  std::vector<QAction*> windowActions_;
  std::vector<CChildFrame*> children_;
  QTimer selfTest_;
  QTimer idleUpdate_;
  std::string section_ = "Settings.Trend";
  int shownMenu_ = 0;
  bool closing_ = false;
};
