// Making a medium from a game folder and a settings file: the settings record with every
// field the files decide computed (sizes per disc and in all, DiscFiles, DiscCount,
// DiscIndex), the archive packed, carried in the chosen form, and the discs laid out.
#pragma once

#include <cstdint>
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

enum class Update {
  None,    // a medium that installs the game
  Folder,  // an update of a game installed in a folder (game.dat and game.ext)
  Bundle,  // an update of a game installed as a program with its archive appended
};

struct BuildOptions {
  std::string gameDir;       // host folder holding medium/ and archive/
  std::string settingsFile;  // host path of the settings JSON
  std::string out;           // host folder to make (must not exist, or be empty)
  std::string setupExe;      // host path of the setup program; empty: a stand-in file
  Form form = Form::Appended;
  int64_t discSize = 0;  // bytes one disc holds; 0: everything on one disc
  Update update = Update::None;
  std::string installed;  // host folder of the installed game an update is made against
  bool progress = true;   // a progress bar on standard error when it is a terminal
};

// Bad input (a settings file that disagrees with the files, a name that cannot be used):
// the message is UTF-8 and names the file.
class BuildError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Makes the medium: OUT itself for one disc, OUT/disc1, OUT/disc2, … for several. Every
// file made is listed on `log` (UTF-8). Raises BuildError, EZarnError (a Shift-JIS
// message) or std::runtime_error; nothing is left in OUT then.
void BuildMedium(Platform& platform, const BuildOptions& options, std::ostream& log);

// "650M", "700M", "4.7G", "64K", "1000": bytes (K, M, G are powers of 1024). Raises
// BuildError on anything else.
int64_t ParseSize(const std::string& text);

}  // namespace medium
}  // namespace zarn
