#include "core/proj/accurate_datum.h"

#include <proj.h>

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/geo/nz.h"

namespace tarvo {

namespace {

constexpr const char* kWgs84Crs = "EPSG:4326";
// How far the forward of an inverse may land from the numbers inverted:
// above the few millimetres of PROJ's own inverse (its Helmert inverse is
// the transposed rotation), below the metres between two transformations.
constexpr double kSameTransformation = 0.05;                          // metres
constexpr double kSameTransformationInDegrees = 0.05 / 111320.0;      // degrees of latitude

// One format's transformation from WGS-84 on one thread.
struct Transform {
  PJ* pj = nullptr;
  bool northFirst = false;  // the target's first axis counts north (KKJ, RT90, NZGD49 degrees)
  double closeEnough = 0;   // kSameTransformation in the target's unit
  std::string problem;      // why pj is null
};

// A format's numbers as the target's northing and easting (latitude and
// longitude for Nzgd49).
struct NorthEast {
  double north = 0.0;
  double east = 0.0;
};

// The formats whose first number counts north: the Transverse Mercator
// grids and the NZGD49 degrees; the X/Y grids give east first.
bool NorthComesFirst(CoordFormat format) { return format != CoordFormat::Netherlands && format != CoordFormat::Switzerland && format != CoordFormat::Nzmg; }

std::string LastError(PJ_CONTEXT* ctx) {
  const char* text = proj_context_errno_string(ctx, proj_context_errno(ctx));
  return text != nullptr && *text != '\0' ? text : "no transformation";
}

// The PROJ objects of one thread: a context without network access and the
// transformations made so far. PROJ contexts must not be shared between
// threads, so each thread has its own.
class ThreadProj {
 public:
  ThreadProj() : ctx_(proj_context_create()) {
    if (ctx_ == nullptr) return;
    proj_context_set_enable_network(ctx_, 0);
    proj_log_level(ctx_, PJ_LOG_NONE);  // failures are reported through the results
  }
  ~ThreadProj() {
    for (std::optional<Transform>& t : transforms_)
      if (t && t->pj != nullptr) proj_destroy(t->pj);
    if (ctx_ != nullptr) proj_context_destroy(ctx_);
  }
  ThreadProj(const ThreadProj&) = delete;
  ThreadProj& operator=(const ThreadProj&) = delete;

  PJ_CONTEXT* context() const { return ctx_; }

  // The transformation of a format with a code, made on first use.
  const Transform& Get(CoordFormat format, int code) {
    std::optional<Transform>& slot = transforms_[static_cast<size_t>(format)];
    if (!slot) slot = Make(code);
    return *slot;
  }

  // DescribeAccurate's answer for a format with a code, found on first use.
  const AccurateOperation& Describe(CoordFormat format, int code) {
    std::optional<AccurateOperation>& slot = descriptions_[static_cast<size_t>(format)];
    if (!slot) slot = Find(Get(format, code), code);
    return *slot;
  }

 private:
  Transform Make(int code) const {
    Transform t;
    if (ctx_ == nullptr) {
      t.problem = "PROJ context could not be made";
      return t;
    }
    const std::string target = "EPSG:" + std::to_string(code);
    PJ* crs = proj_create(ctx_, target.c_str());
    PJ* cs = crs != nullptr ? proj_crs_get_coordinate_system(ctx_, crs) : nullptr;
    const char* direction = nullptr;
    const bool axis = cs != nullptr && proj_cs_get_axis_info(ctx_, cs, 0, nullptr, nullptr, &direction, nullptr,
                                                             nullptr, nullptr, nullptr) != 0;
    if (cs != nullptr) proj_destroy(cs);
    if (!axis || direction == nullptr) {
      if (crs != nullptr) proj_destroy(crs);
      t.problem = target + ": " + LastError(ctx_);
      return t;
    }
    t.northFirst = std::strcmp(direction, "north") == 0;
    t.closeEnough = proj_get_type(crs) == PJ_TYPE_GEOGRAPHIC_2D_CRS ? kSameTransformationInDegrees : kSameTransformation;
    proj_destroy(crs);
    // No area of interest: the candidates and the choice among them per
    // point are those of cs2cs for the same two codes.
    t.pj = proj_create_crs_to_crs(ctx_, kWgs84Crs, target.c_str(), nullptr);
    if (t.pj == nullptr) t.problem = target + ": " + LastError(ctx_);
    return t;
  }

  AccurateOperation Find(const Transform& t, int code) const {
    AccurateOperation out;
    if (t.pj == nullptr) {
      out.problem = t.problem;
      return out;
    }
    const std::string target = "EPSG:" + std::to_string(code);
    PJ* crs = proj_create(ctx_, target.c_str());
    double west = 0, south = 0, east = 0, north = 0;
    const bool area = crs != nullptr && proj_get_area_of_use(ctx_, crs, &west, &south, &east, &north, nullptr) != 0;
    if (!area) {
      if (crs != nullptr) proj_destroy(crs);
      out.problem = target + " has no area of use";
      return out;
    }
    if (east < west) east += 360.0;  // an area across the 180th meridian
    double lat = (south + north) / 2, lon = (west + east) / 2;
    if (lon > 180.0) lon -= 360.0;

    // The operation used at the centre.
    const PJ_COORD c = proj_trans(t.pj, PJ_FWD, proj_coord(lat, lon, 0, HUGE_VAL));
    PJ* used = std::isfinite(c.v[0]) ? proj_trans_get_last_used_operation(t.pj) : nullptr;
    if (used != nullptr) {
      out.available = true;
      const char* name = proj_get_name(used);
      out.operation = name != nullptr ? name : "";
      out.accuracyMetres = proj_coordoperation_get_accuracy(ctx_, used);
      proj_get_area_of_use(ctx_, used, &out.west, &out.south, &out.east, &out.north, nullptr);
      proj_destroy(used);
    } else {
      out.problem = target + ": no transformation at the centre of its area";
    }
    proj_errno_reset(t.pj);

    // The best candidate there when every grid file counted as installed:
    // its missing grids are what a better answer would need.
    PJ* wgs = proj_create(ctx_, kWgs84Crs);
    PJ_OPERATION_FACTORY_CONTEXT* factory = proj_create_operation_factory_context(ctx_, nullptr);
    if (wgs != nullptr && factory != nullptr) {
      proj_operation_factory_context_set_grid_availability_use(ctx_, factory, PROJ_GRID_AVAILABILITY_IGNORED);
      proj_operation_factory_context_set_spatial_criterion(ctx_, factory,
                                                           PROJ_SPATIAL_CRITERION_PARTIAL_INTERSECTION);
      proj_operation_factory_context_set_area_of_interest(ctx_, factory, lon, lat, lon, lat);
      PJ_OBJ_LIST* list = proj_create_operations(ctx_, wgs, crs, factory);
      PJ* best = list != nullptr && proj_list_get_count(list) > 0 ? proj_list_get(ctx_, list, 0) : nullptr;
      const int grids = best != nullptr ? proj_coordoperation_get_grid_used_count(ctx_, best) : 0;
      for (int i = 0; i < grids && out.missingGrid.empty(); ++i) {
        const char* shortName = nullptr;
        int available = 1;
        if (proj_coordoperation_get_grid_used(ctx_, best, i, &shortName, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              &available) != 0 &&
            available == 0 && shortName != nullptr)
          out.missingGrid = shortName;
      }
      if (best != nullptr) proj_destroy(best);
      if (list != nullptr) proj_list_destroy(list);
    }
    if (factory != nullptr) proj_operation_factory_context_destroy(factory);
    if (wgs != nullptr) proj_destroy(wgs);
    proj_destroy(crs);
    return out;
  }

  PJ_CONTEXT* ctx_;
  std::array<std::optional<Transform>, kCoordFormatCount> transforms_;
  std::array<std::optional<AccurateOperation>, kCoordFormatCount> descriptions_;
};

ThreadProj& Proj() {
  thread_local ThreadProj proj;
  return proj;
}

// WGS-84 degrees -> the target's north and east; empty when PROJ has no result.
std::optional<NorthEast> Forward(const Transform& t, double lat, double lon) {
  if (t.pj == nullptr) return std::nullopt;
  const PJ_COORD c = proj_trans(t.pj, PJ_FWD, proj_coord(lat, lon, 0, HUGE_VAL));
  if (!std::isfinite(c.v[0]) || !std::isfinite(c.v[1])) {
    proj_errno_reset(t.pj);
    return std::nullopt;
  }
  return t.northFirst ? NorthEast{c.v[0], c.v[1]} : NorthEast{c.v[1], c.v[0]};
}

std::optional<LatLon> Finite(const PJ_COORD& c) {
  if (!std::isfinite(c.v[0]) || !std::isfinite(c.v[1])) return std::nullopt;
  return LatLon{c.v[0], c.v[1]};
}

// The target's north and east -> WGS-84 degrees; empty when PROJ has no
// result. PROJ picks the inverse's transformation by the area of use in
// grid numbers, the forward's by the area in degrees, and just outside an
// area the two differ (west of Italy's mainland set the forward takes a
// ballpark shift 80 m away). So the answer is checked by the forward and
// inverted again with the forward's transformation when that does not give
// the numbers back. Where two areas overlap, grid numbers can have a
// preimage under each set; the first one found is kept (in a strip of the
// width of the sets' difference, 2 to 4 m at Italy's south coast).
std::optional<LatLon> Inverse(const Transform& t, const NorthEast& p) {
  if (t.pj == nullptr) return std::nullopt;
  const PJ_COORD in = t.northFirst ? proj_coord(p.north, p.east, 0, HUGE_VAL) : proj_coord(p.east, p.north, 0, HUGE_VAL);
  const std::optional<LatLon> first = Finite(proj_trans(t.pj, PJ_INV, in));
  if (!first) {
    proj_errno_reset(t.pj);
    return std::nullopt;
  }
  const PJ_COORD again = proj_trans(t.pj, PJ_FWD, proj_coord(first->latitude, first->longitude, 0, HUGE_VAL));
  if (std::hypot(again.v[0] - in.v[0], again.v[1] - in.v[1]) <= t.closeEnough) return first;
  proj_errno_reset(t.pj);
  PJ* forwardOperation = proj_trans_get_last_used_operation(t.pj);
  if (forwardOperation == nullptr) return first;
  const std::optional<LatLon> second = Finite(proj_trans(forwardOperation, PJ_INV, in));
  proj_destroy(forwardOperation);
  return second ? second : first;
}

}  // namespace

int AccurateCrsCode(CoordFormat format) {
  switch (format) {
    case CoordFormat::Netherlands: return 28992;   // Amersfoort / RD New
    case CoordFormat::Britain: return 27700;       // OSGB36 / British National Grid
    case CoordFormat::Finland1: return 2391;       // KKJ / Finland zone 1
    case CoordFormat::Finland2: return 2392;       // KKJ / Finland zone 2
    case CoordFormat::Finland3: return 2393;       // KKJ / Finland Uniform Coordinate System
    case CoordFormat::Finland4: return 2394;       // KKJ / Finland zone 4
    case CoordFormat::Ireland: return 29903;       // TM75 / Irish Grid
    case CoordFormat::Italy1: return 3003;         // Monte Mario / Italy zone 1
    case CoordFormat::Italy2: return 3004;         // Monte Mario / Italy zone 2
    case CoordFormat::SwedenRt90: return 3021;     // RT90 2.5 gon V
    case CoordFormat::Switzerland: return 21781;   // CH1903 / LV03
    case CoordFormat::Nzgd49: return 4272;         // NZGD49 degrees
    case CoordFormat::Nzmg: return 27200;          // NZGD49 / New Zealand Map Grid
    default: return 0;
  }
}

AccurateOperation DescribeAccurate(CoordFormat format) {
  const int code = AccurateCrsCode(format);
  if (code == 0) {
    AccurateOperation none;
    none.problem = "the format keeps its WGS-84 numbers";
    return none;
  }
  return Proj().Describe(format, code);
}

std::string_view ProjVersion() { return proj_info().version; }

GeoResult<FormatNumbers> AccuratePositionNumbers(CoordFormat format, double lat, double lon) {
  if (CoordFormatName(format).empty()) return GeoFailure::UnknownFormat;
  const int code = AccurateCrsCode(format);
  if (code == 0) return PositionNumbers(format, lat, lon);
  if (!std::isfinite(lat) || !std::isfinite(lon)) return GeoFailure::NotFinite;
  if (format == CoordFormat::Nzmg) {
    int status = 0;
    if (!NzmgFromLatLon(lat, lon, &status)) return GeoFailure::NotFinite;
    if ((status & (kNzmgLatitudeOut | kNzmgLongitudeOut)) != 0) return FormatNumbers{};
  }
  const std::optional<NorthEast> p = Forward(Proj().Get(format, code), lat, lon);
  if (!p) return GeoFailure::NotFinite;
  if (NorthComesFirst(format)) return FormatNumbers{p->north, p->east, {}};
  return FormatNumbers{p->east, p->north, {}};
}

GeoResult<LatLon> AccuratePositionFromNumbers(CoordFormat format, double first, double second,
                                              std::string_view zone) {
  if (CoordFormatName(format).empty()) return GeoFailure::UnknownFormat;
  const int code = AccurateCrsCode(format);
  if (code == 0) return PositionFromNumbers(format, first, second, zone);
  if (!std::isfinite(first) || !std::isfinite(second)) return GeoFailure::NotFinite;
  const NorthEast p = NorthComesFirst(format) ? NorthEast{first, second} : NorthEast{second, first};
  if (format == CoordFormat::Nzmg && !(p.east >= kNzmgMinEasting && p.east <= kNzmgMaxEasting &&
                                       p.north >= kNzmgMinNorthing && p.north <= kNzmgMaxNorthing))
    return GeoFailure::OutsideGrid;
  const std::optional<LatLon> wgs = Inverse(Proj().Get(format, code), p);
  if (!wgs) return GeoFailure::OutsideGrid;
  return *wgs;
}

GeoResult<FormatNumbers> PositionNumbers(DatumMode mode, CoordFormat format, double lat, double lon) {
  if (mode == DatumMode::Accurate) return AccuratePositionNumbers(format, lat, lon);
  return PositionNumbers(format, lat, lon);
}

GeoResult<LatLon> PositionFromNumbers(DatumMode mode, CoordFormat format, double first, double second,
                                      std::string_view zone) {
  if (mode == DatumMode::Accurate) return AccuratePositionFromNumbers(format, first, second, zone);
  return PositionFromNumbers(format, first, second, zone);
}

PositionText FormatPosition(DatumMode mode, CoordFormat format, double lat, double lon, PositionLayout layout) {
  if (mode != DatumMode::Accurate) return FormatPosition(format, lat, lon, layout);
  const GeoResult<FormatNumbers> n = AccuratePositionNumbers(format, lat, lon);
  if (!n) return {};
  return FormatPositionNumbers(format, *n, layout);
}

EditFields FillEditFields(DatumMode mode, CoordFormat format, double lat, double lon) {
  if (mode != DatumMode::Accurate) return FillEditFields(format, lat, lon);
  const GeoResult<FormatNumbers> n = AccuratePositionNumbers(format, lat, lon);
  return FillEditFieldsFromNumbers(format, n ? &*n : nullptr);
}

GeoResult<LatLon> ReadEditFields(DatumMode mode, CoordFormat format, const EditFields& fields) {
  if (mode != DatumMode::Accurate) return ReadEditFields(format, fields);
  const GeoResult<FormatNumbers> n = ReadEditFieldNumbers(format, fields);
  if (!n) return n.error();
  return AccuratePositionFromNumbers(format, n->first, n->second, n->zone);
}

}  // namespace tarvo
