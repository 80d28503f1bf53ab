// The demo game's pictures, sound and movie, drawn and composed by the program itself.
#pragma once

#include <cstdint>
#include <string>

#include "common/layered_image_writer.h"

namespace zarn {
namespace medium {

// The background of the start menu and the splash window: an evening sky over hills, with
// the title in a second layer whose key colour lets the sky show through.
std::string BackgroundPicture(uint32_t key);
// A character portrait for the game's data: a framed silhouette.
std::string CharacterPicture(uint32_t key);
// A short chime as a RIFF WAVE file (8-bit mono).
std::string ChimeWave();
// A tiny MPEG-1 program stream: one pack header and the end code.
std::string TinyMovie();
// Block letters (A-Z, 0-9, space, '-') `scale` pixels per dot, drawn into the picture.
void DrawBlockText(Picture& p, int x, int y, const std::string& text, int scale, uint32_t colour);

}  // namespace medium
}  // namespace zarn
