// Options files (and common sections) from arbitrary bytes: a refusal or tables whose indexes
// and rectangles hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "skin/sSkinOptions.h"
#include "skin/sSkinTables.h"

using namespace evesk;

namespace {

// Every file exists, the master 300 × 200 and others small and sized after their names, so file references are exercised too;
// names that start with "X" are missing and "Y" ones cannot be read.
std::unique_ptr<TBitmap> FakeImage(const std::string& name) {
  if (name.empty() || name[0] == 'X') return nullptr;
  if (name[0] == 'Y') throw Exception("unreadable");
  auto bmp = std::make_unique<TBitmap>();
  const bool master = name.find("MASTER") != std::string::npos;
  const int w = master ? 300 : 1 + static_cast<int>(name.size() % 64);
  const int h = master ? 200 : 1 + static_cast<int>(static_cast<unsigned char>(name.back()) % 64);
  const TPixelFormat format = master                                      ? TPixelFormat::pf24bit
                              : name.find(".PNG") != std::string::npos ? TPixelFormat::pf32bit
                                                                       : TPixelFormat::pf8bit;
  bmp->SetSize(w, h, format);
  return bmp;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Text after a line "%%" is the manager's common sections.
  std::string_view text(reinterpret_cast<const char*>(data), size), commonText;
  const std::size_t split = text.find("\n%%\n");
  if (split != std::string_view::npos) {
    commonText = text.substr(split + 4);
    text = text.substr(0, split);
  }
  TsSkinOptions options, common;
  try {
    options.SetText(text);
    common.SetText(commonText);
  } catch (const ESkinOptionsError&) {
    return 0;
  }
  TsSkinTables tables;
  tables.Build(options, FakeImage, FakeImage, nullptr, &common, FakeImage);
  const int masks = static_cast<int>(tables.Masks().size());
  for (const TsMaskData& m : tables.Masks()) {
    const TBitmap* source = m.Bmp ? m.Bmp.get() : tables.MasterBitmap();
    if (!source || m.ImageCount == 0 || m.R.Left < 0 || m.R.Top < 0 || m.R.Right > source->Width() ||
        m.R.Bottom > source->Height() || m.R.Right < m.R.Left || m.R.Bottom < m.R.Top)
      std::abort();
  }
  for (std::size_t i = 0; i < tables.Sections().size(); ++i) {
    const TsGeneralData& s = tables.Sections()[i];
    for (int index : {s.BorderIndex, s.ImgTL, s.ImgTR, s.ImgBL, s.ImgBR})
      if (index < -1 || index >= masks) std::abort();
    if (s.Transparency < 0 || s.Transparency > 100) std::abort();
    for (const TsGradientStep& step : s.GradientArray)
      if (step.Percent < 0 || step.Percent > 100) std::abort();
    const int p = tables.GetPatternIndex(static_cast<int>(i), s.ClassName, "PATTERN");
    if (p < -1 || p >= static_cast<int>(tables.Patterns().size())) std::abort();
    const int t = tables.GetTextureIndex(static_cast<int>(i), s.ClassName, "PATTERN");
    if (t >= 0 && tables.Masks()[t].ImgType != itisaTexture) std::abort();
  }
  return 0;
}
