#include "builder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "arc/progress.h"
#include "archive/archive_reader.h"
#include "checker.h"
#include "instdat/record_json.h"
#include "common/resource_writer.h"
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
using instdat::Json;

// What a medium holds besides the game's files: made by the builder, never listed in
// DiscFiles.
const char* const kMediumOwnNames[] = {"setup.exe", "install.dat", "game.dat", "game.ext"};
// Fields that the files decide.
const char* const kDiscArrays[] = {"DiscProgramSizes", "DiscDataSizes", "DiscSoundSizes", "DiscMovieSizes"};
const char* const kTotals[] = {"ProgramSize", "DataSize", "SoundSize", "MovieSize"};

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BuildError("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteHostFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), std::streamsize(data.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string StandIn() {
  return "MZ\r\nThis is a stand-in for the setup program. Build the win32 preset and pass the real "
         "program to zarn-medium (--setup-exe) to get one that runs on Windows.\r\n";
}

// One file of the game: a plain file of the medium or a member of the archive.
struct Item {
  std::string name;  // Shift-JIS, "\" between folders
  std::string host;  // host path of its bytes; empty: `data` holds them
  std::string data;
  int64_t size = 0;
  bool member = false;    // a member of the archive
  bool separate = false;  // a member installed as a file of its own
  int disc = 0;
};

// Every file below `root`, by name; links and other special files are refused, since a
// medium is made of plain files.
std::vector<Item> ListFolder(Platform& platform, const fs::path& root, bool members) {
  std::vector<Item> items;
  if (!fs::exists(root)) return items;
  if (!fs::is_directory(root)) throw BuildError(root.string() + " is not a folder");
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::directory_entry& e = *it;
    const std::string shown = e.path().string();
    if (e.is_symlink()) throw BuildError(shown + ": a link; a medium is made of plain files and folders");
    if (e.is_directory()) continue;
    if (!e.is_regular_file()) throw BuildError(shown + ": not a plain file");
    const std::string rel = fs::relative(e.path(), root).generic_string();
    std::string name = platform.Utf8ToSjis(rel);
    if (platform.SjisToUtf8(name) != rel)
      throw BuildError(shown + ": the name holds characters that Shift-JIS (code page 932) cannot represent");
    for (char& c : name)
      if (c == '/') c = '\\';  // never a trail byte of Shift-JIS
    if (!IsInsideFolder(name)) throw BuildError(shown + ": a name Windows cannot keep as written");
    Item item;
    item.name = name;
    item.host = shown;
    item.size = int64_t(e.file_size());
    item.member = members;
    items.push_back(item);
  }
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.name < b.name; });
  return items;
}

Json ReadJson(const std::string& path) {
  const std::string text = ReadHostFile(path);
  try {
    return Json::parse(text);
  } catch (const Json::parse_error& e) {
    throw BuildError(path + ": not JSON: " + e.what());
  }
}


// The disc each item goes on: the order of `items`, a new disc whenever the next does
// not fit. `pinned` items (the uninstaller, the start menu's picture) stay on disc 1.
int PlanDiscs(std::vector<Item>& items, int64_t discSize, const std::vector<int64_t>& overhead) {
  if (discSize <= 0) return 1;
  std::vector<int64_t> used;
  int onDisc = 0;
  auto open = [&]() {
    int64_t first = overhead[std::min(used.size(), overhead.size() - 1)];
    if (first >= discSize)
      throw BuildError("--disc-size " + std::to_string(discSize) + " leaves no room for the game's files (disc " +
                       std::to_string(used.size() + 1) + " needs " + std::to_string(first) +
                       " bytes for the setup program, the settings and the archive's directory)");
    used.push_back(first);
    onDisc = 0;
  };
  open();
  for (Item& item : items) {
    // A member costs its directory entry as well; its stored bytes never exceed its size
    // by more than a zlib frame.
    const int64_t cost = item.size + (item.member ? 22 + int64_t(item.name.size()) + 16 : 0);
    if (used.back() + cost > discSize && onDisc > 0) open();
    if (used.back() + cost > discSize)
      throw BuildError(item.host + " (" + std::to_string(item.size) + " bytes) does not fit on one disc of " +
                       std::to_string(discSize) + " bytes");
    used.back() += cost;
    ++onDisc;
    item.disc = int(used.size()) - 1;
  }
  return int(used.size());
}

bool InList(const std::string& list, const std::string& name) {
  std::string ext = LowerCase(ExtractFileExt(name));
  return !ext.empty() && list.find(ext) != std::string::npos;
}

// The size a settings record takes when written.
int64_t RecordSize(const TZarnInstallSet& s) {
  TMemoryStream m;
  s.SaveToStream(m);
  return m.Size();
}

void Compare(const Json& given, const std::string& key, const Json& computed, const std::string& path,
             const std::string& why) {
  if (!given.contains(key)) return;
  if (given[key] != computed)
    throw BuildError(path + ": \"" + key + "\" is " + given[key].dump() + ", but " + why + " give " +
                     computed.dump());
}

// What an update is made against: the members of the installed game's data file, or of
// the program it carries appended (name to date), and that program's name and image.
struct InstalledGame {
  std::map<std::string, int32_t> dates;  // lower-case member name → newest date
  std::string bundleName;                // Shift-JIS file name of the program, or ""
  std::string bundleImage;               // its bytes before the appended archive
};

InstalledGame ReadInstalled(Platform& platform, const BuildOptions& o) {
  InstalledGame game;
  const std::string folder = AddBackslash(HostPathToWindows(platform, o.installed));
  if (!platform.DirectoryExists(folder)) throw BuildError(o.installed + ": no such folder (--installed)");
  TVrFileCollection installed(platform);
  if (o.update == Update::Folder) {
    if (!platform.FileExists(folder + "game.dat"))
      throw BuildError(o.installed + ": holds no game.dat; is it a game installed in a folder (--update folder)?");
    installed.OpenPath(folder + "game.dat", true);
  } else {
    // The installed program that carries the game's archive.
    std::string host;
    for (const auto& e : fs::directory_iterator(o.installed)) {
      if (!e.is_regular_file() || e.is_symlink()) continue;
      std::string n = platform.Utf8ToSjis(e.path().filename().string());
      if (SameText(ExtractFileExt(n), ".exe") && HasAppendedArchive(platform, folder + n)) {
        game.bundleName = n;
        host = e.path().string();
      }
    }
    if (game.bundleName.empty())
      throw BuildError(o.installed + ": holds no program with an archive appended (--update bundle)");
    const std::string bytes = ReadHostFile(host);
    uint32_t start = 0;
    for (int i = 0; i < 4; ++i) start |= uint32_t(uint8_t(bytes[bytes.size() - 6 + size_t(i)])) << (8 * i);
    game.bundleImage = bytes.substr(0, std::min<size_t>(start, bytes.size()));
    installed.Open(folder + game.bundleName);
  }
  for (int i = 0; i < installed.Count(); ++i) {
    TVrFile* f = installed.Files(i);
    if (f == installed.EndMarker() || f->Name().empty() || f->Name()[0] == '/') continue;
    auto& d = game.dates[LowerCase(f->Name())];
    d = std::max(d, f->FileDate);
  }
  return game;
}

// The date the archive will give a loose file, as the platform reads it.
int32_t FileDateOf(Platform& platform, const std::string& host) {
  return platform.FileAge(HostPathToWindows(platform, host));
}

}  // namespace

int64_t ParseSize(const std::string& text) {
  size_t used = 0;
  double value = 0;
  try {
    value = std::stod(text, &used);
  } catch (...) {
    throw BuildError("--disc-size wants a size such as 650M, 4.7G or 64K, not " + text);
  }
  std::string unit = text.substr(used);
  double scale = 1;
  if (unit == "K" || unit == "k")
    scale = 1024;
  else if (unit == "M" || unit == "m")
    scale = 1024.0 * 1024;
  else if (unit == "G" || unit == "g")
    scale = 1024.0 * 1024 * 1024;
  else if (!unit.empty())
    throw BuildError("--disc-size wants a size such as 650M, 4.7G or 64K, not " + text);
  double bytes = std::floor(value * scale);
  if (!(bytes >= 1) || bytes > 9e15) throw BuildError("--disc-size is out of range: " + text);
  return int64_t(bytes);
}

void BuildMedium(Platform& platform, const BuildOptions& o, std::ostream& log) {
  const fs::path out(o.out);
  if (fs::exists(out) && !(fs::is_directory(out) && fs::is_empty(out)))
    throw std::runtime_error(o.out + " exists and is not empty");
  const fs::path game(o.gameDir);
  if (!fs::is_directory(game)) throw BuildError(o.gameDir + ": no such folder (--game)");
  if (!fs::exists(game / "medium") && !fs::exists(game / "archive"))
    throw BuildError(o.gameDir + " holds neither medium/ nor archive/ (see zarn-medium --help)");

  // ---- what the maker knows
  Json given = ReadJson(o.settingsFile);
  if (!given.is_object()) throw BuildError(o.settingsFile + ": the JSON must be one object");
  std::set<std::string> separateNames;  // lower case, Shift-JIS
  if (given.contains("Separate")) {
    const Json& sep = given["Separate"];
    if (!sep.is_array()) throw BuildError(o.settingsFile + ": \"Separate\" must be an array of member names");
    for (const Json& n : sep) {
      if (!n.is_string()) throw BuildError(o.settingsFile + ": \"Separate\" must be an array of member names");
      separateNames.insert(LowerCase(platform.Utf8ToSjis(n.get<std::string>())));
    }
  }
  Json recordJson = given;
  recordJson.erase("Separate");
  TZarnInstallSet s;
  try {
    s = instdat::RecordFromJson(platform, recordJson);
  } catch (const instdat::JsonError& e) {
    throw BuildError(o.settingsFile + ": " + e.what());
  }
  if (s.Installed || s.DataInstalled || s.InstalledFiles.Count() > 0)
    throw BuildError(o.settingsFile + ": Installed, DataInstalled and InstalledFiles belong to an installed "
                     "game's record, not to a medium; leave them out");
  if (given.contains("DiscIndex") && s.DiscIndex != 0)
    throw BuildError(o.settingsFile + ": \"DiscIndex\" is " + std::to_string(s.DiscIndex) +
                     ", but the record given is the first disc's (0); each disc gets its own");
  if (o.update != Update::None) s.UpdateMode = true;
  try {
    CheckOwnedSettings(s);
  } catch (const EZarnError& e) {
    throw BuildError(o.settingsFile + ": " + platform.SjisToUtf8(e.Message()));
  }

  // ---- the game's files
  std::vector<Item> plain = ListFolder(platform, game / "medium", false);
  std::vector<Item> members = ListFolder(platform, game / "archive", true);
  for (const Item& p : plain)
    for (const char* own : kMediumOwnNames)
      if (SameText(p.name, own))
        throw BuildError(p.host + ": the builder makes " + own + " itself; the game's files may not use the name");
  // The medium's own extras (the runtime setups the start menu offers, an autorun file)
  // go on the first disc as they are; the install never copies them.
  std::vector<Item> extras;
  for (auto it = plain.begin(); it != plain.end();) {
    const std::string lower = LowerCase(it->name);
    if (lower == "autorun.inf" || lower.rfind("directx\\", 0) == 0 || lower.rfind("winmedia\\", 0) == 0) {
      extras.push_back(*it);
      it = plain.erase(it);
    } else {
      ++it;
    }
  }
  for (Item& m : members) {
    if (SameText(m.name, "install.dat"))
      throw BuildError(m.host + ": the builder writes the member install.dat from the settings file");
    m.separate = separateNames.erase(LowerCase(m.name)) > 0;
  }
  if (!separateNames.empty())
    throw BuildError(o.settingsFile + ": \"Separate\" names " + platform.SjisToUtf8(*separateNames.begin()) +
                     ", which is not in " + (game / "archive").string());
  const bool anySeparate = std::any_of(members.begin(), members.end(), [](const Item& m) { return m.separate; });
  if (s.FilesInArchive && !plain.empty())
    throw BuildError(o.settingsFile + ": FilesInArchive is set, so the files of " + (game / "medium").string() +
                     " would never be installed (" + plain.front().host +
                     "); put them in archive/ and list them in \"Separate\"");
  if (!s.FilesInArchive && anySeparate)
    throw BuildError(o.settingsFile + ": \"Separate\" lists members, but without FilesInArchive they would never "
                     "be installed");

  // The uninstaller the Start menu's shortcut runs: the setup program itself, as install.exe.
  const std::string setupProgram = o.setupExe.empty() ? StandIn() : ReadHostFile(o.setupExe);
  std::vector<Item>& gameFiles = s.FilesInArchive ? members : plain;
  if (std::none_of(gameFiles.begin(), gameFiles.end(), [](const Item& i) { return SameText(i.name, "install.exe"); })) {
    Item uninstaller;
    uninstaller.name = "install.exe";
    uninstaller.data = setupProgram;
    uninstaller.size = int64_t(setupProgram.size());
    uninstaller.member = s.FilesInArchive;
    uninstaller.separate = s.FilesInArchive;
    gameFiles.insert(gameFiles.begin(), uninstaller);
  }

  // ---- an update carries only the members newer than the installed ones, and the plain
  // files that differ from the installed ones
  if (o.update != Update::None) {
    const InstalledGame installed = ReadInstalled(platform, o);
    std::vector<Item> newer;
    size_t newerCount = 0;
    for (Item& m : members) {
      auto it = installed.dates.find(LowerCase(m.name));
      // The start menu's picture comes from the update's own archive.
      const bool picture = !s.BackImage.empty() && SameText(m.name, s.BackImage);
      const bool isNewer =
          m.separate || it == installed.dates.end() || m.host.empty() || FileDateOf(platform, m.host) > it->second;
      if (isNewer) ++newerCount;
      if (isNewer || picture) newer.push_back(m);
    }
    log << "update: " << newerCount << " of " << members.size() << " members are new or newer than "
        << o.installed << "\n";
    members = newer;
    std::vector<Item> changed;
    for (Item& p : plain) {
      const std::string bytes = p.host.empty() ? p.data : ReadHostFile(p.host);
      if (!installed.bundleName.empty() && SameText(p.name, installed.bundleName)) {
        // The program that carries the game: a new one goes in as the member of its name,
        // from which the update rebuilds it; a plain copy would overwrite the archive.
        if (bytes != installed.bundleImage) {
          p.member = true;
          p.host.clear();
          p.data = bytes;
          members.push_back(p);
        }
        continue;
      }
      std::string rel = platform.SjisToUtf8(p.name);
      for (char& c : rel)
        if (c == '\\') c = '/';
      const fs::path target = fs::path(o.installed) / rel;
      std::error_code ec;
      if (fs::is_regular_file(fs::symlink_status(target, ec)) && int64_t(fs::file_size(target, ec)) == p.size &&
          ReadHostFile(target.string()) == bytes)
        continue;
      changed.push_back(p);
    }
    log << "update: " << changed.size() << " of " << plain.size() << " plain files differ from the installed ones\n";
    plain = changed;
  }

  // ---- discs
  auto pinned = [&](const Item& i) {
    return SameText(i.name, "install.exe") || (i.member && !s.BackImage.empty() && SameText(i.name, s.BackImage));
  };
  std::vector<Item> all;
  for (auto* group : {&plain, &members})
    for (const Item& i : *group)
      if (pinned(i)) all.push_back(i);
  for (auto* group : {&plain, &members})
    for (const Item& i : *group)
      if (!pinned(i)) all.push_back(i);
  {
    TZarnInstallSet probe = s;
    probe.SetDiscCount(int32_t(all.size()) + 1);
    for (const Item& i : plain) probe.DiscFiles.Add(LowerCase(i.name));
    const int64_t record = RecordSize(probe) + 64;
    const int64_t directory = 10 + 8 + 64;
    const int64_t resource = o.form == Form::Resource ? 4096 : 0;
    int64_t first = int64_t(setupProgram.size()) + record + directory + 6 + resource + (o.form == Form::Files ? record : 0);
    for (const Item& e : extras) first += e.size;
    std::vector<int64_t> overhead = {first, record + directory};
    s.SetDiscCount(PlanDiscs(all, o.discSize, overhead));
  }
  const int discs = s.DiscCount;

  // ---- the derived fields, checked against what the maker gave
  std::vector<std::vector<int64_t>> sizes(4, std::vector<int64_t>(size_t(discs), 0));
  std::vector<TStringList> discFiles(static_cast<size_t>(discs));
  Json allFiles = Json::array();
  for (const Item& i : all) {
    int component = 1;  // data
    if (!i.member || i.separate)
      component = InList(".mp2.mp3.wma.wav.mid.ogg", i.name) ? 2 : InList(".avi.wmv.asf.mpg.mpeg", i.name) ? 3 : 0;
    sizes[size_t(component)][size_t(i.disc)] += i.size;
    if (!i.member) {
      discFiles[size_t(i.disc)].Add(LowerCase(i.name));
      allFiles.push_back(platform.SjisToUtf8(LowerCase(i.name)));
    }
  }
  Compare(given, "DiscCount", discs, o.settingsFile, "the files and --disc-size");
  for (int c = 0; c < 4; ++c) {
    Compare(given, kDiscArrays[c], sizes[size_t(c)], o.settingsFile, "the files");
    int64_t total = 0;
    for (int64_t v : sizes[size_t(c)]) total += v;
    Compare(given, kTotals[c], total, o.settingsFile, "the files");
  }
  s.DiscProgramSizes = sizes[0];
  s.DiscDataSizes = sizes[1];
  s.DiscSoundSizes = sizes[2];
  s.DiscMovieSizes = sizes[3];
  s.ProgramSize = s.DataSize = s.SoundSize = s.MovieSize = 0;
  for (int d = 0; d < discs; ++d) {
    s.ProgramSize += sizes[0][size_t(d)];
    s.DataSize += sizes[1][size_t(d)];
    s.SoundSize += sizes[2][size_t(d)];
    s.MovieSize += sizes[3][size_t(d)];
  }
  if (given.contains("DiscFiles")) {
    std::set<std::string> want, have;
    for (const Json& n : given["DiscFiles"]) want.insert(LowerCase(platform.Utf8ToSjis(n.get<std::string>())));
    for (const Json& n : allFiles) have.insert(platform.Utf8ToSjis(n.get<std::string>()));
    for (const std::string& n : want)
      if (!have.count(n))
        throw BuildError(o.settingsFile + ": \"DiscFiles\" lists " + platform.SjisToUtf8(n) + ", which is not in " +
                         (game / "medium").string());
    for (const std::string& n : have)
      if (!want.count(n))
        throw BuildError(o.settingsFile + ": \"DiscFiles\" lacks " + platform.SjisToUtf8(n) +
                         ", which is in " + (game / "medium").string() + " and would never be installed");
  }

  // ---- the discs, made beside OUT and moved into place whole
  fs::path parent = fs::absolute(out).parent_path();
  fs::create_directories(parent);
  const fs::path work = parent / ("." + fs::absolute(out).filename().string() + ".building");
  fs::remove_all(work);
  struct Cleanup {
    fs::path p;
    ~Cleanup() {
      std::error_code ec;
      if (!p.empty()) fs::remove_all(p, ec);
    }
  } cleanup{work};
  int64_t totalBytes = 0;
  for (const Item& i : all)
    if (i.member) totalBytes += i.size;
  arc::Progress progress(stderr);
  int64_t packed = 0;

  const std::string archiveFolder = AddBackslash(HostPathToWindows(platform, (game / "archive").string()));
  for (int d = 0; d < discs; ++d) {
    const fs::path disc = discs == 1 ? work : work / ("disc" + std::to_string(d + 1));
    fs::create_directories(disc);
    const std::string discName = discs == 1 ? o.out : (out / ("disc" + std::to_string(d + 1))).string();
    log << "disc " << (d + 1) << " of " << discs << ": " << discName << "\n";
    auto made = [&](const std::string& name, int64_t size, const std::string& what) {
      log << "  " << platform.SjisToUtf8(name) << "  " << size << " bytes" << (what.empty() ? "" : "  " + what)
          << "\n";
    };
    TZarnInstallSet record = s;
    record.DiscIndex = d;
    record.DiscFiles = discFiles[size_t(d)];
    TMemoryStream settings;
    record.SaveToStream(settings);
    const bool setupHere = d == 0;
    const Form form = setupHere ? o.form : Form::Files;

    // The archive: install.dat (unless it lies beside), then the disc's members.
    TVrFileCollection archive(platform);
    archive.Open(archiveFolder);
    if (form != Form::Files) {
      auto source = std::make_unique<TMemoryStream>();
      source->WriteBuffer(settings.Memory(), settings.Size());
      TVrFile* m = archive.AddFile("install.dat");
      m->Source = std::move(source);
      m->FileDate = platform.FileAge(HostPathToWindows(platform, o.settingsFile));
    }
    for (const Item& i : all) {
      if (!i.member || i.disc != d) continue;
      TVrFile* m = archive.AddFile(i.name);
      m->Separate = i.separate;
      if (i.host.empty()) {
        auto source = std::make_unique<TMemoryStream>();
        source->WriteBuffer(i.data.data(), int64_t(i.data.size()));
        m->Source = std::move(source);
        m->FileDate = FileDateOf(platform, o.settingsFile);
      }
    }
    // Called before and after each member: the bar moves by the bytes each one took.
    TVrFile* current = nullptr;
    const int64_t packedBefore = packed;
    archive.OnProgress = [&](TVrFileCollection&, TVrFile* entry, int64_t bytes, int, int, bool&) {
      if (entry == current) {
        packed += bytes;
        current = nullptr;
        return;
      }
      current = entry;
      if (entry) progress.Show(packed, totalBytes, "packing " + platform.SjisToUtf8(entry->Name()));
    };
    const fs::path archivePath = disc / (form == Form::Files ? "game.dat" : "setup.arc");
    {
      TQxBigFileStream dest(platform, HostPathToWindows(platform, archivePath.string()), fmCreate);
      if (!archive.WriteArchive(dest)) throw std::runtime_error("the archive was not written");
    }
    packed = packedBefore;
    for (const Item& i : all)
      if (i.member && i.disc == d) packed += i.size;
    progress.Done();

    const fs::path setupPath = disc / "setup.exe";
    switch (form) {
      case Form::Files:
        if (setupHere) {
          WriteHostFile(setupPath, setupProgram);
          made("setup.exe", int64_t(setupProgram.size()), "the setup program");
        }
        WriteHostFile(disc / "install.dat", settings.ToString());
        made("install.dat", settings.Size(), "settings record, disc index " + std::to_string(d));
        made("game.dat", int64_t(fs::file_size(archivePath)), "archive");
        break;
      case Form::Appended:
        WriteHostFile(setupPath, setupProgram);
        AppendArchive(platform, HostPathToWindows(platform, setupPath.string()),
                      HostPathToWindows(platform, archivePath.string()));
        fs::remove(archivePath);
        made("setup.exe", int64_t(fs::file_size(setupPath)), "the setup program with the archive appended");
        break;
      case Form::Resource: {
        std::string program = AddPeResource(setupProgram, "DUMMY", "BINTYPE", ReadHostFile(archivePath.string()));
        fs::remove(archivePath);
        WriteHostFile(setupPath, program);
        made("setup.exe", int64_t(program.size()), "the setup program with the archive as its resource");
        break;
      }
    }
    std::vector<Item> copied;
    for (const Item& i : all)
      if (!i.member && i.disc == d) copied.push_back(i);
    if (d == 0) copied.insert(copied.end(), extras.begin(), extras.end());
    for (const Item& i : copied) {
      std::string rel = platform.SjisToUtf8(i.name);
      for (char& c : rel)
        if (c == '\\') c = '/';
      const fs::path target = disc / rel;
      fs::create_directories(target.parent_path());
      if (i.host.empty())
        WriteHostFile(target, i.data);
      else
        fs::copy_file(i.host, target);
      made(i.name, i.size, "");
    }
    log << "  archive members:";
    for (int k = 0; k < archive.MemberCount(); ++k)
      log << " " << platform.SjisToUtf8(archive.Files(k)->Name()) << (archive.Files(k)->Separate ? "*" : "");
    log << (anySeparate || s.FilesInArchive ? "  (* separate files)" : "") << "\n";
    if (o.discSize > 0) {
      int64_t bytes = 0;
      for (const auto& e : fs::recursive_directory_iterator(disc))
        if (e.is_regular_file()) bytes += int64_t(e.file_size());
      if (bytes > o.discSize)
        throw std::runtime_error("disc " + std::to_string(d + 1) + " came to " + std::to_string(bytes) +
                                 " bytes, more than --disc-size " + std::to_string(o.discSize));
    }
  }

  // What the setup program would stumble over, the builder does not ship.
  std::vector<std::string> findings = CheckMedium(platform, work.string(), o.progress);
  if (!findings.empty()) {
    std::string all = "the medium made fails its check (" + std::to_string(findings.size()) + "):";
    for (const std::string& f : findings) all += "\nzarn-medium:   " + f;
    throw std::runtime_error(all);
  }
  if (fs::exists(out)) fs::remove(out);  // empty, as checked above
  fs::rename(work, out);
  cleanup.p.clear();
  log << "medium " << o.out << ": " << discs << (discs == 1 ? " disc" : " discs") << ", checked\n";
}

}  // namespace medium
}  // namespace zarn
