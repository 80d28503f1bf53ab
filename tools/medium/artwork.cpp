#include "artwork.h"

#include <cmath>

#include "image/dib_picture.h"

namespace zarn {
namespace medium {

namespace {

TColor Mix(TColor a, TColor b, double t) {
  auto ch = [t](uint8_t x, uint8_t y) { return uint8_t(std::lround(x * (1 - t) + y * t)); };
  return MakeColor(ch(ColorRed(a), ColorRed(b)), ch(ColorGreen(a), ColorGreen(b)), ch(ColorBlue(a), ColorBlue(b)));
}

// 5 x 7 dots per character, one string per row.
const char* Glyph(char c) {
  switch (c) {
    case 'A': return " ### #   ##   #######   ##   ##   #";
    case 'B': return "#### #   ##   ##### #   ##   ##### ";
    case 'C': return " ### #   ##    #    #    #   # ### ";
    case 'D': return "#### #   ##   ##   ##   ##   ##### ";
    case 'E': return "######    #    #### #    #    #####";
    case 'G': return " ### #   ##    # ####   ##   # ####";
    case 'I': return " ###   #    #    #    #    #   ### ";
    case 'M': return "#   ### ### # ##   ##   ##   ##   #";
    case 'N': return "#   ###  ## # ##  ###   ##   ##   #";
    case 'O': return " ### #   ##   ##   ##   ##   # ### ";
    case 'R': return "#### #   ##   ##### # #  #  # #   #";
    case 'S': return " #####    #     ###     #    ##### ";
    case 'T': return "#####  #    #    #    #    #    #  ";
    case 'Y': return "#   ##   # # #   #    #    #    #  ";
    case 'Z': return "#####    #   #   #   #   #    #####";
    case '-': return "                ###                ";
    default: return nullptr;
  }
}

}  // namespace

void DrawBlockText(Picture& p, int x, int y, const std::string& text, int scale, uint32_t colour) {
  for (char c : text) {
    if (const char* g = Glyph(c)) {
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
          size_t at = size_t(row * 5 + col);
          if (at >= std::char_traits<char>::length(g) || g[at] != '#') continue;
          for (int dy = 0; dy < scale; ++dy)
            for (int dx = 0; dx < scale; ++dx) {
              int px = x + col * scale + dx, py = y + row * scale + dy;
              if (px >= 0 && py >= 0 && px < p.width && py < p.height) p.At(px, py) = colour;
            }
        }
    }
    x += 6 * scale;
  }
}

std::string BackgroundPicture(uint32_t key) {
  const int w = 640, h = 400;
  Picture sky(w, h);
  const uint32_t top = MakeColor(24, 18, 72), middle = MakeColor(150, 70, 120), horizon = MakeColor(250, 170, 90);
  for (int y = 0; y < h; ++y) {
    double t = double(y) / (h - 1);
    uint32_t c = t < 0.6 ? Mix(top, middle, t / 0.6) : Mix(middle, horizon, (t - 0.6) / 0.4);
    for (int x = 0; x < w; ++x) sky.At(x, y) = c;
  }
  // Stars: a fixed scatter in the upper sky.
  uint32_t seed = 12345;
  for (int i = 0; i < 140; ++i) {
    seed = seed * 1103515245u + 12345u;
    int x = int(seed >> 8) % w;
    seed = seed * 1103515245u + 12345u;
    int y = int(seed >> 8) % (h / 2);
    sky.At(x, y) = Mix(sky.At(x, y), MakeColor(255, 255, 230), 0.8);
  }
  // The setting sun, then two rows of hills in front of it.
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double d = std::hypot(x - 470.0, y - 300.0);
      if (d < 46) sky.At(x, y) = Mix(MakeColor(255, 230, 150), sky.At(x, y), d / 60);
    }
  for (int x = 0; x < w; ++x) {
    int far = int(300 + 22 * std::sin(x / 53.0) + 12 * std::sin(x / 17.0 + 1));
    int near = int(335 + 28 * std::sin(x / 91.0 + 2) + 8 * std::sin(x / 23.0));
    for (int y = far; y < h; ++y) sky.At(x, y) = Mix(MakeColor(70, 40, 90), sky.At(x, y), 0.15);
    for (int y = near; y < h; ++y) sky.At(x, y) = MakeColor(30, 22, 48);
  }

  // The title layer: everything in the key colour but the letters and their shadow.
  const uint32_t keyColour = MakeColor(255, 0, 255);
  Picture title(w, h, keyColour);
  const std::string line1 = "ZARN ENGINE", line2 = "DEMO STORY";
  auto width = [](const std::string& s, int scale) { return int(s.size()) * 6 * scale - scale; };
  const int x1 = (w - width(line1, 7)) / 2, x2 = (w - width(line2, 5)) / 2;
  DrawBlockText(title, x1 + 4, 84 + 4, line1, 7, MakeColor(20, 10, 40));
  DrawBlockText(title, x1, 84, line1, 7, MakeColor(255, 244, 220));
  DrawBlockText(title, x2 + 3, 160 + 3, line2, 5, MakeColor(20, 10, 40));
  DrawBlockText(title, x2, 160, line2, 5, MakeColor(255, 210, 120));

  std::vector<Layer> layers;
  layers.push_back({"sky", sky});
  layers.push_back({"title", title, RawPixel(keyColour)});
  return WriteBrim("back", layers, key);
}

std::string CharacterPicture(uint32_t key) {
  const int w = 200, h = 300;
  Picture p(w, h, MakeColor(240, 232, 220));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double head = std::hypot(x - 100.0, y - 95.0);
      bool body = y > 150 && std::abs(x - 100) < 20 + (y - 150) / 2;
      if (head < 48 || body) p.At(x, y) = Mix(MakeColor(60, 40, 80), MakeColor(120, 80, 140), double(y) / h);
      if (x < 6 || y < 6 || x >= w - 6 || y >= h - 6) p.At(x, y) = MakeColor(150, 110, 60);
    }
  std::vector<Layer> layers;
  layers.push_back({"portrait", p});
  return WriteBrim("chara", layers, key);
}

std::string ChimeWave() {
  const uint32_t rate = 22050;
  const double notes[] = {659.26, 783.99, 1046.50};
  std::string samples;
  for (double f : notes)
    for (uint32_t i = 0; i < rate / 2; ++i) {
      double t = double(i) / rate;
      double v = std::sin(2 * 3.14159265358979 * f * t) * std::exp(-4 * t);
      samples += char(uint8_t(128 + std::lround(100 * v)));
    }
  auto le32 = [](uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += char(v >> (8 * i) & 0xFF);
    return s;
  };
  auto le16 = [](uint32_t v) { return std::string{char(v & 0xFF), char(v >> 8 & 0xFF)}; };
  std::string fmt = le16(1) + le16(1) + le32(rate) + le32(rate) + le16(1) + le16(8);
  std::string body = "WAVE" + std::string("fmt ") + le32(uint32_t(fmt.size())) + fmt + "data" +
                     le32(uint32_t(samples.size())) + samples;
  return "RIFF" + le32(uint32_t(body.size())) + body;
}

std::string TinyMovie() {
  // Pack start code, an MPEG-1 pack header (SCR 0, mux rate 1), then the end code.
  return std::string("\x00\x00\x01\xBA\x21\x00\x01\x00\x01\x80\x00\x03", 12) + std::string("\x00\x00\x01\xB9", 4);
}

}  // namespace medium
}  // namespace zarn
