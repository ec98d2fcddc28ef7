// Music: the `music` command, streamed WADY music with its four-second ring and loop seam,
// looped Ogg music, the fade-out, and the sound services of animations.
#pragma once

namespace zorvel {

class Music {
 public:
  // Fades, volumes and the refill of the streamed music, once a timer tick.
  void RefillStream() {}
  // True when nothing was started.
  bool StartMusic(int /*number*/) { return true; }
  void StopMusic() {}
};

}  // namespace zorvel
