#include "gui/status/sky_plot.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <array>

#include "core/gps/fix_texts.h"
#include "gui/window/draw.h"

namespace tarvo {

QImage RenderSkyPlot(int radius, const std::vector<SkySatellite>& sky, const Palette& palette, QColor face) {
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

  std::array<bool, kGnssSystemCount> shown{};
  for (const SkySatellite& sat : sky) {
    if (sat.prn <= 0 || sat.elevation <= 0 || sat.azimuth < 0) continue;
    p.setPen(sat.snr < 1 ? QColor(255, 0, 0) : SystemColour(sat.system));
    const QPoint at = PolarPoint(c, b, sat.azimuth - 90, (90 - sat.elevation) * R / 90.0);
    DrawCentredText(p, palette.small, QString::number(sat.prn), at);
    shown[static_cast<int>(sat.system)] = true;
  }
  // With more than one system, a legend in the corners' free space.
  if (std::count(shown.begin(), shown.end(), true) > 1) {
    p.setFont(palette.small);
    const QFontMetrics sm(palette.small);
    int line = 0;
    for (int i = 0; i < kGnssSystemCount; ++i) {
      if (!shown[i]) continue;
      const GnssSystem system = static_cast<GnssSystem>(i);
      const std::string_view name = GnssSystemName(system);
      p.setPen(SystemColour(system));
      p.drawText(1, sm.ascent() + line * sm.height(),
                 QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
      ++line;
    }
  }
  p.end();
  return image;
}

QImage RenderSkyPlot(int radius, const SatelliteView& view, const Palette& palette, QColor face) {
  return RenderSkyPlot(radius, SkyOfGpsSlots(view), palette, face);
}

QColor SystemColour(GnssSystem system) {
  switch (system) {
    case GnssSystem::Gps: return QColor(0, 0, 0);
    case GnssSystem::Sbas: return QColor(110, 110, 110);
    case GnssSystem::Glonass: return QColor(0, 128, 0);
    case GnssSystem::Galileo: return QColor(0, 0, 200);
    case GnssSystem::BeiDou: return QColor(170, 0, 170);
    case GnssSystem::Qzss: return QColor(150, 90, 0);
    case GnssSystem::NavIC: return QColor(0, 128, 128);
  }
  return QColor(0, 0, 0);
}

}  // namespace tarvo
