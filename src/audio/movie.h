// Movies: the `movie` command, played over the game area with their own sound.
#pragma once

namespace zorvel {

class Movie {
 public:
  // The playback countdown, once a timer tick; true while a movie holds the tick.
  bool TickMovie() { return false; }
};

}  // namespace zorvel
