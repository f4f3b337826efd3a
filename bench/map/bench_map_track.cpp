// The map page's repaint, offscreen, with a whole 1,000,000-point track: a
// 1920 x 1080 map area of a 6,000 x 6,000 picture at each zoom, the view
// moved before every repaint. The peer is the same page with the track
// switched off, in the same run. Target: 16 ms per repaint with the track.
// Times are the thread's processor time. Usage: bench_map_track [repeats]
#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "core/map/map_files.h"
#include "gui/map/map_page.h"
#include "page_fixture.h"

namespace {

using namespace tarvo;

constexpr int kMapSide = 6000;
constexpr int kAreaWidth = 1920;
constexpr int kAreaHeight = 1080;
constexpr int kTrackPoints = 1000000;
constexpr double kTargetMs = 16.0;
// Calibration: 0.5 degree across the picture, from 46.5 N 8 E.
constexpr double kNorth = 46.5, kWest = 8.0, kSpan = 0.5;

class BenchTrack : public TrackOverlay {
 public:
  const std::vector<LatLon>& trackPositions() const override { return points; }
  uint64_t trackRevision() const override { return 1; }
  std::vector<LatLon> points;
};

double ThreadMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QTemporaryDir home;
  setenv("XDG_CONFIG_HOME", qPrintable(home.path()), 1);
  setenv("XDG_DATA_HOME", qPrintable(home.path()), 1);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  const int repeats = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;

  QImage picture(kMapSide, kMapSide, QImage::Format_RGB32);
  for (int y = 0; y < kMapSide; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(picture.scanLine(y));
    for (int x = 0; x < kMapSide; ++x)
      row[x] = 0xFF000000u | static_cast<uint32_t>(((x + y) & 0xFF) << 16 | ((x * 3) & 0xFF) << 8 | (y & 0xFF));
  }
  const QString file = home.path() + "/big.bmp";
  if (!picture.save(file, "BMP")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return 1;
  }
  CalibrationData cal;
  cal.refPoints[0] = RefPoint{0, 0, kNorth, kWest};
  cal.refPoints[1] = RefPoint{kMapSide, kMapSide, kNorth - kSpan, kWest + kSpan};
  SaveCalibrationFile(file.toStdString(), cal);

  // A random walk over the whole picture, a point every few metres.
  BenchTrack track;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> step(-0.0006, 0.0006);
  double lat = kNorth - kSpan / 2, lon = kWest + kSpan / 2;
  track.points.reserve(kTrackPoints);
  for (int i = 0; i < kTrackPoints; ++i) {
    lat = std::clamp(lat + step(rng), kNorth - kSpan, kNorth);
    lon = std::clamp(lon + step(rng), kWest, kWest + kSpan);
    track.points.push_back({lat, lon});
  }

  std::printf("map page repaint, %dx%d area of a %dx%d map, with and without a %d-point track (median of %d)\n",
              kAreaWidth, kAreaHeight, kMapSide, kMapSide, kTrackPoints, repeats);
  std::printf("%-6s %12s %12s %10s %8s\n", "zoom", "track ms", "no track ms", "ratio", "< 16 ms");
  std::vector<std::vector<double>> times(2);
  std::vector<double> zooms;
  for (int withTrack = 1; withTrack >= 0; --withTrack) {
    tarvo::testing::TestPageHost host(home.path().toStdString() + "/Pathlet" + std::to_string(withTrack) + ".ini");
    host.track = &track;
    host.settings().SetPageText(Key::MapFile, file.toStdString());
    host.settings().SetPageValues({{Key::MapShowTrip, withTrack}, {Key::MapShowPoi, 0}});
    MapPage page(host);
    page.resize(kAreaWidth + 16, kAreaHeight + 16);
    page.OnCreate();
    if (page.mapArea().size() != QSize(kAreaWidth, kAreaHeight) || !page.image().IsValid()) {
      std::fprintf(stderr, "map page not set up\n");
      return 1;
    }
    const double first = ThreadMs();
    page.RenderMap();  // the track's pixel route is made once, here
    if (withTrack) std::printf("first repaint (pixel route of the whole track): %.1f ms\n", ThreadMs() - first);
    for (int z = 0; z < 2; ++z) page.Zoom(false);  // 0.25
    for (int level = 0; level < 6; ++level) {
      if (withTrack) zooms.push_back(page.zoom());
      std::vector<double> ms;
      for (int r = 0; r < repeats; ++r) {
        page.CenterOnPixel({kMapSide / 2 + (r % 2) * 7, kMapSide / 2 + (r % 2) * 5});
        const double t = ThreadMs();
        page.RenderMap();
        ms.push_back(ThreadMs() - t);
      }
      times[withTrack ? 0 : 1].push_back(Median(ms));
      page.Zoom(true);
    }
  }
  for (std::size_t i = 0; i < zooms.size(); ++i) {
    const double a = times[0][i], b = times[1][i];
    std::printf("%-6g %12.2f %12.2f %10.2f %8s\n", zooms[i], a, b, a / b, a < kTargetMs ? "met" : "MISSED");
  }
  return 0;
}
