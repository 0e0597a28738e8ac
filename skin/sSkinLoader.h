// Turning a chosen skin into its tables: the decoders for the image files a skin may hold
// (our BMP decoder, the PNG decoder, libjpeg), loaders over an archive or a folder, and the
// build with the manager's common sections, strict number reading and recolouring.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/Bitmap.h"
#include "skin/acSkinFiles.h"
#include "skin/acSkinPack.h"
#include "skin/sSkinOptions.h"
#include "skin/sSkinTables.h"

namespace evesk {

// Decodes an image file by its name's extension (".BMP", ".PNG", ".JPG", ".JPEG", any case).
// A PNG comes back 32-bit with its alpha (opaque when the file has none). Raises
// EInvalidGraphic (or another Exception) for a damaged file or an unknown kind.
std::unique_ptr<TBitmap> DecodeSkinImage(const std::string& name, const std::uint8_t* data, std::size_t size);

// Images from the entries of an archive, found without regard to case; the reader must outlive
// the loader.
TsImageLoader ArchiveImageLoader(const TacSkinConvertor& reader);
// Images from files: the skin path (ending with "\") is put before names without ":". A name
// whose case differs from the file's is still found, as it would be on Windows.
TsImageLoader FolderImageLoader(const TacFileSystem& files, const std::string& skinPath);

struct TsSkinBuild {
  int HueOffset = 0;
  int Saturation = 0;
  const TsSkinOptions* Common = nullptr;  // the manager's common sections, or none
  TsImageLoader CommonFiles;              // their images
  TsSkinManager* Manager = nullptr;
};

// Builds the tables from the options and images, then recolours them. A malformed number in an
// image reference raises ESkinOptionsError, and the tables are left empty.
void BuildSkinTables(TsSkinTables& tables, const TsSkinOptions& options, const TsImageLoader& images,
                     const TsSkinBuild& build);

// Reads an archive's options entry as the options of a skin; empty options without one.
TsSkinOptions ArchiveOptions(const TacSkinConvertor& reader);

}  // namespace evesk
