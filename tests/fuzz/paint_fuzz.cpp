// Arbitrary options files and images through table building, then the paint engine over
// random rectangles, states, indexes and parent information. Besides the sanitizers' checks
// on every bitmap, an item must leave the target outside its rectangle and the parent's image
// untouched, and region cuts must lie in the cache.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "skin/sPaintEngine.h"
#include "skin/sSkinOptions.h"
#include "skin/sSkinTables.h"

using namespace evesk;

namespace {

// Pixels from a few colours that matter (the key, black, white, grey) and some noise. Rows
// are copied from a table made once per pixel size, at a place chosen by the seed: filling
// every pixel afresh cost more than the painting under test.
const std::vector<std::uint8_t>& NoiseTable(int bytes) {
  static std::vector<std::uint8_t> tables[5];
  std::vector<std::uint8_t>& t = tables[bytes];
  if (t.empty()) {
    static const std::uint8_t colours[][3] = {{0xFF, 0x00, 0xFF}, {0, 0, 0}, {255, 255, 255}, {128, 128, 128}};
    static const std::uint8_t indexes[] = {1, 0, 255, 128};  // the palette's key entry is 1
    t.resize(static_cast<std::size_t>(bytes) << 14);
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < t.size(); i += bytes) {
      seed = seed * 1103515245u + 12345u;
      const std::uint32_t r = seed >> 16;
      for (int c = 0; c < bytes; ++c)
        t[i + c] = (r & 4) || c == 3 ? static_cast<std::uint8_t>(r >> (c * 3)) : bytes == 1 ? indexes[r & 3] : colours[r & 3][c];
    }
  }
  return t;
}

void Scribble(TBitmap& b, std::uint32_t seed) {
  const int bytes = b.PixelFormat() == TPixelFormat::pf32bit ? 4 : b.PixelFormat() == TPixelFormat::pf24bit ? 3 : 1;
  const std::vector<std::uint8_t>& noise = NoiseTable(bytes);
  for (int y = 0; y < b.Height(); ++y) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t from = (seed >> 8) % ((noise.size() - b.Stride()) / bytes) * bytes;
    std::memcpy(b.ScanLine(y), noise.data() + from, b.Stride());
  }
  if (!b.Palette().empty() || b.PixelFormat() == TPixelFormat::pf8bit) {
    std::vector<TPaletteEntry> pal(256);
    for (int i = 0; i < 256; ++i) pal[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i), 0};
    pal[1] = {0xFF, 0x00, 0xFF, 0};
    b.SetPalette(pal);
  }
}

struct TImages {
  std::uint32_t Seed = 1;
  std::unique_ptr<TBitmap> operator()(const std::string& name) const {
    if (name.empty() || name[0] == 'X') return nullptr;
    const bool master = name.find("MASTER") != std::string::npos;
    const std::uint32_t h = static_cast<std::uint32_t>(std::hash<std::string>()(name)) ^ Seed;
    auto b = std::make_unique<TBitmap>();
    const int w = master ? 120 : 1 + static_cast<int>(h % 48), ht = master ? 90 : 1 + static_cast<int>((h >> 8) % 48);
    const TPixelFormat f = master ? TPixelFormat::pf24bit
                           : name.find(".PNG") != std::string::npos ? TPixelFormat::pf32bit
                           : (h >> 16) & 1                           ? TPixelFormat::pf8bit
                                                                     : TPixelFormat::pf24bit;
    b->SetSize(w, ht, f);
    Scribble(*b, h);
    return b;
  }
};

std::unique_ptr<TBitmap> RandomBitmap(FuzzedDataProvider& in, int maxSide) {
  auto b = std::make_unique<TBitmap>();
  const int w = in.ConsumeIntegralInRange(0, maxSide), h = in.ConsumeIntegralInRange(0, maxSide);
  b->SetSize(w, h, in.ConsumeBool() ? TPixelFormat::pf24bit : TPixelFormat::pf32bit);
  Scribble(*b, in.ConsumeIntegral<std::uint32_t>());
  return b;
}

int AnyInt(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.ConsumeIntegralInRange(-8, 8);
    case 1: return in.ConsumeIntegralInRange(-80, 80);
    case 2: return in.ConsumeIntegral<int>();
    default: return in.ConsumeIntegralInRange(-1000, 1000);
  }
}

TRect AnyRect(FuzzedDataProvider& in) {
  const int l = in.ConsumeIntegralInRange(-10, 70), t = in.ConsumeIntegralInRange(-10, 70);
  return TRect{l, t, l + in.ConsumeIntegralInRange(-2, 80), t + in.ConsumeIntegralInRange(-2, 80)};
}

std::vector<std::uint8_t> Snapshot(const TBitmap& b) {
  std::vector<std::uint8_t> s(b.Stride() * static_cast<std::size_t>(b.Height()));
  for (int y = 0; y < b.Height(); ++y) std::memcpy(s.data() + y * b.Stride(), b.ScanLine(y), b.Stride());
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string text = in.ConsumeRandomLengthString(8192);
  TsSkinOptions options;
  try {
    options.SetText(text);
  } catch (const ESkinOptionsError&) {
    return 0;
  }
  TImages images{in.ConsumeIntegral<std::uint32_t>()};
  TsSkinTables tables;
  try {
    tables.Build(options, images, images);
  } catch (const Exception&) {
    return 0;  // a malformed number stops the load
  }
  const int sections = static_cast<int>(tables.Sections().size()), masks = static_cast<int>(tables.Masks().size());
  const TBitmap* master = tables.MasterBitmap();

  for (int round = 0; round < 8 && in.remaining_bytes() > 0; ++round) {
    auto target = RandomBitmap(in, 64);
    auto parentBmp = RandomBitmap(in, 96);
    TCacheInfo parent;
    const int parentKind = in.ConsumeIntegralInRange(0, 2);
    parent.Bmp = parentKind == 0 ? nullptr : parentKind == 1 ? parentBmp.get() : target.get();
    parent.X = AnyInt(in), parent.Y = AnyInt(in);
    parent.FillColor = in.ConsumeBool() ? clSkinFuchsia : in.ConsumeIntegral<TColor>();
    parent.Ready = in.ConsumeBool();
    const TacPoint offset{AnyInt(in), AnyInt(in)};
    const int section = in.ConsumeIntegralInRange(-2, sections + 1);
    const std::string name = section >= 0 && section < sections ? tables.Sections()[section].ClassName : "NONE";
    const int tex = in.ConsumeIntegralInRange(-2, masks + 1), hot = in.ConsumeIntegralInRange(-2, masks + 1);
    const int state = in.ConsumeIntegralInRange(-2, 6);
    const TRect rect = AnyRect(in);
    const auto parentBefore = Snapshot(*parentBmp);

    switch (in.ConsumeIntegralInRange(0, 5)) {
      case 0: {
        const auto before = Snapshot(*target);
        PaintItem(tables, section, name, parent, tex, hot, *target, offset, rect, state, in.ConsumeBool());
        const auto after = Snapshot(*target);
        // Compared by spans (the row left of the rectangle, right of it, whole rows above
        // and below) rather than byte by byte, which cost more than the painting.
        const std::size_t bpp = target->PixelFormat() == TPixelFormat::pf32bit ? 4 : 3, stride = target->Stride();
        const std::size_t left = static_cast<std::size_t>(std::clamp(rect.Left, 0, target->Width())) * bpp;
        const std::size_t right = std::max(left, static_cast<std::size_t>(std::clamp(rect.Right, 0, target->Width())) * bpp);
        for (int y = 0; y < target->Height(); ++y) {
          const std::uint8_t* b = before.data() + static_cast<std::size_t>(y) * stride;
          const std::uint8_t* a = after.data() + static_cast<std::size_t>(y) * stride;
          if (y < rect.Top || y >= rect.Bottom || right == left) {
            if (std::memcmp(a, b, stride) != 0) std::abort();
          } else if (std::memcmp(a, b, left) != 0 || std::memcmp(a + right, b + right, stride - right) != 0) {
            std::abort();
          }
        }
        break;
      }
      case 1: {
        const int m = in.ConsumeIntegralInRange(0, masks);
        if (m < masks) DrawBorderMask(*target, rect, in.ConsumeBool(), in.ConsumeBool(), state, tables.Masks()[m], master, parent);
        break;
      }
      case 2: {
        const int m = in.ConsumeIntegralInRange(0, masks);
        if (m < masks) DrawGlyph(*target, TacPoint{rect.Left, rect.Top}, state, parent, tables.Masks()[m], master, in.ConsumeIntegralInRange(0, 2));
        break;
      }
      case 3: {
        const int m = in.ConsumeIntegralInRange(0, masks);
        if (m >= masks) break;
        for (const TRect& r : DrawBorderMaskWithRegion(*target, state, tables.Masks()[m], master))
          if (r.Left < 0 || r.Top < 0 || r.Right > target->Width() || r.Bottom > target->Height() || IsEmpty(r)) std::abort();
        RepaintCorners(*target, state, in.ConsumeIntegralInRange(0, 15), tables.Masks()[m], master, parent);
        break;
      }
      case 4:
        DisabledLook(*target, in.ConsumeIntegralInRange(0, 3), in.ConsumeIntegral<TColor>(), offset, parent);
        break;
      default: {
        TsGradArray g(in.ConsumeIntegralInRange(0, 6));
        for (auto& s : g) s = {in.ConsumeIntegral<TColor>(), in.ConsumeIntegral<TColor>(), in.ConsumeIntegralInRange(0, 100), in.ConsumeIntegralInRange(-1, 3)};
        PaintGradient(*target, rect, g);
        BlendBitmaps(*target, *parentBmp, AnyInt(in), offset, rect);
        MixImage(*target, offset, in.ConsumeBool() ? clNone : clSkinFuchsia, in.ConsumeFloatingPointInRange(-1.0, 2.0), rect, *parentBmp);
        MaskedCopy(*target, offset, *parentBmp, rect, AnyInt(in), parent);
        break;
      }
    }
    if (parent.Bmp == parentBmp.get() && Snapshot(*parentBmp) != parentBefore) std::abort();
  }
  return 0;
}
