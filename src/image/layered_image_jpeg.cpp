#include "image/layered_image_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "image/layered_image.h"
#include "runtime/sjis.h"

namespace zarn {

namespace {

// libjpeg ends the process on an error by default. This manager jumps back to the
// decoding routine instead, which turns the error into an exception once it is out of
// the library's frames.
struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

// Warnings (such as data that ends early, which libjpeg pads) are not printed.
void OutputMessage(j_common_ptr) {}

enum class Outcome { kDone, kLibraryError, kWrongSize };

// Plain C-style decoding: nothing with a destructor lives in this frame, so the jump
// back from the library skips no clean-up.
Outcome Decode(const uint8_t* data, size_t size, uint8_t* rows, size_t stride, JDIMENSION width,
               JDIMENSION height, ErrorManager& err, JDIMENSION& gotWidth, JDIMENSION& gotHeight) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
  err.message[0] = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return Outcome::kLibraryError;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  gotWidth = cinfo.image_width;
  gotHeight = cinfo.image_height;
  if (cinfo.image_width != width || cinfo.image_height != height) {
    jpeg_destroy_decompress(&cinfo);
    return Outcome::kWrongSize;
  }
  cinfo.out_color_space = JCS_EXT_BGR;  // rows as a 24-bit DIB holds them
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = TRUE;
  cinfo.do_block_smoothing = TRUE;
  cinfo.scale_num = cinfo.scale_denom = 1;
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rows + size_t(cinfo.output_scanline) * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return Outcome::kDone;
}

}  // namespace

void DecodeJPEG(const uint8_t* data, size_t size, TDIBSurface& out) {
  if (out.StoredBitCount() != 24 && !out.Empty()) throw EInvalidGraphicOperation("JPEG は 24 ビットの画像にだけ読み込めます");
  static const uint8_t kNothing[1] = {0};
  // A picture of no pixels cannot hold a JPEG; let the size check report it.
  uint8_t* rows = out.Empty() ? nullptr : out.ScanLine(0);
  size_t stride = size_t(out.WidthBytes());
  ErrorManager err;
  JDIMENSION gotWidth = 0, gotHeight = 0;
  Outcome r = Decode(size ? data : kNothing, size, rows, stride, JDIMENSION(out.Width()), JDIMENSION(out.Height()),
                     err, gotWidth, gotHeight);
  if (r == Outcome::kLibraryError) throw EJPEGError(Format("JPEG データを読めません: %s", std::string(err.message)));
  if (r == Outcome::kWrongSize)
    throw EFormatError(Format("JPEG の大きさ (%d x %d) が画像の大きさ (%d x %d) と違います", int64_t(gotWidth),
                              int64_t(gotHeight), out.Width(), out.Height()));
}

}  // namespace zarn
