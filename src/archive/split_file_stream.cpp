#include "archive/split_file_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/archive_paths.h"
#include "runtime/error.h"
#include "runtime/sjis.h"
#include "settings/paths.h"

namespace zarn {

namespace {

const int64_t kCopyBufferStep = 1048576;

// The bytes of a stream that keeps its content in memory, or nullptr.
const uint8_t* MemoryOf(TStream& s) {
  if (auto* m = dynamic_cast<TMemoryStream*>(&s)) return m->Memory();
  if (auto* r = dynamic_cast<TResourceStream*>(&s)) return r->Memory();
  return nullptr;
}

void ShortRead() { throw EReadError("ストリームの読み込みエラー"); }

[[noreturn]] void CannotWrite(const std::string& name, const FileHandle* handle) {
  throw EWriteError(StreamFailure(Format("ファイル %s に書き込めません", name), handle ? handle->ErrorReason() : ""));
}

}  // namespace

int64_t CopyStream(TStream& dest, TStream& source, int64_t count, int64_t bufferMax) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count <= 0) return 0;
  if (const uint8_t* mem = MemoryOf(source)) {
    int64_t pos = source.Position();
    if (pos < 0 || count > source.Size() - pos) ShortRead();
    dest.WriteBuffer(mem + pos, count);
    source.SetPosition(pos + count);
    return count;
  }
  // Take the largest buffer up to bufferMax that memory allows, 1 MiB less per failure.
  int64_t want = std::min(count, std::max<int64_t>(bufferMax, 1));
  std::unique_ptr<uint8_t[]> buffer;
  for (;;) {
    try {
      buffer.reset(new uint8_t[static_cast<size_t>(want)]);
      break;
    } catch (const std::bad_alloc&) {
      want -= kCopyBufferStep;
      if (want <= 0) throw;
    }
  }
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(want, left);
    int64_t got = source.Read(buffer.get(), n);
    if (got <= 0) ShortRead();
    dest.WriteBuffer(buffer.get(), got);
    left -= got;
  }
  return count;
}

// ---- TQxBigFileStream

TQxBigFileStream::TQxBigFileStream(Platform& platform, const std::string& fileName, uint16_t mode, int64_t partSize)
    : platform_(platform), fileName_(fileName), mode_(mode), partSize_(partSize > 0 ? partSize : kBigPartSize) {
  int access = mode & 0x0F;
  if (mode == fmCreate || (access != fmOpenRead && access != fmOpenReadWrite)) {
    // Start empty: remove the unbroken run of old parts so none of them can be read as
    // part of the new content later.
    for (int i = 0; platform_.FileExists(PartName(i)); ++i) {
      if (!platform_.DeleteFile(PartName(i)))
        throw EFCreateError(Format("ファイル %s を作成できません", PartName(i)));
    }
    return;
  }
  FileAccess fa = access == fmOpenReadWrite ? FileAccess::ReadWrite : FileAccess::Read;
  FileShare share;
  switch (mode & 0xF0) {
    case fmShareDenyWrite: share = FileShare::Read; break;
    case fmShareDenyRead: share = FileShare::Write; break;
    case fmShareDenyNone: share = FileShare::ReadWrite; break;
    default: share = FileShare::None; break;
  }
  for (int i = 0; platform_.FileExists(PartName(i)); ++i) {
    Part part;
    part.handle = platform_.OpenFile(PartName(i), fa, share, FileCreate::OpenExisting);
    if (!part.handle) throw EFOpenError(Format("ファイル %s を開けません", PartName(i)));
    part.stream.reset(new THandleStream(part.handle.get(), PartName(i)));
    part.size = part.stream->Seek(0, soEnd);
    if (part.size < 0) throw EFOpenError(Format("ファイル %s を開けません", PartName(i)));
    parts_.push_back(std::move(part));
  }
}

TQxBigFileStream::~TQxBigFileStream() {
  if (Writable()) {
    for (auto& p : parts_)
      if (p.handle) p.handle->Flush();
  }
}

bool TQxBigFileStream::Writable() const {
  int access = mode_ & 0x0F;
  return mode_ == fmCreate || access == fmOpenWrite || access == fmOpenReadWrite;
}

void TQxBigFileStream::Flush() {
  for (size_t i = 0; i < parts_.size(); ++i) {
    if (parts_[i].handle && !parts_[i].handle->Flush()) CannotWrite(PartName(static_cast<int>(i)), parts_[i].handle.get());
  }
}

bool TQxBigFileStream::Truncate(int64_t size) {
  if (!Writable()) return false;
  size = std::max<int64_t>(size, 0);
  size_t keep = static_cast<size_t>(std::max<int64_t>((size + partSize_ - 1) / partSize_, 1));
  bool ok = true;
  while (parts_.size() > keep) {
    int last = static_cast<int>(parts_.size()) - 1;
    parts_.pop_back();  // closed before it is deleted
    ok = platform_.DeleteFile(PartName(last)) && ok;
  }
  if (!parts_.empty()) {
    Part& part = parts_.back();
    int64_t rest = size - static_cast<int64_t>(keep - 1) * partSize_;
    if (part.size > rest) {
      ok = part.handle->SetSize(rest) && ok;
      part.size = rest;
    }
  }
  if (position_ > size) position_ = size;
  return ok;
}

std::string TQxBigFileStream::PartName(int index) const {
  if (index == 0) return fileName_;
  return arcpaths::ChangeFileExt(fileName_, "") + Format(".%.3d", index);
}

int64_t TQxBigFileStream::GetSize() {
  // Parts are full up to the last one; a short part in the middle ends the content.
  int64_t size = 0;
  for (size_t i = 0; i < parts_.size(); ++i) {
    size += parts_[i].size;
    if (parts_[i].size < partSize_) break;
  }
  return size;
}

void TQxBigFileStream::MoveTo(int64_t value) {
  position_ = value < 0 ? 0 : value;
  int64_t size = GetSize();
  if (position_ > size) position_ = size;
}

void TQxBigFileStream::SeekPart(Part& part, int64_t offset) {
  if (part.stream->Seek(offset, soBeginning) != offset) throw EReadError("ストリームの読み込みエラー");
}

TQxBigFileStream::Part& TQxBigFileStream::WritablePart(int i) {
  if (!Writable()) throw EWriteError(Format("ファイル %s に書き込めません", fileName_));
  while (static_cast<int>(parts_.size()) <= i) {
    int k = static_cast<int>(parts_.size());
    Part part;
    RemoveLinkAt(platform_, PartName(k));  // a new part is the file's own, never a link's target
    part.handle = platform_.OpenFile(PartName(k), FileAccess::ReadWrite, FileShare::None, FileCreate::CreateAlways);
    if (!part.handle) throw EFCreateError(Format("ファイル %s を作成できません", PartName(k)));
    part.stream.reset(new THandleStream(part.handle.get(), PartName(k)));
    parts_.push_back(std::move(part));
  }
  return parts_[static_cast<size_t>(i)];
}

template <class Put>
int64_t TQxBigFileStream::WriteParts(int64_t count, Put put) {
  int64_t result = 0;
  int i = static_cast<int>(position_ / partSize_);
  while (count > 0) {
    Part& part = WritablePart(i);
    int64_t at = position_ % partSize_;
    SeekPart(part, at);
    int64_t n = std::min(partSize_ - at, count);
    put(part, i, n);
    part.size = std::max(part.size, at + n);
    result += n;
    position_ += n;
    ++i;
    count -= n;
  }
  return result;
}

template <class Get>
int64_t TQxBigFileStream::ReadParts(int64_t count, bool strict, Get get) {
  int64_t result = 0;
  int i = static_cast<int>(position_ / partSize_);
  while (count > 0 && i < PartCount()) {
    Part& part = parts_[static_cast<size_t>(i)];
    int64_t at = position_ % partSize_;
    int64_t n = std::min(part.size - at, count);
    if (n <= 0) break;
    SeekPart(part, at);
    int64_t got = get(part, n);
    if (got > 0) {
      result += got;
      position_ += got;
    }
    if (got != n) break;  // the file changed under us or the system failed
    ++i;
    count -= n;
  }
  if (strict && count > 0) ShortRead();
  return result;
}

int64_t TQxBigFileStream::Write(const void* buffer, int64_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  return WriteParts(count, [&](Part& part, int i, int64_t n) {
    if (part.stream->Write(p, n) != n) CannotWrite(PartName(i), part.handle.get());
    p += n;
  });
}

int64_t TQxBigFileStream::Read(void* buffer, int64_t count) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  count = std::min(count, GetSize() - position_);
  return ReadParts(count, false, [&](Part& part, int64_t n) {
    int64_t got = part.stream->Read(p, n);
    if (got > 0) p += got;
    return got;
  });
}

int64_t TQxBigFileStream::CopyFromStream(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  return WriteParts(count, [&](Part& part, int, int64_t n) { CopyStream(*part.stream, source, n, bufferSize_); });
}

int64_t TQxBigFileStream::CopyToStream(TStream& dest, int64_t count) {
  if (count > GetSize() - position_) ShortRead();
  return ReadParts(count, true, [&](Part& part, int64_t n) { return CopyStream(dest, *part.stream, n, bufferSize_); });
}

int64_t TQxBigFileStream::CopyFromBig(TQxBigStream& source, int64_t count) {
  if (count == 0) {
    source.MoveTo(0);
    count = source.GetSize();
  }
  if (count > source.GetSize() - source.Tell()) ShortRead();
  auto* fileSource = dynamic_cast<TQxBigFileStream*>(&source);
  std::vector<uint8_t> buffer;
  return WriteParts(count, [&](Part& part, int i, int64_t n) {
    if (fileSource) {
      // Part file to part file, never crossing a part boundary on either side.
      fileSource->ReadParts(n, true,
                            [&](Part& from, int64_t s) { return CopyStream(*part.stream, *from.stream, s, bufferSize_); });
      return;
    }
    if (buffer.empty()) buffer.resize(static_cast<size_t>(std::min(bufferSize_, count)));
    for (int64_t left = n; left > 0;) {
      int64_t z = std::min(static_cast<int64_t>(buffer.size()), left);
      if (source.Read(buffer.data(), z) != z) ShortRead();
      if (part.stream->Write(buffer.data(), z) != z) CannotWrite(PartName(i), part.handle.get());
      left -= z;
    }
  });
}

// ---- TQxBigMemoryStream

int64_t TQxBigMemoryStream::CopyFromBig(TQxBigStream& source, int64_t count) {
  auto* other = dynamic_cast<TQxBigMemoryStream*>(&source);
  if (!other) return 0;
  return CopyStream(memory_, other->memory_, count);
}

void TQxBigMemoryStream::LoadFromFile(Platform& platform, const std::string& fileName) {
  LoadFileToStream(platform, fileName, memory_);
  memory_.SetPosition(0);
}

// ---- TQxBigResourceStream

TQxBigResourceStream::TQxBigResourceStream(Module& module, const std::string& resName, const std::string& resType)
    : resource_(module, resName, resType), resName_(resName), resType_(resType) {}

int64_t TQxBigResourceStream::CopyFromBig(TQxBigStream& source, int64_t count) {
  auto* other = dynamic_cast<TQxBigResourceStream*>(&source);
  if (!other) return 0;
  return CopyStream(resource_, other->resource_, count);
}

// ---- TQxBuffBigStream

TQxBuffBigStream::~TQxBuffBigStream() {
  int64_t unread = lookAhead_.Size() - lookAhead_.Position();
  if (unread > 0) source_.MoveTo(source_.Tell() - unread);
}

int64_t TQxBuffBigStream::Remaining() {
  return (lookAhead_.Size() - lookAhead_.Position()) + std::max<int64_t>(0, source_.GetSize() - source_.Tell());
}

int64_t TQxBuffBigStream::Read(void* buffer, int64_t count) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  int64_t result = 0;
  while (count > 0) {
    if (lookAhead_.Position() >= lookAhead_.Size()) {
      lookAhead_.Clear();
      int64_t n = std::min(source_.GetSize() - source_.Tell(), kBlockSize);
      // Nothing left: stop here (a count of 0 would mean "everything" to some streams).
      if (n <= 0) break;
      source_.CopyToStream(lookAhead_, n);
      lookAhead_.SetPosition(0);
      if (lookAhead_.Size() == 0) break;
    }
    int64_t b = std::min(count, lookAhead_.Size() - lookAhead_.Position());
    int64_t got = lookAhead_.Read(p, b);
    result += got;
    p += got;
    count -= got;
  }
  return result;
}

}  // namespace zarn
