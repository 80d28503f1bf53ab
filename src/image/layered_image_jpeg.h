// JPEG colour planes of layered pictures, decoded with libjpeg at its best-quality
// settings (slow integer DCT, fancy upsampling) into 24-bit rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/dib_surface.h"

namespace zarn {

// Decodes a complete JPEG file into `out`, which must already be a 24-bit surface of
// the picture's size: a JPEG of another size raises EFormatError before any pixel is
// decoded, and every error of the library raises EJPEGError with its message.
void DecodeJPEG(const uint8_t* data, size_t size, TDIBSurface& out);

}  // namespace zarn
