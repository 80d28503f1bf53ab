// zarn-instdat end to end: the built tool run on host files. The tool's JSON and messages
// are UTF-8 (u8 literals); the settings file holds Shift-JIS (plain literals).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/program_image.h"
#include "runtime/streams.h"
#include "settings/install_settings.h"
#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

const std::vector<std::string> kFieldOrder = {
    "Version",        "DiscCount",     "InstalledFiles", "SetupCaption",     "DiscIndex",     "Title",
    "SplashText",     "DefaultDir",    "ReadmeFile",     "InstallKind",      "OpenReadme",    "BackImage",
    "BackLayout",     "ProgramFile",   "ImageKey",       "RuntimeSetup",     "ReservedFlag",  "MediaName",
    "RegistryKey",    "DiscProgramSizes", "DiscDataSizes", "DiscSoundSizes", "DiscMovieSizes", "ProgramSize",
    "DataSize",       "SoundSize",     "MovieSize",      "Installed",        "UpdateMode",    "DataInstalled",
    "FilesInArchive", "DiscFiles",     "HelloText",      "LicenseText"};

class InstdatTool : public testing::ToolTest {
 protected:
  InstdatTool() : ToolTest("zarn-instdat") {}

  // An error: exit 2, nothing on standard output, one line naming what went wrong.
  void ExpectError(const Result& r, const std::string& mention) {
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(mention), std::string::npos) << r.err;
  }
};

Json FullJson() {
  return Json::parse(u8R"({
    "DiscCount": 2,
    "InstalledFiles": ["monogatari.exe", "データ\\ソース.txt"],
    "SetupCaption": "物語 インストーラ",
    "DiscIndex": 1,
    "Title": "物語",
    "SplashText": "Zarn ソフト",
    "DefaultDir": "<ProgramFiles>\\Zarn\\物語",
    "ReadmeFile": "はじめに.txt",
    "InstallKind": 1,
    "OpenReadme": true,
    "BackImage": "back.brm",
    "BackLayout": 2,
    "ProgramFile": "monogatari.exe",
    "ImageKey": 4294967295,
    "RuntimeSetup": true,
    "ReservedFlag": 255,
    "MediaName": "ディスク",
    "RegistryKey": "\\Zarn\\Monogatari",
    "DiscProgramSizes": [21474836480, 1],
    "DiscDataSizes": [-1, 2],
    "DiscSoundSizes": [3, 4],
    "DiscMovieSizes": [5, 9223372036854775807],
    "ProgramSize": 11,
    "DataSize": 3298534883328,
    "SoundSize": 13,
    "MovieSize": 14,
    "Installed": true,
    "UpdateMode": false,
    "DataInstalled": true,
    "FilesInArchive": false,
    "DiscFiles": ["movie\\op.mpg", ""],
    "HelloText": "ようこそ\r\n「物語」の世界へ",
    "LicenseText": "使用許諾"
  })");
}

TEST_F(InstdatTool, MakeThenDumpGivesTheSameFields) {
  Json in = FullJson();
  Write("in.json", in.dump());
  Result made = Run("make " + Quote(Path("in.json")) + " -o " + Quote(Path("install.dat")));
  ASSERT_EQ(made.status, 0) << made.err;

  // The file is a version-108 record the program reads, with Shift-JIS texts.
  TZarnInstallSet r;
  TMemoryStream m;
  m.Assign(Read("install.dat"));
  ASSERT_EQ(r.LoadFromStream(m), 108);
  EXPECT_EQ(r.Title, "物語");
  EXPECT_EQ(r.InstalledFile(1), "データ\\ソース.txt");
  EXPECT_EQ(r.DiscDataSizes, (std::vector<int64_t>{-1, 2}));
  EXPECT_EQ(r.ImageKey, 0xFFFFFFFFu);

  Result dumped = Run("dump " + Quote(Path("install.dat")));
  ASSERT_EQ(dumped.status, 0) << dumped.err;
  Json out = Json::parse(dumped.out);
  std::vector<std::string> keys;
  for (const auto& item : out.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, kFieldOrder);
  EXPECT_EQ(out["Version"], 108);
  EXPECT_TRUE(out["OpenReadme"].is_boolean());
  EXPECT_TRUE(out["InstallKind"].is_number_integer());
  Json expected = in;
  expected["Version"] = 108;
  EXPECT_EQ(Json(out).dump(), [&] {
    Json ordered = Json::object();
    for (const std::string& k : kFieldOrder) ordered[k] = expected[k];
    return ordered.dump();
  }());

  // Relative paths are taken from the working folder.
  std::string cmd = "cd " + Quote(dir_) + " && " + Quote(ToolPath("zarn-instdat")) + " dump install.dat >/dev/null 2>&1";
  EXPECT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 0);
}

TEST_F(InstdatTool, MissingKeysTakeNewRecordValues) {
  Write("empty.json", "{}");
  ASSERT_EQ(Run("make " + Quote(Path("empty.json")) + " -o " + Quote(Path("a.dat"))).status, 0);
  TMemoryStream m;
  TZarnInstallSet().SaveToStream(m);
  EXPECT_EQ(Read("a.dat"), m.ToString());

  // The per-disc arrays alone give the disc count; a missing array is zeros.
  Write("discs.json", R"({"Title": "x", "DiscDataSizes": [7, 8, 9]})");
  ASSERT_EQ(Run("make " + Quote(Path("discs.json")) + " --output=" + Quote(Path("b.dat"))).status, 0);
  Json out = Json::parse(Run("dump " + Quote(Path("b.dat"))).out);
  EXPECT_EQ(out["DiscCount"], 3);
  EXPECT_EQ(out["DiscProgramSizes"], Json::parse("[0,0,0]"));
  EXPECT_EQ(out["DiscDataSizes"], Json::parse("[7,8,9]"));

  // JSON from standard input.
  std::string cmd = u8"echo '{\"Title\":\"物語\"}' | " + Quote(ToolPath("zarn-instdat")) + " make - -o " + Quote(Path("c.dat"));
  ASSERT_EQ(WEXITSTATUS(std::system(cmd.c_str())), 0);
  EXPECT_EQ(Json::parse(Run("dump " + Quote(Path("c.dat"))).out)["Title"], u8"物語");
}

TEST_F(InstdatTool, BadJsonIsRefusedWithoutWritingAFile) {
  struct {
    const char* json;
    const char* mention;
  } cases[] = {
      {R"({"Title": "x", "Titel": "y"})", "unknown key \"Titel\""},
      {R"({"Title": 5})", "\"Title\" must be a string"},
      {R"({"OpenReadme": 1})", "\"OpenReadme\" must be true or false"},
      {R"({"InstallKind": 256})", "\"InstallKind\" must lie between 0 and 255"},
      {R"({"ImageKey": -1})", "\"ImageKey\""},
      {R"({"DiscIndex": 1.5})", "\"DiscIndex\" must be an integer"},
      {R"({"DiscCount": 2, "DiscDataSizes": [1]})", "\"DiscDataSizes\" has 1 entries"},
      {R"({"DiscProgramSizes": [1, 2], "DiscDataSizes": [1]})", "entries"},
      {R"({"DiscCount": 100000})", "\"DiscCount\""},
      {R"({"DiscFiles": ["a", 3]})", "\"DiscFiles[1]\""},
      {u8R"({"Title": "emoji 😀"})", "Shift-JIS"},
      {R"([1, 2])", "one object"},
      {R"({"Title": )", "not valid JSON"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    Write("bad.json", c.json);
    ExpectError(Run("make " + Quote(Path("bad.json")) + " -o " + Quote(Path("bad.dat"))), c.mention);
    EXPECT_FALSE(fs::exists(Path("bad.dat")));
  }
}

TEST_F(InstdatTool, MissingAndDamagedFiles) {
  ExpectError(Run("dump " + Quote(Path("missing.dat"))), "missing.dat");
  ExpectError(Run("make " + Quote(Path("missing.json")) + " -o " + Quote(Path("x.dat"))), "missing.json");

  TMemoryStream m;
  TZarnInstallSet r;
  r.Title = "物語";
  r.SaveToStream(m);
  std::string bytes = m.ToString();
  Write("short.dat", bytes.substr(0, bytes.size() - 3));
  ExpectError(Run("dump " + Quote(Path("short.dat"))), "short.dat");
  std::string huge = bytes;
  huge[9] = '\x7F';  // Title length far beyond the file
  huge[12] = '\x7F';
  Write("huge.dat", huge);
  ExpectError(Run("dump " + Quote(Path("huge.dat"))), u8"設定ファイルが壊れています");
}

// A program carrying the medium's archive, appended or as its resource, shows the record
// of the install.dat inside; a program that carries none says so.
TEST_F(InstdatTool, TheRecordInsideAProgram) {
  ASSERT_EQ(Run("zarn-medium", "build -o " + Quote(Path("medium"))).status, 0);
  TMemoryStream m;
  TZarnInstallSet record;
  record.Title = "物語";
  record.SaveToStream(m);
  Write("packed/install.dat", m.ToString());
  Write("program.exe", testing::TestProgram());
  ASSERT_EQ(Run("zarn-arc", "pack " + Quote(Path("packed")) + " -o " + Quote(Path("data.arc"))).status, 0);
  ASSERT_EQ(Run("zarn-medium", "embed " + Quote(Path("program.exe")) + " " + Quote(Path("data.arc")) + " -o " +
                                   Quote(Path("embedded.exe")))
                .status,
            0);
  const struct {
    const char* program;
    const char* title;
  } cases[] = {{"medium/setup.exe", u8"物語デモ"}, {"embedded.exe", u8"物語"}};
  for (const auto& c : cases) {
    Result r = Run("dump " + Quote(Path(c.program)));
    ASSERT_EQ(r.status, 0) << c.program << ": " << r.err;
    EXPECT_EQ(Json::parse(r.out)["Title"], c.title);
  }
  ExpectError(Run("dump " + Quote(Path("program.exe"))), "program.exe");
}

TEST_F(InstdatTool, OldFileShowsVersionZero) {
  // A file without header whose items are all zero or empty (4-byte sizes, no later
  // items), with OpenReadme and Installed set.
  std::string b(65, '\0');
  b[20] = 1;
  b[64] = 1;
  Write("old.dat", b);
  Result r = Run("dump " + Quote(Path("old.dat")));
  ASSERT_EQ(r.status, 0) << r.err;
  Json out = Json::parse(r.out);
  EXPECT_EQ(out["Version"], 0);
  EXPECT_EQ(out["OpenReadme"], true);
  EXPECT_EQ(out["Installed"], true);
  EXPECT_EQ(out["DiscCount"], 0);
  EXPECT_EQ(out["DiscFiles"], Json::array());
}

TEST_F(InstdatTool, UsageAndHelp) {
  for (const char* args : {"--help", "dump --help", "make --help"}) {
    Result r = Run(args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_NE(r.out.find("usage: zarn-instdat"), std::string::npos) << args;
  }
  EXPECT_EQ(Run("").status, 2);
  ExpectError(Run("show x"), "unknown command show");
  ExpectError(Run("dump"), "FILE is missing");
  ExpectError(Run("dump a b"), "only one FILE");
  ExpectError(Run("make " + Quote(Path("x.json"))), "-o FILE is missing");
  ExpectError(Run("make x.json -o"), "-o needs a FILE");
  ExpectError(Run("make --verbose x.json -o y"), "unknown option --verbose");
}

}  // namespace
}  // namespace zarn
