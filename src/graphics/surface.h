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
  // Whole-screen copies happen several times a frame: a copy of a picture still black costs
  // nothing, and the pixels of any other go across in one memcpy into memory already held.
  Surface(const Surface& other) { *this = other; }
  Surface& operator=(const Surface& other);
  Surface(Surface&&) noexcept = default;
  Surface& operator=(Surface&&) noexcept = default;

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

// The columns [x0, x1) of a row `width` pixels wide that read from a picture `srcWidth` wide
// starting at its column `sx`: the part of the row the picture covers.
void CoveredColumns(int width, int srcWidth, int64_t sx, int& x0, int& x1);
// dest(x, y) = src(sx + x, sy + y) over all of dest; black wherever that lies outside src.
void CopyView(Surface& dest, const Surface& src, int64_t sx, int64_t sy);
// Puts src onto dest with its top-left at (dx, dy), clipped to dest.
void Paste(Surface& dest, const Surface& src, int64_t dx, int64_t dy);

}  // namespace zorvel
