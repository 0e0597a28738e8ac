#include "imaging/acPNGFilters.h"

#include <cstdlib>

namespace evesk {

namespace {

inline std::uint8_t Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The pixel size as a template argument lets the compiler keep a whole pixel in registers.
// Bpp 0 stands for a pixel size known only at run time.
template <int FixedBpp>
void UnfilterFixed(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t size, std::size_t runtimeBpp = 0) {
  const std::size_t Bpp = FixedBpp ? FixedBpp : runtimeBpp;
  switch (filter) {
    case 1:
      for (std::size_t i = Bpp; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - Bpp]);
      break;
    case 2:
      for (std::size_t i = 0; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < Bpp && i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prev[i] >> 1));
      for (std::size_t i = Bpp; i < size; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - Bpp] + prev[i]) >> 1));
      break;
    case 4:
      for (std::size_t i = 0; i < Bpp && i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      for (std::size_t i = Bpp; i < size; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + Paeth(row[i - Bpp], prev[i], prev[i - Bpp]));
      break;
    default: break;
  }
}

}  // namespace

void UnfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous, std::size_t size, int bpp) {
  switch (bpp) {
    case 1: UnfilterFixed<1>(filter, row, previous, size); break;
    case 2: UnfilterFixed<2>(filter, row, previous, size); break;
    case 3: UnfilterFixed<3>(filter, row, previous, size); break;
    case 4: UnfilterFixed<4>(filter, row, previous, size); break;
    case 6: UnfilterFixed<6>(filter, row, previous, size); break;
    case 8: UnfilterFixed<8>(filter, row, previous, size); break;
    default: UnfilterFixed<0>(filter, row, previous, size, bpp > 0 ? bpp : 1); break;
  }
}

}  // namespace evesk
