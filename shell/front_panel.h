// The device front on the PC screen: the front window shaped by the non-transparent area of
// the front bitmap, one hard-key window per area of the key bitmap, and the LCD window that
// shows the emulated display. Mouse and keyboard become the firmware's key mask, the pointer
// state and the graphics library's key messages.
#pragma once

#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <vector>

class QContextMenuEvent;
class QKeyEvent;

// The command of the front's popup menu: the display to the clipboard.
constexpr int SIM_CMD_COPY_LCD = 500;
class QTimer;

// The front and key bitmaps (438 x 429, pure red transparent). The program's own artwork
// unless a test installed others.
const QImage& SimFrontBitmap();
const QImage& SimKeysBitmap();
void SimSetPanelBitmaps(const QImage& front, const QImage& keys);

// The region i of the last SIM_GetRegions as a widget shape, moved by (x, y).
QRegion SimRegionShape(int index, int x, int y);

// One hard key: shows its part of the front bitmap, or of the key bitmap while pressed.
class SimHardkeyWindow : public QWidget {
 public:
  SimHardkeyWindow(int index, QWidget* parent);
  int index() const { return index_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  int index_;
  bool captured_ = false;
};

// The emulated display of one layer, scaled. Polls the change counter every 20 ms.
class SimLcdWindow : public QWidget {
 public:
  static constexpr int kPollMs = 20;
  SimLcdWindow(int layer, QWidget* parent);
  // One poll: the pointer update and, when the change counter moved, a repaint.
  void poll();
  const QTimer* pollTimer() const { return timer_; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;

 private:
  void pointerHook(QMouseEvent* e, QEvent::Type type);
  void passPointer(QMouseEvent* e, int extra);
  int layer_;
  QTimer* timer_;
  uint32_t lastCount_ = 0;
  int lastX_ = 0, lastY_ = 0;
  QImage lut_;  // for layers of 8 bits or less
};

// The front window: the device front, its keys and the LCD window. Keys typed while it has
// the focus go to the hard keys and the library's key messages, except in pointer mode (while
// a script plays); Escape and F1..F9 also go on to the main window. Its end stops the
// simulation's application thread.
class SimFrontPanel : public QWidget {
 public:
  explicit SimFrontPanel(QWidget* parent);
  ~SimFrontPanel() override;
  int numKeys() const { return static_cast<int>(keys_.size()); }
  SimHardkeyWindow* key(int i) const { return keys_[i]; }
  SimLcdWindow* lcd() const { return lcd_; }

  // The messages that scripts send (SimFrontMessage in shell/script.h).
  intptr_t send(int id, intptr_t wParam, intptr_t lParam);
  bool pointerMode() const { return pointerMode_; }
  // A key or the left button went down (true) or up on the front or one of its keys.
  void notePress(bool down) { pressed_ = down; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void keyReleaseEvent(QKeyEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void contextMenuEvent(QContextMenuEvent*) override;

 private:
  void forwardToMain(QKeyEvent* e);
  std::vector<SimHardkeyWindow*> keys_;
  SimLcdWindow* lcd_ = nullptr;
  bool pointerMode_ = false;
  bool pressed_ = false;
};

// Builds the front window inside the parent. 0 = done; 1 = the LCD memory could not be set
// up (reported in a warning box); the front is then not made.
int SIM_CreateFrame(QWidget* parent, SimFrontPanel** front);

// A key message (down or up) of the shell's windows: the PC-key table, else the typed
// character, into the graphics library's key buffer. Keys with Ctrl or Alt held are left to
// the menus. True when a key was stored.
bool SIM_MapKey(QKeyEvent* event, bool down);
// A key message by its virtual key (message 256 down, 257 up), as message 1040 of the front
// passes it: the PC-key table (up 38, down 40, right 39, left 37, home 36, end 35, shift 16,
// control 17, backspace 8, insert 45, delete 46), else the key's character with the current
// Shift state (Tab with Shift is 10), into the library's key buffer. The Alt key is ignored.
// True when a key was stored.
bool SIM_MapVirtualKey(int message, int virtualKey);
// Page Down, Left, Down, Up and Right work the hard keys 0..4 (auto-repeat ignored). True when
// the key was one of them.
bool SimKeyToHardkey(QKeyEvent* event, bool down);
// The library key of a Qt key in the PC-key table; 0 when it has none.
int SimLibraryKeyOf(int qtKey);

// The layer's display as a picture (its visible size; null when the layer has no display), and
// the same put on the clipboard.
QImage SimLcdImage(int layer);
void SIM_CopyLCDToClipboard(int layer);

// The screen as the window shows it now. The LCD window's poll only schedules a repaint; a
// grab taken before the event loop ran it (e.g. right after a long firmware tick) would show
// the display as it was before, so the window is repainted first.
QPixmap SimGrabScreen(QWidget* window);
