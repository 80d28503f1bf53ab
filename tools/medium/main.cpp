// zarn-medium: makes a game's medium (one disc, several, or an update) from a game folder
// and a settings file, checks any medium as the setup program would read it, makes the
// demo game, and writes an archive into a copy of a setup program as its resource.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "builder.h"
#include "checker.h"
#include "demo_game.h"
#include "common/resource_writer.h"
#include "platform/pe_resources.h"
#include "platform/platform.h"
#include "runtime/error.h"

namespace zarn {
namespace medium {
namespace {

namespace fs = std::filesystem;

const char kUsage[] =  // UTF-8 for the terminal, whatever the program's own code page
    u8"usage: zarn-medium build --game DIR [--settings FILE.json] -o OUT [options]\n"
    u8"       zarn-medium build -o OUT [options]            (the demo game \"物語デモ\")\n"
    u8"       zarn-medium check MEDIUM\n"
    u8"       zarn-medium demo DIR [--game-exe FILE] [--files-in-archive]\n"
    u8"       zarn-medium embed PROGRAM ARCHIVE -o FILE\n"
    u8"\n"
    u8"Making and checking a medium in three lines:\n"
    u8"  zarn-medium demo mygame                     # a game folder to start from\n"
    u8"  zarn-medium build --game mygame -o cd       # cd/setup.exe and the game's files\n"
    u8"  zarn-medium check cd                        # what would go wrong on a player's machine\n"
    u8"\n"
    u8"build: makes the medium OUT (which must not exist, or be empty): the settings record\n"
    u8"install.dat, the archive (install.dat, the data members, the separate members) carried\n"
    u8"by setup.exe, and the plain files beside it. The medium made is checked as 'check'\n"
    u8"does; nothing is left in OUT when it fails.\n"
    u8"  --game DIR          the game folder:\n"
    u8"                        DIR/medium/   plain files of the medium, copied as they are: the\n"
    u8"                                      game's program, its read-me, sound\\ and movie\\\n"
    u8"                                      folders; each is listed in DiscFiles. install.exe\n"
    u8"                                      (the uninstaller the Start menu runs) is added: a\n"
    u8"                                      copy of the setup program. directx\\, winmedia\\\n"
    u8"                                      and autorun.inf go on disc 1 as they are, unlisted\n"
    u8"                        DIR/archive/  the archive's members; folders become \\ in names\n"
    u8"                                      (DIR/archive/image/back.brm is image\\back.brm)\n"
    u8"  --settings FILE     the settings, JSON (default DIR/settings.json); see below\n"
    u8"  --setup-exe FILE    the setup program to use (the win32 build's setup.exe); without\n"
    u8"                      it a stand-in file that runs only on the emulated machine\n"
    u8"  --form appended     the archive appended to setup.exe (the default)\n"
    u8"  --form resource     the archive as setup.exe's resource \"DUMMY\" of type \"BINTYPE\"\n"
    u8"  --form files        install.dat and game.dat beside a plain setup.exe\n"
    u8"  --disc-size SIZE    splits the game over as many discs of SIZE bytes as needed\n"
    u8"                      (650M, 700M, 4.7G, 64K: K, M, G are 1024, 1024², 1024³), written\n"
    u8"                      to OUT/disc1, OUT/disc2, …: disc 1 holds setup.exe in the form\n"
    u8"                      chosen, every later disc install.dat and game.dat; each has its own\n"
    u8"                      DiscIndex, DiscFiles, plain files and archive\n"
    u8"  --update folder|bundle --installed GAMEDIR\n"
    u8"                      an update (UpdateMode set) of the game installed in GAMEDIR, in a\n"
    u8"                      folder (game.dat, game.ext) or as a program with its archive\n"
    u8"                      appended: it carries only the members new to GAMEDIR or newer\n"
    u8"                      (by file date) than the installed ones, and the plain files that\n"
    u8"                      differ from the installed ones; a bundled game's new program goes\n"
    u8"                      in as the member of its name, from which the update rebuilds it\n"
    u8"  --no-progress       no progress bar (it is drawn only on a terminal anyway)\n"
    u8"Without --game the demo game is made (as 'demo' does) and built, with these too:\n"
    u8"  --game-exe FILE     the demo game's program (the win32 build's story.exe)\n"
    u8"  --files-in-archive  the demo's own files as separate members of the archive\n"
    u8"\n"
    u8"FILE.json holds what only the maker knows, one object with the field names that\n"
    u8"'zarn-instdat dump' prints (texts in UTF-8, stored as Shift-JIS); a dump of an existing\n"
    u8"medium's record is a valid start. Fields left out take a new record's value (empty, 0,\n"
    u8"false):\n"
    u8"  Title          the game's title: window captions, program group, identity for updates\n"
    u8"  RegistryKey    key below HKEY_CURRENT_USER\\Software (not one of the system's)\n"
    u8"  DefaultDir     proposed folder; may begin with <ProgramFiles>\n"
    u8"  ProgramFile    the game's program, relative to the game's folder\n"
    u8"  ReadmeFile     the read-me, relative to the game's folder (\"\": none)\n"
    u8"  OpenReadme     open the read-me after installing\n"
    u8"  BackImage      the archive member with the start menu's picture (.brm; \"\": none)\n"
    u8"  BackLayout     0 centred, 1 stretched, 2 tiled\n"
    u8"  ImageKey       the key the picture is scrambled with\n"
    u8"  SplashText     text at the bottom right of the splash window\n"
    u8"  SetupCaption   the splash window's caption (\"\": Title + \"のセットアップ\")\n"
    u8"  HelloText      the welcome page (\"\": no page); LicenseText  the licence (\"\": no page)\n"
    u8"  MediaName      the word for one disc in the wizard's texts\n"
    u8"  InstallKind    0 normal, 1 full (no disc or component page), 2 into the Windows folder\n"
    u8"  RuntimeSetup   offer the DirectX and media player setups of the medium\n"
    u8"  FilesInArchive the game's files are separate members (DIR/medium/ then stays empty)\n"
    u8"  ReservedFlag   kept as given\n"
    u8"  UpdateMode     an update package (--update sets it)\n"
    u8"  Separate       [names]: members of DIR/archive/ installed as files of their own\n"
    u8"                 (needs FilesInArchive)\n"
    u8"Derived from the files (leave them out; a value given that disagrees is an error):\n"
    u8"  DiscCount, DiscIndex (0), DiscFiles (the plain files, lower case), DiscProgramSizes,\n"
    u8"  DiscDataSizes, DiscSoundSizes, DiscMovieSizes (bytes per disc: program = plain or\n"
    u8"  separate files other than sound .mp2 .mp3 .wma .wav .mid .ogg and movie .avi .wmv\n"
    u8"  .asf .mpg .mpeg; data = the data members as files), ProgramSize, DataSize,\n"
    u8"  SoundSize, MovieSize (all discs). Installed, DataInstalled and InstalledFiles belong\n"
    u8"  to an installed game and are refused. Example:\n"
    u8"    {\n"
    u8"      \"Title\": \"物語\",\n"
    u8"      \"RegistryKey\": \"ZarnSoft\\\\Monogatari\",\n"
    u8"      \"DefaultDir\": \"<ProgramFiles>\\\\ZarnSoft\\\\物語\",\n"
    u8"      \"ProgramFile\": \"monogatari.exe\",\n"
    u8"      \"ReadmeFile\": \"readme.txt\",\n"
    u8"      \"BackImage\": \"setup\\\\back.brm\", \"BackLayout\": 1, \"ImageKey\": 20040601,\n"
    u8"      \"MediaName\": \"CD-ROM\", \"InstallKind\": 0,\n"
    u8"      \"HelloText\": \"「物語」のセットアップへようこそ。\",\n"
    u8"      \"LicenseText\": \"使用許諾契約書 ...\"\n"
    u8"    }\n"
    u8"\n"
    u8"check: reads MEDIUM (a disc's folder or its setup.exe, or a folder of disc1/, disc2/,\n"
    u8"…) as the setup program would, and prints one line (UTF-8) for each thing that would\n"
    u8"go wrong on a player's machine: sizes in install.dat that disagree with the files,\n"
    u8"plain files missing from DiscFiles or listed there but absent, names the ownership\n"
    u8"rule refuses, members whose CRC-32 fails or that cannot be unpacked, a BackImage that\n"
    u8"does not decode, discs whose titles, keys, counts or sizes differ, a record of an\n"
    u8"installed game, separate members or plain files the install never takes.\n"
    u8"\n"
    u8"demo: writes the demo game's folder DIR (medium/, archive/, settings.json).\n"
    u8"\n"
    u8"embed: writes FILE, a copy of the program PROGRAM holding the archive ARCHIVE as its\n"
    u8"resource \"DUMMY\" of type \"BINTYPE\"; the program's other resources are kept.\n"
    u8"\n"
    u8"Exit status: 0 on success (check: nothing found), 1 when check finds anything or the\n"
    u8"medium cannot be made, 2 on bad usage or input.\n";

struct Usage {
  std::string message;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own for the demo game, removed when done.
struct TempFolder {
  std::string path;
  TempFolder() {
    // create_directory is false for a name that exists: try the next until one is new.
    const fs::path base = fs::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path.empty(); ++attempt) {
      fs::path p = base / ("zarn-medium-" + std::to_string(random()));
      if (fs::create_directory(p)) path = p.string();
    }
    if (path.empty()) throw std::runtime_error("cannot make a temporary folder in " + base.string());
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

int Build(Platform& platform, const std::vector<std::string>& args) {
  BuildOptions o;
  DemoOptions demo;
  bool demoOption = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw Usage{a + " needs a value"};
      return args[++i];
    };
    if (a == "-o") {
      o.out = value();
    } else if (a == "--game") {
      o.gameDir = value();
    } else if (a == "--settings") {
      o.settingsFile = value();
    } else if (a == "--setup-exe") {
      o.setupExe = value();
    } else if (a == "--game-exe") {
      demo.gameExe = value();
      demoOption = true;
    } else if (a == "--form") {
      std::string f = value();
      if (f == "appended")
        o.form = Form::Appended;
      else if (f == "resource")
        o.form = Form::Resource;
      else if (f == "files")
        o.form = Form::Files;
      else
        throw Usage{"--form is appended, resource or files, not " + f};
    } else if (a == "--disc-size") {
      try {
        o.discSize = ParseSize(value());
      } catch (const BuildError& e) {
        throw Usage{e.what()};
      }
    } else if (a == "--update") {
      std::string u = value();
      if (u == "folder")
        o.update = Update::Folder;
      else if (u == "bundle")
        o.update = Update::Bundle;
      else
        throw Usage{"--update is folder or bundle, not " + u};
    } else if (a == "--installed") {
      o.installed = value();
    } else if (a == "--files-in-archive") {
      demo.filesInArchive = true;
      demoOption = true;
    } else if (a == "--no-progress") {
      o.progress = false;
    } else {
      throw Usage{"build: unexpected " + a};
    }
  }
  if (o.out.empty()) throw Usage{"build: -o OUT is missing"};
  if (o.form == Form::Resource && o.setupExe.empty())
    throw Usage{"build: --form resource needs the real setup program (--setup-exe)"};
  if (o.update != Update::None && o.installed.empty())
    throw Usage{"build: --update needs the installed game's folder (--installed GAMEDIR)"};
  if (o.update == Update::None && !o.installed.empty()) throw Usage{"build: --installed goes with --update"};
  if (!o.gameDir.empty()) {
    if (demoOption) throw Usage{"build: --game-exe and --files-in-archive belong to the demo (no --game)"};
    if (o.settingsFile.empty()) o.settingsFile = (fs::path(o.gameDir) / "settings.json").string();
    BuildMedium(platform, o, std::cout);
    return 0;
  }
  if (!o.settingsFile.empty()) throw Usage{"build: --settings goes with --game"};
  // The demo: its game folder made afresh, then built as any other game.
  if (fs::exists(o.out) && !(fs::is_directory(o.out) && fs::is_empty(o.out)))
    throw std::runtime_error(o.out + " exists and is not empty");
  TempFolder temp;
  o.gameDir = temp.path + "/game";
  o.settingsFile = o.gameDir + "/settings.json";
  WriteDemoGame(platform, o.gameDir, demo);
  BuildMedium(platform, o, std::cout);
  return 0;
}

int Check(Platform& platform, const std::vector<std::string>& args) {
  std::string medium;
  bool progress = true;
  for (const std::string& a : args) {
    if (a == "--no-progress") {
      progress = false;
    } else if (a.size() > 1 && a[0] == '-') {
      throw Usage{"check: unknown option " + a};
    } else {
      if (!medium.empty()) throw Usage{"check: one MEDIUM, please"};
      medium = a;
    }
  }
  if (medium.empty()) throw Usage{"check: MEDIUM is missing"};
  if (!fs::exists(medium)) throw Usage{"check: " + medium + ": no such file or folder"};
  std::vector<std::string> findings;
  try {
    findings = CheckMedium(platform, medium, progress);
  } catch (const std::runtime_error& e) {
    throw Usage{"check: " + std::string(e.what())};
  }
  for (const std::string& f : findings) std::cout << f << "\n";
  if (findings.empty()) {
    std::cout << medium << ": nothing found\n";
    return 0;
  }
  std::cerr << medium << ": " << findings.size() << (findings.size() == 1 ? " finding" : " findings") << "\n";
  return 1;
}

int Demo(Platform& platform, const std::vector<std::string>& args) {
  DemoOptions demo;
  std::string dir;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--game-exe") {
      if (i + 1 >= args.size()) throw Usage{"--game-exe needs a value"};
      demo.gameExe = args[++i];
    } else if (args[i] == "--files-in-archive") {
      demo.filesInArchive = true;
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw Usage{"demo: unknown option " + args[i]};
    } else {
      if (!dir.empty()) throw Usage{"demo: one DIR, please"};
      dir = args[i];
    }
  }
  if (dir.empty()) throw Usage{"demo: DIR is missing"};
  WriteDemoGame(platform, dir, demo);
  std::cout << dir << u8": the demo game \"物語デモ\" (medium/, archive/, settings.json)\n";
  return 0;
}

int Embed(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  std::string out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) throw Usage{"-o needs a value"};
      out = args[++i];
    } else if (args[i].size() > 1 && args[i][0] == '-') {
      throw Usage{"embed: unknown option " + args[i]};
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2 || out.empty()) throw Usage{"embed wants PROGRAM ARCHIVE -o FILE"};
  std::string archive = Read(files[1]);
  if (archive.size() < 2 || archive.compare(0, 2, "vf") != 0)
    throw std::runtime_error(files[1] + " is no archive (it does not begin with \"vf\")");
  std::string image = AddPeResource(Read(files[0]), "DUMMY", "BINTYPE", archive);
  std::string check;
  if (!FindPeResource(image, "DUMMY", "BINTYPE", check) || check != archive)
    throw std::runtime_error("the resource written cannot be read back");
  std::ofstream o(out, std::ios::binary | std::ios::trunc);
  o.write(image.data(), std::streamsize(image.size()));
  if (!o) throw std::runtime_error("cannot write " + out);
  std::cout << out << ": " << image.size() << " bytes, resource DUMMY/BINTYPE of " << archive.size() << " bytes\n";
  return 0;
}

std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace
}  // namespace medium
}  // namespace zarn

int main(int argc, char** argv) {
  using namespace zarn;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::cout << medium::kUsage;
      return 0;
    }
  std::unique_ptr<Platform> platform;
  try {
    platform = CreateHostPlatform();
    if (args.empty()) throw medium::Usage{"a command is missing"};
    std::string command = args[0];
    args.erase(args.begin());
    if (command == "build") return medium::Build(*platform, args);
    if (command == "check") return medium::Check(*platform, args);
    if (command == "demo") return medium::Demo(*platform, args);
    if (command == "embed") return medium::Embed(args);
    throw medium::Usage{"unknown command " + command};
  } catch (const medium::Usage& u) {
    std::cerr << "zarn-medium: " << medium::OneLine(u.message) << "\n(see zarn-medium --help)\n";
    return 2;
  } catch (const medium::BuildError& e) {
    std::cerr << "zarn-medium: " << e.what() << "\n";
    return 2;
  } catch (const EZarnError& e) {
    std::cerr << "zarn-medium: " << medium::OneLine(HostUtf8(e.Message())) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "zarn-medium: " << e.what() << "\n";
    return 1;
  }
}
