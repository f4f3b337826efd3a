// The map page's repaint, offscreen: a 1920 x 1080 map area at each zoom,
// with a 100,000-point track and 1,000 POIs shown, the view moved before
// every repaint so the picture is scaled anew each time. The picture is
// the file TARVO_BENCH_MAP names (bench_map_image.sh passes its generated
// 16,000 x 16,000 JPEG), else a generated 6,000 x 6,000 BMP. The peer is
// Qt's own nearest-pixel draw of the same picture area (QPainter::drawImage
// of the picture as a QImage, no overlays), in the same run. Target: 8 ms
// per repaint. Times are the thread's processor time, and wall time.
// Usage: bench_map_page [repeats]
#include <QApplication>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <clocale>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "core/map/map_files.h"
#include "core/map/map_image.h"
#include "core/poi/poi_list.h"
#include "gui/map/map_page.h"
#include "page_fixture.h"

namespace {

using namespace tarvo;

constexpr int kGeneratedSide = 6000;
constexpr int kAreaWidth = 1920;
constexpr int kAreaHeight = 1080;
constexpr int kTrackPoints = 100000;
constexpr int kPois = 1000;
// Calibration: 0.5 degree across the picture, from 46.5 N 8 E.
constexpr double kNorth = 46.5, kWest = 8.0, kSpan = 0.5;

class BenchPois : public PoiCommands {
 public:
  const PoiList& list() const override { return list_; }
  std::vector<std::size_t> displayOrder() const override { return {}; }
  int selectedIndex() const override { return -1; }
  void SelectLocation(std::size_t) override {}
  bool AddLocation(LatLon, const std::string&) override { return false; }
  bool EditLocation(std::size_t) override { return false; }
  bool DeleteLocation(std::size_t) override { return false; }
  bool MoveLocation(std::size_t, LatLon) override { return false; }
  void SetGoToTarget(LatLon, const std::string&) override {}
  void RecomputeMapPositions() override {}
  PoiList list_;
};

class BenchTrack : public TrackOverlay {
 public:
  const std::vector<LatLon>& trackPositions() const override { return points; }
  uint64_t trackRevision() const override { return 1; }
  std::vector<LatLon> points;
};

// Processor time of this thread, in milliseconds: the machine may be
// shared, and wall time would then count other programs' work.
double ThreadMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double WallMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The picture as Qt's peer draws it: 32-bit RGB rows from MapImage.
QImage AsQImage(const MapImage& image) {
  QImage out(image.Width(), image.Height(), QImage::Format_RGB32);
  if (out.isNull()) return out;
  for (int y = 0; y < image.Height(); ++y)
    image.ScaleRegion({0, y, image.Width(), 1}, image.Width(), 1, reinterpret_cast<uint32_t*>(out.scanLine(y)),
                      static_cast<size_t>(out.bytesPerLine()));
  return out;
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
  const int repeats = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;

  QString file = qEnvironmentVariable("TARVO_BENCH_MAP");
  if (file.isEmpty()) {
    // A picture with some structure (diagonal bands), written as BMP.
    QImage picture(kGeneratedSide, kGeneratedSide, QImage::Format_RGB32);
    for (int y = 0; y < kGeneratedSide; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(picture.scanLine(y));
      for (int x = 0; x < kGeneratedSide; ++x)
        row[x] = 0xFF000000u | static_cast<uint32_t>(((x + y) & 0xFF) << 16 | ((x * 3) & 0xFF) << 8 | (y & 0xFF));
    }
    file = home.path() + "/big.bmp";
    if (!picture.save(file, "BMP")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  MapImage decoded;
  const auto kind = ImageKindFromFileName(file.toStdString());
  if (!kind || !decoded.LoadFromFile(file.toStdString(), *kind)) {
    std::fprintf(stderr, "cannot decode %s\n", qPrintable(file));
    return 1;
  }
  const int mapWidth = decoded.Width(), mapHeight = decoded.Height();
  const QImage picture = AsQImage(decoded);
  decoded = MapImage{};
  if (picture.isNull()) {
    std::fprintf(stderr, "no memory for the peer's picture\n");
    return 1;
  }
  // The calibration goes beside the picture, where the page reads it.
  CalibrationData cal;
  cal.refPoints[0] = RefPoint{0, 0, kNorth, kWest};
  cal.refPoints[1] = RefPoint{mapWidth, mapHeight, kNorth - kSpan, kWest + kSpan};
  SaveCalibrationFile(file.toStdString(), cal);

  // The track: a random walk over the whole picture; the POIs: uniform.
  BenchTrack track;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> step(-0.002, 0.002), anywhere(0.0, kSpan);
  double lat = kNorth - kSpan / 2, lon = kWest + kSpan / 2;
  for (int i = 0; i < kTrackPoints; ++i) {
    lat = std::clamp(lat + step(rng), kNorth - kSpan, kNorth);
    lon = std::clamp(lon + step(rng), kWest, kWest + kSpan);
    track.points.push_back({lat, lon});
  }
  BenchPois pois;
  for (int i = 0; i < kPois; ++i)
    pois.list_.Add(kNorth - anywhere(rng), kWest + anywhere(rng), "POI " + std::to_string(i), "P" + std::to_string(i));

  tarvo::testing::TestPageHost host((home.path() + "/Pathlet.ini").toStdString());
  host.track = &track;
  host.pois = &pois;
  host.settings().SetPageText(Key::MapFile, file.toStdString());
  // TARVO_BENCH_LAYERS=image leaves the track and the POIs out.
  const bool overlays = qEnvironmentVariable("TARVO_BENCH_LAYERS") != "image";
  host.settings().SetPageValues(
      {{Key::MapShowTrip, overlays}, {Key::MapShowPoi, overlays}, {Key::MapShowPoiName, overlays}});
  MapPage page(host);
  page.resize(kAreaWidth + 16, kAreaHeight + 16);
  page.OnCreate();
  if (page.mapArea().size() != QSize(kAreaWidth, kAreaHeight) || !page.image().IsValid()) {
    std::fprintf(stderr, "map page not set up\n");
    return 1;
  }
  page.RenderMap();  // the track's pixel route is made once, here

  std::printf("map page repaint, %dx%d area of a %dx%d map (%s), %d track points, %d POIs (median of %d)\n",
              kAreaWidth, kAreaHeight, mapWidth, mapHeight, qPrintable(QFileInfo(file).fileName()), kTrackPoints,
              kPois, repeats);
  std::printf("%-6s %10s %10s %10s %10s %9s %8s\n", "zoom", "page cpu", "page wall", "Qt cpu", "Qt wall", "page/Qt",
              "< 8 ms");
  for (int z = 0; z < 2; ++z) page.Zoom(false);  // 0.25
  for (int level = 0; level < 6; ++level) {
    const double zoom = page.zoom();
    std::vector<double> ours, peer, oursWall, peerWall;
    QImage target(kAreaWidth, kAreaHeight, QImage::Format_RGB32);
    for (int r = 0; r < repeats; ++r) {
      page.CenterOnPixel({mapWidth / 2 + (r % 2) * 7, mapHeight / 2 + (r % 2) * 5});
      double t = ThreadMs(), w = WallMs();
      page.RenderMap();
      ours.push_back(ThreadMs() - t);
      oursWall.push_back(WallMs() - w);

      const MapPixel s = page.scroll();
      const QRect source(s.x, s.y, static_cast<int>(kAreaWidth / zoom), static_cast<int>(kAreaHeight / zoom));
      t = ThreadMs();
      w = WallMs();
      {
        QPainter p(&target);
        p.drawImage(QRect(0, 0, kAreaWidth, kAreaHeight), picture, source);
      }
      peer.push_back(ThreadMs() - t);
      peerWall.push_back(WallMs() - w);
    }
    const double a = Median(ours), b = Median(peer);
    std::printf("%-6g %10.2f %10.2f %10.2f %10.2f %9.2f %8s\n", zoom, a, Median(oursWall), b, Median(peerWall), a / b,
                a < 8.0 ? "met" : "MISSED");
    page.Zoom(true);
  }
  return 0;
}
