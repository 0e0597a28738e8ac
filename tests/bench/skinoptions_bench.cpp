// Parsing an options file and building the skin tables: a skin of ordinary size, and the
// largest file accepted, made of one long chain of parent sections.
#include <benchmark/benchmark.h>

#include <string>

#include "skin/sSkinOptions.h"
#include "skin/sSkinTables.h"

using namespace evesk;

namespace {

// 200 sections of about 30 keys and 6 master-bitmap images, each the child of a few others.
std::string TypicalSkin() {
  std::string text = "[GLOBALINFO]\nVERSION=6.14\nMASTERBITMAP=MASTER.BMP\nBOXCHECKED=@0030@0002@0162@0021@3@0\n";
  for (int i = 0; i < 200; ++i) {
    text += "[SECTION" + std::to_string(i) + "]\n";
    if (i % 4) text += "PARENTCLASS=SECTION" + std::to_string(i - 1) + "\n";
    const char* const keys[] = {"COLOR", "FONTCOLOR", "TCLEFT", "TCTOP", "HOTFONTCOLOR", "GLOW", "TRANSPARENCY",
                                "GRADIENTPERCENT", "IMAGEPERCENT", "HOTCOLOR", "HOTTRANSPARENCY", "FADINGITERATIONS"};
    for (const char* key : keys) text += std::string(key) + "=" + std::to_string(i % 3 ? -1 : 16313565) + "\n";
    text += "GIVEOWNFONT=TRUE\nSHOWFOCUS=FALSE\nFADINGENABLED=TRUE\n";
    text += "GRADIENTDATA=16777215;15790320;50;0;0;15790320;14737632;50;0;0\n";
    text += "BORDERSMASK=^0043^0041^0056^0081^0001^0001^0001^0001^3^1^1^1\n";
    text += "PATTERN=~0003~0133~0005~0195~01~0\nHOTPATTERN=~0003~0133~0005~0195~01~0\n";
    text += "GLYPHMASK=@0030@0002@0162@0021@3@0\nIMGTOPLEFT=@0000@0000@0004@0004@1@1\nIMGTOPRIGHT=N/A\n";
  }
  return text;
}

std::string LongestChain() {
  std::string text;
  const std::string pad(100, 'N');
  for (int i = 0; i < 4000; ++i) {
    text += "[" + pad + std::to_string(i) + "]\n";
    if (i) text += "PARENTCLASS=" + pad + std::to_string(i - 1) + "\n";
    text += "BORDERSMASK=N/A\n";
  }
  return text;
}

std::unique_ptr<TBitmap> Master(const std::string&) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(400, 300, TPixelFormat::pf24bit);
  return bmp;
}

void BuildTables(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    TsSkinOptions options(text);
    TsSkinTables tables;
    tables.Build(options, Master, nullptr);
    benchmark::DoNotOptimize(tables.Sections().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_TypicalSkin(benchmark::State& state) { BuildTables(state, TypicalSkin()); }
void BM_LongestChain(benchmark::State& state) { BuildTables(state, LongestChain()); }

}  // namespace

BENCHMARK(BM_TypicalSkin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongestChain)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
