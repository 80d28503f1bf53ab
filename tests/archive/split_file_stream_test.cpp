#include "archive/split_file_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "archive/archive_support.h"
#include "runtime/error.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::ChunkyStream;
using testing::GetFile;
using testing::PutFile;
using testing::TestMachine;

std::string Pattern(size_t n, int seed = 0) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed * 13 + i / 251) & 0xFF);
  return s;
}

std::string ReadAll(TQxBigStream& s) {
  std::string out(static_cast<size_t>(s.GetSize() - s.Tell()), '\0');
  if (!out.empty()) {
    EXPECT_EQ(s.Read(&out[0], static_cast<int64_t>(out.size())), static_cast<int64_t>(out.size()));
  }
  return out;
}

class BigFileStream : public ::testing::Test {
 protected:
  TestMachine m;
  Platform& p = m.platform();
  std::string dat = m.Scratch() + "game.dat";
};

TEST_F(BigFileStream, PartNamesCountFromTheExtensionlessName) {
  TQxBigFileStream s(p, dat, fmCreate, 16);
  EXPECT_EQ(s.PartName(0), dat);
  EXPECT_EQ(s.PartName(1), m.Scratch() + "game.001");
  EXPECT_EQ(s.PartName(999), m.Scratch() + "game.999");
  EXPECT_EQ(s.PartName(1000), m.Scratch() + "game.1000");
  TQxBigFileStream noExt(p, m.Scratch() + "dir.v2\\data", fmCreate, 16);
  EXPECT_EQ(noExt.PartName(2), m.Scratch() + "dir.v2\\data.002");
}

TEST_F(BigFileStream, WritesAcrossPartBoundaries) {
  const int64_t part = 16;
  {
    TQxBigFileStream s(p, dat, fmCreate, part);
    std::string first = Pattern(12);
    EXPECT_EQ(s.Write(first.data(), 12), 12);
    // 10 bytes at PartSize - 4: 4 end part 0, 6 begin part 1.
    std::string ten = "ABCDEFGHIJ";
    EXPECT_EQ(s.Write(ten.data(), 10), 10);
    EXPECT_EQ(s.PartCount(), 2);
    EXPECT_EQ(s.GetSize(), 22);
    // A write that spans a whole part and more.
    std::string big = Pattern(40, 1);
    EXPECT_EQ(s.Write(big.data(), 40), 40);
    EXPECT_EQ(s.PartCount(), 4);
    EXPECT_EQ(s.GetSize(), 62);
  }
  EXPECT_EQ(GetFile(p, dat), Pattern(12) + "ABCD");
  EXPECT_EQ(GetFile(p, m.Scratch() + "game.001"), "EFGHIJ" + Pattern(40, 1).substr(0, 10));
  EXPECT_EQ(GetFile(p, m.Scratch() + "game.002"), Pattern(40, 1).substr(10, 16));
  EXPECT_EQ(GetFile(p, m.Scratch() + "game.003"), Pattern(40, 1).substr(26));

  TQxBigFileStream r(p, dat, fmOpenRead | fmShareDenyWrite, part);
  EXPECT_EQ(r.PartCount(), 4);
  EXPECT_EQ(r.GetSize(), 62);
  // Reads in odd pieces across every boundary give the bytes back.
  std::string all;
  char buf[7];
  for (;;) {
    int64_t n = r.Read(buf, 7);
    if (n == 0) break;
    all.append(buf, static_cast<size_t>(n));
  }
  EXPECT_EQ(all, Pattern(12) + "ABCDEFGHIJ" + Pattern(40, 1));
  r.MoveTo(14);
  char two[3] = {};
  EXPECT_EQ(r.Read(two, 3), 3);
  EXPECT_EQ(std::string(two, 3), "CDE");
}

TEST_F(BigFileStream, MoveToStopsAtTheEndAndReadsNothingThere) {
  TQxBigFileStream s(p, dat, fmCreate, 16);
  s.Write("12345", 5);
  s.MoveTo(100);
  EXPECT_EQ(s.Tell(), 5);
  char c;
  EXPECT_EQ(s.Read(&c, 1), 0);
  s.MoveTo(-3);
  EXPECT_EQ(s.Tell(), 0);
}

TEST_F(BigFileStream, CreateDeletesTheUnbrokenRunOfParts) {
  for (const char* n : {"game.dat", "game.001", "game.002", "game.004"}) PutFile(p, m.Scratch() + n, "old");
  {
    TQxBigFileStream s(p, dat, fmCreate, 16);
    EXPECT_EQ(s.PartCount(), 0);
    EXPECT_EQ(s.GetSize(), 0);
  }
  EXPECT_FALSE(p.FileExists(dat));
  EXPECT_FALSE(p.FileExists(m.Scratch() + "game.002"));
  EXPECT_TRUE(p.FileExists(m.Scratch() + "game.004"));  // after the gap at 003
}

TEST_F(BigFileStream, ReadingStopsAtTheFirstMissingPart) {
  PutFile(p, dat, Pattern(16));
  PutFile(p, m.Scratch() + "game.001", Pattern(16, 2));
  PutFile(p, m.Scratch() + "game.003", Pattern(16, 3));
  TQxBigFileStream s(p, dat, fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_EQ(s.PartCount(), 2);
  EXPECT_EQ(s.GetSize(), 32);
}

TEST_F(BigFileStream, AShortPartInTheMiddleEndsTheContent) {
  // Damaged split file: part 0 is short. Reading must not run into part 1 at a wrong place.
  PutFile(p, dat, Pattern(10));
  PutFile(p, m.Scratch() + "game.001", Pattern(16, 2));
  TQxBigFileStream s(p, dat, fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_EQ(s.GetSize(), 10);
  EXPECT_EQ(ReadAll(s), Pattern(10));
  s.MoveTo(12);
  EXPECT_EQ(s.Tell(), 10);
  std::string sink;
  TMemoryStream dest;
  EXPECT_THROW(s.CopyToStream(dest, 5), EReadError);
}

TEST_F(BigFileStream, CopiesToAndFromPlatformStreams) {
  {
    TQxBigFileStream s(p, dat, fmCreate, 16);
    ChunkyStream src(Pattern(50), 3);
    EXPECT_EQ(s.CopyFromStream(src, 0), 50);  // 0: the whole source from its start
    EXPECT_EQ(s.GetSize(), 50);
    ChunkyStream more(Pattern(9, 4), 2);
    more.SetPosition(4);
    EXPECT_EQ(s.CopyFromStream(more, 5), 5);
  }
  TQxBigFileStream r(p, dat, fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_EQ(r.GetSize(), 55);
  TMemoryStream out;
  EXPECT_EQ(r.CopyToStream(out, 0), 0);  // the file stream copies nothing for 0
  EXPECT_EQ(out.Size(), 0);
  r.MoveTo(3);
  EXPECT_EQ(r.CopyToStream(out, 52), 52);
  EXPECT_EQ(out.ToString(), Pattern(50).substr(3) + Pattern(9, 4).substr(4, 5));
  // Asking for more than there is ends with an error, not a loop.
  r.MoveTo(50);
  EXPECT_THROW(r.CopyToStream(out, 6), EReadError);
}

TEST_F(BigFileStream, CopyFromBigPartToPartWithDifferentPhases) {
  const std::string data = Pattern(100, 5);
  {
    TQxBigFileStream src(p, m.Scratch() + "src.dat", fmCreate, 16);
    src.Write(data.data(), 100);
  }
  TQxBigFileStream src(p, m.Scratch() + "src.dat", fmOpenRead | fmShareDenyWrite, 16);
  {
    TQxBigFileStream dst(p, dat, fmCreate, 16);
    dst.Write("xyzab", 5);  // the destination's boundaries fall elsewhere than the source's
    src.MoveTo(7);
    EXPECT_EQ(dst.CopyFromBig(src, 80), 80);
    EXPECT_EQ(src.Tell(), 87);
    EXPECT_EQ(dst.Tell(), 85);
    EXPECT_EQ(dst.GetSize(), 85);
    // 0: all of the source from its start.
    EXPECT_EQ(dst.CopyFromBig(src, 0), 100);
    // Beyond the source's end is an error.
    src.MoveTo(90);
    EXPECT_THROW(dst.CopyFromBig(src, 11), EReadError);
  }
  TQxBigFileStream r(p, dat, fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_EQ(ReadAll(r), std::string("xyzab") + data.substr(7, 80) + data);
}

TEST_F(BigFileStream, CopyFromBigOutOfMemoryAndSplitsWithOtherPartSizes) {
  TQxBigMemoryStream mem;
  std::string data = Pattern(70, 6);
  mem.Write(data.data(), 70);
  TQxBigFileStream dst(p, dat, fmCreate, 16);
  mem.MoveTo(10);
  EXPECT_EQ(dst.CopyFromBig(mem, 60), 60);
  EXPECT_EQ(dst.PartCount(), 4);
  // A split source with a larger part size into a smaller one.
  TQxBigFileStream other(p, m.Scratch() + "big.dat", fmCreate, 64);
  other.Write(data.data(), 70);
  other.MoveTo(1);
  EXPECT_EQ(dst.CopyFromBig(other, 69), 69);
  dst.MoveTo(0);
  EXPECT_EQ(ReadAll(dst), data.substr(10) + data.substr(1));
}

TEST_F(BigFileStream, ReadOnlyStreamRefusesToWriteAndMissingFileIsEmpty) {
  PutFile(p, dat, "abc");
  TQxBigFileStream r(p, dat, fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_THROW(r.Write("x", 1), EWriteError);
  TQxBigFileStream none(p, m.Scratch() + "none.dat", fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_EQ(none.PartCount(), 0);
  EXPECT_EQ(none.GetSize(), 0);
}

TEST_F(BigFileStream, ReadWriteModeAppendsToExistingParts) {
  {
    TQxBigFileStream s(p, dat, fmCreate, 16);
    s.Write(Pattern(20).data(), 20);
  }
  {
    TQxBigFileStream s(p, dat, fmOpenReadWrite | fmShareDenyWrite, 16);
    EXPECT_EQ(s.GetSize(), 20);
    s.MoveTo(s.GetSize());
    s.Write(Pattern(20, 1).data(), 20);
    s.Flush();
  }
  TQxBigFileStream r(p, dat, fmOpenRead | fmShareDenyWrite, 16);
  EXPECT_EQ(r.PartCount(), 3);
  EXPECT_EQ(ReadAll(r), Pattern(20) + Pattern(20, 1));
}

TEST(BigMemoryStream, CopiesOnlyBetweenItsOwnKind) {
  TQxBigMemoryStream a, b;
  a.Write("hello", 5);
  a.MoveTo(1);
  EXPECT_EQ(b.CopyFromBig(a, 3), 3);
  b.MoveTo(0);
  EXPECT_EQ(ReadAll(b), "ell");
  TQxBigStream base;
  EXPECT_EQ(b.CopyFromBig(base, 3), 0);
  // 0 copies all of the memory stream from its start, unlike the file stream.
  TMemoryStream out;
  a.MoveTo(4);
  EXPECT_EQ(a.CopyToStream(out, 0), 5);
  EXPECT_EQ(out.ToString(), "hello");
  // Never beyond the memory's end.
  a.MoveTo(3);
  EXPECT_THROW(a.CopyToStream(out, 3), EReadError);
}

TEST(BigStreamBase, DoesNothing) {
  TQxBigStream s;
  char c = 0;
  TMemoryStream m;
  EXPECT_EQ(s.GetSize(), 0);
  EXPECT_EQ(s.Write(&c, 1), 0);
  EXPECT_EQ(s.Read(&c, 1), 0);
  EXPECT_EQ(s.CopyToStream(m, 1), 0);
  EXPECT_EQ(s.CopyFromStream(m, 1), 0);
}

TEST(CopyStream, CopiesInPiecesAndFailsOnShortSources) {
  // A source that hands over 7 bytes at a time, like a pipe.
  ChunkyStream src(Pattern(1000), 7);
  TMemoryStream dst;
  EXPECT_EQ(CopyStream(dst, src, 0), 1000);
  EXPECT_EQ(dst.ToString(), Pattern(1000));
  ChunkyStream shortSrc("abc", 2);
  TMemoryStream out;
  EXPECT_THROW(CopyStream(out, shortSrc, 4), EReadError);
  TMemoryStream mem;
  mem.Assign("0123456789");
  mem.SetPosition(8);
  EXPECT_THROW(CopyStream(out, mem, 3), EReadError);
  mem.SetPosition(2);
  out.Clear();
  EXPECT_EQ(CopyStream(out, mem, 3), 3);
  EXPECT_EQ(out.ToString(), "234");
  EXPECT_EQ(mem.Position(), 5);
}

TEST(BuffBigStream, ReadsAheadAndGivesBackWhatItDidNotHandOut) {
  TQxBigMemoryStream src;
  std::string data = Pattern(250000, 7);
  src.Write(data.data(), static_cast<int64_t>(data.size()));
  src.MoveTo(0);
  {
    TQxBuffBigStream b(src);
    char ten[10];
    EXPECT_EQ(b.Read(ten, 10), 10);
    EXPECT_EQ(std::string(ten, 10), data.substr(0, 10));
    EXPECT_EQ(src.Tell(), TQxBuffBigStream::kBlockSize);
    EXPECT_EQ(b.Remaining(), 250000 - 10);
  }
  EXPECT_EQ(src.Tell(), 10);  // moved back by 102,390
  {
    TQxBuffBigStream b(src);
    std::string rest(250000, '\0');
    // Asking for more than there is returns what there is, without looping.
    EXPECT_EQ(b.Read(&rest[0], 250000), 250000 - 10);
    EXPECT_EQ(rest.substr(0, 249990), data.substr(10));
    char c;
    EXPECT_EQ(b.Read(&c, 1), 0);
  }
  EXPECT_EQ(src.Tell(), 250000);
}

}  // namespace
}  // namespace zarn
