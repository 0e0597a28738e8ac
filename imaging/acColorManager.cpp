#include "imaging/acColorManager.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "framework/GraphicErrors.h"

namespace evesk {

namespace {

const char* const SBitsInvalid = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
const char* const SSamplesInvalid = "Sample count per pixel does not correspond to the given color scheme.";
const char* const SIndexedMix = "Conversion between indexed and non-indexed pixel formats is not supported.";
const char* const SNoMethod = "Color conversion failed. Could not find a proper method.";

bool ValidBits(int bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

int SamplesOf(TColorScheme scheme) {
  switch (scheme) {
    case TColorScheme::csIndexed:
    case TColorScheme::csG: return 1;
    case TColorScheme::csGA: return 2;
    case TColorScheme::csRGB:
    case TColorScheme::csBGR: return 3;
    case TColorScheme::csRGBA:
    case TColorScheme::csBGRA: return 4;
    default: return 0;
  }
}

bool HasAlpha(TColorScheme scheme) {
  return scheme == TColorScheme::csGA || scheme == TColorScheme::csRGBA || scheme == TColorScheme::csBGRA;
}

std::vector<std::uint8_t> BuildGammaTable(double mainGamma, double displayGamma, int top, int targetTop) {
  std::vector<std::uint8_t> table(static_cast<std::size_t>(top) + 1);
  const double exponent = 1.0 / (mainGamma * displayGamma);
  for (int i = 0; i <= top; ++i)
    table[i] = static_cast<std::uint8_t>(std::lround(std::pow(static_cast<double>(i) / top, exponent) * targetTop));
  return table;
}

// 16-bit sample to 8 bits: value × 255 / 65535 rounded down, which is value / 257.
template <bool Swap>
inline std::uint8_t Reduce16(const std::uint8_t* p) {
  const unsigned v = Swap ? (p[0] << 8 | p[1]) : (p[0] | p[1] << 8);
  return static_cast<std::uint8_t>(v / 257u);
}

// Runs f(source pixel, target pixel) over the target pixels that the mask selects.
template <int SourceStep, int TargetStep, class F>
inline void ForEachPixel(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask, F f) {
  if (mask == 0xFF) {
    for (int x = 0; x < count; ++x, s += SourceStep, t += TargetStep) f(s, t);
    return;
  }
  for (int x = 0; x < count; ++x, t += TargetStep)
    if (mask & (0x80 >> (x & 7))) {
      f(s, t);
      s += SourceStep;
    }
}

}  // namespace

void TColorManager::SetSourceColorScheme(TColorScheme value) { FSourceScheme = value; Changed(); }
void TColorManager::SetTargetColorScheme(TColorScheme value) { FTargetScheme = value; Changed(); }
void TColorManager::SetSourceBitsPerSample(int value) { FSourceBPS = value; Changed(); }
void TColorManager::SetTargetBitsPerSample(int value) { FTargetBPS = value; Changed(); }
void TColorManager::SetSourceSamplesPerPixel(int value) { FSourceSPP = value; Changed(); }
void TColorManager::SetTargetSamplesPerPixel(int value) { FTargetSPP = value; Changed(); }
void TColorManager::SetSourceOptions(TConversionOptions value) { FSourceOptions = value; Changed(); }
void TColorManager::SetTargetOptions(TConversionOptions value) { FTargetOptions = value; Changed(); }

void TColorManager::SetGamma(double mainGamma, double displayGamma) {
  FMainGamma = mainGamma > 0 ? mainGamma : 1.0;
  FDisplayGamma = displayGamma > 0 ? displayGamma : DefaultDisplayGamma;
  FGammaTable.clear();
  FGamma8.clear();
  Changed();
}

const std::vector<std::uint8_t>& TColorManager::GammaTable() {
  if (FGammaTable.empty()) {
    const int targetTop = FTargetBPS >= 8 ? 255 : (1 << (FTargetBPS > 0 ? FTargetBPS : 8)) - 1;
    const int top = FSourceBPS >= 8 ? 255 : targetTop;
    FGammaTable = BuildGammaTable(FMainGamma, FDisplayGamma, top, targetTop);
  }
  return FGammaTable;
}

std::uint8_t TColorManager::GammaLevel8(std::uint8_t level) {
  if (FGamma8.empty()) FGamma8 = BuildGammaTable(FMainGamma, FDisplayGamma, 255, 255);
  return FGamma8[level];
}

void TColorManager::Prepare() {
  if (!ValidBits(FSourceBPS) || !ValidBits(FTargetBPS)) throw EColorConversionError(SBitsInvalid);
  if ((FSourceScheme != TColorScheme::csUnknown && FSourceSPP != SamplesOf(FSourceScheme)) ||
      (FTargetScheme != TColorScheme::csUnknown && FTargetSPP != SamplesOf(FTargetScheme)))
    throw EColorConversionError(SSamplesInvalid);
  if ((FSourceScheme == TColorScheme::csIndexed) != (FTargetScheme == TColorScheme::csIndexed))
    throw EColorConversionError(SIndexedMix);
  FSourceOptions = HasAlpha(FSourceScheme) ? FSourceOptions | coAlpha : FSourceOptions & ~coAlpha;
  FTargetOptions = HasAlpha(FTargetScheme) ? FTargetOptions | coAlpha : FTargetOptions & ~coAlpha;
  FGammaTable.clear();

  const int s = FSourceBPS, t = FTargetBPS;
  const bool wide = s == 8 || s == 16;  // whole-byte samples
  TRowConversion method = nullptr;
  using CS = TColorScheme;
  if ((FSourceScheme == CS::csIndexed && FTargetScheme == CS::csIndexed) ||
      (FSourceScheme == CS::csG && FTargetScheme == CS::csG && s <= 8)) {
    if (s <= 8 && t <= 8 && t >= s) method = &TColorManager::RowIndexed;
  } else if ((FSourceScheme == CS::csG || FSourceScheme == CS::csGA) && FTargetScheme == CS::csG) {
    if (wide && t == 8) method = &TColorManager::RowGray;
  } else if (FSourceScheme == CS::csRGB && FTargetScheme == CS::csBGR) {
    if (wide && t == 8) method = &TColorManager::RowRGB;
  } else if (FSourceScheme == CS::csRGBA && FTargetScheme == CS::csBGRA) {
    if (wide && t == 8) method = &TColorManager::RowRGBA;
  }
  if (!method) throw EColorConversionError(SNoMethod);
  if (FTargetOptions & coApplyGamma) GammaTable();
  FConversion = method;
}

void TColorManager::ConvertRow(const std::uint8_t* source, std::uint8_t* target, int count, std::uint8_t mask) {
  if (!FConversion) Prepare();
  if (count > 0) (this->*FConversion)(source, target, count, mask);
}

std::vector<TPaletteEntry> TColorManager::CreateGrayscalePalette(int bitsPerSample) {
  const int levels = bitsPerSample >= 8 ? 256 : 1 << bitsPerSample;
  std::vector<TPaletteEntry> palette(levels);
  const bool gamma = FTargetOptions & coApplyGamma;
  for (int i = 0; i < levels; ++i) {
    std::uint8_t v = static_cast<std::uint8_t>(i * 255 / (levels - 1));
    if (gamma) v = GammaLevel8(v);
    palette[i] = {v, v, v, 0};
  }
  return palette;
}

std::vector<TPaletteEntry> TColorManager::CreateColorPalette(const std::uint8_t* rgb, int count) {
  std::vector<TPaletteEntry> palette(count > 0 ? count : 0);
  const bool gamma = FTargetOptions & coApplyGamma;
  for (int i = 0; i < count; ++i, rgb += 3) {
    if (gamma)
      palette[i] = {GammaLevel8(rgb[2]), GammaLevel8(rgb[1]), GammaLevel8(rgb[0]), 0};
    else
      palette[i] = {rgb[2], rgb[1], rgb[0], 0};
  }
  return palette;
}

// Indexes (palette or grey levels) of up to 8 bits, widened when the target has more bits.
void TColorManager::RowIndexed(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask) {
  const int sb = FSourceBPS, tb = FTargetBPS;
  if (mask == 0xFF && sb == tb) {
    std::memcpy(t, s, (static_cast<std::size_t>(count) * sb + 7) / 8);
    return;
  }
  const unsigned sMask = (1u << sb) - 1, tMask = (1u << tb) - 1;
  std::size_t k = 0;  // next source pixel
  for (int x = 0; x < count; ++x) {
    if (!(mask & (0x80 >> (x & 7)))) continue;
    const std::size_t sBit = k++ * sb;
    const unsigned v = (s[sBit >> 3] >> (8 - sb - (sBit & 7))) & sMask;
    const std::size_t tBit = static_cast<std::size_t>(x) * tb;
    const int shift = 8 - tb - static_cast<int>(tBit & 7);
    std::uint8_t& b = t[tBit >> 3];
    b = static_cast<std::uint8_t>((b & ~(tMask << shift)) | (v << shift));
  }
}

// Grey (with or without alpha) of 8 or 16 bits to 8-bit grey indexes; alpha is dropped.
void TColorManager::RowGray(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask) {
  const bool swap = FSourceOptions & coNeedByteSwap;
  const bool alpha = FSourceScheme == TColorScheme::csGA;
  auto g8 = [](const std::uint8_t* p, std::uint8_t* q) { *q = *p; };
  auto g16 = [](const std::uint8_t* p, std::uint8_t* q) { *q = Reduce16<true>(p); };
  auto g16le = [](const std::uint8_t* p, std::uint8_t* q) { *q = Reduce16<false>(p); };
  if (FSourceBPS == 8) {
    if (alpha) ForEachPixel<2, 1>(s, t, count, mask, g8);
    else ForEachPixel<1, 1>(s, t, count, mask, g8);
  } else if (swap) {
    if (alpha) ForEachPixel<4, 1>(s, t, count, mask, g16);
    else ForEachPixel<2, 1>(s, t, count, mask, g16);
  } else {
    if (alpha) ForEachPixel<4, 1>(s, t, count, mask, g16le);
    else ForEachPixel<2, 1>(s, t, count, mask, g16le);
  }
}

void TColorManager::RowRGB(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask) {
  const bool swap = FSourceOptions & coNeedByteSwap;
  if (FTargetOptions & coApplyGamma) {
    const std::uint8_t* g = FGammaTable.data();
    if (FSourceBPS == 8)
      ForEachPixel<3, 3>(s, t, count, mask, [g](const std::uint8_t* p, std::uint8_t* q) {
        q[0] = g[p[2]], q[1] = g[p[1]], q[2] = g[p[0]];
      });
    else if (swap)
      ForEachPixel<6, 3>(s, t, count, mask, [g](const std::uint8_t* p, std::uint8_t* q) {
        q[0] = g[Reduce16<true>(p + 4)], q[1] = g[Reduce16<true>(p + 2)], q[2] = g[Reduce16<true>(p)];
      });
    else
      ForEachPixel<6, 3>(s, t, count, mask, [g](const std::uint8_t* p, std::uint8_t* q) {
        q[0] = g[Reduce16<false>(p + 4)], q[1] = g[Reduce16<false>(p + 2)], q[2] = g[Reduce16<false>(p)];
      });
    return;
  }
  if (FSourceBPS == 8)
    ForEachPixel<3, 3>(s, t, count, mask, [](const std::uint8_t* p, std::uint8_t* q) {
      q[0] = p[2], q[1] = p[1], q[2] = p[0];
    });
  else if (swap)
    ForEachPixel<6, 3>(s, t, count, mask, [](const std::uint8_t* p, std::uint8_t* q) {
      q[0] = Reduce16<true>(p + 4), q[1] = Reduce16<true>(p + 2), q[2] = Reduce16<true>(p);
    });
  else
    ForEachPixel<6, 3>(s, t, count, mask, [](const std::uint8_t* p, std::uint8_t* q) {
      q[0] = Reduce16<false>(p + 4), q[1] = Reduce16<false>(p + 2), q[2] = Reduce16<false>(p);
    });
}

// Straight alpha is copied unchanged; only the colour samples see the gamma table.
void TColorManager::RowRGBA(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask) {
  const bool swap = FSourceOptions & coNeedByteSwap;
  if (FTargetOptions & coApplyGamma) {
    const std::uint8_t* g = FGammaTable.data();
    if (FSourceBPS == 8)
      ForEachPixel<4, 4>(s, t, count, mask, [g](const std::uint8_t* p, std::uint8_t* q) {
        q[0] = g[p[2]], q[1] = g[p[1]], q[2] = g[p[0]], q[3] = p[3];
      });
    else if (swap)
      ForEachPixel<8, 4>(s, t, count, mask, [g](const std::uint8_t* p, std::uint8_t* q) {
        q[0] = g[Reduce16<true>(p + 4)], q[1] = g[Reduce16<true>(p + 2)], q[2] = g[Reduce16<true>(p)];
        q[3] = Reduce16<true>(p + 6);
      });
    else
      ForEachPixel<8, 4>(s, t, count, mask, [g](const std::uint8_t* p, std::uint8_t* q) {
        q[0] = g[Reduce16<false>(p + 4)], q[1] = g[Reduce16<false>(p + 2)], q[2] = g[Reduce16<false>(p)];
        q[3] = Reduce16<false>(p + 6);
      });
    return;
  }
  if (FSourceBPS == 8)
    ForEachPixel<4, 4>(s, t, count, mask, [](const std::uint8_t* p, std::uint8_t* q) {
      if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t v;  // R G B A in memory: swap the low and the third byte
        std::memcpy(&v, p, 4);
        v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
        std::memcpy(q, &v, 4);
      } else {
        q[0] = p[2], q[1] = p[1], q[2] = p[0], q[3] = p[3];
      }
    });
  else if (swap)
    ForEachPixel<8, 4>(s, t, count, mask, [](const std::uint8_t* p, std::uint8_t* q) {
      q[0] = Reduce16<true>(p + 4), q[1] = Reduce16<true>(p + 2), q[2] = Reduce16<true>(p);
      q[3] = Reduce16<true>(p + 6);
    });
  else
    ForEachPixel<8, 4>(s, t, count, mask, [](const std::uint8_t* p, std::uint8_t* q) {
      q[0] = Reduce16<false>(p + 4), q[1] = Reduce16<false>(p + 2), q[2] = Reduce16<false>(p);
      q[3] = Reduce16<false>(p + 6);
    });
}

}  // namespace evesk
