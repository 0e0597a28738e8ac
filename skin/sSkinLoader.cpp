#include "skin/sSkinLoader.h"

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "imaging/acBMP.h"
#include "imaging/acJPEG.h"
#include "imaging/acPNG.h"
#include "imaging/acPixelOps.h"
#include "skin/sSkinRecolor.h"

namespace evesk {

namespace {

bool EndsWith(const std::string& upper, const char* tail) {
  const std::string t(tail);
  return upper.size() >= t.size() && upper.compare(upper.size() - t.size(), t.size(), t) == 0;
}

std::unique_ptr<TBitmap> Opaque32(const TBitmap& source) {
  auto target = std::make_unique<TBitmap>();
  if (!target->SetSize(source.Width(), source.Height(), TPixelFormat::pf32bit)) return nullptr;
  for (int y = 0; y < source.Height(); ++y) {
    std::uint8_t* row = target->ScanLine(y);
    for (int x = 0; x < source.Width(); ++x) {
      const TPaletteEntry p = PixelAt(source, x, y);
      row[x * 4] = p.Blue, row[x * 4 + 1] = p.Green, row[x * 4 + 2] = p.Red, row[x * 4 + 3] = 255;
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
    return Opaque32(*png);
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
