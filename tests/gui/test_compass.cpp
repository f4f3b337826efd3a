// The compass, needle, sky plot and position arrow, checked on rendered pixels.
#include <QFontMetrics>
#include <QImage>
#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "gui/window/draw.h"
#include "gui/window/palette.h"
#include "gui/status/compass.h"
#include "gui/status/sky_plot.h"

namespace tarvo {
namespace {

const QColor kFace(212, 208, 200);

bool IsNeedle(QRgb c) {
  const QColor q(c);
  return q == QColor(204, 102, 0) || q == QColor(102, 51, 0);
}
bool IsDark(QRgb c) { return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90; }
bool IsBlue(QRgb c) { return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) > 200; }

// The needle pixel farthest from the centre, as an offset from it.
QPoint NeedleTip(const QImage& image) {
  const QPoint c(image.width() / 2, image.height() / 2);
  QPoint best;
  int bestD = -1;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (!IsNeedle(image.pixel(x, y))) continue;
      const int d = (x - c.x()) * (x - c.x()) + (y - c.y()) * (y - c.y());
      if (d > bestD) {
        bestD = d;
        best = QPoint(x, y) - c;
      }
    }
  }
  return best;
}

// The dark pixels of a box of `size` centred on `anchor`, as a bit pattern.
std::vector<bool> Glyph(const QImage& image, QPoint anchor, QSize size) {
  std::vector<bool> bits;
  for (int y = anchor.y() - size.height() / 2 - 1; y <= anchor.y() + size.height() / 2 + 1; ++y) {
    for (int x = anchor.x() - size.width() / 2 - 1; x <= anchor.x() + size.width() / 2 + 1; ++x) {
      bits.push_back(image.rect().contains(x, y) && IsDark(image.pixel(x, y)));
    }
  }
  return bits;
}

int Count(const std::vector<bool>& bits) { return static_cast<int>(std::count(bits.begin(), bits.end(), true)); }

// k = trunc(sqrt(w² + h²) - w) of a label in a font.
int LabelK(const QFont& font, const QString& text) {
  const QFontMetrics fm(font);
  const double w = fm.horizontalAdvance(text), h = fm.height();
  return static_cast<int>(std::sqrt(w * w + h * h) - w);
}

class CompassTest : public ::testing::Test {
 protected:
  Palette palette_;
  QPoint Centre(const QImage& image) const { return QPoint(image.width() / 2, image.height() / 2); }
};

TEST_F(CompassTest, NorthUpNeedlePointsAlongTheCourse) {
  const int R = 100;
  const QImage image = RenderCourseCompass(R, 90, CompassMode::NorthUp, false, palette_, kFace);
  const QPoint tip = NeedleTip(image);
  EXPECT_NEAR(tip.x(), 0.95 * R, 4);
  EXPECT_NEAR(tip.y(), 0, 2);
  const QImage south = RenderCourseCompass(R, 180, CompassMode::NorthUp, false, palette_, kFace);
  EXPECT_NEAR(NeedleTip(south).y(), 0.95 * R, 4);
}

TEST_F(CompassTest, CourseUpNeedlePointsUpAndTheDialTurns) {
  const int R = 100;
  const QImage northUp = RenderCourseCompass(R, 90, CompassMode::NorthUp, false, palette_, kFace);
  const QImage courseUp = RenderCourseCompass(R, 90, CompassMode::CourseUp, false, palette_, kFace);
  const QPoint tip = NeedleTip(courseUp);
  EXPECT_NEAR(tip.x(), 0, 2);
  EXPECT_NEAR(tip.y(), -0.95 * R, 4);

  // "N" sits at the top in north-up and on the left in course-up with course 90.
  const QString n = QStringLiteral("N");
  const QSize size(QFontMetrics(palette_.medium).horizontalAdvance(n), QFontMetrics(palette_.medium).height());
  const double r = 0.75 * R - LabelK(palette_.medium, n);
  const QPoint c = Centre(northUp);
  const QPoint top = PolarPoint(c.x(), c.y(), -90, r);
  const QPoint left = PolarPoint(c.x(), c.y(), -180, r);
  const auto nTop = Glyph(northUp, top, size);
  ASSERT_GT(Count(nTop), 10);
  EXPECT_EQ(Glyph(courseUp, left, size), nTop);
  EXPECT_NE(Glyph(northUp, left, size), nTop);  // "W" stands there in north-up
  EXPECT_NE(Glyph(courseUp, top, size), nTop);
}

TEST_F(CompassTest, RadiusEightyIsTheLargeCompass) {
  EXPECT_FALSE(CompassStyleFor(79, false).large);
  EXPECT_TRUE(CompassStyleFor(80, false).large);
  EXPECT_TRUE(CompassStyleFor(40, true).large);  // always large when zoomed in
  EXPECT_EQ(CompassStyleFor(79, false).lineWidth, 1);
  EXPECT_EQ(CompassStyleFor(80, false).lineWidth, 3);

  // The blue tick pointing east: one pixel thick at 79, three at 80.
  for (int R : {79, 80}) {
    const QImage image = RenderCourseCompass(R, 0, CompassMode::NorthUp, false, palette_, kFace);
    const QPoint c = Centre(image);
    const int x = c.x() + static_cast<int>(0.95 * R);
    int blue = 0;
    for (int y = c.y() - 4; y <= c.y() + 4; ++y) blue += IsBlue(image.pixel(x, y)) ? 1 : 0;
    EXPECT_EQ(blue, R == 79 ? 1 : 3) << "R = " << R;
  }
}

TEST_F(CompassTest, SmallCompassHasFourLettersOutsideTheDial) {
  const int R = 60;
  const QImage image = RenderCourseCompass(R, 0, CompassMode::NorthUp, false, palette_, kFace);
  const QPoint c = Centre(image);
  const QFontMetrics fm(palette_.small);
  const QString names[4] = {"N", "E", "S", "W"};
  for (int i = 0; i < 4; ++i) {
    const QSize size(fm.horizontalAdvance(names[i]), fm.height());
    const QPoint anchor = PolarPoint(c.x(), c.y(), 90 * i - 90, R + LabelK(palette_.small, names[i]));
    EXPECT_GT(Count(Glyph(image, anchor, size)), 3) << names[i].toStdString();
  }
  // No "NE" inside the dial, where the large compass puts it.
  const QString ne = QStringLiteral("NE");
  const QSize neSize(fm.horizontalAdvance(ne), fm.height());
  const QPoint neAnchor = PolarPoint(c.x(), c.y(), 45 - 90, 0.75 * R - (LabelK(palette_.small, ne) + 3));
  EXPECT_EQ(Count(Glyph(image, neAnchor, neSize)), 0);
  // Image size: 2(R + w + 3) by 2(R + h + 4) with w, h of "W".
  EXPECT_EQ(image.width(), 2 * (R + fm.horizontalAdvance("W") + 3));
  EXPECT_EQ(image.height(), 2 * (R + fm.height() + 4));
}

TEST_F(CompassTest, SkyPlotPlacesSatellitesByElevation) {
  const int R = 60;
  SatelliteView empty;
  const QImage base = RenderSkyPlot(R, empty, palette_, kFace);
  const QFontMetrics fm(palette_.medium);
  EXPECT_EQ(base.width(), 2 * (R + fm.horizontalAdvance("W") + 2) + 1);
  EXPECT_EQ(base.height(), 2 * (R + fm.height() - 1));

  SatelliteView view;
  view.satellites[0] = {17, 0, 120, 40};  // on the horizon: not drawn
  EXPECT_EQ(RenderSkyPlot(R, view, palette_, kFace), base);

  view.satellites[0] = {17, 90, 0, 40};  // overhead: at the centre
  const QImage overhead = RenderSkyPlot(R, view, palette_, kFace);
  const QPoint c(R + fm.horizontalAdvance("W") + 2, R + fm.height() - 1);
  int changedNearCentre = 0, changedElsewhere = 0;
  for (int y = 0; y < base.height(); ++y) {
    for (int x = 0; x < base.width(); ++x) {
      if (overhead.pixel(x, y) == base.pixel(x, y)) continue;
      (std::abs(x - c.x()) <= 10 && std::abs(y - c.y()) <= 8 ? changedNearCentre : changedElsewhere)++;
    }
  }
  EXPECT_GT(changedNearCentre, 5);
  EXPECT_EQ(changedElsewhere, 0);

  // A satellite without signal is labelled in red.
  view.satellites[0] = {17, 45, 90, 0};
  const QImage noSignal = RenderSkyPlot(R, view, palette_, kFace);
  bool red = false;
  for (int y = 0; y < noSignal.height() && !red; ++y) {
    for (int x = 0; x < noSignal.width() && !red; ++x) {
      const QRgb p = noSignal.pixel(x, y);
      red = qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
    }
  }
  EXPECT_TRUE(red);
}

TEST_F(CompassTest, SkyPlotLegendStandsApartFromThePlot) {
  const int R = 60;
  // GPS, GLONASS, Galileo and BeiDou, low in the west where the legend was.
  std::vector<SkySatellite> sky;
  const GnssSystem systems[] = {GnssSystem::Gps, GnssSystem::Glonass, GnssSystem::Galileo, GnssSystem::BeiDou};
  for (int i = 0; i < 4; ++i) sky.push_back({systems[i], static_cast<int16_t>(10 + i), 5, static_cast<int16_t>(280 + i * 20), 40, true});
  const QImage image = RenderSkyPlot(R, sky, palette_, kFace);
  const QFontMetrics fm(palette_.medium);
  EXPECT_EQ(image.width(), 2 * (R + fm.horizontalAdvance("W") + 2) + 1);  // the page's layout is kept
  // The legend sits in the top-left corner with a plot made smaller beside
  // it: the ring of 2 pixels around each name is empty (no circle, letter or
  // number crosses into a name), and each system's colour shows outside the
  // legend (its numbers) as well as in it (its name).
  const SkyPlotLayout layout = LayOutSkyPlot(R, {systems[0], systems[1], systems[2], systems[3]}, palette_);
  ASSERT_EQ(layout.legend.size(), 4u);
  EXPECT_EQ(layout.size, image.size());
  EXPECT_LT(layout.radius, R);
  EXPECT_GT(layout.radius, R * 2 / 3) << "the plot keeps most of its size";
  auto inLegend = [&](int x, int y) {
    for (const QRect& r : layout.legend) {
      if (r.contains(x, y)) return true;
    }
    return false;
  };
  auto nearLegend = [&](int x, int y) {
    for (const QRect& r : layout.legend) {
      if (r.adjusted(-2, -2, 2, 2).contains(x, y)) return true;
    }
    return false;
  };
  auto near = [](QRgb p, QColor c) {
    return std::abs(qRed(p) - c.red()) + std::abs(qGreen(p) - c.green()) + std::abs(qBlue(p) - c.blue()) < 60;
  };
  std::array<int, 4> inside{}, outside{};
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (QColor(p) == kFace) continue;
      EXPECT_FALSE(nearLegend(x, y) && !inLegend(x, y)) << x << "," << y << " touches a name";
      for (int i = 1; i < 4; ++i) {
        if (near(p, SystemColour(systems[i]))) (inLegend(x, y) ? inside : outside)[i]++;
      }
    }
  }
  for (int i = 1; i < 4; ++i) {
    EXPECT_GT(inside[i], 0) << i;
    EXPECT_GT(outside[i], 0) << i;
  }
}

TEST(PositionArrow, PointsOfTheDart) {
  const auto pts = PositionArrowPoints(100, 100, 14, 4, 0);
  EXPECT_EQ(pts[0], QPoint(100, 100));  // notch
  EXPECT_EQ(pts[1], QPoint(111, 104));  // right wing
  EXPECT_EQ(pts[2], QPoint(100, 86));   // tip
  EXPECT_EQ(pts[3], QPoint(89, 104));   // left wing
  const auto east = PositionArrowPoints(100, 100, 14, 4, 90);
  EXPECT_EQ(east[2], QPoint(114, 100));

  QImage image(200, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  DrawPositionArrow(p, 100, 100, 14, 4, 0, QBrush(QColor(204, 102, 0)), QBrush(QColor(102, 51, 0)));
  p.end();
  EXPECT_EQ(QColor(image.pixel(97, 98)), QColor(204, 102, 0));  // left half: brush A
  EXPECT_EQ(QColor(image.pixel(103, 98)), QColor(102, 51, 0));  // right half: brush B
}

}  // namespace
}  // namespace tarvo
