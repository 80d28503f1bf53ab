#include "checker.h"

#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "arc/progress.h"
#include "archive/archive_reader.h"
#include "image/layered_image.h"
#include "common/host_path.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"
#include "settings/ownership.h"
#include "settings/paths.h"

namespace zarn {
namespace medium {

namespace {

namespace fs = std::filesystem;

const char kSoundExtensions[] = ".mp2.mp3.wma.wav.mid.ogg";
const char kMovieExtensions[] = ".avi.wmv.asf.mpg.mpeg";
const char* const kSizeNames[] = {"DiscProgramSizes", "DiscDataSizes", "DiscSoundSizes", "DiscMovieSizes"};
const char* const kTotalNames[] = {"ProgramSize", "DataSize", "SoundSize", "MovieSize"};

bool InList(const char* list, const std::string& name) {
  std::string ext = LowerCase(ExtractFileExt(name));
  return !ext.empty() && std::string(list).find(ext) != std::string::npos;
}

// 0 program, 2 sound, 3 movie: the component a file installed on its own belongs to.
int ComponentOf(const std::string& name) {
  return InList(kSoundExtensions, name) ? 2 : InList(kMovieExtensions, name) ? 3 : 0;
}

// Files of a medium that are the medium's own, not the game's: the setup program, its
// settings and archive, the runtime setups the start menu offers, an autorun file.
bool IsMediumOwn(const std::string& lowerName) {
  for (const char* own : {"setup.exe", "install.dat", "game.dat", "game.ext", "autorun.inf"})
    if (lowerName == own) return true;
  return lowerName.rfind("directx\\", 0) == 0 || lowerName.rfind("winmedia\\", 0) == 0;
}

struct Disc {
  fs::path folder;
  std::string label;  // "" or "disc 2: "
  bool hasSetup = false;
  bool haveRecord = false;
  TZarnInstallSet record;
};

std::vector<int64_t> Sizes(const TZarnInstallSet& r, int component) {
  switch (component) {
    case 0: return r.DiscProgramSizes;
    case 1: return r.DiscDataSizes;
    case 2: return r.DiscSoundSizes;
    default: return r.DiscMovieSizes;
  }
}

int64_t Total(const TZarnInstallSet& r, int component) {
  switch (component) {
    case 0: return r.ProgramSize;
    case 1: return r.DataSize;
    case 2: return r.SoundSize;
    default: return r.MovieSize;
  }
}

class Checker {
 public:
  Checker(Platform& platform, bool progress) : p_(platform), progress_(stderr), showProgress_(progress) {}

  std::vector<std::string> Run(const std::string& path) {
    fs::path root(path);
    if (fs::is_regular_file(root)) root = root.parent_path();
    if (!fs::is_directory(root)) throw std::runtime_error(path + ": no such folder");
    std::vector<Disc> discs;
    const bool set = fs::is_directory(root / "disc1") && !fs::exists(root / "setup.exe") &&
                     !fs::exists(root / "install.dat");
    if (set) {
      for (int i = 1; fs::is_directory(root / ("disc" + std::to_string(i))); ++i) {
        Disc d;
        d.folder = root / ("disc" + std::to_string(i));
        d.label = "disc " + std::to_string(i) + ": ";
        discs.push_back(std::move(d));
      }
    } else {
      Disc d;
      d.folder = root;
      discs.push_back(std::move(d));
    }
    for (size_t i = 0; i < discs.size(); ++i) CheckDisc(discs[i], set ? int(i) : -1);
    if (set) CompareDiscs(discs);
    return findings_;
  }

 private:
  void Find(const Disc& d, const std::string& text) { findings_.push_back(d.label + text); }
  std::string U(const std::string& sjis) { return p_.SjisToUtf8(sjis); }
  std::string Q(const std::string& sjis) { return "\"" + U(EscapeControls(sjis)) + "\""; }

  // Opens the disc's archive as the setup program would: the resource of setup.exe, the
  // archive appended to it, or game.dat beside it.
  bool OpenArchive(Disc& d, TVrFileCollection& archive, std::string& where) {
    const std::string folder = AddBackslash(HostPathToWindows(p_, d.folder.string()));
    const std::string setup = folder + "setup.exe";
    try {
      if (d.hasSetup) {
        std::string data;
        std::unique_ptr<Module> module = p_.LoadModule(setup);
        if (module && module->FindResource("DUMMY", "BINTYPE", data) && data.size() >= 2 &&
            data.compare(0, 2, "vf") == 0) {
          module.reset();
          where = "setup.exe (resource DUMMY/BINTYPE)";
          archive.OpenResource(setup, "DUMMY", "BINTYPE");
          return true;
        }
        if (HasAppendedArchive(p_, setup)) {
          where = "setup.exe (appended archive)";
          archive.Open(setup);
          return true;
        }
      }
      if (p_.FileExists(folder + "game.dat")) {
        where = "game.dat";
        archive.Open(folder + "game.dat");
        return true;
      }
    } catch (const EZarnError& e) {
      Find(d, where + ": the archive cannot be read: " + U(e.Message()));
      return false;
    }
    where.clear();
    archive.Open(folder);  // loose files only
    return false;
  }

  void CheckDisc(Disc& d, int position) {
    d.hasSetup = fs::is_regular_file(d.folder / "setup.exe");
    if (!d.hasSetup && position <= 0) Find(d, "setup.exe is missing: nothing on this medium starts the installation");
    TVrFileCollection archive(p_);
    std::string where;
    const bool haveArchive = OpenArchive(d, archive, where);

    // The settings record: the archive's member, else the file beside.
    const std::string folder = AddBackslash(HostPathToWindows(p_, d.folder.string()));
    try {
      if (haveArchive && archive.IndexOf("install.dat") >= 0) {
        TMemoryStream m;
        archive.ExtractToStream(m, "install.dat");
        d.record.LoadFromStream(m);
        d.haveRecord = true;
      } else if (p_.FileExists(folder + "install.dat")) {
        d.record.LoadFromFile(p_, folder + "install.dat");
        d.haveRecord = true;
      } else {
        Find(d, "install.dat is missing (neither a member of the archive nor a file on the medium)");
      }
    } catch (const EZarnError& e) {
      Find(d, "install.dat cannot be read: " + U(e.Message()));
    }
    if (!d.haveRecord) return;
    const TZarnInstallSet& r = d.record;
    if (position >= 0 && r.DiscIndex != position)
      Find(d, "install.dat: DiscIndex is " + std::to_string(r.DiscIndex) + ", but this is disc " +
                  std::to_string(position + 1) + " (DiscIndex " + std::to_string(position) + ")");
    CheckRecord(d);

    // Members: names, CRC-32, content sizes.
    std::vector<int64_t> found(4, 0);
    bool damaged = !haveArchive && !where.empty();  // unreadable: that is the finding
    bool anySeparate = false;
    if (haveArchive) {
      int64_t total = 0, done = 0;
      for (int i = 0; i < archive.MemberCount(); ++i) total += archive.Files(i)->Size;
      std::vector<uint8_t> buffer;
      for (int i = 0; i < archive.MemberCount(); ++i) {
        TVrFile& m = *archive.Files(i);
        const std::string name = m.Name();
        if (showProgress_) progress_.Show(done, total, "checking " + U(name));
        done += m.Size;
        if (!name.empty() && name[0] == '/') continue;  // superseded: never installed
        if (!IsInsideFolder(name)) {
          Find(d, where + ": member " + Q(name) + ": a name the setup program refuses (not a plain path inside the game's folder)");
          continue;
        }
        anySeparate = anySeparate || (m.Separate && name != "install.dat");
        if (!archive.VerifyMember(m, buffer)) {
          Find(d, where + ": member " + Q(name) + ": its stored bytes fail their CRC-32 (damaged)");
          damaged = true;
          continue;
        }
        if (m.Separate && m.CRC == 0 && name != "install.dat")
          Find(d, where + ": member " + Q(name) +
                      u8": a separate file without CRC-32; the install stops on it with \"ファイルが壊れています\"");
        int64_t content = 0;
        try {
          TMemoryStream out;
          archive.ExtractToStream(out, name);
          content = out.Size();
        } catch (const EZarnError& e) {
          Find(d, where + ": member " + Q(name) + ": cannot be unpacked: " + U(e.Message()));
          damaged = true;
          continue;
        }
        if (name == "install.dat") continue;
        if (m.Separate)
          found[size_t(ComponentOf(name))] += content;
        else
          found[1] += content;
      }
      if (showProgress_) progress_.Done();
    }
    if (anySeparate && !r.FilesInArchive)
      Find(d, where + ": members are marked separate, but FilesInArchive is not set: the install never takes them");

    // Plain files against DiscFiles.
    std::map<std::string, std::pair<std::string, int64_t>> plain;  // lower case → name, size
    for (auto it = fs::recursive_directory_iterator(d.folder); it != fs::recursive_directory_iterator(); ++it) {
      if (!it->is_regular_file() || it->is_symlink()) continue;
      std::string name = p_.Utf8ToSjis(fs::relative(it->path(), d.folder).generic_string());
      for (char& c : name)
        if (c == '/') c = '\\';
      const std::string lower = LowerCase(name);
      if (IsMediumOwn(lower)) continue;
      plain[lower] = {name, int64_t(it->file_size())};
    }
    if (r.FilesInArchive) {
      if (r.DiscFiles.Count() > 0)
        Find(d, "install.dat: FilesInArchive is set, so the " + std::to_string(r.DiscFiles.Count()) +
                    " plain files DiscFiles lists are never installed");
    } else {
      std::map<std::string, bool> listed;
      for (const std::string& n : r.DiscFiles) {
        const std::string lower = LowerCase(n);
        listed[lower] = true;
        if (!IsInsideFolder(n)) {
          Find(d, "install.dat: DiscFiles names " + Q(n) + ", a name the setup program refuses");
          continue;
        }
        auto f = plain.find(lower);
        if (f == plain.end())
          Find(d, "install.dat: DiscFiles lists " + Q(n) + ", which is not on the medium");
      }
      for (const auto& f : plain) {
        if (!listed.count(f.first)) {
          Find(d, Q(f.second.first) + " lies on the medium but is not in DiscFiles: it is never installed");
          continue;
        }
        found[size_t(ComponentOf(f.first))] += f.second.second;
      }
    }

    // Sizes: this disc's entries against its files, the totals against the entries.
    if (r.DiscIndex >= 0 && r.DiscIndex < r.DiscCount) {
      for (int c = 0; c < 4; ++c) {
        if (c == 1 && damaged) continue;  // the damage is the finding
        const int64_t stated = Sizes(r, c)[size_t(r.DiscIndex)];
        if (stated != found[size_t(c)])
          Find(d, "install.dat: " + std::string(kSizeNames[c]) + "[" + std::to_string(r.DiscIndex) + "] is " +
                      std::to_string(stated) + ", but the files hold " + std::to_string(found[size_t(c)]) + " bytes");
      }
    } else {
      Find(d, "install.dat: DiscIndex " + std::to_string(r.DiscIndex) + " lies outside the " +
                  std::to_string(r.DiscCount) + " discs of DiscCount");
    }
    for (int c = 0; c < 4; ++c) {
      int64_t sum = 0;
      for (int64_t v : Sizes(r, c)) sum += v;
      if (sum != Total(r, c))
        Find(d, "install.dat: " + std::string(kTotalNames[c]) + " is " + std::to_string(Total(r, c)) + ", but " +
                    kSizeNames[c] + " add up to " + std::to_string(sum));
    }

    // The picture the start menu and the splash window show.
    if (d.hasSetup && !r.BackImage.empty()) CheckPicture(d, archive, where.empty() ? "the medium" : where);
  }

  void CheckRecord(const Disc& d) {
    const TZarnInstallSet& r = d.record;
    if (r.Installed) Find(d, "install.dat: Installed is set: the setup program would run as the uninstaller");
    if (r.InstalledFiles.Count() > 0)
      Find(d, "install.dat: InstalledFiles lists " + std::to_string(r.InstalledFiles.Count()) +
                  " names: an installation records them as its own and its uninstaller deletes them");
    try {
      CheckOwnedSettings(r);
    } catch (const EZarnError& e) {
      Find(d, "install.dat: " + U(e.Message()));
    }
    if (r.ProgramFile.empty())
      Find(d, "install.dat: ProgramFile is empty: the start menu and the shortcut have no game to start");
    else if (!IsInsideFolder(r.ProgramFile))
      Find(d, "install.dat: ProgramFile " + Q(r.ProgramFile) + " is a name the setup program refuses");
    if (!r.ReadmeFile.empty() && !IsInsideFolder(r.ReadmeFile))
      Find(d, "install.dat: ReadmeFile " + Q(r.ReadmeFile) + " is a name the setup program refuses");
  }

  void CheckPicture(const Disc& d, TVrFileCollection& archive, const std::string& where) {
    const TZarnInstallSet& r = d.record;
    TMemoryStream m;
    try {
      archive.ExtractToStream(m, r.BackImage);
    } catch (const EZarnError& e) {
      Find(d, "install.dat: BackImage " + Q(r.BackImage) + " cannot be read from " + where + ": " + U(e.Message()));
      return;
    }
    try {
      TBrimFrameList frames(static_cast<int32_t>(r.ImageKey));
      frames.LoadFromStream(m, true, false, false);
      if (frames.Count() < 1) throw EZarnError("no picture in it");
    } catch (const std::exception& e) {
      Find(d, "install.dat: BackImage " + Q(r.BackImage) + " does not decode as a layered picture with ImageKey " +
                  std::to_string(r.ImageKey) + ": " + U(e.what()));
    }
  }

  void CompareDiscs(const std::vector<Disc>& discs) {
    const Disc& first = discs.front();
    if (first.haveRecord && first.record.DiscCount != int(discs.size()))
      Find(first, "install.dat: DiscCount is " + std::to_string(first.record.DiscCount) + ", but the medium has " +
                      std::to_string(discs.size()) + " discs");
    for (size_t i = 1; i < discs.size(); ++i) {
      const Disc& d = discs[i];
      if (!first.haveRecord || !d.haveRecord) continue;
      const TZarnInstallSet &a = first.record, &b = d.record;
      if (a.Title != b.Title)
        Find(d, "install.dat: Title " + Q(b.Title) + " differs from disc 1's " + Q(a.Title) +
                    ": the setup program takes it for another game");
      if (a.RegistryKey != b.RegistryKey)
        Find(d, "install.dat: RegistryKey " + Q(b.RegistryKey) + " differs from disc 1's " + Q(a.RegistryKey));
      if (a.DiscCount != b.DiscCount)
        Find(d, "install.dat: DiscCount " + std::to_string(b.DiscCount) + " differs from disc 1's " +
                    std::to_string(a.DiscCount));
      bool same = true;
      for (int c = 0; c < 4; ++c) same = same && Sizes(a, c) == Sizes(b, c) && Total(a, c) == Total(b, c);
      if (!same && a.DiscCount == b.DiscCount)
        Find(d, "install.dat: the sizes per disc or in all differ from disc 1's");
    }
  }

  Platform& p_;
  arc::Progress progress_;
  bool showProgress_;
  std::vector<std::string> findings_;
};

}  // namespace

std::vector<std::string> CheckMedium(Platform& platform, const std::string& path, bool progress) {
  return Checker(platform, progress).Run(path);
}

}  // namespace medium
}  // namespace zarn
