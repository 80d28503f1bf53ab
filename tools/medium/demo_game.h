// The demo game "物語デモ" as a game folder: what a maker hands to `zarn-medium build`,
// made from nothing but the project.
#pragma once

#include <string>

namespace zarn {

class Platform;

namespace medium {

struct DemoOptions {
  std::string gameExe;          // host path of the demo game's program; empty: a stand-in file
  bool filesInArchive = false;  // the game's own files as separate members of the archive
};

// The settings record's title and registry key of the demo.
extern const char kDemoTitle[];
extern const char kDemoRegistryKey[];

// Writes the game folder `dir` (which must not exist, or be empty): dir/medium/ with the
// plain files, dir/archive/ with the members, and dir/settings.json with what only the
// maker knows. Every file carries the same fixed date, so two runs make the same medium.
void WriteDemoGame(Platform& platform, const std::string& dir, const DemoOptions& options);

}  // namespace medium
}  // namespace zarn
