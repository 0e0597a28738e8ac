#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "framework/Exception.h"
#include "framework/Stream.h"

using namespace evesk;

namespace {

std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path dir = std::filesystem::path(EVESK_BUILD_DIR) / "stream_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace

// The file is read in blocks: sizes at and around a block's end, and none, come back whole.
TEST(ReadFileBytes, WholeFileAtEverySizeAroundABlock) {
  for (std::size_t size : {0u, 1u, 16383u, 16384u, 16385u, 40000u}) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    EXPECT_EQ(ReadFileBytes(Write("f" + std::to_string(size), bytes)), bytes) << size;
  }
}

TEST(ReadFileBytes, MissingFileNamesIt) {
  try {
    ReadFileBytes(std::string(EVESK_BUILD_DIR) + "/stream_test/none");
    FAIL() << "no error";
  } catch (const EStreamError& e) {
    EXPECT_NE(e.Message().find("stream_test/none"), std::string::npos) << e.Message();
  }
}
