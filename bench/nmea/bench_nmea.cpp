// Sentences per second of each parser, through DispatchSentence as the
// connection controller calls it, plus the framing alone and an ignored type.
// Each benchmark cycles through a few realistic sentences of its type so that
// the smoothing rings and the GSV cycle see changing input.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/gps/nmea.h"

namespace {

using tarvo::DispatchSentence;
using tarvo::ParseOptions;
using tarvo::ReceiverState;

const std::vector<std::string> kGga = {
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47",
    "$GNGGA,092725.00,4717.11399,N,00833.91590,E,1,08,1.01,499.6,M,48.0,M,,*45",
    "$GPGGA,083012.00,4622.0966,N,01406.0542,E,1,09,0.8,478.3,M,46.9,M,,*6D",
};
const std::vector<std::string> kRmc = {
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
    "$GNRMC,092725.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A*40",
    "$GPRMC,083012.00,A,4622.0966,N,01406.0542,E,4.8,271.3,150624,4.6,E,A*3B",
};
const std::vector<std::string> kGsa = {
    "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
    "$GNGSA,A,3,80,71,73,79,69,,,,,,,,1.83,1.09,1.47*17",
};
const std::vector<std::string> kGsv = {
    "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74",
    "$GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00*74",
    "$GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00,,,,*4D",
};
const std::vector<std::string> kPgrme = {"$PGRME,15.0,M,45.0,M,25.0,M*1C", "$PGRME,3.6,M,5.4,M,6.5,M*29"};
const std::vector<std::string> kPgrmz = {"$PGRMZ,1562,f,3*2B", "$PGRMZ,93,M,3*0A"};
const std::vector<std::string> kVtg = {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48"};

void Dispatch(benchmark::State& state, const std::vector<std::string>* lines) {
  ReceiverState receiver;
  ParseOptions options;
  options.nowUtc = 1718440200;
  for (const std::string& line : *lines) {
    const auto expected = line.find("VTG") != std::string::npos ? tarvo::SentenceStatus::Ignored
                                                                 : tarvo::SentenceStatus::Parsed;
    if (DispatchSentence(line, receiver, options).status != expected) {
      state.SkipWithError(("not parsed as expected: " + line).c_str());
      return;
    }
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const auto result = DispatchSentence((*lines)[i], receiver, options);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(receiver);
    if (result.kind == tarvo::SentenceKind::Gsv && tarvo::GsvCycleComplete(receiver.satelliteView)) {
      tarvo::ClearGsvCycle(receiver.satelliteView);
    }
    if (++i == lines->size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("sentences");
}

void Frame(benchmark::State& state) {
  tarvo::SentenceFrame frame;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tarvo::FrameSentence(kRmc[0], frame));
    benchmark::DoNotOptimize(frame);
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(Dispatch, GGA, &kGga);
BENCHMARK_CAPTURE(Dispatch, RMC, &kRmc);
BENCHMARK_CAPTURE(Dispatch, GSA, &kGsa);
BENCHMARK_CAPTURE(Dispatch, GSV, &kGsv);
BENCHMARK_CAPTURE(Dispatch, PGRME, &kPgrme);
BENCHMARK_CAPTURE(Dispatch, PGRMZ, &kPgrmz);
BENCHMARK_CAPTURE(Dispatch, ignored_VTG, &kVtg);
BENCHMARK(Frame);

}  // namespace

BENCHMARK_MAIN();
