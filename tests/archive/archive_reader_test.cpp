// Reading archives: every directory version and form, extraction, loose files, and
// damaged or hostile directories and members.
#include "archive/archive_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/archive_support.h"
#include "support/program_image.h"
#include "runtime/error.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::AssembleArchive;
using testing::Crc;
using testing::Deflate1;
using testing::GetFile;
using testing::PutFile;
using testing::RawMember;
using testing::TestMachine;

std::string Text(size_t n, int seed) {
  std::string s;
  while (s.size() < n) s += "line " + std::to_string(seed * 1000 + s.size() % 97) + " of the story\r\n";
  s.resize(n);
  return s;
}

// Members as a writer of `version` would store them: before 101 every member is deflated.
std::vector<RawMember> SampleMembers(int version) {
  std::vector<RawMember> ms;
  RawMember a;
  a.name = "install.dat";
  a.bytes = Deflate1(Text(300, 1));
  a.stored = false;
  a.date = 0x5A2B6C3D;
  a.crc = Crc(a.bytes);
  ms.push_back(a);
  RawMember b;
  b.name = "bg\\\x94\x77\x8C\x69.brm";  // "背景" in Shift-JIS
  b.bytes = version >= 101 ? std::string("\x00\x01\x02\x03 raw bytes", 15) : Deflate1("raw");
  b.stored = version >= 101;
  b.date = -5;
  b.crc = 0xFFFFFFFFu;
  b.separate = true;
  ms.push_back(b);
  RawMember c;
  c.name = "";  // an empty name draws no scrambling value
  c.bytes = version >= 101 ? "" : Deflate1("");
  c.stored = version >= 101;
  ms.push_back(c);
  RawMember d;
  d.name = "\x83\x5C\x83\x74\x83\x67.txt";  // "ソフト.txt": trail bytes 0x5C
  d.bytes = Deflate1(Text(5000, 2));
  d.stored = false;
  d.crc = 12345;
  ms.push_back(d);
  return ms;
}

class ArchiveRead : public ::testing::Test {
 protected:
  TestMachine m;
  Platform& p = m.platform();
  std::string Path(const std::string& n) { return m.Scratch() + n; }
  std::string Extract(TVrFileCollection& c, const std::string& name) {
    TMemoryStream out;
    c.ExtractToStream(out, name);
    EXPECT_EQ(out.Position(), 0);
    return out.ToString();
  }
};

TEST_F(ArchiveRead, EveryDirectoryVersionFromAStreamWithABase) {
  for (int version : {-1, 0, 50, 99, 100, 101, 102, 150}) {
    SCOPED_TRACE(version);
    std::vector<RawMember> ms = SampleMembers(version);
    std::string archive = AssembleArchive(version, ms);
    TQxBigMemoryStream s;
    s.Write("JUNK", 4);
    s.Write(archive.data(), static_cast<int64_t>(archive.size()));
    s.MoveTo(4);
    TVrFileCollection c(p);
    c.ReadDirectory(s);
    ASSERT_EQ(c.Count(), 5);
    int64_t dirSize = static_cast<int64_t>(archive.size());
    for (const RawMember& r : ms) dirSize -= static_cast<int64_t>(r.bytes.size());
    int64_t at = dirSize;
    for (int i = 0; i < 4; ++i) {
      TVrFile* f = c.Files(i);
      EXPECT_EQ(f->Name(), ms[i].name);
      EXPECT_EQ(f->Offset, 4 + at);  // rebased on the directory's first byte
      EXPECT_EQ(f->Size, static_cast<int64_t>(ms[i].bytes.size()));
      EXPECT_EQ(f->Stored, version >= 101 && ms[i].stored);
      EXPECT_EQ(f->FileDate, version >= 101 ? ms[i].date : 0);
      EXPECT_EQ(f->CRC, version >= 101 ? ms[i].crc : 0u);
      EXPECT_EQ(f->Separate, version >= 102 && ms[i].separate);
      at += f->Size;
    }
    TVrFile* end = c.Files(4);
    EXPECT_EQ(end, c.EndMarker());
    EXPECT_EQ(end->Name(), "\\EOF\\");
    EXPECT_EQ(end->Offset, at);  // the end marker keeps the offset as stored
    EXPECT_EQ(end->Size, 0);
    EXPECT_EQ(c.IndexOf("BG\\\x94\x77\x8C\x69.BRM"), 1);
  }
}

TEST_F(ArchiveRead, EmptyArchiveHasOnlyTheEndMarker) {
  for (int version : {-1, 100, 102}) {
    std::string archive = AssembleArchive(version, {});
    PutFile(p, Path("empty.arc"), archive);
    TVrFileCollection c(p);
    c.Open(Path("empty.arc"));
    ASSERT_EQ(c.Count(), 1);
    EXPECT_EQ(c.Files(0)->Name(), "\\EOF\\");
    EXPECT_EQ(c.Files(0)->Offset, static_cast<int64_t>(archive.size()));
  }
}

TEST_F(ArchiveRead, MembersOfEveryVersionExtract) {
  for (int version : {-1, 100, 101, 102}) {
    SCOPED_TRACE(version);
    std::vector<RawMember> ms = SampleMembers(version);
    PutFile(p, Path("a.arc"), AssembleArchive(version, ms));
    TVrFileCollection c(p);
    c.Open(Path("a.arc"));
    EXPECT_EQ(Extract(c, "INSTALL.DAT"), Text(300, 1));
    EXPECT_EQ(Extract(c, ms[1].name), version >= 101 ? ms[1].bytes : "raw");
    EXPECT_EQ(Extract(c, ""), "");
    EXPECT_EQ(Extract(c, ms[3].name), Text(5000, 2));
  }
}

TEST_F(ArchiveRead, ExtractingIntoAFileInflatesInBlocks) {
  std::string big = Text(3000000, 3);  // inflates over several 1,000,000-byte blocks
  RawMember r;
  r.name = "script.txt";
  r.bytes = Deflate1(big);
  r.stored = false;
  PutFile(p, Path("a.arc"), AssembleArchive(102, {r}));
  TVrFileCollection c(p);
  c.Open(Path("a.arc"));
  {
    TFileStream out(p, Path("out.txt"), fmCreate);
    c.ExtractToStream(out, "script.txt");
    EXPECT_EQ(out.Position(), 0);
  }
  EXPECT_EQ(GetFile(p, Path("out.txt")), big);
}

TEST_F(ArchiveRead, DataFileWithSeparateDirectoryAcrossParts) {
  // Members in a split data file (small parts), directory in the .ext beside it.
  std::vector<RawMember> ms = SampleMembers(102);
  std::string data;
  for (const auto& r : ms) data += r.bytes;
  {
    TQxBigFileStream d(p, Path("game.dat"), fmCreate, 64);
    d.Write("PAD", 3);
    d.Write(data.data(), static_cast<int64_t>(data.size()));
  }
  PutFile(p, Path("game.ext"), AssembleArchive(102, ms, false, 3));
  TVrFileCollection c(p);
  c.PartSize = 64;
  c.Open(Path("game.dat"));
  ASSERT_EQ(c.Count(), 5);
  EXPECT_EQ(c.Files(0)->Offset, 3);
  EXPECT_EQ(Extract(c, "install.dat"), Text(300, 1));
  EXPECT_EQ(Extract(c, ms[1].name), ms[1].bytes);
  EXPECT_EQ(Extract(c, ""), "");
  EXPECT_EQ(Extract(c, ms[3].name), Text(5000, 2));
  EXPECT_EQ(c.Folder(), m.Scratch());
}

TEST_F(ArchiveRead, DataFileShorterThanItsDirectoryIsDamaged) {
  std::vector<RawMember> ms = SampleMembers(102);
  PutFile(p, Path("game.dat"), ms[0].bytes);  // the other members' bytes are missing
  PutFile(p, Path("game.ext"), AssembleArchive(102, ms, false));
  TVrFileCollection c(p);
  EXPECT_THROW(c.Open(Path("game.dat")), EFormatError);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Stream(), nullptr);
}

TEST_F(ArchiveRead, ProgramFileWithTrailerIgnoresAnExtBesideIt) {
  std::vector<RawMember> ms = SampleMembers(102);
  std::string program = "MZ program image bytes";
  std::string file = program + AssembleArchive(102, ms);
  testing::Le32(file, static_cast<uint32_t>(program.size()));
  file += "zr";
  PutFile(p, Path("setup.exe"), file);
  PutFile(p, Path("setup.ext"), AssembleArchive(102, {}, false));
  TVrFileCollection c(p);
  c.Open(Path("setup.exe"));
  ASSERT_EQ(c.Count(), 5);
  EXPECT_EQ(c.Files(0)->Offset, static_cast<int64_t>(program.size() + AssembleArchive(102, ms).size() -
                                                     (ms[0].bytes.size() + ms[1].bytes.size() + ms[3].bytes.size())));
  EXPECT_EQ(Extract(c, "install.dat"), Text(300, 1));
  EXPECT_EQ(Extract(c, ms[3].name), Text(5000, 2));
  // .SCR counts too; a trailer pointing past the end is damage.
  std::string bad = program;
  testing::Le32(bad, 1000000);
  bad += "zr";
  PutFile(p, Path("bad.SCR"), bad);
  EXPECT_THROW(c.Open(Path("bad.SCR")), EFormatError);
  PutFile(p, Path("tiny.exe"), "zr");
  EXPECT_THROW(c.Open(Path("tiny.exe")), EFormatError);
}

TEST_F(ArchiveRead, ResourceForm) {
  std::vector<RawMember> ms = SampleMembers(102);
  PutFile(p, Path("res.exe"), testing::ProgramWithResource("BINTYPE", "DUMMY", AssembleArchive(102, ms)));
  TVrFileCollection c(p);
  c.OpenResource(Path("res.exe"), "DUMMY", "BINTYPE");
  ASSERT_EQ(c.Count(), 5);
  EXPECT_EQ(Extract(c, "install.dat"), Text(300, 1));
  EXPECT_EQ(Extract(c, ""), "");
  EXPECT_EQ(Extract(c, ms[3].name), Text(5000, 2));
  TVrFileCollection missing(p);
  EXPECT_THROW(missing.OpenResource(Path("res.exe"), "OTHER", "BINTYPE"), EResNotFound);
  // A resource of no bytes.
  PutFile(p, Path("empty.exe"), testing::ProgramWithResource("BINTYPE", "DUMMY", ""));
  try {
    missing.OpenResource(Path("empty.exe"), "DUMMY", "BINTYPE");
    ADD_FAILURE() << "an empty resource opened";
  } catch (const EZarnError& e) {
    EXPECT_EQ(e.Message(), "リソースが見つかりません");
  }
  // A file that is no program leaves the collection empty without an error.
  PutFile(p, Path("plain.exe"), "not a program");
  missing.OpenResource(Path("plain.exe"), "DUMMY", "BINTYPE");
  EXPECT_EQ(missing.Count(), 0);
  EXPECT_EQ(missing.Stream(), nullptr);
}

TEST_F(ArchiveRead, LooseFilesServeNamesThatAreNoMembers) {
  std::vector<RawMember> ms = SampleMembers(102);
  PutFile(p, Path("a.arc"), AssembleArchive(102, ms));
  PutFile(p, Path("install.dat"), "loose install.dat");
  PutFile(p, Path("readme.txt"), "loose readme");
  TVrFileCollection c(p);
  c.Open(Path("a.arc"));
  EXPECT_EQ(Extract(c, "install.dat"), Text(300, 1));  // the member wins
  EXPECT_EQ(Extract(c, "readme.txt"), "loose readme");
  // Into a stream that is not in memory, too.
  {
    TFileStream out(p, Path("copy.txt"), fmCreate);
    c.ExtractToStream(out, "README.TXT");
  }
  EXPECT_EQ(GetFile(p, Path("copy.txt")), "loose readme");
  // The archive itself is never served as a loose file.
  try {
    Extract(c, "A.ARC");
    ADD_FAILURE();
  } catch (const EZarnError& e) {
    EXPECT_EQ(e.Message(), "A.ARC:ファイルがありません");
  }
  // An unknown name empties a memory destination and raises.
  TMemoryStream out;
  out.Assign("old");
  EXPECT_THROW(c.ExtractToStream(out, "nothing.bin"), EZarnError);
  EXPECT_EQ(out.Size(), 0);
}

TEST_F(ArchiveRead, OpeningFoldersAndMissingFiles) {
  p.CreateDirectory(Path("media"));
  PutFile(p, Path("media\\game.ini"), "ini");
  TVrFileCollection c(p);
  c.OpenPath(Path("media"), false);
  EXPECT_EQ(c.Stream(), nullptr);
  EXPECT_EQ(c.Folder(), Path("media\\"));
  EXPECT_EQ(Extract(c, "game.ini"), "ini");
  c.OpenPath(Path("media\\game.dat"), true);
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.Folder(), Path("media\\"));
  EXPECT_EQ(c.FileName(), Path("media\\game.dat"));
  EXPECT_EQ(Extract(c, "game.ini"), "ini");
  // An empty path changes nothing but empties the collection.
  c.Open("");
  EXPECT_EQ(c.Folder(), Path("media\\"));
  EXPECT_EQ(c.Count(), 0);
}

// ---- damaged and hostile input

// What opening a damaged archive and extracting every member came to. Anything raised
// that is not one of the program's own errors is a test failure, named by `what`.
struct DamageOutcome {
  bool openRaised = false;
  std::map<std::string, std::string> extracted;  // members handed out without an error
};

DamageOutcome OpenAndExtractEverything(Platform& p, const std::string& path, const std::string& what) {
  DamageOutcome r;
  TVrFileCollection c(p);
  c.MaxInflateToMemory = 1 << 20;
  try {
    c.Open(path);
  } catch (const EZarnError&) {
    r.openRaised = true;
    return r;
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": opening raised a foreign error: " << e.what();
    r.openRaised = true;
    return r;
  }
  for (int i = 0; i < c.Count(); ++i) {
    const std::string name = c.Files(i)->Name();
    TMemoryStream out;
    try {
      c.ExtractToStream(out, name);
      EXPECT_LE(out.Size(), c.MaxInflateToMemory) << what;
      r.extracted[name] = out.ToString();
    } catch (const EZarnError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << what << ": extracting " << name << " raised a foreign error: " << e.what();
    }
  }
  return r;
}

TEST_F(ArchiveRead, TruncatedAtEveryLengthIsReportedAsDamage) {
  for (int version : {-1, 100, 101, 102}) {
    SCOPED_TRACE(version);
    std::string archive = AssembleArchive(version, SampleMembers(version));
    for (size_t len = 0; len < archive.size(); ++len) {
      PutFile(p, Path("t.arc"), archive.substr(0, len));
      TVrFileCollection c(p);
      EXPECT_THROW(c.Open(Path("t.arc")), EFormatError) << "length " << len;
      EXPECT_EQ(c.Count(), 0);
    }
  }
}

// A flipped byte anywhere raises the archive's own errors or nothing, never another
// exception; a flip inside a compressed member's bytes never yields other content for it
// (zlib's checksum catches it; only a flip in the padding after the last block is harmless).
TEST_F(ArchiveRead, FlippedBytesRaiseOnlyTheArchivesOwnErrors) {
  const std::vector<RawMember> ms = SampleMembers(102);
  const std::string archive = AssembleArchive(102, ms);
  size_t dataStart = archive.size();
  for (const RawMember& r : ms) dataStart -= r.bytes.size();
  PutFile(p, Path("f.arc"), archive);
  const DamageOutcome good = OpenAndExtractEverything(p, Path("f.arc"), "undamaged");
  int openRaised = 0;
  for (size_t i = 0; i < archive.size(); ++i) {
    // The compressed member whose stored bytes hold byte i, if any.
    const RawMember* inCompressed = nullptr;
    for (size_t at = dataStart, k = 0; k < ms.size(); at += ms[k].bytes.size(), ++k)
      if (i >= at && i < at + ms[k].bytes.size() && !ms[k].stored) inCompressed = &ms[k];
    for (unsigned char mask : {0x01, 0x80, 0xFF}) {
      std::string bad = archive;
      bad[i] = static_cast<char>(bad[i] ^ mask);
      PutFile(p, Path("f.arc"), bad);
      const std::string what = "byte " + std::to_string(i) + " ^ " + std::to_string(mask);
      DamageOutcome r = OpenAndExtractEverything(p, Path("f.arc"), what);
      openRaised += r.openRaised;
      if (inCompressed) {
        EXPECT_FALSE(r.openRaised) << what << ": member data is not read by Open";
        auto got = r.extracted.find(inCompressed->name);
        if (got != r.extracted.end()) {
          EXPECT_EQ(got->second, good.extracted.at(inCompressed->name)) << what;
        }
      }
    }
  }
  // Flips of the magic, version and counts are reported when the archive is opened.
  EXPECT_GT(openRaised, 0);
}

TEST_F(ArchiveRead, HostileCountsLengthsAndOffsets) {
  auto expectDamaged = [&](const std::string& bytes, const char* what) {
    PutFile(p, Path("h.arc"), bytes);
    TVrFileCollection c(p);
    EXPECT_THROW(c.Open(Path("h.arc")), EFormatError) << what;
  };
  std::string head = "vf";
  testing::Le32(head, 102);
  {
    std::string s = head;
    testing::Le32(s, 0x7FFFFFFF);  // two billion members in a few bytes
    s += std::string(64, '\0');
    expectDamaged(s, "huge count");
  }
  {
    std::string s = head;
    testing::Le32(s, 0xFFFFFFFF);
    s += std::string(64, '\0');
    expectDamaged(s, "negative count");
  }
  {
    std::string s = head;
    testing::Le32(s, 1);
    testing::Le32(s, 0x7FFFFFF0);  // a name longer than the file
    s += std::string(64, 'x');
    expectDamaged(s, "huge name");
  }
  {
    std::string s = "vf";
    testing::Le32(s, 0xFFFFFF9C);  // version -100
    testing::Le32(s, 0);
    s += std::string(16, '\0');
    expectDamaged(s, "negative version");
  }
  // Offsets out of order, and past the end, in an otherwise sound archive.
  std::vector<RawMember> ms = SampleMembers(101);
  std::string good = AssembleArchive(101, ms);
  size_t offsetsAt = 10;
  for (const auto& r : ms) offsetsAt += 4 + r.name.size();
  auto withOffset = [&](size_t k, int64_t value) {
    std::string s = good;
    testing::Sequence seq;
    uint32_t r = 0;
    for (size_t i = 0; i <= k; ++i) r = seq.Next();
    uint64_t x = static_cast<uint64_t>(value) ^ static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(r)));
    std::string enc;
    testing::Le64(enc, x);
    s.replace(offsetsAt + 8 * k, 8, enc);
    return s;
  };
  expectDamaged(withOffset(1, 1), "offset before its predecessor");
  expectDamaged(withOffset(4, static_cast<int64_t>(good.size()) + 1), "end past the file");
  expectDamaged(withOffset(2, -8), "negative offset");
  expectDamaged(withOffset(0, INT64_MAX), "offset near the top of the range");
  // The same archive with a sound offset table opens.
  PutFile(p, Path("h.arc"), withOffset(0, static_cast<int64_t>(offsetsAt + 5 * 8 + 4 * 9)));
  TVrFileCollection c(p);
  EXPECT_NO_THROW(c.Open(Path("h.arc")));
}

TEST_F(ArchiveRead, DamagedAndOversizedCompressedMembers) {
  std::string content = Text(100000, 4);
  std::string z = Deflate1(content);
  RawMember cut{"cut.txt", z.substr(0, z.size() / 2), false};
  std::string broken = z;
  broken[z.size() / 2] = static_cast<char>(broken[z.size() / 2] ^ 0x55);
  RawMember bad{"bad.txt", broken, false};
  RawMember notZlib{"raw.txt", "plain text, not zlib", false};
  RawMember bomb{"bomb.txt", Deflate1(std::string(4000000, '\0')), false};
  PutFile(p, Path("z.arc"), AssembleArchive(102, {cut, bad, notZlib, bomb}));
  TVrFileCollection c(p);
  c.Open(Path("z.arc"));
  TMemoryStream out;
  EXPECT_THROW(c.ExtractToStream(out, "cut.txt"), EZarnError);
  EXPECT_THROW(c.ExtractToStream(out, "bad.txt"), EZarnError);
  EXPECT_THROW(c.ExtractToStream(out, "raw.txt"), EZlibError);
  // Inflating into memory stops at the collection's bound.
  c.MaxInflateToMemory = 1000000;
  try {
    c.ExtractToStream(out, "bomb.txt");
    ADD_FAILURE();
  } catch (const EFormatError& e) {
    EXPECT_NE(e.Message().find("bomb.txt"), std::string::npos);
  }
  c.MaxInflateToMemory = 8000000;
  c.ExtractToStream(out, "bomb.txt");
  EXPECT_EQ(out.Size(), 4000000);
}

TEST_F(ArchiveRead, ExtractMemberAgreesWithExtractAndVerifyInAnyOrder) {
  // Members of about 40,000 bytes, so that many straddle the end of a read-ahead window,
  // and among them a large one, an empty one, damaged ones and ones whose CRC is kept
  // for another reason.
  std::vector<RawMember> ms;
  for (int i = 0; i < 60; ++i) {
    std::string content = Text(39000 + 997 * (i % 7), i);
    RawMember r;
    r.name = "m" + std::to_string(i) + ".txt";
    r.stored = i % 3 != 0;
    r.bytes = r.stored ? content : Deflate1(content);
    r.crc = i % 5 == 4 ? 0 : Crc(r.bytes);
    ms.push_back(r);
  }
  ms[10].bytes[100] ^= 1;  // stored, the CRC no longer matches
  ms[12].bytes[5] ^= 1;    // deflated, likewise (or the inflating fails)
  ms[20].name = "/m20.txt";  // superseded: never checked
  ms[20].crc = 1;
  ms[21].separate = true;  // a separate member may carry its content's checksum
  ms[21].crc = Crc(Text(39000, 21));
  ms[21].bytes = Deflate1(Text(39000, 21));
  ms[21].stored = false;
  // Large members, read past the window: stored, deflated, damaged, and separate with
  // its content's checksum.
  std::vector<RawMember> large;
  for (int i = 0; i < 4; ++i) {
    const std::string content = Text(200000 + i, 90 + i);
    RawMember r{"big" + std::to_string(i) + ".txt", i == 0 || i == 2 ? content : Deflate1(content), i == 0 || i == 2};
    r.crc = i == 3 ? Crc(content) : Crc(r.bytes);
    r.separate = i == 3;
    large.push_back(r);
  }
  large[2].bytes[150000] ^= 1;
  RawMember empty{"empty.txt", "", true};
  ms.insert(ms.begin() + 30, large.begin(), large.end());
  ms.insert(ms.begin() + 34, empty);
  PutFile(p, Path("w.arc"), AssembleArchive(102, ms));
  for (bool reverse : {false, true}) {
    SCOPED_TRACE(reverse);
    TVrFileCollection c(p);
    c.Open(Path("w.arc"));
    std::vector<uint8_t> buffer;
    for (int j = 0; j < c.MemberCount(); ++j) {
      TVrFile& f = *c.Files(reverse ? c.MemberCount() - 1 - j : j);
      SCOPED_TRACE(f.Name());
      TMemoryStream got, expect;
      bool sound = false, expectSound = c.VerifyMember(f, buffer);
      try {
        sound = c.ExtractMember(f, got);
      } catch (const EZarnError&) {
        EXPECT_THROW(c.ExtractToStream(expect, f.Name()), EZarnError);
        continue;
      }
      c.ExtractToStream(expect, f.Name());
      EXPECT_EQ(got.ToString(), expect.ToString());
      EXPECT_EQ(got.Position(), got.Size());
      EXPECT_EQ(sound, expectSound);
      EXPECT_EQ(sound, f.Name() != "m10.txt" && f.Name() != "m12.txt" && f.Name() != "big2.txt");
    }
  }
  // Into memory, inflating stops at the collection's bound as ExtractToStream does.
  TVrFileCollection c(p);
  c.Open(Path("w.arc"));
  c.MaxInflateToMemory = 1000;
  TMemoryStream out;
  EXPECT_THROW(c.ExtractMember(*c.Files(0), out), EFormatError);
  EXPECT_THROW(c.ExtractMember(*c.Files(1), out), EFormatError);
}

TEST(Crc, StreamAndRange) {
  std::string data(3 << 20, 'q');
  for (size_t i = 0; i < data.size(); i += 4099) data[i] = static_cast<char>(i);
  TMemoryStream mem;
  mem.Assign(data);
  EXPECT_EQ(StreamCRC(mem), Crc(data));
  testing::ChunkyStream chunky(data, 65537);
  EXPECT_EQ(StreamCRC(chunky), Crc(data));
  TQxBigMemoryStream big;
  big.Write(data.data(), static_cast<int64_t>(data.size()));
  big.MoveTo(10);
  std::vector<uint8_t> buffer(1000);
  int64_t got = 0;
  EXPECT_EQ(RangeCRC(big, 5000, buffer.data(), 1000, &got), Crc(data.substr(10, 5000)));
  EXPECT_EQ(got, 5000);
  // Never past the end.
  big.MoveTo(static_cast<int64_t>(data.size()) - 7);
  EXPECT_EQ(RangeCRC(big, 100, buffer.data(), 1000, &got), Crc(data.substr(data.size() - 7)));
  EXPECT_EQ(got, 7);
  EXPECT_EQ(StreamCRC(mem), 0x00000000u ^ Crc(data));
  TMemoryStream empty;
  EXPECT_EQ(StreamCRC(empty), 0u);
}

}  // namespace
}  // namespace zarn
