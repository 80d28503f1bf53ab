// Streams with 64-bit sizes and positions for archives and the game's data file:
// a file split into numbered parts of 1 GiB ("game.dat", "game.001", ...), a memory
// buffer, a program resource, and a read-ahead reader over any of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/streams.h"

namespace zarn {

// Bytes per part file of a split file stream.
constexpr int64_t kBigPartSize = int64_t(1) << 30;

// The common interface. The base does nothing and returns 0 from every operation.
class TQxBigStream {
 public:
  virtual ~TQxBigStream() = default;
  virtual int64_t GetSize() { return 0; }
  virtual int64_t Tell() { return 0; }
  virtual void MoveTo(int64_t value) {}
  // Writes `count` bytes at the position; returns the count written.
  virtual int64_t Write(const void* buffer, int64_t count) { return 0; }
  // Reads up to `count` bytes; returns the count read.
  virtual int64_t Read(void* buffer, int64_t count) { return 0; }
  // Copies `count` bytes from the source's position to this position; 0 copies all of the
  // source from its start.
  virtual int64_t CopyFromBig(TQxBigStream& source, int64_t count) { return 0; }
  // The same from a runtime stream.
  virtual int64_t CopyFromStream(TStream& source, int64_t count) { return 0; }
  // Copies `count` bytes from this position into `dest`. With 0 the file stream copies
  // nothing; the memory and resource streams copy all of their content from the start.
  virtual int64_t CopyToStream(TStream& dest, int64_t count) { return 0; }
};

// Copies `count` bytes from the source's position into dest (0: all of the source from its
// start) through a buffer of up to `bufferMax` bytes, smaller when memory is short. A
// source that ends early raises EReadError, a destination that takes less raises
// EWriteError.
int64_t CopyStream(TStream& dest, TStream& source, int64_t count, int64_t bufferMax = int64_t(10) << 20);

// A file split into parts of `partSize` bytes: part 0 is the file name itself, part i > 0
// the name without extension plus ".%.3d" of i. Every part but the last is full.
//
// Modes (the file-mode word): fmOpenRead | fmShareDenyWrite reads the parts that exist in
// an unbroken run from part 0; fmOpenReadWrite | fmShareDenyWrite also writes; fmCreate
// deletes that run of parts and starts empty, creating parts as writing reaches them.
// A part that exists but cannot be opened, cannot be created or deleted, or takes fewer
// bytes than written raises an error naming it. Parts are written through the system's
// cache; Flush() (and the destructor of a writable stream) puts them on the disk.
class TQxBigFileStream : public TQxBigStream {
 public:
  TQxBigFileStream(Platform& platform, const std::string& fileName, uint16_t mode,
                   int64_t partSize = kBigPartSize);
  ~TQxBigFileStream() override;
  TQxBigFileStream(const TQxBigFileStream&) = delete;
  TQxBigFileStream& operator=(const TQxBigFileStream&) = delete;

  int64_t GetSize() override;
  int64_t Tell() override { return position_; }
  void MoveTo(int64_t value) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t CopyFromBig(TQxBigStream& source, int64_t count) override;
  int64_t CopyFromStream(TStream& source, int64_t count) override;
  int64_t CopyToStream(TStream& dest, int64_t count) override;

  int PartCount() const { return static_cast<int>(parts_.size()); }
  std::string PartName(int index) const;
  const std::string& FileName() const { return fileName_; }
  uint16_t Mode() const { return mode_; }
  int64_t PartSize() const { return partSize_; }
  // Puts every part's written bytes on the disk; raises EWriteError when the system fails.
  void Flush();
  // Cuts the content back to `size` bytes (a merge that failed returns the file to the
  // size it had): parts past it are closed and deleted, the last one kept is shortened.
  // False when the system refused a step.
  bool Truncate(int64_t size);

 private:
  struct Part {
    std::unique_ptr<FileHandle> handle;
    std::unique_ptr<THandleStream> stream;
    int64_t size = 0;
  };
  bool Writable() const;
  // Opens part i for writing, creating it (and any missing parts before it) when needed.
  Part& WritablePart(int i);
  // Positions part i's stream at `offset`.
  void SeekPart(Part& part, int64_t offset);
  // Writes `count` bytes from the position on, part by part, the parts made or grown as
  // needed: put(part, i, n) writes n bytes at part i's current place.
  template <class Put>
  int64_t WriteParts(int64_t count, Put put);
  // Reads up to `count` bytes from the position on, part by part: get(part, n) reads n
  // bytes at the part's current place and answers how many it got. At the end of the
  // data or on a short read it stops, or raises a read error when `strict`.
  template <class Get>
  int64_t ReadParts(int64_t count, bool strict, Get get);

  Platform& platform_;
  std::string fileName_;
  uint16_t mode_;
  int64_t partSize_;
  int64_t position_ = 0;
  std::vector<Part> parts_;
  // The copy buffer: 1 MiB stays in the processor's cache from the read to the write;
  // through 10 MiB, a large copy took about 1.4 times as long.
  int64_t bufferSize_ = 1048576;
};

// A memory buffer.
class TQxBigMemoryStream : public TQxBigStream {
 public:
  int64_t GetSize() override { return memory_.Size(); }
  int64_t Tell() override { return memory_.Position(); }
  void MoveTo(int64_t value) override { memory_.SetPosition(value); }
  int64_t Write(const void* buffer, int64_t count) override { return memory_.Write(buffer, count); }
  int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
  // Copies only from another memory stream; from any other kind nothing (0).
  int64_t CopyFromBig(TQxBigStream& source, int64_t count) override;
  int64_t CopyFromStream(TStream& source, int64_t count) override { return CopyStream(memory_, source, count); }
  int64_t CopyToStream(TStream& dest, int64_t count) override { return CopyStream(dest, memory_, count); }

  // Replaces the content by the whole file; position 0.
  void LoadFromFile(Platform& platform, const std::string& fileName);
  TMemoryStream& Memory() { return memory_; }

 private:
  TMemoryStream memory_;
};

// The raw data of a module's resource, read only. Creating it for a resource the module
// lacks raises EResNotFound.
class TQxBigResourceStream : public TQxBigStream {
 public:
  TQxBigResourceStream(Module& module, const std::string& resName, const std::string& resType);
  int64_t GetSize() override { return resource_.Size(); }
  int64_t Tell() override { return resource_.Position(); }
  void MoveTo(int64_t value) override { resource_.SetPosition(value); }
  int64_t Write(const void* buffer, int64_t count) override { return resource_.Write(buffer, count); }
  int64_t Read(void* buffer, int64_t count) override { return resource_.Read(buffer, count); }
  // Copies only from another resource stream (which a resource refuses: it is read only).
  int64_t CopyFromBig(TQxBigStream& source, int64_t count) override;
  int64_t CopyFromStream(TStream& source, int64_t count) override { return CopyStream(resource_, source, count); }
  int64_t CopyToStream(TStream& dest, int64_t count) override { return CopyStream(dest, resource_, count); }

  const std::string& ResName() const { return resName_; }
  const std::string& ResType() const { return resType_; }

 private:
  TResourceStream resource_;
  std::string resName_, resType_;
};

// Reads a source through a 100 KiB look-ahead, for directories of many small records.
// When freed it moves the source back over the bytes it read ahead but did not hand out,
// so the source stands right after the last byte read through it.
class TQxBuffBigStream {
 public:
  explicit TQxBuffBigStream(TQxBigStream& source) : source_(source) {}
  ~TQxBuffBigStream();
  TQxBuffBigStream(const TQxBuffBigStream&) = delete;
  TQxBuffBigStream& operator=(const TQxBuffBigStream&) = delete;

  // Reads up to `count` bytes; fewer only at the source's end.
  int64_t Read(void* buffer, int64_t count);
  // Bytes still to be had: the unread look-ahead and the rest of the source.
  int64_t Remaining();

  static constexpr int64_t kBlockSize = 102400;

 private:
  TQxBigStream& source_;
  TMemoryStream lookAhead_;
};

}  // namespace zarn
