// Hostile media and planted links on the emulated machine: titles and registry keys made to
// climb out of what the game owns, links in the destination and in the program group.
// Files and keys are planted around each install and uninstall job; none of them may change.
#include <unistd.h>

#include <iostream>
#include <map>
#include <set>

#include "platform/posix/emulated_machine.h"
#include "settings/ownership.h"
#include "wizard/job_support.h"

namespace zarn {
namespace testing {
namespace {

class HostileMedia : public JobFixture {
 protected:
  EmulatedMachine& Machine() { return dynamic_cast<EmulatedMachine&>(machine.platform()); }

  std::string Special(int csidl) {
    std::string folder;
    EXPECT_TRUE(p.SpecialFolder(csidl, folder)) << csidl;
    return AddBackslash(folder);
  }

  // A host symlink at `link` (a Windows path) leading to `target`.
  void Link(const std::string& target, const std::string& link) {
    std::string folder = link.substr(0, link.size() - ExtractFileName(link).size());
    MakeFolders(folder);
    ASSERT_EQ(symlink(Machine().HostPath(target).c_str(), Machine().HostPath(link).c_str()), 0) << link;
  }
  bool IsLink(const std::string& path) {
    uint32_t attr = p.GetFileAttributes(path);
    return attr != faInvalid && (attr & faReparsePoint);
  }

  // ---- what is planted around the game, and the check that it stayed

  std::map<std::string, std::string> plantedFiles;
  std::vector<std::string> plantedKeys;
  std::vector<std::string> watchedFolders;

  void Plant(const std::string& path) {
    std::string content = "planted at " + path;
    Put(path, content);
    plantedFiles[path] = content;
  }

  void PlantAround() {
    std::string local = Special(csidlLocalAppData);
    // The folder that holds the local application-data folder ("Local Settings").
    std::string profile = local.substr(0, local.size() - 1);
    profile = profile.substr(0, profile.size() - ExtractFileName(profile).size());
    watchedFolders = {"C:\\",
                      AddBackslash(p.WindowsDirectory()),
                      Special(csidlPersonal),
                      Special(csidlCommonPrograms),
                      Special(csidlPrograms),
                      Special(csidlCommonStartMenu),
                      Special(csidlStartMenu),
                      Special(csidlDesktopDirectory),
                      local,
                      profile};
    for (const std::string& folder : watchedFolders) Plant(folder + "planted.txt");
    Plant(Special(csidlCommonPrograms) + "Other Game\\Other Game.lnk");
    Plant(Special(csidlPrograms) + "Other Game\\Other Game.lnk");
    Plant(local + "Other Game\\save.dat");
    Plant(machine.Scratch() + "games\\planted.txt");
    for (const char* key : {"Software\\Microsoft\\Planted", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other",
                            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Microsoft",
                            "Software\\Classes\\Planted", "Software\\Wine\\Planted", "Software\\Policies\\Planted",
                            "Software\\Wow6432Node\\Planted", "Software\\OtherMaker\\Planted"}) {
      auto k = p.OpenKey(RegRoot::CurrentUser, key, true);
      ASSERT_TRUE(k) << key;
      ASSERT_TRUE(k->SetValue("planted", regSz, std::string(key) + '\0'));
      plantedKeys.push_back(key);
    }
  }

  std::map<std::string, std::set<std::string>> Listings() {
    std::map<std::string, std::set<std::string>> listings;
    for (const std::string& folder : watchedFolders) {
      std::vector<DirEntry> entries;
      p.ListDirectory(folder, entries);
      for (const DirEntry& e : entries) listings[folder].insert(e.name);
    }
    return listings;
  }

  void ExpectPlantedUnchanged(const std::string& what) {
    for (const auto& f : plantedFiles) {
      std::string content = Exists(f.first) ? Get(f.first) : "<missing>";
      EXPECT_EQ(content, f.second) << p.SjisToUtf8(what) << ": " << p.SjisToUtf8(f.first);
    }
    for (const std::string& key : plantedKeys) {
      auto k = p.OpenKey(RegRoot::CurrentUser, key, false);
      uint32_t type = 0;
      std::string data;
      EXPECT_TRUE(k && k->QueryValue("planted", type, data) && data == key + '\0')
          << p.SjisToUtf8(what) << ": HKCU\\" << key;
    }
  }

  // ---- one case: the medium made, installed and (when accepted) uninstalled

  int refused = 0, installed = 0;

  void TryCase(const std::string& caseTitle, const std::string& key, int n) {
    const std::string what = "title [" + caseTitle + "] key [" + key + "]";
    dest = machine.Scratch() + Format("games\\c%d\\", n);
    settings = BaseSettings();
    settings.Title = caseTitle;
    settings.RegistryKey = key;
    settings.ReadmeFile = "readme.txt";
    settings.DiscFiles.Add("readme.txt");
    archive.reset();  // the last run's medium is closed before it is written again
    RemoveFolderTree(medium);
    WriteMedium(medium, settings, {{"zarn.zpb", "project"}},
                {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"readme.txt", "read me"}});
    std::string refusal;
    try {
      CheckOwnedSettings(settings);
    } catch (const EZarnError& e) {
      refusal = e.what();
    }
    auto before = Listings();
    NextRun();
    if (!refusal.empty()) {
      ++refused;
      EXPECT_FALSE(Install()) << p.SjisToUtf8(what);
      EXPECT_NE(error.find(refusal), std::string::npos) << p.SjisToUtf8(what);
      EXPECT_FALSE(p.DirectoryExists(dest)) << p.SjisToUtf8(what);  // refused before anything was written
    } else {
      ++installed;
      ASSERT_TRUE(Install()) << p.SjisToUtf8(what) << p.SjisToUtf8(error);
      // The group is one new folder right inside the Programs folder, holding the three
      // shortcuts; nothing else appeared anywhere watched.
      auto during = Listings();
      std::string programs = Special(csidlCommonPrograms);
      for (const auto& l : during) {
        std::vector<std::string> added;
        for (const std::string& name : l.second)
          if (!before[l.first].count(name)) added.push_back(name);
        if (l.first == programs) {
          ASSERT_EQ(added.size(), 1u) << p.SjisToUtf8(what);
          std::vector<DirEntry> links;
          ASSERT_TRUE(p.ListDirectory(programs + added[0], links)) << p.SjisToUtf8(what);
          EXPECT_EQ(links.size(), 3u) << p.SjisToUtf8(what);
        } else {
          EXPECT_TRUE(added.empty()) << p.SjisToUtf8(what) << ": " << p.SjisToUtf8(l.first);
        }
      }
      Put(dest + "save.dat", "progress");
      NextRun();
      ASSERT_TRUE(Uninstall(true)) << p.SjisToUtf8(what) << p.SjisToUtf8(error);
      EXPECT_FALSE(p.DirectoryExists(dest)) << p.SjisToUtf8(what);
      EXPECT_EQ(Listings(), before) << p.SjisToUtf8(what);
    }
    ExpectPlantedUnchanged(what);
  }
};

TEST_F(HostileMedia, GeneratedTitlesAndKeysNeverReachWhatTheGameDoesNotOwn) {
  PlantAround();
  std::set<std::string> titles = {"..", ".", "", " ", "...", ". .", "CON", "nul.txt", "a:b", "What?*", "\"<>|",
                                  "\x83\x5C..\x83\x5C..",              // ソ..ソ.. : trail bytes 0x5C
                                  "\x83\x5C\\..\\..\\..",              // ソ\..\..\..
                                  "C:\\", "C:\\WINDOWS", "C:", "\\\\srv\\share", "\\", "/", "x/../../../../../..",
                                  "Story\t2", "物語"};
  const char* targets[] = {"", "WINDOWS", "Documents and Settings", "My Documents", "Other Game", "Start Menu",
                           "Programs", "Local Settings\\Application Data"};
  for (const char* sep : {"/", "\\"}) {
    for (int depth = 0; depth <= 7; ++depth) {
      std::string up, down = "x";
      for (int i = 0; i < depth; ++i) {
        up += std::string("..") + sep;
        down += sep + std::string("..");
      }
      titles.insert(down);
      // A target's name alone is a plain title (another program's group name is a
      // collision, not a climb); from one level up it aims out of the Programs folder.
      for (const char* target : targets)
        if (depth > 0 || !*target) titles.insert(up + ReplaceDelimiter(target, '\\', sep[0]));
    }
  }
  std::vector<std::string> keys = {"Microsoft", "\\Microsoft\\Windows", "microsoft\\windows\\currentversion\\uninstall",
                                   "Classes", "\\Classes\\.txt", "Wine", "Policies", "Wow6432Node\\Maker", "\\\\", "\\",
                                   "..", "Maker\\..\\..\\Microsoft", "OtherMaker\\..", "Maker\\\\Microsoft",
                                   "\\\\OtherMaker", "OtherMaker\\\x83\x5C", "Maker/../Microsoft", "..\\Microsoft",
                                   "./Microsoft", "Microsoft/", "Software\\Microsoft", "\x83\x5C\\..\\Microsoft"};
  int n = 0;
  for (const std::string& t : titles) {
    TryCase(t, machine.ScratchKey() + Format("\\c%d", n), n);
    ++n;
  }
  for (const std::string& k : keys) {
    TryCase(title + Format("%d", n), k, n);
    ++n;
  }
  std::cout << "[ hostile ] " << n << " cases: " << refused << " refused, " << installed
            << " installed and uninstalled\n";
  RecordProperty("cases", n);
  EXPECT_GT(refused, 20);
  EXPECT_GT(installed, 20);
  p.DeleteKeyTree(RegRoot::CurrentUser, "Software\\OtherMaker\\\x83\x5C");
}

// A record on disk is as untrusted as the medium: a planted "installed" record whose title
// climbs out and whose key names the system's removes neither group nor key nor save data
// outside its own.
TEST_F(HostileMedia, AnInstalledRecordIsUninstalledByTheSameRule) {
  PlantAround();
  std::string local = Special(csidlLocalAppData);
  for (const char* hostileTitle : {"..", "x/../../../../../..", "..\\Other Game", ""}) {
    for (const char* key : {"Microsoft", "\\Microsoft\\Windows", "Classes"}) {
      MakeFolders(dest);
      settings = BaseSettings();
      settings.Title = hostileTitle;
      settings.RegistryKey = key;
      settings.Installed = true;
      settings.InstalledFiles.Add("install.dat");
      settings.SaveToFile(p, dest + "install.dat");
      Put(dest + "save.dat", "progress");
      NextRun();
      EXPECT_TRUE(Uninstall(true)) << hostileTitle << " " << key << p.SjisToUtf8(error);
      ExpectPlantedUnchanged(std::string(hostileTitle) + " " + key);
      EXPECT_TRUE(p.DirectoryExists(local));
      EXPECT_TRUE(p.OpenKey(RegRoot::CurrentUser, "Software\\Microsoft", false));
    }
  }
}

// A link a person (or a crafted earlier install) left inside the program group leads
// elsewhere; removing the group removes the link, never what it leads to.
TEST_F(HostileMedia, RemovingTheGroupNeverFollowsALinkInIt) {
  PlantAround();
  WriteMedium(medium, settings, {}, {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}});
  ASSERT_TRUE(Install()) << error;
  std::string docs = Special(csidlPersonal);
  Link(WithoutBackslash(docs), ProgramsFolder() + "docs");
  Link(docs + "planted.txt", ProgramsFolder() + "file link.lnk");
  Link(WithoutBackslash(p.WindowsDirectory()), ProgramsFolder() + "sub\\win");
  NextRun();
  EXPECT_TRUE(Uninstall(false)) << error;
  EXPECT_FALSE(p.DirectoryExists(ProgramsFolder()));
  ExpectPlantedUnchanged("links in the group");
}

// Links planted at the names the install writes lead out of the machine's scratch space;
// the install replaces each link by a file of its own and writes nothing through one.
TEST_F(HostileMedia, LinksAtTheNamesTheInstallWritesAreReplacedNotWrittenThrough) {
  PlantAround();
  settings.ReadmeFile = "readme.txt";
  settings.DiscFiles.Add("readme.txt");
  settings.DiscFiles.Add("sound\\theme.wav");
  WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\a.txt", "a"}},
              {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"readme.txt", "read me"}, {"sound\\theme.wav", "RIFF"}});
  std::string victims = machine.Scratch() + "victims\\";
  std::vector<std::string> names = {"readme.txt", "game.exe",  "install.exe",  "sound\\theme.wav",
                                    "install.dat", "game.ext.tmp", "install.dat.tmp", "game.001"};
  for (size_t i = 0; i < names.size(); ++i) {
    Plant(victims + Format("v%d.txt", static_cast<int>(i)));
    Link(victims + Format("v%d.txt", static_cast<int>(i)), dest + names[i]);
  }
  Link(victims + "missing.txt", dest + "game.dat");  // a link to nothing yet
  ASSERT_TRUE(Install(Components(true, true))) << error;
  ExpectPlantedUnchanged("links in the destination");
  EXPECT_FALSE(Exists(victims + "missing.txt"));
  for (const char* name : {"readme.txt", "game.exe", "install.exe", "sound\\theme.wav", "install.dat", "game.dat",
                           "game.ext"})
    EXPECT_FALSE(IsLink(dest + name)) << name;
  EXPECT_EQ(Get(dest + "sound\\theme.wav"), "RIFF");
  EXPECT_EQ(Extract(dest + "game.dat", "data\\a.txt"), "a");
  EXPECT_TRUE(InstalledRecord().Installed);
}

// Every name the install writes, with a link of each kind planted at it or on the way to
// it: a link to a file elsewhere, to nothing, to a folder elsewhere. Each case installs and
// uninstalls (or is refused, for a linked folder on the way) and leaves the victims alone.
TEST_F(HostileMedia, GeneratedLinksInTheDestinationAreNeverFollowed) {
  PlantAround();
  settings.ReadmeFile = "readme.txt";
  settings.DiscFiles.Add("readme.txt");
  settings.DiscFiles.Add("sound\\theme.wav");
  WriteMedium(medium, settings, {{"zarn.zpb", "project"}, {"data\\a.txt", "a"}},
              {{"game.exe", "MZ"}, {"install.exe", "MZ setup"}, {"readme.txt", "read me"}, {"sound\\theme.wav", "RIFF"}});
  const std::string victims = machine.Scratch() + "victims\\";
  Plant(victims + "file.txt");
  Plant(victims + "folder\\inside.txt");
  const char* names[] = {"readme.txt", "game.exe", "install.exe", "sound\\theme.wav", "sound", "install.dat",
                         "install.dat.tmp", "game.dat", "game.001", "game.ext", "game.ext.tmp", "game.ini"};
  enum Kind { kFileLink, kDangling, kFolderLink };
  int n = 0, refusedCases = 0;
  for (const char* name : names) {
    for (Kind kind : {kFileLink, kDangling, kFolderLink}) {
      const std::string what = std::string(name) + Format(" kind %d", static_cast<int>(kind));
      dest = machine.Scratch() + Format("games\\l%d\\", n++);
      MakeFolders(dest);
      const std::string target = kind == kFileLink ? victims + "file.txt"
                                 : kind == kDangling ? victims + Format("nothing%d.txt", n)
                                                     : victims + "folder";
      Link(target, dest + name);
      // Only a link on the way to a file of the medium (sound\theme.wav) is refused.
      const bool refusedCase = std::string(name) == "sound";
      NextRun();
      if (refusedCase) {
        ++refusedCases;
        EXPECT_FALSE(Install(Components(true, true))) << what;
        EXPECT_NE(error.find("リンクを経由して書き込むことはできません"), std::string::npos) << what;
      } else {
        ASSERT_TRUE(Install(Components(true, true))) << what << p.SjisToUtf8(error);
        EXPECT_EQ(Get(dest + "sound\\theme.wav"), "RIFF") << what;
        EXPECT_EQ(Extract(dest + "game.dat", "data\\a.txt"), "a") << what;
        Put(dest + "save.dat", "progress");
        NextRun();
        ASSERT_TRUE(Uninstall(true)) << what << p.SjisToUtf8(error);
      }
      if (kind == kDangling) {
        EXPECT_FALSE(Exists(target)) << what;
      }
      ExpectPlantedUnchanged(what);
    }
  }
  std::cout << "[ hostile ] " << n << " destination links: " << refusedCases << " refused, " << n - refusedCases
            << " installed and uninstalled\n";
  RecordProperty("links", n);
}

// A linked folder on the way to a file of the medium is refused before anything changes:
// the old data file of a reinstall is still there. Files of a sound folder come first, so
// the linked folder is not taken for one already checked.
TEST_F(HostileMedia, ALinkedFolderInTheDestinationIsRefusedBeforeAnythingChanges) {
  PlantAround();
  for (const char* name : {"voice\\a.ogg", "voice\\b.ogg", "sound\\theme.wav"}) settings.DiscFiles.Add(name);
  WriteMedium(medium, settings, {{"data\\a.txt", "a"}},
              {{"game.exe", "MZ"},
               {"install.exe", "MZ setup"},
               {"voice\\a.ogg", "OggS"},
               {"voice\\b.ogg", "OggS"},
               {"sound\\theme.wav", "RIFF"}});
  Put(dest + "game.dat", "old data");
  Put(dest + "game.exe", "old program");
  std::string docs = Special(csidlPersonal);
  Link(WithoutBackslash(docs), dest + "sound");
  EXPECT_FALSE(Install(Components(true, true)));
  EXPECT_NE(error.find("リンクを経由して書き込むことはできません"), std::string::npos) << p.SjisToUtf8(error);
  EXPECT_EQ(Get(dest + "game.dat"), "old data");
  EXPECT_EQ(Get(dest + "game.exe"), "old program");
  EXPECT_FALSE(Exists(docs + "theme.wav"));
  ExpectPlantedUnchanged("linked folder");
}

// The save folder of a title ".." would be the application-data folder's parent.
TEST_F(HostileMedia, ASaveFolderNamedDotDotIsNoSaveFolder) {
  std::string local = Special(csidlLocalAppData);
  std::string parent = WithoutBackslash(local);
  parent = parent.substr(0, parent.size() - ExtractFileName(parent).size());
  Put(parent + "save.dat", "someone's");
  Put(local + "save.dat", "someone else's");
  MakeFolders(dest);
  settings.Title = "..";
  settings.Installed = true;
  settings.InstalledFiles.Add("install.dat");
  settings.SaveToFile(p, dest + "install.dat");
  Put(dest + "save.dat", "progress");
  TStringList folders;
  EXPECT_EQ(UserAppDataDirs(p, "..", folders), 0);
  EXPECT_TRUE(Uninstall(true)) << error;
  EXPECT_EQ(Get(parent + "save.dat"), "someone's");
  EXPECT_EQ(Get(local + "save.dat"), "someone else's");
  EXPECT_FALSE(Exists(dest + "save.dat"));
}

// A save folder that is a link leads to someone else's files; nothing goes through it.
TEST_F(HostileMedia, ASaveFolderThatIsALinkIsLeftAlone) {
  std::string local = Special(csidlLocalAppData);
  Put(machine.Scratch() + "elsewhere\\save.dat", "someone's");
  Link(machine.Scratch() + "elsewhere", local + CleanFolderName(title));
  MakeFolders(dest);
  settings.Installed = true;
  settings.InstalledFiles.Add("install.dat");
  settings.SaveToFile(p, dest + "install.dat");
  EXPECT_TRUE(Uninstall(true)) << error;
  EXPECT_EQ(Get(machine.Scratch() + "elsewhere\\save.dat"), "someone's");
  p.RemoveDirectory(local + CleanFolderName(title));
}

}  // namespace
}  // namespace testing
}  // namespace zarn
