#include "imaging/acAdler32.h"

#include "framework/SysUtils.h"

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#define EVESK_ADLER_SSSE3 1
#endif

namespace evesk {

namespace {

constexpr std::uint32_t Base = 65521;
// The most bytes after which the sums, started below Base, still fit 32 bits.
constexpr std::size_t MaxRun = 5552;

void Scalar(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    std::size_t run = n < MaxRun ? n : MaxRun;
    n -= run;
    for (; run >= 8; run -= 8, p += 8) {
      s1 += p[0], s2 += s1, s1 += p[1], s2 += s1, s1 += p[2], s2 += s1, s1 += p[3], s2 += s1;
      s1 += p[4], s2 += s1, s1 += p[5], s2 += s1, s1 += p[6], s2 += s1, s1 += p[7], s2 += s1;
    }
    for (; run > 0; --run) s1 += *p++, s2 += s1;
    s1 %= Base, s2 %= Base;
  }
}

#ifdef EVESK_ADLER_SSSE3
// Sixteen bytes at a time: s1 grows by their sum; s2 by 16 × s1 before them plus their sum
// weighted 16..1. Runs stay short enough that no lane overflows before the reduction.
__attribute__((target("ssse3"))) std::size_t Vector(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                                                    std::size_t n) {
  const __m128i weights = _mm_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i zero = _mm_setzero_si128();
  std::size_t done = 0;
  while (n - done >= 16) {
    std::size_t blocks = (n - done) / 16;
    if (blocks > MaxRun / 16) blocks = MaxRun / 16;
    __m128i vs1 = zero, vprefix = zero, vs2 = zero;
    for (std::size_t i = 0; i < blocks; ++i) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + done + i * 16));
      vprefix = _mm_add_epi32(vprefix, vs1);
      vs1 = _mm_add_epi32(vs1, _mm_sad_epu8(bytes, zero));
      vs2 = _mm_add_epi32(vs2, _mm_madd_epi16(_mm_maddubs_epi16(bytes, weights), ones));
    }
    alignas(16) std::uint32_t a[4], b[4], c[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(a), vs1);
    _mm_store_si128(reinterpret_cast<__m128i*>(b), vprefix);
    _mm_store_si128(reinterpret_cast<__m128i*>(c), vs2);
    const std::uint64_t sum = std::uint64_t{a[0]} + a[1] + a[2] + a[3];
    const std::uint64_t prefix = std::uint64_t{b[0]} + b[1] + b[2] + b[3];
    const std::uint64_t weighted = std::uint64_t{c[0]} + c[1] + c[2] + c[3];
    const std::uint64_t length = blocks * 16;
    s2 = static_cast<std::uint32_t>((s2 + length * s1 + 16 * prefix + weighted) % Base);
    s1 = static_cast<std::uint32_t>((s1 + sum) % Base);
    done += blocks * 16;
  }
  return done;
}
#endif

}  // namespace

std::uint32_t Adler32Plain(std::uint32_t adler, const std::uint8_t* data, std::size_t size) {
  std::uint32_t s1 = (adler & 0xFFFF) % Base, s2 = (adler >> 16) % Base;
  Scalar(s1, s2, data, size);
  return s2 << 16 | s1;
}

std::uint32_t Adler32(std::uint32_t adler, const std::uint8_t* data, std::size_t size) {
  std::uint32_t s1 = (adler & 0xFFFF) % Base, s2 = (adler >> 16) % Base;
#ifdef EVESK_ADLER_SSSE3
  if (size >= 64 && CpuHasSsse3()) {
    const std::size_t done = Vector(s1, s2, data, size);
    data += done, size -= done;
  }
#endif
  Scalar(s1, s2, data, size);
  return s2 << 16 | s1;
}

}  // namespace evesk
