#include "platform/platform.h"

#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {

int32_t ToDosDateTime(const LocalTime& t) {
  if (t.year < 1980 || t.year > 2107) return t.year < 1980 ? (1 << 21) | (1 << 16) : -1;
  uint32_t date = static_cast<uint32_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
  uint32_t time = static_cast<uint32_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
  return static_cast<int32_t>((date << 16) | time);
}

LocalTime FromDosDateTime(int32_t dos) {
  uint32_t u = static_cast<uint32_t>(dos);
  uint32_t date = u >> 16, time = u & 0xFFFF;
  LocalTime t;
  t.year = static_cast<int>((date >> 9) + 1980);
  t.month = static_cast<int>((date >> 5) & 15);
  t.day = static_cast<int>(date & 31);
  t.hour = static_cast<int>(time >> 11);
  t.minute = static_cast<int>((time >> 5) & 63);
  t.second = static_cast<int>((time & 31) * 2);
  return t;
}

namespace {

// Length of the root of a path, which no folder can be created in: "C:\" (3) or "C:" (2),
// "\\server\share\" (the whole of it when it has no more), "\" (1), else 0 (relative).
size_t RootLength(const std::string& p) {
  const bool letter = !p.empty() && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
  if (letter && p.size() >= 2 && p[1] == ':') return p.size() >= 3 && p[2] == '\\' ? 3 : 2;
  if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') {
    size_t server = FindDelimiter(p, '\\', 2);
    size_t share = server == std::string::npos ? server : FindDelimiter(p, '\\', server + 1);
    return share == std::string::npos ? p.size() : share + 1;
  }
  return !p.empty() && p[0] == '\\' ? 1 : 0;
}

}  // namespace

bool ForceDirectories(Platform& platform, const std::string& path) {
  if (path.empty()) return false;
  const size_t root = RootLength(path);
  std::string dir = path;
  while (dir.size() > root && EndsWithDelimiter(dir, '\\')) dir.pop_back();
  if (dir.size() <= root) return platform.DirectoryExists(AddBackslash(dir));
  if (platform.DirectoryExists(dir)) return true;
  // Top down: each missing folder below the root, then the folder itself.
  size_t start = root;  // where the current component begins
  for (size_t at = FindDelimiter(dir, '\\', root); at != std::string::npos; at = FindDelimiter(dir, '\\', at + 1)) {
    if (at > start) {  // not an empty component
      const std::string folder = dir.substr(0, at);
      if (!platform.DirectoryExists(folder)) platform.CreateDirectory(folder);
    }
    start = at + 1;
  }
  platform.CreateDirectory(dir);
  return platform.DirectoryExists(dir);
}

namespace {
FileShare ShareOf(uint16_t mode) {
  switch (mode & 0xF0) {
    case fmShareDenyWrite: return FileShare::Read;
    case fmShareDenyRead: return FileShare::Write;
    case fmShareDenyNone: return FileShare::ReadWrite;
    default: return FileShare::None;
  }
}
}  // namespace

TFileStream::TFileStream(Platform& platform, const std::string& path, uint16_t mode, bool writeThrough)
    : THandleStream(nullptr, path) {
  if (mode == fmCreate) {
    owned_ = platform.OpenFile(path, FileAccess::ReadWrite, FileShare::None, FileCreate::CreateAlways, writeThrough);
    if (!owned_) throw EFCreateError(Format("ファイル %s を作成できません", path));
  } else {
    FileAccess access = (mode & 3) == fmOpenWrite      ? FileAccess::Write
                        : (mode & 3) == fmOpenReadWrite ? FileAccess::ReadWrite
                                                        : FileAccess::Read;
    owned_ = platform.OpenFile(path, access, ShareOf(mode), FileCreate::OpenExisting, writeThrough);
    if (!owned_) throw EFOpenError(Format("ファイル %s を開けません", path));
  }
  handle_ = owned_.get();
}

TFileStream::~TFileStream() = default;

TResourceStream::TResourceStream(Module& module, const std::string& name, const std::string& type) {
  std::string bytes;
  if (!module.FindResource(name, type, bytes)) throw EResNotFound(Format("リソース %s が見つかりません", name));
  data_.Assign(bytes);
}

int64_t TResourceStream::Write(const void*, int64_t) {
  throw EStreamError("リソースストリームには書き込めません");
}

void LoadFileToStream(Platform& platform, const std::string& path, TMemoryStream& stream) {
  TFileStream file(platform, path, fmOpenRead | fmShareDenyWrite);
  stream.LoadFromStream(file);
}

}  // namespace zarn
