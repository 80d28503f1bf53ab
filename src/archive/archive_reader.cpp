#include "archive/archive_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "archive/archive_paths.h"
#include "runtime/byte_order.h"
#include "runtime/error.h"
#include "runtime/scramble_random.h"
#include "runtime/sjis.h"
#include "runtime/zlib_streams.h"
#include "settings/install_settings.h"
#include "settings/paths.h"

namespace zarn {

const char* const kEndMarkerName = "\\EOF\\";

namespace {

// Caps on what a directory may ask for, on top of the bytes it really has.
const int64_t kMaxMembers = int64_t(1) << 20;
const int64_t kMaxNameLength = 65536;
// Deflate cannot expand data by more than about 1032:1; a member that inflates beyond this
// bound is damaged or hostile.
const int64_t kMaxInflateRatio = 1040;
const int64_t kReadBlock = 1048576;
// ExtractMember and VerifyMember read members up to this size through a read-ahead
// window of kReadBlock.
const int64_t kAheadMember = 65536;

[[noreturn]] void Damaged(const std::string& what, const std::string& detail) {
  throw EFormatError(Format("%s:ファイルが壊れています（%s）", what, detail));
}

}  // namespace

// ---- CRC-32

uint32_t UpdateCRC(uint32_t crc, const void* data, int64_t size) {
  const Bytef* p = static_cast<const Bytef*>(data);
  uLong c = crc;
  while (size > 0) {
    uInt n = static_cast<uInt>(std::min<int64_t>(size, 1 << 30));
    c = crc32(c, p, n);
    p += n;
    size -= n;
  }
  return static_cast<uint32_t>(c);
}

uint32_t StreamCRC(TStream& s) {
  s.SetPosition(0);
  if (auto* m = dynamic_cast<TMemoryStream*>(&s)) {
    uint32_t crc = UpdateCRC(0, m->Memory(), m->Size());
    m->SetPosition(m->Size());
    return crc;
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(kReadBlock));
  uint32_t crc = 0;
  for (;;) {
    int64_t got = s.Read(buffer.data(), kReadBlock);
    if (got <= 0) break;
    crc = UpdateCRC(crc, buffer.data(), got);
  }
  return crc;
}

uint32_t RangeCRC(TQxBigStream& s, int64_t count, uint8_t* buffer, int64_t bufferSize, int64_t* got) {
  uint32_t crc = 0;
  int64_t total = 0;
  while (count > 0) {
    int64_t n = s.Read(buffer, std::min(count, bufferSize));
    if (n <= 0) break;
    crc = UpdateCRC(crc, buffer, n);
    total += n;
    count -= n;
  }
  if (got) *got = total;
  return crc;
}

// ---- TVrFile

TVrFile::TVrFile(TVrFileCollection& collection) : THashCollectionItem(collection) {}
TVrFile::TVrFile(TVrFileCollection& collection, std::string name) : THashCollectionItem(collection, std::move(name)) {}

// ---- TVrFileCollection

TVrFileCollection::TVrFileCollection(Platform& platform) : platform_(platform) {}

TVrFileCollection::~TVrFileCollection() {
  Clear();
  stream_.reset();
  module_.reset();
}

TVrFile* TVrFileCollection::AddFile(std::string name) { return new TVrFile(*this, std::move(name)); }

void TVrFileCollection::Reset() {
  ahead_.clear();
  aheadAt_ = -1;
  endMarker_ = nullptr;
  dataEnd_ = -1;
  Clear();
  stream_.reset();
}

std::string TVrFileCollection::DisplayFileName() const {
  return fileName_.empty() ? std::string("アーカイブ") : fileName_;
}

void TVrFileCollection::OpenPath(const std::string& fileName, bool asFile) {
  Reset();
  fileName_ = fileName;
  if (fileName.empty()) return;
  bool exists = platform_.FileExists(fileName);
  folder_ = exists || asFile ? arcpaths::FilePath(fileName) : fileName;
  if (!folder_.empty()) folder_ = AddBackslash(folder_);
  if (!exists) return;

  try {
    stream_.reset(new TQxBigFileStream(platform_, fileName, fmOpenRead | fmShareDenyWrite, PartSize));
    std::string ext = UpperCase(arcpaths::FileExt(fileName));
    if (ext != ".EXE" && ext != ".SCR") {
      std::string dirFile = arcpaths::ChangeFileExt(fileName, ".ext");
      if (platform_.FileExists(dirFile)) {
        TQxBigMemoryStream dir;
        dir.LoadFromFile(platform_, dirFile);
        dir.MoveTo(0);
        ReadDirectoryFrom(dir, stream_->GetSize());
      } else {
        stream_->MoveTo(0);
        ReadDirectoryFrom(*stream_, stream_->GetSize());
      }
    } else {
      int64_t size = stream_->GetSize();
      if (size < 6) Damaged(DisplayFileName(), "末尾の情報がありません");
      stream_->MoveTo(size - 6);
      uint8_t trailer[4];
      if (stream_->Read(trailer, 4) != 4) Damaged(DisplayFileName(), "末尾の情報がありません");
      int64_t start = LoadLEI32(trailer);
      if (start < 0 || start > size - 6) Damaged(DisplayFileName(), "アーカイブの位置が範囲外です");
      stream_->MoveTo(start);
      ReadDirectoryFrom(*stream_, size - 6 - start);
    }
  } catch (...) {
    Reset();
    throw;
  }
}

void TVrFileCollection::OpenResource(const std::string& fileName, const std::string& resName,
                                     const std::string& resType) {
  Reset();
  module_.reset();
  if (SameText(fileName, platform_.ProgramFile()))
    module_ = platform_.OwnModule();
  else
    module_ = platform_.LoadModule(fileName);
  if (!module_) return;
  stream_.reset(new TQxBigResourceStream(*module_, resName, resType));
  if (stream_->GetSize() == 0) throw EResNotFound("リソースが見つかりません");
  stream_->MoveTo(0);
  try {
    ReadDirectoryFrom(*stream_, stream_->GetSize());
  } catch (...) {
    Reset();
    throw;
  }
}

void TVrFileCollection::OpenStream(std::unique_ptr<TQxBigStream> stream) {
  Reset();
  stream_ = std::move(stream);
  if (!stream_) return;
  try {
    stream_->MoveTo(0);
    ReadDirectoryFrom(*stream_, stream_->GetSize());
  } catch (...) {
    Reset();
    throw;
  }
}

void TVrFileCollection::ReadDirectory(TQxBigStream& s) {
  ReadDirectoryFrom(s, std::max<int64_t>(0, s.GetSize() - s.Tell()));
}

void TVrFileCollection::ReadDirectoryFrom(TQxBigStream& s, int64_t dataSize) {
  const std::string what = DisplayFileName();
  const int64_t base = s.Tell();
  auto left = [&]() { return std::max<int64_t>(0, s.GetSize() - s.Tell()); };
  auto readExact = [&](void* p, int64_t n, const char* detail) {
    if (n > left() || s.Read(p, n) != n) Damaged(what, detail);
  };

  // Header.
  uint8_t head[4];
  int32_t version = 0;
  if (left() < 4) Damaged(what, "ディレクトリがありません");
  readExact(head, 2, "ディレクトリがありません");
  if (head[0] == 'v' && head[1] == 'f') {
    readExact(head, 4, "ヘッダーが途中で終わっています");
    version = LoadLEI32(head);
    if (version < 0) Damaged(what, Format("バージョン %d は読めません", version));
  } else {
    s.MoveTo(s.Tell() - 2);
  }
  readExact(head, 4, "ヘッダーが途中で終わっています");
  const int64_t n = LoadLEI32(head);

  // The smallest directory N members can have: a length per name, the offsets and the
  // per-member tables. Check N against that and a cap before anything is allocated.
  const int64_t offsetWidth = version >= 101 ? 8 : 4;
  const int64_t tableBytes = version >= 102 ? 10 : version >= 101 ? 9 : 0;
  if (n < 0 || n > kMaxMembers) Damaged(what, Format("メンバー数 %d が正しくありません", n));
  if (n * (4 + offsetWidth + tableBytes) + offsetWidth > left())
    Damaged(what, Format("メンバー数 %d に対してディレクトリが短すぎます", n));

  // Names, through the look-ahead reader.
  std::vector<std::string> names(static_cast<size_t>(n));
  {
    TQxBuffBigStream reader(s);
    for (int64_t i = 0; i < n; ++i) {
      uint8_t lb[4];
      if (reader.Read(lb, 4) != 4) Damaged(what, "名前が途中で終わっています");
      int64_t len = LoadLEI32(lb);
      if (len <= 0) continue;
      // What must still follow: this name, the other lengths, offsets and tables.
      int64_t after = (n - 1 - i) * 4 + (n + 1) * offsetWidth + n * tableBytes;
      if (len > kMaxNameLength || len > reader.Remaining() - after)
        Damaged(what, Format("名前の長さ %d が正しくありません", len));
      std::string& name = names[static_cast<size_t>(i)];
      name.resize(static_cast<size_t>(len));
      if (reader.Read(&name[0], len) != len) Damaged(what, "名前が途中で終わっています");
    }
  }
  if (version >= 100) {
    TQxRandom r(kDirectorySeed);
    for (auto& name : names)
      for (auto& c : name) c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(r.Next()));
  }

  // Offsets.
  std::vector<int64_t> offsets(static_cast<size_t>(n + 1));
  {
    std::vector<uint8_t> raw(static_cast<size_t>((n + 1) * offsetWidth));
    readExact(raw.data(), static_cast<int64_t>(raw.size()), "オフセット表が途中で終わっています");
    TQxRandom r(kDirectorySeed);
    for (int64_t k = 0; k <= n; ++k) {
      const uint8_t* b = raw.data() + k * offsetWidth;
      int64_t v;
      if (offsetWidth == 8) {
        uint64_t lo = LoadLE32(b), hi = LoadLE32(b + 4);
        v = static_cast<int64_t>(lo | (hi << 32));
        if (version >= 100) v ^= static_cast<int64_t>(r.Next());
      } else {
        uint32_t u = LoadLE32(b);
        if (version >= 100) u ^= static_cast<uint32_t>(r.Next());
        v = static_cast<int64_t>(u);
      }
      offsets[static_cast<size_t>(k)] = v;
    }
  }
  // Every member must lie within the data, and sizes cannot be negative.
  for (int64_t k = 0; k <= n; ++k) {
    int64_t v = offsets[static_cast<size_t>(k)];
    if (v < 0 || v > dataSize)
      Damaged(k < n ? names[static_cast<size_t>(k)] : what, "データの位置が範囲外です");
    if (k > 0 && v < offsets[static_cast<size_t>(k - 1)])
      Damaged(names[static_cast<size_t>(k - 1)], "データの位置の順序が正しくありません");
  }

  // Per-member tables.
  std::vector<uint8_t> stored, separate;
  std::vector<uint8_t> dates, crcs;
  if (version >= 101) {
    stored.resize(static_cast<size_t>(n));
    dates.resize(static_cast<size_t>(n * 4));
    crcs.resize(static_cast<size_t>(n * 4));
    readExact(stored.data(), n, "表が途中で終わっています");
    readExact(dates.data(), n * 4, "表が途中で終わっています");
    readExact(crcs.data(), n * 4, "表が途中で終わっています");
    if (version >= 102) {
      separate.resize(static_cast<size_t>(n));
      readExact(separate.data(), n, "表が途中で終わっています");
    }
  }

  // All read and checked: fill the collection.
  Reserve(Count() + static_cast<int>(n) + 1);
  for (int64_t i = 0; i < n; ++i) {
    TVrFile* f = AddFile(std::move(names[static_cast<size_t>(i)]));
    f->Offset = offsets[static_cast<size_t>(i)] + base;
    f->Size = offsets[static_cast<size_t>(i + 1)] - offsets[static_cast<size_t>(i)];
    if (version >= 101) {
      f->Stored = stored[static_cast<size_t>(i)] != 0;
      f->FileDate = LoadLEI32(&dates[static_cast<size_t>(i * 4)]);
      f->CRC = LoadLE32(&crcs[static_cast<size_t>(i * 4)]);
      if (version >= 102) f->Separate = separate[static_cast<size_t>(i)] != 0;
    }
  }
  endMarker_ = AddFile(kEndMarkerName);
  endMarker_->Offset = offsets[static_cast<size_t>(n)];
  dataEnd_ = offsets[static_cast<size_t>(n)] + base;
}

// ---- extraction

namespace {

void CheckInflateEnd(InflateEnd end, const std::string& name) {
  switch (end) {
    case InflateEnd::Complete: break;
    case InflateEnd::Truncated: Damaged(name, "圧縮データが途中で終わっています");
    case InflateEnd::Damaged: throw EZlibError(Format("%s:展開エラー: データが壊れています", name));
    case InflateEnd::TooLarge: Damaged(name, "展開後のデータが大きすぎます");
  }
}

// Reads `count` bytes from the source's position through `buffer` a block at a time, each
// added to `crc` while it is still in the processor's cache and passed on to `dest` when
// there is one.
void PassChecked(TQxBigStream& source, int64_t count, uint8_t* buffer, int64_t bufferSize, uint32_t& crc,
                 TStream* dest, const std::string& name) {
  while (count > 0) {
    const int64_t n = std::min(count, bufferSize);
    if (source.Read(buffer, n) != n) Damaged(name, "データが途中で終わっています");
    crc = UpdateCRC(crc, buffer, n);
    if (dest) dest->WriteBuffer(buffer, n);
    count -= n;
  }
}

// Inflates the zlib stream of `size` bytes at the source's position into dest, in blocks;
// with `storedCrc`, takes the CRC-32 of the stream's bytes as they are read.
void InflateMember(TQxBigStream& source, int64_t size, TStream& dest, int64_t limit, const std::string& name,
                   uint32_t* storedCrc) {
  // The input buffer is not cleared: most members are small.
  const size_t inSize = static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(size, 1), kReadBlock));
  std::unique_ptr<uint8_t[]> in(new uint8_t[inSize]);
  int64_t left = size;
  InflateEnd end = InflateBlocks(
      [&](const uint8_t*& data) -> int64_t {
        int64_t n = std::min<int64_t>(left, static_cast<int64_t>(inSize));
        if (n > 0 && source.Read(in.get(), n) != n) Damaged(name, "データが途中で終わっています");
        if (storedCrc) *storedCrc = UpdateCRC(*storedCrc, in.get(), n);
        left -= n;
        data = in.get();
        return n;
      },
      [&](const uint8_t* block, int64_t got) { dest.WriteBuffer(block, got); }, limit);
  CheckInflateEnd(end, name);
  // Bytes after the zlib stream's end are stored bytes too.
  if (storedCrc) PassChecked(source, left, in.get(), static_cast<int64_t>(inSize), *storedCrc, nullptr, name);
}

// The same for a zlib stream held in memory.
void InflateBytes(const uint8_t* bytes, int64_t size, TStream& dest, int64_t limit, const std::string& name) {
  InflateEnd end = InflateBlocks(
      bytes, size, [&](const uint8_t* block, int64_t got) { dest.WriteBuffer(block, got); }, limit);
  CheckInflateEnd(end, name);
}

}  // namespace

void TVrFileCollection::CopyEntryContent(TVrFile& e, TStream& dest, int64_t inflateLimit, uint32_t* storedCrc) {
  if (!e.LiesWithin(stream_->GetSize())) Damaged(e.Name(), "データが範囲外です");
  stream_->MoveTo(e.Offset);
  if (storedCrc) *storedCrc = 0;
  if (e.Size <= 0) return;
  if (!e.Stored) {
    InflateMember(*stream_, e.Size, dest, std::min(inflateLimit, e.Size * kMaxInflateRatio + 65536), e.Name(),
                  storedCrc);
  } else if (storedCrc) {
    const int64_t blockSize = std::min(e.Size, kReadBlock);
    std::unique_ptr<uint8_t[]> block(new uint8_t[static_cast<size_t>(blockSize)]);
    PassChecked(*stream_, e.Size, block.get(), blockSize, *storedCrc, &dest, e.Name());
  } else {
    stream_->CopyToStream(dest, e.Size);
  }
}

const uint8_t* TVrFileCollection::AheadBytes(const TVrFile& e) {
  const int64_t size = stream_->GetSize();
  if (!e.LiesWithin(size)) Damaged(e.Name(), "データが範囲外です");
  if (aheadAt_ < 0 || e.Offset < aheadAt_ || e.Offset - aheadAt_ > static_cast<int64_t>(ahead_.size()) - e.Size) {
    aheadAt_ = -1;
    const int64_t n = std::max(e.Size, std::min(size - e.Offset, kReadBlock));
    ahead_.resize(static_cast<size_t>(n));
    stream_->MoveTo(e.Offset);
    if (stream_->Read(ahead_.data(), n) != n) Damaged(e.Name(), "データが途中で終わっています");
    aheadAt_ = e.Offset;
  }
  return ahead_.data() + (e.Offset - aheadAt_);
}

int64_t TVrFileCollection::StartExtract(TStream& dest, const TVrFile* e, int64_t maxSize) {
  auto* memDest = dynamic_cast<TMemoryStream*>(&dest);
  if (memDest) memDest->Clear();
  const int64_t limit = !memDest ? INT64_MAX : maxSize >= 0 ? maxSize : MaxInflateToMemory;
  if (e) {
    if (!stream_) throw EZarnError(Format("%s:ファイルがありません", e->Name()));
    if (e->Stored && e->Size > limit) Damaged(e->Name(), "展開後のデータが大きすぎます");
  }
  return limit;
}

bool TVrFileCollection::WindowCRC(const TVrFile& e, uint32_t& crc) {
  if (!stream_ || e.Size > kAheadMember || !e.LiesWithin(stream_->GetSize())) return false;
  try {
    crc = UpdateCRC(0, AheadBytes(e), e.Size);
    return true;
  } catch (const EZarnError&) {
    return false;  // unreadable: the caller's own read reports it
  }
}

bool TVrFileCollection::ExtractMember(TVrFile& e, TStream& dest) {
  const int64_t limit = StartExtract(dest, &e, -1);
  // The stored bytes are checked as they pass: read once for both.
  uint32_t crc = 0;
  if (e.Size > kAheadMember) {
    CopyEntryContent(e, dest, limit, &crc);
  } else {
    const uint8_t* bytes = AheadBytes(e);
    if (e.Size > 0) {
      if (e.Stored)
        dest.WriteBuffer(bytes, e.Size);
      else
        InflateBytes(bytes, e.Size, dest, std::min(limit, e.Size * kMaxInflateRatio + 65536), e.Name());
    }
    crc = UpdateCRC(0, bytes, e.Size);
  }
  if (!e.Checked() || crc == e.CRC) return true;
  std::vector<uint8_t> buffer;
  return VerifyMember(e, buffer);  // a separate member may carry its content's checksum
}

void TVrFileCollection::ExtractToStream(TStream& dest, const std::string& name, int64_t maxSize) {
  const int k = stream_ ? IndexOf(name) : -1;
  TVrFile* e = k >= 0 ? Files(k) : nullptr;
  const int64_t limit = StartExtract(dest, e, maxSize);
  if (e) {
    CopyEntryContent(*e, dest, limit);
    dest.SetPosition(0);
    return;
  }
  auto* memDest = dynamic_cast<TMemoryStream*>(&dest);
  std::string path = folder_ + name;
  if (!folder_.empty() && platform_.FileExists(path) && !SameText(path, fileName_)) {
    if (memDest) {
      if (FileSizeOf(platform_, path) > limit) Damaged(name, "ファイルが大きすぎます");
      LoadFileToStream(platform_, path, *memDest);
    } else {
      TFileStream file(platform_, path, fmOpenRead | fmShareDenyWrite);
      CopyStream(dest, file, 0);
    }
    dest.SetPosition(0);
    return;
  }
  throw EZarnError(Format("%s:ファイルがありません", name));
}

// ---- FindInstaller

bool HasAppendedArchive(Platform& platform, const std::string& path) {
  auto h = platform.OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
  if (!h) return false;
  THandleStream s(h.get());
  int64_t size = s.Seek(0, soEnd);
  char tail[2];
  return size >= 6 && s.Seek(size - 2, soBeginning) == size - 2 && s.Read(tail, 2) == 2 && tail[0] == 'z' &&
         tail[1] == 'r';
}

std::string FindInstaller(Platform& platform, const std::string& folder, const std::string& title) {
  std::vector<DirEntry> entries;
  if (!platform.ListDirectory(folder, entries)) return std::string();
  std::string dir = folder.empty() ? folder : AddBackslash(folder);
  for (const DirEntry& d : entries) {
    if (d.attributes & faDirectory) continue;
    if (UpperCase(arcpaths::FileExt(d.name)) != ".EXE") continue;
    std::string path = dir + d.name;
    if (!HasAppendedArchive(platform, path)) continue;
    TVrFileCollection candidate(platform);
    candidate.Open(path);
    TMemoryStream record;
    candidate.ExtractToStream(record, "install.dat", kMaxSettingsSize);
    TZarnInstallSet settings;
    settings.LoadFromStream(record);
    if (settings.Title == title) return path;
  }
  return std::string();
}

}  // namespace zarn
