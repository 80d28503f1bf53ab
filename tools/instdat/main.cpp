// zarn-instdat: shows a settings record (install.dat) as JSON and builds one from JSON.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "common/host_path.h"
#include "platform/platform.h"
#include "record_json.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "toolmain.h"
#include "settings/install_settings.h"

namespace zarn {
namespace instdat {
namespace {

const char kUsage[] =
    "usage: zarn-instdat dump FILE\n"
    "       zarn-instdat make JSON -o FILE\n"
    "\n"
    "Shows a settings record (install.dat) as JSON, or writes one from JSON.\n"
    "Run 'zarn-instdat dump --help' or 'zarn-instdat make --help' for details.\n";

const char kDumpUsage[] =
    "usage: zarn-instdat dump FILE\n"
    "\n"
    "Prints the settings record FILE as one JSON object (UTF-8). FILE may also be a program\n"
    "(.exe, .scr) carrying an archive, appended or as a resource: its install.dat is read.\n"
    "The keys are \"Version\" (the format version read; 0 for a file without header) and\n"
    "the record's fields in declared order. Texts are converted from Shift-JIS; the flags\n"
    "OpenReadme,\n"
    "RuntimeSetup, Installed, UpdateMode, DataInstalled and FilesInArchive are booleans;\n"
    "the per-disc sizes, InstalledFiles and DiscFiles are arrays.\n"
    "\n"
    "Exit status: 0 on success, 2 on bad usage or a missing or damaged file.\n";

const char kMakeUsage[] =
    "usage: zarn-instdat make JSON -o FILE\n"
    "\n"
    "Writes FILE as a version-108 settings record from JSON (a file, or - for standard\n"
    "input), in the form 'dump' prints. Keys left out take the values of a new record;\n"
    "\"Version\" is accepted and ignored. Without \"DiscCount\" the per-disc arrays give the\n"
    "number of discs; every per-disc array given must have one entry per disc. Texts must\n"
    "be representable in Shift-JIS (code page 932).\n"
    "\n"
    "Exit status: 0 on success, 2 on bad usage, bad JSON or a file that cannot be written.\n";

using tools::Failure;
using tools::IsHelp;

// Reads the record from a settings file, or from the archive a program carries (appended,
// or else as its resource), as the setup program finds it. Returns the version read.
int LoadRecord(Platform& platform, const std::string& hostPath, TZarnInstallSet& record) {
  const std::string path = HostPathToWindows(platform, hostPath);
  const std::string ext = UpperCase(path.substr(path.size() >= 4 ? path.size() - 4 : 0));
  if (ext != ".EXE" && ext != ".SCR") return record.LoadFromFile(platform, path);
  if (!platform.FileExists(path)) throw Failure{hostPath + ": no such file"};
  TVrFileCollection archive(platform);
  if (HasAppendedArchive(platform, path)) {
    archive.Open(path);
  } else {
    try {
      archive.OpenResource(path, "DUMMY", "BINTYPE");
    } catch (const EZarnError&) {
      throw Failure{hostPath + ": this program carries no archive (appended or as a resource)"};
    }
  }
  if (!archive.Stream()) throw Failure{hostPath + ": this program carries no archive (appended or as a resource)"};
  TMemoryStream stream;
  archive.ExtractToStream(stream, "install.dat");
  return record.LoadFromStream(stream);
}

int Dump(Platform& platform, const std::vector<std::string>& args) {
  std::string file;
  for (const std::string& a : args) {
    if (IsHelp(a)) {
      std::cout << kDumpUsage;
      return 0;
    }
    if (a.size() > 1 && a[0] == '-') throw Failure{"dump: unknown option " + a};
    if (!file.empty()) throw Failure{"dump: only one FILE, please"};
    file = a;
  }
  if (file.empty()) throw Failure{"dump: FILE is missing (see 'zarn-instdat dump --help')"};

  TZarnInstallSet record;
  int version = 0;
  try {
    version = LoadRecord(platform, file, record);
  } catch (const EZarnError& e) {
    throw Failure{file + ": " + platform.SjisToUtf8(e.Message())};
  }
  std::cout << RecordToJson(platform, record, version).dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
  return 0;
}

int Make(Platform& platform, const std::vector<std::string>& args) {
  std::string input, output;
  bool haveInput = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      std::cout << kMakeUsage;
      return 0;
    }
    if (a == "-o" || a == "--output") {
      if (i + 1 >= args.size()) throw Failure{"make: " + a + " needs a FILE"};
      output = args[++i];
    } else if (a.rfind("--output=", 0) == 0) {
      output = a.substr(9);
    } else if (a.size() > 1 && a[0] == '-') {
      throw Failure{"make: unknown option " + a};
    } else if (haveInput) {
      throw Failure{"make: only one JSON input, please"};
    } else {
      input = a;
      haveInput = true;
    }
  }
  if (!haveInput || input.empty()) throw Failure{"make: JSON is missing (see 'zarn-instdat make --help')"};
  if (output.empty()) throw Failure{"make: -o FILE is missing"};

  std::string text;
  if (input == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    try {
      TMemoryStream m;
      LoadFileToStream(platform, HostPathToWindows(platform, input), m);
      text = m.ToString();
    } catch (const EZarnError& e) {
      throw Failure{input + ": " + platform.SjisToUtf8(e.Message())};
    }
  }
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& e) {
    throw Failure{input + ": not valid JSON: " + e.what()};
  }
  TZarnInstallSet record;
  try {
    record = RecordFromJson(platform, json);
  } catch (const JsonError& e) {
    throw Failure{input + ": " + e.what()};
  }
  try {
    record.SaveToFile(platform, HostPathToWindows(platform, output));
  } catch (const EZarnError& e) {
    throw Failure{output + ": " + platform.SjisToUtf8(e.Message())};
  }
  return 0;
}

}  // namespace
}  // namespace instdat
}  // namespace zarn

int main(int argc, char** argv) {
  using namespace zarn;
  return tools::RunCommands("zarn-instdat", instdat::kUsage, argc, argv,
                            {{"dump", instdat::Dump}, {"make", instdat::Make}});
}
