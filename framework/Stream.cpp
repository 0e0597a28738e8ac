#include "framework/Stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "framework/Exception.h"

namespace evesk {

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
}

TMemoryStream::TMemoryStream(const void* data, std::size_t size)
    : FData(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size) {}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  const std::size_t n = std::min(count, FData.size() - FPos);
  if (n) std::memcpy(buffer, FData.data() + FPos, n);
  FPos += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (FPos + count > FData.size()) FData.resize(FPos + count);
  if (count) std::memcpy(FData.data() + FPos, buffer, count);
  FPos += count;
  return count;
}

void TMemoryStream::SetPosition(std::int64_t position) {
  FPos = static_cast<std::size_t>(std::clamp<std::int64_t>(position, 0, Size()));
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  // stdio rather than file streams: the streams bring the whole locale machinery into the exe.
  struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw EStreamError("Cannot open file \"" + path + "\"");
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[16384];
  for (;;) {
    const std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  // A read that fails part-way must not pass for a shorter file.
  if (std::ferror(file.get())) throw EStreamError("Cannot read file \"" + path + "\"");
  return bytes;
}

}  // namespace evesk
