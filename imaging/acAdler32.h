// Adler-32 of zlib streams (RFC 1950), computed here so that inflating can run raw and the
// checksum, which costs as much as the inflation itself on our data, runs in vectors.
#pragma once

#include <cstddef>
#include <cstdint>

namespace evesk {

// Continues the checksum `adler` over `size` bytes; start with 1. Same contract as zlib's.
std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* data, std::size_t size);
// The same without vectors, as on processors that lack them; tests hold both to zlib's.
std::uint32_t Adler32Plain(std::uint32_t adler, const std::uint8_t* data, std::size_t size);

}  // namespace evesk
