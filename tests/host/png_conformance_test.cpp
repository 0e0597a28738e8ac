// Every colour type, bit depth and interlace method, written by the reference library and
// compared pixel by pixel with what the reference library reads back, after the conversions
// the decoder makes: 16-bit samples cut to 8 bits, grey+alpha without alpha, palette
// transparency not applied.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <random>

#include "framework/Stream.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"

using namespace evesk;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Image {
  int Width = 0, Height = 0, Depth = 8, ColorType = 0;
  Bytes Rows;          // packed rows as the format stores them
  std::size_t RowBytes = 0;
  std::vector<png_color> Palette;
  Bytes Trns;
};

int Channels(int colorType) { return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1; }

Image RandomImage(int w, int h, int depth, int colorType, unsigned seed) {
  std::mt19937 rng(seed);
  Image im{w, h, depth, colorType, {}, 0, {}, {}};
  im.RowBytes = (static_cast<std::size_t>(w) * depth * Channels(colorType) + 7) / 8;
  im.Rows.resize(im.RowBytes * h);
  if (colorType == 3) {
    const int entries = depth == 8 ? 200 : 1 << depth;
    for (int i = 0; i < entries; ++i)
      im.Palette.push_back({static_cast<png_byte>(rng()), static_cast<png_byte>(rng()), static_cast<png_byte>(rng())});
    im.Trns = {0, 128, 255};
    // Indexes must stay inside the palette: pack valid ones sample by sample.
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned v = rng() % entries;
        const std::size_t bit = static_cast<std::size_t>(x) * depth;
        im.Rows[y * im.RowBytes + bit / 8] |= static_cast<std::uint8_t>(v << (8 - depth - bit % 8));
      }
  } else {
    // Smooth ramps with noise, so that every filter type is worth choosing.
    for (int y = 0; y < h; ++y)
      for (std::size_t i = 0; i < im.RowBytes; ++i)
        im.Rows[y * im.RowBytes + i] = static_cast<std::uint8_t>(i * 3 + y * 5 + (rng() % 5 == 0 ? rng() : 0));
  }
  return im;
}

Bytes WriteWithReference(const Image& im, bool interlaced, std::size_t bufferSize) {
  Bytes out;
  png_structp w = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(w);
  std::vector<png_bytep> rows(im.Height);
  for (int y = 0; y < im.Height; ++y) rows[y] = const_cast<png_bytep>(&im.Rows[y * im.RowBytes]);
  if (setjmp(png_jmpbuf(w))) {
    png_destroy_write_struct(&w, &info);
    ADD_FAILURE() << "reference writer failed";
    return {};
  }
  png_set_write_fn(
      w, &out, [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(w, info, im.Width, im.Height, im.Depth, im.ColorType,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!im.Palette.empty()) png_set_PLTE(w, info, im.Palette.data(), static_cast<int>(im.Palette.size()));
  if (!im.Trns.empty()) png_set_tRNS(w, info, im.Trns.data(), static_cast<int>(im.Trns.size()), nullptr);
  png_set_filter(w, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
  png_set_compression_buffer_size(w, bufferSize);  // small buffers: many IDAT chunks
  png_write_info(w, info);
  png_write_image(w, rows.data());
  png_write_end(w, info);
  png_destroy_write_struct(&w, &info);
  return out;
}

// The reference reading: raw samples, de-interlaced, plus the palette.
bool ReadWithReference(const Bytes& file, Image& im) {
  struct Source { const Bytes* data; std::size_t pos; } src{&file, 0};
  png_structp r = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(r);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(r))) {
    png_destroy_read_struct(&r, &info, nullptr);
    return false;
  }
  png_set_read_fn(r, &src, [](png_structp p, png_bytep data, png_size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(p));
    if (s->pos + n > s->data->size()) png_error(p, "short");
    std::memcpy(data, s->data->data() + s->pos, n);
    s->pos += n;
  });
  png_read_info(r, info);
  png_set_interlace_handling(r);
  png_read_update_info(r, info);
  im.Width = static_cast<int>(png_get_image_width(r, info));
  im.Height = static_cast<int>(png_get_image_height(r, info));
  im.Depth = png_get_bit_depth(r, info);
  im.ColorType = png_get_color_type(r, info);
  im.RowBytes = png_get_rowbytes(r, info);
  im.Rows.assign(im.RowBytes * im.Height, 0);
  for (int y = 0; y < im.Height; ++y) rows.push_back(&im.Rows[y * im.RowBytes]);
  png_read_image(r, rows.data());
  png_colorp palette;
  int count = 0;
  if (png_get_PLTE(r, info, &palette, &count)) im.Palette.assign(palette, palette + count);
  png_read_end(r, nullptr);
  png_destroy_read_struct(&r, &info, nullptr);
  return true;
}

unsigned Sample(const Image& im, int x, int y, int channel) {
  const std::uint8_t* row = &im.Rows[y * im.RowBytes];
  const std::size_t index = static_cast<std::size_t>(x) * Channels(im.ColorType) + channel;
  if (im.Depth == 16) return row[index * 2] << 8 | row[index * 2 + 1];
  if (im.Depth == 8) return row[index];
  const std::size_t bit = index * im.Depth;
  return (row[bit / 8] >> (8 - im.Depth - bit % 8)) & ((1u << im.Depth) - 1);
}

// A sample as an 8-bit level: 16-bit cut down as value × 255 / 65535, low depths spread.
unsigned Level(const Image& im, unsigned v) {
  return im.Depth == 16 ? v * 255 / 65535 : im.Depth == 8 ? v : v * 255 / ((1u << im.Depth) - 1);
}

// Expected B, G, R, A of a pixel.
TPaletteEntry Expected(const Image& im, int x, int y) {
  auto b = [](unsigned v) { return static_cast<std::uint8_t>(v); };
  switch (im.ColorType) {
    case 3: {
      const png_color c = im.Palette[Sample(im, x, y, 0)];
      return {c.blue, c.green, c.red, 0};
    }
    case 2:
    case 6:
      return {b(Level(im, Sample(im, x, y, 2))), b(Level(im, Sample(im, x, y, 1))), b(Level(im, Sample(im, x, y, 0))),
              b(im.ColorType == 6 ? Level(im, Sample(im, x, y, 3)) : 0)};
    default: {
      const std::uint8_t g = b(Level(im, Sample(im, x, y, 0)));
      return {g, g, g, 0};
    }
  }
}

TPixelFormat ExpectedFormat(int colorType, int depth) {
  if (colorType == 2) return TPixelFormat::pf24bit;
  if (colorType == 6) return TPixelFormat::pf32bit;
  if (colorType == 4 || depth >= 8) return TPixelFormat::pf8bit;
  return depth == 1 ? TPixelFormat::pf1bit : TPixelFormat::pf4bit;
}

struct Case {
  int ColorType, Depth;
};
const Case kCases[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                       {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

}  // namespace

TEST(PngConformance, EveryColourTypeDepthAndInterlaceMatchesTheReference) {
  const std::pair<int, int> sizes[] = {{1, 1}, {3, 5}, {37, 23}, {130, 17}};
  unsigned seed = 1;
  for (const Case& c : kCases)
    for (auto [w, h] : sizes) {
      const Image source = RandomImage(w, h, c.Depth, c.ColorType, seed++);
      TPNGGraphic twin[2];
      for (int interlaced = 0; interlaced < 2; ++interlaced) {
        SCOPED_TRACE(testing::Message() << "type " << c.ColorType << " depth " << c.Depth << " size " << w << "x" << h
                                        << (interlaced ? " interlaced" : ""));
        const Bytes file = WriteWithReference(source, interlaced, 64 + seed % 300);
        Image reference;
        ASSERT_TRUE(ReadWithReference(file, reference));
        TPNGGraphic& png = twin[interlaced];
        TMemoryStream stream(file);
        ASSERT_NO_THROW(png.LoadFromStream(stream));
        ASSERT_EQ(png.Width(), w);
        ASSERT_EQ(png.Height(), h);
        ASSERT_EQ(png.PixelFormat(), ExpectedFormat(c.ColorType, c.Depth));
        EXPECT_EQ(png.ImageProperties().Interlaced, interlaced == 1);
        EXPECT_FALSE(png.Transparent);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const TPaletteEntry got = PixelAt(png, x, y), want = Expected(reference, x, y);
            if (std::memcmp(&got, &want, 4) != 0 && wrong++ < 3)
              ADD_FAILURE() << "pixel " << x << "," << y << ": got " << int(got.Red) << "/" << int(got.Green) << "/"
                            << int(got.Blue) << "/" << int(got.Reserved) << " want " << int(want.Red) << "/"
                            << int(want.Green) << "/" << int(want.Blue) << "/" << int(want.Reserved);
          }
      }
      // The interlaced file decodes to exactly the bytes of its non-interlaced twin.
      const std::size_t bits = static_cast<std::size_t>(w) * BitsPerPixel(twin[0].PixelFormat());
      const std::uint8_t lastMask = static_cast<std::uint8_t>(0xFF00 >> (bits % 8));
      for (int y = 0; y < h; ++y) {
        const std::uint8_t *a = twin[0].ScanLine(y), *b = twin[1].ScanLine(y);
        ASSERT_EQ(std::memcmp(a, b, bits / 8), 0) << "row " << y << " type " << c.ColorType << " depth " << c.Depth;
        if (bits % 8) {
          ASSERT_EQ(a[bits / 8] & lastMask, b[bits / 8] & lastMask) << "row " << y;
        }
      }
    }
}
