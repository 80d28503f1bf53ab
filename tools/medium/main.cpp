// zarn-medium: makes the demo game's medium, and writes an archive into a copy of a setup
// program as its resource.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "launcher/resource_writer.h"
#include "medium.h"
#include "platform/pe_resources.h"
#include "platform/platform.h"
#include "runtime/error.h"

namespace zarn {
namespace medium {
namespace {

const char kUsage[] =  // UTF-8 for the terminal, whatever the program's own code page
    u8"usage: zarn-medium build -o FOLDER [--setup-exe FILE] [--game-exe FILE]\n"
    u8"                         [--form appended|resource|files] [--files-in-archive]\n"
    u8"       zarn-medium embed PROGRAM ARCHIVE -o FILE\n"
    u8"\n"
    u8"build: makes the medium of the demo game \"物語デモ\" in FOLDER (which must not exist or\n"
    u8"be empty): the setup program setup.exe carrying the archive (install.dat, pictures,\n"
    u8"scenario, project file), and beside it install.exe, the game story.exe, readme.txt,\n"
    u8"sound\\theme.wav and movie\\opening.mpg.\n"
    u8"  --setup-exe FILE   the setup program to use (the win32 build's setup.exe); without\n"
    u8"                     it a stand-in file that runs only on the emulated machine\n"
    u8"  --game-exe FILE    the demo game's program (the win32 build's story.exe); the same\n"
    u8"  --form appended    the archive appended to setup.exe (the default)\n"
    u8"  --form resource    the archive as setup.exe's resource \"DUMMY\" of type \"BINTYPE\"\n"
    u8"  --form files       install.dat and game.dat beside a plain setup.exe\n"
    u8"  --files-in-archive the game's files as separate members of the archive, none beside it\n"
    u8"\n"
    u8"embed: writes FILE, a copy of the program PROGRAM holding the archive ARCHIVE as its\n"
    u8"resource \"DUMMY\" of type \"BINTYPE\"; the program's other resources are kept.\n"
    u8"\n"
    u8"Exit status: 0 on success, 1 when the result cannot be made, 2 on bad usage.\n";

struct Usage {
  std::string message;
};

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Build(Platform& platform, const std::vector<std::string>& args) {
  MediumOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw Usage{a + " needs a value"};
      return args[++i];
    };
    if (a == "-o") {
      o.folder = value();
    } else if (a == "--setup-exe") {
      o.setupExe = value();
    } else if (a == "--game-exe") {
      o.gameExe = value();
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
    } else if (a == "--files-in-archive") {
      o.filesInArchive = true;
    } else {
      throw Usage{"build: unexpected " + a};
    }
  }
  if (o.folder.empty()) throw Usage{"build: -o FOLDER is missing"};
  if (o.form == Form::Resource && o.setupExe.empty())
    throw Usage{"build: --form resource needs the real setup program (--setup-exe)"};
  BuildMedium(platform, o, std::cout);
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
    if (command == "embed") return medium::Embed(args);
    throw medium::Usage{"unknown command " + command};
  } catch (const medium::Usage& u) {
    std::cerr << "zarn-medium: " << u.message << "\n(see zarn-medium --help)\n";
    return 2;
  } catch (const EZarnError& e) {
    std::cerr << "zarn-medium: " << HostUtf8(e.Message()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "zarn-medium: " << e.what() << "\n";
    return 1;
  }
}
