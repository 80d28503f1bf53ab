// Small Windows program images for tests, the one builder of them. BuildTestPeImage is
// built byte by byte: one section ".rsrc" at RVA 0x1000 (file offset 0x200) holding the
// named resource DUMMY of type BINTYPE (kTestArchive) and the numbered resource 101 of
// type 10 (kTestNumbered). The others derive from it; further resources are written into
// them by the tools' resource writer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/resource_writer.h"

namespace zarn {
namespace testing {

inline const std::string kTestArchive("vf\0\\\x83\\\xff\x01zr", 10);
inline const std::string kTestNumbered = "numbered resource";

inline void Put16(std::string& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
inline void PutName(std::string& b, size_t at, const std::string& name) {
  Put16(b, at, static_cast<uint32_t>(name.size()));
  for (size_t i = 0; i < name.size(); ++i) Put16(b, at + 2 + 2 * i, static_cast<unsigned char>(name[i]));
}

// A directory header with its entries: (name or id field, target field).
inline void PutDir(std::string& b, size_t at, int named, const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
  Put16(b, at + 12, static_cast<uint32_t>(named));
  Put16(b, at + 14, static_cast<uint32_t>(entries.size() - named));
  for (size_t i = 0; i < entries.size(); ++i) {
    Put32(b, at + 16 + 8 * i, entries[i].first);
    Put32(b, at + 20 + 8 * i, entries[i].second);
  }
}

// A PE32 image with one section ".rsrc" at RVA 0x1000, file offset 0x200.
inline std::string BuildTestPeImage() {
  const uint32_t kRva = 0x1000, kRaw = 0x200, kDir = 0x80000000u, kName = 0x80000000u;
  std::string r;  // the resource section
  PutDir(r, 0x00, 1, {{kName | 0xA0, kDir | 0x20}, {10, kDir | 0x50}});
  PutDir(r, 0x20, 1, {{kName | 0xB0, kDir | 0x38}});
  PutDir(r, 0x38, 0, {{0x411, 0x80}});
  PutDir(r, 0x50, 0, {{101, kDir | 0x68}});
  PutDir(r, 0x68, 0, {{0x411, 0x90}});
  Put32(r, 0x80, kRva + 0xC0);
  Put32(r, 0x84, static_cast<uint32_t>(kTestArchive.size()));
  Put32(r, 0x90, kRva + 0xD0);
  Put32(r, 0x94, static_cast<uint32_t>(kTestNumbered.size()));
  PutName(r, 0xA0, "BINTYPE");
  PutName(r, 0xB0, "DUMMY");
  r.resize(0xC0);
  r += kTestArchive;
  r.resize(0xD0);
  r += kTestNumbered;
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

// The same image with the alignment fields a linker writes, resources kept.
inline std::string TestProgramWithResources() {
  std::string b = BuildTestPeImage();
  const size_t opt = 0x58;
  Put32(b, opt + 32, 0x1000);  // section alignment
  Put32(b, opt + 36, 0x200);   // file alignment
  Put32(b, opt + 56, 0x2000);  // size of image
  Put32(b, opt + 60, 0x200);   // size of headers
  return b;
}

// A program without resources, so a resource can be written into it and an archive
// appended to it.
inline std::string TestProgram() {
  std::string b = TestProgramWithResources();
  const size_t opt = 0x58;
  Put32(b, opt + 96 + 16, 0);  // no resource directory
  Put32(b, opt + 96 + 20, 0);
  return b;
}

// A program whose only resource is `name` of `type` (stored in upper case) in language
// 0x411, holding `data`.
inline std::string ProgramWithResource(const std::string& type, const std::string& name, const std::string& data) {
  return AddPeResource(TestProgram(), name, type, data, 0x411);
}

}  // namespace testing
}  // namespace zarn
