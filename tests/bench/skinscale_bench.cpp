// Taking the internal skin "Topaz" from 96 dpi to 120, 144 and 192 dpi once its tables are
// built: what a reader at 125, 150 or 200 % pays on top of the load at start and at a DPI
// change. Each run scales a freshly built copy; the build itself is not timed.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skin/sSkinLoader.h"

using namespace evesk;

namespace {

const std::string SkinFolder = std::string(EVESK_ASSETS) + "/Topaz";

struct TTopaz {
  TsSkinOptions Options;
  TsSkinTables Tables;
  TTopaz() {
    static TacDiskFiles disk;
    const std::vector<std::uint8_t> text = disk.ReadFile(SkinFolder + "/Options.dat");
    Options.SetText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    BuildSkinTables(Tables, Options, FolderImageLoader(disk, SkinFolder + "\\"), TsSkinBuild());
  }
};

void BM_RescaleTopaz(benchmark::State& state) {
  const int dpi = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto skin = std::make_unique<TTopaz>();
    state.ResumeTiming();
    skin->Tables.Rescale(dpi, 96);
    benchmark::DoNotOptimize(skin->Tables.MasterBitmap());
    state.PauseTiming();
    skin.reset();  // freed outside the timing
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RescaleTopaz)->Arg(120)->Arg(144)->Arg(192)->Unit(benchmark::kMillisecond);

// The load the scale comes on top of, for comparison.
void BM_BuildTopaz(benchmark::State& state) {
  for (auto _ : state) {
    TTopaz skin;
    benchmark::DoNotOptimize(skin.Tables.MasterBitmap());
  }
}
BENCHMARK(BM_BuildTopaz)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
