// Building archives, taking newer members into a data file, and verifying checksums.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "archive/archive_paths.h"
#include "archive/archive_reader.h"
#include "image/layered_image.h"
#include "runtime/error.h"
#include "runtime/scramble_random.h"
#include "runtime/sjis.h"
#include "runtime/zlib_streams.h"
#include "settings/paths.h"

namespace zarn {

namespace {

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  out.push_back(uint8_t(u));
  out.push_back(uint8_t(u >> 8));
  out.push_back(uint8_t(u >> 16));
  out.push_back(uint8_t(u >> 24));
}

void PutI64(std::vector<uint8_t>& out, int64_t v) {
  PutI32(out, static_cast<int32_t>(static_cast<uint64_t>(v)));
  PutI32(out, static_cast<int32_t>(static_cast<uint64_t>(v) >> 32));
}

bool IsEndMarkerName(const std::string& name) { return name == kEndMarkerName; }

// "vf", version 102, N and the scrambled names of `entries`.
std::vector<uint8_t> DirectoryHead(const std::vector<TVrFile*>& entries) {
  std::vector<uint8_t> out = {'v', 'f'};
  PutI32(out, 102);
  PutI32(out, static_cast<int32_t>(entries.size()));
  TQxRandom r(kDirectorySeed);
  for (TVrFile* e : entries) {
    const std::string& name = e->Name();
    PutI32(out, static_cast<int32_t>(name.size()));
    for (char c : name) out.push_back(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(r.Next()));
  }
  return out;
}

// The scrambled offset table and the Stored, FileDate, CRC and Separate tables.
std::vector<uint8_t> DirectoryTables(const std::vector<TVrFile*>& entries, const std::vector<int64_t>& offsets) {
  std::vector<uint8_t> out;
  out.reserve(entries.size() * 18 + 8);
  TQxRandom r(kDirectorySeed);
  for (int64_t off : offsets) PutI64(out, off ^ static_cast<int64_t>(r.Next()));
  for (TVrFile* e : entries) out.push_back(e->Stored ? 1 : 0);
  for (TVrFile* e : entries) PutI32(out, e->FileDate);
  for (TVrFile* e : entries) PutI32(out, static_cast<int32_t>(e->CRC));
  for (TVrFile* e : entries) out.push_back(e->Separate ? 1 : 0);
  return out;
}

void WriteAll(TQxBigStream& dest, const std::vector<uint8_t>& bytes) {
  if (!bytes.empty() && dest.Write(bytes.data(), static_cast<int64_t>(bytes.size())) !=
                            static_cast<int64_t>(bytes.size()))
    throw EWriteError("ストリームの書き込みエラー");
}

// Copies the whole of `source` into dest while taking its CRC-32.
uint32_t CopyWithCRC(TQxBigStream& dest, TStream& source) {
  source.SetPosition(0);
  int64_t left = source.Size();
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(left, 1), 4 << 20)));
  uint32_t crc = 0;
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    crc = UpdateCRC(crc, buffer.data(), n);
    if (dest.Write(buffer.data(), n) != n) throw EWriteError("ストリームの書き込みエラー");
    left -= n;
  }
  return crc;
}

// Takes the CRC-32 of what is written to it.
class CrcSink : public TStream {
 public:
  uint32_t crc = 0;
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    crc = UpdateCRC(crc, buffer, count);
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

void CopyMemoryInto(TQxBigStream& dest, TMemoryStream& m) {
  if (m.Size() > 0 && dest.Write(m.Memory(), m.Size()) != m.Size()) throw EWriteError("ストリームの書き込みエラー");
}

}  // namespace

// ---- ShouldCompress

bool TVrFileCollection::ShouldCompress(TStream& file, const std::string& name) {
  std::string ext = UpperCase(arcpaths::FileExt(name));
  if (ext == ".BRM") {
    file.SetPosition(0);
    bool result = IsStoredUncompressed(file);
    file.SetPosition(0);
    return result;
  }
  static const std::string kMedia = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";
  bool listed = !ext.empty() && kMedia.find(ext) != std::string::npos;
  return !listed && file.Size() < kStoreThreshold;
}

// ---- WriteMember

void TVrFileCollection::WriteMember(TVrFile& e, TQxBigStream& dest) {
  // A member taken from this collection's own stream is read as it was stored, so its
  // kind must be known before it is reset below.
  const bool wasStored = e.Stored;
  e.Stored = false;
  if (e.Source) {
    TStream& src = *e.Source;
    if (src.Size() >= kStoreThreshold) {
      e.CRC = CopyWithCRC(dest, src);
      e.Stored = true;
    } else {
      if (e.Separate) e.CRC = StreamCRC(src);
      TMemoryStream m;
      CopyStream(m, src, 0);
      CompressStream(m);
      CopyMemoryInto(dest, m);
      if (!e.Separate) e.CRC = StreamCRC(m);
    }
    return;
  }
  std::string path = folder_ + e.Name();
  if (!folder_.empty() && platform_.FileExists(path)) {
    {
      TFileStream f(platform_, path, fmOpenRead | fmShareDenyWrite);
      if (ShouldCompress(f, e.Name())) {
        if (e.Separate) e.CRC = StreamCRC(f);
        TMemoryStream m;
        CopyStream(m, f, 0);
        int64_t plain = m.Size();
        CompressStream(m);
        if (m.Size() > plain * 9 / 10) {
          // Deflating saves less than a tenth: keep the bytes as they are.
          m.Clear();
          CopyStream(m, f, 0);
          e.Stored = true;
        }
        CopyMemoryInto(dest, m);
        if (!e.Separate || e.Stored) e.CRC = StreamCRC(m);
      } else {
        e.CRC = CopyWithCRC(dest, f);
        e.Stored = true;
      }
    }
    e.FileDate = platform_.FileAge(path);
    return;
  }
  TMemoryStream m;
  e.Stored = wasStored;
  try {
    ExtractToStream(m, e.Name());
  } catch (...) {
    e.Stored = false;
    throw;
  }
  e.Stored = false;
  if (m.Size() >= kStoreThreshold)
    e.Stored = true;
  else
    CompressStream(m);
  e.CRC = StreamCRC(m);
  CopyMemoryInto(dest, m);
}

// ---- WriteArchive

bool TVrFileCollection::WriteArchive(TQxBigStream& dest) {
  std::vector<TVrFile*> entries;
  std::vector<int> indexes;
  for (int i = 0; i < Count(); ++i) {
    if (IsEndMarkerName(Files(i)->Name())) continue;
    entries.push_back(Files(i));
    indexes.push_back(i);
  }
  const int64_t n = static_cast<int64_t>(entries.size());
  WriteAll(dest, DirectoryHead(entries));
  const int64_t tablesAt = dest.Tell();
  {
    // Placeholders for the tables, written over at the end.
    std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>((n + 1) * 8 + n * 10, 1 << 20)));
    int64_t left = (n + 1) * 8 + n * 10;
    while (left > 0) {
      int64_t z = std::min<int64_t>(left, static_cast<int64_t>(zeros.size()));
      if (dest.Write(zeros.data(), z) != z) throw EWriteError("ストリームの書き込みエラー");
      left -= z;
    }
  }
  std::vector<int64_t> offsets(static_cast<size_t>(n + 1));
  for (int64_t j = 0; j < n; ++j) {
    TVrFile* e = entries[static_cast<size_t>(j)];
    int i = indexes[static_cast<size_t>(j)];
    bool cancel = false;
    if (OnProgress) {
      OnProgress(*this, e, 0, i, Count(), cancel);
      if (cancel) return false;
    }
    offsets[static_cast<size_t>(j)] = dest.Tell();
    try {
      WriteMember(*e, dest);
    } catch (...) {
      if (OnError) OnError("エラー:" + e->Name());
      throw;
    }
    if (OnProgress) {
      OnProgress(*this, e, dest.Tell() - offsets[static_cast<size_t>(j)], i, Count(), cancel);
      if (cancel) return false;
    }
  }
  offsets[static_cast<size_t>(n)] = dest.Tell();
  dest.MoveTo(tablesAt);
  WriteAll(dest, DirectoryTables(entries, offsets));
  dest.MoveTo(offsets[static_cast<size_t>(n)]);
  return true;
}

// ---- MergeFrom

int64_t TVrFileCollection::DataEnd() {
  int64_t size = stream_ ? stream_->GetSize() : 0;
  if (dataEnd_ >= 0 && dataEnd_ <= size) return dataEnd_;
  return size;
}

bool TVrFileCollection::MergeFrom(TVrFileCollection& src) {
  // New members go right after the bytes the directory describes. Bytes past that end
  // (left by a merge that was cancelled or failed) are described by no directory and are
  // written over, so they can never be taken for part of the last member.
  int64_t append = 0;
  {
    bool wasOpen = stream_ != nullptr;
    if (wasOpen) append = DataEnd();
    ahead_.clear();
    aheadAt_ = -1;
    stream_.reset();
    stream_.reset(new TQxBigFileStream(platform_, fileName_,
                                       wasOpen ? uint16_t(fmOpenReadWrite | fmShareDenyWrite) : uint16_t(fmCreate),
                                       PartSize));
    if (!wasOpen) append = 0;
    append = std::min(append, stream_->GetSize());
    stream_->MoveTo(append);
  }
  dataEnd_ = append;
  const int64_t oldSize = stream_->GetSize();
  try {
    return MergeMembers(src);
  } catch (...) {
    // A full disk or a failing write: the file goes back to the size it had, so what the
    // directory on disk describes is all there is.
    if (auto* file = dynamic_cast<TQxBigFileStream*>(stream_.get())) file->Truncate(oldSize);
    throw;
  }
}

bool TVrFileCollection::MergeMembers(TVrFileCollection& src) {
  bool changed = false;
  TQxBigStream* from = src.Stream();
  // Members taken one after another from consecutive source bytes land consecutively here
  // too: they are copied as one run of up to kMergeRun bytes, not a read and a write
  // each, so progress runs at most that far ahead of the copy.
  const int64_t kMergeRun = int64_t(8) << 20;
  int64_t runFrom = 0, runSize = 0;  // pending source bytes; they go to dataEnd_ - runSize
  auto copyRun = [&] {
    if (runSize == 0) return;
    from->MoveTo(runFrom);
    stream_->MoveTo(dataEnd_ - runSize);
    stream_->CopyFromBig(*from, runSize);
    runSize = 0;
  };
  for (int si = 0; si < src.Count(); ++si) {
    TVrFile* s = src.Files(si);
    if (s == src.EndMarker() || IsEndMarkerName(s->Name()) || s->Separate) continue;
    int k = IndexOf(s->Name());
    if (k >= 0 && Files(k)->FileDate >= s->FileDate) continue;
    changed = true;
    if (k >= 0) Files(k)->SetName("/" + Files(k)->Name());
    TVrFile* e = AddFile(s->Name());
    e->Offset = dataEnd_;
    e->Size = s->Size;
    e->CRC = s->CRC;
    e->FileDate = s->FileDate;
    e->Stored = s->Stored;
    if (OnProgress) {
      bool cancel = false;
      OnProgress(*this, e, e->Size, si, src.Count(), cancel);
      if (cancel) return changed;
    }
    if (s->Size > 0) {
      if (!from) throw EZarnError(Format("%s:ファイルがありません", s->Name()));
      if (!s->LiesWithin(from->GetSize()))
        throw EFormatError(Format("%s:ファイルが壊れています（データが範囲外です）", s->Name()));
      if (runSize > 0 && s->Offset != runFrom + runSize) copyRun();
      if (runSize == 0) runFrom = s->Offset;
      runSize += s->Size;
    }
    dataEnd_ += s->Size;
    if (runSize >= kMergeRun) copyRun();
  }
  copyRun();
  if (!changed) return false;

  if (endMarker_) {
    delete endMarker_;
    endMarker_ = nullptr;
  }
  // The members' bytes reach the disk before the directory that points at them.
  if (auto* file = dynamic_cast<TQxBigFileStream*>(stream_.get())) file->Flush();

  std::vector<TVrFile*> entries;
  std::vector<int64_t> offsets;
  for (int i = 0; i < Count(); ++i) {
    entries.push_back(Files(i));
    offsets.push_back(Files(i)->Offset);
  }
  offsets.push_back(dataEnd_);
  std::vector<uint8_t> dir = DirectoryHead(entries);
  std::vector<uint8_t> tables = DirectoryTables(entries, offsets);
  dir.insert(dir.end(), tables.begin(), tables.end());

  // Write the directory beside the data file under a temporary name, put it on the disk,
  // then let it replace the old one in one step: a crash leaves one or the other, and a
  // link left at either name is replaced, never written through.
  WriteFileReplacing(platform_, arcpaths::ChangeFileExt(fileName_, ".ext"), dir.data(),
                     static_cast<int64_t>(dir.size()));
  return true;
}

// ---- Verify

bool TVrFileCollection::Verify() {
  badMember_.clear();
  if (!stream_) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(1048576));
  // Every member; after a merge there is no end marker and the last entry is a member.
  int total = MemberCount();
  int index = 0;
  for (int i = 0; i < Count(); ++i) {
    TVrFile* e = Files(i);
    if (e == endMarker_) continue;
    if (index % 10 == 9 && OnProgress) {
      bool cancel = false;
      OnProgress(*this, e, e->Size, index, total, cancel);
      if (cancel) return true;
    }
    ++index;
    if (!VerifyMember(*e, buffer)) {
      badMember_ = e->Name();
      return false;
    }
  }
  return true;
}

bool TVrFileCollection::VerifyMember(TVrFile& e, std::vector<uint8_t>& buffer) {
  if (!e.Checked()) return true;
  if (!stream_) return false;
  int64_t got = 0;
  uint32_t crc = 0;
  if (WindowCRC(e, crc)) {
    got = e.Size;
  } else {
    if (buffer.empty()) buffer.resize(1048576);
    stream_->MoveTo(e.Offset);
    crc = RangeCRC(*stream_, e.Size, buffer.data(), static_cast<int64_t>(buffer.size()), &got);
  }
  bool ok = got == e.Size && crc == e.CRC;
  if (!ok && got == e.Size && e.Separate && !e.Stored) {
    // A member installed as a file of its own may carry the checksum of its content.
    CrcSink sink;
    try {
      CopyEntryContent(e, sink, INT64_MAX);
      ok = sink.crc == e.CRC;
    } catch (const EZarnError&) {
      ok = false;
    }
  }
  return ok;
}

// ---- AppendArchive

void AppendArchive(Platform& platform, const std::string& programFile, const std::string& archiveFile) {
  TFileStream program(platform, programFile, fmOpenReadWrite | fmShareDenyWrite);
  TQxBigFileStream archive(platform, archiveFile, fmOpenRead | fmShareDenyWrite);
  int64_t start = program.Seek(0, soEnd);
  if (start < 0 || start > INT32_MAX)
    throw EFormatError(Format("%s:プログラムファイルが大きすぎます", programFile));
  try {
    archive.MoveTo(0);
    int64_t size = archive.GetSize();
    if (size > 0) archive.CopyToStream(program, size);
    program.WriteI32(static_cast<int32_t>(start));
    program.WriteBuffer("zr", 2);
    if (!program.Handle()->Flush()) throw EWriteError(Format("ファイル %s に書き込めません", programFile));
  } catch (...) {
    // Leave the program as it was rather than with half an archive and no trailer.
    program.Handle()->SetSize(start);
    throw;
  }
}

}  // namespace zarn
