#include "graphics/surface.h"

#include <algorithm>
#include <cstring>

namespace zorvel {

void Surface::Resize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  const int stride = (width * 3 + 3) & ~3;
  const size_t bytes = static_cast<size_t>(stride) * height;
  // The same size again (a moved-from surface has its size but no pixels): black from now on,
  // but the clearing waits until something looks at the pixels.
  if (width == width_ && height == height_ && pixels_.size() == bytes) {
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

}  // namespace zorvel
