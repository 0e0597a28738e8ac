#include "skin/sSkinLoader.h"

#include <cstring>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "imaging/acBMP.h"
#include "imaging/acJPEG.h"
#include "imaging/acPNG.h"
#include "skin/sSkinRecolor.h"

namespace evesk {

namespace {

bool EndsWith(const std::string& upper, const char* tail) {
  const std::string t(tail);
  return upper.size() >= t.size() && upper.compare(upper.size() - t.size(), t.size(), t) == 0;
}

// A PNG that is not 32-bit made so: the colours of an indexed image come with the alpha that its
// transparency chunk gives each palette entry; every other pixel is opaque.
std::unique_ptr<TBitmap> With32BitAlpha(const TPNGGraphic& source) {
  auto target = std::make_unique<TBitmap>();
  if (!target->SetSize(source.Width(), source.Height(), TPixelFormat::pf32bit)) return nullptr;
  const int bits = BitsPerPixel(source.PixelFormat());
  if (bits == 24) {
    for (int y = 0; y < source.Height(); ++y) {
      const std::uint8_t* in = source.ScanLine(y);
      std::uint8_t* out = target->ScanLine(y);
      for (int x = 0; x < source.Width(); ++x, in += 3, out += 4) out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
    }
    return target;
  }
  // Indexed and grey images: one four-byte value per possible index.
  std::uint32_t colours[256] = {};
  const std::vector<TPaletteEntry>& palette = source.Palette();
  const bool indexed = !source.FilePalette().empty();
  for (std::size_t i = 0; i < palette.size() && i < 256; ++i) {
    const std::uint32_t alpha = indexed ? source.TransparencyTable()[i] : 255;
    colours[i] = palette[i].Blue | palette[i].Green << 8 | palette[i].Red << 16 | alpha << 24;
  }
  for (int y = 0; y < source.Height(); ++y) {
    const std::uint8_t* in = source.ScanLine(y);
    std::uint8_t* out = target->ScanLine(y);
    for (int x = 0; x < source.Width(); ++x, out += 4) {
      const unsigned index = bits == 8 ? in[x] : bits == 4 ? in[x >> 1] >> (x & 1 ? 0 : 4) & 15 : in[x >> 3] >> (7 - (x & 7)) & 1;
      std::memcpy(out, &colours[index], 4);
    }
  }
  return target;
}

}  // namespace

std::unique_ptr<TBitmap> DecodeSkinImage(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string upper = UpperCase(name);
  if (EndsWith(upper, ".BMP")) {
    auto bmp = std::make_unique<TBitmap>();
    LoadBMP(data, size, *bmp);
    return bmp;
  }
  if (EndsWith(upper, ".JPG") || EndsWith(upper, ".JPEG")) {
    auto jpeg = std::make_unique<TBitmap>();
    LoadJPEG(data, size, *jpeg);
    return jpeg;
  }
  if (EndsWith(upper, ".PNG")) {
    // Read in place; a 32-bit image is handed over as it was decoded, without a copy.
    auto png = std::make_unique<TPNGGraphic>();
    png->LoadFromMemory(data, size);
    if (png->PixelFormat() == TPixelFormat::pf32bit) return png;
    return With32BitAlpha(*png);
  }
  throw EInvalidGraphic("Unknown image file kind: " + name);
}

TsImageLoader ArchiveImageLoader(const TacSkinConvertor& reader) {
  return [&reader](const std::string& name) -> std::unique_ptr<TBitmap> {
    const TacImageEntry* entry = reader.FindImage(name);
    if (!entry || !entry->Data) return nullptr;
    const std::vector<std::uint8_t>& bytes = entry->Data->Bytes();
    return DecodeSkinImage(name, bytes.data(), bytes.size());
  };
}

TsImageLoader FolderImageLoader(const TacFileSystem& files, const std::string& skinPath) {
  return [&files, skinPath](const std::string& name) -> std::unique_ptr<TBitmap> {
    std::string path = name.find(':') != std::string::npos ? name : skinPath + name;
    if (!files.FileExists(path)) {
      const std::size_t cut = path.find_last_of("\\/");
      const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut);
      const std::string wanted = UpperCase(path.substr(cut == std::string::npos ? 0 : cut + 1));
      bool found = false;
      for (const TacDirEntry& e : files.ListFolder(folder))
        if (!e.Folder && UpperCase(e.Name) == wanted) {
          path = folder + "\\" + e.Name;
          found = true;
          break;
        }
      if (!found) return nullptr;
    }
    const std::vector<std::uint8_t> bytes = files.ReadFile(path);
    return DecodeSkinImage(name, bytes.data(), bytes.size());
  };
}

void BuildSkinTables(TsSkinTables& tables, const TsSkinOptions& options, const TsImageLoader& images,
                     const TsSkinBuild& build) {
  tables.StrictNumbers = true;
  try {
    tables.Build(options, images, images, build.Manager, build.Common, build.CommonFiles);
  } catch (...) {
    tables.Clear();
    throw;
  }
  RecolorTables(tables, build.HueOffset, build.Saturation);
}

TsSkinOptions ArchiveOptions(const TacSkinConvertor& reader) {
  if (!reader.Options()) return TsSkinOptions();
  const std::vector<std::uint8_t>& bytes = reader.Options()->Bytes();
  return TsSkinOptions(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace evesk
