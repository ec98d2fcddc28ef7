#include "graphics/surface.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zorvel {

namespace {

// Pixel memory given up by surfaces, kept for the next picture: a copy made before a write or
// a clear of shared pixels would otherwise map, fault in and zero fresh pages each time.
class PixelPool {
 public:
  using Pixels = std::vector<uint8_t>;
  static constexpr size_t kKept = 24;

  // `bytes` bytes, zero (left as they were when not `clear`), or a copy of `from` when given.
  std::shared_ptr<Pixels> Take(size_t bytes, const Pixels* from, bool clear = true) {
    Pixels* p = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      for (size_t i = 0; i < free_.size(); ++i) {
        if (free_[i]->size() == bytes) {
          p = free_[i];
          free_[i] = free_.back();
          free_.pop_back();
          break;
        }
      }
    }
    if (p == nullptr) {
      p = new Pixels(bytes);
    } else if (from == nullptr && clear) {
      std::memset(p->data(), 0, bytes);
    }
    if (from != nullptr && bytes > 0) std::memcpy(p->data(), from->data(), bytes);
    return std::shared_ptr<Pixels>(p, [this](Pixels* gone) { Give(gone); });
  }

 private:
  void Give(Pixels* p) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (free_.size() < kKept && !p->empty()) {
        free_.push_back(p);
        return;
      }
    }
    delete p;
  }

  std::mutex lock_;
  std::vector<Pixels*> free_;
};

// Lives for the process: surfaces in static storage may give memory back at exit.
PixelPool& Pool() {
  static PixelPool* pool = new PixelPool;
  return *pool;
}

}  // namespace

void Surface::Resize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  const int stride = (width * 3 + 3) & ~3;
  const size_t bytes = static_cast<size_t>(stride) * height;
  width_ = width;
  height_ = height;
  stride_ = stride;
  // Memory of the same size (the same picture size again, or a surface emptied and now given
  // back the size it had): black from now on, but the clearing waits until something looks
  // at the pixels. An emptied surface keeps its memory for that. A moved-from surface has no
  // pixels and gets new ones.
  if (bytes == 0 || bytes == Held()) {
    if (drawn_) pendingClear_ = true;
    drawn_ = false;
    return;
  }
  if (pixels_ && pixels_.use_count() == 1) {
    pixels_->assign(bytes, 0);
  } else {
    pixels_ = Pool().Take(bytes, nullptr);
  }
  drawn_ = false;
  pendingClear_ = false;
}

void Surface::Clear() const {
  pendingClear_ = false;
  if (!pixels_) return;
  if (pixels_.use_count() == 1) {
    std::memset(pixels_->data(), 0, pixels_->size());
  } else {
    // The pixels are another surface's too: black memory of our own instead.
    pixels_ = Pool().Take(pixels_->size(), nullptr);
  }
}

void Surface::Unshare() {
  mayShare_ = false;
  if (pixels_.use_count() > 1) pixels_ = Pool().Take(pixels_->size(), pixels_.get());
}

void Surface::WillOverwrite() {
  pendingClear_ = false;
  if (mayShare_) {
    mayShare_ = false;
    if (pixels_.use_count() > 1) pixels_ = Pool().Take(pixels_->size(), nullptr, false);
  }
  if (pixels_) drawn_ = true;
}

Surface& Surface::operator=(const Surface& other) {
  if (this == &other) return *this;
  const size_t bytes = static_cast<size_t>(other.stride_) * other.height_;
  if (bytes == 0 || !other.drawn_ || other.Held() != bytes) {
    // The source is empty or black, or a moved-from surface with no pixels: the same as a
    // resize to its size.
    Resize(other.width_, other.height_);
    return *this;
  }
  other.Settle();
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  pixels_ = other.pixels_;
  mayShare_ = true;
  other.mayShare_ = true;
  drawn_ = true;
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
