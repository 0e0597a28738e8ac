// Paint engine speed: Blend bitmaps and Masked copy over a full-HD 24-bit bitmap against memcpy
// of the same bytes, and a full repaint of every cache of the main window from the skin "Topaz".
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "framework/Stream.h"
#include "skin/acSkinFiles.h"
#include "skin/sPaintEngine.h"
#include "skin/sSkinLoader.h"
#include "skin/sSkinOptions.h"

using namespace evesk;

namespace {

constexpr int W = 1920, H = 1080;

// Random pixels; with keys a sixteenth of them (scattered) or, clustered, runs at both ends of
// every row as rounded frame corners and shaped images have them.
enum class TKeys { None, Scattered, Clustered };
void Noise(TBitmap& b, std::uint32_t seed, TKeys keys) {
  for (int y = 0; y < b.Height(); ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < b.Width(); ++x) {
      seed = seed * 1103515245u + 12345u;
      std::uint8_t* p = row + x * 3;
      p[0] = static_cast<std::uint8_t>(seed >> 8), p[1] = static_cast<std::uint8_t>(seed >> 16),
      p[2] = static_cast<std::uint8_t>(seed >> 24);
      const bool key = keys == TKeys::Scattered ? (seed & 15) == 0
                       : keys == TKeys::Clustered ? x < 12 || x >= b.Width() - 12
                                                  : false;
      if (key) p[0] = 0xFF, p[1] = 0, p[2] = 0xFF;
    }
  }
}

void BM_Memcpy(benchmark::State& state) {
  TBitmap a, b;
  a.SetSize(W, H, TPixelFormat::pf24bit), b.SetSize(W, H, TPixelFormat::pf24bit);
  Noise(a, 1, TKeys::None);
  const std::size_t bytes = a.Stride() * H;
  for (auto _ : state) {
    std::memcpy(b.ScanLine(0), a.ScanLine(0), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_BlendBitmaps(benchmark::State& state) {
  TBitmap d, s;
  d.SetSize(W, H, TPixelFormat::pf24bit), s.SetSize(W, H, TPixelFormat::pf24bit);
  Noise(d, 1, TKeys::None), Noise(s, 2, TKeys::None);
  for (auto _ : state) {
    BlendBitmaps(d, s, 102, TacPoint{0, 0}, TRect{0, 0, W, H});
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.Stride() * H));
}

void BM_MaskedCopy(benchmark::State& state) {
  TBitmap d, s;
  d.SetSize(W, H, TPixelFormat::pf24bit), s.SetSize(W, 2 * H, TPixelFormat::pf24bit);
  Noise(d, 1, TKeys::None), Noise(s, 2, static_cast<TKeys>(state.range(0)));
  for (auto _ : state) {
    MaskedCopy(d, TacPoint{0, 0}, s, TRect{0, 0, W, H}, H, TCacheInfo{});
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.Stride() * H));
}

// The skin "Topaz" as the program loads it from its folder.
struct TTopaz {
  TsSkinTables Tables;
  TTopaz() {
    static TacDiskFiles disk;
    const std::string folder = std::string(EVESK_ASSETS) + "/Topaz/";
    const std::vector<std::uint8_t> text = ReadFileBytes(folder + "Options.dat");
    TsSkinOptions options;
    options.SetText(std::string(text.begin(), text.end()));
    BuildSkinTables(Tables, options, FolderImageLoader(disk, folder), TsSkinBuild());
  }
};

// The bounds of the main window's check boxes, read from its form description.
std::vector<TRect> CheckBoxBounds() {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(std::string(EVESK_ASSETS) + "/../app/Unit1.form");
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  std::vector<TRect> boxes;
  std::string line;
  bool inBox = false;
  int l = 0, t = 0, w = 0, h = 0;
  while (std::getline(in, line)) {
    if (line.find(": TsCheckBox") != std::string::npos) inBox = true, l = t = w = h = 0;
    else if (inBox && line.find(" end") != std::string::npos) inBox = false, boxes.push_back(TRect{l, t, l + w, t + h});
    else if (inBox) std::sscanf(line.c_str(), " Left = %d", &l), std::sscanf(line.c_str(), " Top = %d", &t),
                    std::sscanf(line.c_str(), " Width = %d", &w), std::sscanf(line.c_str(), " Height = %d", &h);
  }
  return boxes;
}

// The caches of the main window as the skinned controls paint them: frame and title of the
// 418 × 432 window, its client, the 393 × 313 panel, its 24 check boxes and the autostart box,
// the OK button, each against its parent's cache. The labels are drawn on their parent's cache.
void BM_WindowRepaint(benchmark::State& state) {
  static const TTopaz skin;
  static const std::vector<TRect> bounds = CheckBoxBounds();
  if (bounds.size() != 25) {
    state.SkipWithError("the main window's description does not have 25 check boxes");
    return;
  }
  const TsSkinTables& t = skin.Tables;
  for (const char* section : {"FORM", "FORMTITLE", "PANEL", "CHECKBOX", "BUTTON"})
    if (t.GetSectionIndex(section) < 0) {
      state.SkipWithError((std::string("the skin has no section ") + section).c_str());
      return;
    }
  auto cache = [](int w, int h) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(w, h, TPixelFormat::pf24bit);
    return b;
  };
  auto frame = cache(418, 432), title = cache(418, 26), client = cache(412, 406), panel = cache(393, 313),
       button = cache(78, 33);
  std::vector<std::unique_ptr<TBitmap>> boxes;
  for (const TRect& r : bounds) boxes.push_back(cache(r.Width(), r.Height()));
  auto item = [&](const char* section, const TBitmap* parent, TacPoint at, TBitmap& target, int st) {
    PaintItem(t, t.GetSectionIndex(section), section, TCacheInfo{parent, 0, 0, clSkinFuchsia, parent != nullptr}, -1, -1,
              target, at, BoundsOf(target), st, true);
  };
  for (auto _ : state) {
    item("FORM", nullptr, {}, *frame, 0);
    item("FORMTITLE", frame.get(), {}, *title, 0);
    item("FORM", nullptr, {}, *client, 0);
    item("PANEL", client.get(), TacPoint{8, 32}, *panel, 0);
    // The first box is the autostart box on the client, the others lie in the panel.
    for (std::size_t i = 0; i < boxes.size(); ++i)
      item("CHECKBOX", i == 0 ? client.get() : panel.get(), TacPoint{bounds[i].Left, bounds[i].Top}, *boxes[i],
           i == 3 ? 1 : 0);
    item("BUTTON", client.get(), TacPoint{322, 360}, *button, 0);
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlendBitmaps)->Unit(benchmark::kMicrosecond);
// Argument: 0 no key pixels, 1 scattered, 2 clustered.
BENCHMARK(BM_MaskedCopy)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
