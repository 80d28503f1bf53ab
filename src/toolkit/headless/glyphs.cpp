#include "toolkit/headless/glyphs.h"

#include <algorithm>
#include <cstdlib>

#ifdef ZARN_HAVE_FREETYPE
#include <mutex>
#include <unordered_map>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "platform/posix/host_text.h"
#endif

namespace zarn {

namespace {
constexpr const char* kSystemFont = "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf";
}  // namespace

std::string TGlyphFont::DefaultPath() {
  const char* path = std::getenv("ZARN_HEADLESS_FONT");
  return path && *path ? path : kSystemFont;
}

TGlyphFont& TGlyphFont::Default() {
  static TGlyphFont font(DefaultPath());
  return font;
}

#ifdef ZARN_HAVE_FREETYPE

namespace {

// Sizes beyond this are drawn as boxes: their masks would be large and rarely wanted.
constexpr int kMaxPixelSize = 256;
// The cache is emptied when it grows past this many masks.
constexpr size_t kMaxCachedMasks = 8192;

// The code point of a UTF-8 text holding exactly one character, else 0.
char32_t SingleCodePoint(const std::string& s) {
  if (s.empty()) return 0;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(0);
  size_t n = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || s.size() != n) return 0;
  char32_t cp = n == 1 ? b0 : n == 2 ? (b0 & 0x1F) : n == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (size_t i = 1; i < n; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (byte(i) & 0x3F);
  }
  return cp;
}

}  // namespace

struct TGlyphFont::Impl {
  std::mutex mutex;
  bool opened = false;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int baselineNumerator = 0, baselineDenominator = 1;  // baseline = size x num / den
  std::unordered_map<uint16_t, char32_t> codePoints;   // Shift-JIS code -> code point, 0: none
  std::unordered_map<uint64_t, std::unique_ptr<TGlyphMask>> masks;  // null: no glyph
  std::unordered_map<uint64_t, int> advances;                         // 0: no glyph

  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  void Open(const std::string& path) {
    opened = true;
    if (FT_Init_FreeType(&library) != 0) {
      library = nullptr;
      return;
    }
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
      face = nullptr;
      return;
    }
    if (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      FT_Done_Face(face);
      face = nullptr;
      return;
    }
    // The cell's height is the font's whole ascent plus descent: the baseline divides it
    // in their ratio, rounded up the cell so descenders keep their pixels.
    int ascent = std::max<int>(face->ascender, 0), descent = std::max<int>(-face->descender, 0);
    if (ascent + descent == 0) ascent = face->units_per_EM, descent = face->units_per_EM / 8;
    baselineNumerator = ascent;
    baselineDenominator = ascent + descent;
  }

  char32_t Decode(const std::string& ch) {
    unsigned char b0 = static_cast<unsigned char>(ch[0]);
    if (ch.size() == 1 && b0 < 0x80) return b0;
    uint16_t code = static_cast<uint16_t>(ch.size() == 1 ? b0 : b0 << 8 | static_cast<unsigned char>(ch[1]));
    auto it = codePoints.find(code);
    if (it != codePoints.end()) return it->second;
    std::string utf8;
    char32_t cp = posix::SjisToUtf8Strict(ch, utf8) ? SingleCodePoint(utf8) : 0;
    codePoints.emplace(code, cp);
    return cp;
  }

  // The bold outline's extra width, 26.6 fixed point.
  static FT_Pos BoldStrength(int size) { return std::max<FT_Pos>(64, size * 64 / 14); }

  int MeasureAdvance(char32_t cp, int size, bool bold) {
    if (cp < 0x20 || cp == 0x7F) return 0;
    FT_UInt index = FT_Get_Char_Index(face, cp);
    if (index == 0) return 0;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) return 0;
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return 0;
    FT_Pos advance = face->glyph->advance.x + (bold ? BoldStrength(size) : 0);
    return std::max(1, static_cast<int>((advance + 32) >> 6));
  }

  std::unique_ptr<TGlyphMask> Render(char32_t cp, int cellWidth, int size, bool bold) {
    if (cp < 0x20 || cp == 0x7F) return std::make_unique<TGlyphMask>();
    FT_UInt index = FT_Get_Char_Index(face, cp);
    if (index == 0) return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) return nullptr;
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return nullptr;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return nullptr;
    FT_Outline& outline = slot->outline;
    FT_Pos advance = slot->advance.x;  // 26.6 fixed point
    if (bold) {
      // Thickened sideways only, by a pixel at the sizes of the controls.
      FT_Pos strength = BoldStrength(size);
      FT_Outline_EmboldenXY(&outline, strength, 0);
      FT_Outline_Translate(&outline, strength / 2, 0);
      advance += strength;
    }
    // A glyph wider than its cell is narrowed to fit; the glyph is centred in the cell
    // on a whole pixel, so stems stay sharp.
    FT_Pos cell = static_cast<FT_Pos>(cellWidth) * 64;
    if (advance > cell) {
      FT_Matrix narrow{FT_DivFix(cell, advance), 0, 0, 0x10000};
      FT_Outline_Transform(&outline, &narrow);
      advance = cell;
    }
    FT_Pos offset = ((cell - advance) / 2 + 32) & ~FT_Pos(63);
    FT_Outline_Translate(&outline, offset, 0);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return nullptr;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return nullptr;

    // Cut to the cell.
    int baseline = static_cast<int>(int64_t(size) * baselineNumerator / baselineDenominator);
    int left = slot->bitmap_left, top = baseline - slot->bitmap_top;
    int x0 = std::max(left, 0), x1 = std::min(left + static_cast<int>(bitmap.width), cellWidth);
    int y0 = std::max(top, 0), y1 = std::min(top + static_cast<int>(bitmap.rows), size);
    auto mask = std::make_unique<TGlyphMask>();
    if (x0 >= x1 || y0 >= y1) return mask;
    mask->left = x0;
    mask->top = y0;
    mask->width = x1 - x0;
    mask->height = y1 - y0;
    mask->coverage.resize(static_cast<size_t>(mask->width) * static_cast<size_t>(mask->height));
    for (int y = y0; y < y1; ++y) {
      const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y - top) * bitmap.pitch + (x0 - left);
      std::copy(row, row + mask->width, mask->coverage.begin() + static_cast<ptrdiff_t>(y - y0) * mask->width);
    }
    return mask;
  }
};

TGlyphFont::TGlyphFont(std::string path) : path_(std::move(path)), impl_(std::make_unique<Impl>()) {}
TGlyphFont::~TGlyphFont() = default;

bool TGlyphFont::Available() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->opened) impl_->Open(path_);
  return impl_->face != nullptr;
}

const TGlyphMask* TGlyphFont::Glyph(const std::string& ch, int cellWidth, int pixelSize, bool bold) {
  if (ch.empty() || ch.size() > 2 || pixelSize < 1 || pixelSize > kMaxPixelSize || cellWidth < 1 ||
      cellWidth > 2 * kMaxPixelSize)
    return nullptr;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->opened) impl_->Open(path_);
  if (!impl_->face) return nullptr;
  char32_t cp = impl_->Decode(ch);
  if (cp == 0) return nullptr;
  uint64_t key = uint64_t(cp) << 32 | uint64_t(cellWidth) << 16 | uint64_t(pixelSize) << 1 | (bold ? 1 : 0);
  auto it = impl_->masks.find(key);
  if (it != impl_->masks.end()) return it->second.get();
  if (impl_->masks.size() >= kMaxCachedMasks) impl_->masks.clear();
  return impl_->masks.emplace(key, impl_->Render(cp, cellWidth, pixelSize, bold)).first->second.get();
}

int TGlyphFont::Advance(const std::string& ch, int pixelSize, bool bold) {
  if (ch.empty() || ch.size() > 2 || pixelSize < 1 || pixelSize > kMaxPixelSize) return 0;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (!impl_->opened) impl_->Open(path_);
  if (!impl_->face) return 0;
  char32_t cp = impl_->Decode(ch);
  if (cp == 0) return 0;
  uint64_t key = uint64_t(cp) << 32 | uint64_t(pixelSize) << 1 | (bold ? 1 : 0);
  auto it = impl_->advances.find(key);
  if (it != impl_->advances.end()) return it->second;
  if (impl_->advances.size() >= kMaxCachedMasks) impl_->advances.clear();
  return impl_->advances.emplace(key, impl_->MeasureAdvance(cp, pixelSize, bold)).first->second;
}

#else  // no FreeType: no glyphs, the canvas draws boxes

struct TGlyphFont::Impl {};

TGlyphFont::TGlyphFont(std::string path) : path_(std::move(path)) {}
TGlyphFont::~TGlyphFont() = default;
bool TGlyphFont::Available() { return false; }
const TGlyphMask* TGlyphFont::Glyph(const std::string&, int, int, bool) { return nullptr; }
int TGlyphFont::Advance(const std::string&, int, bool) { return 0; }

#endif

}  // namespace zarn
