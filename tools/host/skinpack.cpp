// skinpack: the skin archive packer and unpacker.
//   skinpack pack FOLDER OUT.asz     packs a folder skin (Options.dat and the loose files)
//   skinpack unpack IN.asz FOLDER    writes every file of an archive into FOLDER (created)
//   skinpack list IN.asz             prints each file's unpacked size and name
// A damaged archive ends with the reader's message and exit code 1; bad usage gives 2.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "skin/acSkinFiles.h"
#include "skin/acSkinPack.h"

namespace {

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) std::fprintf(stderr, "%s: cannot write the file\n", path.string().c_str());
  return static_cast<bool>(out);
}

int Pack(const std::string& folder, const std::string& outName) {
  evesk::TacDiskFiles disk;
  evesk::TMemoryStream archive;
  try {
    evesk::WriteSkinArchive(archive, evesk::ReadFolderSkin(disk, folder));
  } catch (const evesk::Exception& e) {
    std::fprintf(stderr, "%s: %s\n", folder.c_str(), e.Message().c_str());
    return 1;
  }
  return WriteFile(outName, archive.Bytes()) ? 0 : 1;
}

// Reads an archive file; prints the reader's message on failure.
bool Read(const std::string& inName, evesk::TacSkinConvertor& reader) {
  evesk::TacDiskFiles disk;
  if (!disk.FileExists(inName)) {
    std::fprintf(stderr, "%s: no such file\n", inName.c_str());
    return false;
  }
  reader.OnWarning = [&](const std::string& message) { std::fprintf(stderr, "%s: %s\n", inName.c_str(), message.c_str()); };
  return evesk::LoadArchiveFile(disk, inName, reader, true);
}

int List(const std::string& inName) {
  evesk::TacSkinConvertor reader;
  if (!Read(inName, reader)) return 1;
  if (reader.Options()) std::printf("%10lld  %s\n", static_cast<long long>(reader.Options()->Size()), evesk::SkinOptionsFileName);
  for (const auto& image : reader.Images())
    std::printf("%10lld  %s%s\n", static_cast<long long>(image.Data->Size()), image.Name.c_str(), image.IsBitmap ? "  (bitmap)" : "");
  if (!reader.Options()) std::fprintf(stderr, "%s: the archive holds no %s\n", inName.c_str(), evesk::SkinOptionsFileName);
  return 0;
}

int Unpack(const std::string& inName, const std::string& folder) {
  evesk::TacSkinConvertor reader;
  if (!Read(inName, reader)) return 1;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::fprintf(stderr, "%s: %s\n", folder.c_str(), ec.message().c_str());
    return 1;
  }
  // The reader admits only plain file names, so every file lands inside the folder.
  const std::filesystem::path dir(folder);
  if (reader.Options() && !WriteFile(dir / evesk::SkinOptionsFileName, reader.Options()->Bytes())) return 1;
  for (const auto& image : reader.Images())
    if (!WriteFile(dir / image.Name, image.Data->Bytes())) return 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pack" && argc == 4) return Pack(argv[2], argv[3]);
  if (command == "unpack" && argc == 4) return Unpack(argv[2], argv[3]);
  if (command == "list" && argc == 3) return List(argv[2]);
  std::fprintf(stderr, "usage: skinpack pack FOLDER OUT.asz | skinpack unpack IN.asz FOLDER | skinpack list IN.asz\n");
  return 2;
}
