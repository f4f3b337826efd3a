// Draws the program's icons, toolbar buttons and About picture, and writes
// them as PNG files into the given resource folder:
//   tarvo-make-art res/
// The pictures are committed; run this after changing a drawing.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, int size)>;

bool Save(const QImage& image, const QString& path) {
  if (!image.save(path)) {
    std::fprintf(stderr, "make_art: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

QImage Render(int w, int h, const Draw& draw) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p, std::min(w, h));
  return image;
}

QImage Grey(const QImage& source) {
  QImage out = source.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const int g = 96 + qGray(line[x]) / 2;
      line[x] = qRgba(g, g, g, qAlpha(line[x]) / 2);
    }
  }
  return out;
}

// The program icon: a compass rose on a blue disc with an orange needle.
void Icon(QPainter& p, int s) {
  const double r = s / 2.0;
  QRadialGradient disc(r * 0.8, r * 0.7, r * 1.3);
  disc.setColorAt(0, QColor(80, 150, 230));
  disc.setColorAt(1, QColor(0, 40, 120));
  p.setPen(QPen(QColor(0, 0, 60), std::max(1.0, s / 32.0)));
  p.setBrush(disc);
  p.drawEllipse(QRectF(0.5, 0.5, s - 1, s - 1));
  p.setPen(QPen(QColor(255, 255, 255, 150), std::max(1.0, s / 40.0)));
  p.drawEllipse(QRectF(s * 0.16, s * 0.16, s * 0.68, s * 0.68));
  p.translate(r, r);
  p.rotate(35);
  QPainterPath north, south;
  north.moveTo(0, -r * 0.82);
  north.lineTo(r * 0.2, 0);
  north.lineTo(-r * 0.2, 0);
  north.closeSubpath();
  south.moveTo(0, r * 0.82);
  south.lineTo(r * 0.2, 0);
  south.lineTo(-r * 0.2, 0);
  south.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(204, 102, 0));
  p.drawPath(north);
  p.setBrush(QColor(235, 235, 235));
  p.drawPath(south);
  p.setBrush(QColor(102, 51, 0));
  p.drawEllipse(QPointF(0, 0), r * 0.1, r * 0.1);
}

void Magnifier(QPainter& p, int s, bool plus) {
  p.setPen(QPen(QColor(40, 40, 40), 1.6));
  p.setBrush(QColor(220, 235, 255));
  p.drawEllipse(QRectF(1.5, 1.5, 9.5, 9.5));
  p.setPen(QPen(QColor(60, 40, 20), 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(10, 10), QPointF(s - 1.5, s - 1.5));
  p.setPen(QPen(QColor(0, 0, 160), 1.6));
  p.drawLine(QPointF(3.8, 6.25), QPointF(8.7, 6.25));
  if (plus) p.drawLine(QPointF(6.25, 3.8), QPointF(6.25, 8.7));
}

void PageMenu(QPainter& p, int) {
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(2.5, 1.5, 11, 13));
  p.setPen(QPen(QColor(0, 0, 160), 1.4));
  for (double y : {5.0, 8.0, 11.0}) p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
}

void Exit(QPainter& p, int) {
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(QColor(245, 245, 245));
  p.drawRect(QRectF(1.5, 1.5, 8, 13));
  p.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(6, 8), QPointF(14, 8));
  p.drawLine(QPointF(11, 5), QPointF(14, 8));
  p.drawLine(QPointF(11, 11), QPointF(14, 8));
}

// The About picture: hills at dusk, a track with waypoints, satellites above.
QImage AboutPicture() {
  const int w = 420, h = 170;
  QImage image(w, h, QImage::Format_ARGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, h);
  sky.setColorAt(0, QColor(18, 32, 80));
  sky.setColorAt(0.6, QColor(90, 120, 190));
  sky.setColorAt(1, QColor(240, 180, 120));
  p.fillRect(image.rect(), sky);
  // Stars.
  p.setPen(Qt::NoPen);
  unsigned seed = 7;
  for (int i = 0; i < 60; ++i) {
    seed = seed * 1103515245u + 12345u;
    const int x = static_cast<int>((seed >> 8) % w);
    seed = seed * 1103515245u + 12345u;
    const int y = static_cast<int>((seed >> 8) % (h / 2));
    p.setBrush(QColor(255, 255, 255, 90 + (i * 37) % 140));
    p.drawEllipse(QPointF(x, y), 0.9, 0.9);
  }
  // Satellites with signal arcs.
  auto satellite = [&](double x, double y, double angle) {
    p.save();
    p.translate(x, y);
    p.rotate(angle);
    p.setBrush(QColor(220, 220, 230));
    p.setPen(QPen(QColor(60, 60, 70), 1));
    p.drawRect(QRectF(-4, -4, 8, 8));
    p.setBrush(QColor(40, 80, 180));
    p.drawRect(QRectF(-18, -3, 12, 6));
    p.drawRect(QRectF(6, -3, 12, 6));
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 110), 1.2));
    p.setBrush(Qt::NoBrush);
    for (int k = 1; k <= 3; ++k) p.drawArc(QRectF(x - 8 * k, y + 6 + 4 * k - 8 * k, 16 * k, 16 * k), 225 * 16, 90 * 16);
  };
  satellite(70, 34, -15);
  satellite(205, 20, 10);
  satellite(350, 40, 25);
  // Hills.
  auto hill = [&](QColor colour, double base, double amp, double phase) {
    QPainterPath path;
    path.moveTo(0, h);
    for (int x = 0; x <= w; x += 4) {
      path.lineTo(x, base - amp * std::sin(x / 70.0 + phase) - amp * 0.4 * std::sin(x / 23.0 + phase * 2));
    }
    path.lineTo(w, h);
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
  };
  hill(QColor(60, 70, 110), 112, 14, 0.3);
  hill(QColor(40, 80, 60), 132, 10, 1.7);
  hill(QColor(25, 60, 40), 150, 8, 2.9);
  // A recorded track with waypoints.
  QPainterPath track;
  track.moveTo(30, 158);
  track.cubicTo(120, 120, 160, 168, 230, 140);
  track.cubicTo(290, 118, 330, 150, 395, 126);
  p.setPen(QPen(QColor(255, 200, 60), 2.2, Qt::DashLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(track);
  p.setPen(QPen(QColor(102, 51, 0), 1));
  p.setBrush(QColor(204, 102, 0));
  for (QPointF pt : {QPointF(30, 158), QPointF(230, 140), QPointF(395, 126)}) p.drawEllipse(pt, 4.5, 4.5);
  p.end();
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarvo-make-art RESOURCE_FOLDER\n");
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  bool ok = QDir().mkpath(root + "/icons") && QDir().mkpath(root + "/toolbar") && QDir().mkpath(root + "/images");
  for (int size : {16, 32, 48, 128}) {
    const QString name = size == 32 ? QStringLiteral("tarvo") : QStringLiteral("tarvo-%1").arg(size);
    ok &= Save(Render(size, size, Icon), root + "/icons/" + name + ".png");
  }
  const struct {
    const char* name;
    Draw draw;
  } tools[] = {{"zoom-in", [](QPainter& p, int s) { Magnifier(p, s, true); }},
               {"zoom-out", [](QPainter& p, int s) { Magnifier(p, s, false); }},
               {"page-menu", PageMenu},
               {"exit", Exit}};
  for (const auto& t : tools) {
    const QImage image = Render(16, 16, t.draw);
    ok &= Save(image, root + "/toolbar/" + t.name + ".png");
    ok &= Save(Grey(image), root + "/toolbar/" + t.name + "-disabled.png");
  }
  ok &= Save(AboutPicture(), root + "/images/about.png");
  return ok ? 0 : 1;
}
