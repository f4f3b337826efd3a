// The accurate datum mode against PROJ's own command-line program: for every
// national grid, a lattice over its area converted by cs2cs (the real
// binary, same EPSG codes, no network) and by us, both ways, to 1 cm; our
// round trip closes to 1 cm; and with the mode off every result is the
// built-in function's, bit for bit. Each family prints its largest
// differences to PROJ in both modes.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/geo/coord_format.h"
#include "core/geo/edit_fields.h"
#include "core/proj/accurate_datum.h"
#include "tests/unit/geo/geo_test_points.h"

namespace tarvo {
namespace {

namespace fs = std::filesystem;
using testing::GridArea;
using testing::GridAreas;
using testing::GroundMetres;
using testing::LatticeOver;

constexpr double kAgreement = 0.01;  // metres
constexpr int kLattice = 17;         // 289 points per area
constexpr double kEdge = 0.01;       // degrees kept off the edges of an area of use

// The axis order cs2cs reads and writes for a target: north first for the
// KKJ and RT90 grids and the NZGD49 degrees, east first for the others.
bool NorthFirst(int code) {
  return code == 2391 || code == 2392 || code == 2393 || code == 2394 || code == 3021 || code == 4272;
}

// Our formats whose first number counts north (the X/Y grids give east first).
bool NorthComesFirst(CoordFormat format) {
  return format != CoordFormat::Netherlands && format != CoordFormat::Switzerland && format != CoordFormat::Nzmg;
}

bool Cs2csFound() { return std::system("command -v cs2cs >/dev/null 2>&1") == 0; }

// Pairs of numbers through "cs2cs -f %.10f EPSG:from EPSG:to", each pair
// in the order cs2cs takes for `from`; empty entries for points it refused.
std::vector<std::optional<std::pair<double, double>>> Cs2cs(int from, int to,
                                                            const std::vector<std::pair<double, double>>& in) {
  const fs::path dir = fs::temp_directory_path() / ("tarvo-accurate-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    std::ofstream f(dir / "in.txt");
    char line[96];
    for (const auto& [a, b] : in) {
      std::snprintf(line, sizeof line, "%.12f %.12f\n", a, b);
      f << line;
    }
  }
  const std::string command = "PROJ_NETWORK=OFF cs2cs -f %.10f EPSG:" + std::to_string(from) + " EPSG:" +
                              std::to_string(to) + " < " + (dir / "in.txt").string() + " > " +
                              (dir / "out.txt").string() + " 2>/dev/null";
  const int raw = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command;
  std::vector<std::optional<std::pair<double, double>>> out;
  std::ifstream f(dir / "out.txt");
  for (std::string line; std::getline(f, line);) {
    std::istringstream words(line);
    std::string a, b;
    words >> a >> b;
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA), y = std::strtod(b.c_str(), &endB);
    if (a.empty() || b.empty() || *endA != '\0' || *endB != '\0' || !std::isfinite(x) || !std::isfinite(y))
      out.emplace_back();
    else
      out.emplace_back(std::make_pair(x, y));
  }
  fs::remove_all(dir);
  EXPECT_EQ(out.size(), in.size()) << command;
  out.resize(in.size());
  return out;
}

bool SameBits(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// Metres between two results of a format: grid metres, or degrees on the
// ground for the NZGD49 degrees.
double Apart(CoordFormat format, const FormatNumbers& a, const FormatNumbers& b) {
  if (format == CoordFormat::Nzgd49) return GroundMetres({a.first, a.second}, {b.first, b.second});
  return std::hypot(a.first - b.first, a.second - b.second);
}

struct Worst {
  double builtIn = 0, forward = 0, inverse = 0, roundTrip = 0;
  int points = 0, refused = 0;
};

// One format over one area: cs2cs and we, both ways, in both modes.
void CheckFormat(CoordFormat format, const GridArea& area, Worst& worst) {
  SCOPED_TRACE(area.name);
  const int code = AccurateCrsCode(format);
  ASSERT_NE(code, 0);
  const bool northFirst = NorthFirst(code);
  // cs2cs' pair as our numbers.
  const auto fromPair = [&](const std::pair<double, double>& p) {
    const double north = northFirst ? p.first : p.second, east = northFirst ? p.second : p.first;
    return NorthComesFirst(format) ? FormatNumbers{north, east, {}} : FormatNumbers{east, north, {}};
  };

  const std::vector<LatLon> points = LatticeOver(area, kLattice);
  std::vector<std::pair<double, double>> input;
  for (const LatLon& p : points) input.emplace_back(p.latitude, p.longitude);
  const auto forward = Cs2cs(4326, code, input);
  std::vector<std::pair<double, double>> grid;
  for (size_t i = 0; i < points.size(); ++i) grid.push_back(forward[i] ? *forward[i] : std::make_pair(0.0, 0.0));
  const auto inverse = Cs2cs(code, 4326, grid);

  for (size_t i = 0; i < points.size(); ++i) {
    const LatLon& p = points[i];
    ++worst.points;
    // Mode off: the built-in function's result, bit for bit.
    const GeoResult<FormatNumbers> builtIn = PositionNumbers(format, p.latitude, p.longitude);
    const GeoResult<FormatNumbers> off = PositionNumbers(DatumMode::BuiltIn, format, p.latitude, p.longitude);
    ASSERT_EQ(builtIn.has_value(), off.has_value());
    if (builtIn) {
      EXPECT_TRUE(SameBits(builtIn->first, off->first) && SameBits(builtIn->second, off->second));
      const GeoResult<LatLon> back = PositionFromNumbers(format, builtIn->first, builtIn->second);
      const GeoResult<LatLon> backOff = PositionFromNumbers(DatumMode::BuiltIn, format, builtIn->first, builtIn->second);
      ASSERT_EQ(back.has_value(), backOff.has_value());
      if (back) {
        EXPECT_TRUE(SameBits(back->latitude, backOff->latitude) && SameBits(back->longitude, backOff->longitude));
      }
    }

    const GeoResult<FormatNumbers> ours = AccuratePositionNumbers(format, p.latitude, p.longitude);
    EXPECT_EQ(ours.has_value(), forward[i].has_value()) << p.latitude << ", " << p.longitude;
    if (!ours || !forward[i]) {
      ++worst.refused;
      continue;
    }
    const FormatNumbers reference = fromPair(*forward[i]);
    const double df = Apart(format, *ours, reference);
    EXPECT_LT(df, kAgreement) << "forward at " << p.latitude << ", " << p.longitude;
    worst.forward = std::max(worst.forward, df);
    if (builtIn) worst.builtIn = std::max(worst.builtIn, Apart(format, *builtIn, reference));

    // Inverse from cs2cs' grid numbers, and our own round trip.
    const GeoResult<LatLon> back = AccuratePositionFromNumbers(format, reference.first, reference.second);
    EXPECT_EQ(back.has_value(), inverse[i].has_value()) << "inverse at " << p.latitude << ", " << p.longitude;
    if (back && inverse[i]) {
      const double di = GroundMetres(*back, {inverse[i]->first, inverse[i]->second});
      EXPECT_LT(di, kAgreement) << "inverse at " << p.latitude << ", " << p.longitude;
      worst.inverse = std::max(worst.inverse, di);
    }
    const GeoResult<LatLon> again = AccuratePositionFromNumbers(format, ours->first, ours->second);
    ASSERT_TRUE(again.has_value()) << p.latitude << ", " << p.longitude;
    const double dr = GroundMetres(*again, p);
    EXPECT_LT(dr, kAgreement) << "round trip at " << p.latitude << ", " << p.longitude;
    worst.roundTrip = std::max(worst.roundTrip, dr);
  }
}

void CheckFamily(const char* family, std::initializer_list<CoordFormat> formats) {
  if (!Cs2csFound()) GTEST_SKIP() << "cs2cs not found (Debian proj-bin): accurate mode not compared with PROJ";
  for (const CoordFormat format : formats) {
    const AccurateOperation op = DescribeAccurate(format);
    ASSERT_TRUE(op.available) << CoordFormatName(format) << ": " << op.problem;
    Worst worst;
    for (GridArea area : GridAreas()) {
      if (area.format != format) continue;
      // The part of the grid's box where the transformation is meant to be
      // used: outside it PROJ picks other ones, not always the same both ways.
      area.minLat = std::max(area.minLat, op.south + kEdge);
      area.maxLat = std::min(area.maxLat, op.north - kEdge);
      area.minLon = std::max(area.minLon, op.west + kEdge);
      area.maxLon = std::min(area.maxLon, op.east - kEdge);
      ASSERT_LT(area.minLat, area.maxLat);
      ASSERT_LT(area.minLon, area.maxLon);
      CheckFormat(format, area, worst);
    }
    EXPECT_GT(worst.points, 0);
    std::printf("[ proj    ] %-22s %-30.30s built-in %8.3f m | accurate fwd %.1e inv %.1e trip %.1e m (%d points, "
                "%d refused by both)\n",
                family, std::string(CoordFormatName(format)).c_str(), worst.builtIn, worst.forward, worst.inverse,
                worst.roundTrip, worst.points, worst.refused);
  }
}

TEST(AccurateDatum, NetherlandsAmersfoortAgreesWithCs2cs) { CheckFamily("Amersfoort", {CoordFormat::Netherlands}); }
TEST(AccurateDatum, BritainOsgb36AgreesWithCs2cs) { CheckFamily("OSGB36", {CoordFormat::Britain}); }
TEST(AccurateDatum, FinlandKkjAgreesWithCs2cs) {
  CheckFamily("KKJ", {CoordFormat::Finland1, CoordFormat::Finland2, CoordFormat::Finland3, CoordFormat::Finland4});
}
TEST(AccurateDatum, IrelandTm75AgreesWithCs2cs) { CheckFamily("TM75", {CoordFormat::Ireland}); }
TEST(AccurateDatum, ItalyMonteMarioAgreesWithCs2cs) { CheckFamily("Monte Mario", {CoordFormat::Italy1, CoordFormat::Italy2}); }
TEST(AccurateDatum, SwedenRt90AgreesWithCs2cs) { CheckFamily("RT90", {CoordFormat::SwedenRt90}); }
TEST(AccurateDatum, SwitzerlandCh1903AgreesWithCs2cs) { CheckFamily("CH1903", {CoordFormat::Switzerland}); }
TEST(AccurateDatum, NewZealandNzgd49AgreesWithCs2cs) { CheckFamily("NZGD49", {CoordFormat::Nzgd49, CoordFormat::Nzmg}); }

// Britain's best transformation needs OSTN15, which Debian does not ship:
// the mode names the missing file, and every other grid uses its best one.
TEST(AccurateDatum, NamesTheMissingGridOfBritainOnly) {
  const bool ostn15 = fs::exists("/usr/share/proj/uk_os_OSTN15_NTv2_OSGBtoETRS.tif") ||
                      fs::exists("/usr/share/proj/OSTN15_NTv2_OSGBtoETRS.gsb");
  for (const CoordFormat format : kAllCoordFormats) {
    const AccurateOperation op = DescribeAccurate(format);
    if (AccurateCrsCode(format) == 0) {
      EXPECT_FALSE(op.available) << CoordFormatName(format);
      continue;
    }
    ASSERT_TRUE(op.available) << CoordFormatName(format) << ": " << op.problem;
    EXPECT_FALSE(op.operation.empty());
    if (format == CoordFormat::Britain && !ostn15) {
      EXPECT_NE(op.missingGrid.find("OSTN15"), std::string::npos) << op.missingGrid;
      EXPECT_NE(op.operation.find("OSGB36 to WGS 84 (6)"), std::string::npos) << op.operation;  // the EPSG Helmert
    } else {
      EXPECT_EQ(op.missingGrid, "") << CoordFormatName(format);
    }
  }
  EXPECT_NE(DescribeAccurate(CoordFormat::Nzmg).operation.find("NZGD49 to WGS 84 (3)"), std::string::npos);  // NTv2
}

// The degrees, UTM and SWEREF93 keep their numbers in both modes; the
// failures keep their reasons; the edit fields of both modes read back what
// they show, the built-in ones exactly as before.
TEST(AccurateDatum, UnchangedFormatsFailuresAndEditFields) {
  for (const CoordFormat format : {CoordFormat::WgsDms, CoordFormat::WgsDm, CoordFormat::WgsDeg, CoordFormat::UtmWgs84,
                                   CoordFormat::UtmInternational, CoordFormat::SwedenSweref93}) {
    const GeoResult<FormatNumbers> a = PositionNumbers(format, 59.3, 18.1);
    const GeoResult<FormatNumbers> b = PositionNumbers(DatumMode::Accurate, format, 59.3, 18.1);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(SameBits(a->first, b->first) && SameBits(a->second, b->second) && a->zone == b->zone);
  }
  const auto bad = static_cast<CoordFormat>(19);
  EXPECT_EQ(AccuratePositionNumbers(bad, 50, 5).error(), GeoFailure::UnknownFormat);
  EXPECT_EQ(AccuratePositionFromNumbers(bad, 1, 2).error(), GeoFailure::UnknownFormat);
  EXPECT_EQ(AccuratePositionNumbers(CoordFormat::Britain, NAN, -2).error(), GeoFailure::NotFinite);
  EXPECT_EQ(AccuratePositionFromNumbers(CoordFormat::Britain, 1e300, 1e300).error(), GeoFailure::OutsideGrid);
  EXPECT_EQ(AccuratePositionFromNumbers(CoordFormat::Nzmg, 1000000, 6000000).error(), GeoFailure::OutsideGrid);
  const GeoResult<FormatNumbers> away = AccuratePositionNumbers(CoordFormat::Nzmg, 52, 5);  // as the built-in grid
  ASSERT_TRUE(away.has_value());
  EXPECT_EQ(away->first, 0.0);
  EXPECT_EQ(away->second, 0.0);

  const LatLon places[] = {{52.37, 4.89}, {51.5, -0.12}, {60.17, 24.94}, {53.35, -6.26}, {41.9, 12.5},
                           {59.33, 18.07}, {46.95, 7.45}, {-41.29, 174.78}, {-36.85, 174.76}};
  for (const CoordFormat format : kAllCoordFormats) {
    for (const LatLon& p : places) {
      bool inArea = false;
      for (const GridArea& a : GridAreas())
        inArea |= a.format == format && p.latitude >= a.minLat && p.latitude <= a.maxLat && p.longitude >= a.minLon &&
                  p.longitude <= a.maxLon;
      const EditFields off = FillEditFields(DatumMode::BuiltIn, format, p.latitude, p.longitude);
      const EditFields plain = FillEditFields(format, p.latitude, p.longitude);
      for (int a = 0; a < 2; ++a) EXPECT_EQ(off.axes[a].fields, plain.axes[a].fields);
      const GeoResult<LatLon> readOff = ReadEditFields(DatumMode::BuiltIn, format, off);
      const GeoResult<LatLon> readPlain = ReadEditFields(format, plain);
      ASSERT_EQ(readOff.has_value(), readPlain.has_value());
      if (readOff) {
        EXPECT_TRUE(SameBits(readOff->latitude, readPlain->latitude) &&
                    SameBits(readOff->longitude, readPlain->longitude));
      }

      if (!inArea || AccurateCrsCode(format) == 0) continue;
      const EditFields on = FillEditFields(DatumMode::Accurate, format, p.latitude, p.longitude);
      const GeoResult<LatLon> readOn = ReadEditFields(DatumMode::Accurate, format, on);
      ASSERT_TRUE(readOn.has_value()) << CoordFormatName(format);
      // The fields show 0.1 m, 0.01 m (UTM) or 0.0001" (3 mm).
      EXPECT_LT(GroundMetres(*readOn, p), 0.08) << CoordFormatName(format) << " at " << p.latitude;
    }
  }
}

// Just west of Italy's mainland set PROJ's forward takes a ballpark shift
// and its inverse the mainland set (cs2cs' round trip is 80 m off there);
// ours inverts with the forward's choice.
TEST(AccurateDatum, RoundTripClosesWhereProjPicksOtherTransformationsEachWay) {
  for (const LatLon& p : {LatLon{44.475, 6.6}, LatLon{45.13, 6.6}, LatLon{47.1, 6.6}}) {
    const GeoResult<FormatNumbers> n = AccuratePositionNumbers(CoordFormat::Italy1, p.latitude, p.longitude);
    ASSERT_TRUE(n.has_value());
    const GeoResult<LatLon> back = AccuratePositionFromNumbers(CoordFormat::Italy1, n->first, n->second);
    ASSERT_TRUE(back.has_value());
    EXPECT_LT(GroundMetres(*back, p), kAgreement) << p.latitude << ", " << p.longitude;
  }
}

// Each thread has its own PROJ objects: conversions on two threads at once
// give what the main thread gives.
TEST(AccurateDatum, ThreadsConvertOnTheirOwn) {
  const GridArea* britain = nullptr;
  for (const GridArea& a : GridAreas())
    if (a.format == CoordFormat::Britain) britain = &a;
  ASSERT_NE(britain, nullptr);
  const std::vector<LatLon> points = LatticeOver(*britain, 9);
  std::vector<FormatNumbers> expected;
  for (const LatLon& p : points) expected.push_back(*AccuratePositionNumbers(CoordFormat::Britain, p.latitude, p.longitude));
  std::vector<int> mismatches(2, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 20; ++round)
        for (size_t i = 0; i < points.size(); ++i) {
          const GeoResult<FormatNumbers> n = AccuratePositionNumbers(CoordFormat::Britain, points[i].latitude, points[i].longitude);
          if (!n || !SameBits(n->first, expected[i].first) || !SameBits(n->second, expected[i].second)) ++mismatches[t];
        }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches[0] + mismatches[1], 0);
}

}  // namespace
}  // namespace tarvo
