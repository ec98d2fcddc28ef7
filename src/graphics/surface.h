// A 24-bit picture: rows top to bottom, 3 bytes a pixel in the order blue, green, red, each
// row padded to a multiple of 4 bytes, as the games' pictures and the screen are laid out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace zorvel {

class Surface {
 public:
  Surface() = default;
  Surface(int width, int height) { Resize(width, height); }
  // Whole-screen copies happen several times a frame (the previous picture, the scene, the
  // choice pictures), and many are only read: a copy shares the pixels and the first write
  // to either side takes a copy of its own. A copy of a black picture costs nothing at all.
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
  // all black, a recycled surface is cleared only when something first looks at it, and
  // shared pixels are copied before the first write. A row pointer from the writing Row is
  // good until the surface is next copied from or resized.
  uint8_t* Row(int y) {
    Settle();
    if (mayShare_) [[unlikely]]
      Unshare();
    drawn_ = true;
    return Data() + static_cast<size_t>(y) * stride_;
  }
  const uint8_t* Row(int y) const {
    Settle();
    return Data() + static_cast<size_t>(y) * stride_;
  }

  // The caller is about to write every pixel (a whole-screen blend): pixels still shared with
  // a copy are left to the copy instead of being copied first, and a put-off clear is dropped.
  // Until the caller has written them the pixels hold anything.
  void WillOverwrite();

  void Fill(uint8_t r, uint8_t g, uint8_t b);
  void FillRect(int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b);

 private:
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  void Settle() const {
    if (pendingClear_) [[unlikely]]
      Clear();
  }
  void Clear() const;
  void Unshare();
  size_t Held() const { return pixels_ ? pixels_->size() : 0; }
  uint8_t* Data() const { return pixels_ ? pixels_->data() : nullptr; }

  // Mutable: a clear that was put off happens on the first look, reads included. Shared with
  // copies until one of them writes.
  mutable std::shared_ptr<std::vector<uint8_t>> pixels_;
  bool drawn_ = false;
  mutable bool pendingClear_ = false;
  // Set on both sides of a copy; the next write checks whether the pixels are still shared.
  mutable bool mayShare_ = false;
};

// The columns [x0, x1) of a row `width` pixels wide that read from a picture `srcWidth` wide
// starting at its column `sx`: the part of the row the picture covers.
void CoveredColumns(int width, int srcWidth, int64_t sx, int& x0, int& x1);
// dest(x, y) = src(sx + x, sy + y) over all of dest; black wherever that lies outside src.
void CopyView(Surface& dest, const Surface& src, int64_t sx, int64_t sy);
// Puts src onto dest with its top-left at (dx, dy), clipped to dest.
void Paste(Surface& dest, const Surface& src, int64_t dx, int64_t dy);

}  // namespace zorvel
