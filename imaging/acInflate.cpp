#include "imaging/acInflate.h"

#include <climits>

#include <zlib.h>

#include "imaging/acAdler32.h"

namespace evesk {

bool InflateExact(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* dest, std::size_t size) {
  // The zlib header: deflate, a window of at most 32 KB, the check bits, no preset dictionary.
  if (sourceSize < 2 + 4 || sourceSize > UINT_MAX || size > UINT_MAX) return false;
  const unsigned cmf = source[0], flg = source[1];
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf << 8 | flg) % 31 != 0 || (flg & 0x20)) return false;
  // zlib inflates the raw data in one call: with Z_FINISH and all of it at hand it keeps no
  // sliding window; the trailer is checked here with our vector Adler-32.
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(source + 2);
  zs.avail_in = static_cast<uInt>(sourceSize - 2);
  zs.next_out = dest;
  zs.avail_out = static_cast<uInt>(size);
  const int rc = inflate(&zs, Z_FINISH);
  const bool whole = rc == Z_STREAM_END && zs.avail_out == 0 && zs.avail_in == 4;
  const Bytef* trailer = zs.next_in;
  inflateEnd(&zs);
  if (!whole) return false;
  const std::uint32_t stored = static_cast<std::uint32_t>(trailer[0]) << 24 | trailer[1] << 16 | trailer[2] << 8 | trailer[3];
  return stored == Adler32(1, dest, size);
}

}  // namespace evesk
