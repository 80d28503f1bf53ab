#include "image/brims.h"

#include <cstring>

namespace zarn {

namespace {

// Version of a seven-byte tag "BrimNNN", or -1 when the bytes are not such a tag.
int TagVersion(const uint8_t* tag) {
  if (std::memcmp(tag, "Brim", 4) != 0) return -1;
  int v = 0;
  for (int i = 4; i < 7; ++i) {
    if (tag[i] < '0' || tag[i] > '9') return -1;
    v = v * 10 + (tag[i] - '0');
  }
  return v;
}

}  // namespace

bool IsStoredUncompressed(TStream& stream) {
  uint8_t tag[7];
  if (stream.Read(tag, 7) != 7) return false;
  if (TagVersion(tag) < 103) return false;
  uint8_t size[4];
  if (stream.Read(size, 4) != 4) return false;
  int32_t headerSize = static_cast<int32_t>(size[0] | size[1] << 8 | size[2] << 16 | uint32_t(size[3]) << 24);
  uint8_t block[40] = {};
  int32_t n = headerSize < 0 ? 0 : (headerSize > 40 ? 40 : headerSize);
  if (stream.Read(block, n) != n) return false;
  if (headerSize > 40) stream.Seek(headerSize - 40, soCurrent);
  return block[22] == 1;
}

}  // namespace zarn
