// The frame of the module panel: a window of fixed size that holds the view, keeps its
// position per title in the settings, and takes the module messages and system commands.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <string>

#include "modpanel/version_text.h"

class CTQ500View;
class QMenu;

// The About box: the program's version in its long form.
class CAboutDlg : public QDialog {
 public:
  // `version` null: the program has no version ("TQ500 Version " alone).
  CAboutDlg(QWidget* parent, const std::string& programPath, const TQ500FileVersion* version);
  // The text of the version line (static 1026).
  QString versionLine() const;

 private:
  QString versionLine_;
};

class CMainFrame : public QMainWindow {
 public:
  static constexpr int kWidth = 120;
  static constexpr int kHeight = 200;

  explicit CMainFrame(const std::string& programPath);
  ~CMainFrame() override;

  CTQ500View* view() const { return view_; }

  // The frame's messages: 2025 re-applies the stored position and adds the module, 2026 and
  // 2027 go to the view, a system command as OnSysCommand; any other message answers 0.
  int32_t send(uint32_t message, uint32_t wParam, int32_t lParam);
  // "Inf&o" opens the About box (modal), a size command is ignored, close closes the frame.
  void OnSysCommand(uint32_t command);

  // The window text as 8-bit text, and a new one.
  std::string title() const;
  void setTitle(const std::string& text);

  // The stored position of the current title ("Settings", "WindowPos.<title>.x" and ".y",
  // -1 when missing), and whether it lies on the screen.
  QPoint StoredPosition() const;
  static bool UsablePosition(QPoint p, QSize screen);
  // The settings file: "TQ500.ini" in "Local AppWizard-Generated Applications" of the user's
  // settings folder.
  static QString SettingsFile();

  // The items of the window's context menu.
  void buildContextMenu(QMenu* menu);
  // Called once the frame has closed (the program then ends).
  void setOnDestroyed(std::function<void()> f) { onDestroyed_ = std::move(f); }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void ApplyStoredPosition();
  void SavePosition();

  std::string programPath_;
  CTQ500View* view_;
  bool destroyed_ = false;
  std::function<void()> onDestroyed_;
};
