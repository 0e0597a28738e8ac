// One step of the OK button's hover fade (78 × 33): the frame made from the old look and
// blended with the new one, as each timer tick does, with the normal and hot looks painted
// from the skin "Topaz". The yardsticks are memcpy of the same bytes and memcpy's bandwidth
// over a full-HD bitmap.
#include <benchmark/benchmark.h>

#include <cstring>

#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sPaintEngine.h"
#include "skin/sSkinLoader.h"

using namespace evesk;

namespace {

constexpr int OkW = 78, OkH = 33;

struct TButtonLooks {
  TBitmap Normal, Hot;
  TButtonLooks() {
    TacDiskFiles disk;
    TMemoryStream out;
    WriteSkinArchive(out, ReadFolderSkin(disk, std::string(EVESK_ASSETS) + "/Topaz"));
    TMemoryStream source(out.Bytes());
    TacSkinConvertor reader;
    reader.SetSource(&source);
    reader.ReadArchive();
    TsSkinTables tables;
    BuildSkinTables(tables, ArchiveOptions(reader), ArchiveImageLoader(reader), TsSkinBuild{});
    const int section = tables.GetSectionIndex("BUTTON");
    const TCacheInfo parent{nullptr, 0, 0, 0xF0F0F0, false};
    for (TBitmap* b : {&Normal, &Hot}) {
      b->SetSize(OkW, OkH, TPixelFormat::pf24bit);
      PaintItem(tables, section, "BUTTON", parent, -1, -1, *b, TacPoint{322, 360}, BoundsOf(*b), b == &Hot, true);
    }
  }
};

const TButtonLooks& Looks() {
  static const TButtonLooks looks;
  return looks;
}

// Step 10 of 20: the frame is a copy of the old look with the new one blended in.
void BM_FadeStep(benchmark::State& state) {
  const TButtonLooks& looks = Looks();
  TBitmap frame;
  const int level = 10, iterations = 20;
  const int weight = 255 - level * 256 / iterations;
  for (auto _ : state) {
    frame.Assign(looks.Normal);
    BlendBitmaps(frame, looks.Hot, weight, TacPoint{0, 0}, BoundsOf(looks.Hot));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * looks.Normal.Stride() * OkH));
}

// The same bytes copied twice (the copy and the blend's pass), nothing computed.
void BM_MemcpyOkTwice(benchmark::State& state) {
  const TButtonLooks& looks = Looks();
  TBitmap frame;
  frame.SetSize(OkW, OkH, TPixelFormat::pf24bit);
  const std::size_t bytes = looks.Normal.Stride() * OkH;
  for (auto _ : state) {
    std::memcpy(frame.ScanLine(0), looks.Normal.ScanLine(0), bytes);
    std::memcpy(frame.ScanLine(0), looks.Hot.ScanLine(0), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_MemcpyFullHD(benchmark::State& state) {
  TBitmap a, b;
  a.SetSize(1920, 1080, TPixelFormat::pf24bit), b.SetSize(1920, 1080, TPixelFormat::pf24bit);
  std::memset(a.ScanLine(0), 0x5A, a.Stride() * 1080);
  const std::size_t bytes = a.Stride() * 1080;
  for (auto _ : state) {
    std::memcpy(b.ScanLine(0), a.ScanLine(0), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

}  // namespace

BENCHMARK(BM_FadeStep);
BENCHMARK(BM_MemcpyOkTwice);
BENCHMARK(BM_MemcpyFullHD)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
