#include "graphics/frame_clock.h"

#include <climits>

namespace zorvel {

int FrameClock::WaitFrames(int period) {
  PumpEvents();
  const uint32_t p = period < 1 ? 1u : static_cast<uint32_t>(period);
  const uint32_t elapsed = platform_.Ticks() - noted_;  // unsigned: survives the tick wrap
  if (elapsed < p) {
    platform_.Sleep(p - elapsed);
    noted_ += p;
    return 1;
  }
  const uint32_t periods = elapsed / p + 1;
  // periods * p > elapsed, and both fit in 64 bits; the advance wraps like the tick count does.
  const uint64_t advance = uint64_t{periods} * p;
  platform_.Sleep(static_cast<uint32_t>(advance - elapsed));
  noted_ += static_cast<uint32_t>(advance);
  return periods > INT_MAX ? INT_MAX : static_cast<int>(periods);
}

void FrameClock::WaitUntil(uint32_t deadline) {
  const uint32_t now = platform_.Ticks();
  // Compared as a signed difference so a deadline just past the tick wrap is still ahead.
  const int32_t ahead = static_cast<int32_t>(deadline - now);
  if (ahead > 0) platform_.Sleep(static_cast<uint32_t>(ahead));
  PumpEvents();
}

}  // namespace zorvel
