#include "imaging/acLZ77.h"

#include <limits>

#include "framework/GraphicErrors.h"

namespace evesk {

namespace {
const char* const SLZ77Error = "LZ77 decompression error.";
}

TLZ77Decoder::TLZ77Decoder(int flushMode, bool autoReset) : FFlushMode(flushMode), FAutoReset(autoReset) {}

TLZ77Decoder::~TLZ77Decoder() {
  if (FInitialized) inflateEnd(&FStream);
}

void TLZ77Decoder::DecodeInit() {
  if (FInitialized) inflateEnd(&FStream);
  FStream = z_stream{};
  FZLibResult = inflateInit(&FStream);
  FInitialized = FZLibResult == Z_OK;
  if (!FInitialized) throw EGraphicCompression(SLZ77Error);
}

void TLZ77Decoder::DecodeEnd() {
  if (!FInitialized) return;
  FInitialized = false;
  FZLibResult = inflateEnd(&FStream);
  if (FZLibResult != Z_OK) throw EGraphicCompression(SLZ77Error);
}

void TLZ77Decoder::SetInput(const std::uint8_t* data, std::size_t size) {
  FStream.next_in = const_cast<Bytef*>(data);
  FStream.avail_in = static_cast<uInt>(size);
}

int TLZ77Decoder::Decode(std::uint8_t* dest, std::size_t size, std::size_t& produced) {
  if (!FInitialized) return FZLibResult = Z_STREAM_ERROR;
  // zlib counts in uInt; a larger request is served in slices.
  constexpr std::size_t slice = std::numeric_limits<uInt>::max();
  for (;;) {
    const uInt part = static_cast<uInt>(size < slice ? size : slice);
    FStream.next_out = dest;
    FStream.avail_out = part;
    FZLibResult = inflate(&FStream, FFlushMode);
    const std::size_t done = part - FStream.avail_out;
    produced += done;
    dest += done;
    size -= done;
    const bool more = size > 0 && FStream.avail_in > 0;
    if (FZLibResult == Z_STREAM_END && FAutoReset) {
      inflateReset(&FStream);  // the next zlib stream may follow at once
      if (!more) break;
    } else if (FZLibResult != Z_OK || !more) {
      break;
    }
  }
  return FZLibResult;
}

}  // namespace evesk
