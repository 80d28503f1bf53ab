// JPEG files for tests, made with libjpeg's encoder from known pixels, and a plain decode
// of them with libjpeg's RGB output to compare against.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "common/layered_image_writer.h"

namespace zarn {
namespace testing {

// Encodes a 24-bit plane (blue, green, red bytes) at the given quality, no chroma
// subsampling.
inline std::string EncodeJPEG(const Plane& p, int quality = 95) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = JDIMENSION(p.width);
  c.image_height = JDIMENSION(p.height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(size_t(p.width) * 3);
  while (c.next_scanline < c.image_height) {
    const uint8_t* src = p.Row(int32_t(c.next_scanline));
    for (int32_t x = 0; x < p.width; ++x) {
      row[size_t(x) * 3] = src[x * 3 + 2];
      row[size_t(x) * 3 + 1] = src[x * 3 + 1];
      row[size_t(x) * 3 + 2] = src[x * 3];
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string file(reinterpret_cast<char*>(out), size);
  free(out);
  return file;
}

// Decodes with slow integer DCT and fancy upsampling into RGB triples, row by row.
inline std::vector<uint8_t> DecodeJPEGRGB(const std::string& file, int& width, int& height) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(file.data()), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  d.dct_method = JDCT_ISLOW;
  d.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&d);
  width = int(d.output_width);
  height = int(d.output_height);
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = rgb.data() + size_t(d.output_scanline) * size_t(width) * 3;
    jpeg_read_scanlines(&d, &r, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return rgb;
}

}  // namespace testing
}  // namespace zarn
