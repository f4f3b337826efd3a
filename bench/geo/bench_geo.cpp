// Conversions per second of every coordinate format: the numbers forward
// (WGS-84 -> format), the texts forward, and the inverse (numbers -> WGS-84),
// each over 1024 points spread over the format's area.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/geo/coord_format.h"
#include "core/geo/edit_fields.h"
#include "core/proj/accurate_datum.h"

namespace {

using namespace tarvo;

struct Area {
  double minLat, maxLat, minLon, maxLon;
};

Area AreaOf(CoordFormat format) {
  switch (format) {
    case CoordFormat::UtmWgs84: return {-70, 70, 6.2, 11.8};
    case CoordFormat::UtmInternational: return {-60, 70, 12.2, 17.8};
    case CoordFormat::Netherlands: return {51.3, 53.4, 3.5, 7.1};
    case CoordFormat::Britain: return {50, 58.5, -7.5, 1.7};
    case CoordFormat::Finland1: return {60, 69, 19.5, 22.5};
    case CoordFormat::Finland2: return {60, 69, 22.5, 25.5};
    case CoordFormat::Finland3: return {60, 69, 25.5, 28.5};
    case CoordFormat::Finland4: return {60.5, 68, 28.5, 31.5};
    case CoordFormat::Ireland: return {51.5, 55.3, -10.4, -5.5};
    case CoordFormat::Italy1: return {37, 47, 6.6, 12};
    case CoordFormat::Italy2: return {37, 47, 12, 18.5};
    case CoordFormat::SwedenRt90:
    case CoordFormat::SwedenSweref93: return {55.5, 68.5, 11.5, 21};
    case CoordFormat::Switzerland: return {45.9, 47.7, 6, 10.4};
    case CoordFormat::Nzgd49:
    case CoordFormat::Nzmg: return {-47, -34.5, 166.5, 178.5};
    default: return {-80, 80, -179, 179};
  }
}

std::vector<LatLon> Points(CoordFormat format) {
  const Area a = AreaOf(format);
  std::vector<LatLon> points;
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 32; ++j)
      points.push_back({a.minLat + (a.maxLat - a.minLat) * (i + 0.37) / 32, a.minLon + (a.maxLon - a.minLon) * (j + 0.61) / 32});
  return points;
}

void Forward(benchmark::State& state) {
  const CoordFormat format = *CoordFormatFromIndex(static_cast<int>(state.range(0)));
  const std::vector<LatLon> points = Points(format);
  size_t k = 0;
  for (auto _ : state) {
    const LatLon& p = points[k++ & 1023];
    benchmark::DoNotOptimize(PositionNumbers(format, p.latitude, p.longitude));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::string(CoordFormatName(format)));
}

void ForwardText(benchmark::State& state) {
  const CoordFormat format = *CoordFormatFromIndex(static_cast<int>(state.range(0)));
  const std::vector<LatLon> points = Points(format);
  size_t k = 0;
  for (auto _ : state) {
    const LatLon& p = points[k++ & 1023];
    benchmark::DoNotOptimize(FormatPosition(format, p.latitude, p.longitude, PositionLayout::TwoField));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::string(CoordFormatName(format)));
}

void Inverse(benchmark::State& state) {
  const CoordFormat format = *CoordFormatFromIndex(static_cast<int>(state.range(0)));
  std::vector<FormatNumbers> numbers;
  for (const LatLon& p : Points(format))
    if (const auto n = PositionNumbers(format, p.latitude, p.longitude)) numbers.push_back(*n);
  size_t k = 0;
  for (auto _ : state) {
    const FormatNumbers& n = numbers[k++ % numbers.size()];
    benchmark::DoNotOptimize(PositionFromNumbers(format, n.first, n.second, n.zone));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::string(CoordFormatName(format)));
}

void ReadFields(benchmark::State& state) {
  const CoordFormat format = *CoordFormatFromIndex(static_cast<int>(state.range(0)));
  std::vector<EditFields> fields;
  for (const LatLon& p : Points(format)) fields.push_back(FillEditFields(format, p.latitude, p.longitude));
  size_t k = 0;
  for (auto _ : state) benchmark::DoNotOptimize(ReadEditFields(format, fields[k++ & 1023]));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::string(CoordFormatName(format)));
}

// The accurate datum mode (PROJ) of the national grids, forward and inverse.
void AccurateForward(benchmark::State& state) {
  const CoordFormat format = *CoordFormatFromIndex(static_cast<int>(state.range(0)));
  const std::vector<LatLon> points = Points(format);
  size_t k = 0;
  for (auto _ : state) {
    const LatLon& p = points[k++ & 1023];
    benchmark::DoNotOptimize(PositionNumbers(DatumMode::Accurate, format, p.latitude, p.longitude));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::string(CoordFormatName(format)));
}

void AccurateInverse(benchmark::State& state) {
  const CoordFormat format = *CoordFormatFromIndex(static_cast<int>(state.range(0)));
  std::vector<FormatNumbers> numbers;
  for (const LatLon& p : Points(format))
    if (const auto n = PositionNumbers(DatumMode::Accurate, format, p.latitude, p.longitude)) numbers.push_back(*n);
  size_t k = 0;
  for (auto _ : state) {
    const FormatNumbers& n = numbers[k++ % numbers.size()];
    benchmark::DoNotOptimize(PositionFromNumbers(DatumMode::Accurate, format, n.first, n.second, n.zone));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel(std::string(CoordFormatName(format)));
}

void AccurateGrids(benchmark::internal::Benchmark* b) {
  for (const CoordFormat f : kAllCoordFormats)
    if (AccurateCrsCode(f) != 0) b->Arg(static_cast<int>(f));
}

BENCHMARK(Forward)->DenseRange(0, kCoordFormatCount - 1);
BENCHMARK(AccurateForward)->Apply(AccurateGrids);
BENCHMARK(AccurateInverse)->Apply(AccurateGrids);
BENCHMARK(ForwardText)->DenseRange(0, kCoordFormatCount - 1);
BENCHMARK(Inverse)->DenseRange(0, kCoordFormatCount - 1);
BENCHMARK(ReadFields)->DenseRange(0, kCoordFormatCount - 1);

}  // namespace

BENCHMARK_MAIN();
