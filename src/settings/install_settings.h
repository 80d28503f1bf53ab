// The settings record of one setup package, and its file install.dat.
//
// The record says what to install (title, texts, default folder, component sizes per disc,
// plain files of the medium), how the run behaves (install kind, update, uninstall) and,
// in an installed copy, which files were installed. The launcher owns one record per run.
//
// install.dat (all integers little-endian; a string is an int32 length n and n bytes,
// n <= 0 meaning empty):
//
//   "is" + 3 decimal digits   the format version; absent in the oldest files (version 0)
//   int32  DiscIndex
//   string Title, SplashText, DefaultDir, ReadmeFile
//   u8     OpenReadme
//   string BackImage
//   u8     BackLayout
//   int32  DiscCount
//   string ProgramFile
//   u32    ImageKey
//   u8     RuntimeSetup, ReservedFlag
//   string MediaName, RegistryKey
//   per disc: program, data, sound, movie bytes   int64 each (int32, low half, before 100)
//   totals:   program, data, sound, movie bytes   the same widths
//   u8     Installed
//   u8     UpdateMode                              101 and later
//   int32 count, count strings: InstalledFiles     102 and later (empty names dropped)
//   u8     DataInstalled                           103 and later
//   u8     InstallKind                             104 and later
//   u8     FilesInArchive                          105 and later
//   int32 count, count strings: DiscFiles          106 and later
//   string SetupCaption                            107 and later
//   string HelloText, LicenseText                  108 and later
//
// Files are always written as version 108.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/string_list.h"
#include "runtime/streams.h"

namespace zarn {

// Install kinds.
enum : uint8_t {
  ikNormal = 0,  // the user picks discs, components and folder
  ikFull = 1,    // every component, no disc or component page
  ikSystem = 2,  // into the Windows folder; no disc, component or folder page, no start menu
};

// Most bytes a settings record read from an archive member may hold: room for the texts
// and the file lists of a game with a hundred thousand files, and far below what would
// strain memory.
constexpr int64_t kMaxSettingsSize = int64_t(64) << 20;

// Placement of the background picture.
enum : uint8_t { blCentre = 0, blStretch = 1, blTile = 2 };

class TZarnInstallSet {
 public:
  // The version SaveToStream writes.
  static constexpr int kCurrentVersion = 108;

  TZarnInstallSet() = default;
  virtual ~TZarnInstallSet() = default;
  TZarnInstallSet(const TZarnInstallSet&) = default;
  TZarnInstallSet& operator=(const TZarnInstallSet&) = default;
  TZarnInstallSet(TZarnInstallSet&&) = default;
  TZarnInstallSet& operator=(TZarnInstallSet&&) = default;

  // ---- fields (the order install.dat stores them in is SaveToStream's)
  int32_t DiscCount = 0;          // length of the four per-disc arrays
  TStringList InstalledFiles;     // installed files, relative to the destination
  std::string SetupCaption;       // splash caption; empty = Title + "のセットアップ"
  int32_t DiscIndex = 0;          // 0-based disc this file belongs to
  std::string Title;
  std::string SplashText;
  std::string DefaultDir;         // may begin with "<ProgramFiles>"
  std::string ReadmeFile;         // relative to the destination; empty = none
  uint8_t InstallKind = ikNormal;
  bool OpenReadme = false;
  std::string BackImage;          // archive member with the background picture
  uint8_t BackLayout = blCentre;
  std::string ProgramFile;        // the game's program, relative to the destination
  uint32_t ImageKey = 0;          // key of the layered-image loader
  bool RuntimeSetup = false;      // offer DirectX / media player setup in the start menu
  uint8_t ReservedFlag = 0;       // kept as read
  std::string MediaName;          // the word for one medium in the wizard's texts
  std::string RegistryKey;        // below HKEY_CURRENT_USER\Software; one leading \ ignored
  std::vector<int64_t> DiscProgramSizes, DiscDataSizes, DiscSoundSizes, DiscMovieSizes;
  int64_t ProgramSize = 0, DataSize = 0, SoundSize = 0, MovieSize = 0;
  bool Installed = false;         // an installed copy: the program uninstalls
  bool UpdateMode = false;        // updates an installation of the same Title
  bool DataInstalled = false;     // the data component was copied
  bool FilesInArchive = false;    // separate files come from archive members
  TStringList DiscFiles;          // lower-case relative paths of copyable plain files
  std::string HelloText;          // welcome page; empty = no page
  std::string LicenseText;        // licence page; empty = no page

  // ---- file format
  // Reads the record from the stream's current position and returns the version read
  // (0 for a file without header). Items an older version lacks keep their values; both
  // lists are emptied first. A short stream raises EReadError, a count or length the rest
  // of the stream cannot hold raises EFormatError; either way the record is unchanged.
  int LoadFromStream(TStream& stream);
  // Opens the file for reading (others may read, not write); EFOpenError when it cannot.
  int LoadFromFile(Platform& platform, const std::string& path);
  // Writes version 108.
  void SaveToStream(TStream& stream) const;
  void SaveToFile(Platform& platform, const std::string& path) const;

  // DiscCount := n; the per-disc arrays keep their entries, new ones are 0. n < 0 raises.
  void SetDiscCount(int32_t n);

  // ---- the product key HKEY_CURRENT_USER\Software\ + RegistryKey (nothing when empty)
  std::string ReadRegString(Platform& platform, const std::string& name, const std::string& defaultValue) const;
  void WriteRegString(Platform& platform, const std::string& name, const std::string& value) const;
  // Deletes the product key and the parents it leaves empty.
  void DeleteRegKey(Platform& platform) const;
  // "InstallPath" is set and InstallPath\ProgramFile exists.
  bool IsGameInstalled(Platform& platform) const;

  // ---- lists
  int32_t InstalledFileCount() const { return InstalledFiles.Count(); }
  const std::string& InstalledFile(int32_t index) const { return InstalledFiles[index]; }
  // First entry equal to the name without regard to case; -1 if none.
  int32_t IndexOfInstalledFile(const std::string& name) const { return InstalledFiles.IndexOf(name); }
  // Appends the name unless it is listed already.
  void AddInstalledFile(const std::string& name);
  // The name (any case) is one of DiscFiles.
  bool IsDiscFile(const std::string& name) const;

  // SetupCaption, or Title + "のセットアップ" when it is empty.
  std::string GetSetupCaption() const;
};

}  // namespace zarn
