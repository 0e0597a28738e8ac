#include "imaging/acResample.h"

#include <algorithm>
#include <cmath>

namespace evesk {

namespace {

// The part of each source cell [i, i + 1) that the target cell [lo, hi) covers, along one axis.
struct TSpan {
  int First = 0;
  std::vector<double> Weights;
};

std::vector<TSpan> Spans(int from, int to) {
  std::vector<TSpan> spans(static_cast<std::size_t>(to));
  const double scale = static_cast<double>(from) / to;
  for (int t = 0; t < to; ++t) {
    const double lo = t * scale, hi = (t + 1) * scale;
    TSpan& span = spans[static_cast<std::size_t>(t)];
    span.First = static_cast<int>(std::floor(lo));
    const int last = std::min(from - 1, static_cast<int>(std::ceil(hi)) - 1);
    for (int i = span.First; i <= last; ++i)
      span.Weights.push_back((std::min(hi, i + 1.0) - std::max(lo, static_cast<double>(i))) / scale);
  }
  return spans;
}

}  // namespace

std::vector<std::uint32_t> ResizeArea(const std::vector<std::uint32_t>& pixels, int width, int height, int toWidth,
                                      int toHeight) {
  if (width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return {};
  const std::vector<TSpan> columns = Spans(width, toWidth), rows = Spans(height, toHeight);
  std::vector<std::uint32_t> out(static_cast<std::size_t>(toWidth) * static_cast<std::size_t>(toHeight));
  for (int ty = 0; ty < toHeight; ++ty) {
    const TSpan& row = rows[static_cast<std::size_t>(ty)];
    for (int tx = 0; tx < toWidth; ++tx) {
      const TSpan& column = columns[static_cast<std::size_t>(tx)];
      // Colours are summed weighted by alpha: a clear pixel's colour must not tint the edge.
      double sum[4] = {0, 0, 0, 0};
      for (std::size_t j = 0; j < row.Weights.size(); ++j) {
        const std::uint32_t* line = &pixels[static_cast<std::size_t>(row.First + static_cast<int>(j)) * width];
        for (std::size_t i = 0; i < column.Weights.size(); ++i) {
          const std::uint32_t p = line[column.First + static_cast<int>(i)];
          const double w = row.Weights[j] * column.Weights[i], a = (p >> 24) * w;
          sum[0] += (p & 0xFF) * a;
          sum[1] += ((p >> 8) & 0xFF) * a;
          sum[2] += ((p >> 16) & 0xFF) * a;
          sum[3] += a;
        }
      }
      std::uint32_t result = 0;
      const auto alpha = static_cast<std::uint32_t>(std::lround(std::min(255.0, sum[3])));
      if (alpha > 0) {
        result = alpha << 24;
        for (int c = 0; c < 3; ++c)
          result |= static_cast<std::uint32_t>(std::lround(std::min(255.0, sum[c] / sum[3]))) << (8 * c);
      }
      out[static_cast<std::size_t>(ty) * toWidth + tx] = result;
    }
  }
  return out;
}

}  // namespace evesk
