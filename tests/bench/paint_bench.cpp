// Paint engine speed: Blend bitmaps and Masked copy over a full-HD 24-bit bitmap against memcpy
// of the same bytes, and a full repaint of every cache of a window the size of the main window,
// painted from a synthetic skin with sections like the program's own (gradients, a texture,
// transparent parts, masked frames).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "skin/sPaintEngine.h"
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

// A skin with the kinds of sections the main window paints, its images in one master bitmap.
struct TWindowSkin {
  TsSkinOptions Options;
  TsSkinTables Tables;
  TWindowSkin() {
    Options.SetText(
        "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\n"
        "[FORM]\nCOLOR=15790320\nBORDERSMASK=^0000^0000^0090^0060^0008^0026^0008^0008^3^1^0^0\n"
        "IMGTOPLEFT=@0100@0000@0112@0012@3@1\nIMGTOPRIGHT=@0100@0000@0112@0012@3@1\n"
        "[DIALOG]\nCOLOR=16313565\nGRADIENTPERCENT=100\nGRADIENTDATA=16777215;15790320;40;0;0;15790320;14737632;60;0;0\n"
        "[PANEL]\nCOLOR=16313565\nTRANSPARENCY=30\nIMAGEPERCENT=20\nGRADIENTPERCENT=80\n"
        "GRADIENTDATA=16777215;15790320;100;1;0\nPATTERN=~0000~0100~0032~0132~00~0\n"
        "BORDERSMASK=^0000^0060^0060^0080^0004^0004^0004^0004^3^1^0^0\n"
        "[CHECKBOX]\nTRANSPARENCY=100\nHOTTRANSPARENCY=40\nHOTCOLOR=16777215\n"
        "[BUTTON]\nCOLOR=15790320\nGRADIENTPERCENT=100\nGRADIENTDATA=16777215;14737632;100;0;0\n"
        "BORDERSMASK=^0000^0140^0075^0190^0005^0005^0005^0005^3^1^0^0\n"
        "[LABEL]\nTRANSPARENCY=100\n");
    Tables.Build(Options, [](const std::string&) {
      auto b = std::make_unique<TBitmap>();
      b->SetSize(200, 200, TPixelFormat::pf24bit);
      Noise(*b, 3, TKeys::Scattered);
      return b;
    }, nullptr);
  }
};

// The caches of the main window: frame and client (418 × 432), the panel (393 × 313), 25 check
// boxes, the OK button and two labels, each painted against its parent's cache as controls do.
void BM_WindowRepaint(benchmark::State& state) {
  static const TWindowSkin skin;
  const TsSkinTables& t = skin.Tables;
  auto cache = [](int w, int h) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(w, h, TPixelFormat::pf24bit);
    return b;
  };
  auto frame = cache(418, 432), client = cache(410, 398), panel = cache(393, 313), button = cache(75, 25);
  std::unique_ptr<TBitmap> boxes[25], labels[2];
  for (auto& b : boxes) b = cache(180, 19);
  for (auto& b : labels) b = cache(160, 16);
  auto item = [&](const char* section, const TBitmap* parent, TacPoint at, TBitmap& target, int st) {
    PaintItem(t, t.GetSectionIndex(section), section, TCacheInfo{parent, 0, 0, clSkinFuchsia, parent != nullptr}, -1, -1,
              target, at, BoundsOf(target), st, true);
  };
  for (auto _ : state) {
    item("FORM", nullptr, {}, *frame, 0);
    item("DIALOG", nullptr, {}, *client, 0);
    item("PANEL", client.get(), TacPoint{8, 8}, *panel, 0);
    for (int i = 0; i < 25; ++i) item("CHECKBOX", panel.get(), TacPoint{8 + (i / 13) * 190, 6 + (i % 13) * 23}, *boxes[i], i == 3);
    item("BUTTON", client.get(), TacPoint{320, 360}, *button, 0);
    for (int i = 0; i < 2; ++i) item("LABEL", client.get(), TacPoint{10, 330 + i * 18}, *labels[i], 0);
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
