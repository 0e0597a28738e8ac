// Row converter of the image decoders: turns one row of samples from the file's layout
// (bits per sample, samples per pixel, colour scheme) into the bitmap's scan-line layout,
// optionally through a gamma table. The method is chosen again whenever a setting changed.
#pragma once
#include <cstdint>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/GraphicErrors.h"

namespace evesk {

enum class TColorScheme { csUnknown, csIndexed, csG, csGA, csRGB, csRGBA, csBGR, csBGRA };

enum TConversionOption : unsigned {
  coAlpha = 1,         // the scheme carries an alpha sample (derived from the scheme)
  coApplyGamma = 2,    // colour levels go through the gamma table (target option)
  coNeedByteSwap = 4,  // 16-bit samples are big-endian (source option)
};
using TConversionOptions = unsigned;

class TColorManager {
 public:
  static constexpr double DefaultDisplayGamma = 2.2;

  TColorScheme SourceColorScheme() const { return FSourceScheme; }
  TColorScheme TargetColorScheme() const { return FTargetScheme; }
  int SourceBitsPerSample() const { return FSourceBPS; }
  int TargetBitsPerSample() const { return FTargetBPS; }
  int SourceSamplesPerPixel() const { return FSourceSPP; }
  int TargetSamplesPerPixel() const { return FTargetSPP; }
  TConversionOptions SourceOptions() const { return FSourceOptions; }
  TConversionOptions TargetOptions() const { return FTargetOptions; }

  void SetSourceColorScheme(TColorScheme value);
  void SetTargetColorScheme(TColorScheme value);
  void SetSourceBitsPerSample(int value);
  void SetTargetBitsPerSample(int value);
  void SetSourceSamplesPerPixel(int value);
  void SetTargetSamplesPerPixel(int value);
  void SetSourceOptions(TConversionOptions value);
  void SetTargetOptions(TConversionOptions value);

  double MainGamma() const { return FMainGamma; }
  double DisplayGamma() const { return FDisplayGamma; }
  // Non-positive values fall back to 1 and 2.2.
  void SetGamma(double mainGamma, double displayGamma = DefaultDisplayGamma);

  // One entry per level i = 0..N: round((i / N) ^ (1 / (main × display)) × T), N = 255 for
  // 8- and 16-bit sources, else the target's top level; T = the target's top level.
  const std::vector<std::uint8_t>& GammaTable();

  // Validates the settings and picks the conversion; raises EColorConversionError.
  void Prepare();

  // Converts into target pixels 0..count-1. Bit x % 8 of mask (0x80 = pixel 0 of each group
  // of eight) says whether target pixel x receives the next source pixel or is left alone;
  // 0xFF converts a whole row.
  void ConvertRow(const std::uint8_t* source, std::uint8_t* target, int count, std::uint8_t mask = 0xFF);

  // Colour tables for indexed targets, gamma-corrected when the target applies gamma:
  // 2^bits grey levels from black to white, or the file's RGB triples.
  std::vector<TPaletteEntry> CreateGrayscalePalette(int bitsPerSample);
  std::vector<TPaletteEntry> CreateColorPalette(const std::uint8_t* rgb, int count);

 private:
  using TRowConversion = void (TColorManager::*)(const std::uint8_t*, std::uint8_t*, int, std::uint8_t);
  void Changed() { FConversion = nullptr; }
  std::uint8_t GammaLevel8(std::uint8_t level);  // 8-bit level through the gamma exponent

  void RowIndexed(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask);
  void RowGray(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask);
  void RowRGB(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask);
  void RowRGBA(const std::uint8_t* s, std::uint8_t* t, int count, std::uint8_t mask);

  TColorScheme FSourceScheme = TColorScheme::csRGB, FTargetScheme = TColorScheme::csBGR;
  int FSourceBPS = 8, FTargetBPS = 8, FSourceSPP = 3, FTargetSPP = 3;
  TConversionOptions FSourceOptions = 0, FTargetOptions = 0;
  double FMainGamma = 1.0, FDisplayGamma = DefaultDisplayGamma;
  std::vector<std::uint8_t> FGammaTable;
  std::vector<std::uint8_t> FGamma8;  // 256 entries, for palettes and 8-bit colour targets
  TRowConversion FConversion = nullptr;
};

}  // namespace evesk
