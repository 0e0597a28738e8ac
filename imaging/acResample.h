// Resizing of 32-bit pixels with alpha (BGRA in memory, as icons hold them). Portable, so that
// its arithmetic is tested natively.
#pragma once
#include <cstdint>
#include <vector>

namespace evesk {

// The picture of width × height pixels (rows top-down, no padding) resized to toWidth ×
// toHeight by area averaging: each new pixel is the mean of the old pixels it covers, weighted
// by the covered area and by their alpha, so shrinking keeps soft edges and no dark fringe.
// Returns an empty vector when a side is not positive or the pixels do not match the sides.
std::vector<std::uint32_t> ResizeArea(const std::vector<std::uint32_t>& pixels, int width, int height, int toWidth,
                                      int toHeight);

}  // namespace evesk
