// The sky plot: the satellites in view by azimuth and elevation, north up,
// composed in an off-screen image.
#pragma once

#include <QColor>
#include <QImage>

#include <vector>

#include "core/gps/records.h"
#include "core/gps/sky.h"
#include "gui/window/palette.h"

namespace tarvo {

// The sky plot of radius `radius` in an image of width 2c + 1 and height 2b,
// with c = R + w + 2 and b = R + h - 1 (w, h of "W" in the medium font); the
// plot's centre is at (c, b). Satellites below the horizon are left out;
// those without a signal are numbered in red.
// Each system's numbers in its own colour, with a legend of the systems
// when there is more than one.
QImage RenderSkyPlot(int radius, const std::vector<SkySatellite>& sky, const Palette& palette, QColor face);
// The twelve GPS slots alone.
QImage RenderSkyPlot(int radius, const SatelliteView& view, const Palette& palette, QColor face);

// The colour of a satellite system's numbers and marks.
QColor SystemColour(GnssSystem system);

}  // namespace tarvo
