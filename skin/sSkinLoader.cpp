#include "skin/sSkinLoader.h"

#include <cstring>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "framework/SysUtils.h"
#include "imaging/acBMP.h"
#include "imaging/acImageSize.h"
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

std::unique_ptr<TBitmap> DecodeSkinImage(const std::string& name, const std::uint8_t* data, std::size_t size,
                                         std::int64_t maxPixels) {
  const std::string upper = UpperCase(name);
  const bool bmp = EndsWith(upper, ".BMP"), jpeg = EndsWith(upper, ".JPG") || EndsWith(upper, ".JPEG"),
             png = EndsWith(upper, ".PNG");
  if (!bmp && !jpeg && !png) throw EInvalidGraphic("Obrázek „" + name + "“ není typu BMP, JPEG ani PNG.");
  // The size is judged from the header, before the decoder takes memory for the pixels.
  TacImageSize claimed;
  if (!ReadImageSize(data, size, claimed)) throw EInvalidGraphic("Hlavičku obrázku „" + name + "“ nelze přečíst.");
  if (claimed.Pixels() > maxPixels)
    throw ESkinTooLarge("Obrázek „" + name + "“ je příliš velký (" + CzechCount(claimed.Width) + " × " +
                        CzechCount(claimed.Height) + " bodů).");
  if (bmp) {
    auto bitmap = std::make_unique<TBitmap>();
    LoadBMP(data, size, *bitmap);
    return bitmap;
  }
  if (jpeg) {
    auto bitmap = std::make_unique<TBitmap>();
    LoadJPEG(data, size, *bitmap);
    return bitmap;
  }
  // Read in place; a 32-bit image is handed over as it was decoded, without a copy.
  auto image = std::make_unique<TPNGGraphic>();
  image->LoadFromMemory(data, size);
  if (image->PixelFormat() == TPixelFormat::pf32bit) return image;
  return With32BitAlpha(*image);
}

std::unique_ptr<TBitmap> TsSkinImageCache::Get(const std::string& name, const TReader& read) {
  const std::string key = UpperCase(name);
  auto found = FImages.find(key);
  if (found == FImages.end()) {
    std::shared_ptr<const TBitmap> image;
    try {
      if (std::unique_ptr<std::vector<std::uint8_t>> bytes = read()) {
        ++FDecoded;
        image = DecodeSkinImage(name, bytes->data(), bytes->size(), FBudget - FUsed);
      }
    } catch (const ESkinTooLarge&) {
      throw;
    } catch (const Exception&) {
      // Unreadable or broken: left out, and not tried again for the next key that names it.
    }
    if (image && image->Empty()) image.reset();
    if (image) FUsed += std::int64_t{image->Width()} * image->Height();
    found = FImages.emplace(key, std::move(image)).first;
  }
  const std::shared_ptr<const TBitmap>& image = found->second;
  if (!image) return nullptr;
  const std::int64_t pixels = std::int64_t{image->Width()} * image->Height();
  if (pixels > FBudget - FUsed)
    throw ESkinTooLarge("Obrázky vzhledu potřebují víc než " + CzechCount(FBudget) + " bodů („" + name + "“).");
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(*image);
  if (copy->Width() != image->Width() || copy->Height() != image->Height()) throw std::bad_alloc();
  FUsed += pixels;
  return copy;
}

TsImageLoader ArchiveImageLoader(const TacSkinConvertor& reader, std::shared_ptr<TsSkinImageCache> cache) {
  return [&reader, cache](const std::string& name) -> std::unique_ptr<TBitmap> {
    return cache->Get(name, [&]() -> std::unique_ptr<std::vector<std::uint8_t>> {
      const TacImageEntry* entry = reader.FindImage(name);
      if (!entry || !entry->Data) return nullptr;
      return std::make_unique<std::vector<std::uint8_t>>(entry->Data->Bytes());
    });
  };
}

TsImageLoader FolderImageLoader(const TacFileSystem& files, const std::string& skinPath,
                                std::shared_ptr<TsSkinImageCache> cache) {
  return [&files, skinPath, cache](const std::string& name) -> std::unique_ptr<TBitmap> {
    return cache->Get(name, [&]() -> std::unique_ptr<std::vector<std::uint8_t>> {
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
      // Judged by its length first: a huge file is refused without being read.
      const std::int64_t length = files.FileSize(path);
      if (length > MaxSkinImageFileSize)
        throw ESkinTooLarge("Soubor obrázku „" + name + "“ je příliš velký (" + CzechBytes(length) + ").");
      return std::make_unique<std::vector<std::uint8_t>>(files.ReadFile(path));
    });
  };
}

std::string SkinDefect(const TsSkinTables& tables) {
  if (tables.Sections().empty()) return "Soubor nastavení vzhledu neobsahuje žádné sekce.";
  const std::string& master = tables.Globals().MasterBitmap;
  if (!master.empty() && !tables.MasterBitmap())
    return "Hlavní obrázek vzhledu „" + master + "“ chybí nebo jej nelze přečíst.";
  for (const char* key : {"BOXCHECKED", "BOXUNCHECKED", "BICONCLOSE", "BICONMIN"})
    if (tables.GetMaskIndex(tables.GetSectionIndex("GLOBALINFO"), "GLOBALINFO", key) < 0)
      return std::string("Vzhledu chybí použitelný obrázek ") + key + ".";
  return "";
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
