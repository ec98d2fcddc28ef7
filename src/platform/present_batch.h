// The game area as the engine last drew it and as the window last showed it. Presents only copy
// into the drawn picture and mark the rectangle; the window is updated once for a whole batch,
// and only by the pixels that really differ from what it shows, so a draw that puts back what
// was there (an icon step that draws the same frame over itself) costs no window update.
#pragma once

#include "graphics/surface.h"
#include "platform/platform.h"

namespace zorvel {

class PresentBatch {
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;

  // Both pictures start black, as a new window does.
  PresentBatch();

  // Copies the part of `r` that lies inside both `from` and the game area, and marks it.
  void Copy(const Surface& from, const ScreenRect& r);
  // The smallest rectangle holding every pixel that changed since the last call, now taken
  // into the shown picture; false (and nothing taken) when no pixel changed.
  bool Take(ScreenRect& changed);
  // Something was presented since the last Take (changed or not).
  bool Marked() const { return x0_ < x1_; }
  // Ends the batch without comparing: in a single picture what was drawn is already shown.
  void Settle() { x0_ = x1_ = 0; }

  // One picture for both (on): presents land in the shown picture at once, and Settle ends a
  // batch at no cost. For a window nobody watches between updates, where whoever reads the
  // picture settles the batch first (a headless screenshot does); Take compares nothing there
  // and reports no change.
  void SetSinglePicture(bool on);
  bool SinglePicture() const { return single_; }

  // What the engine drew (the window shows it after the next update), and what it shows.
  const Surface& Drawn() const { return drawn_; }
  const Surface& Shown() const { return single_ ? drawn_ : shown_; }

 private:
  Surface drawn_;
  Surface shown_;  // unused while single_
  bool single_ = false;
  // The marked rectangle, empty while x0_ >= x1_.
  int x0_ = 0;
  int y0_ = 0;
  int x1_ = 0;
  int y1_ = 0;
};

}  // namespace zorvel
