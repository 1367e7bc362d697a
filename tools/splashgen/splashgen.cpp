// Draws the pictures of the simulator's start and info windows: "splash.png" (460 x 360, the
// splash behind the program's name, version and two lines of text, which the program draws
// itself at x 267 from y 282 and at x 5 from y 332) and "info.png" (64 x 64, the info box's
// picture). No text is drawn into the pictures.
//
//   splashgen OUTPUT_FOLDER
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kWidth = 460, kHeight = 360;

// A small device front: case, display with a trend, five keys.
void DrawDevice(QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  QLinearGradient body(r.topLeft(), r.bottomLeft());
  body.setColorAt(0, QColor(0x4a4e55));
  body.setColorAt(1, QColor(0x2c2f34));
  p.setBrush(body);
  const double u = r.width() / 100.0;
  p.drawRoundedRect(r, 6 * u, 6 * u);
  const QRectF lcd(r.left() + 12 * u, r.top() + 10 * u, 76 * u, 57 * u);
  p.setBrush(QColor(0x0b2a4a));
  p.drawRoundedRect(lcd, 1.5 * u, 1.5 * u);
  // Setpoint and the process value settling on it.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0xf0c040), 0.9 * u));
  const double sp = lcd.top() + lcd.height() * 0.35;
  p.drawLine(QPointF(lcd.left() + 3 * u, sp), QPointF(lcd.right() - 3 * u, sp));
  QPainterPath pv;
  for (int i = 0; i <= 60; ++i) {
    const double t = i / 60.0;
    const double y = lcd.bottom() - 4 * u - (lcd.bottom() - 4 * u - sp) * (1 - std::exp(-5 * t) * std::cos(9 * t));
    const QPointF at(lcd.left() + 3 * u + t * (lcd.width() - 6 * u), y);
    if (i == 0)
      pv.moveTo(at);
    else
      pv.lineTo(at);
  }
  p.setPen(QPen(QColor(0x60e080), 1.2 * u));
  p.drawPath(pv);
  p.setPen(Qt::NoPen);
  for (int k = 0; k < 5; ++k) {
    QLinearGradient g(0, r.top() + 75 * u, 0, r.top() + 88 * u);
    g.setColorAt(0, QColor(0xe4e6ea));
    g.setColorAt(1, QColor(0xb3b6bc));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(r.left() + (10 + k * 17) * u, r.top() + 75 * u, 13 * u, 12 * u), 2.5 * u, 2.5 * u);
  }
}

QImage Splash() {
  QImage img(kWidth, kHeight, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(0x9cc0e4));
  sky.setColorAt(0.55, QColor(0xe6eff8));
  sky.setColorAt(1, QColor(0xffffff));
  p.fillRect(img.rect(), sky);
  // Trend bands across the picture, fading out where the texts stand.
  for (int band = 0; band < 3; ++band) {
    QPainterPath path;
    for (int x = 0; x <= kWidth; x += 4) {
      const double y = 60 + band * 34 + 18 * std::sin(x / 55.0 + band * 1.3) + 8 * std::sin(x / 17.0 + band);
      if (x == 0)
        path.moveTo(x, y);
      else
        path.lineTo(x, y);
    }
    QColor c(0x3d6ea8);
    c.setAlpha(70 - band * 15);
    p.setPen(QPen(c, 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  QRadialGradient glow(QPointF(130, 170), 150);
  glow.setColorAt(0, QColor(255, 255, 255, 150));
  glow.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(QPointF(130, 170), 150, 150);
  DrawDevice(p, QRectF(40, 70, 180, 180));
  // A thin rule above the program's name.
  p.setPen(QPen(QColor(0x000080), 2));
  p.drawLine(QPointF(267, 274), QPointF(kWidth - 16, 274));
  return img;
}

QImage Info() {
  QImage img(64, 64, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  DrawDevice(p, QRectF(2, 2, 60, 60));
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: splashgen OUTPUT_FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  bool ok = Splash().save(folder + "/splash.png", "PNG");
  ok = Info().save(folder + "/info.png", "PNG") && ok;
  if (!ok) {
    std::fprintf(stderr, "splashgen: cannot write into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
