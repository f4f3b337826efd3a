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
// Each system's numbers in its own colour. With more than one system, a
// legend of the systems in the top-left corner, and the plot as large as it
// can be beside it (LayOutSkyPlot).
QImage RenderSkyPlot(int radius, const std::vector<SkySatellite>& sky, const Palette& palette, QColor face);
// Where the sky plot of `radius` puts things, in an image of `size`: the plot
// circle (`centre`, `radius`) and one rectangle per name of `legend` (the
// systems shown, in order; none for fewer than two). The legend keeps 2
// pixels clear of the circle, the numbers reaching past it and the "N" and
// "W"; the plot shrinks, moving right, as far as that needs, and a plot that
// would get a radius below 20 goes without the legend.
struct SkyPlotLayout {
  QSize size;
  QPoint centre;
  int radius = 0;
  std::vector<QRect> legend;
};
SkyPlotLayout LayOutSkyPlot(int radius, const std::vector<GnssSystem>& legend, const Palette& palette);

// The twelve GPS slots alone.
QImage RenderSkyPlot(int radius, const SatelliteView& view, const Palette& palette, QColor face);

// The colour of a satellite system's numbers and marks.
QColor SystemColour(GnssSystem system);

}  // namespace tarvo
