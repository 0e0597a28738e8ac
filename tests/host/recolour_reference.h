// The hue and saturation formulas of a skin's recolouring, written out step by step in exact
// fractions, with halves going to the even neighbour: what the recolouring must give in every
// build, whatever its floating point.
#pragma once
#include <algorithm>
#include <cstdint>
#include <numeric>

namespace recolourtest {

struct Q {
  std::int64_t N, D = 1;
  Q(std::int64_t n = 0, std::int64_t d = 1) : N(d < 0 ? -n : n), D(d < 0 ? -d : d) {
    const std::int64_t g = std::gcd(N, D);
    if (g > 1) N /= g, D /= g;
  }
  friend Q operator+(Q a, Q b) { return Q(a.N * b.D + b.N * a.D, a.D * b.D); }
  friend Q operator-(Q a, Q b) { return Q(a.N * b.D - b.N * a.D, a.D * b.D); }
  friend Q operator*(Q a, Q b) { return Q(a.N * b.N, a.D * b.D); }
  friend Q operator/(Q a, Q b) { return Q(a.N * b.D, a.D * b.N); }
  friend bool operator<(Q a, Q b) { return a.N * b.D < b.N * a.D; }
};

inline std::int64_t FloorOf(Q q) { return q.N >= 0 ? q.N / q.D : -((-q.N + q.D - 1) / q.D); }

inline std::int64_t RoundEven(Q q) {
  const std::int64_t f = FloorOf(q);
  const Q rest = q - Q(f);
  if (rest < Q(1, 2)) return f;
  if (Q(1, 2) < rest) return f + 1;
  return f % 2 == 0 ? f : f + 1;
}

inline int Clamp8(Q q) { return static_cast<int>(std::clamp<std::int64_t>(RoundEven(q), 0, 255)); }

inline std::uint32_t Recolour(std::uint32_t colour, int hue, int saturation) {
  int r = colour & 0xFF, g = colour >> 8 & 0xFF, b = colour >> 16 & 0xFF;
  if ((r == g && g == b) || colour == 0xFF00FF) return colour;
  if (hue != 0) {
    const int v = std::max({r, g, b}), d = v - std::min({r, g, b});
    const Q s(d, v), f(60, d);
    Q h = r == v ? f * Q(g - b) : g == v ? Q(120) + f * Q(b - r) : Q(240) + f * Q(r - g);
    if (h < Q(0)) h = h + Q(360);
    const int turned = static_cast<int>(((RoundEven(Q(hue) + h) % 360) + 360) % 360), k = turned / 60;
    const Q t = Q(turned, 60) - Q(k), V(v), one(1);
    const int p = Clamp8(V * (one - s)), q = Clamp8(V * (one - t * s)), w = Clamp8(V * (one - (one - t) * s));
    const int out[6][3] = {{v, w, p}, {q, v, p}, {p, v, w}, {p, q, v}, {w, p, v}, {v, p, q}};
    r = out[k][0], g = out[k][1], b = out[k][2];
  }
  if (saturation != 0) {
    const int amount = -(saturation % 101);
    const Q avg(r + g + b, 3);
    auto move = [&](int c) { return Clamp8(Q(c) + Q(amount) * (avg - Q(c)) / Q(100)); };
    const int r2 = move(r), g2 = move(g), b2 = move(b);
    r = r2, g = g2, b = b2;
  }
  return static_cast<std::uint32_t>(r | g << 8 | b << 16);
}

}  // namespace recolourtest
