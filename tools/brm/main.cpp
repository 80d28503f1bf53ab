// zarn-brm: renders a frame of a layered picture (.BRM) to PNG, or describes the file.
#include <png.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "image/layered_image.h"
#include "common/host_path.h"
#include "platform/platform.h"
#include "runtime/error.h"
#include "toolmain.h"

namespace zarn {
namespace brm {
namespace {

const char kUsage[] =
    "usage: zarn-brm png FILE.brm -o OUT.png [--key N] [--frame K]\n"
    "       zarn-brm info FILE.brm [--key N]\n"
    "\n"
    "Reads a layered picture and composes its frames as the setup program does.\n"
    "Run 'zarn-brm png --help' or 'zarn-brm info --help' for details.\n";

const char kPngUsage[] =
    "usage: zarn-brm png FILE.brm -o OUT.png [--key N] [--frame K]\n"
    "\n"
    "Composes the picture with seed N (the settings' ImageKey; default 0) and writes frame\n"
    "K (default 0) as an 8-bit RGB PNG, or RGBA when the frame has an alpha plane. A wrong\n"
    "seed gives scrambled rows or tiles, not an error.\n"
    "\n"
    "Exit status: 0 on success, 2 on bad usage, a missing or damaged picture, a frame that\n"
    "does not exist or a file that cannot be written.\n";

const char kInfoUsage[] =
    "usage: zarn-brm info FILE.brm [--key N]\n"
    "\n"
    "Prints the format version, the header fields and, per frame, its size, bit count,\n"
    "colour key and layers (name, visible, key, opacity, alpha). Names are shown as UTF-8.\n"
    "\n"
    "Exit status: 0 on success, 2 on bad usage or a missing or damaged picture.\n";

using tools::Failure;
using tools::IsHelp;

int32_t ParseInt(const std::string& option, const std::string& text) {
  try {
    size_t used = 0;
    long long v = std::stoll(text, &used, 0);
    if (used == text.size() && v >= INT32_MIN && v <= 0xFFFFFFFFLL) return int32_t(uint32_t(v));
  } catch (const std::exception&) {
  }
  throw Failure{option + " needs a number, not '" + text + "'"};
}

struct Options {
  std::string file, output;
  int32_t key = 0, frame = 0;
  bool frameGiven = false;
};

// Parses the arguments of a command; returns false when help was printed.
bool ParseArgs(const std::string& command, const std::vector<std::string>& args, Options& o, bool png) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw Failure{command + ": " + a + " needs a value"};
      return args[++i];
    };
    if (IsHelp(a)) {
      std::cout << (png ? kPngUsage : kInfoUsage);
      return false;
    }
    if (a == "--key") {
      o.key = ParseInt(a, value());
    } else if (png && (a == "-o" || a == "--output")) {
      o.output = value();
    } else if (png && a == "--frame") {
      o.frame = ParseInt(a, value());
      o.frameGiven = true;
      if (o.frame < 0) throw Failure{command + ": --frame must be 0 or more"};
    } else if (a.size() > 1 && a[0] == '-') {
      throw Failure{command + ": unknown option " + a};
    } else if (!o.file.empty()) {
      throw Failure{command + ": only one FILE.brm, please"};
    } else {
      o.file = a;
    }
  }
  if (o.file.empty()) throw Failure{command + ": FILE.brm is missing (see 'zarn-brm " + command + " --help')"};
  if (png && o.output.empty()) throw Failure{command + ": -o OUT.png is missing"};
  return true;
}

void LoadPicture(Platform& platform, const Options& o, TBrimFrameList& list, bool firstOnly, bool keepLayers) {
  TMemoryStream m;
  try {
    LoadFileToStream(platform, HostPathToWindows(platform, o.file), m);
    m.SetPosition(0);
    list.LoadFromStream(m, firstOnly, false, keepLayers);
  } catch (const EZarnError& e) {
    throw Failure{o.file + ": " + platform.SjisToUtf8(e.Message())};
  }
}

// ---- PNG

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}
void PngFlush(png_structp) {}
void PngError(png_structp png, png_const_charp message) {
  *static_cast<std::string*>(png_get_error_ptr(png)) = message;
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// The frame as an 8-bit RGB or RGBA PNG file.
std::string EncodePng(const TDIBSurface& s) {
  const bool alpha = s.HasAlpha();
  const int channels = alpha ? 4 : 3;
  const int32_t w = s.Width(), h = s.Height();
  std::vector<uint8_t> rows(size_t(w) * size_t(h) * size_t(channels));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = &rows[size_t(y) * size_t(w) * size_t(channels)];
    const uint8_t* a = alpha ? s.AlphaPlane()->ScanLine(y) : nullptr;
    const uint8_t* in = s.ScanLine(y);
    for (int32_t x = 0; x < w; ++x, out += channels) {
      TColor c;
      if (s.StoredBitCount() == 24)
        c = MakeColor(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
      else
        c = s.PixelColor(s.ReadPixel(x, y));
      out[0] = ColorRed(c);
      out[1] = ColorGreen(c);
      out[2] = ColorBlue(c);
      if (alpha) out[3] = a[x];
    }
  }
  std::string file, error;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
  if (!png) throw Failure{"cannot start the PNG writer"};
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> pointers(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) pointers[size_t(y)] = &rows[size_t(y) * size_t(w) * size_t(channels)];
  if (info && setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &file, PngWrite, PngFlush);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  } else if (error.empty()) {
    error = "out of memory";
  }
  png_destroy_write_struct(&png, &info);
  if (!error.empty()) throw Failure{"PNG: " + error};
  return file;
}

void SaveFile(Platform& platform, const std::string& hostPath, const std::string& bytes) {
  std::unique_ptr<FileHandle> h = platform.OpenFile(HostPathToWindows(platform, hostPath), FileAccess::Write,
                                                    FileShare::None, FileCreate::CreateAlways);
  if (!h) throw Failure{hostPath + ": cannot be created"};
  THandleStream s(h.get());
  try {
    s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  } catch (const EZarnError&) {
    throw Failure{hostPath + ": cannot be written"};
  }
  if (!h->Flush()) throw Failure{hostPath + ": cannot be written"};
}

int Png(Platform& platform, const std::vector<std::string>& args) {
  Options o;
  if (!ParseArgs("png", args, o, true)) return 0;
  TBrimFrameList list(o.key);
  LoadPicture(platform, o, list, o.frame == 0, false);
  if (o.frame >= list.Count())
    throw Failure{o.file + ": there is no frame " + std::to_string(o.frame) + " (the picture has " +
                  std::to_string(list.Count()) + ")"};
  const TDIBSurface& s = list.Frames(o.frame).Surface;
  if (s.Empty()) throw Failure{o.file + ": frame " + std::to_string(o.frame) + " has no pixels"};
  SaveFile(platform, o.output, EncodePng(s));
  return 0;
}

// ---- info

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*X", digits, v);
  return buf;
}

std::string Key(int32_t key) { return key < 0 ? "none" : "0x" + Hex(uint32_t(key), 6); }

int Info(Platform& platform, const std::vector<std::string>& args) {
  Options o;
  if (!ParseArgs("info", args, o, false)) return 0;
  TBrimFrameList list(o.key);
  LoadPicture(platform, o, list, false, true);
  const TBrimHeader& h = list.Header;
  const char* compression[] = {"0 (deflate)", "1 (none)", "2 (JPEG colour planes)"};
  std::cout << "version: " << list.Version << "\n";
  if (h.HeaderSize > 0) std::cout << "header size: " << h.HeaderSize << "\n";
  std::cout << "record version: " << h.Version << "\n"
            << "frames: " << h.FrameCount << "\n"
            << "scrambled: " << (h.Scrambled ? "yes" : "no") << "\n"
            << "compression: " << (h.Compression <= 2 ? compression[h.Compression] : "?") << "\n"
            << "background: #" << Hex(ColorRed(h.BackColor), 2) << Hex(ColorGreen(h.BackColor), 2)
            << Hex(ColorBlue(h.BackColor), 2) << "\n"
            << "tiles: ";
  if (h.TileWidth > 0 && h.TileHeight > 0 && h.Compression != 2)
    std::cout << h.TileWidth << " x " << h.TileHeight << "\n";
  else
    std::cout << "none\n";
  std::cout << "bottom opaque: " << (list.BottomOpaque ? "yes" : "no") << "\n";
  for (int i = 0; i < list.Count(); ++i) {
    const TBrimFrame& f = list.Frames(i);
    std::cout << "frame " << i << " \"" << platform.SjisToUtf8(f.Name) << "\": " << f.Surface.Width() << " x "
              << f.Surface.Height() << ", " << f.Surface.BitCount() << " bits, colour key " << Key(f.ColorKey)
              << ", delay " << f.Delay << ", alpha " << (f.HasAlpha() ? "yes" : "no") << "\n";
    for (int l = 0; l < f.Count(); ++l) {
      const TBrimLayer& layer = f.Layers(l);
      std::cout << "  layer " << l << " \"" << platform.SjisToUtf8(layer.Name) << "\": "
                << (layer.Visible ? "visible" : "hidden") << ", key " << Key(layer.ColorKey) << ", opacity "
                << layer.Opacity << ", alpha "
                << (layer.Surface.HasAlpha() ? (layer.UseAlpha ? "yes (used)" : "yes (not used)") : "no") << "\n";
    }
  }
  return 0;
}

}  // namespace
}  // namespace brm
}  // namespace zarn

int main(int argc, char** argv) {
  using namespace zarn;
  return tools::RunCommands("zarn-brm", brm::kUsage, argc, argv, {{"png", brm::Png}, {"info", brm::Info}});
}
