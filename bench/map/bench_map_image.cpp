// One ScaleRegion of a 1920 x 1080 map area, the picture part of a map
// repaint, at each zoom of the map page (0.25 to 8), on the generated
// 16,000 x 16,000 JPEG map named by TARVO_BENCH_MAP (bench_map_image.sh
// makes it). The source rectangle is centred; at zoom z it is 1920/z x 1080/z
// picture pixels.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "core/map/map_image.h"

namespace {

constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 1080;

const tarvo::MapImage* Map() {
  static std::unique_ptr<tarvo::MapImage> map = [] {
    auto image = std::make_unique<tarvo::MapImage>();
    const char* path = std::getenv("TARVO_BENCH_MAP");
    if (path == nullptr || !image->LoadFromFile(path, tarvo::ImageKind::Jpeg)) image.reset();
    return image;
  }();
  return map.get();
}

void ScaleRegion(benchmark::State& state) {
  const tarvo::MapImage* map = Map();
  if (map == nullptr) {
    state.SkipWithError("set TARVO_BENCH_MAP to a JPEG map (bench_map_image.sh does)");
    return;
  }
  const double zoom = static_cast<double>(state.range(0)) / 100.0;
  const int sourceWidth = static_cast<int>(kViewWidth / zoom);
  const int sourceHeight = static_cast<int>(kViewHeight / zoom);
  const tarvo::ImageRect source{(map->Width() - sourceWidth) / 2, (map->Height() - sourceHeight) / 2, sourceWidth,
                                sourceHeight};
  std::vector<std::uint32_t> out(static_cast<size_t>(kViewWidth) * kViewHeight);
  for (auto _ : state) {
    map->ScaleRegion(source, kViewWidth, kViewHeight, out.data(), kViewWidth * 4);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel("zoom " + std::to_string(zoom).substr(0, 4));
}
BENCHMARK(ScaleRegion)->Arg(25)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
