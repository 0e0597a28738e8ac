// Choosing an image from an ICO directory, and refusing directories that point outside the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "imaging/acGraphicErrors.h"
#include "imaging/acICOFile.h"

using namespace evesk;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A bitmap image of an icon: header, colour table, colour rows and mask rows.
Bytes Dib(int side, int bits) {
  Bytes b;
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(side));
  Put32(b, static_cast<std::uint32_t>(side * 2));
  Put16(b, 1);
  Put16(b, static_cast<unsigned>(bits));
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  const std::size_t colours = bits <= 8 ? 1u << bits : 0;
  const std::size_t stride = (static_cast<std::size_t>(side) * bits + 31) / 32 * 4;
  const std::size_t maskStride = (static_cast<std::size_t>(side) + 31) / 32 * 4;
  b.resize(b.size() + colours * 4 + (stride + maskStride) * side, 0);
  return b;
}

Bytes Png(std::uint32_t side) {
  Bytes b = {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (int k = 0; k < 2; ++k)
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(side >> s));
  b.resize(b.size() + 9, 0);
  return b;
}

// An ICO file of the given images; the directory's own size fields are left 0, as files may.
Bytes Ico(const std::vector<Bytes>& images) {
  Bytes b;
  Put16(b, 0);
  Put16(b, 1);
  Put16(b, static_cast<unsigned>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const Bytes& img : images) {
    for (int i = 0; i < 8; ++i) b.push_back(0);
    Put32(b, static_cast<std::uint32_t>(img.size()));
    Put32(b, offset);
    offset += static_cast<std::uint32_t>(img.size());
  }
  for (const Bytes& img : images) b.insert(b.end(), img.begin(), img.end());
  return b;
}

void ExpectRefused(const Bytes& file) {
  try {
    SelectIcoImage(file.data(), file.size(), 16, 16);
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected ICO image format.");
  }
}

}  // namespace

TEST(IcoFile, NearestSizeWinsThenMoreColoursThenTheLarger) {
  const Bytes file = Ico({Dib(32, 32), Dib(16, 4), Dib(16, 24), Dib(48, 32)});
  TIcoImage img = SelectIcoImage(file.data(), file.size(), 16, 16);
  EXPECT_EQ(img.Width, 16);
  EXPECT_EQ(img.BitCount, 24);
  EXPECT_FALSE(img.IsPNG);
  EXPECT_EQ(img.Offset, 6 + 16 * 4 + Dib(32, 32).size() + Dib(16, 4).size());
  img = SelectIcoImage(file.data(), file.size(), 40, 40);
  EXPECT_EQ(img.Width, 48);
  EXPECT_EQ(img.Height, 48);
}

TEST(IcoFile, PngImagesAreRecognisedBySignature) {
  const Bytes file = Ico({Dib(16, 8), Png(256)});
  TIcoImage img = SelectIcoImage(file.data(), file.size(), 200, 200);
  EXPECT_TRUE(img.IsPNG);
  EXPECT_EQ(img.Width, 256);
  EXPECT_EQ(img.Size, Png(256).size());
}

TEST(IcoFile, DamagedEntriesArePassedOverAndNoUsableEntryIsRefused) {
  // An image whose data run past the end, next to a good one: the good one is taken.
  Bytes file = Ico({Dib(16, 32), Dib(32, 32)});
  Bytes cut(file.begin(), file.end() - 1);
  TIcoImage img = SelectIcoImage(cut.data(), cut.size(), 32, 32);
  EXPECT_EQ(img.Width, 16);

  ExpectRefused({});
  ExpectRefused({0, 0, 2, 0, 1, 0});                  // a cursor file
  ExpectRefused({0, 0, 1, 0, 0, 0});                  // no images
  Bytes far = Ico({Dib(16, 32)});
  ExpectRefused(Bytes(far.begin(), far.begin() + 20));  // directory cut short
  far[18] = 0xFF, far[19] = 0xFF, far[20] = 0xFF, far[21] = 0x7F;  // offset far past the end
  ExpectRefused(far);
  Bytes wrap = Ico({Dib(16, 32)});
  wrap[14] = wrap[15] = wrap[16] = wrap[17] = 0xFF;  // length that wraps a 32-bit sum
  ExpectRefused(wrap);

  // Bitmap headers that claim more than the entry holds, or nonsense.
  Bytes big = Dib(16, 32);
  big[4] = 64;  // width 64 with the data of 16
  ExpectRefused(Ico({big}));
  Bytes odd = Dib(16, 32);
  odd[8] = 31;  // colour and mask of unequal heights
  ExpectRefused(Ico({odd}));
  Bytes palette = Dib(16, 8);
  palette[32] = 0, palette[33] = 2;  // 512 colours
  ExpectRefused(Ico({palette}));
  Bytes header = Dib(16, 32);
  header[0] = 0xFF, header[1] = 0xFF;  // header bigger than the image
  ExpectRefused(Ico({header}));
  ExpectRefused(Ico({Png(0)}));
}
