// Building, merging and verifying archives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_support.h"
#include "support/program_image.h"
#include "archive/archive_reader.h"
#include "runtime/error.h"
#include "settings/install_settings.h"
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
  while (s.size() < n) s += "scene " + std::to_string(seed * 7919 + s.size() % 89) + ": 物語の続き\r\n";
  s.resize(n);
  return s;
}

// Bytes that do not deflate.
std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (auto& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

// n bytes whose level-1 zlib form takes exactly `target` bytes: noise followed by zeros.
std::string CompressingTo(size_t n, size_t target) {
  for (size_t k = 0; k <= n; ++k) {
    std::string s = Noise(k, 99) + std::string(n - k, '\0');
    if (Deflate1(s).size() == target) return s;
  }
  return std::string();
}

std::unique_ptr<TStream> Source(const std::string& bytes) {
  auto m = std::make_unique<TMemoryStream>();
  m->Assign(bytes);
  return m;
}

class ArchiveBuild : public ::testing::Test {
 protected:
  TestMachine m;
  Platform& p = m.platform();
  std::string Path(const std::string& n) { return m.Scratch() + n; }
  std::string Build(TVrFileCollection& c, const std::string& file = "out.arc") {
    {
      TQxBigFileStream out(p, Path(file), fmCreate);
      EXPECT_TRUE(c.WriteArchive(out));
    }
    return GetFile(p, Path(file));
  }
  std::string Extract(TVrFileCollection& c, const std::string& name) {
    TMemoryStream out;
    c.ExtractToStream(out, name);
    return out.ToString();
  }
};

TEST_F(ArchiveBuild, WritesTheFormatToTheByte) {
  p.CreateDirectory(Path("src"));
  std::string readme = Text(2000, 1), movie = Noise(3000, 5), small = "tiny";
  PutFile(p, Path("src\\readme.txt"), readme);
  PutFile(p, Path("src\\op.mpg"), movie);
  PutFile(p, Path("src\\a.txt"), small);
  TVrFileCollection c(p);
  c.OpenPath(Path("src"), false);
  TVrFile* script = c.AddFile("script\\main.txt");
  script->Source = Source(Text(900, 2));
  script->FileDate = 0x12345678;
  TVrFile* sep = c.AddFile("setup\\\x83\x5C.dll");  // "ソ.dll"
  sep->Source = Source(Text(800, 3));
  sep->Separate = true;
  c.AddFile("readme.txt");
  c.AddFile("op.mpg");
  c.AddFile("a.txt")->Separate = true;
  std::string built = Build(c);

  int32_t date = p.FileAge(Path("src\\readme.txt"));
  std::vector<RawMember> expect(5);
  expect[0] = {"script\\main.txt", Deflate1(Text(900, 2)), false, 0x12345678, Crc(Deflate1(Text(900, 2))), false};
  // Separate: the checksum covers the content, not the deflated bytes.
  expect[1] = {"setup\\\x83\x5C.dll", Deflate1(Text(800, 3)), false, 0, Crc(Text(800, 3)), true};
  expect[2] = {"readme.txt", Deflate1(readme), false, date, Crc(Deflate1(readme)), false};
  expect[3] = {"op.mpg", movie, true, p.FileAge(Path("src\\op.mpg")), Crc(movie), false};
  // Deflating 4 bytes saves nothing: stored, and the checksum is of the content.
  expect[4] = {"a.txt", small, true, p.FileAge(Path("src\\a.txt")), Crc(small), true};
  EXPECT_EQ(built, AssembleArchive(102, expect));
  // The entries learned what was written.
  EXPECT_TRUE(c.Files(4)->Stored);
  EXPECT_EQ(c.Files(2)->CRC, Crc(Deflate1(readme)));
  EXPECT_EQ(c.Files(2)->FileDate, date);

  TVrFileCollection r(p);
  r.Open(Path("out.arc"));
  ASSERT_EQ(r.Count(), 6);
  EXPECT_EQ(Extract(r, "SCRIPT\\MAIN.TXT"), Text(900, 2));
  EXPECT_EQ(Extract(r, "readme.txt"), readme);
  EXPECT_EQ(Extract(r, "op.mpg"), movie);
  EXPECT_TRUE(r.Files(1)->Separate);
  EXPECT_TRUE(r.Verify());
}

TEST_F(ArchiveBuild, EmptyCollectionAndEndMarkers) {
  TVrFileCollection c(p);
  EXPECT_EQ(Build(c), AssembleArchive(102, {}));
  // A collection read from an archive keeps its end marker out of what it writes.
  PutFile(p, Path("in.arc"), AssembleArchive(102, {{"x.txt", "abc", true, 7, Crc("abc"), false}}));
  c.Open(Path("in.arc"));
  ASSERT_EQ(c.Count(), 2);
  std::string again = Build(c, "again.arc");
  EXPECT_EQ(again, AssembleArchive(102, {{"x.txt", Deflate1("abc"), false, 7, Crc(Deflate1("abc")), false}}));
}

TEST_F(ArchiveBuild, RebuildsStoredMembersOfItsOwnArchive) {
  // Member content taken from the open archive: a stored member must be read as stored.
  std::string big = Noise(kStoreThreshold + 10, 3);
  PutFile(p, Path("in.arc"), AssembleArchive(102, {{"big.bin", big, true, 1, Crc(big), false},
                                                   {"small.txt", "hello there", true, 2, 0, false},
                                                   {"z.txt", Deflate1(Text(500, 4)), false, 3, 0, false}}));
  TVrFileCollection c(p);
  c.Open(Path("in.arc"));
  Build(c);
  TVrFileCollection r(p);
  r.Open(Path("out.arc"));
  EXPECT_EQ(Extract(r, "big.bin"), big);
  EXPECT_TRUE(r.Files(0)->Stored);  // 5 MiB and more stays stored
  EXPECT_EQ(Extract(r, "small.txt"), "hello there");
  EXPECT_FALSE(r.Files(1)->Stored);
  EXPECT_EQ(Extract(r, "z.txt"), Text(500, 4));
  EXPECT_EQ(r.Files(2)->FileDate, 3);
  EXPECT_TRUE(r.Verify());
}

TEST_F(ArchiveBuild, TheNineTenthsRule) {
  std::string to91 = CompressingTo(100, 91), to90 = CompressingTo(100, 90);
  ASSERT_EQ(to91.size(), 100u);
  ASSERT_EQ(to90.size(), 100u);
  p.CreateDirectory(Path("src"));
  PutFile(p, Path("src\\a.txt"), to91);
  PutFile(p, Path("src\\b.txt"), to90);
  TVrFileCollection c(p);
  c.OpenPath(Path("src"), false);
  c.AddFile("a.txt");
  c.AddFile("b.txt");
  Build(c);
  EXPECT_TRUE(c.Files(0)->Stored);  // 91 > 100 * 9 div 10
  EXPECT_EQ(c.Files(0)->Size, 0);  // (the entries describe the source, not the output)
  EXPECT_FALSE(c.Files(1)->Stored);
  TVrFileCollection r(p);
  r.Open(Path("out.arc"));
  EXPECT_EQ(r.Files(0)->Size, 100);
  EXPECT_EQ(r.Files(1)->Size, 90);
  EXPECT_EQ(Extract(r, "b.txt"), to90);
}

TEST_F(ArchiveBuild, SizeThresholdAndMediaExtensions) {
  p.CreateDirectory(Path("src"));
  std::string zeros(kStoreThreshold, '\0');
  PutFile(p, Path("src\\big.txt"), zeros);
  PutFile(p, Path("src\\less.txt"), zeros.substr(1));
  TVrFileCollection c(p);
  c.OpenPath(Path("src"), false);
  TFileStream big(p, Path("src\\big.txt"), fmOpenRead | fmShareDenyWrite);
  TFileStream less(p, Path("src\\less.txt"), fmOpenRead | fmShareDenyWrite);
  EXPECT_FALSE(c.ShouldCompress(big, "big.txt"));
  EXPECT_TRUE(c.ShouldCompress(less, "less.txt"));
  TMemoryStream tiny;
  tiny.Assign("x");
  for (const char* n : {"movie.mpe", "a.WAV", "b.ogg", "c.mpeg", "d.m1v", "x.dat", "sub.d\\e.asf", "dot.", "a.AV"})
    EXPECT_FALSE(c.ShouldCompress(tiny, n)) << n;
  for (const char* n : {"readme.txt", "noext", "music.mp3", "sub.wav\\file", "a.VI"})
    EXPECT_TRUE(c.ShouldCompress(tiny, n)) << n;
  // A layered image is asked about its own storage; bytes that are no image say no.
  EXPECT_FALSE(c.ShouldCompress(tiny, "bg.brm"));
  // Source streams follow the size rule alone.
  TVrFileCollection s(p);
  s.AddFile("big.ogg")->Source = Source(zeros);
  s.AddFile("small.ogg")->Source = Source(zeros.substr(1));
  Build(s);
  EXPECT_TRUE(s.Files(0)->Stored);
  EXPECT_FALSE(s.Files(1)->Stored);
}

TEST_F(ArchiveBuild, MissingMemberAndCancel) {
  TVrFileCollection c(p);
  c.AddFile("ok.txt")->Source = Source("fine");
  c.AddFile("ghost.txt");
  std::vector<std::string> errors;
  c.OnError = [&](const std::string& m) { errors.push_back(m); };
  {
    TQxBigFileStream out(p, Path("out.arc"), fmCreate);
    try {
      c.WriteArchive(out);
      ADD_FAILURE();
    } catch (const EZarnError& e) {
      EXPECT_EQ(e.Message(), "ghost.txt:ファイルがありません");
    }
  }
  EXPECT_EQ(errors, std::vector<std::string>{"エラー:ghost.txt"});

  // Progress: before and after each member; a cancel returns false at once.
  c.Delete(1);
  c.AddFile("two.txt")->Source = Source("second");
  std::vector<std::string> calls;
  c.OnProgress = [&](TVrFileCollection&, TVrFile* e, int64_t bytes, int index, int total, bool& cancel) {
    calls.push_back(e->Name() + ":" + std::to_string(bytes) + ":" + std::to_string(index) + "/" + std::to_string(total));
    if (e->Name() == "two.txt" && bytes == 0) cancel = true;
  };
  TQxBigFileStream out(p, Path("cancel.arc"), fmCreate);
  EXPECT_FALSE(c.WriteArchive(out));
  EXPECT_EQ(calls, (std::vector<std::string>{"ok.txt:0:0/2", "ok.txt:" + std::to_string(Deflate1("fine").size()) + ":0/2",
                                             "two.txt:0:1/2"}));
}

TEST_F(ArchiveBuild, WritesAcrossPartBoundaries) {
  TVrFileCollection c(p);
  for (int i = 0; i < 5; ++i) c.AddFile("m" + std::to_string(i))->Source = Source(Text(300 + i * 77, i));
  {
    TQxBigFileStream out(p, Path("split.arc"), fmCreate, 128);
    EXPECT_TRUE(c.WriteArchive(out));
    EXPECT_GT(out.PartCount(), 3);
  }
  TVrFileCollection r(p);
  r.PartSize = 128;
  r.Open(Path("split.arc"));
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Extract(r, "m" + std::to_string(i)), Text(300 + i * 77, i));
  EXPECT_TRUE(r.Verify());
}

// ---- merging into a data file

class ArchiveMerge : public ArchiveBuild {
 protected:
  // An archive file of members with the given dates.
  void MakeArchive(const std::string& file, const std::vector<std::pair<std::string, int32_t>>& members,
                   const std::string& tag) {
    std::vector<RawMember> ms;
    for (const auto& mb : members) {
      std::string content = tag + ":" + mb.first + Text(200, mb.second & 15);
      ms.push_back({mb.first, Deflate1(content), false, mb.second, Crc(Deflate1(content)), false});
    }
    PutFile(p, Path(file), AssembleArchive(102, ms));
  }
  std::string Content(const std::string& tag, const std::string& name, int32_t date) {
    return tag + ":" + name + Text(200, date & 15);
  }
};

TEST_F(ArchiveMerge, IntoAnEmptyDataFileAndBackOut) {
  MakeArchive("media.arc", {{"a.txt", 100}, {"b.txt", 100}}, "v1");
  // A separate member stays out of the data file.
  {
    TVrFileCollection src(p);
    src.Open(Path("media.arc"));
    src.Files(1)->Separate = true;
    TVrFileCollection data(p);
    data.OpenPath(Path("game\\game.dat"), true);
    p.CreateDirectory(Path("game"));
    EXPECT_TRUE(data.MergeFrom(src));
    EXPECT_EQ(data.Count(), 1);  // no end marker after a merge
    EXPECT_TRUE(data.Verify());
  }
  TVrFileCollection data(p);
  data.Open(Path("game\\game.dat"));
  ASSERT_EQ(data.Count(), 2);
  EXPECT_EQ(data.Files(0)->Name(), "a.txt");
  EXPECT_EQ(data.Files(0)->Offset, 0);
  EXPECT_EQ(data.Files(0)->FileDate, 100);
  EXPECT_EQ(Extract(data, "a.txt"), Content("v1", "a.txt", 100));
  EXPECT_TRUE(data.Verify());
  EXPECT_FALSE(p.FileExists(Path("game\\game.ext.tmp")));
}

TEST_F(ArchiveMerge, UpdateSupersedesOnlyStrictlyNewerMembers) {
  MakeArchive("v1.arc", {{"a.txt", 100}, {"b.txt", 100}, {"c.txt", 100}}, "v1");
  MakeArchive("v2.arc", {{"A.TXT", 101}, {"b.txt", 100}, {"c.txt", 99}, {"d.txt", 5}}, "v2");
  {
    TVrFileCollection src(p), data(p);
    src.Open(Path("v1.arc"));
    data.OpenPath(Path("game.dat"), true);
    ASSERT_TRUE(data.MergeFrom(src));
  }
  std::string ext1 = GetFile(p, Path("game.ext"));
  {
    TVrFileCollection src(p), data(p);
    src.Open(Path("v2.arc"));
    data.OpenPath(Path("game.dat"), true);
    std::vector<std::string> seen;
    data.OnProgress = [&](TVrFileCollection&, TVrFile* e, int64_t bytes, int index, int total, bool&) {
      seen.push_back(e->Name() + "@" + std::to_string(index) + "/" + std::to_string(total));
    };
    ASSERT_TRUE(data.MergeFrom(src));
    EXPECT_EQ(seen, (std::vector<std::string>{"A.TXT@0/5", "d.txt@3/5"}));
    EXPECT_TRUE(data.Verify());
  }
  TVrFileCollection data(p);
  data.Open(Path("game.dat"));
  ASSERT_EQ(data.Count(), 6);
  EXPECT_EQ(data.Files(0)->Name(), "/a.txt");
  EXPECT_EQ(data.Files(3)->Name(), "A.TXT");
  EXPECT_EQ(data.Files(4)->Name(), "d.txt");
  EXPECT_EQ(Extract(data, "a.txt"), Content("v2", "A.TXT", 101));
  EXPECT_EQ(Extract(data, "/a.txt"), Content("v1", "a.txt", 100));
  EXPECT_EQ(Extract(data, "b.txt"), Content("v1", "b.txt", 100));
  EXPECT_EQ(Extract(data, "c.txt"), Content("v1", "c.txt", 100));
  EXPECT_TRUE(data.Verify());

  // Nothing newer: nothing taken, the directory is left as it is.
  std::string ext2 = GetFile(p, Path("game.ext"));
  EXPECT_NE(ext1, ext2);
  {
    TVrFileCollection src(p);
    src.Open(Path("v2.arc"));
    EXPECT_FALSE(data.MergeFrom(src));
  }
  EXPECT_EQ(GetFile(p, Path("game.ext")), ext2);
}

TEST_F(ArchiveMerge, TheDirectoryFileToTheByte) {
  MakeArchive("v1.arc", {{"a.txt", 100}, {"b.txt", 100}}, "v1");
  MakeArchive("v2.arc", {{"b.txt", 200}}, "v2");
  TVrFileCollection v1(p), v2(p), data(p);
  v1.Open(Path("v1.arc"));
  v2.Open(Path("v2.arc"));
  data.OpenPath(Path("game.dat"), true);
  ASSERT_TRUE(data.MergeFrom(v1));
  ASSERT_TRUE(data.MergeFrom(v2));  // twice on the same collection, without reopening
  std::string za = Deflate1(Content("v1", "a.txt", 100)), zb1 = Deflate1(Content("v1", "b.txt", 100)),
              zb2 = Deflate1(Content("v2", "b.txt", 200));
  std::vector<RawMember> expect = {{"a.txt", za, false, 100, Crc(za), false},
                                   {"/b.txt", zb1, false, 100, Crc(zb1), false},
                                   {"b.txt", zb2, false, 200, Crc(zb2), false}};
  EXPECT_EQ(GetFile(p, Path("game.ext")), AssembleArchive(102, expect, false));
  EXPECT_EQ(GetFile(p, Path("game.dat")), za + zb1 + zb2);
}

TEST_F(ArchiveMerge, ACancelledMergeLeavesTheOldDirectoryAndItsBytesSound) {
  MakeArchive("v1.arc", {{"a.txt", 100}}, "v1");
  MakeArchive("v2.arc", {{"b.txt", 100}, {"c.txt", 100}}, "v2");
  MakeArchive("v3.arc", {{"e.txt", 1}}, "v3");
  {
    TVrFileCollection src(p), data(p);
    src.Open(Path("v1.arc"));
    data.OpenPath(Path("game.dat"), true);
    ASSERT_TRUE(data.MergeFrom(src));
  }
  std::string ext1 = GetFile(p, Path("game.ext"));
  {
    // Cancelled at the second member: b.txt's bytes are in the data file, no directory.
    TVrFileCollection src(p), data(p);
    src.Open(Path("v2.arc"));
    data.OpenPath(Path("game.dat"), true);
    data.OnProgress = [&](TVrFileCollection&, TVrFile* e, int64_t, int, int, bool& cancel) {
      cancel = e->Name() == "c.txt";
    };
    EXPECT_TRUE(data.MergeFrom(src));
  }
  EXPECT_EQ(GetFile(p, Path("game.ext")), ext1);
  {
    TVrFileCollection data(p);
    data.Open(Path("game.dat"));
    EXPECT_EQ(data.Count(), 2);
    EXPECT_TRUE(data.Verify());
    EXPECT_EQ(Extract(data, "a.txt"), Content("v1", "a.txt", 100));
  }
  // The next merge writes over the bytes no directory describes: a.txt keeps its size.
  {
    TVrFileCollection src(p), data(p);
    src.Open(Path("v3.arc"));
    data.OpenPath(Path("game.dat"), true);
    ASSERT_TRUE(data.MergeFrom(src));
  }
  TVrFileCollection data(p);
  data.Open(Path("game.dat"));
  ASSERT_EQ(data.Count(), 3);
  EXPECT_EQ(data.Files(0)->Size, static_cast<int64_t>(Deflate1(Content("v1", "a.txt", 100)).size()));
  EXPECT_EQ(Extract(data, "a.txt"), Content("v1", "a.txt", 100));
  EXPECT_EQ(Extract(data, "e.txt"), Content("v3", "e.txt", 1));
  EXPECT_TRUE(data.Verify());
}

TEST_F(ArchiveMerge, SplitDataFileAcrossPartsAndFromAResource) {
  std::vector<RawMember> ms;
  for (int i = 0; i < 6; ++i) {
    std::string content = Text(150 + 31 * i, i);
    ms.push_back({"f" + std::to_string(i), content, true, i + 1, Crc(content), false});
  }
  std::string archive = AssembleArchive(102, ms);
  {
    TQxBigFileStream split(p, Path("media.dat"), fmCreate, 100);
    split.Write(archive.data(), static_cast<int64_t>(archive.size()));
  }
  PutFile(p, Path("res.exe"), testing::ProgramWithResource("BINTYPE", "DUMMY", archive));
  TVrFileCollection src(p), data(p);
  src.PartSize = 100;
  src.Open(Path("media.dat"));
  data.PartSize = 64;
  data.OpenPath(Path("game.dat"), true);
  ASSERT_TRUE(data.MergeFrom(src));
  EXPECT_TRUE(p.FileExists(Path("game.003")));
  // Newer versions of half of them, out of a resource.
  for (auto& r : ms) r.date += 10;
  TVrFileCollection res(p);
  res.OpenResource(Path("res.exe"), "DUMMY", "BINTYPE");
  for (int i = 0; i < 6; i += 2) res.Files(i)->FileDate += 10;
  ASSERT_TRUE(data.MergeFrom(res));
  data.Open("");  // a writer denies others the right to deny writing
  TVrFileCollection back(p);
  back.PartSize = 64;
  back.Open(Path("game.dat"));
  EXPECT_EQ(back.Count(), 10);  // six, three newer ones and the end marker
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Extract(back, "f" + std::to_string(i)), Text(150 + 31 * i, i));
  EXPECT_TRUE(back.Verify());
}

// ---- verification

TEST_F(ArchiveBuild, VerifyFindsAlteredBytesAndSkipsWhatItCannotCheck) {
  std::string a = Text(1000, 1), b = Text(1000, 2), c = Text(1000, 3);
  std::vector<RawMember> ms = {{"a", a, true, 0, Crc(a), false},
                               {"/old", "superseded", true, 0, 0xDEADBEEF, false},
                               {"b", b, true, 0, 0, false},
                               {"c", c, true, 0, Crc(c), false}};
  std::string archive = AssembleArchive(102, ms);
  PutFile(p, Path("v.arc"), archive);
  TVrFileCollection col(p);
  EXPECT_FALSE(col.Verify());  // nothing open
  col.Open(Path("v.arc"));
  EXPECT_TRUE(col.Verify());
  EXPECT_EQ(col.BadMember(), "");
  // Alter one byte of b (no checksum), then of c (the last member).
  archive[archive.size() - 1000 - 500] ^= 1;
  col.Open("");
  PutFile(p, Path("v.arc"), archive);
  col.Open(Path("v.arc"));
  EXPECT_TRUE(col.Verify());
  archive[archive.size() - 1] ^= 1;
  col.Open("");
  PutFile(p, Path("v.arc"), archive);
  col.Open(Path("v.arc"));
  EXPECT_FALSE(col.Verify());
  EXPECT_EQ(col.BadMember(), "c");
}

TEST_F(ArchiveBuild, VerifyReportsProgressEveryTenthMemberAndCanBeCancelled) {
  std::vector<RawMember> ms;
  for (int i = 0; i < 25; ++i) {
    std::string s = "member " + std::to_string(i);
    ms.push_back({"m" + std::to_string(i), s, true, 0, Crc(s), false});
  }
  ms[24].crc ^= 1;  // the last one is bad
  PutFile(p, Path("v.arc"), AssembleArchive(102, ms));
  TVrFileCollection col(p);
  col.Open(Path("v.arc"));
  std::vector<int> at;
  col.OnProgress = [&](TVrFileCollection&, TVrFile*, int64_t, int index, int total, bool& cancel) {
    at.push_back(index);
    EXPECT_EQ(total, 25);
  };
  EXPECT_FALSE(col.Verify());
  EXPECT_EQ(at, (std::vector<int>{9, 19}));
  col.OnProgress = [&](TVrFileCollection&, TVrFile*, int64_t, int index, int, bool& cancel) { cancel = index == 19; };
  EXPECT_TRUE(col.Verify());  // cancelled before the bad member
}

// ---- program files

TEST_F(ArchiveBuild, AppendArchiveAndFindInstaller) {
  auto settingsWithTitle = [&](const std::string& title) {
    TZarnInstallSet s;
    s.Title = title;
    TMemoryStream m;
    s.SaveToStream(m);
    return m.ToString();
  };
  auto makeInstaller = [&](const std::string& exe, const std::string& title) {
    TVrFileCollection c(p);
    c.AddFile("install.dat")->Source = Source(settingsWithTitle(title));
    c.AddFile("data.bin")->Source = Source(Text(100, 1));
    {
      TQxBigFileStream out(p, Path("pkg.arc"), fmCreate);
      ASSERT_TRUE(c.WriteArchive(out));
    }
    PutFile(p, Path(exe), "MZ image of " + exe);
    AppendArchive(p, Path(exe), Path("pkg.arc"));
  };
  p.CreateDirectory(Path("dest"));
  makeInstaller("dest\\other.exe", "別のゲーム");
  makeInstaller("dest\\install.exe", "物語");
  PutFile(p, Path("dest\\game.exe"), "MZ a game without an archive");
  PutFile(p, Path("dest\\notes.txt"), "zr");

  std::string file = GetFile(p, Path("dest\\install.exe"));
  std::string image = "MZ image of dest\\install.exe";
  EXPECT_EQ(file.substr(0, image.size()), image);
  EXPECT_EQ(file.substr(image.size(), file.size() - image.size() - 6), GetFile(p, Path("pkg.arc")));
  std::string trailer;
  testing::Le32(trailer, static_cast<uint32_t>(image.size()));
  EXPECT_EQ(file.substr(file.size() - 6), trailer + "zr");

  TVrFileCollection c(p);
  c.Open(Path("dest\\install.exe"));
  EXPECT_EQ(Extract(c, "data.bin"), Text(100, 1));
  EXPECT_EQ(FindInstaller(p, Path("dest"), "物語"), Path("dest\\install.exe"));
  EXPECT_EQ(FindInstaller(p, Path("dest\\"), "別のゲーム"), Path("dest\\other.exe"));
  EXPECT_EQ(FindInstaller(p, Path("dest"), "物"), "");
  EXPECT_EQ(FindInstaller(p, Path("nowhere"), "物語"), "");
}

}  // namespace
}  // namespace zarn
