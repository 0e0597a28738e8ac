// Inflates a whole zlib stream held in memory straight into a buffer of known size. It takes
// only faultless streams: it answers false for anything else (damaged, short, too long, a wrong
// checksum, bytes after the trailer, a preset dictionary), and the caller then decodes the same
// data the slow way, which tells exactly where the stream breaks.
#pragma once
#include <cstddef>
#include <cstdint>

namespace evesk {

// True when source (header, deflate data and Adler-32 trailer, nothing more) inflates to
// exactly size bytes; dest must hold size bytes.
bool InflateExact(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* dest, std::size_t size);

}  // namespace evesk
