// Coordinate format names, angle splitting, the position texts of both
// layouts (with the carry of 60 seconds and 60 minutes), and the
// locale-free number texts behind them.
#include <clocale>
#include <filesystem>
#include <cstdlib>
#include <unistd.h>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "core/geo/coord_format.h"
#include "core/geo/number_text.h"

namespace tarvo {
namespace {

PositionText Two(CoordFormat format, double lat, double lon) {
  return FormatPosition(format, lat, lon, PositionLayout::TwoField);
}

TEST(GeoFormatNames, StringTableAndMenuTexts) {
  EXPECT_EQ(CoordFormatName(CoordFormat::WgsDms), "WGS84 D\xC2\xB0MM'SS\"");
  EXPECT_EQ(CoordFormatName(CoordFormat::WgsDm), "WGS84 D\xC2\xB0MM.MMM'");
  EXPECT_EQ(CoordFormatName(CoordFormat::WgsDeg), "WGS84 D.DDDDD\xC2\xB0");
  EXPECT_EQ(CoordFormatName(CoordFormat::UtmWgs84), "UTM (WGS84)");
  EXPECT_EQ(CoordFormatName(CoordFormat::SwedenSweref93), "Grid: Sweden (SWEREF93)");
  EXPECT_EQ(CoordFormatName(CoordFormat::Nzmg), "Grid: New Zealand Map Grid");
  EXPECT_EQ(CoordFormatMenuText(CoordFormat::WgsDms), "D\xC2\xB0MM'SS\" (WGS84)");
  EXPECT_EQ(CoordFormatMenuText(CoordFormat::WgsDeg), "D.DDDDD\xC2\xB0 (WGS84)");
  EXPECT_EQ(CoordFormatMenuText(CoordFormat::Nzgd49), CoordFormatName(CoordFormat::Nzgd49));
  EXPECT_EQ(CoordFormatName(static_cast<CoordFormat>(19)), "");
  EXPECT_EQ(CoordFormatName(static_cast<CoordFormat>(255)), "");
  EXPECT_EQ(CoordFormatMenuText(static_cast<CoordFormat>(19)), "");
  for (CoordFormat f : kAllCoordFormats) EXPECT_FALSE(CoordFormatName(f).empty()) << static_cast<int>(f);
  // Stored numbers and menu positions 0..18 are the formats in menu order.
  for (int i = 0; i < kCoordFormatCount; ++i) {
    ASSERT_TRUE(CoordFormatFromIndex(i)) << i;
    EXPECT_EQ(static_cast<int>(*CoordFormatFromIndex(i)), i);
    EXPECT_EQ(kAllCoordFormats[static_cast<size_t>(i)], *CoordFormatFromIndex(i));
  }
  EXPECT_EQ(CoordFormatFromIndex(5), CoordFormat::Netherlands);
  EXPECT_EQ(CoordFormatFromIndex(18), CoordFormat::Nzmg);
  EXPECT_FALSE(CoordFormatFromIndex(19));
  EXPECT_FALSE(CoordFormatFromIndex(-1));
}

TEST(GeoSplit, HemispheresAndParts) {
  EXPECT_EQ(SplitDeg(0, false).hemisphere, 'N');
  EXPECT_EQ(SplitDeg(0, true).hemisphere, 'E');
  EXPECT_EQ(SplitDeg(-0.5, true).hemisphere, 'W');
  EXPECT_EQ(SplitDeg(-0.5, true).value, 0.5);
  const DegMinHemi dm = SplitDm(-33.5, false);
  EXPECT_EQ(dm.hemisphere, 'S');
  EXPECT_EQ(dm.degrees, 33);
  EXPECT_DOUBLE_EQ(dm.minutes, 30.0);
  const DegMinSecHemi dms = SplitDms(52.0875, false);
  EXPECT_EQ(dms.degrees, 52);
  EXPECT_EQ(dms.minutes, 5);
  EXPECT_NEAR(dms.seconds, 15.0, 1e-9);
  EXPECT_DOUBLE_EQ(JoinDm(52, 30), 52.5);
  EXPECT_DOUBLE_EQ(JoinDms(52, 5, 15), 52 + 5 * 0.016666666666666666 + 15 * 0.0002777777777777778);
  EXPECT_EQ(HemisphereText('W'), "W");
  EXPECT_EQ(SplitDms(std::nan(""), false).degrees, 0);  // never an undefined cast
  EXPECT_EQ(SplitDm(1e300, true).degrees, 2147483647);
}

TEST(GeoFormatText, LatitudeLongitudeFormats) {
  PositionText t = Two(CoordFormat::WgsDms, -33.5, 0);
  EXPECT_EQ(t.label1, "S");
  EXPECT_EQ(t.value1, "33\xC2\xB0" "30'0.0\"");
  EXPECT_EQ(t.label2, "E");
  EXPECT_EQ(t.value2, "0\xC2\xB0 0'0.0\"");
  EXPECT_EQ(t.zone, "");
  EXPECT_EQ(t.line1, "");
  EXPECT_EQ(Two(CoordFormat::WgsDms, 52.0875, 5).value1, "52\xC2\xB0 5'15.0\"");  // %2d pads with a blank
  EXPECT_EQ(Two(CoordFormat::WgsDms, 0, 0).label1, "N");
  EXPECT_EQ(Two(CoordFormat::WgsDm, 52.0875, -5.25).value1, "52\xC2\xB0" "5.250'");
  EXPECT_EQ(Two(CoordFormat::WgsDm, 52.0875, -5.25).label2, "W");
  EXPECT_EQ(Two(CoordFormat::WgsDeg, 5.25, 120.5).value1, "5.25000\xC2\xB0");
  EXPECT_EQ(Two(CoordFormat::WgsDeg, 5.25, 120.5).value2, "120.50000\xC2\xB0");
  EXPECT_EQ(Two(CoordFormat::WgsDeg, -0.000001, 0).value1, "0.00000\xC2\xB0");
  EXPECT_EQ(Two(CoordFormat::WgsDeg, -0.000001, 0).label1, "S");
}

TEST(GeoFormatText, SecondsAndMinutesCarryInsteadOfShowingSixty) {
  // 52 5' 59.96" rounds to 60.0 in %2.1f: show the next minute.
  const double lat = 52 + 5 / 60.0 + 59.96 / 3600;
  EXPECT_EQ(Two(CoordFormat::WgsDms, lat, 0).value1, "52\xC2\xB0 6'0.0\"");
  EXPECT_EQ(FormatPosition(CoordFormat::WgsDms, lat, 0, PositionLayout::OneLine).line1, "N 52\xC2\xB0 6'0.0\"");
  // 59' 59.97" carries through the minutes into the degrees.
  EXPECT_EQ(Two(CoordFormat::WgsDms, 0, -(7 + 59 / 60.0 + 59.97 / 3600)).value2, "8\xC2\xB0 0'0.0\"");
  EXPECT_EQ(Two(CoordFormat::WgsDms, 0, -(7 + 59 / 60.0 + 59.97 / 3600)).label2, "W");
  // Just below the carry it stays.
  EXPECT_EQ(Two(CoordFormat::WgsDms, 52 + 5 / 60.0 + 59.94 / 3600, 0).value1, "52\xC2\xB0 5'59.9\"");
  // Decimal minutes rounding to 60.000 show the next degree.
  EXPECT_EQ(Two(CoordFormat::WgsDm, 52 + 59.9996 / 60, 0).value1, "53\xC2\xB0" "0.000'");
  EXPECT_EQ(Two(CoordFormat::WgsDm, 52 + 59.9994 / 60, 0).value1, "52\xC2\xB0" "59.999'");
  // The same on the New Zealand 1949 datum.
  for (double lat49 = -41.0; lat49 > -41.01; lat49 -= 0.0000137) {
    const PositionText nz = Two(CoordFormat::Nzgd49, lat49, 174.0);
    EXPECT_EQ(nz.value1.find("60.0"), std::string::npos) << nz.value1;
  }
}

TEST(GeoFormatText, NoSeparateSixtyOrNegativeZeroAnywhere) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180);
  for (int i = 0; i < 20000; ++i) {
    const double a = lat(rng), b = lon(rng);
    for (CoordFormat f : {CoordFormat::WgsDms, CoordFormat::WgsDm, CoordFormat::Nzgd49}) {
      const PositionText t = Two(f, a, b);
      for (const std::string* v : {&t.value1, &t.value2}) {
        EXPECT_EQ(v->find("'60."), std::string::npos) << *v;
        EXPECT_EQ(v->find("60.0\""), std::string::npos) << *v;
        EXPECT_EQ(v->find('-'), std::string::npos) << *v;
      }
    }
  }
  // Values that come out exactly on a minute often leave -1e-13 of seconds.
  for (int m = 0; m < 60; ++m) {
    const PositionText t = Two(CoordFormat::WgsDms, 47 + m / 60.0, 0);
    EXPECT_EQ(t.value1.find('-'), std::string::npos) << t.value1;
  }
}

TEST(GeoFormatText, GridFormatsLabelsWidthsAndZones) {
  const PositionText utm = Two(CoordFormat::UtmWgs84, 0, 3);
  EXPECT_EQ(utm.label1, "N");
  EXPECT_EQ(utm.value1, "0.00");
  EXPECT_EQ(utm.value2, "500000.00");
  EXPECT_EQ(utm.zone, "31N");
  const PositionText utmLine = FormatPosition(CoordFormat::UtmInternational, 0, 3, PositionLayout::OneLine);
  EXPECT_EQ(utmLine.line2.substr(0, 2), "E ");
  EXPECT_EQ(utmLine.zone, "31N");
  EXPECT_EQ(utmLine.label1, "");

  const PositionText swiss = Two(CoordFormat::Switzerland, 46.95108, 7.43864);
  EXPECT_EQ(swiss.label1, "X");
  EXPECT_EQ(swiss.value1, "600000.7");
  EXPECT_EQ(swiss.value2, "199999.4");
  EXPECT_EQ(FormatPosition(CoordFormat::Switzerland, 46.95108, 7.43864, PositionLayout::OneLine).line2, "Y 199999.4");
  EXPECT_EQ(Two(CoordFormat::Britain, 51.5, -0.1).label1, "N");
  EXPECT_EQ(Two(CoordFormat::Netherlands, 52.37, 4.89).label1, "X");
  // A position in Europe has no New Zealand Map Grid value: 0 and 0, padded to 7.
  const PositionText nzmg = Two(CoordFormat::Nzmg, 52, 5);
  EXPECT_EQ(nzmg.value1, "    0.0");
  EXPECT_EQ(nzmg.value2, "    0.0");
  EXPECT_EQ(FormatPosition(CoordFormat::Nzmg, 52, 5, PositionLayout::OneLine).line1, "X     0.0");
  // UTM International differs from UTM WGS-84 in numbers, not in the zone.
  EXPECT_NE(Two(CoordFormat::UtmWgs84, 48.2, 16.4).value1, Two(CoordFormat::UtmInternational, 48.2, 16.4).value1);
  EXPECT_EQ(Two(CoordFormat::UtmWgs84, 48.2, 16.4).zone, Two(CoordFormat::UtmInternational, 48.2, 16.4).zone);
}

TEST(GeoFormatText, NoTextsForPositionsWithoutValue) {
  const PositionText t = Two(CoordFormat::UtmWgs84, std::nan(""), 5);
  EXPECT_TRUE(t.label1.empty() && t.value1.empty() && t.zone.empty());
  EXPECT_TRUE(Two(static_cast<CoordFormat>(19), 50, 5).value1.empty());
  EXPECT_TRUE(Two(static_cast<CoordFormat>(255), 50, 5).value1.empty());
  EXPECT_FALSE(PositionNumbers(CoordFormat::WgsDms, std::numeric_limits<double>::infinity(), 0));
  EXPECT_FALSE(PositionFromNumbers(static_cast<CoordFormat>(19), 1, 2));
}

TEST(GeoNumberText, SameDigitsAsSnprintfInTheCLocale) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mag(-7, 7), unit(0, 1);
  char expected[512];
  for (int i = 0; i < 50000; ++i) {
    const double v = (unit(rng) < 0.5 ? -1 : 1) * std::pow(10.0, mag(rng));
    const int precision = i % 7;
    const int width = i % 9;
    std::snprintf(expected, sizeof expected, "%*.*f", width, precision, v);
    std::string got;
    AppendFixed(got, v, precision, width);
    if (std::string(expected).find_first_not_of(" -0.") == std::string::npos) continue;  // -0 case below
    ASSERT_EQ(got, expected) << v;
  }
  // Decimal halves (2.675, 0.125, ...) and their neighbouring doubles, where a
  // short cut through scaled doubles would round the wrong way.
  for (int p = 0; p <= 5; ++p) {
    for (int k = 0; k < 3000; ++k) {
      const double tie = (k + 0.5) / std::pow(10.0, p) + (k % 7) * 1000.0;
      for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300), -tie}) {
        std::snprintf(expected, sizeof expected, "%.*f", p, v);
        std::string got;
        AppendFixed(got, v, p);
        const std::string want = expected;
        const bool negativeZero = want[0] == '-' && want.find_first_not_of("-0.") == std::string::npos;
        ASSERT_EQ(got, negativeZero ? want.substr(1) : want) << v << " precision " << p;
      }
    }
  }
  // Exact binary halves round to even, as printf does.
  for (double v : {0.125, 0.375, 2.5, 3.5, 1e15 + 0.5, 0.5}) {
    std::snprintf(expected, sizeof expected, "%.2f|%.0f", v, v);
    std::string got;
    AppendFixed(got, v, 2);
    got += '|';
    AppendFixed(got, v, 0);
    EXPECT_EQ(got, expected);
  }
  std::string zero;
  AppendFixed(zero, -0.04, 1, 7);
  EXPECT_EQ(zero, "    0.0");
  zero.clear();
  AppendFixed(zero, -0.0, 2);
  EXPECT_EQ(zero, "0.00");
  std::string ints;
  AppendInt(ints, 5, 2);
  AppendInt(ints, -12);
  EXPECT_EQ(ints, " 5-12");
  EXPECT_EQ(ShortestText(0.1), "0.1");
  EXPECT_EQ(ShortestText(6023150.123456789), "6023150.123456789");
  EXPECT_EQ(ShortestText(500000), "500000");
  EXPECT_EQ(ShortestText(-1e-7), "-0.0000001");
}

TEST(GeoNumberText, ImmuneToACommaLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  const char* comma = nullptr;
  std::string madeDir;  // a locale folder this test made, removed at the end
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name)) {
      comma = name;
      break;
    }
  if (comma == nullptr) {
    // None installed: compile one from the system's locale sources into a
    // folder of our own.
    const std::string dir = ::testing::TempDir() + "tarvo-locale-" + std::to_string(::getpid());
    const std::string command = "localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(("mkdir -p " + dir).c_str()) == 0 && std::system(command.c_str()) == 0) {
      setenv("LOCPATH", dir.c_str(), 1);
      madeDir = dir;
      if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) comma = "de_DE.UTF-8";
    }
  }
  ASSERT_NE(comma, nullptr) << "no locale with a decimal comma could be made";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_EQ(Two(CoordFormat::Switzerland, 46.95108, 7.43864).value1, "600000.7");
  EXPECT_EQ(Two(CoordFormat::WgsDeg, 5.25, 0).value1, "5.25000\xC2\xB0");
  EXPECT_EQ(ParseDecimalField("52.5"), 52.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!madeDir.empty()) std::filesystem::remove_all(madeDir);
}

TEST(GeoNumberText, TypedNumbers) {
  EXPECT_EQ(ParseDecimalField(" 52.5 "), 52.5);
  EXPECT_EQ(ParseDecimalField("-.5"), -0.5);
  EXPECT_EQ(ParseDecimalField("+7."), 7.0);
  EXPECT_EQ(ParseDecimalField(""), 0.0);
  EXPECT_EQ(ParseDecimalField("   "), 0.0);
  for (const char* bad : {"52,5", "1e5", "inf", "nan", "0x10", ".", "-", "1.2.3", "5 5", "12a", "--1"})
    EXPECT_FALSE(ParseDecimalField(bad)) << bad;
  EXPECT_FALSE(ParseDecimalField(std::string(400, '9')));  // beyond a double
  bool negative = false;
  EXPECT_EQ(ParseIntegerField("-0", &negative), 0);
  EXPECT_TRUE(negative);
  EXPECT_EQ(ParseIntegerField("2147483647"), 2147483647);
  EXPECT_FALSE(ParseIntegerField("2147483648"));
  EXPECT_FALSE(ParseIntegerField("5.5"));
  EXPECT_FALSE(ParseIntegerField("-"));
  EXPECT_EQ(ParseIntegerField(""), 0);
}

}  // namespace
}  // namespace tarvo
