// Loading the internal skin "Topaz" whole (inflating the archive, the options, the tables with
// every image decoded, and a recolouring by 30 degrees, or none as the program runs) against
// only inflating its entries: what the work after inflation costs on top.
//
// Each is timed twice. The plain rows repeat one job back to back, and the processor learns its
// branches: the inflation of the same bytes, over and over, takes half to two thirds of the time
// it takes when other work ran before it. The program loads its skin once, at start-up or
// at a skin change, after other work; the "Cold" rows time each job after such work and only
// the job itself, which is the fair comparison of the two.
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "imaging/acBMP.h"
#include "skin/sSkinLoader.h"
#include "skin/sSkinRecolor.h"

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

// Other work between two jobs: data-dependent branches over 4 MB of changing numbers, more than
// the processor's first two cache levels hold.
class TOtherWork {
 public:
  void Run() {
    for (std::uint32_t& d : FData) FSeed ^= FSeed << 13, FSeed ^= FSeed >> 17, FSeed ^= FSeed << 5, d = FSeed;
    for (std::uint32_t d : FData) {
      if (d & 1) FSink += d;
      else if (d & 2) FSink ^= d;
      else if (d & 4) FSink -= d;
      if (d & 8) FSink *= 3;
    }
    benchmark::DoNotOptimize(FSink);
  }

 private:
  std::vector<std::uint32_t> FData = std::vector<std::uint32_t>(1 << 20);
  std::uint32_t FSeed = 12345;
  std::uint64_t FSink = 0;
};

// Times job alone, after other work each time.
template <class Job>
void Cold(benchmark::State& state, Job job) {
  TOtherWork other;
  for (auto _ : state) {
    other.Run();
    const auto start = std::chrono::steady_clock::now();
    job();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void ReadArchive(TMemoryStream& source, benchmark::State& state) {
  TacSkinConvertor reader;
  reader.SetSource(&source);
  if (!reader.ReadArchive()) state.SkipWithError("archive not read");
  benchmark::DoNotOptimize(reader.Images().data());
  reader.ReleaseSource();
}

void LoadSkin(TMemoryStream& source, const TsSkinBuild& build, benchmark::State& state) {
  TacSkinConvertor reader;
  reader.SetSource(&source);
  if (!reader.ReadArchive()) state.SkipWithError("archive not read");
  const TsSkinOptions options = ArchiveOptions(reader);
  TsSkinTables tables;
  BuildSkinTables(tables, options, ArchiveImageLoader(reader), build);
  benchmark::DoNotOptimize(tables.Masks().data());
  reader.ReleaseSource();
}

void InflateOnly(benchmark::State& state) {
  TMemoryStream source(Archive());
  for (auto _ : state) ReadArchive(source, state);
}
BENCHMARK(InflateOnly)->Unit(benchmark::kMicrosecond);

// The same entries through zlib's own one-call inflation, into buffers of the right size: the
// yardstick that does not depend on our reader.
void ZlibUncompress(benchmark::State& state) {
  TMemoryStream source(Archive());
  TacSkinConvertor reader;
  reader.SetSource(&source);
  reader.ReadArchive();
  std::vector<std::vector<std::uint8_t>> packed, unpacked;
  auto add = [&](const std::vector<std::uint8_t>& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    packed.emplace_back(size);
    compress2(packed.back().data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 9);
    packed.back().resize(size);
    unpacked.emplace_back(bytes.size());
  };
  add(reader.Options()->Bytes());
  for (const TacImageEntry& e : reader.Images()) add(e.Data->Bytes());
  reader.ReleaseSource();
  for (auto _ : state) {
    for (std::size_t i = 0; i < packed.size(); ++i) {
      uLongf size = static_cast<uLongf>(unpacked[i].size());
      if (uncompress(unpacked[i].data(), &size, packed[i].data(), static_cast<uLong>(packed[i].size())) != Z_OK)
        state.SkipWithError("entry not inflated");
    }
    benchmark::DoNotOptimize(unpacked.data());
  }
}
BENCHMARK(ZlibUncompress)->Unit(benchmark::kMicrosecond);

void LoadWhole(benchmark::State& state) {
  TMemoryStream source(Archive());
  TsSkinBuild build;
  build.HueOffset = static_cast<int>(state.range(0));  // 30 as the goal asks; 0 as the program runs
  for (auto _ : state) LoadSkin(source, build, state);
}
BENCHMARK(LoadWhole)->Arg(30)->Arg(0)->Unit(benchmark::kMicrosecond);

void InflateCold(benchmark::State& state) {
  TMemoryStream source(Archive());
  Cold(state, [&] { ReadArchive(source, state); });
}
BENCHMARK(InflateCold)->UseManualTime()->Unit(benchmark::kMicrosecond);

void LoadWholeCold(benchmark::State& state) {
  TMemoryStream source(Archive());
  TsSkinBuild build;
  build.HueOffset = static_cast<int>(state.range(0));
  Cold(state, [&] { LoadSkin(source, build, state); });
}
BENCHMARK(LoadWholeCold)->Arg(30)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The parts, to see where a whole load goes: the tables without recolouring, and without images.
void TablesOnly(benchmark::State& state) {
  TMemoryStream source(Archive());
  TacSkinConvertor reader;
  reader.SetSource(&source);
  reader.ReadArchive();
  const bool images = state.range(0) != 0;
  for (auto _ : state) {
    const TsSkinOptions options = ArchiveOptions(reader);
    TsSkinTables tables;
    BuildSkinTables(tables, options, images ? ArchiveImageLoader(reader) : TsImageLoader(), TsSkinBuild());
    benchmark::DoNotOptimize(tables.Masks().data());
  }
  reader.ReleaseSource();
}
BENCHMARK(TablesOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void RecolorMaster(benchmark::State& state) {
  const std::vector<std::uint8_t> file = ReadFileBytes(std::string(EVESK_ASSETS) + "/Topaz/Master.bmp");
  TBitmap master, work;
  LoadBMP(file.data(), file.size(), master);
  for (auto _ : state) {
    work.Assign(master);
    RecolorBitmap(work, 30, 0);
    benchmark::DoNotOptimize(work.ScanLine(0));
  }
}
BENCHMARK(RecolorMaster)->Unit(benchmark::kMicrosecond);


// One image file of the skin decoded, as the mask table takes it.
void DecodeOne(benchmark::State& state, const char* name) {
  const std::vector<std::uint8_t> file = ReadFileBytes(std::string(EVESK_ASSETS) + "/Topaz/" + name);
  for (auto _ : state) benchmark::DoNotOptimize(DecodeSkinImage(name, file.data(), file.size()));
}
BENCHMARK_CAPTURE(DecodeOne, glow, "Glow.png")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeOne, glowh, "GlowH.png")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeOne, master, "Master.bmp")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeOne, huge, "ButtonHuge.bmp")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(DecodeOne, corner, "Corner.bmp")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // glibc gives freed memory back to the system once the free top of its heap passes a limit
  // that follows the largest blocks freed so far. A whole load frees enough to cross it and the
  // inflation alone does not, so one loop would fault in fresh pages on every turn and the other
  // never. Both run on warm memory here; a load's first touch of its pages is part of the
  // program's start-up, timed under Wine by startup.py.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 256 << 20);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
