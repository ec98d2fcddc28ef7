#include "graphics/surface.h"

#include <algorithm>
#include <cstring>

namespace zorvel {

void Surface::Resize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  const int stride = (width * 3 + 3) & ~3;
  const size_t bytes = static_cast<size_t>(stride) * height;
  // Memory of the same size (the same picture size again, or a surface emptied and now given
  // back the size it had): black from now on, but the clearing waits until something looks
  // at the pixels. An emptied surface keeps its memory for that. A moved-from surface has no
  // pixels and gets new ones.
  if (bytes == 0 || bytes == pixels_.size()) {
    width_ = width;
    height_ = height;
    stride_ = stride;
    if (drawn_) pendingClear_ = true;
    drawn_ = false;
    return;
  }
  width_ = width;
  height_ = height;
  stride_ = stride;
  pixels_.assign(bytes, 0);
  drawn_ = false;
  pendingClear_ = false;
}

Surface& Surface::operator=(const Surface& other) {
  if (this == &other) return *this;
  const size_t bytes = static_cast<size_t>(other.stride_) * other.height_;
  if (bytes == 0 || (!other.drawn_ && other.pixels_.size() == bytes)) {
    // The source is empty or black: the same as a resize to its size.
    Resize(other.width_, other.height_);
    return *this;
  }
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  other.Settle();
  const size_t held = std::min(bytes, other.pixels_.size());
  pixels_.resize(held);
  if (held > 0) std::memcpy(pixels_.data(), other.pixels_.data(), held);
  drawn_ = other.drawn_;
  pendingClear_ = false;
  return *this;
}

void Surface::Fill(uint8_t r, uint8_t g, uint8_t b) {
  FillRect(0, 0, width_, height_, r, g, b);
}

void Surface::FillRect(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  const int x0 = std::clamp(x, 0, width_);
  const int y0 = std::clamp(y, 0, height_);
  const int x1 = std::clamp(x + w, 0, width_);
  const int y1 = std::clamp(y + h, 0, height_);
  if (x0 >= x1 || y0 >= y1) return;
  if (!drawn_ && r == 0 && g == 0 && b == 0) return;
  // One row pixel by pixel, the others copied from it: whole-screen fills happen at every start.
  const size_t bytes = static_cast<size_t>(x1 - x0) * 3;
  uint8_t* first = Row(y0) + x0 * 3;
  if (r == g && g == b) {
    std::memset(first, r, bytes);
  } else {
    for (uint8_t* p = first; p < first + bytes; p += 3) {
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  }
  for (int row = y0 + 1; row < y1; ++row) std::memcpy(Row(row) + x0 * 3, first, bytes);
}

void CoveredColumns(int width, int srcWidth, int64_t sx, int& x0, int& x1) {
  x0 = static_cast<int>(std::clamp<int64_t>(-sx, 0, width));
  x1 = static_cast<int>(std::clamp<int64_t>(srcWidth - sx, x0, width));
}

void CopyView(Surface& dest, const Surface& src, int64_t sx, int64_t sy) {
  const int width = dest.Width();
  for (int y = 0; y < dest.Height(); ++y) {
    uint8_t* out = dest.Row(y);
    const int64_t srcY = sy + y;
    int x0 = 0;
    int x1 = 0;
    if (srcY >= 0 && srcY < src.Height()) CoveredColumns(width, src.Width(), sx, x0, x1);
    std::memset(out, 0, static_cast<size_t>(x0) * 3);
    if (x1 > x0) {
      std::memcpy(out + x0 * 3, src.Row(static_cast<int>(srcY)) + (sx + x0) * 3,
                  static_cast<size_t>(x1 - x0) * 3);
    }
    std::memset(out + x1 * 3, 0, static_cast<size_t>(width - x1) * 3);
  }
}

void Paste(Surface& dest, const Surface& src, int64_t dx, int64_t dy) {
  int x0 = 0;
  int x1 = 0;
  CoveredColumns(src.Width(), dest.Width(), dx, x0, x1);
  if (x1 <= x0) return;
  const int y0 = static_cast<int>(std::clamp<int64_t>(-dy, 0, src.Height()));
  const int y1 = static_cast<int>(std::clamp<int64_t>(dest.Height() - dy, y0, src.Height()));
  for (int y = y0; y < y1; ++y) {
    std::memcpy(dest.Row(static_cast<int>(dy + y)) + (dx + x0) * 3, src.Row(y) + x0 * 3,
                static_cast<size_t>(x1 - x0) * 3);
  }
}

}  // namespace zorvel
