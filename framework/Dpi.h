// Display scale: forms are described at 96 dots per inch and scaled to the DPI of the screen
// they show on. Portable arithmetic here; the platform queries in Dpi_win.h.
#pragma once
#include <array>
#include <cstddef>

namespace evesk {

constexpr int DesignDpi = 96;

// value * to / from, rounded half away from zero as the platform's MulDiv does, so that a value
// scaled up and back (96 -> 144 -> 96) returns exactly. A zero `from` leaves the value; a result
// beyond int saturates.
constexpr int ScaleDpi(int value, int to, int from = DesignDpi) {
  if (from == 0 || to == from) return value;
  const long long num = static_cast<long long>(value) * to;
  const long long mag = num < 0 ? -num : num, den = from < 0 ? -static_cast<long long>(from) : from;
  const long long q = (mag + den / 2) / den, r = (num < 0) != (from < 0) ? -q : q;
  return r > 2147483647LL ? 2147483647 : r < -2147483647LL - 1 ? -2147483647 - 1 : static_cast<int>(r);
}

// Lengths that are scaled from one DPI to the next (a control's bounds). Each step scales from the
// lengths as they were last set by hand, not from the last rounded result, so that a window moved
// through several screens (96 -> 144 -> 120 -> 96) comes back exactly; a length changed between two
// steps is taken as the new anchor.
template <std::size_t N>
class TDpiAnchor {
 public:
  using Lengths = std::array<int, N>;
  Lengths Scale(const Lengths& now, int to, int from) {
    if (!FValid || now != FLast || from != FLastDpi) {
      FAnchor = now;
      FAnchorDpi = from;
    }
    for (std::size_t i = 0; i < N; ++i) FLast[i] = ScaleDpi(FAnchor[i], to, FAnchorDpi);
    FLastDpi = to;
    FValid = true;
    return FLast;
  }

 private:
  Lengths FAnchor{}, FLast{};
  int FAnchorDpi = DesignDpi, FLastDpi = DesignDpi;
  bool FValid = false;
};

}  // namespace evesk
