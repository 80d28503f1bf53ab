// zarn-arc end to end: the built tool on host files. Names in archives are Shift-JIS
// (plain literals); what the tool prints is UTF-8 (u8 literals).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "archive/archive_support.h"
#include "support/program_image.h"
#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using testing::AssembleArchive;
using testing::Crc;
using testing::Deflate1;
using testing::RawMember;

// u8 literals stay UTF-8 whatever the execution character set.
std::string U8(const char* s) { return s; }

class ArcTool : public testing::ToolTest {
 protected:
  ArcTool() : ToolTest("zarn-arc") {}
  void ExpectError(const Result& r, int status, const std::string& mentions) {
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_NE(r.err.find(mentions), std::string::npos) << r.err;
  }
};

TEST_F(ArcTool, RoundTripThroughPackListCatVerifyMergeAndUpdate) {
  std::string story;
  for (int i = 0; i < 2000; ++i) story += "line " + std::to_string(i) + "\n";
  Write("src/readme.txt", story);
  Write(U8(u8"src/データ/背景.bin"), std::string(300, '\7'));
  Write("src/op.ogg", "OggS not compressed");
  Write("src/empty", "");
  Result r = Run("pack src -o media.arc --separate readme.txt");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");

  r = Run("list media.arc");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines;
  std::stringstream ss(r.out);
  for (std::string l; std::getline(ss, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  // Sorted without regard to case; folders with "\".
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), "empty");
  EXPECT_EQ(lines[1].substr(0, lines[1].find('\t')), "op.ogg");
  EXPECT_EQ(lines[2].substr(0, lines[2].find('\t')), "readme.txt");
  EXPECT_EQ(lines[3].substr(0, lines[3].find('\t')), U8(u8"データ\\背景.bin"));
  auto fields = [](const std::string& line) {
    std::vector<std::string> f;
    std::stringstream ls(line);
    for (std::string x; std::getline(ls, x, '\t');) f.push_back(x);
    return f;
  };
  auto hex = [](uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", v);
    return std::string(b);
  };
  // op.ogg: stored as it is, its own CRC, not separate.
  std::vector<std::string> op = fields(lines[1]);
  ASSERT_EQ(op.size(), 6u);
  EXPECT_EQ(op[1], "19");
  EXPECT_EQ(op[2], "1");
  EXPECT_EQ(op[3].size(), 8u);
  EXPECT_NE(op[3], "00000000");
  EXPECT_EQ(op[4], hex(Crc("OggS not compressed")));
  EXPECT_EQ(op[5], "0");
  // readme.txt: deflated, separate, CRC of the content.
  std::vector<std::string> rd = fields(lines[2]);
  ASSERT_EQ(rd.size(), 6u);
  EXPECT_EQ(rd[1], std::to_string(Deflate1(story).size()));
  EXPECT_EQ(rd[2], "0");
  EXPECT_EQ(rd[4], hex(Crc(story)));
  EXPECT_EQ(rd[5], "1");

  r = Run("cat media.arc README.TXT");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, story);
  r = Run("cat media.arc " + Quote(U8(u8"データ\\背景.bin")));
  EXPECT_EQ(r.out, std::string(300, '\7'));
  EXPECT_EQ(Run("verify media.arc").status, 0);

  // Into a data file, which is then read through its directory.
  r = Run("merge game/game.dat media.arc");
  ASSERT_EQ(r.status, 2) << "the destination folder does not exist: " << r.err;
  fs::create_directories(Path("game"));
  r = Run("merge game/game.dat media.arc");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::exists(Path("game/game.ext")));
  r = Run("list game/game.dat");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("readme.txt"), std::string::npos) << "separate members stay out of the data file";
  EXPECT_NE(r.out.find("op.ogg\t19\t1\t"), std::string::npos) << r.out;
  EXPECT_EQ(Run("verify game/game.dat").status, 0);

  // An update: a newer op.ogg supersedes the old one; the rest is not taken again.
  Write("src2/op.ogg", "OggS newer");
  Write("src2/empty", "");
  Result p2 = Run("pack src2 -o update.arc");
  ASSERT_EQ(p2.status, 0) << p2.err;
  fs::last_write_time(Path("src2/op.ogg"), fs::last_write_time(Path("src/op.ogg")) + std::chrono::hours(1));
  fs::last_write_time(Path("src2/empty"), fs::last_write_time(Path("src/empty")) - std::chrono::hours(1));
  ASSERT_EQ(Run("pack src2 -o update.arc").status, 0);
  r = Run("merge game/game.dat update.arc");
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run("list game/game.dat");
  EXPECT_NE(r.out.find("/op.ogg\t19\t1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nop.ogg\t10\t1"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("/empty"), std::string::npos) << r.out;
  EXPECT_EQ(Run("cat game/game.dat op.ogg").out, "OggS newer");
  EXPECT_EQ(Run("verify game/game.dat").status, 0);

  // Extract everything but superseded entries, with dates.
  r = Run("extract game/game.dat -o out");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("out/op.ogg"), "OggS newer");
  EXPECT_EQ(Read(U8(u8"out/データ/背景.bin")), std::string(300, '\7'));
  EXPECT_FALSE(fs::exists(Path("out/readme.txt")));
  auto age = std::chrono::duration_cast<std::chrono::seconds>(fs::last_write_time(Path("out/op.ogg")) -
                                                              fs::last_write_time(Path("src2/op.ogg")));
  EXPECT_LE(std::abs(age.count()), 2);
}

// Host files are files whatever their names: names Windows reads as devices or trims
// are packed, listed and verified like any other.
TEST_F(ArcTool, HostFilesNamedLikeDevicesAreFiles) {
  Write("src/a.txt", "content");
  for (const char* name : {"con.arc", "COM1.arc", "nul", "lpt9.x.arc", "trailing."}) {
    SCOPED_TRACE(name);
    Result r = Run(std::string("pack src -o ") + name);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(Path(name)));
    r = Run(std::string("verify ") + name);
    EXPECT_EQ(r.status, 0) << r.err;
    r = Run(std::string("list ") + name);
    EXPECT_EQ(r.out.substr(0, 6), "a.txt\t") << r.err;
  }
}

TEST_F(ArcTool, ProgramFilesAndResources) {
  std::vector<RawMember> ms = {{"install.dat", "settings", true, 1, Crc("settings"), false}};
  std::string archive = AssembleArchive(102, ms);
  Write("pkg.arc", archive);
  Write("setup.exe", "MZ program");
  EXPECT_EQ(Run("list setup.exe").status, 2);  // no trailer yet
  ASSERT_EQ(Run("append setup.exe pkg.arc").status, 0);
  Result r = Run("list setup.exe");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "install.dat\t8\t1\t00000001\t" + [&] {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", Crc("settings"));
    return std::string(b);
  }() + "\t0\n");
  Write("res.exe", testing::ProgramWithResource("BINTYPE", "DUMMY", archive));
  r = Run("cat --resource res.exe install.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "settings");
  ExpectError(Run("list --resource setup.exe"), 2, "setup.exe");
}

TEST_F(ArcTool, UnsafeNamesAreRefusedAndNothingLandsOutside) {
  // A name beginning with "/" reads as a superseded entry: written below "superseded" in
  // the destination, never at the root it seems to name, and said so.
  Write("slash.arc", AssembleArchive(102, {{"/etc/evil.txt", "pwned", true, 0, 0, false}}));
  for (const char* names : {"", " /etc/evil.txt"}) {
    Result r = Run(std::string("extract slash.arc -o out") + names);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("/etc/evil.txt"), std::string::npos) << r.err;
    EXPECT_EQ(Read("out/superseded/etc/evil.txt"), "pwned");
  }
  // A name with a NUL byte is refused, named whole.
  Write("zero.arc", AssembleArchive(102, {{std::string("a\0b.txt", 7), "x", true, 0, 0, false}}));
  ExpectError(Run("extract zero.arc -o out"), 2, "a\\x00b.txt");
  for (const char* bad : {"..\\evil.txt", "\\etc\\evil.txt", "C:evil.txt", "ok\\..\\..\\evil.txt", "\\\\?\\C:\\evil"}) {
    SCOPED_TRACE(bad);
    std::vector<RawMember> ms = {{"good.txt", "fine", true, 0, 0, false}, {bad, "pwned", true, 0, 0, false}};
    Write("bad.arc", AssembleArchive(102, ms));
    Result r = Run("extract bad.arc -o out");
    ExpectError(r, 2, bad);
    EXPECT_FALSE(fs::exists(Path("evil.txt")));
    EXPECT_FALSE(fs::exists("/etc/evil.txt"));
  }
  // A link inside the destination is not followed out of it.
  fs::create_directories(Path("out"));
  fs::create_directories(Path("elsewhere"));
  fs::create_directory_symlink(Path("elsewhere"), Path("out/link"));
  Write("link.arc", AssembleArchive(102, {{"link\\x.txt", "through", true, 0, 0, false}}));
  ExpectError(Run("extract link.arc -o out"), 2, "link\\x.txt");
  EXPECT_FALSE(fs::exists(Path("elsewhere/x.txt")));
}

// The files merge and pack write are their own: a link at their names is replaced or
// refused, never written through, and a pack that fails leaves no partial archive.
TEST_F(ArcTool, MergeAndPackNeverWriteThroughALink) {
  Write("src/a.txt", std::string(5000, 'a'));
  ASSERT_EQ(Run("pack src -o media.arc").status, 0);
  Write("victim.txt", "victim");
  fs::create_directories(Path("game"));
  fs::create_symlink(Path("victim.txt"), Path("game/game.ext.tmp"));
  Result r = Run("merge game/game.dat media.arc");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read("victim.txt"), "victim");
  EXPECT_FALSE(fs::is_symlink(Path("game/game.ext")));
  EXPECT_EQ(Run("verify game/game.dat").status, 0);

  fs::create_symlink(Path("victim.txt"), Path("out.arc"));
  ExpectError(Run("pack src -o out.arc"), 2, "out.arc");
  EXPECT_EQ(Read("victim.txt"), "victim");

  // A file whose name Shift-JIS cannot hold cannot be read back: the pack stops half-way.
  Write("broken/a.txt", std::string(5000, 'a'));
  Write(U8(u8"broken/z\U0001F600.txt"), "unreadable by its listed name");
  r = Run("pack broken -o broken.arc");
  EXPECT_NE(r.status, 0);
  EXPECT_FALSE(fs::exists(Path("broken.arc")));
}

TEST_F(ArcTool, DamagedArchivesAndFailedChecks) {
  std::string a = "contents of a", b = "contents of b";
  std::string archive = AssembleArchive(102, {{"a.txt", a, true, 0, Crc(a), false}, {"b.txt", b, true, 0, Crc(b), false}});
  std::string altered = archive;
  altered[altered.size() - 1] ^= 0x20;
  Write("altered.arc", altered);
  Result r = Run("verify altered.arc");
  ExpectError(r, 1, "b.txt");
  // Extraction checks every member as it writes it: the damaged one is named, written all
  // the same, and the exit status says so.
  r = Run("extract altered.arc -o aout");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("b.txt: CRC mismatch"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("a.txt"), std::string::npos) << r.err;
  EXPECT_EQ(Read("aout/a.txt"), a);
  EXPECT_TRUE(fs::exists(Path("aout/b.txt")));
  Write("cut.arc", archive.substr(0, 30));
  ExpectError(Run("list cut.arc"), 2, U8(u8"壊れています"));
  ExpectError(Run("verify cut.arc"), 2, "cut.arc");
  ExpectError(Run("list missing.arc"), 2, "missing.arc");
  Write("good.arc", archive);
  ExpectError(Run("cat good.arc nothing.txt"), 2, "nothing.txt");
  ExpectError(Run("extract good.arc -o out nothing.txt"), 2, "nothing.txt");
  // A compressed member that is no zlib stream.
  Write("z.arc", AssembleArchive(102, {{"z.txt", "not zlib at all", false, 0, 0, false}}));
  ExpectError(Run("cat z.arc z.txt"), 2, "z.txt");
  ExpectError(Run("extract z.arc -o zout"), 2, "z.txt");
  EXPECT_FALSE(fs::exists(Path("zout/z.txt"))) << "a failed extraction leaves no partial file";
}

TEST_F(ArcTool, UsageAndHelp) {
  for (const char* cmd : {"list", "cat", "extract", "verify", "pack", "append", "merge"}) {
    Result r = Run(std::string(cmd) + " --help");
    EXPECT_EQ(r.status, 0) << cmd;
    EXPECT_NE(r.out.find(std::string("usage: zarn-arc ") + cmd), std::string::npos) << cmd;
    r = Run(cmd);
    EXPECT_EQ(r.status, 2) << cmd;
    EXPECT_FALSE(r.err.empty()) << cmd;
  }
  EXPECT_EQ(Run("--help").status, 0);
  EXPECT_EQ(Run("").status, 2);
  ExpectError(Run("frobnicate x"), 2, "frobnicate");
  ExpectError(Run("list --bogus x.arc"), 2, "--bogus");
}

}  // namespace
}  // namespace zarn
