#include "settings/zlib_streams.h"

#include <zlib.h>

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

void DecompressStream(TMemoryStream& stream, int64_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EZlibError("展開エラー");
  struct Guard {
    z_stream* z;
    ~Guard() { inflateEnd(z); }
  } guard{&z};
  z.next_in = stream.Memory();
  z.avail_in = static_cast<uInt>(stream.Size());
  TMemoryStream out;
  const size_t kBlock = 1000000;
  std::vector<uint8_t> block(kBlock);
  for (;;) {
    z.next_out = block.data();
    z.avail_out = static_cast<uInt>(kBlock);
    int rc = inflate(&z, Z_NO_FLUSH);
    size_t got = kBlock - z.avail_out;
    if (got) {
      if (out.Size() + static_cast<int64_t>(got) > limit) throw EFormatError("展開後のデータが大きすぎます");
      out.WriteBuffer(block.data(), static_cast<int64_t>(got));
    }
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && got == 0) throw EZlibError("展開エラー: データが途中で終わっています");
    if (rc != Z_OK && rc != Z_BUF_ERROR) throw EZlibError("展開エラー: データが壊れています");
  }
  stream.SetSize(out.Size());
  stream.SetPosition(0);
  if (out.Size()) stream.WriteBuffer(out.Memory(), out.Size());
  stream.SetPosition(0);
}

}  // namespace zarn
