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
    : THandleStream(nullptr, path), path_(path) {
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
