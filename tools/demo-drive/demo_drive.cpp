// tarvo-demo-drive: writes the bundled demo drive, a synthetic NMEA 0183
// recording of a drive once round Lake Bled (Slovenia) on the lakeside road,
// at 1 Hz: GGA, RMC, GSA, three GSV, PGRME and PGRMZ every second.
//
//   tarvo-demo-drive [OUTPUT]     (standard output without OUTPUT)
//
// Everything is derived from a fixed seed, so every run writes the same
// bytes; data/demo/demo-drive.nmea is this program's output and a test checks
// that it still is.
//
// The model: the car follows a smooth curve through waypoints of the road,
// with a speed profile limited by the road's speed, the curvature (lateral
// acceleration) and stops, within acceleration and braking limits. The
// receiver sees a GPS constellation of 31 satellites on six circular orbital
// planes (55 degrees inclination, 11 h 58 min period) from the true position;
// signal strength follows elevation, trees by the north shore block low
// satellites in the north, and the fix uses the satellites with good signals.
// DOPs come from that geometry; the reported position wanders around the true
// one by an error that grows with HDOP.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace tarvo::demo {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

// WGS-84.
constexpr double kSemiMajor = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kE2 = kFlattening * (2.0 - kFlattening);
constexpr double kEarthRotation = 7.2921151467e-5;  // rad/s
// GPS orbits.
constexpr double kOrbitRadius = 26559.7e3;            // m
constexpr double kOrbitPeriod = 43082.0;              // s, half a sidereal day
constexpr double kInclination = 55.0 * kDeg;

constexpr double kMetresPerSecondToKnots = 3600.0 / 1852.0;
constexpr double kMetresToFeet = 1.0 / 0.3048;
constexpr double kGeoidSeparation = 46.9;  // m, at Bled
constexpr double kMagneticVariation = 4.6;  // degrees east

// Start of the recording: Saturday 15 June 2024, 08:30:00 UTC (10:30 local).
constexpr int kStartYear = 2024, kStartMonth = 6, kStartDay = 15;
constexpr int kStartSecondOfDay = 8 * 3600 + 30 * 60;

// ---------------------------------------------------------------------------
// A small deterministic random source (SplitMix64), the same on every platform.

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  double Gaussian() {
    const double u = 1.0 - Uniform();
    const double v = Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * kPi * v);
  }

 private:
  uint64_t state_;
};

// ---------------------------------------------------------------------------
// The road: waypoints once round the lake, clockwise from the car park in the
// town centre at the east end (latitude, longitude in degrees).

struct Waypoint {
  double lat;
  double lon;
  double speedLimit;  // km/h from here on
};

constexpr Waypoint kRoute[] = {
    {46.36905, 14.11290, 30},  // car park by the shopping centre
    {46.36860, 14.11180, 30},  // down to the lakeside promenade
    {46.36900, 14.10980, 40},  // Cesta svobode, north-east shore
    {46.36925, 14.10700, 50},  // below the castle rock
    {46.36860, 14.10380, 50},
    {46.36800, 14.10050, 50},  // Veslaška promenada
    {46.36700, 14.09700, 50},
    {46.36640, 14.09350, 50},
    {46.36560, 14.09000, 50},  // Zaka, the rowing centre at the west end
    {46.36390, 14.08760, 30},
    {46.36150, 14.08690, 30},  // round the west bay, camping site
    {46.35980, 14.08880, 15},  // behind the little tourist train
    {46.35920, 14.09230, 15},  // south shore, under Straža
    {46.35960, 14.09650, 50},  // the train turns off
    {46.36030, 14.10080, 50},
    {46.36120, 14.10430, 40},  // Mlino: the pletna boat jetty
    {46.36230, 14.10700, 50},
    {46.36400, 14.10920, 50},
    {46.36600, 14.11050, 40},  // past the grand hotels
    {46.36760, 14.11160, 30},
    {46.36880, 14.11270, 30},
    {46.36905, 14.11290, 30},  // back at the car park
};

// Stops along the way: distance from the start (m), seconds standing.
struct Stop {
  double at;
  double seconds;
};

struct Point {
  double east;   // metres from the route's first point
  double north;
};

// Local plane around the lake (equirectangular; enough over 3 km).
constexpr double kOriginLat = 46.36905, kOriginLon = 14.11290;
const double kMetresPerDegreeLat = 111132.954 - 559.822 * std::cos(2 * kOriginLat * kDeg);
const double kMetresPerDegreeLon = 111412.84 * std::cos(kOriginLat * kDeg);

Point ToPlane(double lat, double lon) {
  return {(lon - kOriginLon) * kMetresPerDegreeLon, (lat - kOriginLat) * kMetresPerDegreeLat};
}
void FromPlane(const Point& p, double& lat, double& lon) {
  lat = kOriginLat + p.north / kMetresPerDegreeLat;
  lon = kOriginLon + p.east / kMetresPerDegreeLon;
}

// The route as a Catmull-Rom curve sampled every metre.
struct RoadSample {
  Point p;
  double heading;     // degrees true
  double curvature;   // 1/m
  double speedLimit;  // m/s
};

std::vector<RoadSample> BuildRoad() {
  constexpr int kCount = sizeof kRoute / sizeof kRoute[0];
  std::vector<Point> fine;
  std::vector<double> limits;
  for (int i = 0; i + 1 < kCount; ++i) {
    const Point p0 = ToPlane(kRoute[i > 0 ? i - 1 : 0].lat, kRoute[i > 0 ? i - 1 : 0].lon);
    const Point p1 = ToPlane(kRoute[i].lat, kRoute[i].lon);
    const Point p2 = ToPlane(kRoute[i + 1].lat, kRoute[i + 1].lon);
    const int j = i + 2 < kCount ? i + 2 : kCount - 1;
    const Point p3 = ToPlane(kRoute[j].lat, kRoute[j].lon);
    for (int k = 0; k < 200; ++k) {
      const double t = k / 200.0;
      const double t2 = t * t, t3 = t2 * t;
      auto blend = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
      };
      fine.push_back({blend(p0.east, p1.east, p2.east, p3.east), blend(p0.north, p1.north, p2.north, p3.north)});
      limits.push_back(kRoute[i].speedLimit / 3.6);
    }
  }
  const Point last = ToPlane(kRoute[kCount - 1].lat, kRoute[kCount - 1].lon);
  fine.push_back(last);
  limits.push_back(limits.back());

  // Resample at 1 m.
  std::vector<RoadSample> road;
  double carried = 0.0;
  road.push_back({fine[0], 0.0, 0.0, limits[0]});
  for (std::size_t i = 1; i < fine.size(); ++i) {
    const double de = fine[i].east - fine[i - 1].east;
    const double dn = fine[i].north - fine[i - 1].north;
    const double length = std::hypot(de, dn);
    double along = 1.0 - carried;
    while (along <= length) {
      const double f = along / length;
      road.push_back({{fine[i - 1].east + de * f, fine[i - 1].north + dn * f}, 0.0, 0.0, limits[i]});
      along += 1.0;
    }
    carried = length - (along - 1.0);
  }
  // Heading and curvature from neighbours 5 m apart.
  const std::size_t n = road.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t a = i >= 5 ? i - 5 : 0;
    const std::size_t b = i + 5 < n ? i + 5 : n - 1;
    const double heading = std::atan2(road[b].p.east - road[a].p.east, road[b].p.north - road[a].p.north);
    road[i].heading = std::fmod(heading / kDeg + 360.0, 360.0);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t a = i >= 10 ? i - 10 : 0;
    const std::size_t b = i + 10 < n ? i + 10 : n - 1;
    double turn = road[b].heading - road[a].heading;
    if (turn > 180.0) turn -= 360.0;
    if (turn < -180.0) turn += 360.0;
    road[i].curvature = b > a ? std::abs(turn * kDeg) / static_cast<double>(b - a) : 0.0;
  }
  return road;
}

// Speed along the road (m/s per metre sample) for one leg between stops:
// limited by the road, by 1.8 m/s^2 of lateral acceleration, by 1.2 m/s^2 of
// acceleration and 2.0 m/s^2 of braking; 0 at both ends.
std::vector<double> SpeedProfile(const std::vector<RoadSample>& road, std::size_t from, std::size_t to) {
  std::vector<double> v(to - from + 1);
  for (std::size_t i = from; i <= to; ++i) {
    const double curve = road[i].curvature > 1e-6 ? std::sqrt(1.8 / road[i].curvature) : 1e9;
    v[i - from] = std::min(road[i].speedLimit, curve);
  }
  v.front() = 0.0;
  v.back() = 0.0;
  for (std::size_t i = 1; i < v.size(); ++i) v[i] = std::min(v[i], std::sqrt(v[i - 1] * v[i - 1] + 2 * 1.2));
  for (std::size_t i = v.size() - 1; i-- > 0;) v[i] = std::min(v[i], std::sqrt(v[i + 1] * v[i + 1] + 2 * 2.0));
  return v;
}

// The true state of the car once per second.
struct CarState {
  Point p;
  double heading = 0.0;
  double speed = 0.0;  // m/s
  bool northShore = false;
};

std::vector<CarState> Drive(const std::vector<RoadSample>& road) {
  const std::size_t last = road.size() - 1;
  const std::vector<Stop> stops = {
      {420.0, 7.0},                       // pedestrian crossing on the promenade
      {1850.0, 45.0},                     // photo stop at Zaka, the view down the lake
      {3850.0, 5.0},                      // give way at Mlino
      {4590.0, 9.0},                      // pedestrians at the grand hotels
      {static_cast<double>(last), 30.0},  // parked again
  };
  // Time, distance and speed at every metre and at the end of every stop;
  // in between the car moves (and changes speed) linearly.
  struct Knot {
    double t, s, v;
  };
  constexpr double kParkedAtStart = 30.0;
  std::vector<Knot> knots = {{0.0, 0.0, 0.0}};
  double t = kParkedAtStart;
  std::size_t from = 0;
  for (const Stop& stop : stops) {
    const auto to = static_cast<std::size_t>(stop.at);
    const std::vector<double> v = SpeedProfile(road, from, to);
    knots.push_back({t, static_cast<double>(from), 0.0});
    for (std::size_t i = from + 1; i <= to; ++i) {
      t += 2.0 / (v[i - from - 1] + v[i - from]);
      knots.push_back({t, static_cast<double>(i), v[i - from]});
    }
    t += stop.seconds;
    from = to;
  }
  knots.push_back({t, static_cast<double>(last), 0.0});

  std::vector<CarState> states;
  std::size_t k = 0;
  for (int second = 0; second <= static_cast<int>(t); ++second) {
    while (k + 2 < knots.size() && knots[k + 1].t <= second) ++k;
    const Knot& a = knots[k];
    const Knot& b = knots[k + 1];
    const double f = b.t > a.t ? std::clamp((second - a.t) / (b.t - a.t), 0.0, 1.0) : 0.0;
    const double distance = a.s + (b.s - a.s) * f;
    const auto i = std::min(static_cast<std::size_t>(distance), last - 1);
    const double g = distance - static_cast<double>(i);
    CarState c;
    c.p = {road[i].p.east + (road[i + 1].p.east - road[i].p.east) * g,
           road[i].p.north + (road[i + 1].p.north - road[i].p.north) * g};
    c.speed = a.v + (b.v - a.v) * f;
    c.heading = road[i].heading;
    c.northShore = c.p.north > -250.0 && c.p.east > -1900.0 && c.p.east < -300.0;
    states.push_back(c);
  }
  return states;
}

// ---------------------------------------------------------------------------
// Satellites.

struct Vec3 {
  double x, y, z;
};

Vec3 GeodeticToEcef(double lat, double lon, double height) {
  const double sl = std::sin(lat * kDeg), cl = std::cos(lat * kDeg);
  const double n = kSemiMajor / std::sqrt(1.0 - kE2 * sl * sl);
  return {(n + height) * cl * std::cos(lon * kDeg), (n + height) * cl * std::sin(lon * kDeg),
          (n * (1.0 - kE2) + height) * sl};
}

struct Orbit {
  int prn;
  double raan;     // right ascension of the ascending node at the start, rad
  double anomaly;  // argument of latitude at the start, rad
};

// 31 satellites on six planes, four to six per plane, PRNs as in a recent
// almanac's spread (not its values).
std::vector<Orbit> Constellation() {
  static const int kPrns[6][6] = {
      {2, 9, 21, 26, 31, 0},  {5, 10, 13, 17, 20, 0}, {3, 8, 15, 22, 27, 29},
      {4, 11, 14, 18, 23, 0}, {6, 12, 16, 24, 30, 0}, {1, 7, 19, 25, 28, 32},
  };
  std::vector<Orbit> orbits;
  for (int plane = 0; plane < 6; ++plane) {
    int count = 0;
    while (count < 6 && kPrns[plane][count] != 0) ++count;
    for (int k = 0; k < count; ++k) {
      const double raan = (plane * 60.0 + 23.0) * kDeg;
      const double anomaly = (k * 360.0 / count + plane * 17.0 + (k % 2) * 9.0) * kDeg;
      orbits.push_back({kPrns[plane][k], raan, anomaly});
    }
  }
  // Missing PRN (a retired one): 31 in use.
  orbits.erase(orbits.begin() + 7);
  return orbits;
}

// Satellite position (ECEF) `t` seconds after the start.
Vec3 SatellitePosition(const Orbit& o, double t) {
  const double u = o.anomaly + 2.0 * kPi * t / kOrbitPeriod;
  const double omega = o.raan - kEarthRotation * t;
  const double xp = kOrbitRadius * std::cos(u);
  const double yp = kOrbitRadius * std::sin(u);
  return {xp * std::cos(omega) - yp * std::cos(kInclination) * std::sin(omega),
          xp * std::sin(omega) + yp * std::cos(kInclination) * std::cos(omega), yp * std::sin(kInclination)};
}

struct SkySatellite {
  int prn;
  double elevation;  // degrees
  double azimuth;    // degrees
  int snr;           // dB-Hz, 0 = not tracked
};

void LookAngles(const Vec3& receiver, double lat, double lon, const Vec3& sat, double& elevation, double& azimuth) {
  const double dx = sat.x - receiver.x, dy = sat.y - receiver.y, dz = sat.z - receiver.z;
  const double sl = std::sin(lat * kDeg), cl = std::cos(lat * kDeg);
  const double so = std::sin(lon * kDeg), co = std::cos(lon * kDeg);
  const double east = -so * dx + co * dy;
  const double north = -sl * co * dx - sl * so * dy + cl * dz;
  const double up = cl * co * dx + cl * so * dy + sl * dz;
  elevation = std::atan2(up, std::hypot(east, north)) / kDeg;
  azimuth = std::fmod(std::atan2(east, north) / kDeg + 360.0, 360.0);
}

// DOPs from the unit vectors to the used satellites.
struct Dops {
  double pdop = 99.9, hdop = 99.9, vdop = 99.9;
};

Dops ComputeDops(const std::vector<SkySatellite>& used) {
  Dops d;
  if (used.size() < 4) return d;
  double m[4][8] = {};
  for (const SkySatellite& s : used) {
    const double ce = std::cos(s.elevation * kDeg);
    const double g[4] = {-ce * std::sin(s.azimuth * kDeg), -ce * std::cos(s.azimuth * kDeg),
                         -std::sin(s.elevation * kDeg), 1.0};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) m[r][c] += g[r] * g[c];
    }
  }
  for (int r = 0; r < 4; ++r) m[r][4 + r] = 1.0;
  for (int c = 0; c < 4; ++c) {  // Gauss-Jordan with partial pivoting
    int pivot = c;
    for (int r = c + 1; r < 4; ++r) {
      if (std::abs(m[r][c]) > std::abs(m[pivot][c])) pivot = r;
    }
    if (std::abs(m[pivot][c]) < 1e-12) return d;
    for (int k = 0; k < 8; ++k) std::swap(m[c][k], m[pivot][k]);
    const double div = m[c][c];
    for (int k = 0; k < 8; ++k) m[c][k] /= div;
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double f = m[r][c];
      for (int k = 0; k < 8; ++k) m[r][k] -= f * m[c][k];
    }
  }
  d.hdop = std::sqrt(m[0][4] + m[1][5]);
  d.vdop = std::sqrt(m[2][6]);
  d.pdop = std::sqrt(m[0][4] + m[1][5] + m[2][6]);
  return d;
}

// ---------------------------------------------------------------------------
// Sentences.

class Writer {
 public:
  explicit Writer(FILE* out) : out_(out) {}
  void Sentence(const char* body) {
    unsigned sum = 0;
    for (const char* c = body; *c != '\0'; ++c) sum ^= static_cast<unsigned char>(*c);
    std::fprintf(out_, "$%s*%02X\r\n", body, sum);
  }

 private:
  FILE* out_;
};

// ddmm.mmmm / dddmm.mmmm and the hemisphere letter.
std::string Angle(double degrees, int degreeDigits, char positive, char negative) {
  const char hemisphere = degrees < 0 ? negative : positive;
  double a = std::abs(degrees);
  int whole = static_cast<int>(a);
  double minutes = (a - whole) * 60.0;
  if (std::round(minutes * 10000.0) >= 600000.0) {  // 59.99995 rounds up to the next degree
    ++whole;
    minutes = 0.0;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%07.4f,%c", degreeDigits, whole, minutes, hemisphere);
  return text;
}

int Write(FILE* out) {
  Writer w(out);
  Random random(20240615);
  const std::vector<RoadSample> road = BuildRoad();
  const std::vector<CarState> drive = Drive(road);
  const std::vector<Orbit> orbits = Constellation();

  double errorEast = 0.0, errorNorth = 0.0, errorUp = 0.0;
  double course = drive.front().heading;
  std::array<double, 33> snrWander{};
  for (double& s : snrWander) s = random.Gaussian();
  constexpr int kNoFixSeconds = 4;  // the receiver is still acquiring

  for (std::size_t s = 0; s < drive.size(); ++s) {
    const CarState& car = drive[s];
    const int second = kStartSecondOfDay + static_cast<int>(s);
    char time[32];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", second / 3600, second / 60 % 60, second % 60);
    char date[16];
    std::snprintf(date, sizeof date, "%02d%02d%02d", kStartDay, kStartMonth, kStartYear % 100);

    double trueLat = 0.0, trueLon = 0.0;
    FromPlane(car.p, trueLat, trueLon);
    const double road = 476.0 + 3.0 * std::sin(car.p.east / 400.0) + 1.5 * std::cos(car.p.north / 170.0);
    const Vec3 receiver = GeodeticToEcef(trueLat, trueLon, road + kGeoidSeparation);

    // The sky.
    std::vector<SkySatellite> sky;
    for (const Orbit& o : orbits) {
      double el = 0.0, az = 0.0;
      LookAngles(receiver, trueLat, trueLon, SatellitePosition(o, static_cast<double>(s)), el, az);
      if (el < 0.0) continue;
      double& wander = snrWander[static_cast<std::size_t>(o.prn)];
      wander = 0.9 * wander + 0.44 * random.Gaussian();
      double snr = 24.0 + 23.0 * std::sqrt(std::sin(el * kDeg)) + 1.5 * wander;
      // Trees under the castle rock shade the low northern sky.
      if (car.northShore && (az > 290.0 || az < 60.0) && el < 30.0) snr -= 12.0;
      const int level = snr < 20.0 || el < 3.0 ? 0 : static_cast<int>(std::lround(std::min(snr, 52.0)));
      sky.push_back({o.prn, el, az, level});
    }
    // At most twelve, the highest; listed by PRN.
    std::sort(sky.begin(), sky.end(), [](const SkySatellite& a, const SkySatellite& b) { return a.elevation > b.elevation; });
    if (sky.size() > 12) sky.resize(12);
    std::sort(sky.begin(), sky.end(), [](const SkySatellite& a, const SkySatellite& b) { return a.prn < b.prn; });
    if (s < 2) {
      for (SkySatellite& sat : sky) sat.snr = sat.elevation > 30.0 ? sat.snr : 0;  // still searching
    }

    std::vector<SkySatellite> used;
    for (const SkySatellite& sat : sky) {
      if (sat.snr >= 30 && sat.elevation >= 5.0) used.push_back(sat);
    }
    const bool fix = s >= kNoFixSeconds && used.size() >= 4;
    const Dops dops = ComputeDops(used);

    // Position error: a slow wander that grows with the DOPs.
    errorEast = 0.93 * errorEast + 0.45 * dops.hdop * random.Gaussian();
    errorNorth = 0.93 * errorNorth + 0.45 * dops.hdop * random.Gaussian();
    errorUp = 0.95 * errorUp + 0.6 * dops.vdop * random.Gaussian();
    double lat = 0.0, lon = 0.0;
    FromPlane({car.p.east + errorEast, car.p.north + errorNorth}, lat, lon);
    const double altitude = road + errorUp;

    // Speed and course as a receiver reports them: a trickle of speed and
    // the last course while standing.
    double knots = car.speed * kMetresPerSecondToKnots;
    if (car.speed < 0.3) {
      knots = std::abs(random.Gaussian()) * 0.06;
    } else {
      knots *= 1.0 + 0.01 * random.Gaussian();
      course = std::fmod(car.heading + 0.4 * random.Gaussian() + 360.0, 360.0);
    }

    char body[128];
    if (fix) {
      std::snprintf(body, sizeof body, "GPGGA,%s,%s,%s,1,%02zu,%.1f,%.1f,M,%.1f,M,,", time,
                    Angle(lat, 2, 'N', 'S').c_str(), Angle(lon, 3, 'E', 'W').c_str(), used.size(), dops.hdop,
                    altitude, kGeoidSeparation);
      w.Sentence(body);
      std::snprintf(body, sizeof body, "GPRMC,%s,A,%s,%s,%.1f,%.1f,%s,%.1f,E,A", time, Angle(lat, 2, 'N', 'S').c_str(),
                    Angle(lon, 3, 'E', 'W').c_str(), knots, course, date, kMagneticVariation);
      w.Sentence(body);
    } else {
      std::snprintf(body, sizeof body, "GPGGA,%s,,,,,0,00,,,M,,M,,", time);
      w.Sentence(body);
      std::snprintf(body, sizeof body, "GPRMC,%s,V,,,,,,,%s,,,N", time, date);
      w.Sentence(body);
    }

    std::string gsa = fix ? "GPGSA,A,3" : "GPGSA,A,1";
    for (std::size_t k = 0; k < 12; ++k) {
      char prn[8] = "";
      if (fix && k < used.size()) std::snprintf(prn, sizeof prn, "%02d", used[k].prn);
      gsa += ",";
      gsa += prn;
    }
    char dopText[48];
    if (fix) {
      std::snprintf(dopText, sizeof dopText, ",%.1f,%.1f,%.1f", dops.pdop, dops.hdop, dops.vdop);
    } else {
      std::snprintf(dopText, sizeof dopText, ",,,");
    }
    gsa += dopText;
    w.Sentence(gsa.c_str());

    const std::size_t messages = (sky.size() + 3) / 4;
    for (std::size_t m = 0; m < messages; ++m) {
      std::string gsv = "GPGSV," + std::to_string(messages) + "," + std::to_string(m + 1) + "," +
                        (sky.size() < 10 ? "0" : "") + std::to_string(sky.size());
      for (std::size_t k = 4 * m; k < sky.size() && k < 4 * m + 4; ++k) {
        char group[32];
        const int el = static_cast<int>(std::lround(sky[k].elevation));
        const int az = static_cast<int>(std::lround(sky[k].azimuth)) % 360;
        if (sky[k].snr > 0) {
          std::snprintf(group, sizeof group, ",%02d,%02d,%03d,%02d", sky[k].prn, el, az, sky[k].snr);
        } else {
          std::snprintf(group, sizeof group, ",%02d,%02d,%03d,", sky[k].prn, el, az);
        }
        gsv += group;
      }
      w.Sentence(gsv.c_str());
    }

    if (fix) {
      const double horizontal = 4.2 * dops.hdop;
      const double vertical = 6.5 * dops.vdop;
      std::snprintf(body, sizeof body, "PGRME,%.1f,M,%.1f,M,%.1f,M", horizontal, vertical,
                    std::hypot(horizontal, vertical));
      w.Sentence(body);
      std::snprintf(body, sizeof body, "PGRMZ,%.0f,f,3", altitude * kMetresToFeet);
      w.Sentence(body);
    } else {
      w.Sentence("PGRME,,M,,M,,M");
      w.Sentence("PGRMZ,,f,1");
    }
  }
  return 0;
}

}  // namespace
}  // namespace tarvo::demo

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && argv[1][0] == '-' && argv[1][1] != '\0')) {
    std::fprintf(stderr, "usage: tarvo-demo-drive [OUTPUT]\n");
    return 1;
  }
  if (argc < 2) return tarvo::demo::Write(stdout);
  // Written beside the target and renamed over it, so a failed run leaves the old file.
  const std::string target = argv[1];
  const std::string temporary = target + ".tmp";
  FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "tarvo-demo-drive: cannot write %s\n", temporary.c_str());
    return 1;
  }
  tarvo::demo::Write(out);
  const bool written = std::fflush(out) == 0 && !std::ferror(out);
  if (std::fclose(out) != 0 || !written || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "tarvo-demo-drive: cannot write %s\n", target.c_str());
    return 1;
  }
  return 0;
}
