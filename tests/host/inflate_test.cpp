// The whole-stream inflation of the PNG decoder: zlib's bytes for every kind of block, and a
// refusal of anything that is not one faultless stream of exactly the size asked for (the
// decoder then takes the slow way, which finds the fault).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "imaging/acInflate.h"
#include "png_builder.h"

using namespace evesk;
using pngtest::Bytes;
using pngtest::Deflated;

namespace {

// Inflates with guard bytes after the output, which must survive.
bool Inflate(const Bytes& z, std::size_t size, Bytes& out) {
  Bytes buffer(size + 16, 0xA5);
  const bool ok = InflateExact(z.data(), z.size(), buffer.data(), size);
  for (std::size_t i = size; i < buffer.size(); ++i)
    if (buffer[i] != 0xA5) ADD_FAILURE() << "written past the output at " << i - size;
  out.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size));
  return ok;
}

bool ZlibInflate(const Bytes& z, std::size_t size, Bytes& out) {
  out.assign(size + 1, 0);
  uLongf got = static_cast<uLongf>(out.size());
  const int r = uncompress(out.data(), &got, z.data(), static_cast<uLong>(z.size()));
  out.resize(got);
  return r == Z_OK && got == size;
}

std::vector<Bytes> Samples() {
  std::mt19937 rng(12);
  std::vector<Bytes> samples;
  Bytes noise(70000);
  for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
  samples.push_back(noise);
  // Repeats at every short period (patterns of 1 to 7 bytes, words, vectors), a PNG row's
  // distance, and far back.
  for (int period : {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 97, 1000, 30000}) {
    Bytes b;
    for (int i = 0; i < 40000 + period; ++i) b.push_back(static_cast<std::uint8_t>(i % period * 37 + (i / 3000) * (i % 11 == 0)));
    samples.push_back(b);
  }
  // A skewed spread of byte values: long codes, which need second-level tables.
  Bytes skewed;
  for (int i = 0; i < 200000; ++i) {
    const double u = std::uniform_real_distribution<double>(0, 1)(rng);
    skewed.push_back(static_cast<std::uint8_t>(std::min(255.0, 1.0 / (u * u + 0.004) - 1)));
  }
  samples.push_back(skewed);
  samples.push_back(Bytes{});
  samples.push_back(Bytes{42});
  return samples;
}

}  // namespace

TEST(InflateExact, GivesZlibsBytesForEveryBlockKindCodeAndDistance) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (const Bytes& raw : Samples())
    for (int level : {0, 1, 6, 9})
      for (int strategy : strategies) {
        const Bytes z = Deflated(raw, level, strategy);
        Bytes got;
        ASSERT_TRUE(Inflate(z, raw.size(), got)) << raw.size() << " bytes, level " << level << ", strategy " << strategy;
        ASSERT_EQ(got, raw) << raw.size() << " bytes, level " << level << ", strategy " << strategy;
      }
}

TEST(InflateExact, TakesOnlyOneFaultlessStreamOfTheSizeAsked) {
  Bytes raw;
  for (int i = 0; i < 5000; ++i) raw.push_back(static_cast<std::uint8_t>(i * i % 251 % (i % 7 + 1)));
  const Bytes z = Deflated(raw, 9, Z_DEFAULT_STRATEGY);
  Bytes got;
  ASSERT_TRUE(Inflate(z, raw.size(), got));
  EXPECT_FALSE(Inflate(z, raw.size() - 1, got));
  EXPECT_FALSE(Inflate(z, raw.size() + 1, got));
  Bytes trailing = z;
  trailing.push_back(0);
  EXPECT_FALSE(Inflate(trailing, raw.size(), got));
  for (std::size_t cut = 0; cut < z.size(); ++cut)
    EXPECT_FALSE(Inflate(Bytes(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(cut)), raw.size(), got)) << cut;
  Bytes checksum = z;
  checksum.back() ^= 1;
  EXPECT_FALSE(Inflate(checksum, raw.size(), got));
  Bytes dictionary = z;  // the preset dictionary flag, with the header check bits redone
  dictionary[1] = static_cast<std::uint8_t>((dictionary[1] | 0x20) & 0xE0);
  dictionary[1] = static_cast<std::uint8_t>(dictionary[1] + (31 - (dictionary[0] * 256 + dictionary[1]) % 31) % 31);
  EXPECT_FALSE(Inflate(dictionary, raw.size(), got));
  Bytes window = z;  // a window larger than the format allows
  window[0] = 0x88;
  window[1] = static_cast<std::uint8_t>(window[1] - (window[0] * 256 + window[1]) % 31);
  EXPECT_FALSE(Inflate(window, raw.size(), got));
  // Never more lenient than zlib: a damaged stream taken must be one zlib takes, with its bytes.
  for (std::size_t at = 0; at < z.size(); ++at)
    for (int bit = 0; bit < 8; ++bit) {
      Bytes damaged = z;
      damaged[at] ^= static_cast<std::uint8_t>(1 << bit);
      if (!Inflate(damaged, raw.size(), got)) continue;
      Bytes want;
      ASSERT_TRUE(ZlibInflate(damaged, raw.size(), want)) << at << " " << bit;
      ASSERT_EQ(got, want) << at << " " << bit;
    }
}
