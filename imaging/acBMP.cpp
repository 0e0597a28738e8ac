#include "imaging/acBMP.h"

#include <cstring>
#include <string>

namespace evesk {

namespace {

std::uint32_t U32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24; }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

[[noreturn]] void Fail(const std::string& what) { throw EInvalidGraphic("Invalid bitmap: " + what); }

constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t BI_RGB = 0, BI_BITFIELDS = 3;

}  // namespace

void LoadBMP(const std::uint8_t* data, std::size_t size, TBitmap& bitmap) {
  bitmap.SetSize(0, 0, TPixelFormat::pf24bit);
  if (size < FileHeaderSize + 40 || data[0] != 'B' || data[1] != 'M') Fail("no bitmap header");
  const std::uint32_t offset = U32(data + 10);
  const std::uint32_t infoSize = U32(data + 14);
  // The common header and its later extensions start alike; the old core header does not.
  if (infoSize < 40 || infoSize > size - FileHeaderSize) Fail("unsupported header");
  const std::uint8_t* info = data + FileHeaderSize;
  const std::int32_t width = static_cast<std::int32_t>(U32(info + 4));
  const std::int32_t rawHeight = static_cast<std::int32_t>(U32(info + 8));
  const int bits = U16(info + 14);
  const std::uint32_t compression = U32(info + 16);
  std::uint32_t colours = U32(info + 32);
  const bool topDown = rawHeight < 0;
  if (rawHeight == INT32_MIN) Fail("bad height");
  const std::int32_t height = topDown ? -rawHeight : rawHeight;
  if (U16(info + 12) != 1) Fail("bad plane count");
  if (width <= 0 || height <= 0 || width > MaxBMPSide || height > MaxBMPSide) Fail("bad size");
  if (std::int64_t{width} * height > TBitmap::MaxPixels) Fail("too large");
  if (bits != 8 && bits != 24 && bits != 32) Fail("unsupported bit depth " + std::to_string(bits));
  // 32-bit files may name their channel masks; only the usual order of bytes is read.
  if (compression == BI_BITFIELDS && bits == 32) {
    const std::size_t masks = infoSize >= 52 ? FileHeaderSize + 40 : FileHeaderSize + infoSize;
    if (masks + 12 > size) Fail("truncated channel masks");
    if (U32(data + masks) != 0xFF0000 || U32(data + masks + 4) != 0xFF00 || U32(data + masks + 8) != 0xFF)
      Fail("unsupported channel masks");
  } else if (compression != BI_RGB) {
    Fail("compressed bitmaps are not supported");
  }

  std::vector<TPaletteEntry> palette;
  if (bits == 8) {
    if (colours == 0) colours = 256;
    if (colours > 256) Fail("bad colour count");
    const std::size_t start = FileHeaderSize + infoSize;
    if (start + std::size_t{colours} * 4 > size) Fail("truncated palette");
    palette.resize(colours);
    for (std::uint32_t i = 0; i < colours; ++i) {
      const std::uint8_t* p = data + start + i * 4;
      palette[i] = TPaletteEntry{p[0], p[1], p[2], 0};
    }
  }

  const std::size_t rowBytes = (static_cast<std::size_t>(width) * bits / 8 + 3) & ~std::size_t{3};
  if (offset < FileHeaderSize + infoSize || offset > size) Fail("bad pixel offset");
  if (rowBytes * static_cast<std::size_t>(height) > size - offset) Fail("truncated pixels");

  const TPixelFormat format = bits == 8 ? TPixelFormat::pf8bit : bits == 24 ? TPixelFormat::pf24bit : TPixelFormat::pf32bit;
  if (!bitmap.SetSize(width, height, format)) Fail("cannot allocate " + std::to_string(width) + " x " + std::to_string(height));
  if (bits == 8) {
    // Indexes past the palette would read beyond it when drawn: they take the last entry.
    const std::uint8_t last = static_cast<std::uint8_t>(palette.size() - 1);
    bitmap.SetPalette(palette);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* src = data + offset + rowBytes * static_cast<std::size_t>(topDown ? y : height - 1 - y);
      std::uint8_t* dst = bitmap.ScanLine(y);
      for (int x = 0; x < width; ++x) dst[x] = src[x] > last ? last : src[x];
    }
    return;
  }
  const std::size_t lineBytes = static_cast<std::size_t>(width) * bits / 8;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = data + offset + rowBytes * static_cast<std::size_t>(topDown ? y : height - 1 - y);
    std::memcpy(bitmap.ScanLine(y), src, lineBytes);
  }
}

}  // namespace evesk
