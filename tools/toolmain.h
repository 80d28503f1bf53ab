// The frame the command-line tools with subcommands share: usage on no arguments (exit
// 2) or --help (exit 0), the command run on the host machine, and any error ending as
// one line "tool: message" on standard error with exit status 2 (or a Failure's own).
#pragma once

#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/error.h"

namespace zarn {
namespace tools {

// A usage or input error, its message in UTF-8, and the exit status it ends the tool with.
struct Failure {
  std::string message;
  int status = 2;
};

inline bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

// Line breaks folded, so an error stays one line.
inline std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

using Command = std::function<int(Platform&, const std::vector<std::string>&)>;

inline int RunCommands(const std::string& tool, const char* usage, int argc, char** argv,
                       const std::map<std::string, Command>& commands) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << usage;
    return 2;
  }
  if (IsHelp(args[0])) {
    std::cout << usage;
    return 0;
  }
  std::unique_ptr<Platform> platform;
  try {
    platform = CreateHostPlatform();
    auto command = commands.find(args[0]);
    if (command == commands.end()) throw Failure{"unknown command " + args[0] + " (see '" + tool + " --help')"};
    return command->second(*platform, std::vector<std::string>(args.begin() + 1, args.end()));
  } catch (const Failure& f) {
    std::cerr << tool << ": " << OneLine(f.message) << "\n";
    return f.status;
  } catch (const EZarnError& e) {
    std::string m = HostUtf8(e.Message());
    std::cerr << tool << ": " << OneLine(m) << "\n";
  } catch (const std::exception& e) {
    std::cerr << tool << ": " << OneLine(e.what()) << "\n";
  }
  return 2;
}

}  // namespace tools
}  // namespace zarn
