// The frames of a running background animation as the message window and the text see them:
// each frame gets the window and the text drawn into it like the screen surface, so that the
// idle pass only has to show a frame when it changes. Empty while no animation runs.
#pragma once

#include <span>

#include "graphics/surface.h"

namespace zorvel {

struct BackgroundFrames {
  // The frames in use, 800 x 600 each.
  std::span<Surface> frames;
  // Per frame: the window over that frame (rebuilt with the window picture), and the frame's
  // window rectangle as it was before any window was drawn into it.
  std::span<Surface> windowPictures;
  std::span<const Surface> cleanAreas;
  // The frame on display, or null when the game window shows the screen surface.
  const Surface* shown = nullptr;

  bool Empty() const { return frames.empty(); }
};

}  // namespace zorvel
