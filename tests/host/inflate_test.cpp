// The whole-stream inflater of the PNG decoder against zlib: the same bytes for every kind of
// block, code and match, and a refusal of anything that is not one faultless stream of exactly
// the size asked for (the decoder then takes the slow way, which finds the fault).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>

#include "imaging/acInflate.h"

using namespace evesk;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Deflate(const Bytes& raw, int level, int strategy) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, 15, 8, strategy);
  Bytes out(deflateBound(&z, static_cast<uLong>(raw.size())));
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

// Inflates with guard bytes after the allowed slack, which must survive.
bool Inflate(const Bytes& z, std::size_t size, Bytes& out) {
  Bytes buffer(size + InflateSlack + 16, 0xA5);
  const bool ok = InflateExact(z.data(), z.size(), buffer.data(), size);
  for (std::size_t i = size + InflateSlack; i < buffer.size(); ++i)
    if (buffer[i] != 0xA5) ADD_FAILURE() << "written past the slack at " << i - size;
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

// A dynamic block by hand: literal 'a' (1 bit), end of block and the length 3 (2 bits each),
// and one distance code, of one bit (distance 1) or none, so that half or all of the distance
// code space is unused. body writes the block's symbols.
Bytes OneDistanceCode(bool withDistance, const std::vector<int>& symbols) {
  Bytes out = {0x78, 0x01};
  std::uint32_t acc = 0;
  int bits = 0;
  auto put = [&](unsigned value, int n) {
    acc |= value << bits;
    bits += n;
    while (bits >= 8) out.push_back(static_cast<std::uint8_t>(acc)), acc >>= 8, bits -= 8;
  };
  auto code = [&](unsigned c, int n) {
    for (int i = n - 1; i >= 0; --i) put(c >> i & 1, 1);
  };
  put(1, 1), put(2, 2);              // last block, dynamic
  put(1, 5), put(0, 5), put(14, 4);  // 258 literal/length codes, 1 distance code, 18 code length codes
  // Code length code: symbols 0, 1, 2 and 18 with 2 bits each, in the format's order.
  const int order[18] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1};
  for (int s : order) put(s == 0 || s == 1 || s == 2 || s == 18 ? 2 : 0, 3);
  code(3, 2), put(97 - 11, 7);      // 97 zeros
  code(1, 2);                        // 'a': 1
  code(3, 2), put(138 - 11, 7);     // 158 zeros, in runs of at most 138
  code(3, 2), put(20 - 11, 7);
  code(2, 2), code(2, 2);            // end of block, length 3: 2
  code(withDistance ? 1 : 0, 2);     // distance 1: 1 or 0
  for (int s : symbols) {
    if (s == 'a') code(0, 1);
    else if (s == 256) code(2, 2);
    else if (s == 257) code(3, 2);
    else code(static_cast<unsigned>(s), 1);  // a distance code: 0 or the unused 1
  }
  if (bits) put(0, 8 - bits);
  return out;
}

void AddAdler(Bytes& z, const Bytes& raw) {
  const auto a = static_cast<std::uint32_t>(adler32(1, raw.data(), static_cast<uInt>(raw.size())));
  for (int i = 3; i >= 0; --i) z.push_back(static_cast<std::uint8_t>(a >> (8 * i)));
}

}  // namespace

TEST(InflateExact, GivesZlibsBytesForEveryBlockKindCodeAndDistance) {
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (const Bytes& raw : Samples())
    for (int level : {0, 1, 6, 9})
      for (int strategy : strategies) {
        const Bytes z = Deflate(raw, level, strategy);
        Bytes got;
        ASSERT_TRUE(Inflate(z, raw.size(), got)) << raw.size() << " bytes, level " << level << ", strategy " << strategy;
        ASSERT_EQ(got, raw) << raw.size() << " bytes, level " << level << ", strategy " << strategy;
      }
}

TEST(InflateExact, TakesOnlyOneFaultlessStreamOfTheSizeAsked) {
  Bytes raw;
  for (int i = 0; i < 5000; ++i) raw.push_back(static_cast<std::uint8_t>(i * i % 251 % (i % 7 + 1)));
  const Bytes z = Deflate(raw, 9, Z_DEFAULT_STRATEGY);
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

// A distance code with a single one-bit code, or with none, leaves code space unused: zlib
// takes such blocks, and a code from the unused space is a fault.
TEST(InflateExact, DistanceCodesWithUnusedCodeSpace) {
  const Bytes aaaa = {'a', 'a', 'a', 'a'}, a = {'a'};
  for (bool withDistance : {true, false}) {
    Bytes z = OneDistanceCode(withDistance, withDistance ? std::vector<int>{'a', 257, 0, 256} : std::vector<int>{'a', 256});
    const Bytes& raw = withDistance ? aaaa : a;
    AddAdler(z, raw);
    Bytes got, want;
    ASSERT_TRUE(ZlibInflate(z, raw.size(), want)) << withDistance;  // the hand-made block is sound
    ASSERT_TRUE(Inflate(z, raw.size(), got)) << withDistance;
    EXPECT_EQ(got, raw);

    Bytes unused = OneDistanceCode(withDistance, {'a', 257, 1, 256});
    AddAdler(unused, aaaa);
    EXPECT_FALSE(ZlibInflate(unused, 4, want));
    EXPECT_FALSE(Inflate(unused, 4, got)) << withDistance;
  }
}

// The header's run codes may run on from the literal/length code lengths into the distance
// code lengths; each code gets its part.
TEST(InflateExact, CodeLengthRunAcrossTheTwoCodes) {
  Bytes z = {0x78, 0x01};
  std::uint32_t acc = 0;
  int bits = 0;
  auto put = [&](unsigned value, int n) {
    acc |= value << bits;
    bits += n;
    while (bits >= 8) z.push_back(static_cast<std::uint8_t>(acc)), acc >>= 8, bits -= 8;
  };
  auto code = [&](unsigned c, int n) {
    for (int i = n - 1; i >= 0; --i) put(c >> i & 1, 1);
  };
  put(1, 1), put(2, 2);              // last block, dynamic
  put(1, 5), put(3, 5), put(12, 4);  // 258 literal/length codes, 4 distance codes, 16 code length codes
  const int order[16] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2};
  for (int s : order) put(s == 0 || s == 2 || s == 16 || s == 18 ? 2 : 0, 3);  // codes 00, 01, 10, 11
  code(3, 2), put(97 - 11, 7);                                     // 97 zeros
  code(1, 2), code(1, 2);                                          // 'a', 'b': 2
  code(3, 2), put(138 - 11, 7), code(3, 2), put(19 - 11, 7);       // 157 zeros
  code(1, 2);                                                      // end of block: 2
  code(2, 2), put(5 - 3, 2);                                       // five more 2s: length 3, distances 1 to 4
  code(0, 2), code(1, 2), code(3, 2), code(1, 2), code(2, 2);      // 'a', 'b', length 3 at distance 2, end
  if (bits) put(0, 8 - bits);
  const Bytes raw = {'a', 'b', 'a', 'b', 'a'};
  AddAdler(z, raw);
  Bytes got, want;
  ASSERT_TRUE(ZlibInflate(z, raw.size(), want));
  ASSERT_TRUE(Inflate(z, raw.size(), got));
  EXPECT_EQ(got, raw);
}
