#include "shell/front_panel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "gui/core/GUI_Input.h"
#include "shell/regions.h"
#include "shell/script.h"
#include "shell/script_text.h"
#include "shell/sim_loop.h"
#include "simlayer/LCDSIM.h"
#include "simlayer/SIM.h"

namespace {

constexpr int kMaxRegions = 128;
constexpr int kLcdX = 59, kLcdY = 44;

QImage g_front, g_keys;
bool g_bitmapsSet;
SimFrontPanel* g_panel;

void LoadBitmaps() {
  if (g_bitmapsSet) return;
  g_front = QImage(":/assets/front.png").convertToFormat(QImage::Format_RGB32);
  g_keys = QImage(":/assets/keys.png").convertToFormat(QImage::Format_RGB32);
  g_bitmapsSet = true;
}

int Regions(const QImage& img) {
  if (img.isNull()) return 0;
  return SIM_GetRegions(reinterpret_cast<const uint32_t*>(img.constBits()), img.width(), img.height(),
                        static_cast<int>(img.bytesPerLine() / 4), SIM_GetTransColor(), kMaxRegions);
}

// Region errors show in a warning box only while the front is visible.
void RegionError(const char* text) {
  SIM_LogText(text);
  if (g_panel && g_panel->isVisible()) QMessageBox::warning(g_panel, SIM_GetShortTitle(), QString::fromLatin1(text));
}

void RepaintKey(int index) {
  if (g_panel && index >= 0 && index < g_panel->numKeys()) g_panel->key(index)->update();
}

void NotePress(QWidget* key, bool down) {
  if (auto* panel = dynamic_cast<SimFrontPanel*>(key->parentWidget())) panel->notePress(down);
}

}  // namespace

const QImage& SimFrontBitmap() {
  LoadBitmaps();
  return g_front;
}
const QImage& SimKeysBitmap() {
  LoadBitmaps();
  return g_keys;
}
void SimSetPanelBitmaps(const QImage& front, const QImage& keys) {
  g_front = front.convertToFormat(QImage::Format_RGB32);
  g_keys = keys.convertToFormat(QImage::Format_RGB32);
  g_bitmapsSet = true;
}

QRegion SimRegionShape(int index, int x, int y) {
  const SimRegion* r = SIM_GetRegion(index);
  QRegion shape;
  if (!r) return shape;
  for (const SimRegionLine& l : r->lines) shape += QRect(l.x0 - r->left, l.y - r->top, l.x1 - l.x0 + 1, 1);
  shape.translate(x, y);
  return shape;
}

// --- Hard-key window ----------------------------------------------------------------------
SimHardkeyWindow::SimHardkeyWindow(int index, QWidget* parent) : QWidget(parent), index_(index) {
  setObjectName("Hardkey");
}

void SimHardkeyWindow::paintEvent(QPaintEvent*) {
  if (index_ > 127) return;
  const QImage& src = SIM_HARDKEY_GetState(index_) ? SimKeysBitmap() : SimFrontBitmap();
  QPainter p(this);
  p.drawImage(QPoint(0, 0), src, QRect(pos(), size()));
}

void SimHardkeyWindow::mousePressEvent(QMouseEvent* e) {
  if (index_ > 127 || e->button() != Qt::LeftButton) return;
  captured_ = true;  // the press grabs the mouse until the release
  NotePress(this, true);
  SIM_HARDKEY_SetState(index_, SIM_HARDKEY_GetMode(index_) ? !SIM_HARDKEY_GetState(index_) : 1);
  SIM_HardkeyCallback(index_, 1);
  update();
}

void SimHardkeyWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (index_ > 127 || e->button() != Qt::LeftButton) return;
  captured_ = false;
  NotePress(this, false);
  if (!SIM_HARDKEY_GetMode(index_)) SIM_HARDKEY_SetState(index_, 0);
  SIM_HardkeyCallback(index_, 0);
  update();
}

void SimHardkeyWindow::mouseMoveEvent(QMouseEvent* e) {
  if (index_ > 127 || !captured_) return;
  if (rect().contains(e->position().toPoint())) return;
  // Leaving the key keeps it pressed until the button is released.
  SIM_HardkeyCallback(index_, 2);
  update();
}

// --- LCD window ---------------------------------------------------------------------------
SimLcdWindow::SimLcdWindow(int layer, QWidget* parent) : QWidget(parent), layer_(layer) {
  setObjectName("LCD window");
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  SIM_POINTER_STATE cleared{};
  SIM_StorePointerState(&cleared);
  setCursor(Qt::CrossCursor);
  timer_ = new QTimer(this);
  timer_->setInterval(kPollMs);
  connect(timer_, &QTimer::timeout, this, [this] { poll(); });
  timer_->start();
  lastCount_ = LCDSIM_GetChangeCount(layer_);
}

void SimLcdWindow::poll() {
  LCDSIM_UpdatePointer(layer_);
  if (layer_ != 0) return;
  uint32_t count = LCDSIM_GetChangeCount(layer_);
  if (count != lastCount_) {
    lastCount_ = count;
    update();
  }
}

// A picture over the LCD memory itself (no copy); valid while the layer's block is mapped.
static QImage LcdView(int layer) {
  LCDSIM_VIEW v{};
  if (LCDSIM_GetView(layer, &v) != 0 || !v.pBits) return QImage();
  if (v.bitsPerPixel > 8) return QImage(v.pBits, v.xSize, v.ySize, v.bytesPerLine, QImage::Format_RGB32);
  QImage img(v.pBits, v.xSize, v.ySize, v.bytesPerLine, QImage::Format_Indexed8);
  QList<QRgb> colours(256);
  for (int i = 0; i < 256; ++i) {
    GUI_COLOR c = LCDSIM_GetLUTColor(i, layer);
    colours[i] = qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  }
  img.setColorTable(colours);
  return img;
}

QImage SimLcdImage(int layer) { return LcdView(layer).copy(); }

void SIM_CopyLCDToClipboard(int layer) {
  QImage img = SimLcdImage(layer);
  if (!img.isNull()) QGuiApplication::clipboard()->setImage(img);
}

QPixmap SimGrabScreen(QWidget* window) {
  window->repaint();
  QScreen* screen = window->screen();
  QPixmap shot = screen ? screen->grabWindow(0) : QPixmap();
  return shot.isNull() ? window->grab() : shot;
}

void SimLcdWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QImage img = LcdView(layer_);
  if (img.isNull())
    p.fillRect(rect(), Qt::black);
  else
    p.drawImage(rect(), img);
  if (!img.isNull() && layer_ == 0) SimNoteLcdPaint(LCDSIM_GetChangeCount(layer_));
}

// Keeps the pointer state for the firmware: hover cursor over the display, pressed cursor and
// position while the left button is down.
void SimLcdWindow::pointerHook(QMouseEvent* e, QEvent::Type type) {
  SIM_POINTER_STATE s{};
  SIM_GetPointerState(&s);
  QPoint pt = e->position().toPoint();
  bool inside = rect().contains(pt);
  switch (type) {
    case QEvent::MouseMove:
      if (inside) {
        if (s.state != 2) s.x = s.y = 0;
        else s.x = static_cast<int16_t>(pt.x()), s.y = static_cast<int16_t>(pt.y());
      } else {
        s = SIM_POINTER_STATE{};
        setCursor(Qt::CrossCursor);
      }
      break;
    case QEvent::MouseButtonPress:
      if (e->button() == Qt::LeftButton) {
        s.x = static_cast<int16_t>(pt.x());
        s.y = static_cast<int16_t>(pt.y());
        s.state = 2;
        setCursor(Qt::PointingHandCursor);
      }
      break;
    case QEvent::MouseButtonRelease:
      if (e->button() == Qt::LeftButton) {
        s.state = 0;
        setCursor(Qt::CrossCursor);
      }
      break;
    default:
      break;
  }
  SIM_StorePointerState(&s);
}

void SimLcdWindow::passPointer(QMouseEvent* e, int extra) {
  int sx = 1, sy = 1;
  SIM_GetScale(&sx, &sy);
  QPoint pt = e->position().toPoint();
  int x = pt.x() / sx, y = pt.y() / sy;
  LCDSIM_VIEW v{};
  int w = 320, h = 240;
  if (LCDSIM_GetView(layer_, &v) == 0) w = v.xSize, h = v.ySize;
  // A position off the display passes the last one on it.
  if (pt.x() < 0 || pt.y() < 0 || x >= w || y >= h) {
    x = lastX_;
    y = lastY_;
  } else {
    lastX_ = x;
    lastY_ = y;
  }
  Qt::MouseButtons b = e->buttons();
  int buttons = (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) | (b & Qt::MiddleButton ? 4 : 0) | extra;
  LCDSIM_SetPointerState(x, y, buttons, layer_);
}

void SimLcdWindow::mousePressEvent(QMouseEvent* e) {
  pointerHook(e, QEvent::MouseButtonPress);
  passPointer(e, 0);
}
void SimLcdWindow::mouseReleaseEvent(QMouseEvent* e) {
  pointerHook(e, QEvent::MouseButtonRelease);
  passPointer(e, 0);
}
void SimLcdWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  pointerHook(e, QEvent::MouseButtonPress);
  passPointer(e, 128);
}
void SimLcdWindow::mouseMoveEvent(QMouseEvent* e) {
  pointerHook(e, QEvent::MouseMove);
  passPointer(e, 0);
}
void SimLcdWindow::leaveEvent(QEvent*) {
  SIM_POINTER_STATE cleared{};
  SIM_StorePointerState(&cleared);
}

// --- Front window -------------------------------------------------------------------------
SimFrontPanel::SimFrontPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("Simulationfront");
  setFocusPolicy(Qt::StrongFocus);
  const QImage& front = SimFrontBitmap();
  setFixedSize(front.isNull() ? QSize(438, 429) : front.size());
  g_panel = this;
  SIM_SetRegionErrorHandler(RegionError);
  SIM_SetKeyRepaintHook(RepaintKey);

  int sx = 1, sy = 1;
  SIM_GetScale(&sx, &sy);
  lcd_ = new SimLcdWindow(0, this);
  lcd_->setGeometry(kLcdX, kLcdY, 320 * sx, 240 * sy);

  QRegion shape;
  int n = Regions(front);
  for (int i = 0; i < n; ++i) {
    const SimRegion* r = SIM_GetRegion(i);
    shape += SimRegionShape(i, r->left, r->top);
  }
  SIM_FreeRegions();
  if (!shape.isEmpty()) setMask(shape);

  n = Regions(SimKeysBitmap());
  for (int i = 0; i < n; ++i) {
    const SimRegion* r = SIM_GetRegion(i);
    auto* key = new SimHardkeyWindow(i, this);
    key->setGeometry(r->left, r->top, r->right - r->left + 1, r->bottom - r->top + 1);
    key->setMask(SimRegionShape(i, 0, 0));
    keys_.push_back(key);
  }
  SIM_FreeRegions();
}

SimFrontPanel::~SimFrontPanel() {
  SIM_StopApplication();
  if (g_panel == this) {
    g_panel = nullptr;
    SIM_SetKeyRepaintHook(nullptr);
    SIM_SetRegionErrorHandler(nullptr);
  }
}

void SimFrontPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(QPoint(0, 0), SimFrontBitmap());
}

namespace {
bool GoesToMain(int key) { return key == Qt::Key_Escape || (key >= Qt::Key_F1 && key <= Qt::Key_F9); }
}  // namespace

// Escape and F1..F9 reach the main window as well (once: the event is taken here).
void SimFrontPanel::forwardToMain(QKeyEvent* e) {
  QWidget* main = window();
  if (main && main != this) {
    QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(), static_cast<ushort>(e->count()));
    QCoreApplication::sendEvent(main, &copy);
  }
  e->accept();
}

// The keys that drive the hard keys drive only those (one press acts once, as a click on the
// key does); every other key goes to the library's key buffer (not in pointer mode). Escape
// and F1..F9 also go on to the main window, and the front keeps every other key.
void SimFrontPanel::keyPressEvent(QKeyEvent* e) {
  pressed_ = true;
  if (!pointerMode_ && !SimKeyToHardkey(e, true)) SIM_MapKey(e, true);
  if (GoesToMain(e->key())) return forwardToMain(e);
  e->accept();
}
void SimFrontPanel::keyReleaseEvent(QKeyEvent* e) {
  pressed_ = false;
  if (!pointerMode_ && !SimKeyToHardkey(e, false)) SIM_MapKey(e, false);
  if (GoesToMain(e->key())) return forwardToMain(e);
  e->accept();
}

intptr_t SimFrontPanel::send(int id, intptr_t wParam, intptr_t lParam) {
  switch (id) {
    case SIM_FRONT_GET_KEYS:
      return SimScriptKeyCode(static_cast<uint16_t>(SIM_GetCycleKeyMask() & 0x1F));
    case SIM_FRONT_SET_KEYS: {
      // Each key that differs goes down or up as a click on it would make it.
      const uintptr_t now = static_cast<uintptr_t>(wParam), old = static_cast<uintptr_t>(lParam);
      for (int i = 0; i < 5; ++i) {
        const uintptr_t bit = uintptr_t{1} << i;
        if (!((now ^ old) & bit)) continue;
        const int down = (now & bit) ? 1 : 0;
        SIM_HARDKEY_SetState(i, down);
        SIM_HardkeyCallback(i, down);
      }
      return 0;
    }
    case SIM_FRONT_POINTER_MODE:
      pointerMode_ = (wParam & 0xFFFF) != 0;
      if (pointerMode_)
        setCursor(Qt::BusyCursor);
      else
        unsetCursor();
      return 0;
    case SIM_FRONT_PRESSED:
      return pressed_ ? 1 : 0;
    case SIM_FRONT_KEY:
      SIM_MapVirtualKey(static_cast<int>(wParam & 0xFFFF), static_cast<int>(lParam));
      return 0;
    case SIM_FRONT_NOTHING:
    default:
      return 0;
  }
}
void SimFrontPanel::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  QAction* copy = menu.addAction("&Copy LCD to clipboard");
  copy->setData(SIM_CMD_COPY_LCD);
  if (menu.exec(e->globalPos()) == copy) SIM_CopyLCDToClipboard(0);
}

void SimFrontPanel::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) pressed_ = true;
  setFocus();
  QWidget::mousePressEvent(e);
}
void SimFrontPanel::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) pressed_ = false;
  QWidget::mouseReleaseEvent(e);
}

int SIM_CreateFrame(QWidget* parent, SimFrontPanel** front) {
  if (front) *front = nullptr;
  if (const char* error = LCDSIM_InitServerData()) {
    QMessageBox::warning(parent, SIM_GetShortTitle(), QString::fromLatin1(error));
    return 1;
  }
  auto* panel = new SimFrontPanel(parent);
  SIM_ClearLog();
  SIM_StartApplication();
  panel->show();
  if (front) *front = panel;
  return 0;
}

// --- Keys ---------------------------------------------------------------------------------
int SimLibraryKeyOf(int qtKey) {
  static const struct {
    int qt, key;
  } kTable[] = {{Qt::Key_Up, 17},       {Qt::Key_Down, 19},     {Qt::Key_Right, 18}, {Qt::Key_Left, 16},
                {Qt::Key_Home, 23},     {Qt::Key_End, 24},      {Qt::Key_Shift, 25}, {Qt::Key_Control, 26},
                {Qt::Key_Backspace, 8}, {Qt::Key_Insert, 29},   {Qt::Key_Delete, 30}};
  for (const auto& k : kTable)
    if (k.qt == qtKey) return k.key;
  return 0;
}

bool SIM_MapKey(QKeyEvent* e, bool down) {
  int qtKey = e->key();
  Qt::KeyboardModifiers mods = e->modifiers();
  if (qtKey == Qt::Key_Alt || qtKey == Qt::Key_AltGr) return false;
  if (qtKey != Qt::Key_Control && (mods & (Qt::ControlModifier | Qt::AltModifier))) return false;
  if (int key = SimLibraryKeyOf(qtKey)) {
    GUI_StoreKeyMsg(key, down ? 1 : 0);
    return true;
  }
  int ch = 0;
  if (qtKey == Qt::Key_Backtab || (qtKey == Qt::Key_Tab && (mods & Qt::ShiftModifier))) {
    ch = 10;
  } else {
    QString text = e->text();
    if (text.size() == 1 && text[0].unicode() > 0 && text[0].unicode() < 256) ch = text[0].unicode();
  }
  if (!ch) return false;
  GUI_StoreKeyMsg(ch, down ? 1 : 0);
  return true;
}

bool SIM_MapVirtualKey(int message, int vk) {
  constexpr int kKeyDown = 256, kKeyUp = 257, kAlt = 18;
  if ((message != kKeyDown && message != kKeyUp) || vk == kAlt) return false;
  const int pressed = message == kKeyDown ? 1 : 0;
  static const struct {
    int vk, key;
  } kTable[] = {{38, 17}, {40, 19}, {39, 18}, {37, 16}, {36, 23}, {35, 24},
                {16, 25}, {17, 26}, {8, 8},   {45, 29}, {46, 30}};
  for (const auto& k : kTable) {
    if (k.vk != vk) continue;
    GUI_StoreKeyMsg(k.key, pressed);
    return true;
  }
  const bool shift = (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0;
  int ch = 0;
  if (vk >= '0' && vk <= '9') {
    ch = vk;
  } else if (vk >= 'A' && vk <= 'Z') {
    ch = shift ? vk : vk - 'A' + 'a';
  } else if (vk == 9) {
    ch = shift ? 10 : 9;
  } else if (vk == 13 || vk == 27 || vk == 32) {
    ch = vk;
  }
  if (!ch) return false;
  GUI_StoreKeyMsg(ch, pressed);
  return true;
}

bool SimKeyToHardkey(QKeyEvent* e, bool down) {
  int index;
  switch (e->key()) {
    case Qt::Key_PageDown: index = 0; break;
    case Qt::Key_Left: index = 1; break;
    case Qt::Key_Down: index = 2; break;
    case Qt::Key_Up: index = 3; break;
    case Qt::Key_Right: index = 4; break;
    default: return false;
  }
  if (e->isAutoRepeat()) return true;
  SIM_HARDKEY_SetState(index, down ? 1 : 0);
  SIM_HardkeyCallback(index, down ? 1 : 0);
  return true;
}
