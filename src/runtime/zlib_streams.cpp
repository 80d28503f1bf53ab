#include "runtime/zlib_streams.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "runtime/error.h"

namespace zarn {

void CompressStream(TMemoryStream& stream) {
  uLong srcLen = static_cast<uLong>(stream.Size());
  uLongf destLen = compressBound(srcLen);
  std::vector<uint8_t> out(destLen);
  int rc = compress2(out.data(), &destLen, stream.Memory(), srcLen, 1);
  if (rc != Z_OK) throw EZlibError("圧縮エラー");
  stream.Clear();
  stream.WriteBuffer(out.data(), static_cast<int64_t>(destLen));
}

InflateEnd InflateBlocks(const std::function<int64_t(const uint8_t*& data)>& next,
                         const std::function<void(const uint8_t* block, int64_t size)>& write, int64_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EZlibError("展開エラー");
  struct Guard {
    z_stream* z;
    ~Guard() { inflateEnd(z); }
  } guard{&z};
  // The output block is not cleared: clearing or mapping a megabyte for each small
  // stream would cost more than inflating it.
  const size_t kMaxBlock = 1000000;
  size_t outSize = 65536;
  std::unique_ptr<uint8_t[]> out(new uint8_t[outSize]);
  int64_t produced = 0;
  for (;;) {
    if (z.avail_in == 0) {
      const uint8_t* data = nullptr;
      int64_t n = next(data);
      if (n <= 0) return InflateEnd::Truncated;
      z.next_in = const_cast<Bytef*>(data);
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = out.get();
    z.avail_out = static_cast<uInt>(outSize);
    int rc = inflate(&z, Z_NO_FLUSH);
    int64_t got = static_cast<int64_t>(outSize - z.avail_out);
    if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR) return InflateEnd::Damaged;
    if (rc == Z_BUF_ERROR && got == 0 && z.avail_in != 0) return InflateEnd::Damaged;
    if (got > 0) {
      produced += got;
      if (produced > limit) return InflateEnd::TooLarge;
      write(out.get(), got);
    }
    if (rc == Z_STREAM_END) return InflateEnd::Complete;
    if (z.avail_out == 0 && outSize < kMaxBlock) {
      outSize = std::min(outSize * 4, kMaxBlock);
      out.reset(new uint8_t[outSize]);
    }
  }
}

InflateEnd InflateBlocks(const uint8_t* data, int64_t size,
                         const std::function<void(const uint8_t* block, int64_t size)>& write, int64_t limit) {
  int64_t given = 0;
  return InflateBlocks(
      [&](const uint8_t*& piece) -> int64_t {
        // zlib counts its input in 32 bits: a larger stream goes in pieces.
        const int64_t n = std::min<int64_t>(size - given, int64_t(1) << 30);
        piece = data + given;
        given += n;
        return n;
      },
      write, limit);
}

void DecompressStream(TMemoryStream& stream, int64_t limit) {
  TMemoryStream out;
  InflateEnd end = InflateBlocks(
      stream.Memory(), stream.Size(), [&](const uint8_t* block, int64_t size) { out.WriteBuffer(block, size); },
      limit);
  switch (end) {
    case InflateEnd::Complete: break;
    case InflateEnd::Truncated: throw EZlibError("展開エラー: データが途中で終わっています");
    case InflateEnd::Damaged: throw EZlibError("展開エラー: データが壊れています");
    case InflateEnd::TooLarge: throw EFormatError("展開後のデータが大きすぎます");
  }
  stream.SetSize(out.Size());
  stream.SetPosition(0);
  if (out.Size()) stream.WriteBuffer(out.Memory(), out.Size());
  stream.SetPosition(0);
}

}  // namespace zarn
