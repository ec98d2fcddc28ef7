#include "graphics/surface.h"

#include <algorithm>

namespace zorvel {

void Surface::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  stride_ = (width_ * 3 + 3) & ~3;
  pixels_.assign(static_cast<size_t>(stride_) * height_, 0);
}

void Surface::Fill(uint8_t r, uint8_t g, uint8_t b) {
  FillRect(0, 0, width_, height_, r, g, b);
}

void Surface::FillRect(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  const int x0 = std::clamp(x, 0, width_);
  const int y0 = std::clamp(y, 0, height_);
  const int x1 = std::clamp(x + w, 0, width_);
  const int y1 = std::clamp(y + h, 0, height_);
  for (int row = y0; row < y1; ++row) {
    uint8_t* p = Row(row) + x0 * 3;
    for (int col = x0; col < x1; ++col, p += 3) {
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  }
}

}  // namespace zorvel
