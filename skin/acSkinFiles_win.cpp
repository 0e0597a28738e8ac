// The file seam of the Windows build: ANSI file functions, so that names in the code page of
// the system (Czech letters in code page 1250) reach the disk as the user typed them.
#include <windows.h>

#include <algorithm>

#include "framework/Exception.h"
#include "framework/Stream.h"
#include "skin/acSkinFiles.h"

namespace evesk {

namespace {

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// RAII for a search handle.
class TFind {
 public:
  explicit TFind(const std::string& pattern) : FHandle(FindFirstFileA(pattern.c_str(), &Data)) {}
  ~TFind() {
    if (FHandle != INVALID_HANDLE_VALUE) FindClose(FHandle);
  }
  TFind(const TFind&) = delete;
  TFind& operator=(const TFind&) = delete;
  bool Valid() const { return FHandle != INVALID_HANDLE_VALUE; }
  bool Next() { return FindNextFileA(FHandle, &Data) != 0; }
  WIN32_FIND_DATAA Data{};

 private:
  HANDLE FHandle;
};

class THandle {
 public:
  explicit THandle(HANDLE h) : FHandle(h) {}
  ~THandle() {
    if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return FHandle; }

 private:
  HANDLE FHandle;
};

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

bool TacDiskFiles::FileExists(const std::string& path) const {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool TacDiskFiles::DirectoryExists(const std::string& path) const {
  const DWORD a = Attributes(WithoutTrailingSeparator(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<TacDirEntry> TacDiskFiles::ListFolder(const std::string& path) const {
  std::vector<TacDirEntry> entries;
  std::string pattern = WithoutTrailingSeparator(path);
  if (pattern.empty() || (pattern.back() != '\\' && pattern.back() != '/')) pattern += "\\";
  TFind find(pattern + "*.*");
  if (!find.Valid()) return entries;
  do {
    const std::string name = find.Data.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back({name, (find.Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (find.Next());
  return entries;
}

std::int64_t TacDiskFiles::FileSize(const std::string& path) const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return static_cast<std::int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::vector<std::uint8_t> TacDiskFiles::ReadFile(const std::string& path) const {
  THandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) throw EStreamError("Soubor „" + path + "“ nelze otevřít.");
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > 0x7FFFFFFF)
    throw EStreamError("Soubor „" + path + "“ nelze přečíst.");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    if (!::ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr) || got == 0)
      throw EStreamError("Soubor „" + path + "“ nelze přečíst.");
    done += got;
  }
  return bytes;
}

std::string ProgramFolder() {
  char buffer[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  std::string path(buffer, n < MAX_PATH ? n : 0);
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace evesk
