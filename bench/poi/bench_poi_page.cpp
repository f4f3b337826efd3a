// Per-fix refresh of the POI page with 100,000 POIs, shown offscreen: a new
// RMC position, the go-to display and the list redrawn (only the rows on
// screen work out bearing and distance). The peer is the same fix with every
// row's bearing, distance and distance text worked out, as a list that
// computes all rows would. Target: under 5 ms per fix.
//
// Run: QT_QPA_PLATFORM=offscreen bench_poi_page
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "core/geo/distance.h"
#include "core/geo/units.h"
#include "core/poi/poi_list.h"
#include "gui/poi/poi_page.h"
#include "tests/gui/page_fixture.h"
#include "tests/unit/gps/test_nmea_util.h"

namespace {

using namespace tarvo;

constexpr int kPoiCount = 100000;

struct Scene {
  QTemporaryDir dir;
  std::unique_ptr<tarvo::testing::TestPageHost> host;
  PoiList list;
  std::unique_ptr<PoiPage> page;
  int step = 0;

  Scene() {
    const std::string file = (dir.path() + "/many.csv").toStdString();
    {
      std::ofstream out(file);
      // A grid of POIs around 52 N 5 E, about 30 km across.
      for (int i = 0; i < kPoiCount; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "\"POI %d\",%.5f,%.5f,\"P%d\"\n", i, 51.85 + (i % 316) * 0.001,
                      4.75 + (i / 316) * 0.0016, i % 1000);
        out << line;
      }
    }
    host = std::make_unique<tarvo::testing::TestPageHost>((dir.path() + "/Pathlet.ini").toStdString());
    host->settings().SetPageText(Key::TrkFile, file);
    host->settings().SetPageValues({{Key::TrackSortType, 4}});  // by distance
    page = std::make_unique<PoiPage>(*host, list);
    page->resize(800, 480);
    page->showMessage = [](const QString&) {};
    page->OnCreate();
    host->SetActivePage(page.get());
    page->show();
    page->SelectLocation(0);
    QApplication::processEvents();
  }

  void Fix() {
    ++step;
    const int minutes = step % 600;
    char body[96];
    std::snprintf(body, sizeof body, "GPRMC,120000,A,5200.%03d,N,00500.000,E,003.5,045.0,081226,,", minutes);
    host->Feed(tarvo::test::Sentence(body));
  }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void BM_PoiPageRefreshPerFix(benchmark::State& state) {
  Scene& s = TheScene();
  const uint64_t cellsBefore = s.page->model()->liveCells();
  for (auto _ : state) {
    s.Fix();
    s.page->OnFix(s.host->currentFix(), kFixPosition | kFixMotion);
    s.page->table()->viewport()->repaint();  // paints now, only the rows on screen
    s.page->repaint();                       // go-to panel and compass
  }
  state.counters["live_cells_per_fix"] =
      static_cast<double>(s.page->model()->liveCells() - cellsBefore) / static_cast<double>(state.iterations());
  state.counters["pois"] = static_cast<double>(s.list.size());
}
BENCHMARK(BM_PoiPageRefreshPerFix)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The peer: every row's bearing, distance and distance text on each fix.
void BM_EveryRowPerFix(benchmark::State& state) {
  Scene& s = TheScene();
  for (auto _ : state) {
    s.Fix();
    const LatLon here = s.host->currentFix().position;
    size_t bytes = 0;
    for (const PoiRecord& r : s.list.records()) {
      const double b = InitialBearing(here.latitude, here.longitude, r.latitude, r.longitude);
      const double d = GreatCircleDistance(here.latitude, here.longitude, r.latitude, r.longitude);
      bytes += FormatDistance(d, DistanceUnit::Metric).size() + (b > 180.0);
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_EveryRowPerFix)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
