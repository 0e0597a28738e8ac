#include "framework/IcoFile.h"

#include <cstdlib>
#include <cstring>

#include "framework/GraphicErrors.h"

namespace evesk {

namespace {

const char* const SInvalidFormat = "Cannot load image. Invalid or unexpected %s image format.";
const std::uint8_t PNGSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::size_t DirHeader = 6, DirEntry = 16, InfoHeader = 40;

std::uint32_t LE16(const std::uint8_t* p) { return p[0] | static_cast<std::uint32_t>(p[1]) << 8; }
std::uint32_t LE32(const std::uint8_t* p) { return LE16(p) | LE16(p + 2) << 16; }
std::int32_t LE32s(const std::uint8_t* p) { return static_cast<std::int32_t>(LE32(p)); }
std::uint32_t BE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 | static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::uint64_t Stride(std::uint64_t width, std::uint64_t bits) { return (width * bits + 31) / 32 * 4; }

// Checks a bitmap image (header, colour table, colour and mask rows) against its data.
bool ReadBitmapImage(const std::uint8_t* p, std::size_t size, TIcoImage& image) {
  if (size < InfoHeader) return false;
  const std::uint32_t headerSize = LE32(p), planes = LE16(p + 12), bits = LE16(p + 14);
  const std::int32_t width = LE32s(p + 4), doubleHeight = LE32s(p + 8);
  const std::uint32_t compression = LE32(p + 16), used = LE32(p + 32);
  if (headerSize < InfoHeader || headerSize > size || planes != 1 || compression != 0) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  // Colour and mask are stacked, so the header gives twice the image's height.
  if (width <= 0 || width > 256 || doubleHeight <= 0 || doubleHeight % 2 != 0 || doubleHeight / 2 > 256) return false;
  const std::uint32_t height = static_cast<std::uint32_t>(doubleHeight) / 2;
  std::uint64_t colours = used != 0 ? used : (bits <= 8 ? 1u << bits : 0);
  if (colours > 256) return false;
  const std::uint64_t needed = headerSize + colours * 4 + Stride(static_cast<std::uint32_t>(width), bits) * height +
                               Stride(static_cast<std::uint32_t>(width), 1) * height;
  if (needed > size) return false;
  image.Width = width;
  image.Height = static_cast<int>(height);
  image.BitCount = static_cast<int>(bits);
  return true;
}

// A PNG image: its signature and a header giving a size.
bool ReadPNGImage(const std::uint8_t* p, std::size_t size, TIcoImage& image) {
  if (size < 33 || std::memcmp(p, PNGSignature, 8) != 0 || std::memcmp(p + 12, "IHDR", 4) != 0) return false;
  const std::uint32_t w = BE32(p + 16), h = BE32(p + 20);
  if (w == 0 || h == 0 || w > 1024 || h > 1024) return false;
  image.Width = static_cast<int>(w);
  image.Height = static_cast<int>(h);
  image.BitCount = 32;
  image.IsPNG = true;
  return true;
}

}  // namespace

TIcoImage SelectIcoImage(const std::uint8_t* data, std::size_t size, int width, int height) {
  if (!data || size < DirHeader || LE16(data) != 0 || LE16(data + 2) != 1)
    throw EInvalidGraphic(FormatText(SInvalidFormat, {"ICO"}));
  const std::size_t count = LE16(data + 4);
  if (count == 0 || DirHeader + count * DirEntry > size) throw EInvalidGraphic(FormatText(SInvalidFormat, {"ICO"}));

  TIcoImage best;
  bool found = false;
  long bestDistance = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* e = data + DirHeader + i * DirEntry;
    const std::uint64_t length = LE32(e + 8), offset = LE32(e + 12);
    if (offset < DirHeader + count * DirEntry || length == 0 || offset + length > size) continue;
    TIcoImage image;
    image.Offset = static_cast<std::size_t>(offset);
    image.Size = static_cast<std::size_t>(length);
    const std::uint8_t* p = data + image.Offset;
    if (!ReadPNGImage(p, image.Size, image) && !ReadBitmapImage(p, image.Size, image)) continue;
    const long distance = std::labs(static_cast<long>(image.Width) - width) + std::labs(static_cast<long>(image.Height) - height);
    // Between equally near sizes the larger one is taken: shrinking looks better than growing.
    const bool better = !found || distance < bestDistance ||
                        (distance == bestDistance && (image.BitCount > best.BitCount ||
                                                      (image.BitCount == best.BitCount && image.Width > best.Width)));
    if (better) {
      best = image;
      bestDistance = distance;
      found = true;
    }
  }
  if (!found) throw EInvalidGraphic(FormatText(SInvalidFormat, {"ICO"}));
  return best;
}

}  // namespace evesk
