// Layered pictures (.BRM): frames made of layers, composed into one picture per frame
// when read. Planes may be deflated, stored as they are, or JPEG; cut into tiles that
// repeat earlier tiles; and stored in a scrambled order drawn from TQxRandom.
#pragma once

#include "runtime/streams.h"

namespace zarn {

// True when the stream at its position holds a tagged image of version 103 or later
// whose header says its planes are stored without compression. Any other content
// (no tag, an older version, a damaged tag or a short stream) answers false. The stream
// is left after what was read.
bool IsStoredUncompressed(TStream& stream);

}  // namespace zarn
