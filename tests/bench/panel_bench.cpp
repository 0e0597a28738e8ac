// A full repaint of the main window's category panel from the skin "Topaz": the panel's cache
// (face and frame, 393 × 313) and, for each of its 24 check boxes at their sizes on the window,
// the box's background over the panel's face, hot for one of them as under the pointer, and the
// 13 × 13 box glyph checked or unchecked. Captions are drawn by the platform and are not here.
// Measured against memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>

#include "framework/Stream.h"
#include "skin/acSkinPack.h"
#include "skin/sPaintEngine.h"
#include "skin/sSkinLoader.h"

using namespace evesk;

namespace {

// Widths of the 24 boxes on the main window (all 19 pixels high) and where they lie on the panel.
constexpr int BoxWidths[24] = {90, 66, 113, 163, 76, 68, 109, 110, 92, 116, 128, 56,
                               85, 81, 63, 104, 92, 97, 109, 136, 203, 131, 162, 176};
constexpr int BoxTops[12] = {8, 32, 56, 80, 104, 128, 168, 192, 216, 240, 264, 288};

const TsSkinTables& Topaz() {
  static const TsSkinTables tables = [] {
    TacDiskFiles disk;
    TMemoryStream archive;
    WriteSkinArchive(archive, ReadFolderSkin(disk, std::string(EVESK_ASSETS) + "/Topaz"));
    TMemoryStream source(archive.Bytes());
    TacSkinConvertor reader;
    reader.SetSource(&source);
    reader.ReadArchive();
    TsSkinTables t;
    BuildSkinTables(t, ArchiveOptions(reader), ArchiveImageLoader(reader), TsSkinBuild());
    reader.ReleaseSource();
    return t;
  }();
  return tables;
}

std::size_t RepaintBytes() {
  std::size_t bytes = TBitmap::StrideFor(393, TPixelFormat::pf24bit) * 313;
  for (int w : BoxWidths) bytes += TBitmap::StrideFor(w, TPixelFormat::pf24bit) * 19;
  return bytes;
}

void BM_MemcpyPanelBytes(benchmark::State& state) {
  const std::size_t bytes = RepaintBytes();
  std::vector<std::uint8_t> a(bytes, 1), b(bytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_PanelRepaint(benchmark::State& state) {
  const TsSkinTables& t = Topaz();
  const int panelIndex = t.GetSectionIndex("PANEL"), boxIndex = t.GetSectionIndex("CHECKBOX");
  const int checkedIndex = t.GetMaskIndex("GLOBALINFO", "BOXCHECKED");
  const int uncheckedIndex = t.GetMaskIndex("GLOBALINFO", "BOXUNCHECKED");
  if (panelIndex < 0 || boxIndex < 0 || checkedIndex < 0 || uncheckedIndex < 0) {
    state.SkipWithError("Topaz lacks a section or box image");
    return;
  }
  TBitmap panel;
  panel.SetSize(393, 313, TPixelFormat::pf24bit);
  TBitmap boxes[24];
  for (int i = 0; i < 24; ++i) boxes[i].SetSize(BoxWidths[i], 19, TPixelFormat::pf24bit);
  // The panel answers its boxes with its plain face colour (no gradient, no texture).
  TCacheInfo face;
  face.FillColor = t.Sections()[static_cast<std::size_t>(panelIndex)].Color & 0xFFFFFF;
  TCacheInfo form;
  form.FillColor = t.GlobalColor() & 0xFFFFFF;
  for (auto _ : state) {
    PaintItem(t, panelIndex, "PANEL", form, -1, -1, panel, TacPoint{8, 32}, BoundsOf(panel), 0, true);
    for (int i = 0; i < 24; ++i) {
      const TacPoint at{i < 12 ? 8 : 184, BoxTops[i % 12]};
      const int st = i == 5 ? 1 : 0;
      PaintItem(t, boxIndex, "CHECKBOX", face, -1, -1, boxes[i], at, BoundsOf(boxes[i]), st, true);
      const TsMaskData& glyph = t.Masks()[static_cast<std::size_t>(i % 3 == 0 ? checkedIndex : uncheckedIndex)];
      DrawGlyph(boxes[i], TacPoint{2, 3}, st, TCacheInfo{}, glyph, t.MasterBitmap(), 1);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * RepaintBytes()));
}

}  // namespace

BENCHMARK(BM_MemcpyPanelBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PanelRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
