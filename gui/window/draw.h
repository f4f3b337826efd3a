// Drawing primitives shared by the compasses, sky views and maps, so all of
// them produce the same integer geometry.
#pragma once

#include <QBrush>
#include <QFont>
#include <QPainter>
#include <QPoint>
#include <array>

namespace tarvo {

// A line between the two points with the painter's pen.
void DrawLine(QPainter& p, int x1, int y1, int x2, int y2);
// A filled and outlined circle in the box (cx - r, cy - r) .. (cx + r, cy + r).
void DrawCircle(QPainter& p, int cx, int cy, int r);
// An ellipse in the box (cx - rx, cy - ry) .. (cx + rx, cy + ry).
void DrawEllipse(QPainter& p, int cx, int cy, int rx, int ry);

// The corner points of the position arrow: notch P0 at (x, y), right wing P1,
// tip P2 `length` pixels away in compass `direction` (degrees, 0 = up,
// clockwise), left wing P3; the wings lie `back` pixels behind the notch.
// Coordinates are truncated to 16-bit integers after each step.
std::array<QPoint, 4> PositionArrowPoints(int x, int y, int length, int back, double direction);

// The two-tone dart: P0..P3 filled with brushA, then the right half P0, P1,
// P2 with brushB, both without outline.
void DrawPositionArrow(QPainter& p, int x, int y, int length, int back, double direction,
                       const QBrush& brushA, const QBrush& brushB);

// Point at screen angle theta (degrees clockwise from +x, y down) and radius r
// from (cx, cy), each coordinate truncated to an integer.
QPoint PolarPoint(double cx, double cy, double theta, double r);

// Width of `text` and height of a line in `font`.
QSize TextSize(const QFont& font, const QString& text);
// Draws `text` with its top-left corner at `anchor` less half its size.
void DrawCentredText(QPainter& p, const QFont& font, const QString& text, QPoint anchor);

}  // namespace tarvo
