// Loading the internal skin "Topaz" whole (inflating the archive, the options, the tables with
// every image decoded, and a recolouring by 30 degrees) against only inflating its entries:
// what the work after inflation costs on top.
#include <benchmark/benchmark.h>

#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinLoader.h"

using namespace evesk;

namespace {

const std::vector<std::uint8_t>& Archive() {
  static const std::vector<std::uint8_t> bytes = [] {
    TacDiskFiles disk;
    TMemoryStream out;
    WriteSkinArchive(out, ReadFolderSkin(disk, std::string(EVESK_ASSETS) + "/Topaz"));
    return out.Bytes();
  }();
  return bytes;
}

void InflateOnly(benchmark::State& state) {
  TMemoryStream source(Archive());
  for (auto _ : state) {
    TacSkinConvertor reader;
    reader.SetSource(&source);
    if (!reader.ReadArchive()) state.SkipWithError("archive not read");
    benchmark::DoNotOptimize(reader.Images().data());
    reader.ReleaseSource();
  }
}
BENCHMARK(InflateOnly)->Unit(benchmark::kMicrosecond);

void LoadWhole(benchmark::State& state) {
  TMemoryStream source(Archive());
  TsSkinBuild build;
  build.HueOffset = 30;
  for (auto _ : state) {
    TacSkinConvertor reader;
    reader.SetSource(&source);
    if (!reader.ReadArchive()) state.SkipWithError("archive not read");
    const TsSkinOptions options = ArchiveOptions(reader);
    TsSkinTables tables;
    BuildSkinTables(tables, options, ArchiveImageLoader(reader), build);
    benchmark::DoNotOptimize(tables.Masks().data());
    reader.ReleaseSource();
  }
}
BENCHMARK(LoadWhole)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
