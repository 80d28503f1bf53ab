// A headless picture saved as PNG: the signature, the size and the colour type a viewer
// reads, and an error (not a half-written file) when it cannot be saved.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "toolkit/headless/headless.h"

namespace zarn {
namespace {

TEST(PngTest, SavedPictureHasTheSignatureAndSize) {
  TDIB picture;
  picture.SetSize(100, 80, 24);
  picture.Canvas().FillRect(TRect{0, 0, 100, 80}, clRed);
  std::string path = ::testing::TempDir() + "zarn-render-test.png";
  SavePng(picture, path);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  auto be32 = [&](size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint8_t(bytes[at + 3]);
  };
  EXPECT_EQ(be32(16), 100u);  // IHDR width
  EXPECT_EQ(be32(20), 80u);   // IHDR height
  EXPECT_EQ(bytes[24], 8);    // bit depth
  EXPECT_EQ(bytes[25], 2);    // RGB
  EXPECT_THROW(SavePng(picture, "/nonexistent-folder/x.png"), EZarnError);
  TDIB empty;
  EXPECT_THROW(SavePng(empty, path), EZarnError);
}

}  // namespace
}  // namespace zarn
