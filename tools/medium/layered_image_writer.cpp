#include "layered_image_writer.h"

#include <zlib.h>

#include <stdexcept>

#include "runtime/scramble_random.h"

namespace zarn {
namespace medium {

namespace {

void I32(std::string& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out += char((uint32_t(v) >> (8 * i)) & 0xFF);
}
void Text(std::string& out, const std::string& t) {
  I32(out, int32_t(t.size()));
  out += t;
}

std::string Deflate(const std::string& raw) {
  uLongf n = compressBound(uLong(raw.size()));
  std::string out(n, '\0');
  if (compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    throw std::runtime_error("cannot deflate a picture plane");
  out.resize(n);
  return out;
}

// The colour plane: rows of blue, green, red padded to 4 bytes, stored in the order
// r(0), r(1), ... that the generator draws for the key.
std::string Plane(const Picture& p, uint32_t key) {
  const size_t stride = (size_t(p.width) * 24 + 31) / 32 * 4;
  TQxRandom order(static_cast<int32_t>(key));
  order.FillPool(p.height);
  std::string rows;
  rows.reserve(stride * size_t(p.height));
  for (int k = 0; k < p.height; ++k) {
    int y = order.NextFromPool();
    std::string row(stride, '\0');
    for (int x = 0; x < p.width; ++x) {
      uint32_t c = p.At(x, y);
      row[3 * size_t(x)] = char(c >> 16 & 0xFF);
      row[3 * size_t(x) + 1] = char(c >> 8 & 0xFF);
      row[3 * size_t(x) + 2] = char(c & 0xFF);
    }
    rows += row;
  }
  return Deflate(rows);
}

}  // namespace

std::string WriteBrim(const std::string& frameName, const std::vector<Layer>& layers, uint32_t key,
                      uint32_t backColor) {
  if (layers.empty()) throw std::runtime_error("a picture needs a layer");
  const int w = layers[0].picture.width, h = layers[0].picture.height;
  std::string out = "Brim106";
  I32(out, 40);
  std::string header(40, '\0');
  header[0] = 106;             // version of the records
  header[16] = 1;              // one frame
  header[21] = 1;              // rows scrambled
  header[22] = 0;              // planes deflated
  for (int i = 0; i < 4; ++i) header[24 + i] = char(backColor >> (8 * i) & 0xFF);
  out += header;

  Text(out, frameName);
  I32(out, -1);   // no colour key
  I32(out, 100);  // delay
  out += '\0';    // flags
  I32(out, 0);
  I32(out, int32_t(layers.size()));
  I32(out, w);
  I32(out, h);
  I32(out, 24);
  for (const Layer& l : layers) {
    if (l.picture.width != w || l.picture.height != h) throw std::runtime_error("layers differ in size");
    out += std::string(8, '\0');
    out += '\1';  // visible
    I32(out, l.colorKey);
    I32(out, l.opacity);
    out += '\0';  // no alpha
    Text(out, l.name);
    std::string plane = Plane(l.picture, key);
    I32(out, int32_t(plane.size()));
    out += plane;
    I32(out, 0);  // no alpha plane
  }
  I32(out, 0);  // two empty record lists
  I32(out, 0);
  return out;
}

}  // namespace medium
}  // namespace zarn
