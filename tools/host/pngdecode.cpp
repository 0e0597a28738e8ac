// pngdecode IN.png OUT.pam: decodes a PNG with the program's decoder and writes the bitmap as
// a PAM file, RGB_ALPHA for 32-bit bitmaps and RGB for every other format (palette and grey
// expanded). Bad input ends with the decoder's message and exit code 1.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pngdecode IN.png OUT.pam\n");
    return 2;
  }
  evesk::TPNGGraphic png;
  try {
    evesk::TMemoryStream stream(evesk::ReadFileBytes(argv[1]));
    png.LoadFromStream(stream);
  } catch (const evesk::Exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[1], e.Message().c_str());
    return 1;
  }
  const bool alpha = png.PixelFormat() == evesk::TPixelFormat::pf32bit;
  const int depth = alpha ? 4 : 3;
  std::vector<unsigned char> pixels;
  pixels.reserve(static_cast<std::size_t>(png.Width()) * png.Height() * depth);
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x) {
      const evesk::TPaletteEntry p = evesk::PixelAt(png, x, y);
      pixels.push_back(p.Red);
      pixels.push_back(p.Green);
      pixels.push_back(p.Blue);
      if (alpha) pixels.push_back(p.Reserved);
    }
  std::ofstream out(argv[2], std::ios::binary);
  out << "P7\nWIDTH " << png.Width() << "\nHEIGHT " << png.Height() << "\nDEPTH " << depth
      << "\nMAXVAL 255\nTUPLTYPE " << (alpha ? "RGB_ALPHA" : "RGB") << "\nENDHDR\n";
  out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write the file\n", argv[2]);
    return 1;
  }
  return 0;
}
