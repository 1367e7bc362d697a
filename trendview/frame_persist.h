// Window persistence of the trend viewer: frame placements and bar state in the profile, the
// placements of MDI children, the "WindowSettings" values and splitter pane sizes.
//
// Profile values:
//   <frame section>                "WindowPos"      the ten-number placement (host/window_placement.h)
//   <frame section>                "WindowActive"   the identifier of the active MDI child
//   <frame section>.<identifier>   "WindowPos"      an MDI child's placement
//   <frame section>                "ToolBar", "StatusBar", "BarState"   the bars' state
//   "WindowSettings"               "WindowPos.<name>", "WindowVisible.<name>"
//   "WindowSettings"               "WindowSize.<splitter>.<column>.<row>"   "%d,%d"
#pragma once

#include <QMainWindow>
#include <QMdiSubWindow>
#include <string>
#include <vector>

class CKurvanProfile;
class QSplitter;
class QStatusBar;
class QToolBar;

// The section of a frame: the name, or "<name>.<number>" for a number other than 0.
std::string KurvanSectionName(const std::string& name, unsigned number);

// Reads "WindowPos" of the section; when it holds ten numbers and a normal rectangle at least
// 100 wide and 50 high, the window gets that rectangle and is shown with the stored show
// command (1 normal, 2 minimised, 3 maximised), else it is shown normally. True when the
// stored placement was applied.
bool KurvanRestoreWindowPos(QWidget* window, const CKurvanProfile& profile, const std::string& section,
                            const std::string& key = "WindowPos");
void KurvanSaveWindowPos(QWidget* window, CKurvanProfile& profile, const std::string& section,
                         const std::string& key = "WindowPos");

// "WindowSettings": the placement and the visibility of a window by its name.
void KurvanSaveWindowSettings(QWidget* window, CKurvanProfile& profile, const std::string& name);
// Pane sizes of a splitter with one row: "WindowSize.<name>.<column>.0" = "<width>,<height>".
void KurvanSaveSplitterSizes(QSplitter* splitter, CKurvanProfile& profile, const std::string& name);

// An MDI child with an identifier for its placement section.
class CMDIChildWndX : public QMdiSubWindow {
 public:
  CMDIChildWndX(unsigned identifier, QWidget* parent = nullptr);
  unsigned identifier() const { return identifier_; }
  void SavePlacement(CKurvanProfile& profile, const std::string& frameSection);
  bool RestorePlacement(const CKurvanProfile& profile, const std::string& frameSection);

 private:
  unsigned identifier_;
};

// A main frame that keeps its placement, its MDI children's placements and its bars' state.
class CFrameWndX : public QMainWindow {
 public:
  explicit CFrameWndX(QWidget* parent = nullptr) : QMainWindow(parent) {}
  // Saves under the section (name, or "name.number"): each MDI child first under its own
  // identifier and the active child's identifier as "WindowActive", then "WindowPos" and the
  // bars' state.
  void SavePlacement(CKurvanProfile& profile, const std::string& name, unsigned number = 0);
  // Restores "WindowPos" (see KurvanRestoreWindowPos), then the bars' state.
  bool RestorePlacement(const CKurvanProfile& profile, const std::string& name, unsigned number = 0);

 protected:
  // The MDI children (none for a frame without them) and the active one.
  virtual std::vector<CMDIChildWndX*> mdiChildren() const { return {}; }
  virtual CMDIChildWndX* activeMdiChild() const { return nullptr; }
  virtual QToolBar* toolBarX() const { return nullptr; }
};
