// Byte streams: the seam through which decoders and readers see files, resources and memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace evesk {

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes, returns how many were read (0 at the end).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual std::int64_t Position() const = 0;
  // Moves to an absolute position; positions outside 0..Size are clamped.
  virtual void SetPosition(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;

  // Reads exactly count bytes or raises EReadError("Stream read error").
  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);
  std::int64_t Remaining() const { return Size() - Position(); }
};

// A stream over bytes held in memory; it owns a copy unless built over a borrowed range.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FData(std::move(bytes)) {}
  TMemoryStream(const void* data, std::size_t size);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Position() const override { return static_cast<std::int64_t>(FPos); }
  void SetPosition(std::int64_t position) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(FData.size()); }

  const std::vector<std::uint8_t>& Bytes() const { return FData; }
  void Clear() { FData.clear(); FPos = 0; }

 private:
  std::vector<std::uint8_t> FData;
  std::size_t FPos = 0;
};

// Reads a whole file; raises EStreamError naming the file when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

}  // namespace evesk
