// Small value types shared by the portable code and the Windows layer.
#pragma once

namespace evesk {

// A rectangle with right and bottom exclusive, laid out as the platform's RECT.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  // Same corners; two empty rectangles at different places still differ.
  friend bool operator==(const TRect&, const TRect&) = default;
};

}  // namespace evesk
