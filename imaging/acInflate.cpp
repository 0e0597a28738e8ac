#include "imaging/acInflate.h"

#include <cstring>

#include "imaging/acAdler32.h"

namespace evesk {

namespace {

// A table entry: bits to drop (0-7: the code's and, for lengths and distances, its extra bits
// too), kind (8-11), extra bits or subtable index bits (12-15), value (16-31: literal, base
// length or distance, subtable offset).
enum : std::uint32_t { kLiteral = 0, kLength = 1, kEnd = 2, kLink = 3, kInvalid = 4 };
constexpr std::uint32_t Entry(std::uint32_t kind, std::uint32_t value, std::uint32_t extra = 0) {
  return kind << 8 | extra << 12 | value << 16;
}
inline std::uint32_t DropOf(std::uint32_t e) { return e & 0xFF; }
inline std::uint32_t KindOf(std::uint32_t e) { return e >> 8 & 0xF; }
inline std::uint32_t ExtraOf(std::uint32_t e) { return e >> 12 & 0xF; }
inline std::uint32_t ValueOf(std::uint32_t e) { return e >> 16; }

const std::uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const std::uint16_t DistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const std::uint8_t CodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// What each symbol's codes stand for, ahead of their lengths.
struct TSymbolEntries {
  std::uint32_t LitLen[288], Dist[32], CodeLength[19];
  std::uint8_t Reversed[256];
  TSymbolEntries() {
    for (unsigned s = 0; s < 288; ++s)
      LitLen[s] = s < 256 ? Entry(kLiteral, s) : s == 256 ? Entry(kEnd, 0)
                : s < 286 ? Entry(kLength, LengthBase[s - 257], LengthExtra[s - 257]) : Entry(kInvalid, 0);
    for (unsigned s = 0; s < 32; ++s) Dist[s] = s < 30 ? Entry(kLength, DistBase[s], DistExtra[s]) : Entry(kInvalid, 0);
    for (unsigned s = 0; s < 19; ++s) CodeLength[s] = Entry(kLiteral, s);
    for (unsigned b = 0; b < 256; ++b) {
      unsigned r = 0;
      for (int i = 0; i < 8; ++i) r |= (b >> i & 1) << (7 - i);
      Reversed[b] = static_cast<std::uint8_t>(r);
    }
  }
};

const TSymbolEntries& Symbols() {
  static const TSymbolEntries symbols;
  return symbols;
}

// Root table bits at most; a code whose codes are all shorter gets a smaller root table.
constexpr int LitRoot = 9, DistRoot = 7, CodeLengthRoot = 7;
constexpr std::size_t LitCapacity = 4096, DistCapacity = 1536, CodeLengthCapacity = 128;

inline unsigned Reverse(const std::uint8_t* reversed, unsigned code, int length) {
  return (static_cast<unsigned>(reversed[code & 0xFF]) << 8 | reversed[code >> 8 & 0xFF]) >> (16 - length);
}

// Builds the lookup table of a canonical prefix code. An incomplete code is taken only when
// mayBeIncomplete and it has no code or a single one-bit code (its unused codes are invalid);
// false for any other incomplete, over-subscribed or too large code.
// Symbols start to start + count - 1 all have codes of length bits (0: unused). A dynamic
// block's header sends its lengths in such runs, so a table is built in as many steps as the
// header has runs rather than the alphabet has symbols.
struct TRun {
  std::uint16_t Start, Count;
  std::uint8_t Length;
};

// Runs of equal lengths of a lengths array.
unsigned RunsOf(const std::uint8_t* lengths, unsigned count, TRun* runs) {
  unsigned n = 0;
  for (unsigned s = 0; s < count; ++s)
    if (n > 0 && runs[n - 1].Length == lengths[s]) ++runs[n - 1].Count;
    else runs[n++] = {static_cast<std::uint16_t>(s), 1, lengths[s]};
  return n;
}

bool BuildTable(std::uint32_t* table, std::size_t capacity, int& root, const TRun* runs, unsigned runCount,
                const std::uint32_t* entryOf, bool mayBeIncomplete) {
  unsigned total[16] = {};
  for (unsigned r = 0; r < runCount; ++r) total[runs[r].Length] += runs[r].Count;

  int left = 1, maxLength = 0;
  unsigned used = 0;
  for (int len = 1; len <= 15; ++len) {
    left <<= 1;
    left -= static_cast<int>(total[len]);
    if (left < 0) return false;
    if (total[len]) maxLength = len;
    used += total[len];
  }
  if (left > 0 && (!mayBeIncomplete || !(used == 0 || (used == 1 && total[1] == 1)))) return false;
  if (maxLength < root) root = maxLength > 0 ? maxLength : 1;

  // The used symbols in canonical order (by length, then by value), and the first code of
  // each length.
  unsigned base[17], first[16], places[16];
  base[0] = base[1] = 0;
  for (int len = 1; len < 16; ++len) base[len + 1] = base[len] + total[len];
  std::memcpy(places, base, sizeof places);
  std::uint16_t sorted[320];
  for (unsigned r = 0; r < runCount; ++r)
    if (const TRun run = runs[r]; run.Length) {
      unsigned& place = places[run.Length];
      for (unsigned k = 0; k < run.Count; ++k) sorted[place + k] = static_cast<std::uint16_t>(run.Start + k);
      place += run.Count;
    }
  for (unsigned code = 0, len = 1; len < 16; ++len) {
    code = (code + (len > 1 ? total[len - 1] : 0)) << 1;
    first[len] = code;
  }

  // Codes up to the root length, length by length: the table so far is doubled, which repeats
  // every shorter code under all the bits it does not look at, and the new codes go in.
  const std::uint8_t* const reversed = Symbols().Reversed;
  table[0] = table[1] = Entry(kInvalid, 0) | 1;
  for (int len = 1; len <= root; ++len) {
    if (len > 1) std::memcpy(table + (1u << (len - 1)), table, sizeof(std::uint32_t) << (len - 1));
    for (unsigned i = base[len]; i < base[len + 1]; ++i) {
      const unsigned sym = sorted[i];
      const std::uint32_t e = entryOf[sym] + (KindOf(entryOf[sym]) == kLength ? ExtraOf(entryOf[sym]) : 0);
      table[Reverse(reversed, first[len] + (i - base[len]), len)] = e + static_cast<std::uint32_t>(len);
    }
  }

  // Longer codes go to subtables behind their first root bits; the codes under one prefix
  // follow each other in canonical order.
  const unsigned rootMask = (1u << root) - 1;
  std::size_t next = std::size_t{1} << root;  // where the next subtable goes
  unsigned prefix = ~0u, subBits = 0;
  std::size_t subStart = 0;
  unsigned remaining[16];
  std::memcpy(remaining, total, sizeof remaining);
  for (int len = root + 1; len <= maxLength; ++len) {
    for (unsigned i = base[len]; i < base[len + 1]; ++i) {
      const unsigned sym = sorted[i];
      const unsigned rev = Reverse(reversed, first[len] + (i - base[len]), len);
      const std::uint32_t e = entryOf[sym] + (KindOf(entryOf[sym]) == kLength ? ExtraOf(entryOf[sym]) : 0);
      if ((rev & rootMask) != prefix) {
        prefix = rev & rootMask;
        // The subtable is as deep as the longest code under this prefix: fill its code space
        // with the codes still to come, shortest first.
        int bits = len - root;
        int space = 1 << bits;
        while (bits + root < maxLength) {
          space -= static_cast<int>(remaining[bits + root]);
          if (space <= 0) break;
          ++bits;
          space <<= 1;
        }
        subBits = static_cast<unsigned>(bits);
        subStart = next;
        next += std::size_t{1} << subBits;
        if (next > capacity) return false;
        table[prefix] = Entry(kLink, static_cast<std::uint32_t>(subStart), subBits) | static_cast<std::uint32_t>(root);
      }
      const int drop = len - root;
      for (unsigned k = rev >> root; k < (1u << subBits); k += 1u << drop)
        table[subStart + k] = e + static_cast<std::uint32_t>(drop);
      --remaining[len];
    }
  }
  return true;
}

struct TFixedTables {
  std::uint32_t Lit[LitCapacity];
  std::uint32_t Dist[DistCapacity];
  int LitBits = LitRoot, DistBits = DistRoot;
  TFixedTables() {
    std::uint8_t lengths[288];
    for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    TRun runs[288];
    BuildTable(Lit, LitCapacity, LitBits, runs, RunsOf(lengths, 288, runs), Symbols().LitLen, false);
    std::uint8_t dist[32];
    std::memset(dist, 5, sizeof dist);
    BuildTable(Dist, DistCapacity, DistBits, runs, RunsOf(dist, 32, runs), Symbols().Dist, false);
  }
};

const TFixedTables& FixedTables() {
  static const TFixedTables tables;
  return tables;
}

inline std::uint64_t Load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

// Bits are taken from the low end. Past the end of the source the reader feeds zeros and
// counts them, so that running over the end is found when the stream's end is checked.
struct TBitReader {
  const std::uint8_t* P;
  const std::uint8_t* End;
  std::uint64_t Buf = 0;
  unsigned Count = 0;
  std::size_t Overrun = 0;

  // At least 56 bits in the buffer afterwards.
  void Refill() {
    if (End - P >= 8) {
      Buf |= Load64(P) << Count;
      P += (63 - Count) >> 3;
      Count |= 56;
      return;
    }
    while (Count <= 56) {
      std::uint64_t b = 0;
      if (P < End) b = *P++;
      else ++Overrun;
      Buf = (Buf & ((std::uint64_t{1} << Count) - 1)) | b << Count;
      Count += 8;
    }
  }
  unsigned Peek(unsigned n) const { return static_cast<unsigned>(Buf & ((std::uint64_t{1} << n) - 1)); }
  void Drop(unsigned n) {
    Buf >>= n;
    Count -= n;
  }
  unsigned Take(unsigned n) {
    const unsigned v = Peek(n);
    Drop(n);
    return v;
  }
  // Drops the bits up to the next byte boundary; returns the offset of the next unread byte
  // (beyond the source when zeros were fed).
  std::size_t AlignedOffset(const std::uint8_t* base) {
    Drop(Count & 7);
    return static_cast<std::size_t>(P - base) + Overrun - Count / 8;
  }
  void Restart(const std::uint8_t* at) {
    P = at;
    Buf = 0;
    Count = 0;
    Overrun = 0;
  }
};

// Decodes one code and drops it with its extra bits, which stay in saved for ValueWith.
inline std::uint32_t Lookup(const std::uint32_t* table, unsigned rootMask, TBitReader& in, std::uint64_t& saved) {
  std::uint32_t e = table[in.Buf & rootMask];
  if (KindOf(e) == kLink) {
    in.Drop(DropOf(e));
    e = table[ValueOf(e) + in.Peek(ExtraOf(e))];
  }
  saved = in.Buf;
  in.Drop(DropOf(e));
  return e;
}

// A length's or distance's base plus its extra bits.
inline std::size_t ValueWith(std::uint32_t e, std::uint64_t saved) {
  const unsigned extra = ExtraOf(e);
  return ValueOf(e) + static_cast<std::size_t>(saved >> (DropOf(e) - extra) & ((1u << extra) - 1));
}

// Copies a match of length bytes from distance back; may write up to 15 bytes beyond its end.
inline void CopyMatch(std::uint8_t* out, std::size_t distance, std::size_t length) {
  const std::uint8_t* from = out - distance;
  std::uint8_t* const stop = out + length;
  if (distance >= 16) {
    do {
      std::memcpy(out, from, 16);
      out += 16, from += 16;
    } while (out < stop);
  } else if (distance >= 8) {
    do {
      std::memcpy(out, from, 8);
      out += 8, from += 8;
    } while (out < stop);
  } else if (distance == 1 || distance == 2 || distance == 4) {
    // The pattern fills a word exactly: the word is written again and again.
    std::uint64_t word;
    if (distance == 1) {
      word = 0x0101010101010101ull * *from;
    } else if (distance == 2) {
      std::uint16_t pair;
      std::memcpy(&pair, from, 2);
      word = 0x0001000100010001ull * pair;
    } else {
      std::uint32_t quad;
      std::memcpy(&quad, from, 4);
      word = 0x0000000100000001ull * quad;
    }
    do {
      std::memcpy(out, &word, 8);
      out += 8;
    } while (out < stop);
  } else {
    // A short repeating pattern: its first eight bytes one by one, then in words from a
    // whole number of periods back, at least eight bytes away.
    for (int i = 0; i < 8; ++i) out[i] = from[i];
    const std::size_t period = distance * ((8 + distance - 1) / distance);
    out += 8;
    from = out - period;
    while (out < stop) {
      std::memcpy(out, from, 8);
      out += 8, from += 8;
    }
  }
}

// The reader is local so that it lives in registers: bytes written through out could
// otherwise be its own bytes for all the compiler knows.
bool InflateBlocks(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* const dest, std::uint8_t* const destEnd,
                   std::size_t& trailerAt) {
  TBitReader in{source + 2, source + sourceSize};
  std::uint8_t* out = dest;
  std::uint32_t litTable[LitCapacity];
  std::uint32_t distTable[DistCapacity];
  for (;;) {
    if (in.Overrun > 8) return false;
    in.Refill();
    const unsigned last = in.Take(1), type = in.Take(2);
    const std::uint32_t* lit;
    const std::uint32_t* dist;
    int litBits = LitRoot, distBits = DistRoot;
    if (type == 0) {
      const std::size_t at = in.AlignedOffset(source);
      if (at > sourceSize || sourceSize - at < 4) return false;
      const unsigned len = source[at] | source[at + 1] << 8, nlen = source[at + 2] | source[at + 3] << 8;
      if (len != (~nlen & 0xFFFF) || sourceSize - at - 4 < len || static_cast<std::size_t>(destEnd - out) < len) return false;
      std::memcpy(out, source + at + 4, len);
      out += len;
      in.Restart(source + at + 4 + len);
      if (last) break;
      continue;
    }
    if (type == 1) {
      lit = FixedTables().Lit;
      dist = FixedTables().Dist;
      litBits = FixedTables().LitBits;
      distBits = FixedTables().DistBits;
    } else if (type == 2) {
      const unsigned nlit = in.Take(5) + 257, ndist = in.Take(5) + 1, nclen = in.Take(4) + 4;
      if (nlit > 286 || ndist > 30) return false;
      std::uint8_t clLengths[19] = {};
      for (unsigned i = 0; i < nclen; ++i) {
        if (in.Count < 3) in.Refill();
        clLengths[CodeLengthOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
      }
      std::uint32_t clTable[CodeLengthCapacity];
      int clBits = CodeLengthRoot;
      TRun clRuns[19];
      if (!BuildTable(clTable, CodeLengthCapacity, clBits, clRuns, RunsOf(clLengths, 19, clRuns), Symbols().CodeLength, false))
        return false;
      std::uint8_t lengths[286 + 30];
      TRun litRuns[286], distRuns[30];
      unsigned litRunCount = 0, distRunCount = 0;
      // A run of one length, parted where the distance codes' lengths begin.
      auto addRun = [&](unsigned at, unsigned repeat, std::uint8_t value) {
        if (at < nlit) {
          const unsigned part = repeat < nlit - at ? repeat : nlit - at;
          litRuns[litRunCount++] = {static_cast<std::uint16_t>(at), static_cast<std::uint16_t>(part), value};
          at += part, repeat -= part;
        }
        if (repeat) distRuns[distRunCount++] = {static_cast<std::uint16_t>(at - nlit), static_cast<std::uint16_t>(repeat), value};
      };
      const unsigned total = nlit + ndist;
      for (unsigned n = 0; n < total;) {
        if (in.Overrun > 8) return false;
        in.Refill();
        const std::uint32_t e = clTable[in.Peek(static_cast<unsigned>(clBits))];  // no extra bits here
        in.Drop(DropOf(e));
        const unsigned sym = ValueOf(e);
        if (sym < 16) {
          addRun(n, 1, static_cast<std::uint8_t>(sym));
          lengths[n++] = static_cast<std::uint8_t>(sym);
          continue;
        }
        unsigned repeat;
        std::uint8_t value = 0;
        if (sym == 16) {
          if (n == 0) return false;
          value = lengths[n - 1];
          repeat = 3 + in.Take(2);
        } else if (sym == 17) {
          repeat = 3 + in.Take(3);
        } else {
          repeat = 11 + in.Take(7);
        }
        if (total - n < repeat) return false;
        addRun(n, repeat, value);
        std::memset(lengths + n, value, repeat);
        n += repeat;
      }
      if (lengths[256] == 0) return false;
      if (!BuildTable(litTable, LitCapacity, litBits, litRuns, litRunCount, Symbols().LitLen, false) ||
          !BuildTable(distTable, DistCapacity, distBits, distRuns, distRunCount, Symbols().Dist, true))
        return false;
      lit = litTable;
      dist = distTable;
    } else {
      return false;
    }

    const unsigned litMask = (1u << litBits) - 1, distMask = (1u << distBits) - 1;
    // The next code's entry is looked up as soon as its bits are known, ahead of the work on
    // the current one, so that the table load overlaps a match's copy. At the top of the loop
    // at least 20 bits are there: a code and its extra bits.
    std::uint64_t saved;
    in.Refill();
    std::uint32_t next = lit[in.Buf & litMask];
    for (;;) {
      std::uint32_t e = next;
      if (KindOf(e) == kLink) {
        in.Drop(DropOf(e));
        e = lit[ValueOf(e) + in.Peek(ExtraOf(e))];
      }
      saved = in.Buf;
      in.Drop(DropOf(e));
      if (KindOf(e) == kLiteral) {
        if (out == destEnd) return false;
        *out++ = static_cast<std::uint8_t>(ValueOf(e));
        if (in.Count < 20) in.Refill();
        next = lit[in.Buf & litMask];
        continue;
      }
      if (KindOf(e) == kLength) {
        const std::size_t length = ValueWith(e, saved);
        if (in.Count < 28) in.Refill();
        const std::uint32_t d = Lookup(dist, distMask, in, saved);
        if (KindOf(d) != kLength) return false;
        const std::size_t distance = ValueWith(d, saved);
        if (distance > static_cast<std::size_t>(out - dest) || length > static_cast<std::size_t>(destEnd - out)) return false;
        in.Refill();
        next = lit[in.Buf & litMask];
        CopyMatch(out, distance, length);
        out += length;
        continue;
      }
      if (KindOf(e) == kEnd) break;
      return false;
    }
    if (in.Overrun > 8) return false;
    if (last) break;
  }
  if (out != destEnd) return false;
  trailerAt = in.AlignedOffset(source);
  return true;
}

}  // namespace

bool InflateExact(const std::uint8_t* source, std::size_t sourceSize, std::uint8_t* dest, std::size_t size) {
  // The zlib header: deflate, a window of at most 32 KB, the check bits, no preset dictionary.
  if (sourceSize < 2 + 4) return false;
  const unsigned cmf = source[0], flg = source[1];
  if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf << 8 | flg) % 31 != 0 || (flg & 0x20)) return false;
  std::size_t trailerAt = 0;
  if (!InflateBlocks(source, sourceSize, dest, dest + size, trailerAt)) return false;
  if (trailerAt > sourceSize || sourceSize - trailerAt != 4) return false;
  const std::uint32_t stored = static_cast<std::uint32_t>(source[trailerAt]) << 24 | source[trailerAt + 1] << 16 |
                               source[trailerAt + 2] << 8 | source[trailerAt + 3];
  return stored == Adler32(1, dest, size);
}

}  // namespace evesk
