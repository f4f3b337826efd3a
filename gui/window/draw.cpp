#include "gui/window/draw.h"

#include <QFontMetrics>

#include <cstdint>

#include "core/geo/table_trig.h"

namespace tarvo {

namespace {
int T16(double v) { return static_cast<int16_t>(static_cast<int32_t>(v)); }
}  // namespace

void DrawLine(QPainter& p, int x1, int y1, int x2, int y2) { p.drawLine(x1, y1, x2, y2); }

void DrawCircle(QPainter& p, int cx, int cy, int r) { p.drawEllipse(QRect(cx - r, cy - r, 2 * r, 2 * r)); }

void DrawEllipse(QPainter& p, int cx, int cy, int rx, int ry) {
  p.drawEllipse(QRect(cx - rx, cy - ry, 2 * rx, 2 * ry));
}

std::array<QPoint, 4> PositionArrowPoints(int x, int y, int length, int back, double direction) {
  const int qx = T16(x + back * CosDeg(direction - 270));
  const int qy = T16(y + back * SinDeg(direction - 270));
  const QPoint p0(x, y);
  const QPoint p1(T16(qx + (length - 3) * CosDeg(direction)), T16(qy + (length - 3) * SinDeg(direction)));
  const QPoint p3(T16(qx + (length - 3) * CosDeg(direction - 180)),
                  T16(qy + (length - 3) * SinDeg(direction - 180)));
  const QPoint p2(T16(x + length * CosDeg(direction - 90)), T16(y + length * SinDeg(direction - 90)));
  return {p0, p1, p2, p3};
}

void DrawPositionArrow(QPainter& p, int x, int y, int length, int back, double direction,
                       const QBrush& brushA, const QBrush& brushB) {
  const auto pts = PositionArrowPoints(x, y, length, back, direction);
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(brushA);
  p.drawPolygon(pts.data(), 4);
  p.setBrush(brushB);
  p.drawPolygon(pts.data(), 3);
  p.restore();
}

QPoint PolarPoint(double cx, double cy, double theta, double r) {
  return QPoint(static_cast<int>(cx + CosDeg(theta) * r), static_cast<int>(cy + SinDeg(theta) * r));
}

QSize TextSize(const QFont& font, const QString& text) {
  const QFontMetrics fm(font);
  return QSize(fm.horizontalAdvance(text), fm.height());
}

void DrawCentredText(QPainter& p, const QFont& font, const QString& text, QPoint anchor) {
  const QSize size = TextSize(font, text);
  p.setFont(font);
  const QFontMetrics fm(font);
  p.drawText(anchor.x() - size.width() / 2, anchor.y() - size.height() / 2 + fm.ascent(), text);
}

}  // namespace tarvo
