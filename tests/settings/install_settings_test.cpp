// The settings record and install.dat: every version, damaged files, the list operations.
#include "settings/install_settings.h"

#include <gtest/gtest.h>

#include <random>

#include "runtime/error.h"

namespace zarn {
namespace {

// Builds settings files byte by byte, independently of the code under test.
struct Bytes {
  std::string b;
  Bytes& raw(const std::string& s) {
    b += s;
    return *this;
  }
  Bytes& u8(uint8_t v) {
    b += static_cast<char>(v);
    return *this;
  }
  Bytes& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return *this;
  }
  Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  Bytes& i64(int64_t v) {
    u32(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    return u32(static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
  }
  Bytes& str(const std::string& s) {
    i32(static_cast<int32_t>(s.size()));
    return raw(s);
  }
  Bytes& size(int64_t v, bool wide) { return wide ? i64(v) : u32(static_cast<uint32_t>(v)); }
};

// Items 2 to 19 of a file with one disc; `wide` chooses 8-byte sizes.
Bytes CommonItems(Bytes b, bool wide) {
  b.i32(1).str("物語").str("スプラッシュ").str("<ProgramFiles>\\Zarn\\物語").str("readme.txt").u8(1);
  b.str("back.brm").u8(2).i32(1).str("game.exe").u32(0xDEADBEEF).u8(1).u8(7).str("ディスク").str("\\Zarn\\Monogatari");
  b.size(100, wide).size(200, wide).size(300, wide).size(400, wide);  // disc 0
  b.size(1000, wide).size(2000, wide).size(3000, wide).size(4000, wide);
  return b.u8(1);  // Installed
}

void ExpectCommonItems(const TZarnInstallSet& r) {
  EXPECT_EQ(r.DiscIndex, 1);
  EXPECT_EQ(r.Title, "物語");
  EXPECT_EQ(r.SplashText, "スプラッシュ");
  EXPECT_EQ(r.DefaultDir, "<ProgramFiles>\\Zarn\\物語");
  EXPECT_EQ(r.ReadmeFile, "readme.txt");
  EXPECT_TRUE(r.OpenReadme);
  EXPECT_EQ(r.BackImage, "back.brm");
  EXPECT_EQ(r.BackLayout, 2);
  EXPECT_EQ(r.DiscCount, 1);
  EXPECT_EQ(r.ProgramFile, "game.exe");
  EXPECT_EQ(r.ImageKey, 0xDEADBEEFu);
  EXPECT_TRUE(r.RuntimeSetup);
  EXPECT_EQ(r.ReservedFlag, 7);
  EXPECT_EQ(r.MediaName, "ディスク");
  EXPECT_EQ(r.RegistryKey, "\\Zarn\\Monogatari");
  EXPECT_EQ(r.DiscProgramSizes, std::vector<int64_t>{100});
  EXPECT_EQ(r.DiscDataSizes, std::vector<int64_t>{200});
  EXPECT_EQ(r.DiscSoundSizes, std::vector<int64_t>{300});
  EXPECT_EQ(r.DiscMovieSizes, std::vector<int64_t>{400});
  EXPECT_EQ(r.ProgramSize, 1000);
  EXPECT_EQ(r.DataSize, 2000);
  EXPECT_EQ(r.SoundSize, 3000);
  EXPECT_EQ(r.MovieSize, 4000);
  EXPECT_TRUE(r.Installed);
}

// A record whose later items all differ from what the test files hold.
TZarnInstallSet Preloaded() {
  TZarnInstallSet r;
  r.UpdateMode = true;
  r.InstalledFiles.Add("old.txt");
  r.DataInstalled = true;
  r.InstallKind = 2;
  r.FilesInArchive = true;
  r.DiscFiles.Add("old.dat");
  r.SetupCaption = "old caption";
  r.HelloText = "old hello";
  r.LicenseText = "old licence";
  return r;
}

int Load(TZarnInstallSet& r, const std::string& bytes) {
  TMemoryStream m;
  m.Assign(bytes);
  return r.LoadFromStream(m);
}

std::string Save(const TZarnInstallSet& r) {
  TMemoryStream m;
  r.SaveToStream(m);
  return m.ToString();
}

TZarnInstallSet FullRecord() {
  TZarnInstallSet r;
  r.Title = "物語";
  r.SplashText = "Zarn ソフト";
  r.DefaultDir = "<ProgramFiles>\\Zarn\\物語";
  r.ReadmeFile = "はじめに.txt";
  r.OpenReadme = true;
  r.BackImage = "back.brm";
  r.BackLayout = 1;
  r.ProgramFile = "monogatari.exe";
  r.ImageKey = 0x80000001u;
  r.RuntimeSetup = true;
  r.ReservedFlag = 0xFF;
  r.MediaName = "ディスク";
  r.RegistryKey = "\\Zarn\\Monogatari";
  r.SetDiscCount(2);
  r.DiscProgramSizes = {int64_t(5) << 32, 1};
  r.DiscDataSizes = {-1, 2};
  r.DiscSoundSizes = {3, 4};
  r.DiscMovieSizes = {5, INT64_MAX};
  r.ProgramSize = 11;
  r.DataSize = int64_t(3) << 40;
  r.SoundSize = 13;
  r.MovieSize = 14;
  r.Installed = true;
  r.UpdateMode = true;
  r.InstalledFiles.Add("monogatari.exe");
  r.InstalledFiles.Add("データ\\ソース.txt");
  r.DataInstalled = true;
  r.InstallKind = 1;
  r.FilesInArchive = true;
  r.DiscFiles.Add("movie\\op.mpg");
  r.DiscFiles.Add("");
  r.SetupCaption = "物語 インストーラ";
  r.HelloText = "ようこそ\r\n";
  r.LicenseText = "使用許諾";
  return r;
}

TEST(InstallSetFormat, NewRecordIsEmpty) {
  TZarnInstallSet r;
  EXPECT_EQ(r.DiscCount, 0);
  EXPECT_TRUE(r.DiscProgramSizes.empty());
  EXPECT_EQ(r.InstalledFileCount(), 0);
  EXPECT_EQ(r.DiscFiles.Count(), 0);
  EXPECT_FALSE(r.Installed || r.UpdateMode || r.OpenReadme || r.FilesInArchive);
  // A new record saved: header, zero numbers, empty strings and lists.
  Bytes want;
  want.raw("is108").i32(0).str("").str("").str("").str("").u8(0).str("").u8(0).i32(0).str("").u32(0).u8(0).u8(0);
  want.str("").str("").i64(0).i64(0).i64(0).i64(0).u8(0).u8(0).i32(0).u8(0).u8(0).u8(0).i32(0);
  want.str("").str("").str("");
  EXPECT_EQ(Save(r), want.b);
}

TEST(InstallSetFormat, Version108RoundTripsByteForByte) {
  TZarnInstallSet r = FullRecord();
  std::string bytes = Save(r);
  ASSERT_EQ(bytes.substr(0, 5), "is108");

  TZarnInstallSet back;
  EXPECT_EQ(Load(back, bytes), 108);
  EXPECT_EQ(Save(back), bytes);
  EXPECT_EQ(back.DiscFiles, r.DiscFiles);  // the empty entry is kept
  EXPECT_EQ(back.DiscMovieSizes, r.DiscMovieSizes);
}

TEST(InstallSetFormat, HandBuilt108IsReadItemByItem) {
  Bytes b = CommonItems(Bytes().raw("is108"), true);
  b.u8(1).i32(4).str("a.exe").i32(0).i32(-5).str("b\\c.txt");  // UpdateMode, InstalledFiles
  b.u8(1).u8(2).u8(1).i32(2).str("x.dat").str("").str("見出し").str("こんにちは").str("許諾");
  TZarnInstallSet r;
  ASSERT_EQ(Load(r, b.b), 108);
  ExpectCommonItems(r);
  EXPECT_TRUE(r.UpdateMode);
  // Entries of length 0 or less are dropped.
  ASSERT_EQ(r.InstalledFileCount(), 2);
  EXPECT_EQ(r.InstalledFile(0), "a.exe");
  EXPECT_EQ(r.InstalledFile(1), "b\\c.txt");
  EXPECT_TRUE(r.DataInstalled);
  EXPECT_EQ(r.InstallKind, 2);
  EXPECT_TRUE(r.FilesInArchive);
  ASSERT_EQ(r.DiscFiles.Count(), 2);
  EXPECT_EQ(r.DiscFiles[1], "");
  EXPECT_EQ(r.SetupCaption, "見出し");
  EXPECT_EQ(r.HelloText, "こんにちは");
  EXPECT_EQ(r.LicenseText, "許諾");
}

// Each version reads exactly the items it had; the rest keep their values, except that both
// lists are emptied whether or not they are present.
TEST(InstallSetFormat, EveryVersionReadsItsItemsOnly) {
  for (int v = 100; v <= 108; ++v) {
    SCOPED_TRACE(v);
    Bytes b = CommonItems(Bytes().raw("is" + std::to_string(v)), true);
    if (v >= 101) b.u8(0);
    if (v >= 102) b.i32(1).str("new.txt");
    if (v >= 103) b.u8(0);
    if (v >= 104) b.u8(1);
    if (v >= 105) b.u8(0);
    if (v >= 106) b.i32(1).str("new.dat");
    if (v >= 107) b.str("new caption");
    if (v >= 108) b.str("new hello").str("new licence");
    b.raw("trailing bytes are not read");

    TZarnInstallSet r = Preloaded();
    ASSERT_EQ(Load(r, b.b), v);
    ExpectCommonItems(r);
    EXPECT_EQ(r.UpdateMode, v < 101);
    EXPECT_EQ(r.InstalledFiles.Count(), v >= 102 ? 1 : 0);
    EXPECT_EQ(r.DataInstalled, v < 103);
    EXPECT_EQ(r.InstallKind, v >= 104 ? 1 : 2);
    EXPECT_EQ(r.FilesInArchive, v < 105);
    EXPECT_EQ(r.DiscFiles.Count(), v >= 106 ? 1 : 0);
    EXPECT_EQ(r.SetupCaption, v >= 107 ? "new caption" : "old caption");
    EXPECT_EQ(r.HelloText, v >= 108 ? "new hello" : "old hello");
    EXPECT_EQ(r.LicenseText, v >= 108 ? "new licence" : "old licence");
  }
}

TEST(InstallSetFormat, Version107LeavesTextsOfANewRecordEmpty) {
  Bytes b = CommonItems(Bytes().raw("is107"), true);
  b.u8(0).i32(0).u8(0).u8(0).u8(0).i32(0).str("caption");
  TZarnInstallSet r;
  EXPECT_EQ(Load(r, b.b), 107);
  EXPECT_EQ(r.SetupCaption, "caption");
  EXPECT_EQ(r.HelloText, "");
  EXPECT_EQ(r.LicenseText, "");
  // Written again it becomes a 108 file with the two empty strings at its end.
  EXPECT_EQ(Save(r), "is108" + b.b.substr(5) + std::string(8, '\0'));
}

TEST(InstallSetFormat, OldVersionsUseFourByteSizesKeepingTheHighHalf) {
  TZarnInstallSet r;
  r.SetDiscCount(1);
  r.DiscDataSizes[0] = int64_t(7) << 32;
  r.MovieSize = int64_t(9) << 32;
  Bytes b = CommonItems(Bytes().raw("is099"), false);
  EXPECT_EQ(Load(r, b.b), 99);
  EXPECT_EQ(r.DiscProgramSizes[0], 100);
  EXPECT_EQ(r.DiscDataSizes[0], (int64_t(7) << 32) | 200);
  EXPECT_EQ(r.MovieSize, (int64_t(9) << 32) | 4000);
  EXPECT_EQ(r.ProgramSize, 1000);

  // The low half is unsigned: 3 GB in an old file stays 3 GB.
  Bytes big = Bytes().raw("is050").i32(0).str("").str("").str("").str("").u8(0).str("").u8(0).i32(0);
  big.str("").u32(0).u8(0).u8(0).str("").str("").u32(0xC0000000u).u32(0).u32(0).u32(0).u8(0);
  TZarnInstallSet fresh;
  EXPECT_EQ(Load(fresh, big.b), 50);
  EXPECT_EQ(fresh.ProgramSize, int64_t(0xC0000000u));
}

TEST(InstallSetFormat, FileWithoutHeaderIsReadFromItsStart) {
  Bytes b = CommonItems(Bytes(), false);
  TZarnInstallSet r = Preloaded();
  EXPECT_EQ(Load(r, b.b), 0);
  ExpectCommonItems(r);
  EXPECT_EQ(r.InstalledFiles.Count(), 0);
  EXPECT_EQ(r.DiscFiles.Count(), 0);
  EXPECT_TRUE(r.UpdateMode);  // items 20 to 28 are absent
  EXPECT_EQ(r.HelloText, "old hello");

  // Read from where the stream stands, not from the start of the buffer.
  TMemoryStream m;
  m.Assign("prefix" + b.b);
  m.SetPosition(6);
  TZarnInstallSet at;
  EXPECT_EQ(at.LoadFromStream(m), 0);
  ExpectCommonItems(at);
  EXPECT_EQ(m.Position(), m.Size());
}

TEST(InstallSetFormat, HeaderWithoutDigitsIsVersionZeroAfterFiveBytes) {
  for (const char* tag : {"isabc", "is1a8", "is 99", "is-99"}) {
    SCOPED_TRACE(tag);
    Bytes b = CommonItems(Bytes().raw(tag), false);
    TZarnInstallSet r;
    EXPECT_EQ(Load(r, b.b), 0);
    ExpectCommonItems(r);
  }
}

TEST(InstallSetFormat, DiscCountZeroReadsNoDiscValues) {
  Bytes b = Bytes().raw("is108").i32(0).str("T").str("").str("").str("").u8(0).str("").u8(0).i32(0);
  b.str("").u32(0).u8(0).u8(0).str("").str("").i64(1).i64(2).i64(3).i64(4).u8(0);
  b.u8(0).i32(0).u8(0).u8(0).u8(0).i32(0).str("").str("").str("");
  TZarnInstallSet r;
  r.SetDiscCount(3);
  ASSERT_EQ(Load(r, b.b), 108);
  EXPECT_EQ(r.DiscCount, 0);
  EXPECT_TRUE(r.DiscProgramSizes.empty() && r.DiscDataSizes.empty() && r.DiscSoundSizes.empty() &&
              r.DiscMovieSizes.empty());
  EXPECT_EQ(r.ProgramSize, 1);
  EXPECT_EQ(r.MovieSize, 4);
  EXPECT_EQ(Save(r), b.b);
}

TEST(InstallSetFormat, SetDiscCountKeepsEntries) {
  TZarnInstallSet r;
  r.SetDiscCount(2);
  r.DiscSoundSizes = {5, 6};
  r.SetDiscCount(3);
  EXPECT_EQ(r.DiscSoundSizes, (std::vector<int64_t>{5, 6, 0}));
  EXPECT_EQ(r.DiscProgramSizes, (std::vector<int64_t>{0, 0, 0}));
  r.SetDiscCount(1);
  EXPECT_EQ(r.DiscSoundSizes, std::vector<int64_t>{5});
  EXPECT_EQ(r.DiscCount, 1);
  EXPECT_THROW(r.SetDiscCount(-1), EZarnError);
  EXPECT_EQ(r.DiscCount, 1);
}

// ---- damaged files

std::string ValidFile() { return Save(FullRecord()); }

// Offset of DiscCount in a file made by FullRecord (after the header and items 2 to 9).
size_t DiscCountOffset(const TZarnInstallSet& r) {
  return 5 + 4 + 4 + r.Title.size() + 4 + r.SplashText.size() + 4 + r.DefaultDir.size() + 4 + r.ReadmeFile.size() +
         1 + 4 + r.BackImage.size() + 1;
}

void Poke32(std::string& s, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
}

TEST(InstallSetDamage, CountsAndLengthsBeyondTheFileAreRejectedBeforeUse) {
  const TZarnInstallSet full = FullRecord();
  const std::string good = ValidFile();
  const size_t discs = DiscCountOffset(full);
  ASSERT_EQ(good.substr(discs, 4), std::string("\x02\0\0\0", 4));

  struct Case {
    const char* what;
    size_t at;
    int32_t value;
  } cases[] = {
      {"DiscCount huge", discs, 0x7FFFFFFF},
      {"DiscCount one past the file", discs, static_cast<int32_t>((good.size() - discs) / 32 + 1)},
      {"DiscCount negative", discs, -1},
      {"Title length huge", 9, 0x7FFFFFFF},
      {"Title length one past the file", 9, static_cast<int32_t>(good.size() - 13 + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bad = good;
    Poke32(bad, c.at, c.value);
    TZarnInstallSet r = Preloaded();
    try {
      Load(r, bad);
      ADD_FAILURE() << "no error";
    } catch (const EFormatError& e) {
      EXPECT_NE(e.Message().find("設定ファイルが壊れています"), std::string::npos);
    }
    // The record is left as it was.
    EXPECT_EQ(Save(r), Save(Preloaded()));
  }

  // List counts: InstalledFiles follows Installed and UpdateMode after the totals.
  size_t installed = discs + 4 + 4 + full.ProgramFile.size() + 4 + 2 + 4 + full.MediaName.size() + 4 +
                     full.RegistryKey.size() + 2 * 32 + 32 + 2;
  ASSERT_EQ(good.substr(installed, 4), std::string("\x02\0\0\0", 4));
  for (int32_t n : {0x7FFFFFFF, 0x40000000, static_cast<int32_t>((good.size() - installed) / 4)}) {
    std::string bad = good;
    Poke32(bad, installed, n);
    TZarnInstallSet r;
    EXPECT_THROW(Load(r, bad), EFormatError) << n;
  }
  // A negative count is an empty list, as a loop over it would make it.
  Bytes neg = CommonItems(Bytes().raw("is108"), true);
  neg.u8(0).i32(-3).u8(0).u8(0).u8(0).i32(-1).str("").str("").str("");
  TZarnInstallSet r = Preloaded();
  EXPECT_EQ(Load(r, neg.b), 108);
  EXPECT_EQ(r.InstalledFileCount(), 0);
  EXPECT_EQ(r.DiscFiles.Count(), 0);
}

TEST(InstallSetDamage, EveryTruncationRaisesAReadError) {
  for (const std::string& file : {ValidFile(), CommonItems(Bytes(), false).b}) {
    for (size_t n = 0; n < file.size(); ++n) {
      TZarnInstallSet r;
      TMemoryStream m;
      m.Assign(file.substr(0, n));
      try {
        r.LoadFromStream(m);
        ADD_FAILURE() << "length " << n << " was accepted";
      } catch (const EReadError&) {
      } catch (const EFormatError&) {
        // a length that runs past the cut end
      }
      EXPECT_EQ(r.Title, "") << n;
    }
    TZarnInstallSet r;
    EXPECT_NO_THROW(Load(r, file));
  }
}

// Thousands of randomly damaged files: each loads or raises the program's own error; never
// a crash, a hang, a stray exception or a huge allocation (the sanitizer build checks).
TEST(InstallSetDamage, RandomMutationsNeverCrash) {
  const std::string good = ValidFile();
  const std::string old = CommonItems(Bytes(), false).b;
  std::mt19937 rng(20240601);
  int loaded = 0, rejected = 0;
  for (int round = 0; round < 6000; ++round) {
    std::string bad = round % 3 == 0 ? old : good;
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % bad.size();
      switch (rng() % 4) {
        case 0: bad[at] = static_cast<char>(rng()); break;
        case 1: bad[at] ^= static_cast<char>(1 << (rng() % 8)); break;
        case 2:
          if (at + 4 <= bad.size()) Poke32(bad, at, static_cast<int32_t>(rng()));
          break;
        case 3: bad.resize(at + 1); break;
      }
    }
    TZarnInstallSet r;
    TMemoryStream m;
    m.Assign(bad);
    try {
      r.LoadFromStream(m);
      ++loaded;
      EXPECT_EQ(static_cast<size_t>(r.DiscCount), r.DiscMovieSizes.size());
      EXPECT_LE(m.Position(), m.Size());
    } catch (const EReadError&) {
      ++rejected;
    } catch (const EFormatError&) {
      ++rejected;
    }
  }
  // Both outcomes happen, so the mutations reach past the first items.
  EXPECT_GT(loaded, 100);
  EXPECT_GT(rejected, 100);
}

// ---- lists and captions

TEST(InstallSetLists, InstalledFilesIgnoreCase) {
  TZarnInstallSet r;
  r.AddInstalledFile("Game.exe");
  r.AddInstalledFile("データ\\Save.DAT");
  r.AddInstalledFile("GAME.EXE");
  r.AddInstalledFile("データ\\save.dat");
  ASSERT_EQ(r.InstalledFileCount(), 2);
  EXPECT_EQ(r.InstalledFile(0), "Game.exe");  // the first spelling stays
  EXPECT_EQ(r.IndexOfInstalledFile("game.EXE"), 0);
  EXPECT_EQ(r.IndexOfInstalledFile("データ\\SAVE.dat"), 1);
  EXPECT_EQ(r.IndexOfInstalledFile("game"), -1);
  // Only ASCII letters fold: full-width letters are distinct names.
  r.AddInstalledFile("ａ.txt");
  r.AddInstalledFile("Ａ.txt");
  EXPECT_EQ(r.InstalledFileCount(), 4);
}

TEST(InstallSetLists, DiscFilesMatchAnyCase) {
  TZarnInstallSet r;
  r.DiscFiles.Add("movie\\op.mpg");
  r.DiscFiles.Add("ソフト\\bgm.ogg");
  EXPECT_TRUE(r.IsDiscFile("MOVIE\\OP.MPG"));
  EXPECT_TRUE(r.IsDiscFile("ソフト\\BGM.ogg"));
  EXPECT_FALSE(r.IsDiscFile("movie\\op.mpg.bak"));
  EXPECT_FALSE(r.IsDiscFile(""));
}

TEST(InstallSetLists, SetupCaption) {
  TZarnInstallSet r;
  r.Title = "物語";
  EXPECT_EQ(r.GetSetupCaption(), "物語のセットアップ");
  r.SetupCaption = "特別版";
  EXPECT_EQ(r.GetSetupCaption(), "特別版");
}

}  // namespace
}  // namespace zarn
