// Turning a chosen skin into its tables: the decoders for the image files a skin may hold
// (our BMP decoder, the PNG decoder, libjpeg), loaders over an archive or a folder, and the
// build with the manager's common sections, strict number reading and recolouring.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
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
// EInvalidGraphic (or another Exception) for a damaged file, an unknown kind or a header that
// cannot be read, and ESkinTooLarge, before decoding, when the header claims more than
// maxPixels pixels.
std::unique_ptr<TBitmap> DecodeSkinImage(const std::string& name, const std::uint8_t* data, std::size_t size,
                                         std::int64_t maxPixels = TsSkinTables::MaxTotalPixels);

// The pictures of one load: each file is read and decoded once, whichever keys name it, and
// every caller gets its own copy. Decoded pictures and copies together stay within the budget;
// a file that would go beyond it raises ESkinTooLarge before it is decoded (or, on disk, read).
class TsSkinImageCache {
 public:
  explicit TsSkinImageCache(std::int64_t budget = TsSkinTables::MaxTotalPixels) : FBudget(budget) {}
  // The file's bytes, or null when there is no such file.
  using TReader = std::function<std::unique_ptr<std::vector<std::uint8_t>>()>;
  // A copy of the picture of the file name (names compared without regard to case); null when
  // the file is missing or broken, which is remembered too.
  std::unique_ptr<TBitmap> Get(const std::string& name, const TReader& read);
  std::int64_t Used() const { return FUsed; }
  int Decoded() const { return FDecoded; }

 private:
  std::int64_t FBudget, FUsed = 0;
  int FDecoded = 0;
  std::map<std::string, std::shared_ptr<const TBitmap>> FImages;
};

// A file on disk larger than this cannot be a picture within the budget; it is not read.
constexpr std::int64_t MaxSkinImageFileSize = TsSkinTables::MaxTotalPixels * 4 + (std::int64_t{1} << 20);

// Images from the entries of an archive, found without regard to case; the reader must outlive
// the loader. Loaders of one load share one cache.
TsImageLoader ArchiveImageLoader(const TacSkinConvertor& reader,
                                 std::shared_ptr<TsSkinImageCache> cache = std::make_shared<TsSkinImageCache>());
// Images from files: the skin path (ending with "\") is put before names without ":". A name
// whose case differs from the file's is still found, as it would be on Windows.
TsImageLoader FolderImageLoader(const TacFileSystem& files, const std::string& skinPath,
                                std::shared_ptr<TsSkinImageCache> cache = std::make_shared<TsSkinImageCache>());

// Why built tables cannot make a usable skin, or "" when they can: a skin needs sections, the
// master bitmap its options name, and the pictures without which a reader could not tell the
// state of a check box or find a window's close and minimise buttons (mandatory in
// "GLOBALINFO": BOXCHECKED, BOXUNCHECKED, BICONCLOSE, BICONMIN).
std::string SkinDefect(const TsSkinTables& tables);

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
