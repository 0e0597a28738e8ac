// The PNG decoder on crafted files: every error message, the chunk rules, gamma, background
// and transparency, partial data, progress and the stream position.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "framework/Stream.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"
#include "png_builder.h"

using namespace evesk;
using namespace pngtest;

namespace {

const std::string kInvalid = "Cannot load image. Invalid or unexpected PNG image format.";
const std::string kCRC = "Cannot load image. CRC error found in PNG file.";

void Load(TPNGGraphic& png, const Bytes& file) {
  TMemoryStream s(file);
  png.LoadFromStream(s);
}

std::string ErrorOf(const Bytes& file) {
  try {
    TPNGGraphic png;
    Load(png, file);
  } catch (const EInvalidGraphic& e) {
    return e.Message();
  } catch (const evesk::Exception& e) {
    return "other error: " + e.Message();
  }
  return "no error";
}

// 2 × 2 RGBA: opaque red, half green / transparent blue, a dim grey.
const Bytes kRgbaRows = Rows({{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 10, 20, 30, 40}});

Bytes SmallRgba(std::initializer_list<Bytes> before = {}, std::initializer_list<Bytes> after = {}) {
  Bytes out = Png({IHDR(2, 2, 8, 6)});
  for (const Bytes& c : before) out.insert(out.end(), c.begin(), c.end());
  const Bytes idat = Chunk("IDAT", Zlib(kRgbaRows));
  out.insert(out.end(), idat.begin(), idat.end());
  for (const Bytes& c : after) out.insert(out.end(), c.begin(), c.end());
  const Bytes end = IEND();
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

Bytes Be32(std::uint32_t v) {
  Bytes b;
  Put32(b, v);
  return b;
}

}  // namespace

TEST(PngErrors, BrokenHeadersAreInvalidFormatBeforeAnyAllocation) {
  Bytes badSignature = SmallRgba();
  badSignature[1] = 'p';
  Bytes shortIHDR = Png({Chunk("IHDR", Bytes(12, 1)), IEND()});
  for (const Bytes& file : {Bytes{}, Png({}), badSignature, shortIHDR,
                            Png({Chunk("gAMA", Be32(45000)), IHDR(2, 2, 8, 6), IEND()}),
                            Png({IHDR(0, 2, 8, 6), IEND()}), Png({IHDR(2, 0, 8, 6), IEND()}),
                            Png({IHDR(0x80000000u, 1, 8, 6), IEND()}), Png({IHDR(0x7FFFFFFF, 0x7FFFFFFF, 16, 6), IEND()}),
                            // 10^10 pixels: refused by size, not by a failed allocation
                            Png({IHDR(100000, 100000, 8, 6), Chunk("IDAT", Zlib(Bytes(100, 0))), IEND()})})
    EXPECT_EQ(ErrorOf(file), kInvalid);
}

TEST(PngErrors, EachMessageOfTheFormat) {
  const Bytes idat = Chunk("IDAT", Zlib(kRgbaRows));
  EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, 8, 6, 0, 1), idat, IEND()})),
            "Cannot load image. The compression scheme is not supported for PNG files.");
  EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, 8, 3), Chunk("PLTE", Bytes(10, 0)), idat, IEND()})),
            "Cannot load image. Palette in PNG file is invalid.");
  for (auto [depth, type] : {std::pair{4, 6}, {16, 3}, {3, 0}, {8, 5}, {1, 2}})
    EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, depth, type), idat, IEND()})), "Invalid color format in PNG file.")
        << depth << "/" << type;
  EXPECT_EQ(ErrorOf(SmallRgba({Chunk("ABCD", {1, 2})})),
            "Cannot load PNG image. Unexpected but critical chunk detected.");
  EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, 8, 6), Chunk("IDAT", {1, 2, 3, 4, 5, 6}), IEND()})),
            "Cannot load image. Compression error found in PNG file.");
  // The zlib stream ends one row early, or has bytes after its end.
  const Bytes oneRow(kRgbaRows.begin(), kRgbaRows.begin() + 9);
  EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, 8, 6), Chunk("IDAT", Zlib(oneRow)), IEND()})),
            "Cannot load image. Extra compressed data found in PNG file.");
  Bytes trailing = Zlib(kRgbaRows);
  trailing.push_back(0);
  EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, 8, 6), Chunk("IDAT", trailing), IEND()})),
            "Cannot load image. Extra compressed data found in PNG file.");
}

TEST(PngErrors, CorruptedByteInAnyChunkReadWithDataIsCrcError) {
  const Bytes file = Png({IHDR(2, 1, 8, 3), Chunk("gAMA", Be32(45000)), Chunk("PLTE", {1, 2, 3, 4, 5, 6}),
                          Chunk("bKGD", {1}), Chunk("tRNS", {9}), Chunk("IDAT", Zlib(Rows({{0, 1}}))), IEND()});
  ASSERT_EQ(ErrorOf(file), "no error");
  // Offsets of one data byte in IHDR (its filter byte), gAMA, PLTE, bKGD, tRNS and IDAT.
  std::size_t offset = 8;
  for (int chunk = 0; chunk < 6; ++chunk) {
    const std::uint32_t length = file[offset] << 24 | file[offset + 1] << 16 | file[offset + 2] << 8 | file[offset + 3];
    Bytes broken = file;
    broken[offset + 8 + (chunk == 0 ? 11 : 0)] ^= 0x10;
    EXPECT_EQ(ErrorOf(broken), kCRC) << "chunk " << chunk;
    offset += 12 + length;
  }
  // Skipped chunks are not checked.
  Bytes skipped = SmallRgba({Chunk("tEXt", {'a', 0, 'b'})});
  skipped[33 + 8] ^= 0x10;
  EXPECT_EQ(ErrorOf(skipped), "no error");
}

TEST(PngErrors, EveryTruncationEndsInAnErrorAndChunkLengthsAreBounded) {
  const Bytes file = SmallRgba({Chunk("gAMA", Be32(45000))}, {Chunk("zTXt", {'k', 0, 0})});
  ASSERT_EQ(ErrorOf(file), "no error");
  for (std::size_t n = 0; n < file.size(); ++n) {
    const std::string e = ErrorOf(Bytes(file.begin(), file.begin() + n));
    EXPECT_TRUE(e.rfind("Cannot load", 0) == 0) << n << ": " << e;
  }
  // Lengths beyond the file (or beyond 2^31 - 1) are refused before anything is allocated.
  for (std::uint32_t length : {0x7FFFFFF0u, 0xFFFFFFF0u}) {
    Bytes huge = Png({IHDR(2, 2, 8, 6)});
    Put32(huge, length);
    for (char c : std::string("IDAT")) huge.push_back(static_cast<std::uint8_t>(c));
    huge.resize(huge.size() + 40, 0);
    EXPECT_EQ(ErrorOf(huge), kInvalid);
  }
}

TEST(PngErrors, FilesWithoutImageDataOrWithoutPaletteAreRefused) {
  EXPECT_EQ(ErrorOf(Png({IHDR(2, 2, 8, 6), IEND()})), kInvalid);
  const Bytes idat = Chunk("IDAT", Zlib(Rows({{0}})));
  EXPECT_EQ(ErrorOf(Png({IHDR(1, 1, 8, 3), idat, IEND()})), "Cannot load image. Palette in PNG file is invalid.");
  EXPECT_EQ(ErrorOf(Png({IHDR(1, 1, 8, 3), Chunk("PLTE", {}), idat, IEND()})),
            "Cannot load image. Palette in PNG file is invalid.");
}

TEST(PngDecode, RgbaWithAncillaryChunksKeepsStraightAlpha) {
  TPNGGraphic png;
  Load(png, SmallRgba({Chunk("pHYs", Bytes(9, 1)), Chunk("iCCP", {'x', 0, 0, 1, 2}), Chunk("cHRM", Bytes(32, 7))},
                      {Chunk("zTXt", {'k', 0, 0, 9}), Chunk("prVt", {})}));
  ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf32bit);
  const Bytes expected = {0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0, 30, 20, 10, 40};  // BGRA
  EXPECT_EQ(Bytes(png.ScanLine(0), png.ScanLine(0) + 8), Bytes(expected.begin(), expected.begin() + 8));
  EXPECT_EQ(Bytes(png.ScanLine(1), png.ScanLine(1) + 8), Bytes(expected.begin() + 8, expected.end()));
  EXPECT_FALSE(png.ImageProperties().HasGamma);
  EXPECT_TRUE(png.ImageProperties().HasAlpha);
  EXPECT_FALSE(png.Transparent);
}

TEST(PngDecode, GammaCorrectsColourButNotAlpha) {
  TPNGGraphic png;
  Load(png, SmallRgba({Chunk("gAMA", Be32(45000)), Chunk("bKGD", {0, 1, 0, 2, 0, 0x34})}));
  EXPECT_TRUE(png.ImageProperties().HasGamma);
  EXPECT_DOUBLE_EQ(png.ImageProperties().FileGamma, 0.45);
  EXPECT_EQ(png.BackgroundColor(), 0x340201u);
  auto g = [](int v) { return static_cast<int>(std::lround(std::pow(v / 255.0, 1 / (0.45 * 2.2)) * 255)); };
  const std::uint8_t* p = png.ScanLine(1) + 4;  // file RGBA 10, 20, 30, 40
  EXPECT_EQ(p[0], g(30));
  EXPECT_EQ(p[1], g(20));
  EXPECT_EQ(p[2], g(10));
  EXPECT_EQ(p[1], 19);  // the table really applied: 20 becomes 19 under 1 / 0.99
  EXPECT_EQ(p[3], 40);
  EXPECT_EQ(png.ScanLine(0)[7], 128);
}

TEST(PngDecode, PaletteGammaOnlyWhenGammaCameFirstAndTransparencyIsNotApplied) {
  const Bytes plte = Chunk("PLTE", {100, 150, 200, 0, 0, 0, 255, 255, 255});
  const Bytes rest[] = {Chunk("tRNS", {7, 0}), Chunk("IDAT", Zlib(Rows({{0, 1, 2}}))), IEND()};
  TPNGGraphic before, after;
  Load(before, Png({IHDR(3, 1, 8, 3), Chunk("gAMA", Be32(30000)), plte, rest[0], rest[1], rest[2]}));
  Load(after, Png({IHDR(3, 1, 8, 3), plte, Chunk("gAMA", Be32(30000)), rest[0], rest[1], rest[2]}));
  ASSERT_EQ(after.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(after.Palette()[0].Red, 100);
  EXPECT_EQ(after.Palette()[0].Blue, 200);
  EXPECT_EQ(before.Palette()[0].Red, std::lround(std::pow(100 / 255.0, 1 / (0.3 * 2.2)) * 255));
  EXPECT_EQ(after.Palette().size(), 256u);  // every index has an entry
  EXPECT_FALSE(after.Transparent);
  EXPECT_EQ(after.TransparencyTable()[0], 7);
  EXPECT_EQ(after.TransparencyTable()[1], 0);
  EXPECT_EQ(after.TransparencyTable()[2], 255);
  EXPECT_EQ(Bytes(after.ScanLine(0), after.ScanLine(0) + 3), (Bytes{0, 1, 2}));
}

TEST(PngDecode, TransparentColourOfGreyAndRgbImages) {
  TPNGGraphic grey, rgb;
  Load(grey, Png({IHDR(1, 1, 16, 0), Chunk("tRNS", {0x80, 0x80}), Chunk("IDAT", Zlib(Rows({{1, 2}}))), IEND()}));
  EXPECT_TRUE(grey.Transparent);
  EXPECT_EQ(grey.TransparentColor, 0x808080u);
  Load(rgb, Png({IHDR(1, 1, 8, 2), Chunk("tRNS", {0, 1, 0, 2, 0, 3}), Chunk("IDAT", Zlib(Rows({{1, 2, 3}}))), IEND()}));
  EXPECT_TRUE(rgb.Transparent);
  EXPECT_EQ(rgb.TransparentColor, 0x030201u);
  Load(rgb, Png({IHDR(1, 1, 8, 2), Chunk("IDAT", Zlib(Rows({{1, 2, 3}}))), IEND()}));  // reload resets it
  EXPECT_FALSE(rgb.Transparent);
  EXPECT_EQ(rgb.TransparentColor, clNone);
}

TEST(PngDecode, SixteenBitSamplesAreCutNotRoundedAndUnknownFiltersLeaveRows) {
  TPNGGraphic png;
  Load(png, Png({IHDR(4, 1, 16, 0), Chunk("IDAT", Zlib(Rows({{0x01, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x80, 0xFF}}))), IEND()}));
  ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf8bit);
  EXPECT_EQ(Bytes(png.ScanLine(0), png.ScanLine(0) + 4), (Bytes{0, 1, 255, 128}));
  Load(png, Png({IHDR(2, 1, 8, 0), Chunk("IDAT", Zlib({7, 5, 6})), IEND()}));
  EXPECT_EQ(Bytes(png.ScanLine(0), png.ScanLine(0) + 2), (Bytes{5, 6}));
}

TEST(PngDecode, ImageDataSplitOverChunksAndStrayDataAfterwards) {
  const Bytes z = Zlib(kRgbaRows);
  const Bytes a(z.begin(), z.begin() + 5), b(z.begin() + 5, z.end());
  TPNGGraphic whole, split;
  Load(whole, SmallRgba());
  Load(split, Png({IHDR(2, 2, 8, 6), Chunk("IDAT", a), Chunk("IDAT", {}), Chunk("IDAT", b), Chunk("IDAT", {1, 2}),
                   Chunk("tEXt", {'a', 0}), Chunk("IDAT", {3}), IEND()}));
  EXPECT_EQ(Bytes(split.ScanLine(1), split.ScanLine(1) + 8), Bytes(whole.ScanLine(1), whole.ScanLine(1) + 8));
}

TEST(PngDecode, RowsTheDataNeverReachedShowTheBackground) {
  // Three rows of six: the image data stops after two, then the file ends normally.
  const Bytes rows = Rows({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
  TPNGGraphic png;
  Load(png, Png({IHDR(2, 3, 8, 2), Chunk("bKGD", {0, 10, 0, 20, 0, 30}), Chunk("IDAT", Deflated(rows, 9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH)), IEND()}));
  ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(Bytes(png.ScanLine(1), png.ScanLine(1) + 6), (Bytes{9, 8, 7, 12, 11, 10}));
  EXPECT_EQ(Bytes(png.ScanLine(2), png.ScanLine(2) + 6), (Bytes{30, 20, 10, 30, 20, 10}));
  // Indexed: the background becomes the nearest palette entry.
  Load(png, Png({IHDR(3, 2, 8, 3), Chunk("PLTE", {0, 0, 0, 250, 250, 250, 9, 9, 9}),
                 Chunk("IDAT", Deflated(Rows({{2, 2, 2}}), 9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH)), IEND()}));
  EXPECT_EQ(Bytes(png.ScanLine(1), png.ScanLine(1) + 3), (Bytes{1, 1, 1}));
  // Packed indexes: the found entry fills every pixel of the byte.
  Load(png, Png({IHDR(3, 3, 4, 3), Chunk("PLTE", {0, 0, 0, 250, 250, 250, 9, 9, 9}),
                 Chunk("IDAT", Deflated(Rows({{0x22, 0x20}}), 9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH)), IEND()}));
  ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(png.ScanLine(1)[0], 0x11);
  EXPECT_EQ(png.ScanLine(2)[1], 0x11);
  Load(png, Png({IHDR(3, 2, 1, 3), Chunk("PLTE", {0, 0, 0, 250, 250, 250}),
                 Chunk("IDAT", Deflated(Rows({{0x00}}), 9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH)), IEND()}));
  ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(png.ScanLine(1)[0], 0xFF);
}

TEST(PngDecode, ProgressAndStreamPosition) {
  const Bytes file = Png({IHDR(1, 4, 8, 0), Chunk("IDAT", Zlib(Rows({{1}, {2}, {3}, {4}}))), IEND()});
  Bytes embedded = {9, 9, 9};
  embedded.insert(embedded.end(), file.begin(), file.end());
  embedded.insert(embedded.end(), {7, 7});
  TMemoryStream s(embedded);
  s.SetPosition(3);
  TPNGGraphic png;
  std::vector<std::tuple<TProgressStage, int, std::string>> seen;
  png.OnProgress = [&](TProgressStage stage, int percent, const std::string& text) { seen.emplace_back(stage, percent, text); };
  png.LoadFromStream(s);
  EXPECT_EQ(s.Position(), static_cast<std::int64_t>(3 + file.size()));
  using S = TProgressStage;
  const std::vector<std::tuple<TProgressStage, int, std::string>> expected = {
      {S::psStarting, 0, "Preparing..."}, {S::psRunning, 0, "Transfering..."}, {S::psRunning, 0, ""},
      {S::psRunning, 25, ""}, {S::psRunning, 50, ""}, {S::psRunning, 75, ""}, {S::psEnding, 100, ""}};
  EXPECT_EQ(seen, expected);
  // A failure still ends with the final notification.
  seen.clear();
  TMemoryStream bad(Png({IHDR(1, 1, 8, 0), Chunk("ABCD", {}), IEND()}));
  EXPECT_THROW(png.LoadFromStream(bad), EInvalidGraphic);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(std::get<0>(seen.back()), S::psEnding);
}

// Records the largest single read, to show that compressed data arrives one chunk at a time.
class TCountingStream : public TMemoryStream {
 public:
  using TMemoryStream::TMemoryStream;
  std::size_t Read(void* buffer, std::size_t count) override {
    Largest = std::max(Largest, count);
    return TMemoryStream::Read(buffer, count);
  }
  std::size_t Largest = 0;
};

TEST(PngDecode, CompressedDataIsReadChunkByChunk) {
  auto sample = [](int i, int y) { return static_cast<std::uint8_t>(i * y + (i * 7919 + y) % 13); };
  Bytes rows;
  for (int y = 0; y < 64; ++y) {
    rows.push_back(0);
    for (int i = 0; i < 64 * 3; ++i) rows.push_back(sample(i, y));
  }
  const Bytes z = Zlib(rows);
  Bytes file = Png({IHDR(64, 64, 8, 2)});
  for (std::size_t at = 0; at < z.size(); at += 100) {
    const Bytes part = Chunk("IDAT", Bytes(z.begin() + at, z.begin() + std::min(at + 100, z.size())));
    file.insert(file.end(), part.begin(), part.end());
  }
  const Bytes end = IEND();
  file.insert(file.end(), end.begin(), end.end());
  ASSERT_GT(file.size(), 1000u);
  TCountingStream s(file);
  TPNGGraphic png;
  png.LoadFromStream(s);
  for (int x = 0; x < 64; ++x)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(png.ScanLine(63)[x * 3 + c], sample(x * 3 + 2 - c, 63)) << x;
  EXPECT_LE(s.Largest, 100u);
}

TEST(PngDecode, AssignCopiesImagePropertiesWithTheBitmap) {
  TPNGGraphic a, b;
  Load(a, SmallRgba({Chunk("gAMA", Be32(50000)), Chunk("bKGD", {0, 1, 0, 2, 0, 3})}));
  b.Assign(a);
  EXPECT_EQ(b.ImageProperties().Width, 2);
  EXPECT_DOUBLE_EQ(b.ImageProperties().FileGamma, 0.5);
  EXPECT_EQ(b.BackgroundColor(), 0x030201u);
  EXPECT_EQ(Bytes(b.ScanLine(1), b.ScanLine(1) + 8), Bytes(a.ScanLine(1), a.ScanLine(1) + 8));
}

// Files the fuzzer (or a review) found troublesome: each loads or fails with an exception.
TEST(PngRegression, TroublesomeFilesLoadOrFailCleanly) {
  const std::filesystem::path dir = std::filesystem::path(EVESK_FIXTURES) / "png" / "crashers";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    ++files;
    TPNGGraphic png;
    try {
      TMemoryStream s(ReadFileBytes(entry.path().string()));
      png.LoadFromStream(s);
      EXPECT_FALSE(png.Empty()) << entry.path();
    } catch (const evesk::Exception&) {
    }
  }
  EXPECT_GT(files, 0);
}

TEST(PngAssets, StarIconsAre16x16WithSoftEdges) {
  for (const char* name : {"star_grey.png", "star_gold.png"}) {
    TPNGGraphic png;
    TMemoryStream s(ReadFileBytes(std::string(EVESK_FIXTURES) + "/../../assets/" + name));
    png.LoadFromStream(s);
    ASSERT_EQ(png.PixelFormat(), TPixelFormat::pf32bit) << name;
    ASSERT_EQ(png.Width(), 16);
    ASSERT_EQ(png.Height(), 16);
    int clear = 0, solid = 0, soft = 0, warm = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const TPaletteEntry p = PixelAt(png, x, y);
        (p.Reserved == 0 ? clear : p.Reserved == 255 ? solid : soft)++;
        if (p.Reserved == 255 && p.Red > p.Blue + 60) ++warm;
      }
    EXPECT_GT(clear, 60) << name;
    EXPECT_GT(solid, 30) << name;
    EXPECT_GT(soft, 10) << name;
    EXPECT_EQ(warm > solid / 2, std::string(name) == "star_gold.png") << name;
  }
}

namespace {

struct TRowByRow {
  std::vector<Bytes> Rows;  // the rows read whole before the reader stopped
  bool Fault = false;
};

// A reader that inflates exactly what each row needs, one image data chunk, and stops at the
// first row it cannot fill: the yardstick for where a damaged stream must stop the decoder.
TRowByRow ReadRowByRow(const Bytes& z, int rows, std::size_t rowBytes) {
  TRowByRow out;
  z_stream s{};
  inflateInit(&s);
  s.next_in = const_cast<Bytef*>(z.data());
  s.avail_in = static_cast<uInt>(z.size());
  bool ended = false;
  for (int y = 0; y < rows && !out.Fault; ++y) {
    Bytes row(rowBytes);
    std::size_t got = 0;
    while (got < rowBytes && !out.Fault) {
      if (ended) { out.Fault = true; break; }
      if (s.avail_in == 0) { inflateEnd(&s); return out; }
      s.next_out = row.data() + got;
      s.avail_out = static_cast<uInt>(rowBytes - got);
      const int r = inflate(&s, Z_PARTIAL_FLUSH);
      got = rowBytes - s.avail_out;
      if (r == Z_STREAM_END) ended = true, out.Fault = got < rowBytes || s.avail_in > 0;
      else if (r != Z_OK && (r != Z_BUF_ERROR || s.avail_in > 0)) out.Fault = true;
    }
    if (!out.Fault) out.Rows.push_back(row);
  }
  inflateEnd(&s);
  return out;
}

}  // namespace

// Rows are inflated ahead in large pieces; a damaged stream must still stop the decoder at the
// row where reading row by row stops, with the same error, and every row before it decoded.
TEST(PngDecode, DamagedImageDataStopsAtTheSameRowAsReadingRowByRow) {
  constexpr int W = 1200, H = 100;
  Bytes raw;
  for (int y = 0; y < H; ++y) {
    raw.push_back(0);
    for (int x = 0; x < W; ++x) raw.push_back(static_cast<std::uint8_t>((x * 31 + y * 17 + (x * y) % 7) % 250));
  }
  const Bytes z = Zlib(raw);
  std::vector<Bytes> streams;
  for (std::size_t at = 2; at < z.size(); at += z.size() / 37) {
    Bytes flipped = z;
    flipped[at] ^= 0x55;
    streams.push_back(flipped);
    streams.push_back(Bytes(z.begin(), z.begin() + at));  // cut short
  }
  Bytes trailing = z;
  trailing.push_back(7);
  streams.push_back(trailing);
  for (int rows : {1, 54, 55, 99}) {
    const Bytes part(raw.begin(), raw.begin() + rows * (W + 1));
    streams.push_back(Zlib(part));
    // Flushed at a row's end, then a block of the invalid type: zlib fails right after that row.
    Bytes broken = Deflated(part, 9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH);
    broken.push_back(0x07);
    streams.push_back(broken);
  }
  for (const Bytes& stream : streams) {
    const TRowByRow want = ReadRowByRow(stream, H, W + 1);
    TPNGGraphic png;
    const std::string error = ErrorOf(Png({IHDR(W, H, 8, 0), Chunk("bKGD", {0, 251}), Chunk("IDAT", stream), IEND()}));
    EXPECT_EQ(error != "no error", want.Fault) << error << " with " << want.Rows.size() << " rows";
    try {
      Load(png, Png({IHDR(W, H, 8, 0), Chunk("bKGD", {0, 251}), Chunk("IDAT", stream), IEND()}));
    } catch (const EInvalidGraphic&) {
    }
    for (int y = 0; y < H; ++y) {
      const Bytes got(png.ScanLine(y), png.ScanLine(y) + W);
      // A damaged filter byte makes the row unfiltered otherwise: then only "not background".
      if (y < static_cast<int>(want.Rows.size()) && want.Rows[y][0] == 0)
        ASSERT_EQ(got, Bytes(want.Rows[y].begin() + 1, want.Rows[y].end())) << "row " << y;
      else if (y < static_cast<int>(want.Rows.size()))
        ASSERT_NE(got, Bytes(W, 251)) << "row " << y;
      else
        ASSERT_EQ(got, Bytes(W, 251)) << "row " << y << " of " << want.Rows.size();
    }
  }
}

// Image data over many chunks, some of them empty, decodes as from one chunk; a CRC fault in a
// later chunk stops the decoder where that chunk's data is first needed, every row before it
// decoded and the rest background.
TEST(PngDecode, ImageDataOverManyChunksAndABadOneLater) {
  constexpr int W = 300, H = 60;
  Bytes raw;
  for (int y = 0; y < H; ++y) {
    raw.push_back(0);
    for (int x = 0; x < W; ++x) raw.push_back(static_cast<std::uint8_t>((x * 7 + y * y) % 250));
  }
  const Bytes z = Zlib(raw);
  std::vector<Bytes> pieces;
  for (std::size_t at = 0; at < z.size(); at += 37) {
    pieces.push_back(Bytes(z.begin() + static_cast<std::ptrdiff_t>(at), z.begin() + static_cast<std::ptrdiff_t>(std::min(at + 37, z.size()))));
    if (pieces.size() % 3 == 0) pieces.push_back({});
  }
  auto file = [&](std::size_t badChunk) {
    Bytes out = Png({IHDR(W, H, 8, 0), Chunk("bKGD", {0, 251})});
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      Bytes c = Chunk("IDAT", pieces[i]);
      if (i == badChunk) c.back() ^= 1;
      out.insert(out.end(), c.begin(), c.end());
    }
    const Bytes end = IEND();
    out.insert(out.end(), end.begin(), end.end());
    return out;
  };
  TPNGGraphic whole, split;
  Load(whole, Png({IHDR(W, H, 8, 0), Chunk("bKGD", {0, 251}), Chunk("IDAT", z), IEND()}));
  TMemoryStream stream(file(pieces.size()));
  split.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), stream.Size());
  for (int y = 0; y < H; ++y) ASSERT_EQ(0, std::memcmp(whole.ScanLine(y), split.ScanLine(y), W)) << "row " << y;

  for (std::size_t bad : {std::size_t{1}, pieces.size() / 2, pieces.size() - 1}) {
    std::size_t before = 0;
    for (std::size_t i = 0; i < bad; ++i) before += pieces[i].size();
    const TRowByRow want = ReadRowByRow(Bytes(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(before)), H, W + 1);
    EXPECT_EQ(ErrorOf(file(bad)), kCRC);
    TPNGGraphic png;
    try {
      Load(png, file(bad));
    } catch (const EInvalidGraphic&) {
    }
    for (int y = 0; y < H; ++y) {
      const Bytes got(png.ScanLine(y), png.ScanLine(y) + W);
      if (y < static_cast<int>(want.Rows.size()))
        ASSERT_EQ(got, Bytes(want.Rows[y].begin() + 1, want.Rows[y].end())) << "row " << y << " with chunk " << bad << " bad";
      else
        ASSERT_EQ(got, Bytes(W, 251)) << "row " << y << " with chunk " << bad << " bad";
    }
  }
}
