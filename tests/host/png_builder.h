// Builds PNG files chunk by chunk for the decoder tests, so that every field, CRC and
// compressed byte can be set or broken on purpose.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline void Put32(Bytes& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}
inline void Put16(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

inline Bytes Chunk(const std::string& type, const Bytes& data) {
  Bytes out;
  out.reserve(12 + data.size());
  Put32(out, static_cast<std::uint32_t>(data.size()));
  for (char c : type) out.push_back(static_cast<std::uint8_t>(c));
  for (std::uint8_t d : data) out.push_back(d);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  Put32(out, static_cast<std::uint32_t>(crc));
  return out;
}

inline Bytes IHDR(std::uint32_t w, std::uint32_t h, int depth, int colorType, int interlace = 0, int compression = 0) {
  Bytes d;
  Put32(d, w);
  Put32(d, h);
  d.push_back(static_cast<std::uint8_t>(depth));
  d.push_back(static_cast<std::uint8_t>(colorType));
  d.push_back(static_cast<std::uint8_t>(compression));
  d.push_back(0);
  d.push_back(static_cast<std::uint8_t>(interlace));
  return Chunk("IHDR", d);
}

// A raw stream through zlib's own writer with any level, strategy and last flush: Z_SYNC_FLUSH
// leaves it unfinished, as if the writer stopped mid-image.
inline Bytes Deflated(const Bytes& raw, int level, int strategy, int flush = Z_FINISH) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
  Bytes out(deflateBound(&z, static_cast<uLong>(raw.size())) + 16);
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, flush);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

inline Bytes Zlib(const Bytes& raw) { return Deflated(raw, 9, Z_DEFAULT_STRATEGY); }

inline Bytes IEND() { return Chunk("IEND", {}); }

inline Bytes Png(std::initializer_list<Bytes> chunks) {
  Bytes out = {137, 80, 78, 71, 13, 10, 26, 10};
  for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
  return out;
}

// Filtered rows of a simple image: each row is the filter byte 0 and then its bytes.
inline Bytes Rows(const std::vector<Bytes>& rows) {
  Bytes raw;
  for (const Bytes& r : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), r.begin(), r.end());
  }
  return raw;
}

}  // namespace pngtest
