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

// What the file and info headers say, checked against the data and the limits.
struct TBmpInfo {
  std::uint32_t Offset = 0, InfoSize = 0, Colours = 0;
  std::int32_t Width = 0, Height = 0;
  int Bits = 0;
  bool TopDown = false;
  std::size_t RowBytes() const { return (static_cast<std::size_t>(Width) * Bits / 8 + 3) & ~std::size_t{3}; }
};

// 32-bit files may name their channel masks; only the usual order of bytes is read.
void CheckCompression(const std::uint8_t* data, std::size_t size, const TBmpInfo& h, std::uint32_t compression) {
  if (compression == BI_BITFIELDS && h.Bits == 32) {
    const std::size_t masks = h.InfoSize >= 52 ? FileHeaderSize + 40 : FileHeaderSize + h.InfoSize;
    if (masks + 12 > size) Fail("truncated channel masks");
    if (U32(data + masks) != 0xFF0000 || U32(data + masks + 4) != 0xFF00 || U32(data + masks + 8) != 0xFF)
      Fail("unsupported channel masks");
  } else if (compression != BI_RGB) {
    Fail("compressed bitmaps are not supported");
  }
}

TBmpInfo ReadInfo(const std::uint8_t* data, std::size_t size) {
  if (size < FileHeaderSize + 40 || data[0] != 'B' || data[1] != 'M') Fail("no bitmap header");
  TBmpInfo h;
  h.Offset = U32(data + 10);
  h.InfoSize = U32(data + 14);
  // The common header and its later extensions start alike; the old core header does not.
  if (h.InfoSize < 40 || h.InfoSize > size - FileHeaderSize) Fail("unsupported header");
  const std::uint8_t* info = data + FileHeaderSize;
  h.Width = static_cast<std::int32_t>(U32(info + 4));
  const std::int32_t rawHeight = static_cast<std::int32_t>(U32(info + 8));
  h.Bits = U16(info + 14);
  const std::uint32_t compression = U32(info + 16);
  h.Colours = U32(info + 32);
  h.TopDown = rawHeight < 0;
  if (rawHeight == INT32_MIN) Fail("bad height");
  h.Height = h.TopDown ? -rawHeight : rawHeight;
  if (U16(info + 12) != 1) Fail("bad plane count");
  if (h.Width <= 0 || h.Height <= 0 || h.Width > MaxBMPSide || h.Height > MaxBMPSide) Fail("bad size");
  if (std::int64_t{h.Width} * h.Height > TBitmap::MaxPixels) Fail("too large");
  if (h.Bits != 8 && h.Bits != 24 && h.Bits != 32) Fail("unsupported bit depth " + std::to_string(h.Bits));
  CheckCompression(data, size, h, compression);
  return h;
}

// The colour table of an 8-bit file; 0 colours means all 256.
std::vector<TPaletteEntry> ReadPalette(const std::uint8_t* data, std::size_t size, const TBmpInfo& h) {
  const std::uint32_t colours = h.Colours == 0 ? 256 : h.Colours;
  if (colours > 256) Fail("bad colour count");
  const std::size_t start = FileHeaderSize + h.InfoSize;
  if (start + std::size_t{colours} * 4 > size) Fail("truncated palette");
  std::vector<TPaletteEntry> palette(colours);
  for (std::uint32_t i = 0; i < colours; ++i) {
    const std::uint8_t* p = data + start + i * 4;
    palette[i] = TPaletteEntry{p[0], p[1], p[2], 0};
  }
  return palette;
}

// Row y of the picture as the file stores it (bottom-up unless the height was negative).
const std::uint8_t* FileRow(const std::uint8_t* data, const TBmpInfo& h, int y) {
  return data + h.Offset + h.RowBytes() * static_cast<std::size_t>(h.TopDown ? y : h.Height - 1 - y);
}

}  // namespace

void LoadBMP(const std::uint8_t* data, std::size_t size, TBitmap& bitmap) {
  bitmap.SetSize(0, 0, TPixelFormat::pf24bit);
  const TBmpInfo h = ReadInfo(data, size);
  std::vector<TPaletteEntry> palette;
  if (h.Bits == 8) palette = ReadPalette(data, size, h);
  if (h.Offset < FileHeaderSize + h.InfoSize || h.Offset > size) Fail("bad pixel offset");
  if (h.RowBytes() * static_cast<std::size_t>(h.Height) > size - h.Offset) Fail("truncated pixels");

  const TPixelFormat format = h.Bits == 8 ? TPixelFormat::pf8bit : h.Bits == 24 ? TPixelFormat::pf24bit : TPixelFormat::pf32bit;
  if (!bitmap.SetSize(h.Width, h.Height, format))
    Fail("cannot allocate " + std::to_string(h.Width) + " x " + std::to_string(h.Height));
  if (h.Bits == 8) {
    // Indexes past the palette would read beyond it when drawn: they take the last entry.
    const std::uint8_t last = static_cast<std::uint8_t>(palette.size() - 1);
    bitmap.SetPalette(palette);
    for (int y = 0; y < h.Height; ++y) {
      const std::uint8_t* src = FileRow(data, h, y);
      std::uint8_t* dst = bitmap.ScanLine(y);
      for (int x = 0; x < h.Width; ++x) dst[x] = src[x] > last ? last : src[x];
    }
    return;
  }
  const std::size_t lineBytes = static_cast<std::size_t>(h.Width) * h.Bits / 8;
  for (int y = 0; y < h.Height; ++y) std::memcpy(bitmap.ScanLine(y), FileRow(data, h, y), lineBytes);
}

}  // namespace evesk
