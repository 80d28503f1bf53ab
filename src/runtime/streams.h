// The ordinary streams of the runtime: the abstract stream, a memory stream, and a
// handle stream over an open file. Positions and sizes are 64-bit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zarn {

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// `what` followed by " (context)" when the context is known.
std::string StreamFailure(const std::string& what, const std::string& context);

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to `count` bytes; returns the count read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to `count` bytes; returns the count written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size);

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }

  // What a failed read or write of this stream should name: the file and the system's
  // reason, when the stream knows them; empty otherwise.
  virtual std::string FailureContext() const { return {}; }
  // Exactly `count` bytes or EReadError / EWriteError, naming FailureContext().
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from `source`'s position; 0 copies all of `source` from its start.
  // A source that ends early raises EReadError.
  int64_t CopyFrom(TStream& source, int64_t count);

  // Little-endian helpers for binary formats.
  uint8_t ReadU8();
  int32_t ReadI32();
  uint32_t ReadU32();
  int64_t ReadI64();
  void WriteU8(uint8_t v) { WriteBuffer(&v, 1); }
  void WriteI32(int32_t v);
  void WriteU32(uint32_t v) { WriteI32(static_cast<int32_t>(v)); }
  void WriteI64(int64_t v);
};

// A growable buffer in memory.
class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  void Clear() {
    data_.clear();
    data_.shrink_to_fit();
    pos_ = 0;
  }
  uint8_t* Memory() { return data_.data(); }
  const uint8_t* Memory() const { return data_.data(); }
  // Replaces the content by the bytes of `s`; position 0.
  void Assign(const std::string& s);
  std::string ToString() const { return std::string(data_.begin(), data_.end()); }
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& dest) const;

 private:
  std::vector<uint8_t> data_;
  int64_t pos_ = 0;
};

// An open file of the operating system, as the platform layer hands it out.
class FileHandle {
 public:
  virtual ~FileHandle() = default;
  // Return -1 on an error of the system, else the count moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position, or -1.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual bool SetSize(int64_t size) = 0;
  virtual bool Flush() = 0;
  // The system's words for the last call that failed or moved fewer bytes than asked
  // (for example "No space left on device"); empty when there was none.
  virtual std::string ErrorReason() const { return {}; }
};

// A stream over a file handle it does not own.
class THandleStream : public TStream {
 public:
  // `name` is the file the handle is open on, named in error messages.
  explicit THandleStream(FileHandle* handle, std::string name = {}) : handle_(handle), name_(std::move(name)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  FileHandle* Handle() const { return handle_; }
  // "name: reason", either part left out when unknown.
  std::string FailureContext() const override;

 protected:
  FileHandle* handle_;
  std::string name_;
};

}  // namespace zarn
