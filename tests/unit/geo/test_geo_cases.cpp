// Driver for the declarative grid cases in tests/data/geo/*.cases.
//
// A case file is a list of directives, one a line ('#' starts a comment):
//   operation format N | utm ELLIPSOID | tm-projection N | nzmg-projection
//   direction forward | inverse
//   tolerance VALUE UNIT        (m, cm, mm or deg)
//   accept A B [ZONE]           forward: latitude longitude in degrees;
//                               inverse: the format's numbers in field order
//   expect A B [ZONE] | expect failure
//   roundtrip VALUE UNIT        forward then inverse of the last accepted
//                               point, compared on the ground
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/geo/coord_format.h"
#include "core/geo/ellipsoid.h"
#include "core/geo/nz.h"
#include "core/geo/tm_grid.h"
#include "core/geo/utm.h"
#include "geo_test_points.h"

namespace tarvo {
namespace {

struct Numbers {
  double a = 0, b = 0;
  std::string zone;
};

struct Operation {
  std::string kind = "format";
  int arg = 0;  // as stored in the file: a format number or an ellipsoid row
  CoordFormat format = CoordFormat::WgsDms;    // format, tm-projection
  EllipsoidId ellipsoid = EllipsoidId::Wgs84;  // utm

  std::optional<Numbers> Forward(double lat, double lon) const {
    if (kind == "format") {
      const auto n = PositionNumbers(format, lat, lon);
      if (!n) return std::nullopt;
      return Numbers{n->first, n->second, n->zone};
    }
    if (kind == "utm") {
      const auto g = UtmFromLatLon(ellipsoid, lat, lon);
      if (!g) return std::nullopt;
      return Numbers{g->northing, g->easting, g->zone};
    }
    if (kind == "tm-projection") {
      const auto g = TmProject(*FindTmGrid(format), lat * kDegToRad, lon * kDegToRad);
      if (!g) return std::nullopt;
      return Numbers{g->northing, g->easting, ""};
    }
    const auto g = NzmgProject(lat * kDegToRad, lon * kDegToRad);  // nzmg-projection
    if (!g) return std::nullopt;
    return Numbers{g->easting, g->northing, ""};
  }

  std::optional<LatLon> Inverse(const Numbers& n) const {
    if (kind == "format") return PositionFromNumbers(format, n.a, n.b, n.zone);
    if (kind == "utm") return LatLonFromUtm(ellipsoid, n.a, n.b, n.zone);
    std::optional<GeoAngles> r = kind == "tm-projection" ? TmUnproject(*FindTmGrid(format), n.a, n.b)
                                                         : NzmgUnproject(n.b, n.a);
    if (!r) return std::nullopt;
    return LatLon{r->lat * kRadToDeg, r->lon * kRadToDeg};
  }
};

struct Tolerance {
  double value = 0;
  bool degrees = false;
};

std::optional<Tolerance> ReadTolerance(std::istringstream& in) {
  double v = 0;
  std::string unit;
  if (!(in >> v >> unit)) return std::nullopt;
  if (unit == "m") return Tolerance{v, false};
  if (unit == "cm") return Tolerance{v / 100, false};
  if (unit == "mm") return Tolerance{v / 1000, false};
  if (unit == "deg") return Tolerance{v, true};
  return std::nullopt;
}

std::optional<Numbers> ReadNumbers(std::istringstream& in) {
  std::string a, b;
  if (!(in >> a >> b)) return std::nullopt;
  Numbers n{std::strtod(a.c_str(), nullptr), std::strtod(b.c_str(), nullptr), ""};
  in >> n.zone;
  return n;
}

class GeoCases : public ::testing::TestWithParam<std::string> {};

TEST_P(GeoCases, FileHolds) {
  const std::filesystem::path path = GetParam();
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  Operation op;
  bool inverse = false;
  Tolerance tol;
  std::optional<Numbers> accepted;
  int line = 0, checks = 0;
  std::string text;
  while (std::getline(file, text)) {
    ++line;
    const std::string where = path.filename().string() + ":" + std::to_string(line);
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.resize(hash);
    std::istringstream in(text);
    std::string word;
    if (!(in >> word)) continue;
    if (word == "operation") {
      in >> op.kind;
      if (op.kind != "nzmg-projection") in >> op.arg;
      ASSERT_TRUE(op.kind == "format" || op.kind == "utm" || op.kind == "tm-projection" ||
                  op.kind == "nzmg-projection")
          << where;
      if (op.kind == "format" || op.kind == "tm-projection") {
        const std::optional<CoordFormat> format = CoordFormatFromIndex(op.arg);
        ASSERT_TRUE(format) << where;
        op.format = *format;
      }
      if (op.kind == "tm-projection") {
        ASSERT_NE(FindTmGrid(op.format), nullptr) << where;
      }
      if (op.kind == "utm") {
        op.ellipsoid = static_cast<EllipsoidId>(op.arg);
        ASSERT_NE(FindEllipsoid(op.ellipsoid), nullptr) << where;
      }
      inverse = false;
    } else if (word == "direction") {
      std::string d;
      in >> d;
      ASSERT_TRUE(d == "forward" || d == "inverse") << where;
      inverse = d == "inverse";
    } else if (word == "tolerance") {
      const auto t = ReadTolerance(in);
      ASSERT_TRUE(t) << where;
      tol = *t;
    } else if (word == "accept") {
      accepted = ReadNumbers(in);
      ASSERT_TRUE(accepted) << where;
    } else if (word == "expect") {
      ASSERT_TRUE(accepted) << where << ": expect without accept";
      std::string rest;
      std::istringstream peek(text.substr(text.find("expect") + 6));
      peek >> rest;
      ++checks;
      if (rest == "failure") {
        if (inverse)
          EXPECT_FALSE(op.Inverse(*accepted)) << where;
        else
          EXPECT_FALSE(op.Forward(accepted->a, accepted->b)) << where;
        continue;
      }
      const auto want = ReadNumbers(in);
      ASSERT_TRUE(want) << where;
      if (inverse) {
        const auto got = op.Inverse(*accepted);
        ASSERT_TRUE(got) << where;
        const double miss = tol.degrees ? std::max(std::fabs(got->latitude - want->a), std::fabs(got->longitude - want->b))
                                        : testing::GroundMetres({want->a, want->b}, *got);
        EXPECT_LE(miss, tol.value) << where << ": got " << got->latitude << " " << got->longitude;
      } else {
        const auto got = op.Forward(accepted->a, accepted->b);
        ASSERT_TRUE(got) << where;
        const double miss = tol.degrees ? std::max(std::fabs(got->a - want->a), std::fabs(got->b - want->b))
                                        : std::hypot(got->a - want->a, got->b - want->b);
        EXPECT_LE(miss, tol.value) << where << ": got " << got->a << " " << got->b;
        if (!want->zone.empty()) {
          EXPECT_EQ(got->zone, want->zone) << where;
        }
      }
    } else if (word == "roundtrip") {
      const auto t = ReadTolerance(in);
      ASSERT_TRUE(t && !t->degrees && accepted && !inverse) << where;
      const auto there = op.Forward(accepted->a, accepted->b);
      ASSERT_TRUE(there) << where;
      const auto back = op.Inverse(*there);
      ASSERT_TRUE(back) << where;
      EXPECT_LE(testing::GroundMetres({accepted->a, accepted->b}, *back), t->value) << where;
      ++checks;
    } else {
      FAIL() << where << ": unknown directive " << word;
    }
  }
  EXPECT_GT(checks, 0) << path;
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(TARVO_SOURCE_DIR "/tests/data/geo"))
    if (entry.path().extension() == ".cases") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

INSTANTIATE_TEST_SUITE_P(Grids, GeoCases, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return std::filesystem::path(info.param).stem().string();
                         });

}  // namespace
}  // namespace tarvo
