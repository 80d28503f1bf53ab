// In-place zlib packing of memory streams (archive members, image planes).
#pragma once

#include <cstdint>

#include "runtime/streams.h"

namespace zarn {

// Replaces the stream's content by its zlib (RFC 1950) compression at level 1;
// the position ends after the data.
void CompressStream(TMemoryStream& stream);

// Replaces the stream's zlib data by the inflated bytes; position 0. Damaged data raises
// EZlibError. Inflating more than `limit` bytes raises EFormatError, so a small hostile
// stream cannot exhaust memory.
void DecompressStream(TMemoryStream& stream, int64_t limit = int64_t(1) << 31);

}  // namespace zarn
