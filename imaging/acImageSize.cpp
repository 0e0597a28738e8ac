#include "imaging/acImageSize.h"

#include <cstring>

namespace evesk {

namespace {

std::uint32_t BE32(const std::uint8_t* p) { return std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
std::uint32_t LE32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24; }
unsigned LE16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
unsigned BE16(const std::uint8_t* p) { return p[0] << 8 | p[1]; }

bool Png(const std::uint8_t* d, std::size_t n, TacImageSize& out) {
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 24 || std::memcmp(d, signature, 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0) return false;
  out.Width = BE32(d + 16), out.Height = BE32(d + 20);
  return true;
}

bool Bmp(const std::uint8_t* d, std::size_t n, TacImageSize& out) {
  if (n < 26 || d[0] != 'B' || d[1] != 'M') return false;
  const std::uint32_t infoSize = LE32(d + 14);
  if (infoSize == 12) {  // the old core header: 16-bit sides
    out.Width = LE16(d + 18), out.Height = LE16(d + 20);
    return true;
  }
  if (infoSize < 40) return false;
  const auto w = static_cast<std::int32_t>(LE32(d + 18)), h = static_cast<std::int32_t>(LE32(d + 22));
  out.Width = w < 0 ? -std::int64_t{w} : w;  // a negative height is a top-down file
  out.Height = h < 0 ? -std::int64_t{h} : h;
  return true;
}

// Walks the markers up to the first frame header. Bytes between markers are skipped as the
// decoder does; segments carry their own lengths.
bool Jpeg(const std::uint8_t* d, std::size_t n, TacImageSize& out) {
  if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return false;
  std::size_t i = 2;
  for (;;) {
    while (i < n && d[i] != 0xFF) ++i;
    while (i < n && d[i] == 0xFF) ++i;  // fill bytes
    if (i >= n) return false;
    const std::uint8_t marker = d[i++];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no segment
    if (marker == 0xD9 || marker == 0xDA) return false;  // image or scan without a frame
    if (i + 2 > n) return false;
    const unsigned length = BE16(d + i);
    if (length < 2) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || i + 7 > n) return false;
      out.Height = BE16(d + i + 3), out.Width = BE16(d + i + 5);
      return true;
    }
    i += length;
  }
}

}  // namespace

bool ReadImageSize(const std::uint8_t* data, std::size_t size, TacImageSize& out) {
  out = TacImageSize();
  if (!data) return false;
  return Png(data, size, out) || Bmp(data, size, out) || Jpeg(data, size, out);
}

}  // namespace evesk
