// Glyphs for the headless canvas: the characters of a Shift-JIS text rasterised from one
// font file with FreeType, as grey coverage masks fitted to a cell of the width asked
// (the character's own advance, as the canvas sets text, or a fixed box cell), and the
// advances themselves. Masks and advances are cached by code point, size and weight. A build without FreeType, or a font file that cannot be opened, has no glyphs:
// the canvas then draws boxes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zarn {

// A rendered character: `width` x `height` coverage values (0 = none, 255 = full), row
// after row, whose top left lies at (left, top) from the top left of the character's
// cell. Never reaches outside the cell.
struct TGlyphMask {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> coverage;
};

class TGlyphFont {
 public:
  // The font is opened on first use.
  explicit TGlyphFont(std::string path);
  ~TGlyphFont();
  TGlyphFont(const TGlyphFont&) = delete;
  TGlyphFont& operator=(const TGlyphFont&) = delete;

  const std::string& Path() const { return path_; }
  // Whether the font could be opened and can map Unicode characters.
  bool Available();

  // The mask of the character `ch` (its one or two Shift-JIS bytes) in a cell
  // `cellWidth` x `pixelSize`, the font drawn `pixelSize` pixels high. nullptr when
  // there is no glyph to draw: no font, bytes that are no character, a character the
  // font lacks, a size out of range. A blank or control character has an empty mask.
  // The mask stays valid until the next call.
  const TGlyphMask* Glyph(const std::string& ch, int cellWidth, int pixelSize, bool bold);
  // How far the pen moves after `ch` at that size, in whole pixels, as a proportional
  // font sets text; 0 when there is no glyph to draw (as for Glyph).
  int Advance(const std::string& ch, int pixelSize, bool bold);

  // ZARN_HEADLESS_FONT when set, else the IPA P Gothic font of the system.
  static std::string DefaultPath();
  // The font at DefaultPath(), opened once and shared by every canvas of the process.
  static TGlyphFont& Default();

 private:
  struct Impl;
  std::string path_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zarn
