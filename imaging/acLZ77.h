// One zlib inflate stream fed piece by piece: the PNG decoder hands it each IDAT chunk as it
// is read and pulls filtered rows out of it.
#pragma once
#include <cstddef>
#include <cstdint>

#include <zlib.h>

namespace evesk {

class TLZ77Decoder {
 public:
  // flushMode is passed to every inflate call; with autoReset the stream starts over after
  // each end of a zlib stream.
  explicit TLZ77Decoder(int flushMode = Z_PARTIAL_FLUSH, bool autoReset = false);
  ~TLZ77Decoder();  // ends the stream if it is still open, without raising
  TLZ77Decoder(const TLZ77Decoder&) = delete;
  TLZ77Decoder& operator=(const TLZ77Decoder&) = delete;

  // Raise EGraphicCompression("LZ77 decompression error.") when zlib refuses.
  void DecodeInit();
  void DecodeEnd();

  // The compressed bytes to take from; they must stay valid until used up or replaced.
  void SetInput(const std::uint8_t* data, std::size_t size);
  std::size_t AvailableInput() const { return FStream.avail_in; }

  // Inflates into dest until it is full, the input is used up or the zlib stream ends.
  // Returns the zlib result (also kept as ZLibResult) and adds the bytes written to produced.
  int Decode(std::uint8_t* dest, std::size_t size, std::size_t& produced);

  int FlushMode() const { return FFlushMode; }
  bool AutoReset() const { return FAutoReset; }
  int ZLibResult() const { return FZLibResult; }
  bool Initialized() const { return FInitialized; }

 private:
  z_stream FStream{};
  int FFlushMode;
  bool FAutoReset;
  bool FInitialized = false;
  int FZLibResult = Z_OK;
};

}  // namespace evesk
