// zarn-medium build and check: a game folder and a settings file made into media of every
// form, one disc and several, with the fields the files decide computed and given values
// that disagree refused; and check finding each class of fault in a medium damaged on
// purpose, one line for each.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "archive/archive_reader.h"
#include "support/program_image.h"
#include "platform/posix/emulated_machine.h"
#include "settings/install_settings.h"
#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

class MediumTool : public testing::ToolTest {
 protected:
  MediumTool() : ToolTest("zarn-medium") {}

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  // A machine whose X: is the test's folder, for reading and changing what a medium holds.
  std::unique_ptr<EmulatedMachine> Machine() {
    MachineOptions o;
    o.drives.push_back({'X', dir_, dtFixed, ""});
    return std::make_unique<EmulatedMachine>(o);
  }
  // Loads the record at `name` (below the test's folder), lets `change` alter it, saves it.
  void EditRecord(const std::string& name, const std::function<void(TZarnInstallSet&)>& change) {
    auto m = Machine();
    std::string path = "X:\\" + name;
    for (char& c : path)
      if (c == '/') c = '\\';
    TZarnInstallSet s;
    s.LoadFromFile(*m, path);
    change(s);
    s.SaveToFile(*m, path);
  }
  TZarnInstallSet Record(const std::string& name) {
    auto m = Machine();
    std::string path = "X:\\" + name;
    for (char& c : path)
      if (c == '/') c = '\\';
    TZarnInstallSet s;
    s.LoadFromFile(*m, path);
    return s;
  }
};

// The demo's game folder built by the general path: the sizes and DiscFiles come from the
// files, per disc when split; a dump of the record made is a valid settings file again.
TEST_F(MediumTool, DerivedFieldsComeFromTheFiles) {
  ASSERT_EQ(Run("demo " + Quote(Path("game"))).status, 0);
  // Japanese names, and the runtime setup the start menu offers (copied, never installed).
  Write(u8"game/medium/はじめにお読みください.TXT", "read me");
  Write(u8"game/archive/シナリオ/第一話.txt", "*start");
  Write("game/medium/directx/dxsetup.exe", "MZ");
  Result r = Run("build --game " + Quote(Path("game")) + " --form files --disc-size 40K -o " + Quote(Path("cd")));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_TRUE(fs::exists(Path("cd/disc2/game.dat"))) << r.out;
  EXPECT_FALSE(fs::exists(Path("cd/disc3")));
  const TZarnInstallSet one = Record("cd/disc1/install.dat"), two = Record("cd/disc2/install.dat");
  EXPECT_EQ(one.DiscIndex, 0);
  EXPECT_EQ(two.DiscIndex, 1);
  EXPECT_EQ(one.DiscCount, 2);
  const int64_t wave = int64_t(fs::file_size(Path("game/medium/sound/theme.wav")));
  const int64_t story = int64_t(fs::file_size(Path("game/medium/story.exe")));
  EXPECT_EQ(two.DiscSoundSizes, (std::vector<int64_t>{0, wave}));
  EXPECT_EQ(one.SoundSize, wave);
  EXPECT_EQ(one.DiscProgramSizes, two.DiscProgramSizes);
  EXPECT_EQ(one.DiscProgramSizes[0] + one.DiscProgramSizes[1], one.ProgramSize);
  int64_t data = 0;
  for (const auto& e : fs::recursive_directory_iterator(Path("game/archive")))
    if (e.is_regular_file()) data += int64_t(e.file_size());
  EXPECT_EQ(one.DataSize, data);
  // Each disc lists its own plain files; install.exe and the picture stay on the first.
  EXPECT_GE(one.DiscFiles.IndexOf("install.exe"), 0);
  EXPECT_GE(one.DiscFiles.IndexOf("はじめにお読みください.txt") + two.DiscFiles.IndexOf("はじめにお読みください.txt"), -1);
  EXPECT_TRUE(fs::exists(Path("cd/disc1/directx/dxsetup.exe")));
  EXPECT_LT(one.DiscFiles.IndexOf("directx\\dxsetup.exe"), 0);
  EXPECT_GE(two.DiscFiles.IndexOf("sound\\theme.wav"), 0);
  EXPECT_LT(one.DiscFiles.IndexOf("sound\\theme.wav"), 0);
  EXPECT_GE(one.DiscProgramSizes[1], story);
  for (const char* disc : {"cd/disc1", "cd/disc2"}) {
    int64_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(Path(disc)))
      if (e.is_regular_file()) bytes += int64_t(e.file_size());
    EXPECT_LE(bytes, 40 * 1024) << disc;
  }

  // A dump of the first disc's record, DiscFiles and sizes included, builds the same.
  Result dump = Run("zarn-instdat", "dump " + Quote(Path("cd/disc1/install.dat")));
  ASSERT_EQ(dump.status, 0) << dump.err;
  Json j = Json::parse(dump.out);
  j.erase("DiscFiles");  // the first disc's only
  Write("dump.json", j.dump());
  r = Run("build --game " + Quote(Path("game")) + " --settings " + Quote(Path("dump.json")) +
          " --form files --disc-size 40K -o " + Quote(Path("again")));
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Read("again/disc2/install.dat"), Read("cd/disc2/install.dat"));
}

// A settings file that disagrees with the files, or that the setup program could not use,
// is refused with the file and the field named, and nothing is made.
TEST_F(MediumTool, GivenValuesThatDisagreeAreRefused) {
  ASSERT_EQ(Run("demo " + Quote(Path("game"))).status, 0);
  const Json base = Json::parse(Read("game/settings.json"));
  const struct {
    const char* what;
    std::function<void(Json&)> change;
    const char* message;
  } cases[] = {
      {"disc count", [](Json& j) { j["DiscCount"] = 2; }, "\"DiscCount\" is 2"},
      {"sizes", [](Json& j) { j["DiscSoundSizes"] = {5}; }, "\"DiscSoundSizes\" is [5]"},
      {"total", [](Json& j) { j["DataSize"] = 1; }, "\"DataSize\" is 1"},
      {"files lacking one", [](Json& j) { j["DiscFiles"] = {"story.exe"}; }, "\"DiscFiles\" lacks"},
      {"files listing more", [](Json& j) { j["DiscFiles"] = {"story.exe", "gone.txt"}; }, "lists gone.txt"},
      {"disc index", [](Json& j) { j["DiscIndex"] = 1; }, "\"DiscIndex\" is 1"},
      {"installed record", [](Json& j) { j["Installed"] = true; }, "installed game's record"},
      {"separate member missing", [](Json& j) {
         j["FilesInArchive"] = true;
         j["Separate"] = {"nothing.bin"};
       }, "names nothing.bin"},
      {"plain files never installed", [](Json& j) { j["FilesInArchive"] = true; }, "would never be installed"},
      {"unknown field", [](Json& j) { j["Colour"] = 1; }, "unknown key \"Colour\""},
      {"system registry key", [](Json& j) { j["RegistryKey"] = "Microsoft\\Windows"; }, "settings.json: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Json j = base;
    c.change(j);
    Write("game/settings.json", j.dump());
    Result r = Run("build --game " + Quote(Path("game")) + " -o " + Quote(Path("out")));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_FALSE(fs::exists(Path("out")));
  }
  // A file of the medium under a name the builder makes itself.
  Write("game/settings.json", base.dump());
  Write("game/medium/SETUP.EXE", "mine");
  Result r = Run("build --game " + Quote(Path("game")) + " -o " + Quote(Path("out")));
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "SETUP.EXE")) << r.err;
}

// check passes every medium build makes: each form, one disc and two, separate files.
TEST_F(MediumTool, CheckPassesEveryMediumBuilt) {
  Write("setup.exe", testing::TestProgram());
  const char* variants[] = {"", "--form files", "--form resource --setup-exe setup.exe", "--disc-size 40K",
                            "--disc-size 40K --form resource --setup-exe setup.exe", "--files-in-archive",
                            "--files-in-archive --disc-size 40K"};
  int n = 0;
  for (const char* v : variants) {
    SCOPED_TRACE(v);
    const std::string out = "m" + std::to_string(n++);
    Result r = Run("build " + std::string(v) + " -o " + out);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    r = Run("check " + out);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, out + ": nothing found\n");
  }
}

// Each class of fault, made on purpose in a good two-disc medium: exactly one finding.
TEST_F(MediumTool, CheckFindsEachClassOfFault) {
  Result r = Run("build --form files --disc-size 40K -o good");
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_TRUE(fs::exists(Path("good/disc2/game.dat")));
  const struct {
    const char* what;
    std::function<void()> damage;
    const char* finding;
  } cases[] = {
      {"a size that disagrees with the files",
       [&] { std::ofstream(Path("bad/disc2/sound/theme.wav"), std::ios::app) << "more"; },
       "disc 2: install.dat: DiscSoundSizes[1] is "},
      {"a plain file missing from DiscFiles", [&] { Write("bad/disc1/extra.txt", "x"); },
       "disc 1: \"extra.txt\" lies on the medium but is not in DiscFiles"},
      {"a listed file that is absent",
       [&] { EditRecord("bad/disc1/install.dat", [](TZarnInstallSet& s) { s.DiscFiles.Add("gone.txt"); }); },
       "disc 1: install.dat: DiscFiles lists \"gone.txt\", which is not on the medium"},
      {"a name the ownership rule refuses",
       [&] {
         EditRecord("bad/disc1/install.dat", [](TZarnInstallSet& s) { s.ProgramFile = "..\\..\\WINDOWS\\x.exe"; });
       },
       "disc 1: install.dat: ProgramFile \"..\\..\\WINDOWS\\x.exe\" is a name the setup program refuses"},
      {"a member whose CRC-32 fails",
       [&] {
         int64_t offset = 0;
         {
           auto m = Machine();
           TVrFileCollection c(*m);
           c.Open("X:\\bad\\disc2\\game.dat");
           const int i = c.IndexOf("scenario\\start.txt");
           ASSERT_GE(i, 0) << "the member lies on disc 2";
           TVrFile* f = c.Files(i);
           offset = f->Offset + f->Size / 2;
         }
         std::fstream f(Path("bad/disc2/game.dat"), std::ios::in | std::ios::out | std::ios::binary);
         f.seekg(offset);
         char b = 0;
         f.read(&b, 1);
         f.seekp(offset);
         b = char(b ^ 0x5A);
         f.write(&b, 1);
       },
       "disc 2: game.dat: member \"scenario\\start.txt\": its stored bytes fail their CRC-32"},
      {"an archive cut short", [&] { fs::resize_file(Path("bad/disc2/game.dat"), 300); },
       "disc 2: game.dat: the archive cannot be read: "},
      {"a picture that does not decode",
       [&] { EditRecord("bad/disc1/install.dat", [](TZarnInstallSet& s) { s.BackImage = "readme.txt"; }); },
       "disc 1: install.dat: BackImage \"readme.txt\" does not decode"},
      {"discs whose titles differ",
       [&] { EditRecord("bad/disc2/install.dat", [](TZarnInstallSet& s) { s.Title = "別のゲーム"; }); },
       u8"disc 2: install.dat: Title \"別のゲーム\" differs from disc 1's \"物語デモ\""},
      {"a record of an installed game",
       [&] { EditRecord("bad/disc1/install.dat", [](TZarnInstallSet& s) { s.Installed = true; }); },
       "disc 1: install.dat: Installed is set"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(Path("bad"));
    fs::copy(Path("good"), Path("bad"), fs::copy_options::recursive);
    c.damage();
    r = Run("check " + Quote(Path("bad")));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    EXPECT_EQ(lines[0].rfind(c.finding, 0), 0u) << lines[0];
  }
  // A disc checked on its own is read the same way.
  r = Run("check " + Quote(Path("good/disc1/setup.exe")));
  EXPECT_EQ(r.status, 0) << r.out;
  r = Run("check " + Quote(Path("nowhere")));
  EXPECT_EQ(r.status, 2);
}

TEST_F(MediumTool, UsageAndDiscSizes) {
  Result help = Run("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* field : {"DIR/medium/", "DIR/archive/", "Separate", "Title", "RegistryKey", "DiscFiles",
                            "DiscProgramSizes", "FilesInArchive", "ImageKey", "HelloText", "LicenseText"})
    EXPECT_TRUE(Has(help.out, field)) << field;
  for (const char* bad : {"build -o x --disc-size 7Q", "build -o x --disc-size 0", "build -o x --update disc",
                          "build -o x --update folder", "check", "check a b", "build --game g --game-exe s -o x"}) {
    Result r = Run(bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_TRUE(Has(r.err, "zarn-medium: ")) << bad << r.err;
  }
  // A disc too small for the setup program, or for one file of the game.
  Result r = Run("build -o x --disc-size 1K");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "leaves no room")) << r.err;
  r = Run("build -o x --disc-size 30K");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "does not fit on one disc")) << r.err;
  EXPECT_FALSE(fs::exists(Path("x")));
}

}  // namespace
}  // namespace zarn
