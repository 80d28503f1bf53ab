// The demo medium: everything a CD of the demo game "物語デモ" holds, made from nothing
// but the project.
#pragma once

#include <ostream>
#include <string>

namespace zarn {

class Platform;

namespace medium {

enum class Form {
  Appended,  // setup.exe with the archive appended (settings inside it)
  Resource,  // setup.exe with the archive as its resource "DUMMY" of type "BINTYPE"
  Files,     // setup.exe, install.dat and game.dat side by side
};

struct MediumOptions {
  std::string folder;     // host folder to make (must not exist, or be empty)
  std::string setupExe;   // host path of the setup program; empty: a stand-in file
  std::string gameExe;    // host path of the demo game's program; empty: a stand-in file
  Form form = Form::Appended;
  bool filesInArchive = false;  // the game's own files as separate members of the archive
};

// The settings record's title and registry key of the demo.
extern const char kDemoTitle[];
extern const char kDemoRegistryKey[];

// Makes the medium; every file made is listed on `log` (UTF-8). Raises EZarnError (with a
// Shift-JIS message) or std::runtime_error when something cannot be made.
void BuildMedium(Platform& platform, const MediumOptions& options, std::ostream& log);

}  // namespace medium
}  // namespace zarn
