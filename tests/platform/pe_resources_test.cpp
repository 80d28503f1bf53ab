// Reading resources out of a program file's bytes, from a small PE image built here:
// the named resource DUMMY of type BINTYPE and the numbered resource 101 of type 10.
#include "platform/pe_resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace zarn {
namespace {

const std::string kArchive("vf\0\\\x83\\\xff\x01zr", 10);
const std::string kNumbered = "numbered resource";

void Put16(std::string& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
void PutName(std::string& b, size_t at, const std::string& name) {
  Put16(b, at, static_cast<uint32_t>(name.size()));
  for (size_t i = 0; i < name.size(); ++i) Put16(b, at + 2 + 2 * i, static_cast<unsigned char>(name[i]));
}

// A directory header with its entries: (name or id field, target field).
void PutDir(std::string& b, size_t at, int named, const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
  Put16(b, at + 12, static_cast<uint32_t>(named));
  Put16(b, at + 14, static_cast<uint32_t>(entries.size() - named));
  for (size_t i = 0; i < entries.size(); ++i) {
    Put32(b, at + 16 + 8 * i, entries[i].first);
    Put32(b, at + 20 + 8 * i, entries[i].second);
  }
}

// A PE32 image with one section ".rsrc" at RVA 0x1000, file offset 0x200.
std::string BuildImage() {
  const uint32_t kRva = 0x1000, kRaw = 0x200, kDir = 0x80000000u, kName = 0x80000000u;
  std::string r;  // the resource section
  PutDir(r, 0x00, 1, {{kName | 0xA0, kDir | 0x20}, {10, kDir | 0x50}});
  PutDir(r, 0x20, 1, {{kName | 0xB0, kDir | 0x38}});
  PutDir(r, 0x38, 0, {{0x411, 0x80}});
  PutDir(r, 0x50, 0, {{101, kDir | 0x68}});
  PutDir(r, 0x68, 0, {{0x411, 0x90}});
  Put32(r, 0x80, kRva + 0xC0);
  Put32(r, 0x84, static_cast<uint32_t>(kArchive.size()));
  Put32(r, 0x90, kRva + 0xD0);
  Put32(r, 0x94, static_cast<uint32_t>(kNumbered.size()));
  PutName(r, 0xA0, "BINTYPE");
  PutName(r, 0xB0, "DUMMY");
  r.resize(0xC0);
  r += kArchive;
  r.resize(0xD0);
  r += kNumbered;
  r.resize(0x200);

  std::string b(kRaw, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 0x3C, 0x40);
  Put32(b, 0x40, 0x4550);      // "PE\0\0"
  Put16(b, 0x44, 0x14C);       // i386
  Put16(b, 0x46, 1);           // one section
  Put16(b, 0x54, 0xE0);        // optional header size
  const size_t opt = 0x58;
  Put16(b, opt, 0x10B);        // PE32
  Put32(b, opt + 92, 16);      // data directories
  Put32(b, opt + 96 + 16, kRva);  // resources
  Put32(b, opt + 96 + 20, static_cast<uint32_t>(r.size()));
  const size_t sec = opt + 0xE0;
  b.replace(sec, 5, ".rsrc");
  Put32(b, sec + 8, static_cast<uint32_t>(r.size()));
  Put32(b, sec + 12, kRva);
  Put32(b, sec + 16, static_cast<uint32_t>(r.size()));
  Put32(b, sec + 20, kRaw);
  return b + r;
}

TEST(PeResources, FindsNamedAndNumberedResources) {
  const std::string image = BuildImage();
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
  const std::string image = BuildImage();
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
  const std::string image = BuildImage();
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
  const std::string image = BuildImage();
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
