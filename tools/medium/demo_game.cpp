#include "demo_game.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "artwork.h"
#include "instdat/record_json.h"
#include "platform/platform.h"
#include "settings/install_settings.h"

namespace zarn {
namespace medium {

const char kDemoTitle[] = "物語デモ";
const char kDemoRegistryKey[] = "ZarnDemo\\Story";

namespace {

namespace fs = std::filesystem;

// The key the demo's pictures are scrambled with.
constexpr uint32_t kImageKey = 0x5A41524Eu;

std::string StandIn(const std::string& what) {
  return "MZ\r\nThis is a stand-in for " + what +
         ". Build the win32 preset and pass the real program to zarn-medium to get one that runs "
         "on Windows.\r\n";
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* l : lines) out += std::string(l) + "\r\n";
  return out;
}

// 2026-12-01 12:00 local time, the date every file of the demo carries.
fs::file_time_type DemoDate() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 1;
  t.tm_hour = 12;
  t.tm_isdst = -1;
  auto system = std::chrono::system_clock::from_time_t(std::mktime(&t));
  return fs::file_time_type::clock::now() +
         std::chrono::duration_cast<fs::file_time_type::duration>(system - std::chrono::system_clock::now());
}

struct File {
  std::string name;  // UTF-8, "/" between folders
  std::string data;
};

void Write(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

void WriteDemoGame(Platform& platform, const std::string& dir, const DemoOptions& options) {
  const fs::path root(dir);
  if (fs::exists(root) && !(fs::is_directory(root) && fs::is_empty(root)))
    throw std::runtime_error(dir + " exists and is not empty");
  std::string gameProgram = StandIn("the demo game");
  if (!options.gameExe.empty()) {
    std::ifstream in(options.gameExe, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + options.gameExe);
    gameProgram.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // The game's own files (program, read-me, sound, movie) and the archive's members.
  const std::vector<File> plain = {
      {"story.exe", gameProgram},
      {"readme.txt", Lines({"物語デモ", "", "Zarn エンジンで作られたデモゲームです。",
                            "スタートメニューの「物語デモ」から起動してください。",
                            "削除はスタートメニューの「物語デモのアンインストール」から行えます。"})},
      {"sound/theme.wav", ChimeWave()},
      {"movie/opening.mpg", TinyMovie()},
  };
  const std::vector<File> members = {
      {"image/back.brm", BackgroundPicture(kImageKey)},
      {"image/chara01.brm", CharacterPicture(kImageKey)},
      {"scenario/start.txt", Lines({"*start", "「ようこそ、物語の世界へ。」", "@wait 1000", "*end"})},
      {"system/config.txt", Lines({"width=640", "height=480", "title=物語デモ"})},
      {"zarn.zpb", "ZPB1 story demo project\r\n"},
  };
  const fs::file_time_type date = DemoDate();
  auto put = [&](const fs::path& path, const std::string& data) {
    Write(path, data);
    fs::last_write_time(path, date);
  };
  fs::create_directories(root / "medium");
  for (const File& f : plain) put(root / (options.filesInArchive ? "archive" : "medium") / f.name, f.data);
  for (const File& f : members) put(root / "archive" / f.name, f.data);

  TZarnInstallSet s;
  s.Title = kDemoTitle;
  s.SplashText = "Zarn Engine Demo";
  s.DefaultDir = "<ProgramFiles>\\Zarn\\物語デモ";
  s.ReadmeFile = "readme.txt";
  s.BackImage = "image\\back.brm";
  s.BackLayout = blStretch;
  s.ProgramFile = "story.exe";
  s.ImageKey = kImageKey;
  s.MediaName = "CD-ROM";
  s.RegistryKey = kDemoRegistryKey;
  s.InstallKind = ikNormal;
  s.FilesInArchive = options.filesInArchive;
  s.HelloText = Lines({"物語デモのセットアップへようこそ。", "",
                       "このプログラムは、Zarn エンジンで作られたデモゲーム「物語デモ」を",
                       "コンピュータにインストールします。", "",
                       "続けるには [次へ] をクリックしてください。"});
  s.LicenseText = Lines({"使用許諾契約書", "", "1. このデモゲームは、どなたでも無料で試用できます。",
                         "2. 収録されている画像と音声は、デモのために作られたものです。",
                         "3. 作者は、このソフトウェアの使用によって生じたいかなる損害にも責任を負いません。", "",
                         "上記に同意される場合のみ、インストールを続けてください。"});
  // Only what the maker knows: the builder derives the rest from the files.
  instdat::Json json = instdat::RecordToJson(platform, s, 108);
  for (const char* derived : {"Version", "DiscCount", "InstalledFiles", "DiscIndex", "DiscProgramSizes",
                              "DiscDataSizes", "DiscSoundSizes", "DiscMovieSizes", "ProgramSize", "DataSize",
                              "SoundSize", "MovieSize", "Installed", "UpdateMode", "DataInstalled", "DiscFiles"})
    json.erase(derived);
  if (options.filesInArchive) {
    instdat::Json separate = instdat::Json::array();
    for (const File& f : plain) {
      std::string name = f.name;  // ASCII
      for (char& c : name)
        if (c == '/') c = '\\';
      separate.push_back(name);
    }
    json["Separate"] = separate;
  }
  Write(root / "settings.json", json.dump(2) + "\n");
}

}  // namespace medium
}  // namespace zarn
