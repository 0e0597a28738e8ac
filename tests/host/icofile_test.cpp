// Choosing an image from an ICO directory, and refusing directories that point outside the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/GraphicErrors.h"
#include "framework/IcoFile.h"

using namespace evesk;
using Bytes = std::vector<std::uint8_t>;

namespace {

void Put32(Bytes& b, std::uint32_t v) {
  for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}

// A bitmap image of an icon: header, colour table, colour rows and mask rows.
Bytes Dib(std::uint32_t side, std::uint32_t bits) {
  Bytes b;
  for (std::uint32_t v : {40u, side, side * 2, 1 | bits << 16, 0u, 0u, 0u, 0u, 0u, 0u}) Put32(b, v);
  const std::size_t stride = (side * bits + 31) / 32 * 4, mask = (side + 31) / 32 * 4;
  b.resize(b.size() + (bits <= 8 ? 4u << bits : 0) + (stride + mask) * side, 0);
  return b;
}

Bytes Png(std::uint8_t side) { return {137, 80, 78, 71, 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, side,
                                       0, 0, 0, side, 8, 6, 0, 0, 0, 0, 0, 0, 0}; }

// An ICO file of the given images; the directory's size fields are left 0, as files may.
Bytes Ico(const std::vector<Bytes>& images) {
  Bytes b = {0, 0, 1, 0, static_cast<std::uint8_t>(images.size()), 0};
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const Bytes& img : images) {
    Put32(b, 0), Put32(b, 0), Put32(b, static_cast<std::uint32_t>(img.size())), Put32(b, offset);
    offset += static_cast<std::uint32_t>(img.size());
  }
  for (const Bytes& img : images) b.insert(b.end(), img.begin(), img.end());
  return b;
}

bool Refused(const Bytes& file) {
  try {
    SelectIcoImage(file.data(), file.size(), 16, 16);
    return false;
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Cannot load image. Invalid or unexpected ICO image format.");
    return true;
  }
}

}  // namespace

TEST(IcoFile, NearestSizeWinsThenMoreColoursThenTheLarger) {
  const Bytes file = Ico({Dib(32, 32), Dib(16, 4), Dib(16, 24), Dib(48, 32), Png(200)});
  TIcoImage img = SelectIcoImage(file.data(), file.size(), 16, 16);
  EXPECT_EQ(img.BitCount, 24);
  EXPECT_EQ(img.Offset, 6 + 16 * 5 + Dib(32, 32).size() + Dib(16, 4).size());
  EXPECT_EQ(SelectIcoImage(file.data(), file.size(), 40, 40).Width, 48);
  img = SelectIcoImage(file.data(), file.size(), 256, 256);
  EXPECT_TRUE(img.IsPNG);
  EXPECT_EQ(img.Width, 200);
}

TEST(IcoFile, DamagedEntriesArePassedOverAndNoUsableEntryIsRefused) {
  const Bytes good = Ico({Dib(16, 32), Dib(32, 32)});
  const Bytes cut(good.begin(), good.end() - 1);  // the second image runs past the end
  EXPECT_EQ(SelectIcoImage(cut.data(), cut.size(), 32, 32).Width, 16);

  EXPECT_TRUE(Refused({}));
  EXPECT_TRUE(Refused({0, 0, 2, 0, 1, 0}));                  // a cursor file
  EXPECT_TRUE(Refused({0, 0, 1, 0, 0, 0}));                  // no images
  EXPECT_TRUE(Refused(Bytes(good.begin(), good.begin() + 30)));  // directory cut short
  Bytes far = Ico({Dib(16, 32)}), wrap = far;
  far[21] = 0x7F;                                        // offset far past the end
  wrap[14] = wrap[15] = wrap[16] = wrap[17] = 0xFF;      // a length that wraps a 32-bit sum
  EXPECT_TRUE(Refused(far));
  EXPECT_TRUE(Refused(wrap));
  // Bitmap headers that claim more than the entry holds, or nonsense.
  for (std::size_t at : {4u, 8u, 33u, 1u}) {  // width 64, odd double height, 512 colours, huge header
    Bytes dib = Dib(16, 8);
    dib[at] = at == 4 ? 64 : at == 8 ? 31 : 2;
    EXPECT_TRUE(Refused(Ico({dib}))) << at;
  }
  EXPECT_TRUE(Refused(Ico({Png(0)})));
}
