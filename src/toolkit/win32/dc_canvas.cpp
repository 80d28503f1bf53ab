#include "toolkit/win32/peer.h"

#include "platform/win32/text.h"

namespace zarn {
namespace win32ui {

using win32::ToWide;

FontCache::~FontCache() {
  for (auto& f : fonts_) DeleteObject(f.second);
}

HFONT FontCache::Get(const TFont& font) {
  std::string key =
      font.name + "|" + std::to_string(font.height) + "|" + std::to_string(font.charset) + (font.bold ? "|b" : "");
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  HFONT h = CreateFontW(-font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                        static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, ToWide(font.name).c_str());
  fonts_[key] = h;
  return h;
}

BrushCache::~BrushCache() {
  for (auto& b : brushes_) DeleteObject(b.second);
}

HBRUSH BrushCache::Get(TColor color) {
  HBRUSH& brush = brushes_[color];
  if (!brush) brush = CreateSolidBrush(Ref(color));
  return brush;
}

RECT DCCanvas::Device(const TRect& r) const {
  return {originX_ + r.Left, originY_ + r.Top, originX_ + r.Right, originY_ + r.Bottom};
}

bool DCCanvas::ClipTo(RECT& rc) const {
  RECT clip = {clip_.Left, clip_.Top, clip_.Right, clip_.Bottom};
  return IntersectRect(&rc, &rc, &clip) != FALSE;
}

void DCCanvas::FillRect(const TRect& r, TColor color) {
  RECT rc = Device(r);
  if (!ClipTo(rc)) return;
  HBRUSH brush = CreateSolidBrush(Ref(color));
  ::FillRect(dc_, &rc, brush);
  DeleteObject(brush);
}

void DCCanvas::TextOut(int x, int y, const std::string& text, const TRect& clip) {
  RECT rc = Device(clip);
  if (!ClipTo(rc)) return;
  HGDIOBJ old = SelectObject(dc_, fonts_.Get(font));
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, Ref(font.color));
  std::wstring w = ToWide(text);
  ExtTextOutW(dc_, originX_ + x, originY_ + y, ETO_CLIPPED, &rc, w.c_str(), static_cast<UINT>(w.size()), nullptr);
  SelectObject(dc_, old);
}

TSize DCCanvas::TextExtent(const std::string& text) {
  HGDIOBJ old = SelectObject(dc_, fonts_.Get(font));
  std::wstring w = ToWide(text);
  SIZE size = {0, 0};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc_, old);
  return {size.cx, size.cy};
}

void DCCanvas::StretchDraw(const TRect& dest, const TDIB& picture, const TRect& src) {
  if (picture.Empty() || dest.IsEmpty() || src.IsEmpty()) return;
  RECT clip = Device(dest);
  if (!ClipTo(clip)) return;
  // The picture's rows as a top-down DIB; palette or bit masks as it stores them.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = picture.Width();
  info.header.biHeight = -picture.Height();
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(picture.StoredBitCount());
  info.header.biCompression = BI_RGB;
  if (picture.StoredBitCount() <= 8) {
    int n = picture.PaletteCount();
    info.header.biClrUsed = static_cast<DWORD>(n);
    for (int i = 0; i < n; ++i) {
      const TRGBQuad& q = picture.ColorTable()[static_cast<size_t>(i)];
      info.colors[i] = {q.Blue, q.Green, q.Red, 0};
    }
  } else if (picture.StoredBitCount() == 16 || picture.StoredBitCount() == 32) {
    info.header.biCompression = BI_BITFIELDS;
    DWORD* masks = reinterpret_cast<DWORD*>(info.colors);
    masks[0] = picture.PixelFormat().RedMask;
    masks[1] = picture.PixelFormat().GreenMask;
    masks[2] = picture.PixelFormat().BlueMask;
  }
  int saved = SaveDC(dc_);
  IntersectClipRect(dc_, clip.left, clip.top, clip.right, clip.bottom);
  SetStretchBltMode(dc_, COLORONCOLOR);
  StretchDIBits(dc_, originX_ + dest.Left, originY_ + dest.Top, dest.Width(), dest.Height(), src.Left, src.Top,
                src.Width(), src.Height(), picture.ScanLine(0), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                SRCCOPY);
  RestoreDC(dc_, saved);
}

}  // namespace win32ui
}  // namespace zarn
