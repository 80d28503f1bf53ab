#include "runtime/streams.h"

#include <algorithm>
#include <cstring>

#include "runtime/byte_order.h"
#include "runtime/error.h"

namespace zarn {

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("ストリームのサイズを変更できません"); }

std::string StreamFailure(const std::string& what, const std::string& context) {
  return context.empty() ? what : what + " (" + context + ")";
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count)
    throw EReadError(StreamFailure("ストリームの読み込みエラー", FailureContext()));
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count)
    throw EWriteError(StreamFailure("ストリームの書き込みエラー", FailureContext()));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t kMax = 1 << 20;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(count, kMax)));
  int64_t left = count;
  while (left > 0) {
    int64_t n = std::min(left, kMax);
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return count;
}

uint8_t TStream::ReadU8() {
  uint8_t v;
  ReadBuffer(&v, 1);
  return v;
}

int32_t TStream::ReadI32() { return static_cast<int32_t>(ReadU32()); }

uint32_t TStream::ReadU32() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return LoadLE32(b);
}

int64_t TStream::ReadI64() {
  uint64_t lo = ReadU32();
  uint64_t hi = ReadU32();
  return static_cast<int64_t>(lo | (hi << 32));
}

void TStream::WriteI32(int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
  WriteBuffer(b, 4);
}

void TStream::WriteI64(int64_t v) {
  WriteI32(static_cast<int32_t>(static_cast<uint64_t>(v)));
  WriteI32(static_cast<int32_t>(static_cast<uint64_t>(v) >> 32));
}

// ---- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t size = Size();
  if (count <= 0 || pos_ >= size) return 0;
  int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = pos_ + count;
  if (end > Size()) {
    if (end > static_cast<int64_t>(data_.capacity())) data_.reserve(static_cast<size_t>(std::max<int64_t>(end, Size() * 3 / 2)));
    data_.resize(static_cast<size_t>(end));
  }
  std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
  pos_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : Size();
  int64_t p = base + offset;
  if (p < 0) p = 0;  // a memory stream has nothing before its start
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  data_.resize(static_cast<size_t>(size));
  if (pos_ > size) pos_ = size;
}

void TMemoryStream::Assign(const std::string& s) {
  data_.assign(s.begin(), s.end());
  pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t n = source.Size();
  SetSize(n);
  if (n) source.ReadBuffer(data_.data(), n);
  pos_ = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  if (!data_.empty()) dest.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

// ---- THandleStream

int64_t THandleStream::Read(void* buffer, int64_t count) {
  int64_t n = handle_ ? handle_->Read(buffer, count) : -1;
  return n < 0 ? 0 : n;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
  int64_t n = handle_ ? handle_->Write(buffer, count) : -1;
  return n < 0 ? 0 : n;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
  return handle_ ? handle_->Seek(offset, origin) : -1;
}

void THandleStream::SetSize(int64_t size) {
  Seek(size, soBeginning);
  if (!handle_ || !handle_->SetSize(size))
    throw EStreamError(StreamFailure("ストリームのサイズを変更できません", FailureContext()));
}

std::string THandleStream::FailureContext() const {
  std::string reason = handle_ ? handle_->ErrorReason() : std::string();
  if (name_.empty() || reason.empty()) return name_ + reason;
  return name_ + ": " + reason;
}

}  // namespace zarn
