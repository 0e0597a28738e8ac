// Host implementation of the file seam over std::filesystem. Not built for Windows, where
// std::filesystem would take narrow names as UTF-8 rather than the ANSI code page.
#include "skin/acSkinFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "framework/Stream.h"

namespace evesk {

namespace {

std::filesystem::path HostPath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::filesystem::path(path);
}

}  // namespace

bool TacDiskFiles::FileExists(const std::string& path) const {
  std::error_code ec;
  const auto status = std::filesystem::status(HostPath(path), ec);
  return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool TacDiskFiles::DirectoryExists(const std::string& path) const {
  std::error_code ec;
  return std::filesystem::is_directory(HostPath(path), ec) && !ec;
}

std::vector<TacDirEntry> TacDiskFiles::ListFolder(const std::string& path) const {
  std::vector<TacDirEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(HostPath(path), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code kindError;
    entries.push_back({it->path().filename().string(), it->is_directory(kindError)});
  }
  return entries;
}

std::int64_t TacDiskFiles::FileSize(const std::string& path) const {
  std::error_code ec;
  const auto size = std::filesystem::file_size(HostPath(path), ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

std::vector<std::uint8_t> TacDiskFiles::ReadFile(const std::string& path) const {
  std::string host = path;
  std::replace(host.begin(), host.end(), '\\', '/');
  return ReadFileBytes(host);
}

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string("./") : exe.parent_path().string() + "/";
}

}  // namespace evesk
