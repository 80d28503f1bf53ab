// zarn-arc: lists, prints, extracts, verifies, packs, appends and merges archives.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_paths.h"
#include "archive/member_name.h"
#include "archive/archive_reader.h"
#include "common/console.h"
#include "common/host_path.h"
#include "platform/platform.h"
#include "progress.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "toolmain.h"

namespace zarn {
namespace arc {
namespace {

const char kUsage[] =
    "usage: zarn-arc list    [--resource] ARCHIVE\n"
    "       zarn-arc cat     [--resource] ARCHIVE NAME\n"
    "       zarn-arc extract [--resource] ARCHIVE -o DIR [NAME...]\n"
    "       zarn-arc verify  [--resource] ARCHIVE\n"
    "       zarn-arc pack    DIR -o ARCHIVE [--separate NAME...]\n"
    "       zarn-arc append  PROGRAM ARCHIVE\n"
    "       zarn-arc merge   DATAFILE ARCHIVE\n"
    "\n"
    "Works on the setup program's archives: an archive file, a data file with its .ext\n"
    "directory beside it, a program file (.exe, .scr) with an appended archive, or with\n"
    "--resource the \"DUMMY\"/\"BINTYPE\" resource of a program file.\n"
    "Run 'zarn-arc COMMAND --help' for details.\n"
    "\n"
    "Exit status: 0 on success, 1 when a check fails, 2 on bad usage or damaged input.\n";

const char kListUsage[] =
    "usage: zarn-arc list [--resource] ARCHIVE\n"
    "\n"
    "Prints one line per entry in directory order (the end marker left out):\n"
    "NAME<TAB>SIZE<TAB>STORED<TAB>FILEDATE<TAB>CRC<TAB>SEPARATE\n"
    "NAME in UTF-8 with \\ as stored (superseded entries begin with /), SIZE the stored\n"
    "byte count, STORED and SEPARATE 0 or 1, FILEDATE (MS-DOS date-time) and CRC as eight\n"
    "lower-case hex digits.\n";

const char kCatUsage[] =
    "usage: zarn-arc cat [--resource] ARCHIVE NAME\n"
    "\n"
    "Writes the content of member NAME (UTF-8, any case) to standard output.\n";

const char kExtractUsage[] =
    "usage: zarn-arc extract [--resource] ARCHIVE -o DIR [NAME...]\n"
    "\n"
    "Writes every member, or the NAMEs given, as files below DIR (\\ in names becomes a\n"
    "folder) and sets their dates from the archive. A superseded entry (a name beginning\n"
    "with /, an earlier version an update replaced) is written below DIR\\superseded, and\n"
    "said so on standard error. A name that is absolute, has a drive or colon, contains an\n"
    "empty or .. part or a control character is refused, as is a link on the way below DIR.\n"
    "Every member with a CRC is checked as it is written; exit status 1 names each one\n"
    "whose stored bytes do not match (it is written all the same).\n";

const char kVerifyUsage[] =
    "usage: zarn-arc verify [--resource] ARCHIVE\n"
    "\n"
    "Checks every member that has a CRC. Exit status 0 when all match, 1 naming the first\n"
    "member that does not.\n";

const char kPackUsage[] =
    "usage: zarn-arc pack DIR -o ARCHIVE [--separate NAME...]\n"
    "\n"
    "Builds ARCHIVE from every file below DIR: names relative to DIR with \\ between\n"
    "folders, sorted, dates from the files. Small files are deflated unless that saves\n"
    "less than a tenth or they are media files. Members named after --separate are marked\n"
    "to be installed as files of their own.\n";

const char kAppendUsage[] =
    "usage: zarn-arc append PROGRAM ARCHIVE\n"
    "\n"
    "Appends ARCHIVE to the program file PROGRAM, followed by the 6-byte trailer (the\n"
    "archive's start and \"zr\"), so that PROGRAM carries it.\n";

const char kMergeUsage[] =
    "usage: zarn-arc merge DATAFILE ARCHIVE\n"
    "\n"
    "Appends to DATAFILE (created when missing; split into 1 GiB parts .001, .002, ...)\n"
    "every member of ARCHIVE that it lacks or holds with an older date, except members\n"
    "marked separate, then writes the directory DATAFILE with the extension .ext.\n"
    "Replaced entries stay, renamed with a leading /.\n";

// A failure the user is told about in one line, with the exit status it gives.
using tools::Failure;
using tools::IsHelp;

// Standard output as a stream; positioning is ignored.
class TStdoutStream : public TStream {
 public:
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    size_t n = std::fwrite(buffer, 1, static_cast<size_t>(count), stdout);
    return static_cast<int64_t>(n);
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  int64_t Size() override { return 0; }
};

struct Args {
  std::vector<std::string> positional;
  std::string output;
  bool resource = false;
  std::vector<std::string> separate;
  bool help = false;
};

Args ParseArgs(const std::string& command, const std::vector<std::string>& argv, bool allowOutput,
               bool allowResource, bool allowSeparate) {
  Args a;
  bool inSeparate = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& s = argv[i];
    if (IsHelp(s)) {
      a.help = true;
      return a;
    }
    if (s == "-o" && allowOutput) {
      if (i + 1 >= argv.size()) throw Failure{command + ": -o needs a value"};
      a.output = argv[++i];
      inSeparate = false;
    } else if (s == "--resource" && allowResource) {
      a.resource = true;
    } else if (s == "--separate" && allowSeparate) {
      inSeparate = true;
    } else if (s.size() > 1 && s[0] == '-' && s != "--") {
      throw Failure{command + ": unknown option " + s + " (see 'zarn-arc " + command + " --help')"};
    } else if (inSeparate) {
      a.separate.push_back(s);
    } else {
      a.positional.push_back(s);
    }
  }
  return a;
}

class Tool {
 public:
  explicit Tool(Platform& platform) : platform_(platform), progress_(stderr) {}

 private:
  std::string Utf8(const std::string& sjis) { return platform_.SjisToUtf8(sjis); }
  // A member name for the terminal: UTF-8, control bytes (NUL among them) escaped.
  std::string Shown(const std::string& sjis) { return Utf8(EscapeControls(sjis)); }
  static bool Superseded(const TVrFile& f) { return !f.Name().empty() && f.Name()[0] == '/'; }
  // One line on standard error that does not end the command.
  void Note(const std::string& text) {
    progress_.Done();
    std::cerr << "zarn-arc: " << text << "\n";
  }
  std::string Win(const std::string& host) { return HostPathToWindows(platform_, host); }

  // Opens an archive in any of its forms; a file that holds none is an error.
  void OpenArchive(TVrFileCollection& c, const std::string& hostPath, bool resource) {
    std::string path = Win(hostPath);
    if (!platform_.FileExists(path)) throw Failure{hostPath + ": no such file"};
    if (resource) {
      c.OpenResource(path, "DUMMY", "BINTYPE");
      if (!c.Stream()) throw Failure{hostPath + ": not a program file whose resources can be read"};
      return;
    }
    std::string ext = UpperCase(path.substr(path.size() >= 4 ? path.size() - 4 : 0));
    if ((ext == ".EXE" || ext == ".SCR") && !HasAppendedArchive(platform_, path))
      throw Failure{hostPath + ": no archive is appended to this program (try --resource)"};
    c.Open(path);
    if (!c.Stream()) throw Failure{hostPath + ": not an archive"};
  }

 public:
  // ---- the commands, each given the words after its name
  int List(const std::vector<std::string>& argv) {
    Args a = ParseArgs("list", argv, false, true, false);
    if (a.help) return Help(kListUsage);
    if (a.positional.size() != 1) throw Failure{"list: give one ARCHIVE (see 'zarn-arc list --help')"};
    TVrFileCollection c(platform_);
    OpenArchive(c, a.positional[0], a.resource);
    for (int i = 0; i < c.Count(); ++i) {
      TVrFile* f = c.Files(i);
      if (f == c.EndMarker()) continue;
      char line[96];
      std::snprintf(line, sizeof line, "\t%lld\t%d\t%08x\t%08x\t%d\n", static_cast<long long>(f->Size),
                    f->Stored ? 1 : 0, static_cast<unsigned>(f->FileDate), static_cast<unsigned>(f->CRC),
                    f->Separate ? 1 : 0);
      std::cout << Utf8(f->Name()) << line;
    }
    return 0;
  }

  int Cat(const std::vector<std::string>& argv) {
    Args a = ParseArgs("cat", argv, false, true, false);
    if (a.help) return Help(kCatUsage);
    if (a.positional.size() != 2) throw Failure{"cat: give ARCHIVE and NAME (see 'zarn-arc cat --help')"};
    TVrFileCollection c(platform_);
    OpenArchive(c, a.positional[0], a.resource);
    std::string name = platform_.Utf8ToSjis(a.positional[1]);
    int k = c.IndexOf(name);
    if (k < 0 || c.Files(k) == c.EndMarker()) throw Failure{a.positional[1] + ": no such member"};
    BinaryStdout();
    TStdoutStream out;
    c.ExtractToStream(out, name);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) throw Failure{"cat: cannot write to standard output"};
    return 0;
  }

  int Extract(const std::vector<std::string>& argv) {
    Args a = ParseArgs("extract", argv, true, true, false);
    if (a.help) return Help(kExtractUsage);
    if (a.positional.empty() || a.output.empty())
      throw Failure{"extract: give ARCHIVE and -o DIR (see 'zarn-arc extract --help')"};
    TVrFileCollection c(platform_);
    OpenArchive(c, a.positional[0], a.resource);
    std::string dest = Win(a.output);
    if (!ForceDirectories(platform_, dest)) throw Failure{a.output + ": cannot create the folder"};

    std::vector<TVrFile*> todo;
    if (a.positional.size() > 1) {
      for (size_t i = 1; i < a.positional.size(); ++i) {
        int k = c.IndexOf(platform_.Utf8ToSjis(a.positional[i]));
        if (k < 0 || c.Files(k) == c.EndMarker()) throw Failure{a.positional[i] + ": no such member"};
        todo.push_back(c.Files(k));
      }
    } else {
      // Each name once; of names equal but for case, the one the lookup finds (the same
      // entry for all of them, so marking it marks the name).
      std::vector<bool> taken(static_cast<size_t>(c.Count()));
      for (int i = 0; i < c.Count(); ++i) {
        TVrFile* f = c.Files(i);
        if (f == c.EndMarker()) continue;
        const int k = c.IndexOf(f->Name());
        if (taken[static_cast<size_t>(k)]) {
          if (Superseded(*f)) Note(Shown(f->Name()) + ": an older superseded copy of this name, not written");
          continue;
        }
        taken[static_cast<size_t>(k)] = true;
        todo.push_back(c.Files(k));
      }
    }
    int64_t total = 0, done = 0;
    for (TVrFile* f : todo) total += f->Size;
    TMemberTargets targets(platform_, dest);
    int damaged = 0;
    for (TVrFile* f : todo) {
      progress_.Show(done, total, Shown(f->Name()));
      // A superseded entry keeps its place below "superseded\", away from the current members.
      const std::string name = Superseded(*f) ? "superseded\\" + f->Name().substr(1) : f->Name();
      std::string target = targets.Prepare(name);
      bool sound = true;
      {
        std::unique_ptr<FileHandle> file = targets.Create(target, name);
        try {
          THandleStream out(file.get());
          sound = c.ExtractMember(*f, out);
        } catch (...) {
          file.reset();
          platform_.DeleteFile(target);
          throw;
        }
      }
      if (f->FileDate != 0) platform_.SetFileAge(target, f->FileDate);
      if (Superseded(*f)) Note(Shown(f->Name()) + ": superseded by a newer member, written as " + Shown(name));
      if (!sound) {
        Note(Shown(f->Name()) + ": CRC mismatch, the member is damaged");
        ++damaged;
      }
      done += f->Size;
    }
    progress_.Done();
    return damaged ? 1 : 0;
  }

  int VerifyCommand(const std::vector<std::string>& argv) {
    Args a = ParseArgs("verify", argv, false, true, false);
    if (a.help) return Help(kVerifyUsage);
    if (a.positional.size() != 1) throw Failure{"verify: give one ARCHIVE (see 'zarn-arc verify --help')"};
    TVrFileCollection c(platform_);
    OpenArchive(c, a.positional[0], a.resource);
    int64_t total = 0, done = 0;
    for (int i = 0; i < c.Count(); ++i) total += c.Files(i)->Size;
    int counted = 0;  // members whose bytes are in `done`
    c.OnProgress = [&](TVrFileCollection&, TVrFile* e, int64_t, int index, int, bool&) {
      // Called every tenth member; the bytes of the members up to it are done.
      for (; counted <= index && counted < c.Count(); ++counted) done += c.Files(counted)->Size;
      progress_.Show(done, total, Utf8(e->Name()));
    };
    bool ok = c.Verify();
    progress_.Done();
    if (!ok) throw Failure{Utf8(c.BadMember()) + ": CRC mismatch, the archive is damaged", 1};
    return 0;
  }

  int Pack(const std::vector<std::string>& argv) {
    Args a = ParseArgs("pack", argv, true, false, true);
    if (a.help) return Help(kPackUsage);
    if (a.positional.size() != 1 || a.output.empty())
      throw Failure{"pack: give DIR and -o ARCHIVE (see 'zarn-arc pack --help')"};
    std::string dir = Win(a.positional[0]);
    if (!platform_.DirectoryExists(dir)) throw Failure{a.positional[0] + ": no such folder"};
    std::string output = Win(a.output);
    std::vector<std::string> names;
    std::map<std::string, int64_t> sizes;
    ListBelow(AddBackslash(dir), "", names, sizes, output);
    // In CompareText's order (then by bytes), each name folded once rather than twice per
    // comparison: the folding was a fifth of a pack of small files.
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (std::string& n : names) keyed.emplace_back(LowerCase(n), std::move(n));
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i) names[i] = std::move(keyed[i].second);
    TVrFileCollection c(platform_);
    c.OpenPath(dir, false);
    for (const std::string& n : names) c.AddFile(n);
    for (const std::string& s : a.separate) {
      int k = c.IndexOf(platform_.Utf8ToSjis(s));
      if (k < 0) throw Failure{s + ": no such file below " + a.positional[0]};
      c.Files(k)->Separate = true;
    }
    int64_t total = 0, done = 0;
    for (const auto& s : sizes) total += s.second;
    c.OnProgress = [&](TVrFileCollection&, TVrFile* e, int64_t bytes, int, int, bool&) {
      if (bytes == 0)
        progress_.Show(done, total, Utf8(e->Name()));
      else
        done += sizes[e->Name()];
    };
    c.OnError = [&](const std::string&) { progress_.Done(); };
    // The archive is made new: a link at its name or a part's is refused, never written
    // through, and a pack that fails or stops leaves no partial archive behind.
    for (int i = 0;; ++i) {
      std::string part = i == 0 ? output : arcpaths::ChangeFileExt(output, "") + Format(".%.3d", i);
      uint32_t attr = platform_.GetFileAttributes(part);
      if (attr == faInvalid) break;
      if (attr & faReparsePoint) throw Failure{Utf8(part) + ": is a link; an archive is not written through one"};
    }
    bool packed = false;
    try {
      TQxBigFileStream out(platform_, output, fmCreate);
      packed = c.WriteArchive(out);
      out.Flush();
    } catch (...) {
      RemovePartialArchive(output);
      throw;
    }
    if (!packed) {
      RemovePartialArchive(output);
      throw Failure{"pack: stopped; nothing was written"};
    }
    progress_.Done();
    return 0;
  }

  // Deletes the parts of an archive that could not be finished.
  void RemovePartialArchive(const std::string& output) {
    for (int i = 0;; ++i) {
      std::string part = i == 0 ? output : arcpaths::ChangeFileExt(output, "") + Format(".%.3d", i);
      if (!platform_.FileExists(part) || !platform_.DeleteFile(part)) break;
    }
  }

  int Append(const std::vector<std::string>& argv) {
    Args a = ParseArgs("append", argv, false, false, false);
    if (a.help) return Help(kAppendUsage);
    if (a.positional.size() != 2) throw Failure{"append: give PROGRAM and ARCHIVE (see 'zarn-arc append --help')"};
    std::string program = Win(a.positional[0]), archive = Win(a.positional[1]);
    if (!platform_.FileExists(program)) throw Failure{a.positional[0] + ": no such file"};
    if (!platform_.FileExists(archive)) throw Failure{a.positional[1] + ": no such file"};
    AppendArchive(platform_, program, archive);
    return 0;
  }

  int Merge(const std::vector<std::string>& argv) {
    Args a = ParseArgs("merge", argv, false, false, false);
    if (a.help) return Help(kMergeUsage);
    if (a.positional.size() != 2) throw Failure{"merge: give DATAFILE and ARCHIVE (see 'zarn-arc merge --help')"};
    TVrFileCollection src(platform_);
    OpenArchive(src, a.positional[1], false);
    TVrFileCollection data(platform_);
    data.OpenPath(Win(a.positional[0]), true);
    int64_t total = 0, done = 0;
    for (int i = 0; i < src.Count(); ++i) total += src.Files(i)->Size;
    data.OnProgress = [&](TVrFileCollection&, TVrFile* e, int64_t bytes, int, int, bool&) {
      progress_.Show(done, total, Utf8(e->Name()));
      done += bytes;
    };
    bool changed = data.MergeFrom(src);
    progress_.Done();
    std::cerr << (changed ? "merged: the data file and its directory were updated\n"
                          : "nothing to merge: the data file holds every member in the same or a newer version\n");
    return 0;
  }

 private:
  int Help(const char* text) {
    std::cout << text;
    return 0;
  }

  // Every file below `root` + `rel`, as names relative to root.
  void ListBelow(const std::string& root, const std::string& rel, std::vector<std::string>& names,
                 std::map<std::string, int64_t>& sizes, const std::string& skip) {
    std::vector<DirEntry> entries;
    if (!platform_.ListDirectory(root + rel, entries)) throw Failure{Utf8(root + rel) + ": cannot list the folder"};
    for (const DirEntry& d : entries) {
      std::string name = rel + d.name;
      if (d.attributes & faDirectory) {
        if (d.attributes & faReparsePoint) continue;  // a link to a folder elsewhere
        ListBelow(root, name + "\\", names, sizes, skip);
      } else if (!SameText(root + name, skip)) {
        names.push_back(name);
        sizes[name] = d.size;
      }
    }
  }

  Platform& platform_;
  Progress progress_;
};

}  // namespace

int Main(int argc, char** argv) {
  using Run = int (Tool::*)(const std::vector<std::string>&);
  auto command = [](Run run) -> tools::Command {
    return [run](Platform& platform, const std::vector<std::string>& args) { return (Tool(platform).*run)(args); };
  };
  return tools::RunCommands("zarn-arc", kUsage, argc, argv,
                            {{"list", command(&Tool::List)},
                             {"cat", command(&Tool::Cat)},
                             {"extract", command(&Tool::Extract)},
                             {"verify", command(&Tool::VerifyCommand)},
                             {"pack", command(&Tool::Pack)},
                             {"append", command(&Tool::Append)},
                             {"merge", command(&Tool::Merge)}});
}

}  // namespace arc
}  // namespace zarn

int main(int argc, char** argv) { return zarn::arc::Main(argc, argv); }
