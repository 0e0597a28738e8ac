// Reverses the PNG row filters (none, sub, up, average, Paeth) in place.
#pragma once
#include <cstddef>
#include <cstdint>

namespace evesk {

// row and previous hold size bytes of filtered and already unfiltered data; bpp is the number
// of bytes of one complete pixel (at least 1). An unknown filter type leaves the row as it is.
void UnfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous, std::size_t size, int bpp);

}  // namespace evesk
