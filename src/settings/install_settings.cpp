#include "settings/install_settings.h"

#include <algorithm>
#include <utility>

#include "runtime/byte_order.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/paths.h"

namespace zarn {

namespace {

const char kDamaged[] = "設定ファイルが壊れています";

// Reads the items of a settings file, checking every count and length against the bytes
// that are left before anything is allocated for it.
class SettingsReader {
 public:
  explicit SettingsReader(TStream& stream) : stream_(stream) {
    int64_t size = stream.Size(), pos = stream.Position();
    left_ = size > pos && pos >= 0 ? size - pos : 0;
  }

  int64_t Left() const { return left_; }
  // Goes back to `pos`, `count` bytes before the current position.
  void Rewind(int64_t pos, int64_t count) {
    stream_.SetPosition(pos);
    left_ += count;
  }

  void Read(void* buffer, int64_t count, const char* item) {
    if (count > left_) throw EReadError(Format("設定ファイルが途中で切れています (%s)", item));
    stream_.ReadBuffer(buffer, count);
    left_ -= count;
  }
  uint8_t U8(const char* item) {
    uint8_t b = 0;
    Read(&b, 1, item);
    return b;
  }
  bool Flag(const char* item) { return U8(item) != 0; }
  uint32_t U32(const char* item) {
    uint8_t b[4];
    Read(b, 4, item);
    return LoadLE32(b);
  }
  int32_t I32(const char* item) { return static_cast<int32_t>(U32(item)); }
  int64_t I64(const char* item) {
    uint64_t lo = U32(item);
    uint64_t hi = U32(item);
    return static_cast<int64_t>(lo | (hi << 32));
  }
  // A size value: 8 bytes, or 4 bytes into the low half with the high half kept.
  void Size(int64_t& value, bool wide, const char* item) {
    if (wide) {
      value = I64(item);
    } else {
      uint64_t v = static_cast<uint64_t>(value);
      value = static_cast<int64_t>((v & 0xFFFFFFFF00000000ull) | U32(item));
    }
  }
  // Text of `n` bytes; a length the rest of the file cannot hold is damage.
  std::string Bytes(int32_t n, const char* item) {
    if (n <= 0) return std::string();
    if (n > left_)
      throw EFormatError(Format("%s (%s の長さ %d、残り %d バイト)", kDamaged, item, n, left_));
    std::string s(static_cast<size_t>(n), '\0');
    Read(&s[0], n, item);
    return s;
  }
  std::string String(const char* item) { return Bytes(I32(item), item); }
  // A list count; each entry takes at least its 4-byte length.
  int32_t Count(const char* item) {
    int32_t n = I32(item);
    if (n > 0 && static_cast<int64_t>(n) * 4 > left_)
      throw EFormatError(Format("%s (%s の件数 %d、残り %d バイト)", kDamaged, item, n, left_));
    return n;
  }

 private:
  TStream& stream_;
  int64_t left_ = 0;
};

void ReadRecord(TZarnInstallSet& r, TStream& stream, int& version) {
  SettingsReader in(stream);
  version = 0;
  int64_t start = stream.Position();
  char tag[5] = {};
  const int64_t tagBytes = std::min<int64_t>(in.Left(), 2);
  in.Read(tag, tagBytes, "ヘッダ");
  if (tag[0] == 'i' && tag[1] == 's') {
    in.Read(tag + 2, 3, "ヘッダ");
    bool digits = true;
    for (int i = 2; i < 5; ++i) digits = digits && tag[i] >= '0' && tag[i] <= '9';
    if (digits) version = (tag[2] - '0') * 100 + (tag[3] - '0') * 10 + (tag[4] - '0');
  } else {
    // No header: the oldest files start directly with DiscIndex.
    in.Rewind(start, tagBytes);
  }

  r.DiscIndex = in.I32("DiscIndex");
  r.Title = in.String("Title");
  r.SplashText = in.String("SplashText");
  r.DefaultDir = in.String("DefaultDir");
  r.ReadmeFile = in.String("ReadmeFile");
  r.OpenReadme = in.Flag("OpenReadme");
  r.BackImage = in.String("BackImage");
  r.BackLayout = in.U8("BackLayout");

  const bool wide = version >= 100;
  const int64_t perDisc = wide ? 32 : 16;
  int32_t discs = in.I32("DiscCount");
  if (discs < 0 || static_cast<int64_t>(discs) * perDisc > in.Left())
    throw EFormatError(Format("%s (ディスク数 %d、残り %d バイト)", kDamaged, discs, in.Left()));
  r.SetDiscCount(discs);

  r.ProgramFile = in.String("ProgramFile");
  r.ImageKey = in.U32("ImageKey");
  r.RuntimeSetup = in.Flag("RuntimeSetup");
  r.ReservedFlag = in.U8("ReservedFlag");
  r.MediaName = in.String("MediaName");
  r.RegistryKey = in.String("RegistryKey");
  for (size_t i = 0; i < static_cast<size_t>(r.DiscCount); ++i) {
    in.Size(r.DiscProgramSizes[i], wide, "DiscProgramSizes");
    in.Size(r.DiscDataSizes[i], wide, "DiscDataSizes");
    in.Size(r.DiscSoundSizes[i], wide, "DiscSoundSizes");
    in.Size(r.DiscMovieSizes[i], wide, "DiscMovieSizes");
  }
  in.Size(r.ProgramSize, wide, "ProgramSize");
  in.Size(r.DataSize, wide, "DataSize");
  in.Size(r.SoundSize, wide, "SoundSize");
  in.Size(r.MovieSize, wide, "MovieSize");
  r.Installed = in.Flag("Installed");

  if (version >= 101) r.UpdateMode = in.Flag("UpdateMode");
  r.InstalledFiles.Clear();
  if (version >= 102) {
    int32_t n = in.Count("InstalledFiles");
    for (int32_t i = 0; i < n; ++i) {
      std::string name = in.String("InstalledFiles");
      if (!name.empty()) r.InstalledFiles.Add(name);
    }
  }
  if (version >= 103) r.DataInstalled = in.Flag("DataInstalled");
  if (version >= 104) r.InstallKind = in.U8("InstallKind");
  if (version >= 105) r.FilesInArchive = in.Flag("FilesInArchive");
  r.DiscFiles.Clear();
  if (version >= 106) {
    int32_t n = in.Count("DiscFiles");
    for (int32_t i = 0; i < n; ++i) r.DiscFiles.Add(in.String("DiscFiles"));
  }
  if (version >= 107) r.SetupCaption = in.String("SetupCaption");
  if (version >= 108) {
    r.HelloText = in.String("HelloText");
    r.LicenseText = in.String("LicenseText");
  }
}

void WriteString(TStream& out, const std::string& s) {
  out.WriteI32(static_cast<int32_t>(s.size()));
  out.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

int64_t EntryOrZero(const std::vector<int64_t>& v, size_t i) { return i < v.size() ? v[i] : 0; }

}  // namespace

int TZarnInstallSet::LoadFromStream(TStream& stream) {
  // Read into a copy, so a damaged file leaves the record as it was.
  TZarnInstallSet loaded(*this);
  int version = 0;
  ReadRecord(loaded, stream, version);
  *this = std::move(loaded);
  return version;
}

int TZarnInstallSet::LoadFromFile(Platform& platform, const std::string& path) {
  TFileStream file(platform, path, fmOpenRead | fmShareDenyWrite);
  return LoadFromStream(file);
}

void TZarnInstallSet::SaveToStream(TStream& stream) const {
  // Built in memory first, then written in one piece.
  TMemoryStream out;
  out.WriteBuffer("is108", 5);
  out.WriteI32(DiscIndex);
  WriteString(out, Title);
  WriteString(out, SplashText);
  WriteString(out, DefaultDir);
  WriteString(out, ReadmeFile);
  out.WriteU8(OpenReadme ? 1 : 0);
  WriteString(out, BackImage);
  out.WriteU8(BackLayout);
  out.WriteI32(DiscCount);
  WriteString(out, ProgramFile);
  out.WriteU32(ImageKey);
  out.WriteU8(RuntimeSetup ? 1 : 0);
  out.WriteU8(ReservedFlag);
  WriteString(out, MediaName);
  WriteString(out, RegistryKey);
  for (size_t i = 0; DiscCount > 0 && i < static_cast<size_t>(DiscCount); ++i) {
    out.WriteI64(EntryOrZero(DiscProgramSizes, i));
    out.WriteI64(EntryOrZero(DiscDataSizes, i));
    out.WriteI64(EntryOrZero(DiscSoundSizes, i));
    out.WriteI64(EntryOrZero(DiscMovieSizes, i));
  }
  out.WriteI64(ProgramSize);
  out.WriteI64(DataSize);
  out.WriteI64(SoundSize);
  out.WriteI64(MovieSize);
  out.WriteU8(Installed ? 1 : 0);
  out.WriteU8(UpdateMode ? 1 : 0);
  out.WriteI32(InstalledFiles.Count());
  for (const std::string& s : InstalledFiles) WriteString(out, s);
  out.WriteU8(DataInstalled ? 1 : 0);
  out.WriteU8(InstallKind);
  out.WriteU8(FilesInArchive ? 1 : 0);
  out.WriteI32(DiscFiles.Count());
  for (const std::string& s : DiscFiles) WriteString(out, s);
  WriteString(out, SetupCaption);
  WriteString(out, HelloText);
  WriteString(out, LicenseText);
  out.SaveToStream(stream);
}

void TZarnInstallSet::SaveToFile(Platform& platform, const std::string& path) const {
  // Written beside and swapped in: a full disk never leaves a record cut short.
  TMemoryStream bytes;
  SaveToStream(bytes);
  WriteFileReplacing(platform, path, bytes.Memory(), bytes.Size());
}

void TZarnInstallSet::SetDiscCount(int32_t n) {
  if (n < 0) throw EFormatError(Format("ディスク数 %d は正しくありません", n));
  DiscCount = n;
  for (auto* v : {&DiscProgramSizes, &DiscDataSizes, &DiscSoundSizes, &DiscMovieSizes})
    v->resize(static_cast<size_t>(n), 0);
}

std::string TZarnInstallSet::ReadRegString(Platform& platform, const std::string& name,
                                           const std::string& defaultValue) const {
  return ProductKeyReadString(platform, RegistryKey, name, defaultValue);
}

void TZarnInstallSet::WriteRegString(Platform& platform, const std::string& name, const std::string& value) const {
  ProductKeyWriteString(platform, RegistryKey, name, value);
}

void TZarnInstallSet::DeleteRegKey(Platform& platform) const { ProductKeyDelete(platform, RegistryKey); }

bool TZarnInstallSet::IsGameInstalled(Platform& platform) const {
  std::string dir = ReadRegString(platform, "InstallPath", "");
  return !dir.empty() && platform.FileExists(AddBackslash(dir) + ProgramFile);
}

void TZarnInstallSet::AddInstalledFile(const std::string& name) {
  if (IndexOfInstalledFile(name) < 0) InstalledFiles.Add(name);
}

bool TZarnInstallSet::IsDiscFile(const std::string& name) const { return DiscFiles.IndexOf(LowerCase(name)) >= 0; }

std::string TZarnInstallSet::GetSetupCaption() const {
  return SetupCaption.empty() ? Title + "のセットアップ" : SetupCaption;
}

}  // namespace zarn
