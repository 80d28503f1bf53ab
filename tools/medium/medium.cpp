#include "medium.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "archive/archive_reader.h"
#include "artwork.h"
#include "launcher/resource_writer.h"
#include "platform/host_path.h"
#include "platform/platform.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"

namespace zarn {
namespace medium {

const char kDemoTitle[] = "物語デモ";
const char kDemoRegistryKey[] = "ZarnDemo\\Story";

namespace {

namespace fs = std::filesystem;

// The key the demo's pictures are scrambled with.
constexpr uint32_t kImageKey = 0x5A41524Eu;

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// A file of the medium: its path relative to the medium (Shift-JIS, backslashes) and bytes.
struct File {
  std::string name;
  std::string data;
};

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

std::string HostName(const std::string& folder, const std::string& name) {
  std::string rel;
  for (char c : name) rel += c == '\\' ? '/' : c;
  return (fs::path(folder) / rel).string();
}

}  // namespace

void BuildMedium(Platform& platform, const MediumOptions& options, std::ostream& log) {
  const fs::path folder(options.folder);
  if (fs::exists(folder) && !(fs::is_directory(folder) && fs::is_empty(folder)))
    throw std::runtime_error(options.folder + " exists and is not empty");
  fs::create_directories(folder);

  const std::string setupProgram = options.setupExe.empty() ? StandIn("the setup program") : ReadHostFile(options.setupExe);
  const std::string gameProgram = options.gameExe.empty() ? StandIn("the demo game") : ReadHostFile(options.gameExe);

  // ---- the game's own files: program component, sound, movie
  const std::vector<File> programFiles = {
      {"install.exe", setupProgram},
      {"story.exe", gameProgram},
      {"readme.txt", Lines({"物語デモ", "", "Zarn エンジンで作られたデモゲームです。",
                            "スタートメニューの「物語デモ」から起動してください。",
                            "削除はスタートメニューの「物語デモのアンインストール」から行えます。"})},
  };
  const std::vector<File> soundFiles = {{"sound\\theme.wav", ChimeWave()}};
  const std::vector<File> movieFiles = {{"movie\\opening.mpg", TinyMovie()}};
  // ---- the data component: members of the archive
  const std::vector<File> dataMembers = {
      {"image\\back.brm", BackgroundPicture(kImageKey)},
      {"image\\chara01.brm", CharacterPicture(kImageKey)},
      {"scenario\\start.txt", Lines({"*start", "「ようこそ、物語の世界へ。」", "@wait 1000", "*end"})},
      {"system\\config.txt", Lines({"width=640", "height=480", "title=物語デモ"})},
      {"zarn.zpb", "ZPB1 story demo project\r\n"},
  };

  TZarnInstallSet s;
  s.Title = kDemoTitle;
  s.SplashText = "Zarn Engine Demo";
  s.DefaultDir = "<ProgramFiles>\\Zarn\\物語デモ";
  s.ReadmeFile = "readme.txt";
  s.OpenReadme = false;
  s.BackImage = "image\\back.brm";
  s.BackLayout = blStretch;
  s.ProgramFile = "story.exe";
  s.ImageKey = kImageKey;
  s.RuntimeSetup = false;
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
  auto total = [](const std::vector<File>& files) {
    int64_t n = 0;
    for (const File& f : files) n += int64_t(f.data.size());
    return n;
  };
  s.SetDiscCount(1);
  s.DiscIndex = 0;
  s.ProgramSize = s.DiscProgramSizes[0] = total(programFiles);
  s.DataSize = s.DiscDataSizes[0] = total(dataMembers);
  s.SoundSize = s.DiscSoundSizes[0] = total(soundFiles);
  s.MovieSize = s.DiscMovieSizes[0] = total(movieFiles);
  std::vector<File> plainFiles;
  for (const auto* group : {&programFiles, &soundFiles, &movieFiles})
    for (const File& f : *group) plainFiles.push_back(f);
  if (!options.filesInArchive)
    for (const File& f : plainFiles) s.DiscFiles.Add(LowerCase(f.name));
  TMemoryStream settings;
  s.SaveToStream(settings);

  // ---- the archive
  const int32_t date = ToDosDateTime({2026, 12, 1, 12, 0, 0});
  TVrFileCollection archive(platform);
  auto add = [&](const File& f, bool separate) {
    auto source = std::make_unique<TMemoryStream>();
    source->WriteBuffer(f.data.data(), int64_t(f.data.size()));
    TVrFile* member = archive.AddFile(f.name);
    member->Source = std::move(source);
    member->FileDate = date;
    member->Separate = separate;
  };
  if (options.form != Form::Files) add({"install.dat", settings.ToString()}, false);
  for (const File& f : dataMembers) add(f, false);
  if (options.filesInArchive)
    for (const File& f : plainFiles) add(f, true);
  TQxBigMemoryStream built;
  if (!archive.WriteArchive(built)) throw std::runtime_error("the archive was not written");
  const std::string archiveBytes = built.Memory().ToString();

  // ---- the medium
  auto made = [&](const std::string& name, size_t size, const std::string& what) {
    log << "  " << platform.SjisToUtf8(name) << "  " << size << " bytes  " << what << "\n";
  };
  log << "medium " << options.folder << "\n";
  const std::string setupPath = HostName(options.folder, "setup.exe");
  switch (options.form) {
    case Form::Files:
      WriteHostFile(setupPath, setupProgram);
      made("setup.exe", setupProgram.size(), "the setup program");
      WriteHostFile(HostName(options.folder, "install.dat"), settings.ToString());
      made("install.dat", size_t(settings.Size()), "settings record");
      WriteHostFile(HostName(options.folder, "game.dat"), archiveBytes);
      made("game.dat", archiveBytes.size(), "archive");
      break;
    case Form::Appended: {
      WriteHostFile(setupPath, setupProgram);
      const std::string archivePath = HostName(options.folder, "setup.arc");
      WriteHostFile(archivePath, archiveBytes);
      AppendArchive(platform, HostPathToWindows(platform, setupPath), HostPathToWindows(platform, archivePath));
      fs::remove(archivePath);
      made("setup.exe", size_t(fs::file_size(setupPath)), "the setup program with the archive appended");
      break;
    }
    case Form::Resource: {
      std::string program = AddPeResource(setupProgram, "DUMMY", "BINTYPE", archiveBytes);
      WriteHostFile(setupPath, program);
      made("setup.exe", program.size(), "the setup program with the archive as its resource");
      break;
    }
  }
  if (!options.filesInArchive)
    for (const File& f : plainFiles) {
      WriteHostFile(HostName(options.folder, platform.SjisToUtf8(f.name)), f.data);
      made(f.name, f.data.size(), "");
    }
  log << "  archive members:";
  for (int i = 0; i < archive.MemberCount(); ++i)
    log << " " << platform.SjisToUtf8(archive.Files(i)->Name()) << (archive.Files(i)->Separate ? "*" : "");
  log << (options.filesInArchive ? "  (* separate files)" : "") << "\n";
}

}  // namespace medium
}  // namespace zarn
