// Writing a resource into a program file's image: the new resource is found, every
// resource the image had survives, and images that cannot take one are refused.
#include <gtest/gtest.h>

#include "support/program_image.h"
#include "common/resource_writer.h"
#include "platform/pe_resources.h"
#include "runtime/error.h"

namespace zarn {
namespace {

using testing::BuildTestPeImage;
using testing::kTestArchive;
using testing::kTestNumbered;
using testing::Put16;
using testing::Put32;

std::string Program() { return testing::TestProgramWithResources(); }

// The same with a second section after the resources (as a linker puts relocations
// last), so a new resource section has to follow it.
std::string ProgramWithSectionAfter() {
  std::string b = Program();
  Put16(b, 0x46, 2);
  const size_t sec = 0x58 + 0xE0 + 40;
  b.replace(sec, 6, ".reloc");
  Put32(b, sec + 8, 0x10);
  Put32(b, sec + 12, 0x2000);
  Put32(b, sec + 16, 0x200);
  Put32(b, sec + 20, 0x400);
  Put32(b, 0x58 + 56, 0x3000);
  b.resize(0x600, '\x5A');
  return b;
}

std::string Find(const std::string& image, const std::string& name, const std::string& type) {
  std::string data;
  return FindPeResource(image, name, type, data) ? data : "<missing>";
}

TEST(ResourceWriter, AddsAResourceAndKeepsTheOthers) {
  const std::string archive("vf\x66\0\0\0archive bytes\0\xff", 21);
  std::string out = AddPeResource(Program(), "ARCHIVE2", "BINTYPE", archive);
  EXPECT_EQ(Find(out, "ARCHIVE2", "BINTYPE"), archive);
  EXPECT_EQ(Find(out, "archive2", "bintype"), archive);
  EXPECT_EQ(Find(out, "DUMMY", "BINTYPE"), kTestArchive);
  EXPECT_EQ(Find(out, "#101", "#10"), kTestNumbered);
  // The resource section was the last one: rewritten where it stands.
  EXPECT_EQ(out[0x46], 1);
  EXPECT_EQ(out.size() % 0x200, 0u);
  EXPECT_EQ(out.compare(0, 0x40, Program(), 0, 0x40), 0);
}

TEST(ResourceWriter, ANewSectionFollowsTheLastOneAndIsReusedLater) {
  const std::string before = ProgramWithSectionAfter();
  std::string once = AddPeResource(before, "DUMMY", "BINTYPE", "first");
  EXPECT_EQ(once[0x46], 3);
  EXPECT_EQ(once.compare(0x400, 0x200, before, 0x400, 0x200), 0) << "the section after stays in place";
  std::string twice = AddPeResource(once, "OTHER", "BINTYPE", std::string(3000, 'o'));
  EXPECT_EQ(twice[0x46], 3) << "the added section is rewritten";
  EXPECT_EQ(Find(twice, "DUMMY", "BINTYPE"), "first");
  EXPECT_EQ(Find(twice, "OTHER", "BINTYPE"), std::string(3000, 'o'));
  EXPECT_EQ(Find(twice, "#101", "#10"), kTestNumbered);
  // Size of image: the new section's end, rounded to the section alignment.
  uint32_t sizeOfImage = uint8_t(twice[0x58 + 56]) | uint8_t(twice[0x58 + 57]) << 8 | uint8_t(twice[0x58 + 58]) << 16;
  EXPECT_EQ(sizeOfImage, 0x4000u);
}

TEST(ResourceWriter, ReplacesAResourceOfTheSameName) {
  std::string once = AddPeResource(Program(), "dummy", "BinType", "first");
  std::string twice = AddPeResource(once, "DUMMY", "BINTYPE", std::string(5000, 'x'));
  EXPECT_EQ(Find(once, "DUMMY", "BINTYPE"), "first");
  EXPECT_EQ(Find(twice, "DUMMY", "BINTYPE"), std::string(5000, 'x'));
  EXPECT_EQ(Find(twice, "#101", "#10"), kTestNumbered);
}

TEST(ResourceWriter, NumbersAndManyNamesStaySortedForTheSystemsSearch) {
  std::string image = Program();
  const char* names[] = {"ZED", "ALPHA", "#7", "MIDDLE", "#3", "B"};
  for (const char* n : names) image = AddPeResource(image, n, "DATA", std::string("content ") + n);
  for (const char* n : names) EXPECT_EQ(Find(image, n, "DATA"), std::string("content ") + n) << n;
  EXPECT_EQ(Find(image, "DUMMY", "BINTYPE"), kTestArchive);
}

TEST(ResourceWriter, AnImageWithoutResourcesGetsItsFirst) {
  std::string image = Program();
  Put32(image, 0x58 + 96 + 16, 0);
  Put32(image, 0x58 + 96 + 20, 0);
  std::string out = AddPeResource(image, "DUMMY", "BINTYPE", "vf");
  EXPECT_EQ(Find(out, "DUMMY", "BINTYPE"), "vf");
  EXPECT_EQ(Find(out, "#101", "#10"), "<missing>");
}

TEST(ResourceWriter, RefusesWhatItCannotWriteSafely) {
  auto refused = [](const std::string& image) {
    try {
      AddPeResource(image, "DUMMY", "BINTYPE", "vf");
    } catch (const EFormatError&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(refused("MZ"));
  EXPECT_TRUE(refused(std::string(0x400, '\0')));
  // An appended archive's recorded start would move.
  EXPECT_TRUE(refused(Program() + "archive" + std::string("\0\x04\0\0zr", 6)));
  EXPECT_TRUE(refused(ProgramWithSectionAfter() + "archive"));
  // A 64-bit program.
  std::string wide = Program();
  Put16(wide, 0x58, 0x20B);
  EXPECT_TRUE(refused(wide));
  // No room for another section header within the headers.
  std::string full = ProgramWithSectionAfter();
  Put32(full, 0x58 + 60, 0x188);
  EXPECT_TRUE(refused(full));
  // A resource directory that points outside its section.
  std::string damaged = Program();
  Put32(damaged, 0x200 + 20, 0x80000000u | 0x7000);
  EXPECT_TRUE(refused(damaged));
  // A resource directory that refers to itself.
  std::string loop = Program();
  Put32(loop, 0x200 + 0x20 + 20, 0x80000000u | 0x20);
  EXPECT_TRUE(refused(loop));
  EXPECT_TRUE(refused(Program().substr(0, 0x300)));
}

}  // namespace
}  // namespace zarn
