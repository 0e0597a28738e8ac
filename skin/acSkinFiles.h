// The file system as the skin code sees it: whether a file or folder exists, what a folder
// holds, and a file's bytes. The skin choice and the packer go through it, so the rules can be
// tested over a made-up tree and the Windows layer can supply its own ANSI implementation.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace evesk {

struct TacDirEntry {
  std::string Name;  // no path
  bool Folder = false;
};

class TacFileSystem {
 public:
  virtual ~TacFileSystem() = default;
  // True for an existing file that is not a folder.
  virtual bool FileExists(const std::string& path) const = 0;
  virtual bool DirectoryExists(const std::string& path) const = 0;
  // Everything the folder holds ("." and ".." left out); empty when it cannot be listed.
  virtual std::vector<TacDirEntry> ListFolder(const std::string& path) const = 0;
  // Size in bytes of an existing file, -1 when it cannot be told.
  virtual std::int64_t FileSize(const std::string& path) const = 0;
  // The whole file; raises EStreamError naming the file when it cannot be read.
  virtual std::vector<std::uint8_t> ReadFile(const std::string& path) const = 0;
};

// The real disk of the host build. Paths may use "\" as Windows does; it is taken as "/".
class TacDiskFiles : public TacFileSystem {
 public:
  bool FileExists(const std::string& path) const override;
  bool DirectoryExists(const std::string& path) const override;
  std::vector<TacDirEntry> ListFolder(const std::string& path) const override;
  std::int64_t FileSize(const std::string& path) const override;
  std::vector<std::uint8_t> ReadFile(const std::string& path) const override;
};

// The folder of the running program, ending with its separator.
std::string ProgramFolder();

}  // namespace evesk
