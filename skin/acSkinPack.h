// Skin archives: "ASzf", an entry count, then per entry a name, the unpacked size and one
// zlib stream. TacSkinConvertor reads one archive per skin load into an options stream and
// image entries; WriteSkinArchive is the packer's side.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "skin/acSkinFiles.h"

namespace evesk {

EVESK_EXCEPTION(ESkinArchiveError, Exception);

extern const char* const SNotSkinArchive;  // "Loaded data is not packed QuenchSkin file"
extern const char* const SkinOptionsFileName;  // "Options.dat"
extern const char SkinArchiveMagic[4];         // "ASzf", the first four bytes of an archive

struct TacImageEntry {
  std::string Name;      // as stored, case kept
  bool IsBitmap = false; // extension ".bmp" in any case
  std::unique_ptr<TMemoryStream> Data;
};

class TacSkinConvertor {
 public:
  // Archives come from disk and from form resources, so nothing they claim is trusted: these
  // bound what one archive may make us allocate. The largest real skin unpacks to well under
  // a megabyte; an entry may hold any picture within a skin's pixel budget (4 M pixels, 16 MB
  // at 32 bits) with room for a file's overhead, and claims beyond are refused before inflating.
  static constexpr int MaxEntries = 1024;
  static constexpr int MaxNameLength = 255;
  static constexpr std::int64_t MaxEntrySize = std::int64_t{24} << 20;
  static constexpr std::int64_t MaxTotalSize = std::int64_t{32} << 20;
  static constexpr std::size_t BlockSize = 65536;
  // A file beyond this cannot hold an archive within the limits above; it is not read in.
  static constexpr std::int64_t MaxFileSize = MaxTotalSize + MaxTotalSize / 64 + (std::int64_t{1} << 20);

  TacSkinConvertor() = default;
  ~TacSkinConvertor() { Clear(); }
  TacSkinConvertor(const TacSkinConvertor&) = delete;
  TacSkinConvertor& operator=(const TacSkinConvertor&) = delete;

  // The archive to read. A borrowed source is only let go of; an owned one is freed by Clear.
  void SetSource(TStream* borrowed);
  void TakeSource(std::unique_ptr<TStream> owned);
  TStream* SrcStream() const { return FSource; }
  void ReleaseSource();

  // Reads the source from its start. On any fault (wrong magic, damaged or oversized
  // archive) the reader is cleared, the message kept in LastError and passed to OnWarning,
  // and the result is false: the caller carries on without options.
  bool ReadArchive();

  TMemoryStream* Options() const { return FOptions.get(); }
  int ImageCount() const { return static_cast<int>(FImages.size()); }
  const std::vector<TacImageEntry>& Images() const { return FImages; }
  // Case-insensitive, as file names are on Windows.
  const TacImageEntry* FindImage(const std::string& name) const;
  const std::string& LastError() const { return FLastError; }

  // Frees the image entries (last first), the options and an owned source.
  void Clear();

  std::function<void(const std::string& message)> OnWarning;

 private:
  void Parse();
  std::vector<std::uint8_t> Inflate(const std::string& name, std::int64_t size, std::int64_t& total);

  TStream* FSource = nullptr;
  std::unique_ptr<std::uint8_t[]> FBlock;  // one source block, shared by the entries of a read
  std::unique_ptr<TStream> FOwnedSource;
  std::unique_ptr<TMemoryStream> FOptions;
  std::vector<TacImageEntry> FImages;
  std::string FLastError;
};

// Loads a whole archive file as the reader's new source and reads it. A missing file leaves
// the reader alone and gives false; so does a file that cannot be read or a bad archive, after
// the reader's warning. With freeSource the loaded bytes are dropped afterwards in any case.
bool LoadArchiveFile(const TacFileSystem& files, const std::string& fileName, TacSkinConvertor& reader,
                     bool freeSource);

// True for a name an archive may hold: a plain file name that Windows can create, no path.
bool IsSkinEntryName(const std::string& name);
// An entry's name as messages show it: at most 64 bytes, control bytes escaped.
std::string PrintableSkinName(const std::string& name);

struct TacSkinFile {
  std::string Name;
  std::vector<std::uint8_t> Data;
};

// Writes an archive of the files in the given order. Raises ESkinArchiveError for anything
// the reader would refuse (a bad or repeated name, too many or too large files).
void WriteSkinArchive(TStream& out, const std::vector<TacSkinFile>& files);

// The files of a folder skin, "Options.dat" first and the rest by name; subfolders and names
// beginning with "." are left out. Raises ESkinArchiveError when "Options.dat" is missing.
std::vector<TacSkinFile> ReadFolderSkin(const TacFileSystem& files, const std::string& folder);

}  // namespace evesk
