// TGradBox: fills an area with a banded colour gradient of GradStep + 2 bands (the
// splash window's backdrop). This class holds the properties with their change
// notifications and the paint algorithm; the toolkit's control owns one, forwards
// OnInvalidate to its repaint and calls Paint on its canvas.
#pragma once

#include <cstdint>
#include <functional>

#include "image/dib_picture.h"

namespace zarn {

enum TGradDirection : int32_t {
  gdHorizontal = 0,  // bands are columns, the colour runs left to right
  gdVertical = 1,    // bands are rows, the colour runs top to bottom
  gdHorzCenter = 2,  // columns, the start colour in the middle, the end colour at both sides
};

class TGradBox {
 public:
  TGradBox() = default;
  TGradBox(const TGradBox&) = delete;
  TGradBox& operator=(const TGradBox&) = delete;

  // Called after a property setter ran, with the box as sender.
  std::function<void(TGradBox& sender)> OnChange;
  // Called when the box must be painted again (the toolkit's invalidate).
  std::function<void()> OnInvalidate;

  TColor StartColor() const { return startColor_; }
  TColor EndColor() const { return endColor_; }
  uint8_t GradStep() const { return gradStep_; }
  TGradDirection Direction() const { return direction_; }
  // These three store, invalidate and notify even when the value is unchanged.
  void SetStartColor(TColor c);
  void SetEndColor(TColor c);
  void SetGradStep(uint8_t n);
  // Does nothing when unchanged; otherwise stores, invalidates and notifies.
  void SetDirection(TGradDirection d);

  // Paints a width x height box. `fill` fills a rectangle (in box coordinates, possibly
  // reaching past the box: the canvas clips it) with a colour; `nearest` maps a colour
  // to the nearest one the device shows (unchanged when not given).
  void Paint(int32_t width, int32_t height, const std::function<void(const TRect&, TColor)>& fill,
             const std::function<TColor(TColor)>& nearest = nullptr) const;
  // The same on a picture canvas, clipped to the box's area at the canvas origin.
  void Paint(TDIBCanvas& canvas, int32_t width, int32_t height) const;

  // A new box is this size.
  static constexpr int32_t kDefaultWidth = 128;
  static constexpr int32_t kDefaultHeight = 128;

 private:
  void Changed();
  TColor startColor_ = MakeColor(255, 255, 255);
  TColor endColor_ = MakeColor(0, 0, 0);
  uint8_t gradStep_ = 128;
  TGradDirection direction_ = gdVertical;
};

}  // namespace zarn
