#include <cstdio>
#include <memory>
#include <vector>

#include "runtime/error.h"
#include "runtime/sjis.h"
#include "toolkit/headless/headless.h"

#ifdef ZARN_HAVE_PNG
#include <png.h>
#endif

namespace zarn {

#ifdef ZARN_HAVE_PNG
void SavePng(const TDIB& pixels, const std::string& hostPath) {
  if (pixels.Empty()) throw EZarnError("空の画像は保存できません");
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(hostPath.c_str(), "wb"), &std::fclose);
  if (!file) throw EZarnError(Format("ファイル %s を作成できません", hostPath));
  std::vector<png_byte> row(static_cast<size_t>(pixels.Width()) * 3);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw EZarnError("PNG を書き出せません");
  }
  // libpng reports errors by longjmp; everything with a destructor is made before this.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw EZarnError(Format("ファイル %s に書き込めません", hostPath));
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixels.Width()), static_cast<png_uint_32>(pixels.Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < pixels.Height(); ++y) {
    for (int x = 0; x < pixels.Width(); ++x) {
      TColor c = pixels.PixelColor(pixels.ReadPixel(x, y));
      row[static_cast<size_t>(x) * 3] = ColorRed(c);
      row[static_cast<size_t>(x) * 3 + 1] = ColorGreen(c);
      row[static_cast<size_t>(x) * 3 + 2] = ColorBlue(c);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0) throw EZarnError(Format("ファイル %s に書き込めません", hostPath));
}
#else
void SavePng(const TDIB&, const std::string&) { throw EZarnError("この版は PNG を書き出せません"); }
#endif

}  // namespace zarn
