// Draws the front-panel artwork of the simulator: "front.png" (the device front, 438 x 429)
// and "keys.png" (the five hard keys drawn pressed, everything else the key colour). Pure
// red (0xFF0000) is transparent: it lies outside the device outline in the front and outside
// the keys in the key bitmap. The keys sit in one row with equal tops, so that the region
// order numbers them 0..4 from left to right.
//
//   frontgen OUTPUT_FOLDER
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cstdio>

namespace {

constexpr int kWidth = 438, kHeight = 429;
constexpr QRgb kKeyColor = 0xFFFF0000;
constexpr int kKeyTop = 318, kKeyWidth = 58, kKeyHeight = 54, kKeyStep = 72, kKeyLeft = 46;

QRect KeyRect(int i) { return QRect(kKeyLeft + i * kKeyStep, kKeyTop, kKeyWidth, kKeyHeight); }

// Shapes that bound an area are drawn without smoothing, so that no blended pixel of the key
// colour is left at an outline.
void FillRounded(QPainter& p, const QRect& r, int radius, const QBrush& brush) {
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(brush);
  p.drawRoundedRect(r, radius, radius);
}

void DrawSymbol(QPainter& p, int key, QPointF c, QColor color) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  const double s = 9;
  QPolygonF tri;
  switch (key) {
    case 0:  // menu and enter
      for (int k = -1; k <= 1; ++k) p.drawRoundedRect(QRectF(c.x() - 11, c.y() + k * 7 - 2, 22, 4), 2, 2);
      return;
    case 1: tri << QPointF(c.x() - s, c.y()) << QPointF(c.x() + s * 0.7, c.y() - s) << QPointF(c.x() + s * 0.7, c.y() + s); break;
    case 2: tri << QPointF(c.x(), c.y() + s) << QPointF(c.x() - s, c.y() - s * 0.7) << QPointF(c.x() + s, c.y() - s * 0.7); break;
    case 3: tri << QPointF(c.x(), c.y() - s) << QPointF(c.x() - s, c.y() + s * 0.7) << QPointF(c.x() + s, c.y() + s * 0.7); break;
    default: tri << QPointF(c.x() + s, c.y()) << QPointF(c.x() - s * 0.7, c.y() - s) << QPointF(c.x() - s * 0.7, c.y() + s); break;
  }
  p.drawPolygon(tri);
}

void DrawKey(QPainter& p, int i, bool pressed) {
  QRect r = KeyRect(i);
  FillRounded(p, r, 9, QColor(pressed ? 0x5a5e64 : 0x9a9ea6));
  QRect face = r.adjusted(2, pressed ? 3 : 2, -2, pressed ? -1 : -4);
  QLinearGradient g(face.topLeft(), face.bottomLeft());
  g.setColorAt(0, QColor(pressed ? 0xa4a8ae : 0xe4e6ea));
  g.setColorAt(1, QColor(pressed ? 0x8e9298 : 0xc3c6cc));
  FillRounded(p, face, 8, g);
  DrawSymbol(p, i, QPointF(face.center()) + QPointF(0.5, pressed ? 1.5 : 0.5), QColor(0x2b2e33));
}

void DrawFront(QImage& img) {
  img.fill(kKeyColor);
  QPainter p(&img);
  QLinearGradient body(0, 0, 0, kHeight);
  body.setColorAt(0, QColor(0x4a4e55));
  body.setColorAt(1, QColor(0x2c2f34));
  FillRounded(p, QRect(0, 0, kWidth, kHeight), 22, body);
  FillRounded(p, QRect(9, 9, kWidth - 18, kHeight - 18), 16, QColor(0x26292d));
  // Display window: the emulated LCD (320 x 240) is placed at (59, 44).
  FillRounded(p, QRect(45, 30, 348, 268), 8, QColor(0x111315));
  FillRounded(p, QRect(55, 40, 328, 248), 3, QColor(0x050607));
  // Brand line and status lamp.
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QColor(0xb8bcc4));
  QFont font("DejaVu Sans", 10, QFont::Bold);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  p.setFont(font);
  p.drawText(QRect(45, 6, 348, 22), Qt::AlignLeft | Qt::AlignVCenter, "MX74-2");
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x39c46a));
  p.drawEllipse(QPointF(384, 17), 4, 4);
  // Key strip.
  FillRounded(p, QRect(34, 308, 370, 74), 12, QColor(0x1c1e21));
  for (int i = 0; i < 5; ++i) DrawKey(p, i, false);
  p.setPen(QColor(0x7c8088));
  p.setFont(QFont("DejaVu Sans", 7));
  p.drawText(QRect(34, 388, 370, 18), Qt::AlignCenter, "Multi-function process controller");
}

void DrawKeys(QImage& img) {
  img.fill(kKeyColor);
  QPainter p(&img);
  for (int i = 0; i < 5; ++i) DrawKey(p, i, true);
}

bool Save(const QImage& img, const QString& path) {
  // 24 bits per pixel, as the program expects.
  QImage rgb = img.convertToFormat(QImage::Format_RGB888);
  if (!rgb.save(path, "PNG")) {
    std::fprintf(stderr, "frontgen: cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: frontgen OUTPUT_FOLDER\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  QImage front(kWidth, kHeight, QImage::Format_RGB32), keys(kWidth, kHeight, QImage::Format_RGB32);
  DrawFront(front);
  DrawKeys(keys);
  QString dir = QString::fromLocal8Bit(argv[1]);
  return Save(front, dir + "/front.png") && Save(keys, dir + "/keys.png") ? 0 : 1;
}
