// Reading resources out of a program file's bytes, from a small PE image built here:
// the named resource DUMMY of type BINTYPE and the numbered resource 101 of type 10.
#include "platform/pe_resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "support/program_image.h"

namespace zarn {
namespace {

using testing::BuildTestPeImage;
using testing::Put16;
using testing::Put32;
const std::string& kArchive = testing::kTestArchive;
const std::string& kNumbered = testing::kTestNumbered;

TEST(PeResources, FindsNamedAndNumberedResources) {
  const std::string image = BuildTestPeImage();
  std::string data;
  ASSERT_TRUE(FindPeResource(image, "DUMMY", "BINTYPE", data));
  EXPECT_EQ(data, kArchive);
  ASSERT_TRUE(FindPeResource(image, "dummy", "BinType", data));  // names ignore ASCII case
  EXPECT_EQ(data, kArchive);
  ASSERT_TRUE(FindPeResource(image, "#101", "#10", data));
  EXPECT_EQ(data, kNumbered);
  // Data appended after the image (an archive trailer) changes nothing.
  ASSERT_TRUE(FindPeResource(image + std::string(5000, 'z') + "zr", "DUMMY", "BINTYPE", data));
  EXPECT_EQ(data, kArchive);
}

TEST(PeResources, MissingResourcesAndWrongKeys) {
  const std::string image = BuildTestPeImage();
  std::string data = "kept";
  EXPECT_FALSE(FindPeResource(image, "OTHER", "BINTYPE", data));
  EXPECT_FALSE(FindPeResource(image, "DUMMY", "OTHER", data));
  EXPECT_FALSE(FindPeResource(image, "DUMMYX", "BINTYPE", data));
  EXPECT_FALSE(FindPeResource(image, "DUMM", "BINTYPE", data));
  EXPECT_FALSE(FindPeResource(image, "#102", "#10", data));
  EXPECT_FALSE(FindPeResource(image, "#101", "#11", data));
  EXPECT_FALSE(FindPeResource(image, "101", "10", data));  // numbers need "#"
  EXPECT_FALSE(FindPeResource(image, "#1x", "#10", data));
  EXPECT_FALSE(FindPeResource(image, "#99999999999", "#10", data));
  EXPECT_EQ(data, "kept");
  EXPECT_FALSE(FindPeResource("", "DUMMY", "BINTYPE", data));
  EXPECT_FALSE(FindPeResource("MZ", "DUMMY", "BINTYPE", data));
  EXPECT_FALSE(FindPeResource("\x7f" "ELF" + image.substr(4), "DUMMY", "BINTYPE", data));
}

TEST(PeResources, TruncatedImagesFailAtEveryLength) {
  const std::string image = BuildTestPeImage();
  std::string data;
  // The resource's last byte is the last byte of kNumbered's run; any shorter image lacks
  // some part of the path to one or the other resource.
  for (size_t n = 0; n < 0x200 + 0xD0 + kNumbered.size(); ++n) {
    std::string cut = image.substr(0, n);
    bool named = FindPeResource(cut, "DUMMY", "BINTYPE", data);
    bool numbered = FindPeResource(cut, "#101", "#10", data);
    EXPECT_FALSE(numbered) << n;
    if (n < 0x200 + 0xC0 + kArchive.size()) {
      EXPECT_FALSE(named) << n;
    }
  }
}

TEST(PeResources, DamagedImagesNeverReadOutside) {
  const std::string image = BuildTestPeImage();
  std::mt19937 rng(1234);
  std::string data;
  // Flipped bytes in the headers and the resource directory; run under the sanitizers
  // this also proves no read outside the image.
  for (int round = 0; round < 3000; ++round) {
    std::string bad = image;
    int flips = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < flips; ++i) {
      size_t at = rng() % 2 ? rng() % 0x200 : 0x200 + rng() % 0xC0;
      bad[at] = static_cast<char>(rng());
    }
    if (FindPeResource(bad, "DUMMY", "BINTYPE", data)) {
      EXPECT_LE(data.size(), bad.size());
    }
    FindPeResource(bad, "#101", "#10", data);
  }
  // Offsets and sizes at their extremes.
  std::string huge = image;
  Put32(huge, 0x200 + 0x84, 0xFFFFFFFFu);  // resource size
  EXPECT_FALSE(FindPeResource(huge, "DUMMY", "BINTYPE", data));
  huge = image;
  Put32(huge, 0x3C, 0xFFFFFFF0u);  // e_lfanew
  EXPECT_FALSE(FindPeResource(huge, "DUMMY", "BINTYPE", data));
  huge = image;
  Put16(huge, 0x200 + 14, 0xFFFF);  // id entry count of the root
  FindPeResource(huge, "#101", "#10", data);
  huge = image;
  Put32(huge, 0x200 + 0x20 + 20, 0x80000000u);  // a directory that points at the root
  EXPECT_FALSE(FindPeResource(huge, "DUMMY", "BINTYPE", data));
}

}  // namespace
}  // namespace zarn
