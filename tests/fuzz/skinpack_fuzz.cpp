// libFuzzer target: arbitrary bytes read as a skin archive. A read either fails with a message
// and leaves nothing behind, or yields entries that the writer packs into an archive that reads
// back to the same files.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "framework/Stream.h"
#include "skin/acSkinPack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  evesk::TMemoryStream source(data, size);
  evesk::TacSkinConvertor reader;
  int warnings = 0;
  reader.OnWarning = [&](const std::string&) { ++warnings; };
  reader.SetSource(&source);
  if (!reader.ReadArchive()) {
    if (warnings != 1 || reader.LastError().empty() || reader.Options() || reader.ImageCount() || reader.SrcStream())
      std::abort();
    return 0;
  }
  std::vector<evesk::TacSkinFile> files;
  if (reader.Options()) files.push_back({evesk::SkinOptionsFileName, reader.Options()->Bytes()});
  for (const auto& image : reader.Images()) files.push_back({image.Name, image.Data->Bytes()});
  evesk::TMemoryStream packed;
  evesk::WriteSkinArchive(packed, files);
  evesk::TacSkinConvertor again;
  again.SetSource(&packed);
  if (!again.ReadArchive() || again.ImageCount() != reader.ImageCount()) std::abort();
  for (int i = 0; i < reader.ImageCount(); ++i)
    if (again.Images()[i].Name != reader.Images()[i].Name || again.Images()[i].Data->Bytes() != reader.Images()[i].Data->Bytes())
      std::abort();
  return 0;
}
