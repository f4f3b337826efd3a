#include "gui/status/sky_plot.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include "gui/window/draw.h"

namespace tarvo {

QImage RenderSkyPlot(int radius, const SatelliteView& view, const Palette& palette, QColor face) {
  const int R = radius;
  const QSize w = TextSize(palette.medium, QStringLiteral("W"));
  const int c = R + w.width() + 2;
  const int b = R + w.height() - 1;
  QImage image(2 * c + 1, 2 * b, QImage::Format_RGB32);
  image.fill(face);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  DrawCircle(p, c, b, R);
  DrawCircle(p, c, b, R / 2);
  DrawCircle(p, c, b, 2);

  p.setFont(palette.medium);
  const QFontMetrics fm(palette.medium);
  auto letter = [&](const QString& text, int left, int top) { p.drawText(left, top + fm.ascent(), text); };
  auto size = [&](const QString& text) { return TextSize(palette.medium, text); };
  const QSize n = size(QStringLiteral("N")), e = size(QStringLiteral("E")), s = size(QStringLiteral("S")),
              wl = size(QStringLiteral("W"));
  letter(QStringLiteral("N"), c - n.width() / 2, b - R - n.height() + 1);
  letter(QStringLiteral("E"), c + R + 2, b - e.height() / 2);
  letter(QStringLiteral("S"), c - s.width() / 2, b + R - 1);
  letter(QStringLiteral("W"), c - R - wl.width() - 1, b - wl.height() / 2);

  for (const SatelliteSlot& sat : view.satellites) {
    if (sat.prn <= 0 || sat.elevation <= 0) continue;
    p.setPen(sat.snr < 1 ? QColor(255, 0, 0) : QColor(Qt::black));
    const QPoint at = PolarPoint(c, b, sat.azimuth - 90, (90 - sat.elevation) * R / 90.0);
    DrawCentredText(p, palette.small, QString::number(sat.prn), at);
  }
  p.end();
  return image;
}

}  // namespace tarvo
