#include "common/layered_image_writer.h"

#include <stdexcept>

namespace zarn {
namespace medium {

std::string WriteBrim(const std::string& frameName, const std::vector<Layer>& layers, uint32_t key,
                      uint32_t backColor) {
  if (layers.empty()) throw std::runtime_error("a picture needs a layer");
  const int w = layers[0].picture.width, h = layers[0].picture.height;
  BrimPlan plan;
  plan.version = 106;
  plan.scrambled = 1;
  plan.compression = 0;  // planes deflated whole
  plan.backColor = backColor;
  plan.seed = static_cast<int32_t>(key);
  plan.deflateLevel = Z_BEST_COMPRESSION;
  FrameSource frame;
  frame.name = frameName;
  frame.width = w;
  frame.height = h;
  for (const Layer& l : layers) {
    if (l.picture.width != w || l.picture.height != h) throw std::runtime_error("layers differ in size");
    LayerSource source;
    source.name = l.name;
    source.colorKey = l.colorKey;
    source.opacity = l.opacity;
    source.pixels = Plane::Make(w, h, 24, [&](int32_t x, int32_t y) { return uint32_t(RawPixel(l.picture.At(x, y))); });
    frame.layers.push_back(std::move(source));
  }
  plan.frames.push_back(std::move(frame));
  return BrimWriter::Write(plan);
}

}  // namespace medium
}  // namespace zarn
