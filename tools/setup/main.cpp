// zarn-setup: runs the setup program on an emulated Windows machine, with the headless
// toolkit and a person who installs with the defaults (--auto). A temporary copy of the
// program that a run starts is followed as the next run, as Windows would run it.
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "auto_user.h"
#include "launcher/command_line.h"
#include "launcher/launcher.h"
#include "launcher/launch_rules.h"
#include "platform/posix/emulated_machine.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/paths.h"
#include "toolkit/headless/glyphs.h"

namespace zarn {
namespace setuptool {
namespace {

const char kUsage[] =  // UTF-8 for the terminal, whatever the program's own code page
    u8"usage: zarn-setup --root MACHINE [--drive D=PATH...] --program 'D:\\setup.exe' [options] [PARAMETER]\n"
    u8"\n"
    u8"Runs the setup program on an emulated Windows machine kept in the host folder MACHINE\n"
    u8"(made the first time: a fresh Windows machine whose C: is MACHINE/drive_c, with its\n"
    u8"registry in MACHINE/system.reg). --drive maps a drive letter to a host folder, such as\n"
    u8"a medium (a CD-ROM drive); --program is the program file as a Windows path, and\n"
    u8"PARAMETER its one command-line parameter. Every window, page and dialog is printed,\n"
    u8"one line each; a started copy of the program (~zinstall....exe) is followed as the\n"
    u8"next run, and any other started program is printed.\n"
    u8"\n"
    u8"Without --auto every window is closed at once. With --auto the person:\n"
    u8"  presses \"インストール\" in the start menu (--start-game: \"ゲームスタート\"),\n"
    u8"  walks the wizard with Next, ticking the licence box,\n"
    u8"  --dir 'C:\\...'            types this destination instead of the proposed one,\n"
    u8"  --components LIST         ticks these of data,sound,movie (default: all offered),\n"
    u8"  --all-discs, --this-disc  chooses the discs (default: as proposed),\n"
    u8"  --disc N=PATH             puts the host folder PATH into drive D: when disc N is asked for,\n"
    u8"  --delete-saves            also deletes the save data when uninstalling,\n"
    u8"  and closes the exit page.\n"
    u8"\n"
    u8"Other options:\n"
    u8"  --screenshots DIR   save a PNG picture of each window and page in DIR\n"
    u8"  --screen WxH        the screen's size (default 1024x768)\n"
    u8"  --not-admin         the user is no administrator\n"
    u8"  --win9x             the machine runs a Windows 9x system\n"
    u8"  --max-runs N        follow at most N runs in all (default 5)\n"
    u8"\n"
    u8"Exit status: 0 when a wizard reached its exit page (with --start-game: when the game\n"
    u8"was started), 1 when the runs ended otherwise, 2 on bad usage.\n";

struct Usage {
  std::string message;
};

struct Options {
  std::string root;
  std::vector<DriveMapping> drives;
  std::string program;  // UTF-8
  std::vector<std::string> params;  // UTF-8
  Choices choices;
  std::string dirUtf8;
  std::map<int, std::string> discs;  // host folders
  TSize screen{1024, 768};
  bool administrator = true, win9x = false;
  int maxRuns = 5;
};

std::string Absolute(const std::string& host) {
  return std::filesystem::absolute(std::filesystem::path(host)).lexically_normal().string();
}

int Number(const std::string& text, const std::string& what) {
  try {
    size_t used = 0;
    int v = std::stoi(text, &used);
    if (used == text.size() && v >= 0) return v;
  } catch (...) {
  }
  throw Usage{what + ": not a number: " + text};
}

Options Parse(int argc, char** argv) {
  Options o;
  std::vector<std::string> args(argv + 1, argv + argc);
  auto value = [&](size_t& i) -> std::string {
    if (i + 1 >= args.size()) throw Usage{args[i] + " needs a value"};
    return args[++i];
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--root") {
      o.root = Absolute(value(i));
    } else if (a == "--drive") {
      std::string v = value(i);
      if (v.size() < 3 || v[1] != '=' || !std::isalpha(static_cast<unsigned char>(v[0])))
        throw Usage{"--drive wants LETTER=PATH, not " + v};
      char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
      if (letter == 'C') throw Usage{"--drive: C: is the machine's own drive"};
      std::string host = Absolute(v.substr(2));
      if (!std::filesystem::is_directory(host)) throw Usage{"--drive: no such folder: " + host};
      o.drives.push_back({letter, host, letter == 'Z' ? uint32_t(dtFixed) : uint32_t(dtCDROM), "ZARN"});
    } else if (a == "--program") {
      o.program = value(i);
    } else if (a == "--auto") {
      o.choices.act = true;
    } else if (a == "--start-game") {
      o.choices.startGame = true;
    } else if (a == "--dir") {
      o.dirUtf8 = value(i);
    } else if (a == "--components") {
      o.choices.componentsGiven = true;
      std::string list = value(i);
      size_t start = 0;
      while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string c = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (c != "data" && c != "sound" && c != "movie" && !c.empty())
          throw Usage{"--components: " + c + " is none of data, sound, movie"};
        if (!c.empty()) o.choices.components.insert(c);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (a == "--all-discs") {
      o.choices.discs = 1;
    } else if (a == "--this-disc") {
      o.choices.discs = 2;
    } else if (a == "--disc") {
      std::string v = value(i);
      size_t eq = v.find('=');
      if (eq == std::string::npos) throw Usage{"--disc wants N=PATH, not " + v};
      std::string host = Absolute(v.substr(eq + 1));
      if (!std::filesystem::is_directory(host)) throw Usage{"--disc: no such folder: " + host};
      o.discs[Number(v.substr(0, eq), "--disc")] = host;
    } else if (a == "--delete-saves") {
      o.choices.deleteSaves = true;
    } else if (a == "--screenshots") {
      o.choices.screenshots = Absolute(value(i));
    } else if (a == "--screen") {
      std::string v = value(i);
      size_t x = v.find('x');
      if (x == std::string::npos) throw Usage{"--screen wants WIDTHxHEIGHT, not " + v};
      o.screen = {Number(v.substr(0, x), "--screen"), Number(v.substr(x + 1), "--screen")};
    } else if (a == "--not-admin") {
      o.administrator = false;
    } else if (a == "--win9x") {
      o.win9x = true;
    } else if (a == "--max-runs") {
      o.maxRuns = Number(value(i), "--max-runs");
    } else if (a.size() > 1 && a[0] == '-' && a.compare(0, 2, "--") == 0) {
      throw Usage{"unknown option " + a};
    } else {
      o.params.push_back(a);
    }
  }
  if (o.root.empty()) throw Usage{"--root is missing"};
  if (o.program.empty()) throw Usage{"--program is missing"};
  if (o.params.size() > 1) throw Usage{"the program takes one parameter at most"};
  return o;
}

int Main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
      std::cout << kUsage;
      return 0;
    }
  Options o;
  try {
    o = Parse(argc, argv);
  } catch (const Usage& u) {
    std::cerr << "zarn-setup: " << u.message << "\n(see zarn-setup --help)\n";
    return 2;
  }
  std::filesystem::create_directories(o.root);
  if (!o.choices.screenshots.empty()) {
    std::filesystem::create_directories(o.choices.screenshots);
    if (!TGlyphFont::Default().Available())
      std::cerr << "zarn-setup: no font at " << TGlyphFont::DefaultPath()
                << " (set ZARN_HEADLESS_FONT): texts in the pictures are drawn as boxes\n";
  }

  MachineOptions mo;
  mo.root = o.root;
  mo.drives = o.drives;
  mo.administrator = o.administrator;
  mo.win9x = o.win9x;
  mo.currentDirectory = "C:\\";

  std::unique_ptr<EmulatedMachine> machine;
  auto boot = [&](const std::string& programFile) {
    machine.reset();
    mo.programFile = programFile;
    machine = std::make_unique<EmulatedMachine>(mo);
  };
  boot("C:\\");  // only for converting the texts given on the command line
  std::string program = machine->Utf8ToSjis(o.program);
  std::vector<std::string> params;
  for (const std::string& p : o.params) params.push_back(machine->Utf8ToSjis(p));
  o.choices.dir = machine->Utf8ToSjis(o.dirUtf8);

  AutoUser user(o.choices, std::cout, o.screen);
  user.ToUtf8 = [&](const std::string& s) { return machine->SjisToUtf8(s); };
  user.InsertDisc = [&](int disc) {
    auto it = o.discs.find(disc);
    if (it == o.discs.end()) {
      std::cout << "  no folder for disc " << disc << " (--disc " << disc << "=PATH)" << std::endl;
      return false;
    }
    std::cout << "  put " << it->second << " into D:" << std::endl;
    return machine->MapDrive({'D', it->second, dtCDROM, "ZARN"});
  };

  bool gameStarted = false;
  for (int run = 1; run <= o.maxRuns; ++run) {
    boot(program);
    if (!machine->FileExists(program)) {
      std::cerr << "zarn-setup: no program file " << o.program << " on the machine\n";
      return 2;
    }
    std::string line = "run " + std::to_string(run) + ": " + machine->SjisToUtf8(program);
    for (const std::string& p : params) line += " " + machine->SjisToUtf8(QuoteParameter(p));
    std::cout << line << std::endl;

    const size_t logged = machine->ShellLog().size();
    TLaunchEnd end;
    std::string runFile, runParams;
    {
      TApplication app(*machine, user);
      TLauncher launcher(app, params);
      launcher.SetPause([](uint32_t) {});  // nobody waits for the emulated shell
      try {
        launcher.Run();
      } catch (const EScriptFailure& e) {
        std::cout << "  the run was given up: " << e.what() << std::endl;
        return 1;
      }
      end = launcher.End();
      runFile = launcher.RunFile();
      runParams = launcher.RunParams();
    }
    std::vector<ShellRequest> started = machine->ShellLog();
    for (size_t i = logged; i < started.size(); ++i) {
      const ShellRequest& r = started[i];
      std::cout << "started " << machine->SjisToUtf8(r.file)
                << (r.parameters.empty() ? "" : " " + machine->SjisToUtf8(r.parameters)) << " (result " << r.result
                << ")" << std::endl;
      if (end == TLaunchEnd::StartChosen && r.file == runFile && r.result > 32) gameStarted = true;
    }
    if (end != TLaunchEnd::CopyMade || !IsTemporaryCopy(runFile, machine->TempPath())) break;
    // Windows runs the copy next, with the parameters as its command line carries them.
    program = runFile;
    params = SplitCommandLine(QuoteParameter(runFile) + " " + runParams);
    params.erase(params.begin());
    if (run == o.maxRuns) std::cout << "not following: --max-runs " << o.maxRuns << " reached" << std::endl;
  }
  bool ok = o.choices.startGame ? gameStarted : user.ExitPageReached();
  std::cout << (ok ? "finished" : "not finished") << std::endl;
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace setuptool
}  // namespace zarn

int main(int argc, char** argv) {
  try {
    return zarn::setuptool::Main(argc, argv);
  } catch (const zarn::EZarnError& e) {  // the program's own messages are Shift-JIS
    std::cerr << "zarn-setup: " << zarn::HostUtf8(e.Message()) << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "zarn-setup: " << e.what() << "\n";
    return 1;
  }
}
