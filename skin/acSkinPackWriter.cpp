#include "skin/acSkinPack.h"

#include <zlib.h>

#include <algorithm>

#include "framework/SysUtils.h"

// The packer's side of skin archives, apart from the reader: a program that only reads skins
// links neither this nor zlib's compressor.
namespace evesk {

namespace {

void WriteInt(TStream& s, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                             static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
  s.WriteBuffer(b, 4);
}

}  // namespace

void WriteSkinArchive(TStream& out, const std::vector<TacSkinFile>& files) {
  if (files.size() > static_cast<std::size_t>(TacSkinConvertor::MaxEntries))
    throw ESkinArchiveError(FormatText("A skin archive holds at most %s files.", {std::to_string(TacSkinConvertor::MaxEntries)}));
  std::vector<std::string> seen;
  std::int64_t total = 0;
  for (const auto& f : files) {
    if (!IsSkinEntryName(f.Name))
      throw ESkinArchiveError(FormatText("\"%s\" cannot be a file name in a skin archive.", {PrintableSkinName(f.Name)}));
    if (std::find(seen.begin(), seen.end(), UpperCase(f.Name)) != seen.end())
      throw ESkinArchiveError(FormatText("\"%s\" is in the skin twice.", {PrintableSkinName(f.Name)}));
    seen.push_back(UpperCase(f.Name));
    total += static_cast<std::int64_t>(f.Data.size());
    if (static_cast<std::int64_t>(f.Data.size()) > TacSkinConvertor::MaxEntrySize || total > TacSkinConvertor::MaxTotalSize)
      throw ESkinArchiveError(FormatText("\"%s\" makes the skin too large for an archive.", {PrintableSkinName(f.Name)}));
  }
  out.WriteBuffer(SkinArchiveMagic, 4);
  WriteInt(out, static_cast<std::int32_t>(files.size()));
  for (const auto& f : files) {
    WriteInt(out, static_cast<std::int32_t>(f.Name.size()));
    out.WriteBuffer(f.Name.data(), f.Name.size());
    WriteInt(out, static_cast<std::int32_t>(f.Data.size()));
    uLongf packedSize = compressBound(static_cast<uLong>(f.Data.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, f.Data.data(), static_cast<uLong>(f.Data.size()), Z_BEST_COMPRESSION) != Z_OK)
      throw ESkinArchiveError(FormatText("\"%s\" cannot be compressed.", {PrintableSkinName(f.Name)}));
    out.WriteBuffer(packed.data(), packedSize);
  }
}

}  // namespace evesk
