// The class library's bitmap: a top-down pixel buffer with scan lines, an optional palette and a
// transparent colour. In the Windows build the pixels live in a DIB section (Bitmap_win.cpp),
// in the host build in a heap buffer (Bitmap_heap.cpp); decoders and pixel operations only see
// this interface.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace evesk {

// Colour: red in the low byte, then green, then blue.
using TColor = std::uint32_t;
constexpr TColor clNone = 0x1FFFFFFF;

enum class TPixelFormat { pf1bit = 1, pf4bit = 4, pf8bit = 8, pf24bit = 24, pf32bit = 32 };

inline int BitsPerPixel(TPixelFormat f) { return static_cast<int>(f); }

// Palette entry as stored in a DIB colour table: blue, green, red, reserved.
struct TPaletteEntry {
  std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
};

class TBitmap {
 public:
  TBitmap();
  virtual ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }

  // Reallocates the pixels (zero-filled) unless size and format are unchanged. Returns false
  // (and leaves the bitmap empty) when the size cannot be allocated.
  bool SetSize(int width, int height, TPixelFormat format);
  void SetPixelFormat(TPixelFormat format) { SetSize(FWidth, FHeight, format); }

  // Bytes of one scan line, a multiple of 4 as in a DIB.
  std::size_t Stride() const { return FStride; }
  std::uint8_t* ScanLine(int y) { return FBits + static_cast<std::size_t>(y) * FStride; }
  const std::uint8_t* ScanLine(int y) const { return FBits + static_cast<std::size_t>(y) * FStride; }

  // Colour table for the 1-, 4- and 8-bit formats (at most 256 entries).
  const std::vector<TPaletteEntry>& Palette() const { return FPalette; }
  void SetPalette(const std::vector<TPaletteEntry>& palette);

  bool Transparent = false;
  TColor TransparentColor = clNone;

  // Copies size, format, palette, transparency and pixels.
  virtual void Assign(const TBitmap& source);

  // Platform handle (HBITMAP of the DIB section) in the Windows build, null in the host build.
  void* Handle() const { return FHandle; }

  static std::size_t StrideFor(int width, TPixelFormat format);
  // Largest pixel count a bitmap may have; bigger requests are refused before allocating.
  static constexpr std::int64_t MaxPixels = 64LL * 1024 * 1024;

 private:
  bool Allocate(int width, int height, TPixelFormat format, std::size_t stride);
  void Release();
  void SyncPalette();  // pushes the palette into the platform bitmap

  int FWidth = 0, FHeight = 0;
  TPixelFormat FPixelFormat = TPixelFormat::pf24bit;
  std::size_t FStride = 0;
  std::uint8_t* FBits = nullptr;
  void* FHandle = nullptr;
  std::vector<std::uint8_t> FHeap;
  std::vector<TPaletteEntry> FPalette;
};

}  // namespace evesk
