#include "gui/status/sky_plot.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>

#include "core/gps/fix_texts.h"
#include "gui/window/draw.h"

namespace tarvo {

namespace {

constexpr int kLegendGap = 2;               // pixels kept clear around the legend
constexpr int kLeastLegendPlotRadius = 20;  // a smaller plot goes without legend

QString Latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// Pixels from the point (x, y) to the rectangle r (0 inside it).
double DistanceToRect(double x, double y, const QRect& r) {
  const double dx = std::max({static_cast<double>(r.left()) - x, 0.0, x - r.right()});
  const double dy = std::max({static_cast<double>(r.top()) - y, 0.0, y - r.bottom()});
  return std::hypot(dx, dy);
}

}  // namespace

SkyPlotLayout LayOutSkyPlot(int radius, const std::vector<GnssSystem>& legend, const Palette& palette) {
  SkyPlotLayout layout;
  const QSize w = TextSize(palette.medium, QStringLiteral("W"));
  layout.size = QSize(2 * (radius + w.width() + 2) + 1, 2 * (radius + w.height() - 1));
  layout.radius = radius;
  layout.centre = QPoint(radius + w.width() + 2, radius + w.height() - 1);
  if (legend.size() < 2) return layout;

  const QFontMetrics sm(palette.small);
  std::vector<QRect> lines;
  for (GnssSystem system : legend) {
    const int top = static_cast<int>(lines.size()) * sm.height();
    lines.emplace_back(1, top, sm.horizontalAdvance(Latin1(GnssSystemName(system))) + 1, sm.height());
  }
  const QSize n = TextSize(palette.medium, QStringLiteral("N"));
  // Numbers are centred on their satellites, so they reach this far past the circle.
  const double numberReach = sm.horizontalAdvance(QStringLiteral("888")) / 2.0 + 1;
  const int b = layout.centre.y();
  // The largest plot, moved to the right edge, that stays clear of the
  // legend in the top-left corner: circle, numbers, and the "N" and "W".
  for (int r = radius; r >= kLeastLegendPlotRadius; --r) {
    const int c = layout.size.width() - 1 - (r + w.width() + 2);
    const QRect west(c - r - w.width() - 1, b - w.height() / 2, w.width(), w.height());
    const QRect north(c - n.width() / 2, b - r - n.height() + 1, n.width(), n.height());
    bool clear = true;
    for (const QRect& line : lines) {
      const QRect kept = line.adjusted(-kLegendGap, -kLegendGap, kLegendGap, kLegendGap);
      if (line.bottom() >= layout.size.height() || DistanceToRect(c, b, kept) <= r + numberReach ||
          kept.intersects(west) || kept.intersects(north)) {
        clear = false;
        break;
      }
    }
    if (!clear) continue;
    layout.radius = r;
    layout.centre = QPoint(c, b);
    layout.legend = std::move(lines);
    return layout;
  }
  return layout;  // no room: no legend
}

QImage RenderSkyPlot(int radius, const std::vector<SkySatellite>& sky, const Palette& palette, QColor face) {
  std::array<bool, kGnssSystemCount> shown{};
  for (const SkySatellite& sat : sky) {
    if (sat.prn > 0 && sat.elevation > 0 && sat.azimuth >= 0) shown[static_cast<int>(sat.system)] = true;
  }
  std::vector<GnssSystem> systems;
  for (int i = 0; i < kGnssSystemCount; ++i) {
    if (shown[i]) systems.push_back(static_cast<GnssSystem>(i));
  }
  const SkyPlotLayout layout = LayOutSkyPlot(radius, systems, palette);
  const int R = layout.radius;
  const int c = layout.centre.x();
  const int b = layout.centre.y();
  QImage image(layout.size, QImage::Format_RGB32);
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

  for (const SkySatellite& sat : sky) {
    if (sat.prn <= 0 || sat.elevation <= 0 || sat.azimuth < 0) continue;
    p.setPen(sat.snr < 1 ? QColor(255, 0, 0) : SystemColour(sat.system));
    const QPoint at = PolarPoint(c, b, sat.azimuth - 90, (90 - sat.elevation) * R / 90.0);
    DrawCentredText(p, palette.small, QString::number(sat.prn), at);
  }
  p.setFont(palette.small);
  const QFontMetrics sm(palette.small);
  for (std::size_t i = 0; i < layout.legend.size(); ++i) {
    p.setPen(SystemColour(systems[i]));
    p.drawText(layout.legend[i].left(), layout.legend[i].top() + sm.ascent(), Latin1(GnssSystemName(systems[i])));
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
