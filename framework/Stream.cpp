#include "framework/Stream.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

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
  std::ifstream in(path, std::ios::binary);
  if (!in) throw EStreamError("Cannot open file \"" + path + "\"");
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace evesk
