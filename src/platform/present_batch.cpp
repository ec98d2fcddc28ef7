#include "platform/present_batch.h"

#include <algorithm>
#include <cstring>

namespace zorvel {

PresentBatch::PresentBatch() {
  drawn_.Resize(kWidth, kHeight);
  shown_.Resize(kWidth, kHeight);
  drawn_.Fill(0, 0, 0);
  shown_.Fill(0, 0, 0);
}

void PresentBatch::SetSinglePicture(bool on) {
  if (on == single_) return;
  if (on) {
    // What the window showed gives way to what was drawn, as at an update.
    shown_ = Surface();
  } else {
    shown_ = drawn_;
  }
  Settle();
  single_ = on;
}

void PresentBatch::Copy(const Surface& from, const ScreenRect& r) {
  // 64-bit ends: a caller's huge width or height must not wrap around.
  const int x0 = std::max(r.x, 0);
  const int y0 = std::max(r.y, 0);
  const int x1 = static_cast<int>(
      std::min<int64_t>({int64_t{r.x} + r.w, int64_t{kWidth}, int64_t{from.Width()}}));
  const int y1 = static_cast<int>(
      std::min<int64_t>({int64_t{r.y} + r.h, int64_t{kHeight}, int64_t{from.Height()}}));
  if (x0 >= x1 || y0 >= y1) return;
  if (x1 - x0 == kWidth && y1 - y0 == kHeight && from.Width() == kWidth &&
      from.Height() == kHeight) {
    // A whole frame (a transition's step, a movie's picture) shares the pixels: whichever side
    // writes next takes its own copy, and a frame drawn afresh into new memory costs none.
    drawn_ = from;
  } else {
    for (int y = y0; y < y1; ++y) {
      std::memcpy(drawn_.Row(y) + x0 * 3, from.Row(y) + x0 * 3, static_cast<size_t>(x1 - x0) * 3);
    }
  }
  if (x0_ >= x1_) {
    x0_ = x0;
    y0_ = y0;
    x1_ = x1;
    y1_ = y1;
  } else {
    x0_ = std::min(x0_, x0);
    y0_ = std::min(y0_, y0);
    x1_ = std::max(x1_, x1);
    y1_ = std::max(y1_, y1);
  }
}

namespace {

// The first and one past the last byte where two rows of `bytes` differ, compared eight bytes
// at a time; the rows are known to differ somewhere.
void DifferingSpan(const uint8_t* a, const uint8_t* b, size_t bytes, size_t& first, size_t& end) {
  first = 0;
  for (uint64_t u = 0, v = 0; first + 8 <= bytes; first += 8) {
    std::memcpy(&u, a + first, 8);
    std::memcpy(&v, b + first, 8);
    if (u != v) break;
  }
  while (a[first] == b[first]) ++first;
  end = bytes;
  for (uint64_t u = 0, v = 0; end >= first + 8; end -= 8) {
    std::memcpy(&u, a + end - 8, 8);
    std::memcpy(&v, b + end - 8, 8);
    if (u != v) break;
  }
  while (a[end - 1] == b[end - 1]) --end;
}

}  // namespace

bool PresentBatch::Take(ScreenRect& changed) {
  if (x0_ >= x1_) return false;
  if (single_) {
    Settle();
    return false;
  }
  const auto& drawn = drawn_;
  const auto& shown = shown_;
  int left = x1_;
  int right = x0_;
  int top = y1_;
  int bottom = y0_;
  const size_t bytes = static_cast<size_t>(x1_ - x0_) * 3;
  for (int y = y0_; y < y1_; ++y) {
    const uint8_t* a = drawn.Row(y) + x0_ * 3;
    const uint8_t* b = shown.Row(y) + x0_ * 3;
    if (std::memcmp(a, b, bytes) == 0) continue;
    top = std::min(top, y);
    bottom = y + 1;
    size_t first = 0;
    size_t end = 0;
    DifferingSpan(a, b, bytes, first, end);
    left = std::min(left, x0_ + static_cast<int>(first / 3));
    right = std::max(right, x0_ + static_cast<int>((end - 1) / 3) + 1);
  }
  x0_ = x1_ = 0;
  if (top >= bottom) return false;
  for (int y = top; y < bottom; ++y) {
    std::memcpy(shown_.Row(y) + left * 3, drawn.Row(y) + left * 3,
                static_cast<size_t>(right - left) * 3);
  }
  changed = ScreenRect{left, top, right - left, bottom - top};
  return true;
}

}  // namespace zorvel
