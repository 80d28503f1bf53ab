// The archive: the directory class that opens archives in all their forms, looks members
// up by name and extracts them, and the operations that build, merge and verify archives.
//
// Format (little-endian; version 102 as written today):
//
//   "vf"                    magic; without it the file is version 0 and starts with N
//   int32  version          102
//   int32  N                members (the end marker "\EOF\" is not stored)
//   N x { int32 L; L bytes } names, scrambled
//   (N+1) x int64           offsets, scrambled; member i is [offset[i], offset[i+1])
//   N x u8                  Stored: 1 = content as is, 0 = one zlib stream
//   N x int32               FileDate: MS-DOS date-time, local time
//   N x uint32              CRC-32 (0 = none)
//   N x u8                  Separate: installed as a file of its own
//   member data
//
// Older versions: 0-99 plain names and N+1 int32 offsets, no tables; 100 the same with
// scrambled names and offsets; 101 no Separate table. Scrambling XORs every name byte with
// the low byte of successive values of TQxRandom(kDirectorySeed), one generator for all
// names, and offset k with value k of a second generator (sign-extended for int64).
//
// Forms: an archive file of its own; a program file followed by an archive and the
// trailer { int32 start; "zr" }; the raw data of a program resource "DUMMY"/"BINTYPE";
// a data file of member bytes (split into 1 GiB parts) with its directory in a file of
// the same name and the extension ".ext", whose offsets are absolute in the data file.
//
// A member's offsets and sizes are checked against the bytes there are before anything is
// allocated or read, and inflation is bounded, so a damaged or hostile archive ends in an
// EFormatError (or EZlibError) naming the archive or member, never in a crash.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/split_file_stream.h"
#include "archive/named_collection.h"
#include "platform/platform.h"
#include "runtime/streams.h"

namespace zarn {

class TVrFileCollection;

// Seed of the directory scrambling, the same for every archive.
constexpr int32_t kDirectorySeed = 1386604725;
// Name of the entry that ends every directory read.
extern const char* const kEndMarkerName;
// Members of this size and larger are stored as they are.
constexpr int64_t kStoreThreshold = 5242880;

class TVrFile : public THashCollectionItem {
 public:
  explicit TVrFile(TVrFileCollection& collection);
  TVrFile(TVrFileCollection& collection, std::string name);
  std::string ClassName() const override { return "TVrFile"; }

  int64_t Offset = 0;  // of the stored bytes in the collection's stream
  std::unique_ptr<TStream> Source;  // content to build from, when set
  int64_t Size = 0;  // stored bytes
  bool Stored = false;  // true: content as is; false: one zlib stream
  int32_t FileDate = 0;  // MS-DOS date-time, 0 when unknown
  uint32_t CRC = 0;  // 0: no checksum
  bool Separate = false;  // installed as a file of its own

  // Whether verifying checks this member: not when it has no CRC, nor when its name
  // starts with "/" (superseded).
  bool Checked() const { return CRC != 0 && (Name().empty() || Name()[0] != '/'); }
  // Whether the stored bytes lie wholly within a stream of `streamSize` bytes.
  bool LiesWithin(int64_t streamSize) const {
    return Offset >= 0 && Size >= 0 && Offset <= streamSize && Size <= streamSize - Offset;
  }
};

// Progress of WriteArchive, MergeFrom and Verify: the entry concerned, a byte count, the
// entry's index, a total count; setting `cancel` stops the operation.
using TVrProgressEvent = std::function<void(TVrFileCollection& sender, TVrFile* entry, int64_t bytes, int index,
                                            int total, bool& cancel)>;

class TVrFileCollection : public THashCollection {
 public:
  explicit TVrFileCollection(Platform& platform);
  ~TVrFileCollection() override;

  // ---- opening

  void Open(const std::string& fileName) { OpenPath(fileName, false); }
  // Opens an archive file, a data file with its ".ext" directory, a program file (.exe,
  // .scr) with an appended archive, or a folder of loose files. A missing file leaves the
  // collection empty, serving loose files of its folder (with `asFile`, of the path's
  // folder). A damaged directory raises EFormatError and leaves the collection empty.
  void OpenPath(const std::string& fileName, bool asFile);
  // Opens the archive stored as a resource of a program file (this program's own module
  // when the path is its own). A program that cannot be loaded leaves the collection
  // empty; a missing resource raises EResNotFound, an empty one "リソースが見つかりません".
  void OpenResource(const std::string& fileName, const std::string& resName, const std::string& resType);
  // Takes `stream` (an archive of its own, e.g. in memory) as the collection's data stream
  // and reads the directory at its start. FileName and Folder are left as they were.
  void OpenStream(std::unique_ptr<TQxBigStream> stream);
  // Reads one directory from `s` at its position and appends its entries and the end
  // marker. Member data is looked for in `s` from the directory's first byte.
  void ReadDirectory(TQxBigStream& s);

  // ---- access

  TVrFile* Files(int index) const { return static_cast<TVrFile*>(Item(index)); }
  // Appends an entry with that name.
  TVrFile* AddFile(std::string name);
  // The end marker entry of the last directory read, or nullptr (none after MergeFrom).
  TVrFile* EndMarker() const { return endMarker_; }
  // Members: every entry but the end marker.
  int MemberCount() const { return Count() - (endMarker_ ? 1 : 0); }

  TQxBigStream* Stream() const { return stream_.get(); }
  const std::string& Folder() const { return folder_; }
  const std::string& FileName() const { return fileName_; }
  Platform& GetPlatform() const { return platform_; }

  // Writes the content of member `name`, or else of the loose file Folder + name, into
  // dest and sets dest's position to 0. A memory stream is emptied first. Compressed
  // members are inflated in blocks as they are read. An unknown name raises
  // "%s:ファイルがありません". Into a memory stream at most `maxSize` bytes are taken
  // (-1: MaxInflateToMemory); a member or loose file that holds more raises EFormatError
  // before more than that is held.
  void ExtractToStream(TStream& dest, const std::string& name, int64_t maxSize = -1);
  // Writes the content of member `entry` into dest as ExtractToStream does, but leaves
  // dest's position after it, and answers what VerifyMember would. Small members are
  // read once for both, through a read-ahead window over the data stream, so extracting
  // many in the directory's order costs a read per window, not two per member.
  bool ExtractMember(TVrFile& entry, TStream& dest);

  // ---- building, merging, verifying

  // Writes the collection as an archive file of its own into the empty `dest` at position
  // 0: members from their Source streams, loose files or this collection's own members.
  // False when cancelled through OnProgress. An error while a member is written is first
  // handed to OnError as "エラー:" + the member's name, then propagates.
  bool WriteArchive(TQxBigStream& dest);
  // Writes one member's stored bytes at dest's position; sets its Stored, CRC and
  // (for loose files) FileDate.
  void WriteMember(TVrFile& entry, TQxBigStream& dest);
  // Whether a loose file is deflated when built: layered images when their planes are
  // stored uncompressed; other files below 5 MiB unless their extension is a media type.
  bool ShouldCompress(TStream& file, const std::string& name);
  // Appends the members of `src` that this data file lacks or holds in an older version,
  // then writes the ".ext" directory beside the data file. True when anything was taken.
  // The data reaches the disk before the directory, which replaces the old one at once.
  bool MergeFrom(TVrFileCollection& src);
  // Checks the stored bytes of every member that has a CRC against it. False at the first
  // mismatch (see BadMember) or when no stream is open; true after a cancel.
  bool Verify();
  // Checks one member's stored bytes against its CRC as Verify does (true for a member
  // without CRC or a superseded one); `buffer` is a work area, sized on first use.
  bool VerifyMember(TVrFile& member, std::vector<uint8_t>& buffer);
  // The name of the member the last Verify found bad ("" when none).
  const std::string& BadMember() const { return badMember_; }

  TVrProgressEvent OnProgress;
  std::function<void(const std::string& message)> OnError;
  // Most bytes a compressed member may inflate to in memory (a hostile member that would
  // exceed it ends in an error instead of exhausting memory).
  int64_t MaxInflateToMemory = int64_t(512) << 20;
  // Part size of the split data files this collection opens and writes; the program
  // always uses 1 GiB, tests use small parts to reach the boundaries.
  int64_t PartSize = kBigPartSize;

 private:
  void Reset();
  // Reads a directory whose member data may extend `dataSize` bytes from its first byte.
  void ReadDirectoryFrom(TQxBigStream& s, int64_t dataSize);
  std::string DisplayFileName() const;
  // Writes entry e's content (inflated when compressed) from the stream into dest; with
  // `storedCrc`, also the CRC-32 of its stored bytes, taken as they pass.
  void CopyEntryContent(TVrFile& e, TStream& dest, int64_t inflateLimit, uint32_t* storedCrc = nullptr);
  // Bytes of the data stream that the directory describes (where new members go).
  int64_t DataEnd();
  // MergeFrom once the data file is open for appending: the members and the directory.
  bool MergeMembers(TVrFileCollection& src);
  // The stored bytes of entry e (checked to lie within the stream), from the read-ahead
  // window, which is read anew from e's offset when it does not hold them all.
  const uint8_t* AheadBytes(const TVrFile& e);
  // The CRC of a small member's stored bytes, read through the read-ahead window: one
  // read per window when members are checked in order. False, with nothing read, for a
  // large member or one outside the stream; false also when the window cannot be read.
  bool WindowCRC(const TVrFile& e, uint32_t& crc);
  // Begins an extraction into dest: empties a memory destination and answers the most
  // bytes dest may take (maxSize, MaxInflateToMemory when negative; no limit for other
  // streams). For member e, raises the missing-file error when no data stream is open
  // and EFormatError when e is stored and larger than that.
  int64_t StartExtract(TStream& dest, const TVrFile* e, int64_t maxSize);

  Platform& platform_;
  std::string folder_;
  std::unique_ptr<TQxBigStream> stream_;
  std::string fileName_;
  std::unique_ptr<Module> module_;
  TVrFile* endMarker_ = nullptr;
  int64_t dataEnd_ = -1;
  std::string badMember_;
  // Read-ahead window of the data stream: its bytes from aheadAt_ on (-1: none). Emptied
  // whenever the stream changes.
  std::vector<uint8_t> ahead_;
  int64_t aheadAt_ = -1;
};

// CRC-32 of a whole stream, read from its start in 1 MiB blocks.
uint32_t StreamCRC(TStream& s);
// CRC-32 of the next `count` bytes of a big stream, read in blocks of `bufferSize` bytes
// into `buffer`, never past the stream's end; `got` receives the bytes read.
uint32_t RangeCRC(TQxBigStream& s, int64_t count, uint8_t* buffer, int64_t bufferSize, int64_t* got = nullptr);
// Continues a CRC-32 over more bytes (start with 0).
uint32_t UpdateCRC(uint32_t crc, const void* data, int64_t size);

// Appends the archive file to the program file, followed by the trailer { int32 start,
// "zr" }. A failure leaves the program file as it was.
void AppendArchive(Platform& platform, const std::string& programFile, const std::string& archiveFile);

// Whether the file ends in the "zr" trailer of an appended archive (false when it cannot
// be opened).
bool HasAppendedArchive(Platform& platform, const std::string& path);

// Among the .exe files directly in `folder`, the first whose appended archive holds an
// "install.dat" with the title `title` (byte for byte); "" when there is none. Files
// without the "zr" trailer are passed over.
std::string FindInstaller(Platform& platform, const std::string& folder, const std::string& title);

}  // namespace zarn
