// Helpers of the archive tests: files on the test machine, archives assembled byte by byte
// independently of the writer, streams that hand data over in odd-sized pieces, and a
// minimal program file carrying a resource.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/streams.h"

namespace zarn {
namespace testing {

inline void PutFile(Platform& p, const std::string& path, const std::string& bytes) {
  auto h = p.OpenFile(path, FileAccess::ReadWrite, FileShare::None, FileCreate::CreateAlways);
  if (!h) throw std::runtime_error("cannot create " + path);
  if (!bytes.empty() && h->Write(bytes.data(), static_cast<int64_t>(bytes.size())) != int64_t(bytes.size()))
    throw std::runtime_error("cannot write " + path);
}

inline std::string GetFile(Platform& p, const std::string& path) {
  auto h = p.OpenFile(path, FileAccess::Read, FileShare::ReadWrite, FileCreate::OpenExisting);
  if (!h) throw std::runtime_error("cannot open " + path);
  int64_t size = h->Seek(0, soEnd);
  h->Seek(0, soBeginning);
  std::string s(static_cast<size_t>(size), '\0');
  if (size && h->Read(&s[0], size) != size) throw std::runtime_error("cannot read " + path);
  return s;
}

inline std::string Deflate1(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), 1);
  out.resize(n);
  return out;
}

inline uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

inline void Le32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void Le64(std::string& out, uint64_t v) {
  Le32(out, static_cast<uint32_t>(v));
  Le32(out, static_cast<uint32_t>(v >> 32));
}

// One member as the directory records it; `bytes` are the stored bytes.
struct RawMember {
  std::string name;
  std::string bytes;
  bool stored = true;
  int32_t date = 0;
  uint32_t crc = 0;
  bool separate = false;
};

// The scrambling sequence, written out here so the tests do not lean on the generator.
struct Sequence {
  uint32_t state = 0;
  uint32_t Next() { return state = state * 5u + 1386604725u; }
};

// An archive of `version` (-1: the oldest form, without "vf" and version) holding the
// members back to back after its directory; offsets count from `base` before the magic
// (the archive is meant to sit `base` bytes into a file). With `withData` false only the
// directory is returned and offsets start at `firstOffset` (a separate directory file).
inline std::string AssembleArchive(int version, const std::vector<RawMember>& members, bool withData = true,
                                   int64_t firstOffset = 0) {
  std::string head;
  if (version >= 0) {
    head += "vf";
    Le32(head, static_cast<uint32_t>(version));
  }
  int v = version < 0 ? 0 : version;
  Le32(head, static_cast<uint32_t>(members.size()));
  Sequence names;
  for (const RawMember& m : members) {
    Le32(head, static_cast<uint32_t>(m.name.size()));
    for (char c : m.name) head += v >= 100 ? static_cast<char>(c ^ static_cast<char>(names.Next() & 0xFF)) : c;
  }
  size_t n = members.size();
  size_t width = v >= 101 ? 8 : 4;
  size_t tables = v >= 102 ? 10 : v >= 101 ? 9 : 0;
  int64_t dirSize = static_cast<int64_t>(head.size() + (n + 1) * width + n * tables);
  int64_t at = withData ? dirSize : firstOffset;
  std::string offs;
  Sequence seq;
  for (size_t k = 0; k <= n; ++k) {
    uint32_t r = seq.Next();
    if (width == 8) {
      uint64_t x = static_cast<uint64_t>(at) ^ (v >= 100 ? static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(r))) : 0);
      Le64(offs, x);
    } else {
      Le32(offs, static_cast<uint32_t>(at) ^ (v >= 100 ? r : 0));
    }
    if (k < n) at += static_cast<int64_t>(members[k].bytes.size());
  }
  std::string out = head + offs;
  if (v >= 101) {
    for (const RawMember& m : members) out += m.stored ? '\1' : '\0';
    for (const RawMember& m : members) Le32(out, static_cast<uint32_t>(m.date));
    for (const RawMember& m : members) Le32(out, m.crc);
    if (v >= 102)
      for (const RawMember& m : members) out += m.separate ? '\1' : '\0';
  }
  if (withData)
    for (const RawMember& m : members) out += m.bytes;
  return out;
}

// A stream over bytes in memory that reads and writes at most `piece` bytes per call and
// is not a memory stream to the code under test.
class ChunkyStream : public TStream {
 public:
  ChunkyStream(std::string data, int64_t piece) : data_(std::move(data)), piece_(piece) {}
  int64_t Read(void* buffer, int64_t count) override {
    int64_t n = std::min({count, piece_, static_cast<int64_t>(data_.size()) - pos_});
    if (n <= 0) return 0;
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t n = std::min(count, piece_);
    if (n <= 0) return 0;
    if (pos_ + n > static_cast<int64_t>(data_.size())) data_.resize(static_cast<size_t>(pos_ + n));
    std::memcpy(&data_[static_cast<size_t>(pos_)], buffer, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : static_cast<int64_t>(data_.size());
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
  }
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
  int64_t piece_;
  int64_t pos_ = 0;
};

}  // namespace testing
}  // namespace zarn
