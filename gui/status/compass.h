// The course compass and the needle of the status page. Each picture is
// composed in an off-screen image and copied in one step, so the page never
// flickers.
#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>

#include "gui/window/palette.h"

namespace tarvo {

enum class CompassMode : int { NorthUp = 0, CourseUp = 1 };

struct CompassStyle {
  bool large = false;  // zoomed-in layout or radius >= 80
  int lineWidth = 1;   // 3 when large
};

// Size class of a compass of radius `radius`.
CompassStyle CompassStyleFor(int radius, bool zoomedIn);

// The compass of radius `radius` for `course` (degrees true) in an image of
// width 2(R + w + 3) and height 2(R + h + 4), w and h being the size of "W" in
// the small font; the compass centre is the image centre.
QImage RenderCourseCompass(int radius, double course, CompassMode mode, bool zoomedIn,
                           const Palette& palette, QColor face);

// Copies a rendered picture (compass, sky plot) with its centre on `centre`.
void DrawCentred(QPainter& p, const QImage& image, QPoint centre);

// The needle: four triangles around (cx, cy). `tail` 0 means a quarter of
// `length`. `direction` is a compass bearing in degrees.
void DrawNeedle(QPainter& p, int cx, int cy, int length, int tail, double direction,
                const QBrush& brushA, const QBrush& brushB);

// The decorative triangles beside a frame: the left-hand one always, the
// right-hand one when `withRight`.
void DrawFrameMarks(QPainter& p, const QRect& frame, bool withRight, const QBrush& brush);

}  // namespace tarvo
