// A 24-bit picture: rows top to bottom, 3 bytes a pixel in the order blue, green, red, each
// row padded to a multiple of 4 bytes, as the games' pictures and the screen are laid out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zorvel {

class Surface {
 public:
  Surface() = default;
  Surface(int width, int height) { Resize(width, height); }

  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  // Every access to the pixels goes through here, so a surface knows whether it may still be
  // all black, and a recycled surface is cleared only when something first looks at it.
  uint8_t* Row(int y) {
    Settle();
    drawn_ = true;
    return pixels_.data() + static_cast<size_t>(y) * stride_;
  }
  const uint8_t* Row(int y) const {
    Settle();
    return pixels_.data() + static_cast<size_t>(y) * stride_;
  }

  void Fill(uint8_t r, uint8_t g, uint8_t b);
  void FillRect(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b);

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  void Settle() const {
    if (pendingClear_) [[unlikely]] {
      std::memset(pixels_.data(), 0, pixels_.size());
      pendingClear_ = false;
    }
  }

  // Mutable: a clear that was put off happens on the first look, reads included.
  mutable std::vector<uint8_t> pixels_;
  bool drawn_ = false;
  mutable bool pendingClear_ = false;
};

}  // namespace zorvel
