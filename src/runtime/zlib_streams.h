// In-place zlib packing of memory streams (archive members, image planes).
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/streams.h"

namespace zarn {

// Replaces the stream's content by its zlib (RFC 1950) compression at level 1;
// the position ends after the data.
void CompressStream(TMemoryStream& stream);

// Replaces the stream's zlib data by the inflated bytes; position 0. Damaged data raises
// EZlibError. Inflating more than `limit` bytes raises EFormatError, so a small hostile
// stream cannot exhaust memory.
void DecompressStream(TMemoryStream& stream, int64_t limit = int64_t(1) << 31);

// How inflating one zlib stream block by block ended.
enum class InflateEnd { Complete, Truncated, Damaged, TooLarge };

// Inflates one zlib stream: `next` points `data` at the next piece of input and answers
// its size (0: there is no more); each block of output goes to `write`. Stops at the
// stream's end or at the first fault: input that ends first (Truncated), data zlib
// refuses (Damaged), or more than `limit` bytes out (TooLarge, nothing beyond the limit
// written). Output blocks start small and grow to 1 MB, as most streams are small.
InflateEnd InflateBlocks(const std::function<int64_t(const uint8_t*& data)>& next,
                         const std::function<void(const uint8_t* block, int64_t size)>& write, int64_t limit);

// The same for a zlib stream held whole in memory.
InflateEnd InflateBlocks(const uint8_t* data, int64_t size,
                         const std::function<void(const uint8_t* block, int64_t size)>& write, int64_t limit);

}  // namespace zarn
