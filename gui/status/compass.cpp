#include "gui/status/compass.h"

#include <QFontMetrics>
#include <QPen>
#include <QPolygon>
#include <cmath>

#include "gui/window/draw.h"

namespace tarvo {

namespace {

QPen SolidPen(QColor colour, int width) {
  QPen pen(colour);
  pen.setWidth(width);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

}  // namespace

CompassStyle CompassStyleFor(int radius, bool zoomedIn) {
  CompassStyle style;
  style.large = zoomedIn || radius >= 80;
  style.lineWidth = style.large ? 3 : 1;
  return style;
}

void DrawNeedle(QPainter& p, int cx, int cy, int length, int tail, double direction,
                const QBrush& brushA, const QBrush& brushB) {
  const int d = tail == 0 ? length / 4 : tail;
  const QPoint c(cx, cy);
  const QPoint tip = PolarPoint(cx, cy, direction - 90, length);
  const QPoint right = PolarPoint(cx, cy, direction, d);
  const QPoint left = PolarPoint(cx, cy, direction - 180, d);
  const QPoint back = PolarPoint(cx, cy, direction + 90, d);
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(brushB);
  p.drawPolygon(QPolygon({c, tip, left}));
  p.drawPolygon(QPolygon({c, right, back}));
  p.setBrush(brushA);
  p.drawPolygon(QPolygon({c, tip, right}));
  p.drawPolygon(QPolygon({c, left, back}));
  p.restore();
}

QImage RenderCourseCompass(int radius, double course, CompassMode mode, bool zoomedIn,
                           const Palette& palette, QColor face) {
  const int R = radius;
  const double rho = mode == CompassMode::NorthUp ? 90.0 : course + 90.0;
  const CompassStyle style = CompassStyleFor(R, zoomedIn);
  const QSize w = TextSize(palette.small, QStringLiteral("W"));

  QImage image(2 * (R + w.width() + 3), 2 * (R + w.height() + 4), QImage::Format_RGB32);
  image.fill(face);
  const double cx = image.width() / 2;
  const double cy = image.height() / 2;
  QPainter p(&image);
  // Integer geometry, as every compass of the program draws it; smooth text.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, true);

  // Dial.
  if (style.large) {
    p.setPen(palette.outerRing);
    p.setBrush(Qt::white);
    DrawCircle(p, cx, cy, R + 2);
  }
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  DrawCircle(p, cx, cy, R);

  // Fine ticks every 6°, fixed.
  p.setPen(palette.fineTick);
  for (int i = 0; i < 60; ++i) {
    const double theta = -90 + 6 * i;
    const QPoint a = PolarPoint(cx, cy, theta, 0.93 * R);
    const QPoint b = PolarPoint(cx, cy, theta, R - 1);
    DrawLine(p, a.x(), a.y(), b.x(), b.y());
  }

  // Major ticks every 30°, fixed: blue and black in turn.
  const double k = style.large ? 0.9 : 0.8;
  const QPen bluePen = SolidPen(QColor(0, 0, 255), style.lineWidth);
  const QPen blackPen = SolidPen(Qt::black, style.lineWidth);
  const QPen greenPen = SolidPen(QColor(0, 255, 0), style.lineWidth);
  for (double theta : {-60.0, 0.0, 60.0, 120.0, 180.0, 240.0}) {
    p.setPen(bluePen);
    const QPoint a = PolarPoint(cx, cy, theta, k * R);
    const QPoint b = PolarPoint(cx, cy, theta, R - 1);
    DrawLine(p, a.x(), a.y(), b.x(), b.y());
  }
  for (double theta : {-30.0, 30.0, 90.0, 150.0, 210.0, 270.0}) {
    p.setPen(blackPen);
    const QPoint a = PolarPoint(cx, cy, theta, k * R);
    const QPoint b = PolarPoint(cx, cy, theta, R - 1);
    DrawLine(p, a.x(), a.y(), b.x(), b.y());
  }

  // Rose lines, turning with the dial.
  if (style.large) {
    p.setPen(palette.rose);
    for (double base : {45.0, 90.0, 135.0, 225.0, 270.0, 315.0}) {
      const QPoint a = PolarPoint(cx, cy, base - rho, 0.9 * R - 1);
      const QPoint b = PolarPoint(cx, cy, base - rho, 0.77 * R);
      DrawLine(p, a.x(), a.y(), b.x(), b.y());
    }
  }

  // North-south line.
  p.setPen(greenPen);
  {
    const QPoint a = PolarPoint(cx, cy, -rho, R - 1);
    const QPoint b = PolarPoint(cx, cy, 180 - rho, R - 1);
    DrawLine(p, a.x(), a.y(), b.x(), b.y());
  }

  // North mark: two short lines inward from both sides of north.
  if (style.large) {
    for (double side : {4.0, 356.0}) {
      const QPoint a = PolarPoint(cx, cy, side - rho, R);
      const QPoint b = PolarPoint(a.x(), a.y(), 180 - rho, 0.2 * R);
      DrawLine(p, a.x(), a.y(), b.x(), b.y());
    }
  }

  // Letters, each centred on its anchor point.
  p.setPen(Qt::black);
  p.setBackgroundMode(Qt::TransparentMode);
  auto labelK = [](const QFont& font, const QString& text) {
    const QSize s = TextSize(font, text);
    return static_cast<int>(std::sqrt(double(s.width()) * s.width() + double(s.height()) * s.height()) -
                            s.width());
  };
  const QString cardinals[4] = {QStringLiteral("N"), QStringLiteral("E"), QStringLiteral("S"),
                                QStringLiteral("W")};
  if (style.large) {
    const QString between[4] = {QStringLiteral("NE"), QStringLiteral("SE"), QStringLiteral("SW"),
                                QStringLiteral("NW")};
    for (int i = 0; i < 4; ++i) {
      const int kc = labelK(palette.medium, cardinals[i]);
      DrawCentredText(p, palette.medium, cardinals[i], PolarPoint(cx, cy, 90 * i - rho, 0.75 * R - kc));
      const int kb = labelK(palette.small, between[i]);
      DrawCentredText(p, palette.small, between[i], PolarPoint(cx, cy, 45 + 90 * i - rho, 0.75 * R - (kb + 3)));
    }
  } else {
    for (int i = 0; i < 4; ++i) {
      const int kc = labelK(palette.small, cardinals[i]);
      DrawCentredText(p, palette.small, cardinals[i], PolarPoint(cx, cy, 90 * i - rho, R + kc));
    }
  }

  // Needle: the course in north-up mode, straight up in course-up mode.
  const double direction = mode == CompassMode::NorthUp ? course : 0.0;
  DrawNeedle(p, cx, cy, static_cast<int>(0.95 * R), style.large ? static_cast<int>(0.19 * R) : 0, direction,
             palette.needleA, palette.needleB);
  p.end();
  return image;
}

void DrawCentred(QPainter& p, const QImage& image, QPoint centre) {
  p.drawImage(centre.x() - image.width() / 2, centre.y() - image.height() / 2, image);
}

void DrawFrameMarks(QPainter& p, const QRect& frame, bool withRight, const QBrush& brush) {
  const int x0 = frame.left(), y0 = frame.top(), x1 = frame.right();
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(brush);
  p.drawPolygon(QPolygon({QPoint(x0 - 5, y0 + 1), QPoint(x0 - 2, y0 + 1), QPoint(x0 - 2, y0 + 4)}));
  if (withRight) {
    p.drawPolygon(QPolygon({QPoint(x1 + 1, y0 + 1), QPoint(x1 + 4, y0 + 1), QPoint(x1 + 1, y0 + 4)}));
  }
  p.restore();
}

}  // namespace tarvo
