#include "imaging/acPNGFilters.h"

namespace evesk {

namespace {

// The predictor of the Paeth filter, written so that compilers choose without branches
// (branches on image data are mispredicted about half the time).
inline int Paeth(int a, int b, int c) {
  const int p = b - c, q = a - c, r = p + q;
  const int pa = p < 0 ? -p : p, pb = q < 0 ? -q : q, pc = r < 0 ? -r : r;
  const int bc = pb <= pc ? b : c;
  return pa <= pb && pa <= pc ? a : bc;
}

// Undoes a filter whose predictor depends on the left (a), upper (b) and upper-left (c) bytes,
// from the second pixel on, one pixel at a time with a and c kept in registers: the channels
// are independent chains the processor runs side by side, and no byte is read back from
// memory right after being stored.
template <int Bpp, class Predictor>
inline void ByPixel(std::uint8_t* row, const std::uint8_t* prev, std::size_t size, Predictor predict) {
  int a[Bpp], c[Bpp];
  for (int k = 0; k < Bpp; ++k) a[k] = row[k], c[k] = prev[k];
  std::size_t i = Bpp;
  for (; i + Bpp <= size; i += Bpp)
    for (int k = 0; k < Bpp; ++k) {
      const int b = prev[i + k];
      a[k] = (row[i + k] + predict(a[k], b, c[k])) & 0xFF;
      row[i + k] = static_cast<std::uint8_t>(a[k]);
      c[k] = b;
    }
  for (; i < size; ++i)  // a partial pixel at the end, should a row ever have one
    row[i] = static_cast<std::uint8_t>(row[i] + predict(row[i - Bpp], prev[i], prev[i - Bpp]));
}

// Bpp 0 stands for a pixel size known only at run time.
template <int FixedBpp>
void UnfilterFixed(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t size, std::size_t runtimeBpp = 0) {
  const std::size_t Bpp = FixedBpp ? FixedBpp : runtimeBpp;
  switch (filter) {
    case 1:
      if constexpr (FixedBpp > 0) {
        if (size < Bpp) break;
        ByPixel<FixedBpp>(row, prev, size, [](int a, int, int) { return a; });
      } else {
        for (std::size_t i = Bpp; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - Bpp]);
      }
      break;
    case 2:
      for (std::size_t i = 0; i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      break;
    case 3:
      for (std::size_t i = 0; i < Bpp && i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prev[i] >> 1));
      if constexpr (FixedBpp > 0) {
        if (size < Bpp) break;
        ByPixel<FixedBpp>(row, prev, size, [](int a, int b, int) { return (a + b) >> 1; });
      } else {
        for (std::size_t i = Bpp; i < size; ++i)
          row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - Bpp] + prev[i]) >> 1));
      }
      break;
    case 4:
      for (std::size_t i = 0; i < Bpp && i < size; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
      if constexpr (FixedBpp > 0) {
        if (size < Bpp) break;
        ByPixel<FixedBpp>(row, prev, size, Paeth);
      } else {
        for (std::size_t i = Bpp; i < size; ++i)
          row[i] = static_cast<std::uint8_t>(row[i] + Paeth(row[i - Bpp], prev[i], prev[i - Bpp]));
      }
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
